#include "UserSettings.h"

#include "Configurable.h"
#include "HomeDirectory.h"
#include "PresetText.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {
const char* const FILE_NAME = "settings.ini";
const char* const EDITOR_SCALE = "EditorScale";
} // namespace

std::string UserSettings::defaultPath()
{
  const std::string folder = userSettingsFolder();
  return folder.empty() ? std::string() : folder + pathSeparator() + FILE_NAME;
}

UserSettings::UserSettings(std::string path) : mPath(std::move(path)) {}

double UserSettings::parseScale(double factor)
{
  return std::isfinite(factor) && factor >= 0.5 && factor <= 4.0 ? factor : 0.0;
}

double UserSettings::parseScale(const char* pText)
{
  if (!pText) return 0.0;
  // By hand: strtod would follow the C locale's decimal point.
  const char* p = pText;
  while (*p == ' ' || *p == '\t') ++p;
  double v = 0.0;
  int digits = 0;
  for (; *p >= '0' && *p <= '9' && digits < 6; ++p, ++digits) v = v * 10.0 + (*p - '0');
  if (*p == '.') {
    double unit = 0.1;
    for (++p; *p >= '0' && *p <= '9'; ++p, ++digits, unit /= 10.0) v += (*p - '0') * unit;
  }
  if (digits == 0) return 0.0;
  while (*p == ' ' || *p == '\t') ++p;
  const bool percent = *p == '%';
  if (percent) ++p;
  if (*p) return 0.0;
  if (percent || v >= 25.0) v /= 100.0;
  return parseScale(v);
}

void UserSettings::parse(const char* pData, std::size_t size)
{
  ConfigurationFileReader reader;
  reader.openMemory(pData, size);
  while (reader.readSetting())
    if (!std::strcmp(reader.getName(), EDITOR_SCALE)) mEditorScale = parseScale(reader.getValue());
}

bool UserSettings::load()
{
  std::FILE* f = presetOpenFile(mPath.c_str(), false);
  if (!f) return false;
  std::string text;
  char buf[4096];
  // A settings file is a few lines; a bigger one is not ours to read whole.
  for (std::size_t n; text.size() < 65536 && (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  std::fclose(f);
  parse(text.data(), text.size());
  return true;
}

bool UserSettings::save() const
{
  if (mPath.empty()) return false;
  const std::size_t sep = mPath.find_last_of(pathSeparator());
  if (sep != std::string::npos && !userSettingsMakeFolder(mPath.substr(0, sep))) return false;
  // Written beside it, then moved over it: a reader never sees half a file.
  const std::string temporary = mPath + ".new";
  std::FILE* f = presetOpenFile(temporary.c_str(), true);
  if (!f) return false;
  bool ok = std::fputs("; Tavrinel: your own settings, written by the plug-in.\n", f) >= 0;
  if (mEditorScale > 0.0) ok = std::fprintf(f, "%s %d%%\n", EDITOR_SCALE, static_cast<int>(std::lround(mEditorScale * 100.0))) > 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  return ok && userSettingsReplaceFile(temporary, mPath);
}
