// Loading plug-in libraries on Windows.
#include "VstHost.h"
#include "WideText_win32.h"

#include <windows.h>

namespace {

std::string Narrow(const wchar_t* text, int length)
{
  if (length <= 0) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string narrow(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, &narrow[0], n, nullptr, nullptr);
  return narrow;
}

std::string SystemMessage(DWORD code)
{
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message;
  if (n > 0 && text) {
    while (n > 0 && (text[n - 1] == L'\n' || text[n - 1] == L'\r' || text[n - 1] == L' ')) --n;
    message = Narrow(text, static_cast<int>(n));
  }
  if (text) LocalFree(text);
  return message + " (error " + std::to_string(code) + ")";
}

} // namespace

bool VstLibrary::Open(const std::string& path, std::string& error)
{
  Close();
  std::wstring wide = Widen(path);
  if (wide.empty()) {
    error = "empty or unreadable path";
    return false;
  }
  // No message box for a missing dependency: the caller reports the failure.
  UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryW(wide.c_str());
  DWORD code = module ? 0 : GetLastError();
  SetErrorMode(oldMode);
  if (!module) {
    error = SystemMessage(code);
    return false;
  }
  mHandle = module;
  return true;
}

void* VstLibrary::Symbol(const char* name) const
{
  if (!mHandle || !name) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(mHandle), name));
}

void VstLibrary::Close()
{
  if (mHandle) FreeLibrary(static_cast<HMODULE>(mHandle));
  mHandle = nullptr;
}

std::string VstExecutablePath()
{
  wchar_t path[32768];
  DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(sizeof path / sizeof path[0]));
  if (n == 0 || n >= sizeof path / sizeof path[0]) return std::string();
  return Narrow(path, static_cast<int>(n));
}
