#include "PresetText.h"

std::FILE* presetOpenFile(const char* pPath, bool forWriting)
{
  if (!pPath || !pPath[0]) return nullptr;
  return std::fopen(pPath, forWriting ? "wb" : "r");
}
