#include "HomeDirectory.h"

#include "Assert.h"

#include <atomic>
#include <cstring>
#include <string>

namespace {

// An address inside this library, to ask the system which file holds it: the
// plug-in's own library, not the host program.
const char kAnchor = 0;

bool gOverridden = false;
std::string gOverridePath;
std::atomic<unsigned> gOverrideGeneration{0};

bool libraryPath(char* pBuf, int bufSize)
{
  if (!gOverridden) return homeDirectoryLibraryPath(pBuf, bufSize);
  if (gOverridePath.size() >= static_cast<std::size_t>(bufSize)) return false;
  std::memcpy(pBuf, gOverridePath.c_str(), gOverridePath.size() + 1);
  return true;
}

} // namespace

bool homeDirectoryLibraryPath(char* pBuf, int bufSize)
{
  if (!pBuf || bufSize <= 0) return false;
  pBuf[0] = 0;
  if (libraryFileHolding(&kAnchor, pBuf, bufSize)) return true;
  pBuf[0] = 0;
  return false;
}

HomeDirectory::HomeDirectory(const char* pFileName)
  : mpPathname(new char[MAX_PATHNAME + 1])
{
  TAV_ASSERT(mpPathname != 0, "src\\HomeDirectory");
  mpPathname[0] = 0;
  const bool found = libraryPath(mpPathname, MAX_PATHNAME + 1);
  if (!found) mpPathname[0] = 0;

  // Keep the folder only.
  char* pCut = nullptr;
  for (char* p = mpPathname; *p; ++p)
    if (isPathSeparator(*p)) pCut = p;
  if (pCut) *pCut = 0;

  const std::size_t folderLen = std::strlen(mpPathname);
  const std::size_t nameLen = pFileName ? std::strlen(pFileName) : 0;
  if (found && pCut && nameLen > 0 && folderLen + 1 + nameLen <= static_cast<std::size_t>(MAX_PATHNAME)) {
    mpPathname[folderLen] = pathSeparator();
    std::memcpy(mpPathname + folderLen + 1, pFileName, nameLen + 1);
  } else {
    mpPathname[0] = 0;
  }
}

HomeDirectory::~HomeDirectory()
{
  delete[] mpPathname;
}

void HomeDirectory::overrideLibraryPath(const char* pLibraryPath)
{
  gOverridden = pLibraryPath != nullptr;
  gOverridePath = pLibraryPath ? pLibraryPath : "";
  gOverrideGeneration.fetch_add(1);
}

unsigned HomeDirectory::overrideGeneration()
{
  return gOverrideGeneration.load();
}
