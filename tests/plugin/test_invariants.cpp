// A broken invariant met while the host plays: a release build reports it
// once and keeps processing with a safe value; a debug build stops there.
#include "TavrinelTestRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

TEST(InvariantDeathTest, OneBrokenWhilePlayingIsReportedOnceAndPlayingGoesOn)
{
  TavrinelRig r;
  auto noteOns = [&r](int blocks) {
    size_t n = 0;
    for (int i = 0; i < blocks; ++i) n += r.NoteOns(r.Take(512)).size();
    return n;
  };
  r.plug->mMode = 7; // past the seven modes: every chord tone fails its check
#ifdef NDEBUG
  testing::internal::CaptureStderr();
  const size_t broken = noteOns(200);
  r.plug->mMode = 0;
  const size_t mended = noteOns(200);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(broken, 0u); // a tone without a pitch plays no note
  EXPECT_GT(mended, 0u);
  EXPECT_NE(log.find("0 <= mode && mode < 7, file src\\Scale"), std::string::npos) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
#else
  EXPECT_DEATH(noteOns(200), "0 <= mode && mode < 7, file src.Scale");
#endif
}
