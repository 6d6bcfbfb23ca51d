#include "HomeDirectory.h"

#include <windows.h>

namespace {
// An address inside this library: the module that holds it is ours, not the host's.
const char kAnchor = 0;
} // namespace

bool homeDirectoryLibraryPath(char* pBuf, int bufSize)
{
  if (!pBuf || bufSize <= 0) return false;
  pBuf[0] = 0;
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          &kAnchor, &module))
    return false;
  // The 8-bit name, as the configuration file is opened with the 8-bit runtime calls.
  const DWORD n = GetModuleFileNameA(module, pBuf, static_cast<DWORD>(bufSize));
  if (n == 0 || n >= static_cast<DWORD>(bufSize)) { // failed or cut short
    pBuf[0] = 0;
    return false;
  }
  pBuf[n] = 0;
  return true;
}

char pathSeparator()
{
  return '\\';
}

bool isPathSeparator(char c)
{
  return c == '\\' || c == '/';
}
