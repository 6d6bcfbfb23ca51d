#include "HomeDirectory.h"

#include <windows.h>

bool libraryFileHolding(const void* pAddress, char* pBuf, int bufSize)
{
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCSTR>(pAddress), &module))
    return false;
  // The 8-bit name, as the configuration file is opened with the 8-bit runtime calls.
  const DWORD n = GetModuleFileNameA(module, pBuf, static_cast<DWORD>(bufSize));
  if (n == 0 || n >= static_cast<DWORD>(bufSize)) return false; // failed or cut short
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
