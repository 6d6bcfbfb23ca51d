#pragma once
// The installation settings and the preset tree, once per process. Every
// plug-in instance holds the same SharedSettings, so a host that opens forty
// instances, or scans its plug-ins, reads "Tavrinel.ini" once and lists the
// preset folder once, and neither before something asks for it:
//
//   an instance's constructor:    mpSettings = SharedSettings::forProcess();  (reads nothing)
//   file dialogs' start folder:   mpSettings->presetFolder();  (the first call reads Tavrinel.ini)
//   preset menu, load by index:   mpSettings->presetTree();    (the first call scans the folder)
//   "Rescan", "Save As ...":      mpSettings->rescan();        (a new tree replaces the shared one)
//
// A published tree never changes. Whoever holds a shared_ptr to it may walk it
// on any thread for as long as the pointer is kept, whatever rescans happen
// meanwhile; the last holder deletes it. Of rescans that overlap, the tree of
// the one that started last stays published, so a file written before a
// rescan began is in the shared tree once that rescan returns.
//
// Threads: any thread but the audio thread, which never comes here (in the
// plug-in: the thread that builds an instance and the editor thread). Locks,
// all private and never held while calling out of this class:
// - a process lock while forProcess() finds or makes the shared object;
// - mConfigOnce while Tavrinel.ini is read, once;
// - mFirstScanMutex while the first tree is built: concurrent first askers
//   wait for that one scan instead of scanning too;
// - mTreeMutex only to copy or swap the published pointer. A rescan builds
//   its tree without any lock, so readers never wait for the disk, and an old
//   tree is deleted after the lock is released.

#include "ConfigurablePool.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class PresetFolder;

class SharedSettings {
public:
  // configIdx of "PresetFolder": the root of the preset tree.
  static constexpr int PRESET_FOLDER = 0;
  // configIdx of "EditorScale": the editor's size when the user chose none.
  static constexpr int EDITOR_SCALE = 1;

  // Settings read from the file at iniPath when first asked for; nothing is
  // read here. An empty path reads nothing: every setting stays "".
  explicit SharedSettings(std::string iniPath);
  virtual ~SharedSettings();
  SharedSettings(const SharedSettings&) = delete;
  SharedSettings& operator=(const SharedSettings&) = delete;

  // The process's settings for "Tavrinel.ini" beside the plug-in's library,
  // made on the first call. The same object on every call, unless the tests'
  // HomeDirectory::overrideLibraryPath was called since: the next call then
  // starts over with the file beside the new path (holders of the old object
  // keep it).
  static std::shared_ptr<SharedSettings> forProcess();

  // The settings; the first call reads the file (once, whatever the threads).
  const ConfigurablePool& configuration();
  // The "PresetFolder" setting; "" when not configured.
  const char* presetFolder();

  // The published tree, never null: numbered and complete. The first call
  // (of all threads) builds it.
  std::shared_ptr<const PresetFolder> presetTree();
  // Builds a new tree from the "PresetFolder" setting and publishes it unless
  // a rescan that started later has published already; returns the tree
  // published when it ends.
  std::shared_ptr<const PresetFolder> rescan();

  // Counts for tests and benchmarks, over every SharedSettings of the process:
  // trees built and configuration files read so far.
  static int treesBuilt();
  static int configurationReads();

protected:
  // Scans pFolder into a new numbered tree; called with no lock held. Tests
  // override it to hold a scan up.
  virtual std::shared_ptr<const PresetFolder> buildTree(const char* pFolder);

private:
  std::shared_ptr<const PresetFolder> scanAndPublish();

  const std::string mIniPath;
  ConfigurablePool mConfig;
  std::once_flag mConfigOnce;

  std::mutex mFirstScanMutex;
  std::mutex mTreeMutex;
  std::shared_ptr<const PresetFolder> mpTree;  // published tree (mTreeMutex)
  std::uint64_t mPublishedScan = 0;            // number of the scan that built it (mTreeMutex)
  std::atomic<std::uint64_t> mScansStarted{0};
};
