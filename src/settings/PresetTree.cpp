#include "PresetTree.h"

#include "HomeDirectory.h"

#include <cstdint>
#include <cstring>

PathBuf::PathBuf()
  : mpBuf(new char[MAX_LEN + 1])
{
  mpBuf[0] = 0;
}

PathBuf::~PathBuf()
{
  delete[] mpBuf;
}

int PathBuf::length() const
{
  return static_cast<int>(std::strlen(mpBuf));
}

bool PathBuf::set(const char* pPath)
{
  mpBuf[0] = 0;
  const std::size_t len = pPath ? std::strlen(pPath) : 0;
  if (len >= static_cast<std::size_t>(MAX_LEN)) return false;
  if (len) std::memcpy(mpBuf, pPath, len + 1);
  return true;
}

bool PathBuf::join(const char* pName)
{
  std::size_t len = std::strlen(mpBuf);
  if (len == 0 || !isPathSeparator(mpBuf[len - 1])) {
    if (len >= static_cast<std::size_t>(MAX_LEN)) return false;
    mpBuf[len++] = pathSeparator();
    mpBuf[len] = 0;
  }
  const std::size_t nameLen = std::strlen(pName);
  if (len + nameLen >= static_cast<std::size_t>(MAX_LEN)) return false;
  std::memcpy(mpBuf + len, pName, nameLen + 1);
  return true;
}

void NodeList::append(Node* pNode)
{
  pNode->mpNext = nullptr;
  pNode->mpPrev = mpLast;
  if (mpLast)
    mpLast->mpNext = pNode;
  else
    mpFirst = pNode;
  mpLast = pNode;
}

HostFile::HostFile(PresetFolder* pFolder, const char* pFileName)
  : mpFolder(pFolder)
  , mFileName(pFileName)
{
  const char* pDot = std::strrchr(pFileName, '.');
  mDisplayName.assign(pFileName, pDot ? static_cast<std::size_t>(pDot - pFileName) : mFileName.size());
}

HostFolder::HostFolder(PresetFolder* pParent, const char* pText)
  : mFirstIndex(INT32_MAX)
  , mLastIndex(-1)
  , mpParent(pParent)
{
  if (!pText) pText = "";
  if (pParent)
    mName = pText;
  else
    mRootPath = pText;
}

HostFolder::~HostFolder()
{
  for (Node* p = mFolders.mpLast; p;) {
    Node* pPrev = p->mpPrev;
    delete static_cast<PresetFolder*>(p);
    p = pPrev;
  }
  for (Node* p = mFiles.mpLast; p;) {
    Node* pPrev = p->mpPrev;
    delete static_cast<PresetFile*>(p);
    p = pPrev;
  }
}

int HostFolder::getDepth() const
{
  int depth = 0;
  for (const HostFolder* p = mpParent; p; p = p->mpParent) ++depth;
  return depth;
}

// The whole scan's bounds, kept on the root.
struct PresetScanBudget {
  static HostFolder& root(HostFolder& folder)
  {
    HostFolder* p = &folder;
    while (p->mpParent) p = p->mpParent;
    return *p;
  }
  // Takes one entry from the budget; false (and the tree marked) when none is left.
  static bool takeEntry(HostFolder& folder)
  {
    HostFolder& r = root(folder);
    if (r.mEntriesListed >= PresetFolder::MAX_SCAN_ENTRIES) {
      r.mTruncated = true;
      return false;
    }
    ++r.mEntriesListed;
    return true;
  }
  static void markTruncated(HostFolder& folder) { root(folder).mTruncated = true; }
  // Whether the folder is one of its own ancestors again, reached through a link.
  static bool onItsOwnPath(const HostFolder& folder)
  {
    if (folder.mFolderId.empty()) return false;
    for (const HostFolder* p = folder.mpParent; p; p = p->mpParent)
      if (p->mFolderId == folder.mFolderId) return true;
    return false;
  }
};

namespace {

bool onListedEntry(void* pContext, const char* pName, bool isFolder)
{
  // An empty name would stand for the folder itself and list it again, endlessly.
  if (!pName || !pName[0] || std::strcmp(pName, ".") == 0 || std::strcmp(pName, "..") == 0) return true;
  HostFolder* pFolder = static_cast<HostFolder*>(pContext);
  if (!PresetScanBudget::takeEntry(*pFolder)) return false;
  if (!isFolder) {
    pFolder->addFile(pName);
  } else if (pFolder->getDepth() >= PresetFolder::MAX_SCAN_DEPTH) {
    PresetScanBudget::markTruncated(*pFolder);
  } else {
    pFolder->addFolder(pName);
  }
  return true;
}

} // namespace

void HostFolder::scan()
{
  // A folder whose path does not fit cannot be listed. (Listing the shortened
  // path instead would list the parent again and recurse without end.)
  PathBuf path;
  if (!buildPath(path)) return;
  char folder[PathBuf::MAX_LEN + 1];
  std::memcpy(folder, path.get(), static_cast<std::size_t>(path.length()) + 1);
  std::size_t len = std::strlen(folder);
  if (len == 0) return;
  // One trailing separator goes; a lone separator (the file-system root) stays.
  if (len > 1 && isPathSeparator(folder[len - 1])) folder[--len] = 0;
  if (!presetTreeFolderId(folder, mFolderId)) mFolderId.clear();
  if (PresetScanBudget::onItsOwnPath(*this)) return;
  presetTreeListFolder(folder, onListedEntry, this);
}

void HostFolder::addFolder(const char*)
{
}

void HostFolder::addFile(const char*)
{
}

int HostFolder::assignIndices(int first)
{
  int next = first;
  for (Node* p = mFiles.mpFirst; p; p = p->mpNext) static_cast<PresetFile*>(p)->mIndex = next++;
  for (Node* p = mFolders.mpFirst; p; p = p->mpNext) next = static_cast<PresetFolder*>(p)->assignIndices(next);
  mFirstIndex = first;
  mLastIndex = next - 1;
  return next;
}

PresetFile* HostFolder::findPresetFile(int index) const
{
  for (PresetFolder* pSub = firstFolder(); pSub; pSub = pSub->next()) {
    if (index < pSub->mFirstIndex || index > pSub->mLastIndex) continue;
    for (PresetFile* pFile = pSub->firstFile(); pFile; pFile = pFile->next())
      if (pFile->mIndex == index) return pFile;
    if (PresetFile* pFile = pSub->findPresetFile(index)) return pFile;
  }
  return nullptr;
}

bool HostFolder::buildPath(PathBuf& path) const
{
  if (!mpParent) return path.set(mRootPath.c_str());
  return mpParent->buildPath(path) && path.join(mName.c_str());
}

void PresetFolder::addFolder(const char* pName)
{
  PresetFolder* pChild = new PresetFolder(this, pName);
  pChild->scan();
  if (pChild->hasEntries())
    mFolders.append(pChild);
  else
    delete pChild;
}

void PresetFolder::addFile(const char* pName)
{
  if (!std::strchr(pName, '.')) return;
  mFiles.append(new PresetFile(this, pName));
}

const PresetFile* PresetFolder::findByIndex(int index) const
{
  if (index < mFirstIndex || index > mLastIndex) return nullptr;
  for (PresetFile* pFile = firstFile(); pFile; pFile = pFile->next())
    if (pFile->mIndex == index) return pFile;
  return findPresetFile(index);
}

bool PresetFolder::buildFilePath(const PresetFile& file, PathBuf& path)
{
  return file.getFolder()->buildPath(path) && path.join(file.getFileName());
}

bool PresetFolder::loadPresetByIndex(int index, const PresetFileReadHook& readPreset) const
{
  const PresetFile* pFile = findByIndex(index);
  if (!pFile) return false;
  // A path cut short would name the folder instead of the file: leave it alone.
  PathBuf path;
  if (!buildFilePath(*pFile, path)) return false;
  if (readPreset) readPreset(path.get());
  return true;
}

void PresetFolder::rescanPresets(PresetFolder*& rpTree, const char* pPresetFolder)
{
  delete rpTree;
  rpTree = new PresetFolder(pPresetFolder ? pPresetFolder : "");
  rpTree->scan();
  rpTree->assignIndices(1);
}
