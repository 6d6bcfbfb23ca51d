// The pattern grid's controls and the groove editor, driven through an
// off-screen editor: what they draw, what clicks, drags and menu choices do to
// the pattern, the chord span and the groove.

#include "GrooveMaker.h"
#include "GrooveMakerGui.h"
#include "GuiTestPlug.h"
#include "IGraphicsOffscreen.h"
#include "LiceBitmap.h"
#include "TavrinelGui.h"
#include "TavrinelGuiControls.h"
#include "TavrinelTestRig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const IMouseMod kLeft(true);
const IMouseMod kRight(false, true);
const IMouseMod kCtrlLeft(true, false, false, true);

// Paints the whole editor opaque black first, so each draw starts clean.
struct Backdrop : IControl {
  explicit Backdrop(IPlugBase* pPlug) : IControl(pPlug, IRECT(0, 0, 720, 650)) {}
  bool Draw(IGraphics* pGraphics) override { return pGraphics->FillIRect(IColor(255, 0, 0, 0), mRECT); }
};

struct IPoint {
  int x, y;
};

// One cell (step 0, row 0) with its four controls at the editor's places, on a
// grid that works on a pattern of its own.
struct Grid {
  GuiTestPlug plug{200};
  ChordProgression progression;
  Melody clipboard;
  TavrinelGui grid{nullptr, progression, clipboard};
  IGraphicsOffscreen gui{&plug, 720, 650};
  MelodyCell& cell = *grid.GetCell(0, 0);
  MelodyCanvas* canvas = new MelodyCanvas(&plug, IRECT(20, 138, 60, 178), &cell);
  EnableControl* led = new EnableControl(&plug, IRECT(20, 128, 28, 136), &cell);
  PlayMarkerCanvas* marker = new PlayMarkerCanvas(&plug, IRECT(20, 181, 60, 183), &cell);
  CounterControl* counter = new CounterControl(&plug, IRECT(44, 125, 60, 137), &cell);
  MelodyRowControl* rowHandle = new MelodyRowControl(&plug, IRECT(2, 138, 16, 152), &grid, 0);

  Grid()
  {
    gui.PrepDraw();
    gui.AttachControl(new Backdrop(&plug));
    gui.AttachControl(canvas);
    gui.AttachControl(led);
    gui.AttachControl(marker);
    gui.AttachControl(counter);
    gui.AttachControl(rowHandle);
    cell.SetControls(canvas, led, marker, counter);
    grid.SetRowControls(0, rowHandle, nullptr, nullptr);
  }
  Melody& melody() { return cell.GetMelody(); }
  void DrawAll() { gui.Draw(IRECT(0, 0, 720, 650)); }
  IColor At(int x, int y) { return gui.GetPoint(x, y); }
  void CleanAll()
  {
    for (int i = 0; i < gui.NControls(); ++i) gui.GetControl(i)->SetClean();
  }
  // Screen point of note row j in pulse column k (for the current pulse count).
  IPoint Note(int k, int j) const
  {
    int x0, x1, y0, y1;
    PulseLayout::Column(cell.GetMelody().numPulses, k, x0, x1);
    PulseLayout::Row(j, y0, y1);
    return {20 + (x0 + x1) / 2, 138 + (y0 + y1) / 2};
  }
};

std::vector<std::string> Items(const IGraphicsOffscreen& gui) { return gui.Prompts().back().mItems; }

int IndexOf(const std::vector<std::string>& items, const char* text)
{
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == text) return static_cast<int>(i);
  return -1;
}

} // namespace

TEST(MelodyCanvasDraw, PlayingMasksLiveAndDimmed)
{
  Grid g;
  g.progression.setNumPulses(2);
  g.melody().mPulses[0].setMask(0b00101);
  g.melody().mPulses[1].mPlayingMask = 0b10000; // base stays 0: the playing mask is drawn
  g.DrawAll();
  // Row 0 of pulse 0: box x 1..19, y 33..40, filled inset by one pixel.
  EXPECT_EQ(g.At(20 + 2, 138 + 34), GridColors::kYellow);
  EXPECT_NE(g.At(20 + 1, 138 + 34), GridColors::kYellow); // the inset pixel
  EXPECT_EQ(g.At(20 + 10, 138 + 20), GridColors::kYellow); // row 2
  EXPECT_NE(g.At(20 + 10, 138 + 28), GridColors::kYellow); // row 1 clear
  EXPECT_EQ(g.At(20 + 30, 138 + 4), GridColors::kYellow);  // pulse 1 row 4
  EXPECT_EQ(g.At(20, 150), GridColors::kOrange);            // live outline
  EXPECT_EQ(g.At(40, 138 + 5), GridColors::kOrange);        // separator of 2 pulses

  // Outside the active span: dark notes and grey lines.
  g.progression.mSteps[0].mActive = false;
  g.DrawAll();
  EXPECT_EQ(g.At(20 + 2, 138 + 34), GridColors::kDarkYellow);
  EXPECT_EQ(g.At(20, 150), GridColors::kGrey);

  // Three pulses: three columns; pulse 3 keeps its mask but is not drawn.
  g.progression.mSteps[0].mActive = true;
  g.progression.setNumPulses(3);
  g.melody().mPulses[3].setMask(0b11111);
  g.melody().mPulses[2].setMask(0);
  g.gui.ClearRecords();
  g.DrawAll();
  EXPECT_EQ(g.At(20 + 13, 138 + 5), GridColors::kOrange); // separators at 13 and 27
  EXPECT_EQ(g.At(20 + 27, 138 + 5), GridColors::kOrange);
  EXPECT_NE(g.At(20 + 33, 138 + 5), GridColors::kYellow);
  EXPECT_EQ(g.canvas->GetLayoutPulses(), 3);
}

TEST(MelodyCanvasDraw, PlayMarkerFollowsThePulseLayoutAndDetachedSlotsAreSkipped)
{
  Grid g;
  g.progression.setNumPulses(3);
  g.grid.SetPulseMarker(0, 0, 2);
  EXPECT_TRUE(g.marker->IsDirty());
  g.DrawAll();
  EXPECT_EQ(g.marker->MarkerRect(2), IRECT(20 + 28, 181, 20 + 40, 183));
  EXPECT_EQ(g.At(20 + 30, 182), GridColors::kWhite);
  EXPECT_NE(g.At(20 + 20, 182), GridColors::kWhite);

  // A replaced editor deletes its controls: the grid's hooks must not reach them.
  g.grid.DetachControls();
  g.CleanAll();
  g.grid.SetPulseMarker(0, 0, 1);
  g.grid.RefreshGrid();
  EXPECT_FALSE(g.marker->IsDirty());
  EXPECT_FALSE(g.canvas->IsDirty());
}

TEST(MelodyCanvasDraw, AChangePublishedDuringADrawIsDrawnByTheNextOne)
{
  Grid g;
  IRECT r;
  g.gui.IsDirty(r);
  g.DrawAll();
  ASSERT_FALSE(g.gui.IsDirty(r));
  // Between the dirty check and the clean-up after the draw, as the audio
  // thread may publish at any moment.
  for (int step = 0; step < 3; ++step) {
    g.CleanAll();
    g.gui.IsDirty(r);
    if (step == 0) g.grid.MarkCellDirty(0, 0);
    if (step == 1) g.grid.SetPulseMarker(0, 0, 1);
    if (step == 2) g.grid.RefreshGrid();
    g.DrawAll();
    EXPECT_TRUE(g.gui.IsDirty(r)) << step;
    EXPECT_TRUE(g.marker->IsDirty()) << step;
    EXPECT_EQ(g.canvas->IsDirty(), step != 1) << step;
    EXPECT_EQ(g.rowHandle->IsDirty(), step == 2) << step;
  }
}

TEST(MelodyCanvasClick, TogglesFromTheBaseMaskIntoBoth)
{
  Grid g;
  PitchSet& p0 = g.melody().mPulses[0];
  p0.mSavedMask = 7;
  p0.mSavedValid = true;
  g.melody().mTempBackupValid = true;
  auto n = g.Note(0, 1);
  g.gui.OnMouseDown(n.x, n.y, kLeft);
  EXPECT_EQ(p0.mBaseMask, 0b00010);
  EXPECT_EQ(p0.mPlayingMask, 0b00010);
  EXPECT_EQ(p0.mSavedMask, 0);
  EXPECT_FALSE(p0.mSavedValid);
  EXPECT_FALSE(g.melody().mTempBackupValid);
  EXPECT_EQ(g.melody().mOriginal[0].mBaseMask, 0b00010);
  EXPECT_TRUE(g.cell.IsSelected());

  // After "^ 1" the base no longer says what plays: the click reads the base.
  p0.setMask(0b00001);
  g.cell.ApplyMelodyCommand(8, true);
  ASSERT_EQ(p0.mPlayingMask, 0b00010);
  g.gui.OnMouseDown(n.x, n.y, kLeft);
  EXPECT_EQ(p0.mPlayingMask, 0b00010);
  EXPECT_EQ(p0.mBaseMask, 0b00010);
  g.gui.OnMouseDown(n.x, n.y, kLeft); // now the base has it: cleared
  EXPECT_EQ(p0.mPlayingMask, 0);
}

TEST(MelodyCanvasClick, MissesAndControlClicksEditNothing)
{
  Grid g; // 4 pulses: columns 1..9, 11..19, 21..29, 31..39
  for (int x : {20 + 10, 20 + 20, 20 + 30})
    g.gui.OnMouseDown(x, 138 + 30, kLeft); // on a separator
  g.gui.OnMouseDown(20 + 5, 138 + 0, kLeft); // above row 4
  for (const PitchSet& p : g.melody().mPulses) EXPECT_EQ(p.mPlayingMask, 0);
  EXPECT_TRUE(g.cell.IsSelected()); // the selection still happened

  auto n = g.Note(0, 0);
  g.gui.OnMouseDown(n.x, n.y, kCtrlLeft);
  EXPECT_FALSE(g.cell.IsSelected());
  EXPECT_EQ(g.melody().mPulses[0].mPlayingMask, 0);
  g.gui.OnMouseDown(n.x, n.y, kCtrlLeft);
  EXPECT_TRUE(g.cell.IsSelected());
}

TEST(MelodyCanvasMenu, ItemsStatesAndChoice)
{
  Grid g;
  g.gui.QueuePopupChoice(-1);
  g.gui.OnMouseDown(30, 150, kRight);
  const std::vector<std::string> expected = {"Undo", "Redo", "", "Enable", "Disable", "", "Flip L/R", "Flip T/B",
                                             "< 1", "< 2", "< 3", "> 1", "> 2", "> 3", "^ 1", "^ 2", "^ 3", "^ 4",
                                             "v 1", "v 2", "v 3", "v 4", "Rand", "", "Copy", "Paste", "", "Clear"};
  ASSERT_EQ(Items(g.gui), expected);
  const std::vector<int>& flags = g.gui.Prompts().back().mItemFlags;
  using Item = IPopupMenu::Item;
  EXPECT_TRUE(flags[0] & flags[1] & Item::kDisabled);  // no plug-in, no history
  EXPECT_EQ(flags[3] & (Item::kChecked | Item::kDisabled), Item::kChecked | Item::kDisabled);
  EXPECT_EQ(flags[4] & (Item::kChecked | Item::kDisabled), 0);

  // A muted row: not audible, so "Disable" is the checked one.
  g.melody().mMuted = true;
  g.melody().mPulses[2].setMask(0b11111);
  g.gui.QueuePopupChoice(IndexOf(expected, "Clear"));
  g.gui.OnMouseDown(30, 150, kRight);
  const std::vector<int>& flags2 = g.gui.Prompts().back().mItemFlags;
  EXPECT_EQ(flags2[3] & (Item::kChecked | Item::kDisabled), 0);
  EXPECT_EQ(flags2[4] & (Item::kChecked | Item::kDisabled), Item::kChecked | Item::kDisabled);
  EXPECT_EQ(g.melody().mPulses[2].mPlayingMask, 0);
}

TEST(EnableLed, ToggleFromAudibleAndColours)
{
  Grid g;
  g.DrawAll();
  EXPECT_EQ(g.At(24, 132), GridColors::kGreen);
  g.gui.OnMouseDown(24, 132, kLeft);
  EXPECT_FALSE(g.melody().mEnabled);
  EXPECT_TRUE(g.canvas->IsDirty());
  g.progression.mSteps[0].mActive = false;
  g.DrawAll();
  EXPECT_EQ(g.At(24, 132), GridColors::kDarkRed);

  // Enabled but muted by its row: not audible, so the click enables (again).
  g.melody().mEnabled = true;
  g.melody().mMuted = true;
  g.gui.OnMouseDown(24, 132, kRight);
  EXPECT_TRUE(g.melody().mEnabled);
}

TEST(RepeatCounter, WheelWritesAndOutsideChangesAreFollowed)
{
  Grid g;
  g.gui.OnMouseWheel(50, 130, IMouseMod(), 2); // 0.02 -> int(1.26) + 1
  EXPECT_EQ(g.melody().mRepeatCount, 2);
  g.DrawAll();
  EXPECT_STREQ(g.counter->GetText(), "2");

  g.melody().mRepeatCount = 10; // a paste or a preset
  g.DrawAll();
  EXPECT_STREQ(g.counter->GetText(), "10");
  EXPECT_DOUBLE_EQ(g.counter->GetValue(), 9.0 / 63.0);
  g.gui.OnMouseWheel(50, 130, IMouseMod(), 2);
  EXPECT_EQ(g.melody().mRepeatCount, 11);

  EXPECT_EQ(CounterControl::CountForValue(1.0), 64);
}

TEST(RowHandle, SelectionClicksAndMenu)
{
  Grid g;
  g.grid.SetCellSelected(3, 2, true);
  g.gui.OnMouseDown(5, 140, kLeft);
  EXPECT_TRUE(g.grid.IsRowFullySelected(0));
  EXPECT_FALSE(g.grid.GetCell(3, 2)->IsSelected());
  g.gui.OnMouseDown(5, 140, kCtrlLeft);
  EXPECT_FALSE(g.grid.GetCell(5, 0)->IsSelected());
  g.grid.SetCellSelected(5, 0, true);
  g.gui.OnMouseDown(5, 140, kCtrlLeft); // 1 of 12 selected: the row is added
  EXPECT_TRUE(g.grid.IsRowFullySelected(0));

  g.gui.QueuePopupChoice(-1);
  g.gui.OnMouseDown(5, 140, kRight);
  const std::vector<std::string> items = Items(g.gui);
  ASSERT_EQ(items.size(), 3u + 2 + 1 + 1 + 1 + 8 + 1 + 22 + 2 + 1 + 94 + 2 + 1 + 1 + 1 + 2);
  EXPECT_EQ(items[3], "Enable");
  EXPECT_EQ(items[8], "^ 1");
  EXPECT_EQ(items.back(), "Paste");
  const int paste = static_cast<int>(items.size()) - 1;
  EXPECT_TRUE(g.gui.Prompts().back().mItemFlags[paste] & IPopupMenu::Item::kDisabled);
  // The pulse shifts break into columns of 12.
  const int firstPulse = IndexOf(items, "Reverse (chord)") + 3;
  EXPECT_EQ(items[firstPulse], "< 1");
  for (int i = 0; i < 47; ++i)
    EXPECT_EQ((g.gui.Prompts().back().mItemFlags[firstPulse + i] & IPopupMenu::Item::kBreak) != 0,
              i == 12 || i == 24 || i == 36)
      << i;

  // "Shift Right (pulse)" by 2: pulse 0 of step 0 moves to pulse 2.
  g.melody().mPulses[0].setMask(0b01000);
  g.gui.QueuePopupChoice(firstPulse + 47 + 1);
  g.gui.OnMouseDown(5, 140, kRight);
  EXPECT_EQ(g.melody().mPulses[2].mPlayingMask, 0b01000);
  EXPECT_EQ(g.melody().mPulses[0].mPlayingMask, 0);

  g.gui.QueuePopupChoice(paste - 1); // "Copy": "Paste" is offered from now on
  g.gui.OnMouseDown(5, 140, kRight);
  g.gui.QueuePopupChoice(-1);
  g.gui.OnMouseDown(5, 140, kRight);
  EXPECT_FALSE(g.gui.Prompts().back().mItemFlags[paste] & IPopupMenu::Item::kDisabled);
}

TEST(ChordSpan, ThumbAndBarDragsSetTheEngineSpan)
{
  TavrinelRig rig;
  Tavrinel& t = *rig.plug;
  TavrinelGui& grid = *t.GetGui();
  LICE_MemBitmap bits(14, 14);
  const IBitmap thumb(&bits, 14, 14, 1);
  IGraphicsOffscreen gui(&t, 720, 650);
  gui.PrepDraw();
  auto* span = new ChordSequencerSpanControl(&t, IRECT(13, 111, 640, 126), thumb, &grid);
  gui.AttachControl(span);
  grid.SetChordSpanControl(span);
  EXPECT_EQ(span->GetPixelsPerUnit(), 51);
  EXPECT_EQ(span->GetTrackStart(), 20);
  EXPECT_EQ(span->GetTrackEnd(), 637);
  EXPECT_EQ(span->GetHighThumbRect(), IRECT(13 + 612, 111, 13 + 612 + 14, 126));

  // The low thumb to unit 3.
  gui.OnMouseDown(18, 118, kLeft);
  gui.OnMouseDrag(20 + 51 * 3 + 5, 118, kLeft);
  gui.OnMouseUp(20 + 51 * 3 + 5, 118, kLeft);
  EXPECT_EQ(span->GetLow(), 3);
  EXPECT_EQ(t.mProgression.beginStepIdx, 3);
  EXPECT_EQ(t.mProgression.numSteps, 9);
  EXPECT_EQ(t.GetParam(kStepOne)->Int(), 4);
  EXPECT_EQ(t.GetParam(kNumStep)->Int(), 9);
  EXPECT_FALSE(t.mProgression.mSteps[2].mActive);
  EXPECT_GE(rig.host.Count(audioMasterAutomate), 2);

  // The high thumb onto the low one is refused; to unit 7 accepted.
  gui.OnMouseDown(span->GetHighThumbRect().L + 2, 118, kLeft);
  gui.OnMouseDrag(20 + 51 * 3, 118, kLeft);
  EXPECT_EQ(span->GetHigh(), 12);
  gui.OnMouseDrag(20 + 51 * 7, 118, kLeft);
  gui.OnMouseUp(20 + 51 * 7, 118, kLeft);
  EXPECT_EQ(span->GetHigh(), 7);
  EXPECT_EQ(t.mProgression.numSteps, 4);

  // The bar (3..7) by 5 units to the right would end at 12: accepted; by 6 it
  // would pass the end and is refused as a whole.
  const int grabX = span->GetBarRect().L + 10;
  gui.OnMouseDown(grabX, 118, kLeft);
  EXPECT_EQ(span->GetDragMode(), DoubleThumbFaderControl::kDragBar);
  gui.OnMouseDrag(grabX + 51 * 6, 118, kLeft);
  EXPECT_EQ(span->GetLow(), 3);
  gui.OnMouseDrag(grabX + 51 * 5, 118, kLeft);
  gui.OnMouseUp(grabX + 51 * 5, 118, kLeft);
  EXPECT_EQ(span->GetLow(), 8);
  EXPECT_EQ(span->GetHigh(), 12);
  EXPECT_EQ(t.GetParam(kStepOne)->Int(), 9);

  // The other way: the parameters move the thumbs (and nothing loops back).
  rig.Set(kStepOne, 2);
  rig.Set(kNumStep, 5);
  EXPECT_EQ(span->GetLow(), 1);
  EXPECT_EQ(span->GetHigh(), 6);
  rig.Set(kStepOne, 11); // 10 + 5 does not fit: the thumbs stay
  EXPECT_EQ(span->GetLow(), 1);
}

TEST(GrooveCanvas, PaintingHonoursLocksAndEdges)
{
  GuiTestPlug plug;
  GrooveMaker groove;
  IGraphicsOffscreen gui(&plug, 720, 650);
  gui.PrepDraw();
  auto* canvas = new IGrooveMakerCanvas(&plug, IRECT(20, 550, 690, 614), &groove);
  auto* marker = new IGrooveMakerStepMarker(&plug, IRECT(20, 616, 690, 618), &groove);
  gui.AttachControl(canvas);
  gui.AttachControl(marker);
  for (int i = 0; i < GROOVE_STEPS; ++i) groove.mGrooveValues[i] = 64;

  gui.OnMouseDown(20 + 14 * 2 + 3, 614 - 10, kLeft);
  EXPECT_EQ(groove.mGrooveValues[2], 20);
  gui.OnMouseDrag(20 + 14 * 3, 500, kLeft); // above: full
  EXPECT_EQ(groove.mGrooveValues[3], 128);
  gui.OnMouseDrag(20 + 14 * 4, 700, kLeft); // below: silent
  EXPECT_EQ(groove.mGrooveValues[4], 0);
  gui.OnMouseDrag(-50, 600, kLeft);         // left of the canvas: the first step
  EXPECT_EQ(groove.mGrooveValues[0], 28);
  gui.OnMouseUp(-50, 600, kLeft);

  groove.mGrooveLock[5] = true;
  gui.OnMouseDown(20 + 14 * 5, 560, kLeft);
  gui.OnMouseDrag(20 + 14 * 5, 500, kLeft);
  EXPECT_EQ(groove.mGrooveValues[5], 64);
  gui.OnMouseUp(20 + 14 * 5, 500, kLeft);

  // Bars: grey when muted, beyond-active colour past the active steps.
  groove.mGrooveMute[6] = true;
  groove.mNumStepsActive = 10;
  groove.mGrooveStep = 1;
  gui.Draw(IRECT(0, 0, 720, 650));
  EXPECT_EQ(gui.GetPoint(20 + 14 * 7 + 5, 613), GridColors::kGrooveBar);
  EXPECT_EQ(gui.GetPoint(20 + 14 * 6 + 5, 613), GridColors::kGrey);
  EXPECT_EQ(gui.GetPoint(20 + 14 * 11 + 5, 613), GridColors::kGrooveBeyond);
  EXPECT_EQ(gui.GetPoint(20 + 14 * 7 + 5, 614 - 33), IColor(0, 0, 0, 0)); // above a 64 bar
  EXPECT_EQ(gui.GetPoint(20 + 14 * 1 + 5, 617), GridColors::kWhite);
  EXPECT_EQ(gui.GetPoint(20 + 14 * 2 + 5, 617), GridColors::kBlack);
  EXPECT_EQ(gui.GetPoint(20 + 14 * 2 + 12, 617), IColor(0, 0, 0, 0)); // the gap between steps
}
