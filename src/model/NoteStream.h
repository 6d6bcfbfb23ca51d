#pragma once
// Turns "play key k on channel ch with velocity v at sample t for d samples" into
// note-on and note-off messages, block by block, with sample offsets.
//
// Pending events live in one time-ordered, delta-encoded list: each event's delay
// counts from its predecessor (from "now", the start of the current block, for
// the first). Records are recycled through free lists; a pool is made at
// construction, so a warm stream allocates nothing.
//
// Keys outside 0..127 and channels outside 0..15 are dropped by addNote (not
// folded: a folded key could collide with another tone of the same chord): they
// never reach the sounding table or the output.
//
// Thread: audio thread only (ProcessBlock), under the plug-in mutex. Not
// copyable.

#include "IMidiMessage.h"

#include <cstdint>
#include <vector>

struct PlayingNote;

struct NoteEvent {
  enum EKind { kOn = 0, kOff = 1 };

  NoteEvent* next = nullptr;
  NoteEvent* prev = nullptr;
  int32_t kind = kOn;
  int32_t channel = 0;
  int32_t key = 0;
  int32_t velocity = 0;
  int32_t delay = 0;  // samples after the previous pending event (after "now" for the first)
  PlayingNote* note = nullptr;
};

struct PlayingNote {
  PlayingNote* next = nullptr;
  PlayingNote* prev = nullptr;
  NoteEvent* onEvent = nullptr;   // cleared when emitted
  NoteEvent* offEvent = nullptr;  // cleared when emitted
};

class NoteStream {
public:
  static constexpr int NUM_KEYS = 128;
  static constexpr int NUM_CHANNELS = 16;
  // Records made at construction; enough for several bars of five-note pulses.
  static constexpr int INITIAL_EVENTS = 1024;
  static constexpr int INITIAL_NOTES = 512;
  // Records added at once when a free list runs dry.
  static constexpr int GROWTH_EVENTS = 256;
  static constexpr int GROWTH_NOTES = 128;

  NoteStream();
  ~NoteStream();
  NoteStream(const NoteStream&) = delete;
  NoteStream& operator=(const NoteStream&) = delete;

  // Schedules a note-on t samples after the start of the current block and,
  // when length > 0, a note-off at t + length. A still-pending note-off of the
  // same key and channel that would overlap is moved to t - 1 (0 when t is 0).
  // Negative t counts as 0; velocity is clamped to 0..127. Returns null when the key or channel is out of
  // range (nothing is scheduled).
  PlayingNote* addNote(int t, int channel, int key, int velocity, int length);

  // Appends every event due within the next n samples to out, in time order,
  // and moves "now" forward by n. An event due exactly at n is emitted.
  void render(std::vector<IMidiMessage>& out, int n);

  // Drops every pending event and note, appends a note-off at offset 0 for every
  // sounding key and channel (ascending key, then channel) and clears the table.
  void allNotesOff(std::vector<IMidiMessage>& out);

  bool isSounding(int channel, int key) const;
  int pendingCount() const;
  int activeNoteCount() const;

private:
  struct EventBlock;
  struct NoteBlock;

  NoteEvent* takeEvent();
  PlayingNote* takeNote();
  void releaseEvent(NoteEvent* e);
  void releaseNote(PlayingNote* n);
  void growEvents(int count);
  void growNotes(int count);

  void unlinkPending(NoteEvent* e);
  void insertByTime(NoteEvent* e, int time);
  void moveEvent(NoteEvent* e, int time);

  NoteEvent* mpPendingHead = nullptr;
  NoteEvent* mpPendingTail = nullptr;
  NoteEvent* mpFreeEvents = nullptr;  // singly linked through next
  PlayingNote* mpNotesHead = nullptr;
  PlayingNote* mpFreeNotes = nullptr;  // singly linked through next
  EventBlock* mpEventBlocks = nullptr;
  NoteBlock* mpNoteBlocks = nullptr;
  int mPendingCount = 0;
  int mNoteCount = 0;
  uint16_t mSounding[NUM_KEYS] = {};  // bit ch of word k: key k sounds on channel ch
};
