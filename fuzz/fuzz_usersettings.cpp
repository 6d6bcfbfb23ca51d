// Feeds arbitrary bytes to the user's settings reader as if they were its file.
#include "UserSettings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t size)
{
  UserSettings settings("");
  settings.parse(reinterpret_cast<const char*>(pData), size);
  // Whatever the bytes, the factor is none or one the editor can use.
  const double scale = settings.editorScale();
  if (scale != 0.0 && !(scale >= 0.5 && scale <= 4.0)) std::abort();
  // A text of the bytes reads the same as a setting's value.
  const std::string text(reinterpret_cast<const char*>(pData), size < 64 ? size : 64);
  const double parsed = UserSettings::parseScale(text.c_str());
  if (parsed != 0.0 && !(parsed >= 0.5 && parsed <= 4.0)) std::abort();
  return 0;
}
