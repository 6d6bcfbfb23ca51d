// The modifier panels' menus, item by item: every entry's text, where the
// separators go, and that choosing an entry gives the step that modifier.

#include "ModifierPanels.h"
#include "OffscreenEditor.h"
#include "TavrinelEditor.h"
#include "TavrinelTestRig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct PanelRig {
  TavrinelRig rig;
  IGraphicsOffscreen* g;

  PanelRig() : g(BuildOffscreenEditor(*rig.plug)) {}
  // Right-clicks the modifier button of step idx and picks menu entry choice.
  const IGraphicsOffscreen::Prompt& Choose(int which, int idx, int choice)
  {
    const IRECT& r = rig.plug->GetEditor()->GetStepView(which, idx).mModifierControl->GetRECT();
    const IMouseMod right(false, true);
    g->QueuePopupChoice(choice);
    g->OnMouseDown(r.L + 2, r.T + 2, right);
    g->OnMouseUp(r.L + 2, r.T + 2, right);
    return g->Prompts().back();
  }
};

// The menu as listed: text and tag per entry, an empty text for a separator.
struct Entry {
  const char* text;
  int tag;
};

void CheckMenu(int which, const std::vector<Entry>& entries, int firstParam)
{
  PanelRig e;
  Tavrinel& p = *e.rig.plug;
  for (size_t i = 0; i < entries.size(); ++i) {
    const int step = static_cast<int>(i % MODIFIER_SEQUENCER_STEPS);
    const int before = p.GetParam(firstParam + step)->Int();
    const IGraphicsOffscreen::Prompt& menu = e.Choose(which, step, static_cast<int>(i));
    ASSERT_EQ(menu.mItems.size(), entries.size());
    if (!*entries[i].text) {
      EXPECT_TRUE(menu.mItemFlags[i] & IPopupMenu::Item::kSeparator) << i;
      EXPECT_EQ(p.GetParam(firstParam + step)->Int(), before) << i;
      continue;
    }
    EXPECT_EQ(menu.mItems[i], entries[i].text) << i;
    EXPECT_EQ(p.GetParam(firstParam + step)->Int(), entries[i].tag) << i;
    const int stored = which == SEQ_STRIKE ? p.mStrikeSequencer.getStep(step).mValue
                                           : p.mMelodySequencer.getStep(step).mValue;
    EXPECT_EQ(stored, entries[i].tag) << i;
  }
}

} // namespace

TEST(ModifierPanels, EveryMenuEntrySetsItsModifier)
{
  const Entry sep = {"", -1};
  CheckMenu(SEQ_STRIKE,
            {{"^ 1", 0}, {"^ 2", 1}, {"^ 3", 2}, {"^ 4", 3}, sep, {"v 1", 4}, {"v 2", 5}, {"v 3", 6}, {"v 4", 7}, sep,
             {"Flip", 8}, {"Rand", 9}, {"Mute", 10}, sep, {" -- ", 11}, {"Orig", 12}},
            kStkMod1);
  CheckMenu(SEQ_MELODY,
            {{"^ 1", 8}, {"^ 2", 9}, {"^ 3", 10}, {"^ 4", 11}, sep, {"v 1", 12}, {"v 2", 13}, {"v 3", 14}, {"v 4", 15},
             sep, {"< 1", 2}, {"< 2", 3}, {"< 3", 4}, sep, {"> 1", 5}, {"> 2", 6}, {"> 3", 7}, sep, {"L/R", 0},
             {"T/B", 1}, {"Rand", 17}, sep, {" -- ", 16}, {"Orig", 18}},
            kMelMod1);
}
