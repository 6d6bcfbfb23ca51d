#include "UserSettings.h"

#include <windows.h>

#include <cwchar>
#include <vector>

namespace {

std::wstring Wide(const std::string& s)
{
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::vector<wchar_t> w(static_cast<std::size_t>(n));
  MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, w.data(), n);
  return std::wstring(w.data());
}

std::string Utf8(const wchar_t* w)
{
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::vector<char> s(static_cast<std::size_t>(n));
  WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  return std::string(s.data());
}

} // namespace

std::string userSettingsFolder()
{
  const wchar_t* appData = _wgetenv(L"APPDATA");
  if (!appData || !appData[0]) return std::string();
  return Utf8(appData) + "\\Tavrinel";
}

bool userSettingsMakeFolder(const std::string& folder)
{
  const std::wstring w = Wide(folder);
  for (std::size_t i = 3; i <= w.size(); ++i) {
    if (i < w.size() && w[i] != L'\\' && w[i] != L'/') continue;
    CreateDirectoryW(w.substr(0, i).c_str(), nullptr);  // an existing one fails harmlessly
  }
  const DWORD attributes = GetFileAttributesW(w.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool userSettingsReplaceFile(const std::string& from, const std::string& to)
{
  const std::wstring wFrom = Wide(from), wTo = Wide(to);
  if (MoveFileExW(wFrom.c_str(), wTo.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  DeleteFileW(wFrom.c_str());
  return false;
}
