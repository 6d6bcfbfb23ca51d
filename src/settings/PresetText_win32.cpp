#include "PresetText.h"

#include <windows.h>

#include <vector>

std::FILE* presetOpenFile(const char* pPath, bool forWriting)
{
  if (!pPath || !pPath[0]) return nullptr;
  // Paths from the preset tree and the file dialogs are UTF-8; the 8-bit
  // fopen would read them in the system's code page and miss every name
  // outside ASCII. A path that is not valid UTF-8 is tried as it is.
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, pPath, -1, nullptr, 0);
  if (n > 0) {
    std::vector<wchar_t> wide(static_cast<std::size_t>(n));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, pPath, -1, wide.data(), n) == n)
      return _wfopen(wide.data(), forWriting ? L"wb" : L"r");
  }
  return std::fopen(pPath, forWriting ? "wb" : "r");
}
