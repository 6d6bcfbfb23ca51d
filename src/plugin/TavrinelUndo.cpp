// The editor's undo history (see Tavrinel.h): steps recorded around the
// user's gestures as differences of the song's state, undone and redone by
// restoring the state with the step's bytes written over it.
//
// Everything here runs under the plug-in mutex, on the editor's thread (the
// gestures, undo and redo) or the host's (a restore empties the history); the
// audio thread never sees it.

#include "Tavrinel.h"

#include "Assert.h"
#include "EditHistory.h"
#include "TavrinelGui.h"

#include <algorithm>
#include <cstring>

#define TAVRINEL_FILE "src\\Tavrinel"

struct Tavrinel::UndoState {
  EditHistory mHistory;
  IStateChunk mBefore;  // the state when the step began
  IStateChunk mAfter;   // the state now, and what an undo restores
  int32_t mGrooveBefore[GROOVE_STEPS] = {};
  bool mRecording = false;
  bool mSpanMoved = false;
  std::string mName;
};

namespace {

// The parameters end the state, 8 bytes each.
int ParamOffset(int stateSize, int nParams, int paramIdx) { return stateSize - 8 * (nParams - paramIdx); }

// What the user edits through the song's own parameters, which neither the
// host (it sees only the announced ones) nor the playing pattern change.
bool IsSongParam(const Tavrinel& plug, int paramIdx)
{
  return !plug.IsHostParam(paramIdx) && plug.IsStoredInPreset(paramIdx);
}

// The name of a step that changed a parameter of the song.
std::string ParamEditName(const Tavrinel& plug, int i)
{
  if (i >= kGrooveLock0 && i < kGrooveLock0 + GROOVE_STEPS) return "Groove lock";
  if (i >= kGrooveMute0 && i < kGrooveMute0 + GROOVE_STEPS) return "Groove mute";
  if (i >= kStkMod1 && i <= kStkLen) return "Strike sequencer";
  if (i >= kMelMod1 && i <= kMelLen) return "Melody sequencer";
  if (i >= kRowSolo1 && i < kRowSolo1 + MAX_VARIATIONS_PER_CHORD) return "Solo row " + std::to_string(i - kRowSolo1 + 1);
  if (i >= kRowMute1 && i < kRowMute1 + MAX_VARIATIONS_PER_CHORD) return "Mute row " + std::to_string(i - kRowMute1 + 1);
  return plug.GetParam(i)->GetName();
}

} // namespace

void Tavrinel::UndoStateDeleter::operator()(UndoState* p) const { delete p; }

Tavrinel::UndoState& Tavrinel::Undoing()
{
  if (!mpUndo) mpUndo.reset(new UndoState);
  return *mpUndo;
}

void Tavrinel::BeginEditStep()
{
  UndoState& u = Undoing();
  if (u.mRecording) return;
  u.mBefore.Clear();
  SerializeState(u.mBefore);
  std::copy(mGroove.mGrooveValues, mGroove.mGrooveValues + GROOVE_STEPS, u.mGrooveBefore);
  u.mRecording = true;
  u.mSpanMoved = false;
  u.mName.clear();
}

void Tavrinel::EndEditStep()
{
  UndoState& u = Undoing();
  if (!u.mRecording) return;
  u.mRecording = false;
  u.mAfter.Clear();
  SerializeState(u.mAfter);
  const int size = u.mAfter.Size();
  if (!TAV_CHECK(u.mBefore.Size() == size, TAVRINEL_FILE)) {
    u.mHistory.Clear();  // the steps would not fit the state any more
    return;
  }
  uint8_t* before = u.mBefore.GetBytes();
  const uint8_t* after = u.mAfter.GetBytes();
  std::string derived;
  for (int i = 0; i < NParams(); ++i) {
    const int at = ParamOffset(size, NParams(), i);
    if (std::memcmp(before + at, after + at, 8) == 0) continue;
    if (IsHostParam(i) && !(u.mSpanMoved && (i == kStepOne || i == kNumStep))) {
      std::memcpy(before + at, after + at, 8);  // the host's to undo: left as it is now
      continue;
    }
    if (derived.empty() && IsSongParam(*this, i)) derived = ParamEditName(*this, i);
  }
  if (derived.empty() && !std::equal(u.mGrooveBefore, u.mGrooveBefore + GROOVE_STEPS, mGroove.mGrooveValues))
    derived = "Groove stroke";
  // Unnamed changes of the pattern alone are the playing pattern's or follow
  // a host parameter: not the user's.
  const std::string& name = u.mName.empty() ? derived : u.mName;
  if (!name.empty()) u.mHistory.Record(before, after, size, name);
}

void Tavrinel::OnUserInputBegun()
{
  MutexLock lock(GetMutex());
  BeginEditStep();
}

void Tavrinel::OnUserInputEnded(bool gestureOpen)
{
  if (gestureOpen) return;
  MutexLock lock(GetMutex());
  EndEditStep();
}

void Tavrinel::OnHostRestore()
{
  if (!mpUndo) return;
  UndoState& u = *mpUndo;
  u.mHistory.Clear();
  // A gesture under way goes on from the restored song.
  if (u.mRecording) {
    u.mRecording = false;
    BeginEditStep();
  }
}

bool Tavrinel::OpenEditStep(const char* name)
{
  MutexLock lock(GetMutex());
  const bool opens = !Undoing().mRecording;
  BeginEditStep();
  NameEdit(name ? name : "");
  return opens;
}

void Tavrinel::CloseEditStep()
{
  MutexLock lock(GetMutex());
  EndEditStep();
}

void Tavrinel::NameEdit(const std::string& name)
{
  MutexLock lock(GetMutex());
  UndoState& u = Undoing();
  if (u.mRecording && u.mName.empty()) u.mName = name;
}

void Tavrinel::NoteSpanMove()
{
  MutexLock lock(GetMutex());
  UndoState& u = Undoing();
  if (!u.mRecording) return;
  u.mSpanMoved = true;
  NameEdit("Chord span");
}

bool Tavrinel::Undo() { return StepHistory(false); }

bool Tavrinel::Redo() { return StepHistory(true); }

bool Tavrinel::StepHistory(bool redo)
{
  // An input of its own when no editor input brackets it: the host hears of
  // the change as of any edit.
  BeginUserInput();
  double before[kNumHostParams] = {};
  double after[kNumHostParams] = {};
  bool done = false;
  {
    MutexLock lock(GetMutex());
    UndoState& u = Undoing();
    const bool recording = u.mRecording;
    EndEditStep();  // what this gesture changed so far is a step of its own
    for (int i = 0; i < kNumHostParams; ++i) before[i] = GetParam(i)->ToNormalized();
    u.mAfter.Clear();
    SerializeState(u.mAfter);
    done = redo ? u.mHistory.Redo(u.mAfter.GetBytes(), u.mAfter.Size())
                : u.mHistory.Undo(u.mAfter.GetBytes(), u.mAfter.Size());
    if (done) {
      UnserializeState(u.mAfter, 0);
      RedrawParamControls();
    }
    for (int i = 0; i < kNumHostParams; ++i) after[i] = GetParam(i)->ToNormalized();
    if (recording) BeginEditStep();
  }
  // The chord span's parameters, when the step moved it.
  for (int i = 0; i < kNumHostParams; ++i)
    if (after[i] != before[i]) HostAutomate(i, after[i]);
  EndUserInput(false);
  return done;
}

bool Tavrinel::CanUndo() const
{
  MutexLock lock(GetMutex());
  return mpUndo && mpUndo->mHistory.CanUndo();
}

bool Tavrinel::CanRedo() const
{
  MutexLock lock(GetMutex());
  return mpUndo && mpUndo->mHistory.CanRedo();
}

std::string Tavrinel::UndoName() const
{
  MutexLock lock(GetMutex());
  return mpUndo ? mpUndo->mHistory.UndoName() : std::string();
}

std::string Tavrinel::RedoName() const
{
  MutexLock lock(GetMutex());
  return mpUndo ? mpUndo->mHistory.RedoName() : std::string();
}

int Tavrinel::NumUndoSteps() const
{
  MutexLock lock(GetMutex());
  return mpUndo ? mpUndo->mHistory.NumUndo() : 0;
}

int Tavrinel::NumRedoSteps() const
{
  MutexLock lock(GetMutex());
  return mpUndo ? mpUndo->mHistory.NumRedo() : 0;
}

std::size_t Tavrinel::HistoryBytes() const
{
  MutexLock lock(GetMutex());
  return mpUndo ? mpUndo->mHistory.Bytes() : 0;
}
