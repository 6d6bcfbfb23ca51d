#pragma once
// Turns "play key k on channel ch with velocity v at sample t for d samples" into
// note-on and note-off messages, block by block, with sample offsets.
//
// Pending events live in one time-ordered, delta-encoded list: each event's delay
// counts from its predecessor (from "now", the start of the current block, for
// the first). Records are recycled through free lists; the pool is made when
// first needed (setCapacity, or the first notes), so a warm stream allocates
// nothing and a stream that never plays costs nothing. A stream given a fixed
// capacity (setCapacity) never allocates in addNote: when its pool is used up a
// new note is dropped whole (no note-on, no note-off, nothing else changes), so
// every note that did go out still gets its note-off.
//
// Output rules: every message of a block has 0 <= offset < block length (an
// event due exactly at the block end goes out at offset 0 of the next block,
// before what that block adds); a note of velocity 0 is not sent; for each key
// and channel note-on and note-off alternate, in whatever time order notes are
// added.
//
// Keys outside 0..127 and channels outside 0..15 are dropped by addNote (not
// folded: a folded key could collide with another tone of the same chord): they
// never reach the sounding table or the output.
//
// Thread: one thread at a time plays and sizes a stream. Room for a stream that
// another thread plays is made with makeRoom on the sizing thread and linked
// in with addRoom on the playing one, which allocates nothing. Not copyable.

#include "IMidiMessage.h"

#include <cstdint>
#include <memory>
#include <vector>

struct PlayingNote;

struct NoteEvent {
  enum EKind { kOn = 0, kOff = 1 };

  NoteEvent* next = nullptr;
  NoteEvent* prev = nullptr;
  PlayingNote* note = nullptr;
  int32_t delay = 0;  // samples after the previous pending event (after "now" for the first)
  uint8_t kind = kOn;
  uint8_t channel = 0;   // 0..15
  uint8_t key = 0;       // 0..127
  uint8_t velocity = 0;  // 0..127
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
  // same key and channel that would overlap is moved to t - 1 (0 when t is 0;
  // never before that note's own note-on, so at worst to t). A pending note-on
  // of the same key and channel later than t ends the new note one sample
  // before it. Negative t counts as 0; velocity is clamped to 127. Returns null,
  // scheduling nothing, when the key or channel is out of range, the velocity
  // is below 1, or a fixed pool has no room left.
  PlayingNote* addNote(int t, int channel, int key, int velocity, int length);

  // Appends every event due within the next n samples (offset 0 .. n - 1) to
  // out, in time order, and moves "now" forward by n.
  void render(std::vector<IMidiMessage>& out, int n);

  // Grows the pool to at least `events` event records and `notes` note records
  // and fixes it there: from then on addNote allocates nothing and drops a note
  // it has no room for. The thread that owns the stream, before it plays (allocates).
  void setCapacity(int events, int notes);

private:
  struct EventBlock;
  struct NoteBlock;

public:
  // Records allocated for a stream, not yet part of it (freed with the room
  // unless addRoom took them).
  class Room {
  public:
    Room() = default;
    Room(const Room&) = delete;
    Room& operator=(const Room&) = delete;
    ~Room();

  private:
    friend class NoteStream;
    EventBlock* mpEvents = nullptr;
    NoteBlock* mpNotes = nullptr;
    int mEvents = 0;
    int mNotes = 0;
  };
  // Room for this many more event and note records (any thread).
  static std::unique_ptr<Room> makeRoom(int events, int notes);
  // Takes the room's records into the pool and fixes the capacity, as
  // setCapacity does, without allocating.
  void addRoom(Room& room);
  int noteCapacity() const { return mNoteCapacity; }
  int capacity() const { return mEventCapacity; }
  // Notes dropped for want of room since construction.
  long long droppedNotes() const { return mDroppedNotes; }

  // Drops every pending event and note, appends a note-off at offset 0 for every
  // sounding key and channel (ascending key, then channel) and clears the table.
  void allNotesOff(std::vector<IMidiMessage>& out);

  // Ends every sounding note at offset 0 of the coming block, ahead of
  // anything else in it: a note whose note-on went out has its queued note-off
  // sent now (queued note-offs in queue order), a sounding key without one
  // gets one (ascending key, then channel). Notes yet to start are kept.
  void releaseSounding(std::vector<IMidiMessage>& out);

  bool isSounding(int channel, int key) const;
  int pendingCount() const;
  int activeNoteCount() const;

private:
  NoteEvent* takeEvent();
  PlayingNote* takeNote();
  void releaseEvent(NoteEvent* e);
  void releaseNote(PlayingNote* n);
  void finishNote(PlayingNote* n);
  void sendOff(std::vector<IMidiMessage>& out, int key, int channel, int offset);
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
  int mEventCapacity = 0;
  int mNoteCapacity = 0;
  bool mFixed = false;
  long long mDroppedNotes = 0;
  uint16_t mSounding[NUM_KEYS] = {};  // bit ch of word k: key k sounds on channel ch
};
