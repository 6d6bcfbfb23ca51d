#include "NoteStream.h"

#include "Assert.h"

#include <climits>
#include <cstddef>

#define NOTESTREAM_FILE "src\\NoteStream"

// Pools are sized for the worst case and held by every instance: keep records small.
static_assert(sizeof(NoteEvent) <= 3 * sizeof(void*) + 8, "note event record grew");

// Records come in blocks so that growing the pool is one allocation; the blocks
// are chained and freed with the stream.
struct NoteStream::EventBlock {
  EventBlock* next;
  std::vector<NoteEvent> records;
};

struct NoteStream::NoteBlock {
  NoteBlock* next;
  std::vector<PlayingNote> records;
};

NoteStream::NoteStream() = default;

NoteStream::~NoteStream()
{
  while (mpEventBlocks) {
    EventBlock* b = mpEventBlocks;
    mpEventBlocks = b->next;
    delete b;
  }
  while (mpNoteBlocks) {
    NoteBlock* b = mpNoteBlocks;
    mpNoteBlocks = b->next;
    delete b;
  }
}

void NoteStream::growEvents(int count)
{
  EventBlock* b = new EventBlock{mpEventBlocks, std::vector<NoteEvent>(static_cast<std::size_t>(count))};
  mpEventBlocks = b;
  mEventCapacity += count;
  for (NoteEvent& e : b->records) releaseEvent(&e);
}

void NoteStream::growNotes(int count)
{
  NoteBlock* b = new NoteBlock{mpNoteBlocks, std::vector<PlayingNote>(static_cast<std::size_t>(count))};
  mpNoteBlocks = b;
  mNoteCapacity += count;
  for (PlayingNote& n : b->records) releaseNote(&n);
}

NoteEvent* NoteStream::takeEvent()
{
  if (!mpFreeEvents) growEvents(mEventCapacity ? GROWTH_EVENTS : INITIAL_EVENTS);
  NoteEvent* e = mpFreeEvents;
  mpFreeEvents = e->next;
  *e = NoteEvent();
  return e;
}

void NoteStream::releaseEvent(NoteEvent* e)
{
  e->prev = nullptr;
  e->note = nullptr;
  e->next = mpFreeEvents;
  mpFreeEvents = e;
}

PlayingNote* NoteStream::takeNote()
{
  if (!mpFreeNotes) growNotes(mNoteCapacity ? GROWTH_NOTES : INITIAL_NOTES);
  PlayingNote* n = mpFreeNotes;
  mpFreeNotes = n->next;
  *n = PlayingNote();
  // Into the list of notes in use.
  n->next = mpNotesHead;
  if (mpNotesHead) mpNotesHead->prev = n;
  mpNotesHead = n;
  ++mNoteCount;
  return n;
}

// Puts a note (already out of the list in use) on the free list.
void NoteStream::releaseNote(PlayingNote* n)
{
  n->onEvent = nullptr;
  n->offEvent = nullptr;
  n->prev = nullptr;
  n->next = mpFreeNotes;
  mpFreeNotes = n;
}

void NoteStream::unlinkPending(NoteEvent* e)
{
  if (e->prev) e->prev->next = e->next; else mpPendingHead = e->next;
  if (e->next) e->next->prev = e->prev; else mpPendingTail = e->prev;
  e->next = nullptr;
  e->prev = nullptr;
  --mPendingCount;
}

// Walks past every event due at or before `time`, so events with equal times stay
// in the order they were added, and splits the delay of the event it lands before.
void NoteStream::insertByTime(NoteEvent* e, int time)
{
  int remaining = time;
  NoteEvent* at = mpPendingHead;
  while (at && at->delay <= remaining) {
    remaining -= at->delay;
    at = at->next;
  }
  e->delay = remaining;
  if (at) {
    at->delay -= remaining;
    e->next = at;
    e->prev = at->prev;
    if (at->prev) at->prev->next = e; else mpPendingHead = e;
    at->prev = e;
  } else {
    e->next = nullptr;
    e->prev = mpPendingTail;
    if (mpPendingTail) mpPendingTail->next = e; else mpPendingHead = e;
    mpPendingTail = e;
  }
  ++mPendingCount;
}

void NoteStream::moveEvent(NoteEvent* pEvent, int time)
{
  if (!TAV_CHECK(pEvent, NOTESTREAM_FILE)) return;
  // Later events keep their absolute times.
  if (pEvent->next) pEvent->next->delay += pEvent->delay;
  unlinkPending(pEvent);
  insertByTime(pEvent, time);
}

NoteStream::Room::~Room()
{
  delete mpEvents;
  delete mpNotes;
}

std::unique_ptr<NoteStream::Room> NoteStream::makeRoom(int events, int notes)
{
  auto room = std::make_unique<Room>();
  if (events > 0) room->mpEvents = new EventBlock{nullptr, std::vector<NoteEvent>(static_cast<std::size_t>(events))};
  if (notes > 0) room->mpNotes = new NoteBlock{nullptr, std::vector<PlayingNote>(static_cast<std::size_t>(notes))};
  room->mEvents = events > 0 ? events : 0;
  room->mNotes = notes > 0 ? notes : 0;
  return room;
}

void NoteStream::addRoom(Room& room)
{
  if (EventBlock* b = room.mpEvents) {
    room.mpEvents = nullptr;
    b->next = mpEventBlocks;
    mpEventBlocks = b;
    mEventCapacity += room.mEvents;
    for (NoteEvent& e : b->records) releaseEvent(&e);
  }
  if (NoteBlock* b = room.mpNotes) {
    room.mpNotes = nullptr;
    b->next = mpNoteBlocks;
    mpNoteBlocks = b;
    mNoteCapacity += room.mNotes;
    for (PlayingNote& n : b->records) releaseNote(&n);
  }
  mFixed = true;
}

void NoteStream::setCapacity(int events, int notes)
{
  if (events > mEventCapacity) growEvents(events - mEventCapacity);
  if (notes > mNoteCapacity) growNotes(notes - mNoteCapacity);
  mFixed = true;
}

PlayingNote* NoteStream::addNote(int t, int channel, int key, int velocity, int length)
{
  if (key < 0 || key >= NUM_KEYS || channel < 0 || channel >= NUM_CHANNELS) return nullptr;
  // A note-on of velocity 0 reads as a note-off everywhere: such a note is not sent.
  if (velocity < 1) return nullptr;
  if (t < 0) t = 0;
  if (velocity > 127) velocity = 127;
  // Room for a note and both its events, or the note is dropped whole.
  if (mFixed && (mPendingCount + 2 > mEventCapacity || mNoteCount + 1 > mNoteCapacity)) {
    ++mDroppedNotes;
    return nullptr;
  }

  PlayingNote* note = takeNote();
  NoteEvent* on = takeEvent();
  on->kind = NoteEvent::kOn;
  on->channel = static_cast<uint8_t>(channel);
  on->key = static_cast<uint8_t>(key);
  on->velocity = static_cast<uint8_t>(velocity);

  // Legato cut: a pending note-off of the same key and channel at or after t,
  // whose note-on lies at or before t, ends one sample before the new note-on
  // (at t itself when that note-on is at t, or t is 0: still ahead of the new
  // note-on, which goes in after it).
  long long abs = 0;
  long long lastOn = 0;
  for (NoteEvent* e = mpPendingHead; e; e = e->next) {
    abs += e->delay;
    if (e->key != key || e->channel != channel) continue;
    if (e->kind == NoteEvent::kOn) {
      lastOn = abs;
    } else if (abs >= t && lastOn <= t) {
      const long long cut = t > 0 ? t - 1 : 0;
      const long long target = cut > lastOn ? cut : lastOn;
      // Already cut to t by an earlier note at t: it ends before the new
      // note-on, which goes in after it; a later note of the key may sound on.
      if (abs == target) continue;
      moveEvent(e, static_cast<int>(target));
      break;
    }
  }

  // Humanised pulses can come in out of time order: a note of the same key
  // that starts later ends the new one a sample before it starts.
  long long end = length > 0 ? static_cast<long long>(t) + length : -1;
  abs = 0;
  for (NoteEvent* e = mpPendingHead; e; e = e->next) {
    abs += e->delay;
    if (e->kind == NoteEvent::kOn && abs > t && e->key == key && e->channel == channel) {
      if (end < 0 || end > abs - 1) end = abs - 1;
      break;
    }
  }

  insertByTime(on, t);
  on->note = note;
  note->onEvent = on;

  if (end >= 0) {
    long long offTime = end;
    if (offTime > INT_MAX) offTime = INT_MAX;
    NoteEvent* off = takeEvent();
    off->kind = NoteEvent::kOff;
    off->channel = static_cast<uint8_t>(channel);
    off->key = static_cast<uint8_t>(key);
    off->velocity = 0;
    insertByTime(off, static_cast<int>(offTime));
    off->note = note;
    note->offEvent = off;
  }
  return note;
}

void NoteStream::render(std::vector<IMidiMessage>& out, int n)
{
  int remaining = n;
  int offset = 0;
  while (mpPendingHead) {
    NoteEvent* e = mpPendingHead;
    if (e->delay >= remaining) {
      e->delay -= remaining;
      break;
    }
    offset += e->delay;
    PlayingNote* pNote = e->note;
    PlayingNote* note = pNote;
    if (!TAV_CHECK(pNote, NOTESTREAM_FILE)) {
      // An event of no note is dropped unsent.
    } else if (e->kind == NoteEvent::kOn) {
      IMidiMessage m;
      m.SetNoteOn(e->key, e->velocity, offset, e->channel);
      out.push_back(m);
      note->onEvent = nullptr;
      mSounding[e->key] = static_cast<uint16_t>(mSounding[e->key] | (1u << e->channel));
    } else if (e->kind == NoteEvent::kOff) {
      sendOff(out, e->key, e->channel, offset);
      note->offEvent = nullptr;
    } else {
      (void)TAV_CHECK(0, NOTESTREAM_FILE);
    }
    // A note whose events have all gone out is done (a note without a note-off
    // included: its key stays in the sounding table until allNotesOff).
    if (note && !note->onEvent && !note->offEvent) finishNote(note);
    remaining -= e->delay;
    unlinkPending(e);
    releaseEvent(e);
  }
}

void NoteStream::allNotesOff(std::vector<IMidiMessage>& out)
{
  while (mpPendingHead) {
    NoteEvent* e = mpPendingHead;
    unlinkPending(e);
    releaseEvent(e);
  }
  mpPendingTail = nullptr;
  while (mpNotesHead) {
    PlayingNote* n = mpNotesHead;
    mpNotesHead = n->next;
    releaseNote(n);
  }
  mNoteCount = 0;

  releaseSounding(out);
}

void NoteStream::releaseSounding(std::vector<IMidiMessage>& out)
{
  for (NoteEvent* e = mpPendingHead; e;) {
    NoteEvent* const next = e->next;
    PlayingNote* const note = e->note;
    if (e->kind == NoteEvent::kOff && note && !note->onEvent) {
      sendOff(out, e->key, e->channel, 0);
      // Later events keep their absolute times.
      if (e->next) e->next->delay += e->delay;
      unlinkPending(e);
      releaseEvent(e);
      note->offEvent = nullptr;
      finishNote(note);
    }
    e = next;
  }
  for (int key = 0; key < NUM_KEYS; ++key) {
    for (int ch = 0; mSounding[key] && ch < NUM_CHANNELS; ++ch) {
      if (mSounding[key] & (1u << ch)) sendOff(out, key, ch, 0);
    }
  }
}

void NoteStream::sendOff(std::vector<IMidiMessage>& out, int key, int channel, int offset)
{
  IMidiMessage m;
  m.SetNoteOff(key, offset, channel);
  out.push_back(m);
  mSounding[key] = static_cast<uint16_t>(mSounding[key] & ~(1u << channel));
}

// Takes a note whose events have all gone out off the list in use.
void NoteStream::finishNote(PlayingNote* note)
{
  if (note->prev) note->prev->next = note->next; else mpNotesHead = note->next;
  if (note->next) note->next->prev = note->prev;
  --mNoteCount;
  releaseNote(note);
}

bool NoteStream::isSounding(int channel, int key) const
{
  if (key < 0 || key >= NUM_KEYS || channel < 0 || channel >= NUM_CHANNELS) return false;
  return (mSounding[key] >> channel) & 1u;
}

int NoteStream::pendingCount() const { return mPendingCount; }

int NoteStream::activeNoteCount() const { return mNoteCount; }
