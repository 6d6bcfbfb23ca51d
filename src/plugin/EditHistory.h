#pragma once
// The editor's undo history: the last MAX_STEPS edits of the song, each kept as
// the byte ranges in which the song's serialised form differed before and
// after it (both versions of each range), under the name the menus show. A
// cursor separates the steps to undo from those to redo; recording a new step
// drops the ones to redo.
//
// Knows nothing of what the bytes mean: the plug-in hands it two versions of
// the song of equal size, and it hands back the bytes to write over the song
// to undo or redo a step.
//
// Thread: whoever owns it (the plug-in keeps it under its mutex). Allocates
// when a step is recorded, never when one is undone or redone.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class EditHistory {
public:
  static constexpr int MAX_STEPS = 100;
  // Equal bytes between two differing runs shorter than this join the runs:
  // a range's header costs as much as a few bytes stored twice.
  static constexpr int JOIN_GAP = 4;

  // The change from before to after (size bytes each) as a new step named
  // name. Nothing when they are equal (false); else the steps to redo go, and
  // the oldest step when MAX_STEPS are held.
  bool Record(const uint8_t* before, const uint8_t* after, int size, const std::string& name);
  // Writes the older bytes of the step before the cursor over song (size
  // bytes, the size it was recorded with) and moves the cursor back; false,
  // writing nothing, when there is none or the size differs.
  bool Undo(uint8_t* song, int size);
  // The newer bytes of the step after the cursor; the cursor moves on.
  bool Redo(uint8_t* song, int size);
  void Clear();

  bool CanUndo() const { return mCursor > 0; }
  bool CanRedo() const { return mCursor < mSteps.size(); }
  // The step's name; "" when there is none.
  const std::string& UndoName() const;
  const std::string& RedoName() const;
  int NumUndo() const { return static_cast<int>(mCursor); }
  int NumRedo() const { return static_cast<int>(mSteps.size() - mCursor); }
  // Heap bytes the steps hold (their records, ranges and names).
  std::size_t Bytes() const;

private:
  // Ranges one after the other: offset and length (4 bytes each), the old
  // bytes, the new bytes.
  struct Step {
    std::string mName;
    int mSize = 0;  // of the song it was recorded against
    std::vector<uint8_t> mRanges;
  };
  static void Apply(const Step& step, uint8_t* song, bool newer);

  std::vector<Step> mSteps;  // oldest first
  std::size_t mCursor = 0;   // steps before it are done
};
