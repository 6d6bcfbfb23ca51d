// The editor's undo history, driven through the real editor off screen: the
// gestures a user makes, the undo keys and the menus' "Undo" and "Redo".

#include "EditHistory.h"
#include "GrooveMakerGui.h"
#include "ModifierPanels.h"
#include "OffscreenEditor.h"
#include "TavrinelEditor.h"
#include "TavrinelGui.h"
#include "TavrinelGuiControls.h"
#include "TavrinelTestRig.h"
#include "TestSeed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const IMouseMod kLeft(true), kRight(false, true), kCtrlLeft(true, false, false, true);

struct UndoRig {
  TavrinelRig rig;
  Tavrinel& plug;
  IGraphicsOffscreen* g;
  TavrinelGui& gui;

  UndoRig() : plug(*rig.plug), g(BuildOffscreenEditor(plug)), gui(*plug.GetGui())
  {
    // The row handles' binding parameter takes its value at the first grid
    // refresh; from there on it stays.
    IPlugBase::MutexLock lock(plug.GetMutex());
    gui.RefreshGrid();
  }
  Bytes State()
  {
    IStateChunk c;
    plug.SerializeState(c);
    return Bytes(c.GetBytes(), c.GetBytes() + c.Size());
  }
  static std::pair<int, int> Centre(const IControl* c)
  {
    const IRECT& r = c->GetRECT();
    return {(r.L + r.R) / 2, (r.T + r.B) / 2};
  }
  void Click(const IControl* c, const IMouseMod& mod = kLeft)
  {
    const auto at = Centre(c);
    g->OnMouseDown(at.first, at.second, mod);
    g->OnMouseUp(at.first, at.second, mod);
  }
  void Drag(int x, int y, int dx, int dy, const IMouseMod& mod = kLeft)
  {
    g->OnMouseDown(x, y, mod);
    for (int i = 1; i <= 10; ++i) g->OnMouseDrag(x + dx * i / 10, y + dy * i / 10, mod);
    g->OnMouseUp(x + dx, y + dy, mod);
  }
  // A menu of a grid control: the item at index chosen (-1: dismissed). A
  // modal menu may swallow the release.
  const IGraphicsOffscreen::Prompt& Menu(const IControl* c, int index, bool release = true)
  {
    g->QueuePopupChoice(index);
    const auto at = Centre(c);
    g->OnMouseDown(at.first, at.second, kRight);
    if (release) g->OnMouseUp(at.first, at.second, kRight);
    return g->Prompts().back();
  }
  void Key(int key, bool shift) { g->OnKeyDown(0, 0, key, IMouseMod(false, false, shift, true)); }
  IControl* Bound(int paramIdx)
  {
    for (int i = 0; i < g->NControls(); ++i)
      if (g->GetControl(i)->ParamIdx() == paramIdx) return g->GetControl(i);
    return nullptr;
  }
  // A click on note j of pulse k of a cell.
  void Note(int step, int row, int k, int j, const IMouseMod& mod = kLeft)
  {
    const IRECT& r = gui.GetCell(step, row)->GetCanvas()->GetRECT();
    const int p = PulseLayout::Clamp(plug.mProgression.step(step).mMelodies[row].numPulses);
    int x0, x1, y0, y1;
    PulseLayout::Column(p, k % p, x0, x1);
    PulseLayout::Row(j, y0, y1);
    g->OnMouseDown(r.L + (x0 + x1) / 2, r.T + (y0 + y1) / 2, mod);
    g->OnMouseUp(r.L + (x0 + x1) / 2, r.T + (y0 + y1) / 2, mod);
  }
};

// One gesture of every kind the editor offers on the song, picked by r.
void RandomGesture(UndoRig& u, std::mt19937& r)
{
  const int step = static_cast<int>(r() % MAX_STEPS), row = static_cast<int>(r() % MAX_VARIATIONS_PER_CHORD);
  MelodyCell& cell = *u.gui.GetCell(step, row);
  switch (r() % 12) {
  case 0:
  case 1: u.Note(step, row, static_cast<int>(r() % 4), static_cast<int>(r() % 5)); break;
  case 2: u.Menu(cell.GetCanvas(), 3 + static_cast<int>(r() % 25), r() % 2); break;
  case 3: u.Menu(u.gui.GetRowControl(row), 3 + static_cast<int>(r() % 140), r() % 2); break;
  case 4: u.Click(cell.GetEnableControl()); break;
  case 5: {
    const auto at = UndoRig::Centre(cell.GetCounter());
    u.g->OnMouseWheel(at.first, at.second, IMouseMod(), 1 + static_cast<int>(r() % 5));
    break;
  }
  case 6: {
    const IRECT& c = u.gui.GetGrooveCanvas()->GetRECT();
    u.Drag(c.L + static_cast<int>(r() % 300), c.B - 5, static_cast<int>(r() % 300), -static_cast<int>(r() % 60));
    break;
  }
  case 7: u.Click(u.Bound((r() % 2 ? kGrooveLock0 : kGrooveMute0) + static_cast<int>(r() % GROOVE_STEPS))); break;
  case 8: u.Click(r() % 2 ? u.gui.GetSoloSwitch(row) : u.gui.GetMuteSwitch(row)); break;
  case 9:
    u.Click(u.plug.GetEditor()->GetStepView(static_cast<int>(r() % 2), static_cast<int>(r() % 8)).mModifierControl);
    break;
  case 10:
    // A selection, then an edit button on it.
    u.Note(step, row, 0, 0, kCtrlLeft);
    if (r() % 2) u.Click(u.gui.GetRowControl(row));
    u.Click(u.plug.GetEditor()->GetEditButton(static_cast<int>(r() % TavrinelEditor::NUM_EDIT_BUTTONS)));
    break;
  default: {
    const DoubleThumbFaderControl& span = *u.gui.GetChordSpanControl();
    const IRECT& bar = span.GetBarRect();
    const IRECT& thumb = r() % 2 ? span.GetLowThumbRect() : span.GetHighThumbRect();
    const bool onBar = r() % 3 == 0 && bar.R > bar.L;
    u.Drag(onBar ? (bar.L + bar.R) / 2 : (thumb.L + thumb.R) / 2, (bar.T + bar.B) / 2,
           static_cast<int>(r() % 200) - 100, 0);
    break;
  }
  }
}

} // namespace

// Random gestures, undos and redos (keys and menus) against a model that
// keeps every state the song went through: each gesture that changed the
// state is one step, an undo or redo gives back the state of the step before
// or after exactly, a new step drops those to redo, and the oldest steps go
// beyond 100. After 200 actions everything is undone (back to the start) and
// redone; then 130 gestures without undos pass the bound.
TEST(Undo, RandomGesturesUndosAndRedosRetraceTheSong)
{
  const unsigned seed = TestSeed();
  std::mt19937 r(seed);
  UndoRig u;
  std::deque<Bytes> states{u.State()};  // the oldest state undo reaches, then one per step
  size_t at = 0;
  for (int n = 0; n < 600; ++n) {
    if (n == 200) {
      while (u.plug.Undo()) {}
      ASSERT_EQ(u.State(), states.front()) << "TAV_SEED=" << seed;
      while (u.plug.Redo()) {}
      ASSERT_EQ(u.State(), states.back()) << "TAV_SEED=" << seed;
      at = states.size() - 1;
    }
    const unsigned pick = n >= 200 && n < 330 ? 0 : r() % 10;
    if (pick < 6) {
      RandomGesture(u, r);
      Bytes now = u.State();
      if (now != states[at]) {
        states.resize(at + 1);
        states.push_back(std::move(now));
        if (states.size() > EditHistory::MAX_STEPS + 1u) states.pop_front();
        at = states.size() - 1;
      }
    } else {
      const bool redo = pick >= 8;
      IControl* pMenuOf = r() % 2 ? u.gui.GetCell(r() % MAX_STEPS, 0)->GetCanvas() : u.gui.GetRowControl(r() % 4);
      if (r() % 2) {
        u.Menu(pMenuOf, redo ? 1 : 0);
      } else if (!redo || r() % 2) {
        u.Key(kKeyZ, redo);  // Control+Z, Control+Shift+Z
      } else {
        u.Key(kKeyA + ('Y' - 'A'), false);
      }
      if (redo && at + 1 < states.size()) ++at;
      if (!redo && at > 0) --at;
      ASSERT_EQ(u.State(), states[at]) << (redo ? "redo" : "undo") << " at action " << n << ", TAV_SEED=" << seed;
    }
    ASSERT_EQ(u.plug.NumUndoSteps(), static_cast<int>(at)) << "action " << n << ", TAV_SEED=" << seed;
    ASSERT_EQ(u.plug.NumRedoSteps(), static_cast<int>(states.size() - 1 - at)) << "TAV_SEED=" << seed;
  }
  while (u.plug.Undo()) {}
  EXPECT_EQ(u.State(), states.front()) << "TAV_SEED=" << seed;
  while (u.plug.Redo()) {}
  EXPECT_EQ(u.State(), states.back()) << "TAV_SEED=" << seed;
}

// One gesture is one step under the name of what the user did, whatever
// number of inputs it takes; the grid's menus offer the steps by name; each
// undo tells the host once that the song changed, and a span moved back
// reaches its two parameters. What the host records (a knob of an announced
// parameter, its own automation) is no step and no undo reverts it.
TEST(Undo, GesturesAreNamedStepsAndTheHostHearsOfEachUndo)
{
  UndoRig u;
  const IRECT& groove = u.gui.GetGrooveCanvas()->GetRECT();
  int32_t grooveBefore[GROOVE_STEPS];
  std::copy(u.plug.mGroove.mGrooveValues, u.plug.mGroove.mGrooveValues + GROOVE_STEPS, grooveBefore);
  u.Drag(groove.L + 2, groove.B - 4, 400, -40);  // across 29 bars, 12 inputs
  EXPECT_EQ(u.plug.NumUndoSteps(), 1);
  EXPECT_EQ(u.plug.UndoName(), "Groove stroke");
  const auto counter = UndoRig::Centre(u.gui.GetCell(2, 1)->GetCounter());
  u.Drag(counter.first, counter.second, 0, -60);
  EXPECT_EQ(u.plug.NumUndoSteps(), 2);
  EXPECT_GT(u.plug.mProgression.step(2).mMelodies[1].mRepeatCount, 2);
  EXPECT_EQ(u.plug.UndoName(), "Repeat count at chord 3, row 2");

  // "Clear" of row 1's menu, its release swallowed, offered for undo by the
  // next menu of a cell.
  const std::vector<std::string> rowItems = u.Menu(u.gui.GetRowControl(0), -1).mItems;
  const auto clear = std::find(rowItems.begin(), rowItems.end(), "Clear") - rowItems.begin();
  u.Menu(u.gui.GetRowControl(0), static_cast<int>(clear), false);
  const auto& cellMenu = u.Menu(u.gui.GetCell(0, 0)->GetCanvas(), -1);
  EXPECT_EQ(cellMenu.mItems[0], "Undo Clear melody row 1");
  EXPECT_EQ(cellMenu.mItems[1], "Redo");
  EXPECT_FALSE(cellMenu.mItemFlags[0] & IPopupMenu::Item::kDisabled);
  EXPECT_TRUE(cellMenu.mItemFlags[1] & IPopupMenu::Item::kDisabled);

  // Undo from a menu twice, then the keys: the host hears of each once.
  const Bytes cleared = u.State();
  for (int n = 0; n < 2; ++n) {
    u.rig.ClearHost();
    u.Menu(u.gui.GetRowControl(3), 0);
    EXPECT_EQ(u.rig.host.Count(audioMasterUpdateDisplay), 1) << n;
  }
  EXPECT_EQ(u.Menu(u.gui.GetRowControl(0), -1).mItems[1], "Redo Repeat count at chord 3, row 2");
  u.Key(kKeyZ, false);
  EXPECT_TRUE(std::equal(grooveBefore, grooveBefore + GROOVE_STEPS, u.plug.mGroove.mGrooveValues));
  u.Key(kKeyZ, true);
  u.Key(kKeyA + ('Y' - 'A'), false);
  u.Key(kKeyZ, true);
  EXPECT_EQ(u.State(), cleared);
  EXPECT_EQ(u.plug.NumRedoSteps(), 0);

  // The chord span dragged and undone: its parameters go back and the host
  // hears of them.
  const double stepOne = u.plug.GetParam(kStepOne)->Value(), numStep = u.plug.GetParam(kNumStep)->Value();
  const IRECT& low = u.gui.GetChordSpanControl()->GetLowThumbRect();
  u.Drag((low.L + low.R) / 2, (low.T + low.B) / 2, 160, 0);
  EXPECT_EQ(u.plug.UndoName(), "Chord span");
  ASSERT_NE(u.plug.GetParam(kStepOne)->Value(), stepOne);
  u.rig.ClearHost();
  u.Key(kKeyZ, false);
  EXPECT_EQ(u.plug.GetParam(kStepOne)->Value(), stepOne);
  EXPECT_EQ(u.plug.GetParam(kNumStep)->Value(), numStep);
  EXPECT_EQ(u.rig.host.Count(audioMasterAutomate), 2);
  u.Key(kKeyZ, true);

  // A knob of an announced parameter makes no step; the host's value stays
  // through an undo of the song.
  const int steps = u.plug.NumUndoSteps();
  const auto knob = UndoRig::Centre(u.Bound(kSwing));
  u.Drag(knob.first, knob.second, 0, -50);
  EXPECT_EQ(u.plug.NumUndoSteps(), steps);
  u.Note(4, 0, 1, 3);
  AEffect* e = u.rig.effect;
  e->setParameter(e, kTonic, 0.25f);
  const double swing = u.plug.GetParam(kSwing)->Value(), tonic = u.plug.GetParam(kTonic)->Value();
  ASSERT_NE(swing, 0.0);
  u.plug.Undo();
  EXPECT_EQ(u.plug.GetParam(kSwing)->Value(), swing);
  EXPECT_EQ(u.plug.GetParam(kTonic)->Value(), tonic);
}

// A restore from the host (a chunk, a program) empties the history, even in
// the middle of a gesture, whose step then starts from the restored song: no
// undo leads into the song before it.
TEST(Undo, HostRestoresEmptyTheHistory)
{
  UndoRig u;
  void* data = nullptr;
  const intptr_t size = u.rig.Dispatch(effGetChunk, 0, 0, &data);
  const Bytes saved(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  const Bytes savedState = u.State();
  u.Note(1, 0, 0, 4);
  u.Note(2, 0, 0, 4);
  u.plug.Undo();
  ASSERT_EQ(u.plug.NumUndoSteps() + u.plug.NumRedoSteps(), 2);
  u.rig.Dispatch(effSetProgram, 2);
  EXPECT_EQ(u.plug.NumUndoSteps() + u.plug.NumRedoSteps(), 0);

  u.Note(3, 0, 0, 4);
  const IRECT& groove = u.gui.GetGrooveCanvas()->GetRECT();
  u.g->OnMouseDown(groove.L + 2, groove.B - 30, kLeft);
  Bytes chunk = saved;
  ASSERT_EQ(u.rig.Dispatch(effSetChunk, 0, static_cast<intptr_t>(chunk.size()), chunk.data()), 1);
  EXPECT_EQ(u.plug.NumUndoSteps(), 0);
  ASSERT_EQ(u.State(), savedState);
  u.g->OnMouseDrag(groove.L + 200, groove.B - 50, kLeft);
  u.g->OnMouseUp(groove.L + 200, groove.B - 50, kLeft);
  EXPECT_EQ(u.plug.NumUndoSteps(), 1);
  u.plug.Undo();
  EXPECT_EQ(u.State(), savedState);
  EXPECT_FALSE(u.plug.Undo());
}

// A preset load is one step. Its undo brings back the pattern, the groove and
// the song's own parameters; the announced ones stay as the preset set them
// (the host heard of them as changes of its own).
TEST(Undo, APresetLoadIsOneStep)
{
  UndoRig u;
  u.Note(0, 0, 0, 3);
  const Bytes before = u.State();
  ChordProgression pattern = u.plug.mProgression;
  GrooveMaker groove = u.plug.mGroove;
  std::vector<double> song;
  for (int i = kNumHostParams; i < kNumParams; ++i) song.push_back(u.plug.GetParam(i)->Value());
  ASSERT_TRUE(u.plug.loadPresetFile(TAV_SOURCE_DIR "/resources/presets/Modifiers/Melody Morph.preset"));
  const Bytes loaded = u.State();
  const double tonic = u.plug.GetParam(kTonic)->Value();
  ASSERT_NE(loaded, before);
  EXPECT_EQ(u.plug.NumUndoSteps(), 2);
  EXPECT_EQ(u.plug.UndoName(), "Load preset");

  u.plug.Undo();
  for (int s = 0; s < MAX_STEPS; ++s)
    for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r) {
      const Melody &now = u.plug.mProgression.step(s).mMelodies[r], &was = pattern.step(s).mMelodies[r];
      EXPECT_TRUE(now.mEnabled == was.mEnabled && now.mRepeatCount == was.mRepeatCount) << s << "." << r;
      for (int p = 0; p < MAX_PULSES_PER_MELODY; ++p)
        EXPECT_EQ(now.mPulses[p].mPlayingMask, was.mPulses[p].mPlayingMask) << s << "." << r << "." << p;
    }
  EXPECT_TRUE(std::equal(groove.mGrooveValues, groove.mGrooveValues + GROOVE_STEPS, u.plug.mGroove.mGrooveValues));
  for (int i = kNumHostParams; i < kNumParams; ++i)
    EXPECT_TRUE(!u.plug.IsStoredInPreset(i) || u.plug.GetParam(i)->Value() == song[i - kNumHostParams]) << i;
  EXPECT_EQ(u.plug.GetParam(kTonic)->Value(), tonic);
  u.plug.Redo();
  EXPECT_EQ(u.State(), loaded);
}
