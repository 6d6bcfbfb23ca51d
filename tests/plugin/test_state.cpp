#include "TavrinelTestRig.h"

#include "IControls.h"
#include "IGraphicsOffscreen.h"
#include "TavrinelGui.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr int PULSE = 11025;
constexpr int HEADER = 8;
constexpr int PATTERN_END = HEADER + PROGRESSION_BYTES;  // groove section starts here

std::vector<uint8_t> GetChunk(TavrinelRig& r)
{
  void* data = nullptr;
  const intptr_t size = r.Dispatch(effGetChunk, 0, 0, &data);
  const uint8_t* p = static_cast<const uint8_t*>(data);
  return size > 0 ? std::vector<uint8_t>(p, p + size) : std::vector<uint8_t>();
}

intptr_t SetChunk(TavrinelRig& r, std::vector<uint8_t> bytes, size_t length)
{
  bytes.resize(length);
  return r.Dispatch(effSetChunk, 0, static_cast<intptr_t>(length), bytes.data());
}

// A pattern, groove and settings that differ from the defaults everywhere the
// state reaches, with random draws in play.
void Customise(TavrinelRig& r)
{
  r.Set(kVel, 90);
  r.Set(kVelJitt, 0.5);
  r.Set(kLenJitt, 0.3);
  r.Set(kTimeUnits, 4);
  r.Set(kStkMod1 + 2, eStrikeRand);
  r.Set(kMelMod1 + 1, eMelodyRight1);
  r.Set(kMekModT1 + 1, eLifetimePerm);
  r.Set(kLifeProb, 0.5);
  r.Set(kSeqSteps, 20);
  r.Pulse(0, 0, 1).setMask(9);
  r.Pulse(3, 0, 3).setMask(31);
  for (int i = 0; i < GROOVE_STEPS; ++i) r.plug->mGroove.mGrooveValues[i] = (i * 2) % 129;
  r.plug->mGroove.mGrooveValues[0] = 0;
  r.plug->mGroove.mGrooveValues[1] = 128;
}

// The state of a customised plug-in (the fake host serves one rig at a time).
std::vector<uint8_t> CustomChunk()
{
  TavrinelRig a;
  Customise(a);
  return GetChunk(a);
}

TEST(State, RestoreWhilePlayingDisarmsOneAdvance)
{
  TavrinelRig r;
  r.Pulse(0, 0, 1).setMask(1);
  EXPECT_EQ(r.NoteOns(r.Take(PULSE + 1)).size(), 2u);  // pulses 0 and 1
  const std::vector<uint8_t> chunk = GetChunk(r);
  ASSERT_EQ(SetChunk(r, chunk, chunk.size()), 1);
  // The position runs on, so nothing is re-located: the next pulse plays
  // pulse 1 again instead of moving on to pulse 2.
  std::vector<IMidiMessage> ev = r.NoteOns(r.Take(PULSE));
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].NoteNumber(), 60);
  EXPECT_EQ(r.plug->mPlayer.mCurrentPulse, 1);
  ev = r.NoteOns(r.Take(PULSE));
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].NoteNumber(), 84);
}

TEST(State, RestoreRedrawsEveryControlOfAnAttachedEditor)
{
  TavrinelRig r;
  const std::vector<uint8_t> chunk = GetChunk(r);
  IGraphicsOffscreen* pGui = new IGraphicsOffscreen(r.plug, 16, 16);
  ITextControl* pLabel = new ITextControl(r.plug, IRECT(0, 0, 8, 8), IText(), "x");  // bound to no parameter
  pGui->AttachControl(pLabel);
  r.plug->AttachGraphics(pGui);
  pLabel->SetClean();
  ASSERT_FALSE(pLabel->IsDirty());
  ASSERT_EQ(SetChunk(r, chunk, chunk.size()), 1);
  EXPECT_TRUE(pLabel->IsDirty());
}

// A state saved while edit buttons were held (or written by another tool with
// commands at 1) restores the pattern as saved, with every row selected so that
// any command that ran would show: neither the restore, a program change, the
// host's open pass nor a host value replays a command. A press in the editor does.
TEST(State, EditCommandsNeverReplayFromRestoresOrTheHost)
{
  std::vector<uint8_t> saved;
  {
    TavrinelRig a;
    Customise(a);
    for (int i = kEditCmdFirst; i <= kEditCmdLast; ++i) a.plug->GetParam(i)->Set(1.0);  // mid-press
    saved = GetChunk(a);
  }
  TavrinelRig r;
  for (int row = 0; row < MAX_VARIATIONS_PER_CHORD; ++row) r.plug->GetGui()->SetRowSelected(row, true);
  auto pattern = [&r] {
    IStateChunk c;
    r.plug->mProgression.serialize(c);
    return std::vector<uint8_t>(c.GetBytes(), c.GetBytes() + c.Size());
  };
  ASSERT_EQ(SetChunk(r, saved, saved.size()), 1);
  const std::vector<uint8_t> restored(saved.begin() + HEADER, saved.begin() + PATTERN_END);
  EXPECT_EQ(pattern(), restored);

  r.Dispatch(effSetProgram, 1);  // an empty slot takes the current values
  r.Dispatch(effSetProgram, 0);
  r.Dispatch(effOpen);
  AEffect* e = r.effect;
  for (int i = kEditCmdFirst; i <= kEditCmdLast; ++i) e->setParameter(e, i, 1.0f);
  EXPECT_EQ(pattern(), restored);

  r.plug->SetParameterFromGUI(kEditCmdFirst + 6, 1.0);  // "M C" pressed: the selection is cleared
  EXPECT_NE(pattern(), restored);
  // The editor's own parameters (the row handles the grid refresh pushes) stay inside.
  for (const FakeHost::Call& c : r.host.mCalls)
    EXPECT_TRUE(c.opcode != audioMasterAutomate || c.index < kNumHostParams) << c.index;
}

TEST(State, CutAfterTheGroove)
{
  const std::vector<uint8_t> chunk = CustomChunk();
  TavrinelRig b;
  b.Set(kVel, 77);
  b.plug->mVelocity = 5;  // handlers run again after the restore
  EXPECT_EQ(SetChunk(b, chunk, PATTERN_END + GROOVE_BYTES), 0);
  EXPECT_EQ(b.plug->GetParam(kTimeUnits)->Value(), 0.0);
  EXPECT_EQ(b.Display(kTimeUnits), "1/1");
  EXPECT_EQ(b.plug->mClock.mUnitBeats, 4.0);
  EXPECT_EQ(b.plug->GetParam(kVel)->Value(), 77.0);
  EXPECT_EQ(b.plug->mVelocity, 77);
  EXPECT_EQ(b.Pulse(0, 0, 1).mPlayingMask, 9);
  EXPECT_EQ(b.Pulse(3, 0, 3).mPlayingMask, 31);
  EXPECT_EQ(b.plug->mGroove.mGrooveValues[47], 94);
}

TEST(State, CutInsideTheGrooveSteps)
{
  const std::vector<uint8_t> chunk = CustomChunk();
  TavrinelRig b;
  EXPECT_EQ(SetChunk(b, chunk, PATTERN_END + 4 + 10), 0);
  const int32_t* g = b.plug->mGroove.mGrooveValues;
  EXPECT_EQ(g[0], 0);
  EXPECT_EQ(g[1], 128);
  EXPECT_EQ(g[9], 18);
  for (int i = 10; i < GROOVE_STEPS; ++i) EXPECT_EQ(g[i], 18) << i;

  // No step byte at all: the steps keep what they had.
  TavrinelRig c;
  c.plug->mGroove.mGrooveValues[0] = 33;
  EXPECT_EQ(SetChunk(c, chunk, PATTERN_END + 4), 0);
  EXPECT_EQ(c.plug->mGroove.mGrooveValues[0], 33);
  EXPECT_EQ(c.plug->mGroove.mGrooveValues[47], 128);
  EXPECT_EQ(c.Pulse(0, 0, 1).mPlayingMask, 9);
}

} // namespace
