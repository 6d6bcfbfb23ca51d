// The history's byte ranges on random data: changes anywhere (the first and
// last bytes, runs with gaps around the joining distance), undone and redone
// against a copy of every version.

#include "EditHistory.h"
#include "TestSeed.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

TEST(EditHistory, RandomChangesUndoAndRedoToEveryVersion)
{
  const unsigned seed = TestSeed();
  std::mt19937 r(seed);
  for (int size : {1, 7, 300}) {
    EditHistory h;
    std::vector<std::vector<uint8_t>> versions{std::vector<uint8_t>(static_cast<size_t>(size), 0)};
    std::vector<uint8_t> song = versions[0];
    for (int n = 0; n < 130; ++n) {
      const int at = static_cast<int>(r() % static_cast<unsigned>(size));
      for (int k = 0, changes = 1 + static_cast<int>(r() % 4); k < changes; ++k)
        song[static_cast<size_t>((at + k * static_cast<int>(r() % 7)) % size)] ^= static_cast<uint8_t>(1 + r() % 255);
      ASSERT_EQ(h.Record(versions.back().data(), song.data(), size, "step"), song != versions.back());
      if (song != versions.back()) versions.push_back(song);
    }
    const size_t kept = versions.size() > EditHistory::MAX_STEPS + 1u ? EditHistory::MAX_STEPS : versions.size() - 1;
    ASSERT_EQ(h.NumUndo(), static_cast<int>(kept));
    for (size_t i = versions.size() - 1; h.Undo(song.data(), size); --i)
      ASSERT_EQ(song, versions[i - 1]) << "size " << size << ", TAV_SEED=" << seed;
    EXPECT_EQ(song, versions[versions.size() - 1 - kept]) << "TAV_SEED=" << seed;
    while (h.Redo(song.data(), size)) {}
    EXPECT_EQ(song, versions.back()) << "TAV_SEED=" << seed;
    EXPECT_FALSE(h.Undo(song.data(), size + 1));  // recorded against another size
  }
}
