#include "PresetTree.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const int FIXED_PATTERN_UNITS = 1024; // longer patterns get a heap buffer
const int MAX_NAME_BYTES = 1300;      // a listed name in UTF-8

bool isSeparator(char c)
{
  return c == '\\' || c == '/';
}

// Unicode listing with UTF-8 names; false when it cannot be started.
bool listWide(const char* pPattern, PresetTreeEntryFn onEntry, void* pContext)
{
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, pPattern, -1, nullptr, 0);
  if (units <= 0) return false;
  wchar_t fixed[FIXED_PATTERN_UNITS];
  std::vector<wchar_t> heap;
  wchar_t* pWide = fixed;
  if (units > 1000) {
    heap.resize(static_cast<std::size_t>(units));
    pWide = heap.data();
  }
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, pPattern, -1, pWide, units) <= 0) return false;

  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pWide, &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    char name[MAX_NAME_BYTES];
    const int bytes =
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, data.cFileName, -1, name, MAX_NAME_BYTES, nullptr, nullptr);
    if (bytes <= 1) continue; // not convertible (or empty): leave it out
    if (!onEntry(pContext, name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) break;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return true;
}

// 8-bit listing; names as the system gives them.
void listNarrow(const char* pPattern, PresetTreeEntryFn onEntry, void* pContext)
{
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pPattern, &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    data.cFileName[MAX_PATH - 1] = 0;
    if (!onEntry(pContext, data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) break;
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

} // namespace

void presetTreeListFolder(const char* pFolder, PresetTreeEntryFn onEntry, void* pContext)
{
  if (!pFolder || !pFolder[0]) return;
  const std::size_t len = std::strlen(pFolder);
  std::vector<char> pattern(pFolder, pFolder + len);
  if (!isSeparator(pattern.back())) pattern.push_back('\\');
  pattern.push_back('*');
  pattern.push_back(0);
  if (!listWide(pattern.data(), onEntry, pContext)) listNarrow(pattern.data(), onEntry, pContext);
}

bool presetTreeFolderId(const char* pFolder, std::string& rId)
{
  if (!pFolder || !pFolder[0]) return false;
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, pFolder, -1, nullptr, 0);
  if (units <= 0) return false;
  std::vector<wchar_t> wide(static_cast<std::size_t>(units));
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, pFolder, -1, wide.data(), units) <= 0) return false;
  // Opening follows links and junctions; a folder needs the backup-semantics flag.
  HANDLE h = CreateFileW(wide.data(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!ok) return false;
  rId = std::to_string(info.dwVolumeSerialNumber) + ':' + std::to_string(info.nFileIndexHigh) + ':' +
        std::to_string(info.nFileIndexLow);
  return true;
}
