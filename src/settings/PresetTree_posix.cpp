#include "PresetTree.h"

#include <dirent.h>
#include <sys/stat.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

// Whether the entry is a folder; links and file systems that do not report the
// type are asked through stat, so a link to a folder counts as a folder.
bool isFolderEntry(const char* pFolder, const dirent* pEntry)
{
  if (pEntry->d_type == DT_DIR) return true;
  if (pEntry->d_type != DT_UNKNOWN && pEntry->d_type != DT_LNK) return false;
  char full[PATH_MAX + 1];
  const std::size_t folderLen = std::strlen(pFolder);
  const std::size_t nameLen = std::strlen(pEntry->d_name);
  if (folderLen + 1 + nameLen > PATH_MAX) return false;
  std::memcpy(full, pFolder, folderLen);
  std::size_t len = folderLen;
  if (len == 0 || full[len - 1] != '/') full[len++] = '/';
  std::memcpy(full + len, pEntry->d_name, nameLen + 1);
  struct stat st;
  return stat(full, &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

void presetTreeListFolder(const char* pFolder, PresetTreeEntryFn onEntry, void* pContext)
{
  if (!pFolder || !pFolder[0]) return;
  DIR* pDir = opendir(pFolder);
  if (!pDir) return;
  while (const dirent* pEntry = readdir(pDir))
    if (!onEntry(pContext, pEntry->d_name, isFolderEntry(pFolder, pEntry))) break;
  closedir(pDir);
}

bool presetTreeFolderId(const char* pFolder, std::string& rId)
{
  struct stat st;
  if (!pFolder || stat(pFolder, &st) != 0) return false;
  rId = std::to_string(static_cast<unsigned long long>(st.st_dev)) + ':' +
        std::to_string(static_cast<unsigned long long>(st.st_ino));
  return true;
}
