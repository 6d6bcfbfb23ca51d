#include "HomeDirectory.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstring>

bool libraryFileHolding(const void* pAddress, char* pBuf, int bufSize)
{
  Dl_info info;
  if (dladdr(pAddress, &info) == 0 || !info.dli_fname || !info.dli_fname[0]) return false;

  // The loader reports the name it was given: absolute, relative to the working
  // folder, or (for the main program) possibly a bare name. Symbolic links are
  // kept, as the host sees them.
  char full[PATH_MAX + 1];
  const char* pName = info.dli_fname;
  if (pName[0] != '/') {
    if (std::strchr(pName, '/')) {
      if (!getcwd(full, sizeof full)) return false;
      const std::size_t cwdLen = std::strlen(full);
      const std::size_t nameLen = std::strlen(pName);
      if (cwdLen + 1 + nameLen >= sizeof full) return false;
      full[cwdLen] = '/';
      std::memcpy(full + cwdLen + 1, pName, nameLen + 1);
    } else {
      const ssize_t n = readlink("/proc/self/exe", full, sizeof full - 1);
      if (n <= 0) return false;
      full[n] = 0;
    }
    pName = full;
  }

  const std::size_t len = std::strlen(pName);
  if (len >= static_cast<std::size_t>(bufSize)) return false;
  std::memcpy(pBuf, pName, len + 1);
  return true;
}

char pathSeparator()
{
  return '/';
}

bool isPathSeparator(char c)
{
  return c == '/';
}
