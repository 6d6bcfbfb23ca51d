#include "UserSettings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

std::string userSettingsFolder()
{
  // The XDG base directory rule: a relative XDG_CONFIG_HOME counts as unset.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + "/tavrinel";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.config/tavrinel";
  return std::string();
}

bool userSettingsMakeFolder(const std::string& folder)
{
  for (std::size_t i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && folder[i] != '/') continue;
    const std::string part = folder.substr(0, i);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool userSettingsReplaceFile(const std::string& from, const std::string& to)
{
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  std::remove(from.c_str());
  return false;
}
