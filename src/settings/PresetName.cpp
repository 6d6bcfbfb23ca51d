#include "PresetName.h"

#include <cstring>

PresetName::PresetName()
  : mHasPath(false)
{
  mName[0] = 0;
}

void PresetName::setPath(const char* pPath)
{
  if (!pPath) return;
  // Saving to the current path hands back our own buffer: nothing to do.
  if (mHasPath && pPath == mPath.c_str()) return;
  mPath = pPath;
  mHasPath = true;

  const char* pStart = mPath.c_str();
  for (const char* p = pStart; *p; ++p)
    if (*p == '/' || *p == ':' || *p == '\\') pStart = p + 1;

  std::size_t len = std::strlen(pStart);
  // The last dot ends the name, unless it is the first character.
  for (std::size_t i = len; i > 1; --i) {
    if (pStart[i - 1] == '.') {
      len = i - 1;
      break;
    }
  }
  if (len > static_cast<std::size_t>(MAX_NAME_LEN)) len = MAX_NAME_LEN;
  std::memcpy(mName, pStart, len);
  mName[len] = 0;
}
