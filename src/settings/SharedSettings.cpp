#include "SharedSettings.h"

#include "Assert.h"
#include "HomeDirectory.h"
#include "PresetTree.h"

#include <utility>

namespace {

std::atomic<int> gTreesBuilt{0};
std::atomic<int> gConfigurationReads{0};

} // namespace

SharedSettings::SharedSettings(std::string iniPath)
  : mIniPath(std::move(iniPath))
{
  const int idx = mConfig.add();
  TAV_ASSERT(idx == PRESET_FOLDER, "src\\SharedSettings");
  mConfig.get(PRESET_FOLDER)->setName("PresetFolder");
  mConfig.get(PRESET_FOLDER)->setString("");
  mConfig.add();
  mConfig.get(EDITOR_SCALE)->setName("EditorScale");
  mConfig.get(EDITOR_SCALE)->setString("");
}

SharedSettings::~SharedSettings() = default;

std::shared_ptr<SharedSettings> SharedSettings::forProcess()
{
  struct Current {
    std::mutex mutex;
    std::shared_ptr<SharedSettings> pSettings;
    unsigned generation = 0;
  };
  static Current current;

  std::shared_ptr<SharedSettings> pReplaced;  // let go after the lock
  std::lock_guard<std::mutex> lock(current.mutex);
  const unsigned generation = HomeDirectory::overrideGeneration();
  if (!current.pSettings || current.generation != generation) {
    pReplaced = std::move(current.pSettings);
    current.pSettings = std::make_shared<SharedSettings>(HomeDirectory("Tavrinel.ini").getPathname());
    current.generation = generation;
  }
  return current.pSettings;
}

const ConfigurablePool& SharedSettings::configuration()
{
  std::call_once(mConfigOnce, [this] {
    if (!mIniPath.empty()) mConfig.loadConfiguration(mIniPath.c_str());
    gConfigurationReads.fetch_add(1);
  });
  return mConfig;
}

const char* SharedSettings::presetFolder()
{
  const char* pFolder = configuration().get(PRESET_FOLDER)->getString();
  return pFolder ? pFolder : "";
}

std::shared_ptr<const PresetFolder> SharedSettings::presetTree()
{
  {
    std::lock_guard<std::mutex> lock(mTreeMutex);
    if (mpTree) return mpTree;
  }
  std::lock_guard<std::mutex> first(mFirstScanMutex);
  {
    std::lock_guard<std::mutex> lock(mTreeMutex);
    if (mpTree) return mpTree;  // built while this thread waited
  }
  return scanAndPublish();
}

std::shared_ptr<const PresetFolder> SharedSettings::rescan()
{
  return scanAndPublish();
}

std::shared_ptr<const PresetFolder> SharedSettings::buildTree(const char* pFolder)
{
  PresetFolder* pBuilt = nullptr;
  PresetFolder::rescanPresets(pBuilt, pFolder);
  gTreesBuilt.fetch_add(1);
  return std::shared_ptr<const PresetFolder>(pBuilt);
}

std::shared_ptr<const PresetFolder> SharedSettings::scanAndPublish()
{
  // Numbered before the folder is listed: a later number saw at least as much
  // of the disk.
  const std::uint64_t scan = mScansStarted.fetch_add(1) + 1;
  std::shared_ptr<const PresetFolder> pFresh = buildTree(presetFolder());

  std::shared_ptr<const PresetFolder> pOld;  // deleted after the lock, if this was its last holder
  std::lock_guard<std::mutex> lock(mTreeMutex);
  if (scan > mPublishedScan) {
    pOld = std::move(mpTree);
    mpTree = pFresh;
    mPublishedScan = scan;
  }
  return mpTree;
}

int SharedSettings::treesBuilt()
{
  return gTreesBuilt.load();
}

int SharedSettings::configurationReads()
{
  return gConfigurationReads.load();
}
