// The shared preset tree: rescans never make readers wait for the disk, never
// take a tree from a thread walking it, and leave the latest-started scan's tree.
#include "PresetTree.h"
#include "SharedSettings.h"
#include "TempDir.h"
#include "TestSeed.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// Checks that every number 1 .. mLastIndex finds its file and no other does;
// returns the number of files.
int WalkTree(const PresetFolder& root)
{
  for (int i = 1; i <= root.mLastIndex; ++i) {
    const PresetFile* pFile = root.findByIndex(i);
    EXPECT_TRUE(pFile && pFile->getIndex() == i) << i;
  }
  EXPECT_EQ(root.findByIndex(root.mLastIndex + 1), nullptr);
  return root.mLastIndex;
}

// Holds the next scan, once built (mHolding), until mReleased.
struct HeldSettings : SharedSettings {
  using SharedSettings::SharedSettings;
  std::atomic<bool> mHoldNext{false}, mHolding{false}, mReleased{false};
  std::shared_ptr<const PresetFolder> buildTree(const char* pFolder) override
  {
    std::shared_ptr<const PresetFolder> pTree = SharedSettings::buildTree(pFolder);
    if (mHoldNext.exchange(false))
      for (mHolding = true; !mReleased;) std::this_thread::yield();
    return pTree;
  }
};

std::string WriteIni(const TempDir& dir) { return dir.write("Tavrinel.ini", "PresetFolder \"" + dir.path("P") + "\"\n"); }

} // namespace

TEST(SharedSettings, AHeldScanBlocksNoReaderAndALaterScanWins)
{
  TempDir dir("tav_shared_");
  dir.write("P/a.preset", "x");
  HeldSettings s(WriteIni(dir));
  const std::shared_ptr<const PresetFolder> first = s.presetTree();
  std::future<std::shared_ptr<const PresetFolder>> held, read, later;
  struct LetGo {
    HeldSettings& s;
    ~LetGo() { s.mReleased = true; }  // destroyed first: no future waits for ever
  } letGo{s};

  s.mHoldNext = true;  // a rescan that has listed one file, held before it publishes
  held = std::async(std::launch::async, [&s] { return s.rescan(); });
  while (!s.mHolding) std::this_thread::yield();
  dir.write("P/b.preset", "x");
  read = std::async(std::launch::async, [&s] { return s.presetTree(); });
  ASSERT_EQ(read.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "a reader waited for a scan";
  EXPECT_EQ(read.get(), first);
  later = std::async(std::launch::async, [&s] { return s.rescan(); });
  ASSERT_EQ(later.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "a rescan waited for another";
  const std::shared_ptr<const PresetFolder> second = later.get();
  EXPECT_EQ(WalkTree(*second), 2);

  s.mReleased = true;  // the held scan, begun first, does not put its older tree back
  EXPECT_EQ(held.get(), second);
  EXPECT_EQ(s.presetTree(), second);
  EXPECT_EQ(WalkTree(*first), 1);  // whole for whoever still holds it
}

TEST(SharedSettings, RescansWhileOtherThreadsWalkTheTreesTheyHold)
{
  const unsigned seed = TestSeed();
  std::mt19937 random(seed);
  TempDir dir("tav_shared_");
  SharedSettings s(WriteIni(dir));
  std::atomic<bool> writing{true};
  std::vector<std::thread> walkers;  // each holds a tree, rescans or not, and finds the tree it holds unchanged
  for (unsigned w = 0; w < 3; ++w)
    walkers.emplace_back([&s, &writing, w, seed] {
      for (std::mt19937 own(seed + w); writing;) {
        const std::shared_ptr<const PresetFolder> held = own() % 3 ? s.presetTree() : s.rescan();
        const int files = WalkTree(*held);
        if (own() % 2) s.rescan();
        EXPECT_EQ(WalkTree(*held), files);
      }
    });
  int written = 0;
  for (; written < 400; ++written) {
    dir.write("P/d" + std::to_string(random() % 9) + "/w" + std::to_string(written) + ".preset", "x");
    if (random() % 4 == 0) s.rescan();
  }
  s.rescan();  // begun after the last write: complete, whatever earlier scans end later
  writing = false;
  for (std::thread& t : walkers) t.join();
  EXPECT_EQ(WalkTree(*s.presetTree()), written) << "TAV_SEED=" << seed;
}
