#pragma once
// The preset folder tree: every file below the "PresetFolder" setting, numbered
// 1, 2, 3, ... for the preset menu (files of a folder first, then its sub-folders,
// each in the order the system lists them). Folders whose subtree holds no file
// are left out.
//
// The process's instances share one root (SharedSettings, shared_ptr<const PresetFolder>):
//   first use, "Rescan", "Save As ...": PresetFolder::rescanPresets(pNewTree, presetFolderValue),
//     then the new root replaces the shared one;
//   a menu choice: pTree->loadPresetByIndex(index, readPresetFile hook);
//   destruction: with the last holder of the root.
//
// Thread: the one that builds a tree, until it is published; afterwards it is
// only read, on any thread but the audio thread (which never touches it), by
// as many threads at once as hold it. Lock: none of its own; the preset reader
// called through the hook takes the plug-in's lock itself.

#include <functional>
#include <string>

class PresetFolder;
class PresetFile;

// Bounded path buffer (MAX_LEN characters + terminator, on the heap).
class PathBuf {
public:
  static const int MAX_LEN = 260;

  PathBuf();
  ~PathBuf();
  PathBuf(const PathBuf&) = delete;
  PathBuf& operator=(const PathBuf&) = delete;

  const char* get() const { return mpBuf; }
  int length() const;
  // Copies pPath if it is shorter than MAX_LEN; otherwise leaves the buffer empty and returns false.
  bool set(const char* pPath);
  // Appends a separator unless the path ends in one, then pName if the result
  // stays shorter than MAX_LEN. False (name left off) when it does not fit.
  bool join(const char* pName);

private:
  char* mpBuf;
};

// Link fields of an entry in an intrusive list. No virtual operations.
class Node {
public:
  Node* mpNext = nullptr;
  Node* mpPrev = nullptr;
};

// First and last element of an intrusive list of nodes.
struct NodeList {
  Node* mpFirst = nullptr;
  Node* mpLast = nullptr;
  void append(Node* pNode);
  bool isEmpty() const { return mpFirst == nullptr; }
};

class HostFile : public Node {
public:
  HostFile(PresetFolder* pFolder, const char* pFileName);
  virtual ~HostFile() = default;
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;

  PresetFolder* getFolder() const { return mpFolder; }
  const char* getFileName() const { return mFileName.c_str(); }       // as listed, with extension
  const char* getDisplayName() const { return mDisplayName.c_str(); } // up to the last "."
  int getIndex() const { return mIndex; }

  int mIndex = 0; // menu index; 0 until numbered

private:
  PresetFolder* mpFolder;
  std::string mFileName;
  std::string mDisplayName;
};

class PresetFile : public HostFile {
public:
  using HostFile::HostFile;
  PresetFile* next() const { return static_cast<PresetFile*>(mpNext); }
};

class HostFolder : public Node {
public:
  // A root (pParent null, pText = full path) or a sub-folder (pText = its name).
  HostFolder(PresetFolder* pParent, const char* pText);
  virtual ~HostFolder(); // sub-folders first, then files, each list last to first
  HostFolder(const HostFolder&) = delete;
  HostFolder& operator=(const HostFolder&) = delete;

  // Lists this folder: addFolder for directories, addFile for the other entries.
  virtual void scan();
  virtual void addFolder(const char* pName);
  virtual void addFile(const char* pName);

  // Numbers the files of this subtree from first on; returns the next free index.
  int assignIndices(int first);
  // The file numbered index in one of the sub-folders' subtrees (this folder's
  // own files are not searched), or null.
  PresetFile* findPresetFile(int index) const;
  // Full path of this folder; false when it does not fit (the path is then not usable).
  bool buildPath(PathBuf& path) const;

  // Sub-folder levels below the root: the root is at 0.
  int getDepth() const;
  // The root is the only folder whose scan bounds count (see PresetFolder).
  bool isTruncated() const { return mTruncated; }

  PresetFolder* getParent() const { return mpParent; }
  const char* getRootPath() const { return mRootPath.c_str(); } // root only
  const char* getName() const { return mName.c_str(); }         // sub-folders only
  PresetFile* firstFile() const { return static_cast<PresetFile*>(mFiles.mpFirst); }
  PresetFolder* firstFolder() const;
  bool hasEntries() const { return !mFiles.isEmpty() || !mFolders.isEmpty(); }

  int mFirstIndex; // smallest index in the subtree; INT32_MAX until numbered
  int mLastIndex;  // largest index in the subtree; -1 until numbered (first - 1 when empty)

protected:
  NodeList mFiles;   // PresetFile
  NodeList mFolders; // PresetFolder

private:
  friend struct PresetScanBudget;

  PresetFolder* mpParent;
  std::string mRootPath;
  std::string mName;
  std::string mFolderId;    // see presetTreeFolderId; empty when unknown
  int mEntriesListed = 0;   // root only: entries met by the whole scan
  bool mTruncated = false;  // root only: a bound left entries out
};

// Called with the full path of the chosen preset file.
using PresetFileReadHook = std::function<void(const char* pPath)>;

// A scan is bounded, so that a preset folder set to a home folder, or holding
// links back up its own path, cannot stall the host: a link to a folder that
// is already on the path from the root is not followed, sub-folders deeper
// than MAX_SCAN_DEPTH levels are not entered, and after MAX_SCAN_ENTRIES
// listed entries (files and folders, kept or not) the scan stops. The root
// then tells isTruncated(), for the menu to say that more is not shown.
class PresetFolder : public HostFolder {
public:
  static const int MAX_SCAN_DEPTH = 16;
  static const int MAX_SCAN_ENTRIES = 10000;

  explicit PresetFolder(const char* pRootPath) : HostFolder(nullptr, pRootPath) {}
  PresetFolder(PresetFolder* pParent, const char* pName) : HostFolder(pParent, pName) {}

  // Scans pName as a sub-folder and keeps it only if its subtree holds a file.
  void addFolder(const char* pName) override;
  // Keeps names holding a ".", whatever the extension.
  void addFile(const char* pName) override;

  PresetFolder* next() const { return static_cast<PresetFolder*>(mpNext); }

  // On the root: the file numbered index (the root's own files first), or null
  // when index lies outside the root's range or the number is unknown.
  const PresetFile* findByIndex(int index) const;
  // Full path of pFile; false when it does not fit in a PathBuf.
  static bool buildFilePath(const PresetFile& file, PathBuf& path);
  // On the root: calls readPreset with the full path of the file numbered index.
  // Does nothing (false) for an unknown index or a path that does not fit.
  bool loadPresetByIndex(int index, const PresetFileReadHook& readPreset) const;

  // Replaces rpTree (deleted if not null) by a freshly scanned and numbered tree
  // rooted at pPresetFolder (null counts as empty).
  static void rescanPresets(PresetFolder*& rpTree, const char* pPresetFolder);
};

inline PresetFolder* HostFolder::firstFolder() const
{
  return static_cast<PresetFolder*>(mFolders.mpFirst);
}

// Platform directory listing (PresetTree_posix.cpp, PresetTree_win32.cpp).
// Calls onEntry for every entry of pFolder (a non-empty path without a trailing
// separator), "." and ".." included, in the system's order, until it returns
// false; names are UTF-8. Entries whose names cannot be converted are left out.
using PresetTreeEntryFn = bool (*)(void* pContext, const char* pName, bool isFolder);
void presetTreeListFolder(const char* pFolder, PresetTreeEntryFn onEntry, void* pContext);
// Identity of the folder pFolder names, links followed: equal for two paths
// exactly when they name the same folder (device and inode, or volume and
// file index). False when it cannot be found.
bool presetTreeFolderId(const char* pFolder, std::string& rId);
