// The editor built by the plug-in, on an off-screen graphics object with the
// library's images: every control in its place and bound to its parameter, the
// value read-outs, the modifier panels and the preset menu.

#include "GrooveMakerGui.h"
#include "GuiTestPlug.h"
#include "HomeDirectory.h"
#include "IGraphicsOffscreen.h"
#include "LiceImageCache.h"
#include "LiceText.h"
#include "LicePng.h"
#include "IGraphicsPlatform.h"
#include "ModifierPanels.h"
#include "OffscreenEditor.h"
#include "PresetMenu.h"
#include "SizeMenu.h"
#include "PresetTree.h"
#include "TavrinelEditor.h"
#include "TavrinelGui.h"
#include "TavrinelGuiControls.h"
#include "TavrinelTestRig.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <functional>
#include <fstream>
#include <sstream>

namespace {

// Control indices of the first control of each section.
constexpr int FIRST_KNOB = 1, SEQ_ENABLE = 29, FIRST_SPINNER = 30, FIRST_CELL = 54, FIRST_ROW = 246,
              GROOVE_CANVAS = 258, FIRST_GROOVE_SWITCH = 260, FIRST_EDIT_BUTTON = 356, STRIKE_PANEL = 371,
              MELODY_PANEL = 396, PRESET_NAME = 421, CHORD_SPAN = 422, LOGO = 423, NUM_CONTROLS = 424;

struct EditorRig {
  TavrinelRig rig;
  IGraphicsOffscreen* g;

  EditorRig() : g(BuildOffscreenEditor(*rig.plug)) {}
  Tavrinel& plug() { return *rig.plug; }
  TavrinelEditor& editor() { return *rig.plug->GetEditor(); }
  IControl* at(int i) { return g->GetControl(i); }
  // A host-side parameter change (normalised), as setParameter delivers it.
  void HostSet(int idx, double normalized)
  {
    AEffect* e = rig.effect;
    e->setParameter(e, idx, static_cast<float>(normalized));
  }
  void Click(int x, int y, bool right = false)
  {
    const IMouseMod mod(!right, right);
    g->OnMouseDown(x, y, mod);
    g->OnMouseUp(x, y, mod);
  }
};

void ExpectControl(IControl* c, const IRECT& r, int paramIdx, const char* what)
{
  ASSERT_NE(c, nullptr) << what;
  const IRECT& got = c->GetRECT();
  EXPECT_TRUE(got.L == r.L && got.T == r.T && got.R == r.R && got.B == r.B)
    << what << ": (" << got.L << "," << got.T << ")-(" << got.R << "," << got.B << ")";
  EXPECT_EQ(c->ParamIdx(), paramIdx) << what;
}

bool Inside(const IRECT& r, const IRECT& outer)
{
  return r.L >= outer.L && r.T >= outer.T && r.R <= outer.R && r.B <= outer.B;
}

std::string ReadText(const std::string& path)
{
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

} // namespace

TEST(Editor, EveryControlInItsPlaceAndBound)
{
  EditorRig e;
  ASSERT_EQ(e.g->NControls(), NUM_CONTROLS);
  ExpectControl(e.at(0), IRECT(0, 0, 720, 650), -1, "background");

  // Knobs and read-outs alternate; the bitmap follows the frame count.
  ExpectControl(e.at(FIRST_KNOB), IRECT(330, 10, 362, 42), kTimeUnits, "TimeUnits");
  ExpectControl(e.at(FIRST_KNOB + 1), IRECT(370, 27, 400, 39), -1, "TimeUnits read-out");
  auto* numPulse = dynamic_cast<IKnobMultiControl*>(e.at(FIRST_KNOB + 14));
  ASSERT_NE(numPulse, nullptr);
  EXPECT_EQ(numPulse->ParamIdx(), kNumPulse);
  EXPECT_EQ(numPulse->GetBitmap().N, 128);  // though "NumPulse" has three values
  EXPECT_EQ(numPulse->GetGearing(), 8.0);
  auto* stkBegin = dynamic_cast<IKnobMultiControl*>(e.at(FIRST_KNOB + 20));
  ASSERT_NE(stkBegin, nullptr);
  ExpectControl(stkBegin, IRECT(130, 390, 146, 406), kStkBegin, "StkBegin");
  EXPECT_EQ(stkBegin->GetBitmap().N, 8);
  ExpectControl(e.at(FIRST_KNOB + 27), IRECT(619, 391, 639, 405), -1, "MelLen read-out");

  ExpectControl(e.at(SEQ_ENABLE), IRECT(19, 509, 31, 521), kSeqEnab, "SeqEnab");

  ExpectControl(e.at(FIRST_SPINNER), IRECT(49, 6, 95, 22), kTonic, "Tonic");
  ExpectControl(e.at(FIRST_SPINNER + 2), IRECT(49, 29, 95, 45), kMode, "mode");
  ExpectControl(e.at(FIRST_SPINNER + 14), IRECT(594, 93, 640, 109), kIval1 + 11, "ival12");
  ExpectControl(e.at(FIRST_SPINNER + 16), IRECT(22, 390, 68, 406), kSMDir, "SMDir");
  ExpectControl(e.at(FIRST_SPINNER + 23), IRECT(49, 53, 95, 69), kScale, "Scale");
  auto* spinner = dynamic_cast<ISpinnerControl*>(e.at(FIRST_SPINNER));
  ASSERT_NE(spinner, nullptr);
  EXPECT_EQ(spinner->GetIText().mSize, 14);
  EXPECT_EQ(spinner->GetIText().mAlign, 1);
  EXPECT_EQ(spinner->GetIText().mColor.R, 255);

  // A cell's controls: canvas, LED, play marker, counter.
  ExpectControl(e.at(FIRST_CELL), IRECT(20, 138, 60, 178), 160, "cell 0.0 canvas");
  ExpectControl(e.at(FIRST_CELL + 1), IRECT(20, 128, 28, 136), -1, "cell 0.0 LED");
  ExpectControl(e.at(FIRST_CELL + 2), IRECT(20, 181, 60, 183), -1, "cell 0.0 marker");
  ExpectControl(e.at(FIRST_CELL + 3), IRECT(44, 125, 60, 137), -1, "cell 0.0 counter");
  ExpectControl(e.at(FIRST_CELL + 4 * (4 * 11 + 3)), IRECT(592, 327, 632, 367), 160, "cell 11.3 canvas");
  MelodyCell* last = e.plug().GetGui()->GetCell(11, 3);
  EXPECT_EQ(last->GetCanvas(), e.at(FIRST_CELL + 4 * 47));
  EXPECT_EQ(last->GetCounter(), e.at(FIRST_CELL + 4 * 47 + 3));

  for (int r = 0; r < 4; ++r) {
    const int y = 138 + 63 * r;
    ExpectControl(e.at(FIRST_ROW + 3 * r), IRECT(2, y, 16, y + 14), 161, "row control");
    EXPECT_EQ(e.at(FIRST_ROW + 3 * r)->GetValue(), 1.0);
    ExpectControl(e.at(FIRST_ROW + 3 * r + 1), IRECT(644, y, 659, y + 15), kRowSolo1 + r, "row solo");
    ExpectControl(e.at(FIRST_ROW + 3 * r + 2), IRECT(661, y, 676, y + 15), kRowMute1 + r, "row mute");
  }

  EXPECT_NE(dynamic_cast<IGrooveMakerCanvas*>(e.at(GROOVE_CANVAS)), nullptr);
  ExpectControl(e.at(GROOVE_CANVAS), IRECT(20, 550, 690, 614), -1, "groove canvas");
  ExpectControl(e.at(GROOVE_CANVAS + 1), IRECT(20, 616, 690, 618), -1, "groove step marker");
  ExpectControl(e.at(FIRST_GROOVE_SWITCH), IRECT(20, 618, 33, 627), 62, "gmLock0");
  ExpectControl(e.at(FIRST_GROOVE_SWITCH + 1), IRECT(20, 632, 33, 641), 111, "gmMute0");
  ExpectControl(e.at(FIRST_GROOVE_SWITCH + 94), IRECT(678, 618, 691, 627), 109, "gmLock47");
  ExpectControl(e.at(FIRST_GROOVE_SWITCH + 95), IRECT(678, 632, 691, 641), 158, "gmMute47");

  ExpectControl(e.at(FIRST_EDIT_BUTTON), IRECT(146, 512, 162, 528), 212, "M L");
  ExpectControl(e.at(FIRST_EDIT_BUTTON + 3), IRECT(218, 512, 234, 528), 215, "M D");
  ExpectControl(e.at(FIRST_EDIT_BUTTON + 9), IRECT(378, 512, 394, 528), 224, "R D");
  ExpectControl(e.at(FIRST_EDIT_BUTTON + 14), IRECT(514, 512, 530, 528), 232, "R LRp");
  for (int i = 0; i < TavrinelEditor::NUM_EDIT_BUTTONS; ++i) {
    EXPECT_TRUE(e.at(FIRST_EDIT_BUTTON + i)->GetDblAsSingleClick());
    EXPECT_EQ(e.editor().GetEditButton(i), e.at(FIRST_EDIT_BUTTON + i));
  }

  ExpectControl(e.at(STRIKE_PANEL), IRECT(20, 410, 34, 424), kStkRun, "StkRun");
  ExpectControl(e.at(STRIKE_PANEL + 1), IRECT(39, 426, 63, 440), kStkMod1, "stkMod1");
  ExpectControl(e.at(STRIKE_PANEL + 2), IRECT(39, 410, 53, 424), kStkModT1, "stkModT1");
  ExpectControl(e.at(STRIKE_PANEL + 3), IRECT(39, 441, 63, 447), -1, "strike strip 1");
  ExpectControl(e.at(STRIKE_PANEL + 22), IRECT(242, 426, 266, 440), kStkMod1 + 7, "stkMod8");
  ExpectControl(e.at(MELODY_PANEL), IRECT(436, 410, 450, 424), kMelRun, "MelRun");
  ExpectControl(e.at(MELODY_PANEL + 1), IRECT(455, 425, 479, 439), kMelMod1, "melMod1");
  ExpectControl(e.at(MELODY_PANEL + 2), IRECT(455, 410, 469, 424), kMekModT1, "MekModT1");
  ExpectControl(e.at(MELODY_PANEL + 3), IRECT(455, 440, 479, 446), -1, "melody strip 1");
  EXPECT_NE(dynamic_cast<MelodyModifierControl*>(e.at(MELODY_PANEL + 1)), nullptr);
  EXPECT_NE(dynamic_cast<StepPermanentControl*>(e.at(MELODY_PANEL + 2)), nullptr);
  EXPECT_EQ(e.editor().GetStepView(SEQ_MELODY, 0).mMarker, e.at(MELODY_PANEL + 3));

  auto* name = dynamic_cast<PresetNameControl*>(e.at(PRESET_NAME));
  ASSERT_NE(name, nullptr);
  ExpectControl(name, IRECT(555, 516, 712, 532), 60, "preset name");
  EXPECT_STREQ(name->GetText(), "PRESET");
  EXPECT_EQ(name->GetIText().mSize, 16);
  EXPECT_NE(dynamic_cast<ChordSequencerSpanControl*>(e.at(CHORD_SPAN)), nullptr);
  ExpectControl(e.at(CHORD_SPAN), IRECT(13, 111, 640, 126), -1, "chord span");
  EXPECT_EQ(e.at(LOGO), e.editor().GetLogo());
  ExpectControl(e.at(LOGO), IRECT(236, 56, 376, 84), -1, "name plate");

  // All 48 cells lie inside the background.
  const IRECT bg = e.at(0)->GetRECT();
  for (int s = 0; s < 12; ++s)
    for (int v = 0; v < 4; ++v) {
      MelodyCell* c = e.plug().GetGui()->GetCell(s, v);
      for (IControl* ctl : {c->GetCanvas(), c->GetEnableControl(), c->GetPlayMarker(), c->GetCounter()}) {
        ASSERT_NE(ctl, nullptr);
        EXPECT_TRUE(Inside(ctl->GetRECT(), bg)) << s << "." << v;
      }
    }
}

TEST(Editor, HostSeesTheEditor)
{
  TavrinelRig rig;
  EXPECT_EQ(rig.effect->flags & effFlagsHasEditor, effFlagsHasEditor);
  ERect* rect = nullptr;
  ASSERT_EQ(rig.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, 720);
  EXPECT_EQ(rect->bottom - rect->top, 650);
}

// A press on every control, with either button, whose release never comes
// (as when a popup menu swallows it), then the next press, and at last the
// editor closing under a held knob: the host hears begin and end in pairs and
// only of the 60 parameters it was told of.
TEST(Editor, PressesWithoutReleaseKeepTheHostsGesturesPairedAndInRange)
{
  EditorRig e;
  e.rig.ClearHost();
  auto press = [&e](int i, bool right) {
    const IRECT& r = e.at(i)->GetRECT();
    e.g->QueuePopupChoice(-1);
    e.g->OnMouseDown((r.L + r.R) / 2, (r.T + r.B) / 2, IMouseMod(!right, right));
  };
  for (int i = 0; i < NUM_CONTROLS; ++i)
    for (bool right : {true, false}) press(i, right);
  press(FIRST_KNOB, false);
  ASSERT_EQ(e.rig.host.mCalls.back().opcode, audioMasterBeginEdit);
  EXPECT_EQ(e.rig.Dispatch(effEditClose), 1);
  EXPECT_EQ(e.rig.host.mCalls.back().opcode, audioMasterEndEdit);
  // One gesture at a time: its begins come together (the chord span's two
  // parameters), its ends in reverse order.
  std::vector<int> open;
  int begins = 0, last = 0;
  for (const FakeHost::Call& c : e.rig.host.mCalls) {
    if (c.opcode != audioMasterBeginEdit && c.opcode != audioMasterEndEdit && c.opcode != audioMasterAutomate)
      continue;
    ASSERT_LT(c.index, kNumHostParams) << "opcode " << c.opcode;
    if (c.opcode == audioMasterBeginEdit) {
      ASSERT_TRUE(open.empty() || last == audioMasterBeginEdit) << c.index;
      open.push_back(c.index);
      ++begins;
    } else if (c.opcode == audioMasterEndEdit) {
      ASSERT_FALSE(open.empty());
      ASSERT_EQ(open.back(), c.index);
      open.pop_back();
    }
    last = c.opcode;
  }
  EXPECT_TRUE(open.empty());
  EXPECT_GT(begins, 10);
}

// Every gesture that changes the song but no announced parameter tells the
// host once, when it ends, with the plug-in mutex free; a knob of an
// announced parameter gives begin, automate and end as before, nothing else;
// a drag of the chord span is one gesture on "StepOne" and "NumStep".
TEST(Editor, EverySongEditTellsTheHostOnce)
{
  EditorRig e;
  struct Watch {
    Tavrinel* plug;
    int underMutex = 0;
  } watch{e.rig.plug};
  e.rig.host.mOnCall = [](void* arg, int32_t opcode) {
    auto* w = static_cast<Watch*>(arg);
    if (opcode != audioMasterUpdateDisplay) return;
    bool free = false;
    std::thread([&] {
      if ((free = w->plug->GetMutex().try_lock())) w->plug->GetMutex().unlock();
    }).join();
    w->underMutex += free ? 0 : 1;
  };
  e.rig.host.mOnCallArg = &watch;
  auto centre = [&e](int i, int dx = 0) {
    const IRECT& r = e.at(i)->GetRECT();
    return std::make_pair((r.L + r.R) / 2 + dx, (r.T + r.B) / 2);
  };
  auto drag = [&e](std::pair<int, int> from, int dx, bool right = false) {
    const IMouseMod mod(!right, right);
    e.g->OnMouseDown(from.first, from.second, mod);
    for (int x = 1; x <= dx; x += 3) e.g->OnMouseDrag(from.first + x, from.second, mod);
    e.g->OnMouseUp(from.first + dx, from.second, mod);
  };
  auto note = [&e](int step, int row) {  // the middle of a cell's lowest note of its first pulse
    const IRECT& r = e.plug().GetGui()->GetCell(step, row)->GetCanvas()->GetRECT();
    int x0, x1, y0, y1;
    PulseLayout::Column(PulseLayout::Clamp(e.plug().mProgression.step(step).mMelodies[row].numPulses), 0, x0, x1);
    PulseLayout::Row(0, y0, y1);
    return std::make_pair(r.L + (x0 + x1) / 2, r.T + (y0 + y1) / 2);
  };
  const std::pair<const char*, std::function<void()>> songEdits[] = {
    {"note", [&] { drag(note(5, 0), 0); }},
    {"drag over the row", [&] { drag(note(0, 1), 300); }},
    {"row switch", [&] { drag(centre(FIRST_CELL + 4 * 6 + 1), 0); }},
    {"row menu", [&] {
       e.g->QueuePopupChoice(4);  // "Disable"
       drag(centre(FIRST_ROW + 6), 0, true);
     }},
    {"solo", [&] { drag(centre(FIRST_ROW + 1), 0); }},
    {"mute", [&] { drag(centre(FIRST_ROW + 5), 0); }},
    {"groove stroke", [&] { drag(centre(GROOVE_CANVAS, -300), 400); }},
    {"groove lock", [&] { drag(centre(FIRST_GROOVE_SWITCH + 8), 0); }},
    {"groove mute", [&] { drag(centre(FIRST_GROOVE_SWITCH + 9), 0); }},
    {"modifier step", [&] { drag(centre(STRIKE_PANEL + 1), 0); }},
    {"Scale", [&] {
       const auto at = centre(FIRST_SPINNER + 23);
       e.g->OnMouseWheel(at.first, at.second, IMouseMod(), 1);
     }},
    {"edit command", [&] { drag(centre(FIRST_EDIT_BUTTON + 3), 0); }},
  };
  for (const auto& edit : songEdits) {
    e.rig.ClearHost();
    edit.second();
    EXPECT_EQ(e.rig.host.Count(audioMasterUpdateDisplay), 1) << edit.first;
    EXPECT_EQ(e.rig.host.Count(audioMasterBeginEdit), 0) << edit.first;
  }
  EXPECT_EQ(watch.underMutex, 0);

  e.rig.ClearHost();
  drag(centre(FIRST_KNOB), 0);
  drag(centre(FIRST_KNOB), 40);
  EXPECT_EQ(e.rig.host.Count(audioMasterUpdateDisplay), 0);
  EXPECT_EQ(e.rig.host.Count(audioMasterBeginEdit), 2);
  EXPECT_EQ(e.rig.host.Count(audioMasterEndEdit), 2);

  e.rig.ClearHost();
  const IRECT& span = e.at(CHORD_SPAN)->GetRECT();
  drag({span.L + 3, (span.T + span.B) / 2}, 120);
  std::vector<std::pair<int32_t, int32_t>> edits;
  for (const FakeHost::Call& c : e.rig.host.mCalls)
    if (c.opcode != audioMasterUpdateDisplay && c.opcode != audioMasterGetTime) edits.push_back({c.opcode, c.index});
  ASSERT_GE(edits.size(), 6u);
  EXPECT_EQ(edits[0], std::make_pair(int32_t(audioMasterBeginEdit), int32_t(kStepOne)));
  EXPECT_EQ(edits[1], std::make_pair(int32_t(audioMasterBeginEdit), int32_t(kNumStep)));
  EXPECT_EQ(edits[edits.size() - 2], std::make_pair(int32_t(audioMasterEndEdit), int32_t(kNumStep)));
  EXPECT_EQ(edits.back(), std::make_pair(int32_t(audioMasterEndEdit), int32_t(kStepOne)));
  for (size_t i = 2; i + 2 < edits.size(); ++i) EXPECT_EQ(edits[i].first, audioMasterAutomate) << i;
}

// Building the editor decodes no image: each is decoded when first drawn, and
// the whole editor then looks exactly as with every image decoded in advance.
TEST(Editor, ImagesDecodedWhenFirstDrawnGiveTheSamePicture)
{
  auto forgetImages = [] {
    for (int id = 100; id <= 125; ++id) LICE_ImageCache::Release(LICE_ImageCache::Find(id));
  };
  auto drawAll = [] {
    EditorRig e;
    e.g->SetAllControlsDirty();
    e.g->Draw(IRECT(0, 0, 720, 650));
    const LICE_pixel* bits = static_cast<const LICE_pixel*>(e.g->GetBits());
    return std::vector<LICE_pixel>(bits, bits + 720 * 650);
  };
  forgetImages();
  for (int id = 100; id <= 125; ++id)
    LICE_ImageCache::FindOrLoad(id, [id] { return LICE_LoadPNGFromResource(id, "img/x.png"); });
  const std::vector<LICE_pixel> decodedInAdvance = drawAll();
  forgetImages();
  {
    // The platform's own graphics object and image loader, as the host's open builds it.
    TavrinelRig rig;
    rig.plug->BuildEditor(CreatePlatformGraphics(rig.plug, TavrinelEditor::WIDTH, TavrinelEditor::HEIGHT, 0));
    int images = 0;
    for (int id = 100; id <= 125; ++id) {
      if (!LICE_ImageCache::Find(id)) continue;
      ++images;
      const auto* image = dynamic_cast<const LICE_PNGImage*>(LICE_ImageCache::Find(id));
      EXPECT_TRUE(image && !image->IsDecoded()) << id;
    }
    EXPECT_EQ(images, 22);  // the background and the 21 of the image table
  }
  EXPECT_TRUE(drawAll() == decodedInAdvance);
  forgetImages();
}

TEST(Editor, ReadOutsFollowTheirKnobs)
{
  EditorRig e;
  auto text = [&](int knob) { return std::string(e.editor().GetReadOut(knob)->GetTextControl()->GetText()); };
  EXPECT_EQ(text(0), "");  // nothing shown before the first redraw
  e.g->OpenWindow(nullptr);
  e.g->OnTimer();
  EXPECT_EQ(text(0), beatDivisionNames[3]);  // "TimeUnits", an enumeration
  EXPECT_EQ(text(3), "100");                 // "Vel", an integer
  EXPECT_EQ(text(5), "0.00");                // "Swing", continuous
  EXPECT_EQ(text(7), "4");                   // "NumPulse"

  e.HostSet(kVel, 64.0 / 127.0);
  e.HostSet(kSwing, 0.5);
  e.g->OnTimer();
  EXPECT_EQ(text(3), "64");
  EXPECT_EQ(text(5), "0.50");

  e.editor().GetKnob(3)->GrayOut(true);
  e.editor().GetKnob(5)->Hide(true);
  e.g->OnTimer();
  EXPECT_TRUE(e.editor().GetReadOut(3)->GetTextControl()->IsGrayed());
  EXPECT_TRUE(e.editor().GetReadOut(5)->GetTextControl()->IsHidden());
  EXPECT_FALSE(e.editor().GetReadOut(5)->GetTextControl()->IsGrayed());
}

// No read-out lies under another control; those of the modifier panels' small
// knobs lie inside their panel, and every value they can show fits them.
TEST(Editor, ReadOutsShowInFull)
{
  EditorRig e;
  const IRECT strikePanel(1, 376, 299, 495), melodyPanel(428, 376, 719, 495);  // the background's plates
  for (int k = 0; k < TavrinelEditor::NUM_KNOBS; ++k) {
    const ITextControl* readOut = e.editor().GetReadOut(k)->GetTextControl();
    const IRECT r = readOut->GetRECT();
    for (int i = 1; i < e.g->NControls(); ++i)
      EXPECT_TRUE(e.at(i) == readOut || e.at(i)->GetRECT().Intersect(r).Empty()) << "read-out " << k << ", control " << i;
    const int param = e.editor().GetKnob(k)->ParamIdx();
    if (param != kStkBegin && param != kStkLen && param != kMelBegin && param != kMelLen) continue;
    EXPECT_TRUE(Inside(r, param == kStkBegin || param == kStkLen ? strikePanel : melodyPanel)) << k;
    IPlugParam* p = e.plug().GetParam(param);
    LICE_TextFormat format;
    format.size = readOut->GetIText().mSize;
    for (double v = p->GetMin(); v <= p->GetMax(); v += p->GetStep()) {
      p->Set(v);
      e.editor().GetReadOut(k)->Update();
      int w = 0, h = 0;
      if (!LICE_MeasureText(readOut->GetText(), format, &w, &h)) GTEST_SKIP() << "no text rasteriser";
      EXPECT_TRUE(w <= r.W() && h <= r.H()) << readOut->GetText() << ": " << w << " x " << h;
    }
  }
}

TEST(Editor, ReadOutKinds)
{
  GuiTestPlug plug(4);
  plug.GetParam(0)->DefineBool("b", false);
  plug.GetParam(1)->DefineEnum("e", 0, 3);
  plug.GetParam(1)->AddDisplayText(0, "zero");
  plug.GetParam(2)->DefineDouble("d", 0.0, 0.0, 1.0, 0.01);
  plug.GetParam(3)->DefineInt("i", 0, -5, 5);
  ITextControl text(&plug, IRECT(0, 0, 10, 10), IText());
  IKnobMultiControl knob0(&plug, 0, 0, 0, IBitmap()), knob1(&plug, 0, 0, 1, IBitmap()),
    knob2(&plug, 0, 0, 2, IBitmap()), knob3(&plug, 0, 0, 3, IBitmap());
  ValueReadOutBool rb(&knob0, &text);
  ValueReadOutEnum re(&knob1, &text);
  ValueReadOut rd(&knob2, &text);
  ValueReadOutInt ri(&knob3, &text);

  auto shown = [&](ValueReadOutBase& r) {
    r.Update();
    return std::string(text.GetText());
  };
  EXPECT_EQ(shown(rb), "false");
  plug.GetParam(0)->Set(1.0);
  EXPECT_EQ(shown(rb), "true");
  EXPECT_EQ(shown(re), "zero");
  plug.GetParam(1)->Set(2.0);  // no display text for 2
  EXPECT_EQ(shown(re), "???");
  plug.GetParam(2)->Set(0.3333);
  EXPECT_EQ(shown(rd), "0.33");
  plug.GetParam(3)->Set(-4.0);
  EXPECT_EQ(shown(ri), "-4");
}

TEST(Editor, ModifierButtonsStepAndOfferTheirMenus)
{
  EditorRig e;
  Tavrinel& p = e.plug();
  IControl* stk1 = e.at(STRIKE_PANEL + 1);
  e.HostSet(kStkMod1, 1.0);  // "Orig", the last of 13
  EXPECT_EQ(stk1->GetValue(), 1.0);
  EXPECT_EQ(p.mStrikeSequencer.getStep(0).mValue, eStrikeOrig);
  e.Click(45, 430);  // wraps to "^ 1"
  EXPECT_EQ(p.GetParam(kStkMod1)->Int(), 0);
  EXPECT_EQ(p.mStrikeSequencer.getStep(0).mValue, 0);
  e.Click(45, 430);
  EXPECT_EQ(p.GetParam(kStkMod1)->Int(), 1);

  // Strike menu: grouped with separators, the step's modifier checked.
  e.g->QueuePopupChoice(12);  // "Mute"
  e.Click(45, 430, true);
  ASSERT_EQ(e.g->Prompts().size(), 1u);
  const IGraphicsOffscreen::Prompt& strike = e.g->Prompts()[0];
  const std::vector<std::string> strikeItems = {"^ 1", "^ 2", "^ 3", "^ 4", "", "v 1", "v 2", "v 3",
                                                "v 4", "",    "Flip", "Rand", "Mute", "", " -- ", "Orig"};
  ASSERT_EQ(strike.mItems.size(), strikeItems.size());
  for (size_t i = 0; i < strikeItems.size(); ++i) {
    if (strikeItems[i].empty()) {
      EXPECT_TRUE(strike.mItemFlags[i] & IPopupMenu::Item::kSeparator) << i;
    } else {
      EXPECT_EQ(strike.mItems[i], strikeItems[i]);
      EXPECT_EQ((strike.mItemFlags[i] & IPopupMenu::Item::kChecked) != 0, i == 1) << i;  // "^ 2"
    }
  }
  EXPECT_EQ(p.GetParam(kStkMod1)->Int(), eStrikeMute);

  // Melody menu: "L/R" (tag 0) sits at place 18; the kept menu checks it next time.
  IControl* mel1 = e.at(MELODY_PANEL + 1);
  EXPECT_EQ(p.mMelodySequencer.getStep(0).mValue, eMelodyNone);
  e.g->QueuePopupChoice(18);
  e.Click(460, 430, true);
  ASSERT_EQ(e.g->Prompts().size(), 2u);
  const IGraphicsOffscreen::Prompt& melody = e.g->Prompts()[1];
  ASSERT_EQ(melody.mItems.size(), 24u);
  EXPECT_EQ(melody.mItems[0], "^ 1");
  EXPECT_EQ(melody.mItems[10], "< 1");
  EXPECT_EQ(melody.mItems[18], "L/R");
  EXPECT_EQ(melody.mItems[22], " -- ");
  EXPECT_TRUE(melody.mItemFlags[22] & IPopupMenu::Item::kChecked);
  EXPECT_EQ(p.GetParam(kMelMod1)->Int(), eMelodyLR);
  EXPECT_EQ(p.mMelodySequencer.getStep(0).mValue, eMelodyLR);
  EXPECT_EQ(mel1->GetValue(), 0.0);
  e.Click(460, 430, true);  // dismissed
  const IGraphicsOffscreen::Prompt& again = e.g->Prompts()[2];
  EXPECT_TRUE(again.mItemFlags[18] & IPopupMenu::Item::kChecked);
  EXPECT_FALSE(again.mItemFlags[22] & IPopupMenu::Item::kChecked);

  // The lifetime switch toggles "Temp" and "Perm".
  e.Click(45, 415);
  EXPECT_EQ(p.GetParam(kStkModT1)->Int(), 1);
  EXPECT_EQ(p.mStrikeSequencer.getStep(0).mLifetime, 1);
  e.Click(45, 415);
  EXPECT_EQ(p.GetParam(kStkModT1)->Int(), 0);
}

TEST(Editor, StripsShowTheWindowAndThePlayingStep)
{
  EditorRig e;
  Tavrinel& p = e.plug();
  e.g->OpenWindow(nullptr);
  e.rig.Set(kStkBegin, 3);
  e.rig.Set(kStkLen, 2);  // steps 2 and 3 (0-based)
  e.g->OnTimer();
  const IColor red(255, 255, 0, 0), white(255, 255, 255, 255), grey(255, 127, 127, 127);
  auto stripColor = [&](int step) {
    const IRECT& r = e.editor().GetStepView(SEQ_STRIKE, step).mMarker->GetRECT();
    return e.g->GetPoint(r.L + 12, r.T + 3);
  };
  auto same = [](const IColor& a, const IColor& b) { return a.A == b.A && a.R == b.R && a.G == b.G && a.B == b.B; };
  for (int i : {0, 1, 4, 7}) EXPECT_TRUE(same(stripColor(i), red)) << i;
  const int cursor = p.mStrikeSequencer.mCursor;
  ASSERT_TRUE(cursor == 2 || cursor == 3);
  EXPECT_TRUE(same(stripColor(cursor), white));
  EXPECT_TRUE(same(stripColor(5 - cursor), grey));

  // Playing moves the mark with the cursor and redraws the strips.
  e.rig.Set(kStkLen, 8);
  for (int block = 0; block < 12; ++block) {
    e.rig.Block(4096);
    int current = 0;
    for (int i = 0; i < 8; ++i) {
      const ModifierStepView& v = e.editor().GetStepView(SEQ_STRIKE, i);
      if (v.mIsCurrent) {
        ++current;
        EXPECT_EQ(i, p.mStrikeSequencer.mCursor);
      }
    }
    EXPECT_EQ(current, 1);
    e.g->OnTimer();
    EXPECT_TRUE(same(stripColor(p.mStrikeSequencer.mCursor), white)) << block;
  }
}

TEST(Editor, PresetMenuListsTheTreeAndRunsItsCommands)
{
  TempDir dir("tav_editor_");
  const std::string presets = dir.path("Presets");
  dir.write("Presets/a.preset", "Tavrinel V1.0\nparam Vel 11\n");
  dir.write("Presets/b.preset", "Tavrinel V1.0\nparam Vel 22\n");
  dir.write("Presets/A Sub/c.preset", "Tavrinel V1.0\nparam Vel 33\n");
  std::filesystem::create_directories(std::filesystem::u8path(dir.path("Presets/Empty")));
  dir.write("Tavrinel.ini", "PresetFolder \"" + presets + "\"\n");
  HomeDirectory::overrideLibraryPath(dir.path("Tavrinel.so").c_str());
  {
    EditorRig e;
    Tavrinel& p = e.plug();
    auto* name = dynamic_cast<PresetNameControl*>(e.at(PRESET_NAME));
    ASSERT_NE(name, nullptr);
    e.g->OpenWindow(nullptr);
    auto menu = [&](int choice) -> const IGraphicsOffscreen::Prompt& {
      e.g->QueuePopupChoice(choice);
      e.Click(600, 520);
      return e.g->Prompts().back();
    };
    auto lastFilePrompt = [&]() -> const IGraphicsOffscreen::Prompt* {
      const auto& all = e.g->Prompts();
      for (auto it = all.rbegin(); it != all.rend(); ++it)
        if (it->mKind == IGraphicsOffscreen::Prompt::kFile) return &*it;
      return nullptr;
    };

    // Files first, then the sub-folder (though "A Sub" sorts first), then the commands.
    const IGraphicsOffscreen::Prompt first = menu(-1);
    ASSERT_EQ(first.mItems.size(), 10u);
    EXPECT_TRUE((first.mItems[0] == "a" && first.mItems[1] == "b") || (first.mItems[0] == "b" && first.mItems[1] == "a"));
    EXPECT_EQ(first.mItems[2], "c");
    const std::vector<std::string> commands = {"", "Load ...", "", "Save", "Save As ...", "", "Rescan"};
    for (size_t i = 0; i < commands.size(); ++i) {
      if (commands[i].empty()) EXPECT_TRUE(first.mItemFlags[3 + i] & IPopupMenu::Item::kSeparator);
      else EXPECT_EQ(first.mItems[3 + i], commands[i]);
    }
    EXPECT_EQ(first.mParamIdx, PRESET_NAME_PARAM);

    // The kept menu: file indices and command tags, the sub-folder as a titled
    // sub-menu; marks and disabled items from the last showing are cleared.
    IPopupMenu* kept = name->CreateParamPopup();
    ASSERT_EQ(kept->NItems(), 10);
    EXPECT_EQ(kept->GetItemAtLevel(0)->GetTag(), 1);  // in listing order
    EXPECT_EQ(kept->GetItemAtLevel(1)->GetTag(), 2);
    EXPECT_STREQ(kept->GetItemAtLevel(2)->GetText(), "A Sub");
    ASSERT_NE(kept->GetItemAtLevel(2)->GetSubmenu(), nullptr);
    EXPECT_EQ(kept->GetItemAtLevel(2)->GetSubmenu()->GetItemAtLevel(0)->GetTag(), 3);
    const std::vector<int> commandTags = {-1, -2, -3, -4};
    const std::vector<int> commandPlaces = {4, 6, 7, 9};
    for (size_t i = 0; i < commandTags.size(); ++i)
      EXPECT_EQ(kept->GetItemAtLevel(commandPlaces[i])->GetTag(), commandTags[i]);
    kept->GetItemAtLevel(0)->SetFlag(IPopupMenu::Item::kChecked, true);
    kept->GetItemAtLevel(4)->SetFlag(IPopupMenu::Item::kDisabled, true);
    EXPECT_EQ(name->CreateParamPopup(), kept);
    EXPECT_FALSE(kept->GetItemAtLevel(0)->GetChecked());
    EXPECT_TRUE(kept->GetItemAtLevel(4)->GetEnabled());

    // Drawn with a white outline.
    e.g->OnTimer();
    const IColor outline = e.g->GetPoint(555, 524);
    EXPECT_TRUE(outline.A == 255 && outline.R == 255 && outline.G == 255 && outline.B == 255);

    // "Save" with no current preset acts as "Save As ...".
    e.rig.Set(kVel, 55);
    e.g->QueueFileChoice(dir.path("Presets/new").c_str());
    menu(6);
    const IGraphicsOffscreen::Prompt* save = lastFilePrompt();
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->mText, presets);
    EXPECT_NE(ReadText(dir.path("Presets/new.preset")).find("\nparam Vel 55.000000000000\n"), std::string::npos);
    EXPECT_STREQ(name->GetText(), "new");
    EXPECT_TRUE(name->NeedsRebuild());
    EXPECT_EQ(menu(-1).mItems.size(), 11u);  // rebuilt with the new file

    // A file item reads that file.
    menu(2 + 1);  // "c", after the root's three files
    EXPECT_EQ(p.GetParam(kVel)->Value(), 33);
    EXPECT_STREQ(name->GetText(), "c");

    // "Save" to the current preset asks nothing and keeps the menu.
    const size_t nPrompts = e.g->Prompts().size();
    e.rig.Set(kVel, 44);
    menu(7);
    EXPECT_EQ(e.g->Prompts().size(), nPrompts + 1);  // the menu only
    EXPECT_NE(ReadText(dir.path("Presets/A Sub/c.preset")).find("\nparam Vel 44.000000000000\n"), std::string::npos);
    EXPECT_FALSE(name->NeedsRebuild());

    // "Load ..." opens the chosen file.
    e.g->QueueFileChoice(dir.path("Presets/a.preset").c_str());
    menu(5);
    EXPECT_EQ(p.GetParam(kVel)->Value(), 11);
    EXPECT_STREQ(name->GetText(), "a");

    // A new file shows after "Rescan" only.
    dir.write("Presets/d.preset", "Tavrinel V1.0\nparam Vel 66\n");
    EXPECT_EQ(menu(-1).mItems.size(), 11u);
    menu(10);
    EXPECT_TRUE(name->NeedsRebuild());
    EXPECT_EQ(menu(-1).mItems.size(), 12u);

    // A cancelled "Save As ..." writes nothing; a file deleted since the scan does nothing.
    e.g->QueueFileChoice("");
    menu(9);
    EXPECT_EQ(p.getPresetTree()->mLastIndex, 5);
    const IGraphicsOffscreen::Prompt items = menu(-1);
    int bIdx = -1;
    for (int i = 0; i < 4; ++i)
      if (items.mItems[static_cast<size_t>(i)] == "b") bIdx = i;
    ASSERT_GE(bIdx, 0);
    std::filesystem::remove(std::filesystem::u8path(dir.path("Presets/b.preset")));
    menu(bIdx);
    EXPECT_EQ(p.GetParam(kVel)->Value(), 11);
    EXPECT_STREQ(name->GetText(), "a");
  }
  HomeDirectory::overrideLibraryPath(nullptr);
  {
    EditorRig e;  // no preset folder: the commands alone
    e.g->QueuePopupChoice(-1);
    e.Click(600, 520);
    ASSERT_EQ(e.g->Prompts().size(), 1u);
    EXPECT_EQ(e.g->Prompts()[0].mItems.size(), 7u);
    EXPECT_EQ(e.g->Prompts()[0].mItems[1], "Load ...");
  }
}

TEST(Editor, AnotherGraphicsObjectDisconnectsTheBuiltEditor)
{
  EditorRig e;
  IGraphicsOffscreen* other = new IGraphicsOffscreen(e.rig.plug, 16, 16);
  e.plug().AttachGraphics(other);  // the built controls are gone with the old object
  EXPECT_EQ(e.plug().GetEditor(), nullptr);
  EXPECT_EQ(e.plug().GetGui()->GetCell(0, 0)->GetCanvas(), nullptr);
  // The engine's hooks no longer reach the deleted controls.
  for (int i = 0; i < 8; ++i) e.rig.Block(4096);
  e.rig.Set(kStkBegin, 2);
  e.rig.Set(kNumStep, 6);
  IStateChunk chunk;
  ASSERT_TRUE(e.plug().SerializeState(chunk));
  EXPECT_GT(e.plug().UnserializeState(chunk, 0), 0);
}
