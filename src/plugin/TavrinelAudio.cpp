// The plug-in's audio path: the audio thread's engine, the operations handed
// to it and the views it publishes back (see the Threads notes in Tavrinel.h).

#include "Tavrinel.h"

#include "IPlugGraphicsLink.h"
#include "TavrinelGui.h"

#include <atomic>
#include <cstring>
#include <type_traits>

namespace {

bool SamePitchSet(const PitchSet& a, const PitchSet& b)
{
  return a.mBaseMask == b.mBaseMask && a.mPlayingMask == b.mPlayingMask && a.mSavedMask == b.mSavedMask &&
         a.mSavedValid == b.mSavedValid && a.mRandom.mW == b.mRandom.mW && a.mRandom.mZ == b.mRandom.mZ;
}

bool SameMelody(const Melody& a, const Melody& b)
{
  if (a.numPulses != b.numPulses || a.mRepeatCount != b.mRepeatCount || a.mEnabled != b.mEnabled ||
      a.mSolo != b.mSolo || a.mMuted != b.mMuted || a.mTempBackupValid != b.mTempBackupValid)
    return false;
  for (int p = 0; p < MAX_PULSES_PER_MELODY; ++p) {
    if (a.mReserved[p] != b.mReserved[p] || !SamePitchSet(a.mPulses[p], b.mPulses[p]) ||
        !SamePitchSet(a.mTempBackup[p], b.mTempBackup[p]) || !SamePitchSet(a.mOriginal[p], b.mOriginal[p]))
      return false;
  }
  return true;
}

bool SameStepHeader(const ChordStep& a, const ChordStep& b)
{
  return a.mChordDegree == b.mChordDegree && a.mActive == b.mActive && a.mReserved == b.mReserved;
}

bool SameSpan(const ChordProgression& a, const ChordProgression& b)
{
  return a.beginStepIdx == b.beginStepIdx && a.numSteps == b.numSteps && a.numPositions == b.numPositions;
}

// The groove as a pattern: everything but the playing position.
bool SameGroove(const GrooveMaker& a, const GrooveMaker& b)
{
  if (a.mEnabled != b.mEnabled || a.mNumStepsActive != b.mNumStepsActive) return false;
  for (int i = 0; i < GROOVE_STEPS; ++i) {
    if (a.mGrooveValues[i] != b.mGrooveValues[i] || a.mGrooveMute[i] != b.mGrooveMute[i] ||
        a.mGrooveLock[i] != b.mGrooveLock[i])
      return false;
  }
  return true;
}

void CopyGroovePattern(GrooveMaker& to, const GrooveMaker& from)
{
  const int32_t step = to.mGrooveStep;
  to = from;
  to.mGrooveStep = step;
}

// What the audio thread publishes after a call that changed anything.
struct EngineView {
  uint64_t mWrittenAt = 0;  // the publication it was last brought up to; 0: rewrite it whole
  uint64_t mOpsApplied = 0;
  ChordProgression mProgression;
  GrooveMaker mGroove;
  PlayMarkers mMarkers;
};

} // namespace

struct Tavrinel::AudioPath {
  using Op = QueuedOp<AudioPath>;

  // ---- the audio thread's ----
  TavrinelEngine mEngine{nullptr};
  double mParamValue[kNumParams] = {};  // plain values the audio engine's handlers last saw
  std::vector<IMidiMessage> mMidiOut;
  uint64_t mPublishedOps = 0;
  PlayMarkers mPublishedMarkers;
  int32_t mPublishedGrooveStep = -1;

  // ---- shared ----
  OpQueue<AudioPath> mOps;
  // The front view is the plug-in's side's: the pattern as it last handed it
  // over (Sent, SentGroove), until it takes in the next view.
  TripleBuffer<EngineView> mViews;
  std::atomic<uint64_t> mPublished{0};  // views published so far
  std::atomic<uint64_t> mNewestViewOps{0};  // operations applied in the newest view
  std::atomic<double> mMirror[kNumParams] = {};  // normalised, the latest either side set
  // Parameters set on the audio thread, for the plug-in's engine to follow.
  std::atomic<double> mSetValue[kNumParams] = {};
  std::atomic<uint64_t> mSetAfterOps[kNumParams] = {};  // operations applied when it was set
  std::atomic<bool> mSet[kNumParams] = {};
  std::atomic<bool> mAnySet{false};

  // ---- the plug-in's side (mutex held) ----

  ChordProgression& Sent() { return mViews.Front().mProgression; }
  GrooveMaker& SentGroove() { return mViews.Front().mGroove; }
  // Sent() and SentGroove() become the plug-in's pattern; the audio thread
  // rewrites that view whole when it gets it back.
  void SetSent(const ChordProgression& p, const GrooveMaker& g)
  {
    EngineView& v = mViews.Front();
    if (std::memcmp(&v.mProgression, &p, sizeof(ChordProgression)) == 0 &&
        std::memcmp(&v.mGroove, &g, sizeof(GrooveMaker)) == 0)
      return;
    std::memcpy(static_cast<void*>(&v.mProgression), &p, sizeof(ChordProgression));
    std::memcpy(static_cast<void*>(&v.mGroove), &g, sizeof(GrooveMaker));
    v.mWrittenAt = 0;
  }
  uint64_t mPushed = 0;                  // operations pushed so far
  uint64_t mLastParamOp[kNumParams] = {};  // number of the last operation that set each parameter
  PlayMarkers mShownMarkers;
  int mRoomEvents = 0;
  int mRoomNotes = 0;
  std::size_t mRoomMidi = 0;

  // ---- operations ----
  // Parameters' new values and their handlers, in order (a restore's 250 in
  // one piece of memory).
  struct ParamOp : Op {
    struct Change {
      int mIdx;
      bool mRunHandler;
      double mValue;
    };
    std::vector<Change> mChanges;
    void Apply(AudioPath& a) override
    {
      for (const Change& c : mChanges) {
        a.mParamValue[c.mIdx] = c.mValue;
        if (c.mRunHandler) a.mEngine.RunHandler(c.mIdx, c.mValue, false);
      }
    }
  };
  // An engine step that is no handler.
  struct StepOp : Op {
    EngineStep mStep;
    int mA, mB;
    double mX;
    StepOp(EngineStep step, int a, int b, double x) : mStep(step), mA(a), mB(b), mX(x) {}
    void Apply(AudioPath& a) override
    {
      mStep(a.mEngine, mA, mB, mX);
      a.mEngine.mTouched = true;
    }
  };
  // The melodies, step headers, span and groove pattern that changed.
  struct SongOp : Op {
    struct MelodyAt {
      int mStep, mRow;
      Melody mMelody;
    };
    std::vector<MelodyAt> mMelodies;
    struct StepAt {
      int mStep;
      int32_t mChordDegree, mReserved;
      bool mActive;
    };
    std::vector<StepAt> mSteps;
    bool mSpan = false;
    int32_t mBegin = 0, mNumSteps = 0, mNumPositions = 0;
    std::unique_ptr<GrooveMaker> mpGroove;
    bool Empty() const { return mMelodies.empty() && mSteps.empty() && !mSpan && !mpGroove; }
    void Apply(AudioPath& a) override
    {
      ChordProgression& p = a.mEngine.mProgression;
      for (const MelodyAt& m : mMelodies) p.step(m.mStep).mMelodies[m.mRow] = m.mMelody;
      for (const StepAt& st : mSteps) {
        ChordStep& step = p.step(st.mStep);
        step.mChordDegree = st.mChordDegree;
        step.mReserved = st.mReserved;
        step.mActive = st.mActive;
      }
      if (mSpan) {
        p.beginStepIdx = mBegin;
        p.numSteps = mNumSteps;
        p.numPositions = mNumPositions;
      }
      if (mpGroove) CopyGroovePattern(a.mEngine.mGroove, *mpGroove);
      a.mEngine.mTouched = true;
    }
  };
  // More room for notes and for the block's MIDI list, allocated here.
  struct RoomOp : Op {
    std::unique_ptr<NoteStream::Room> mpRoom;
    std::vector<IMidiMessage> mList;
    void Apply(AudioPath& a) override
    {
      if (mpRoom) a.mEngine.mNoteStream.addRoom(*mpRoom);
      if (mList.capacity() > a.mMidiOut.capacity()) a.mMidiOut.swap(mList);
    }
  };

  void Push(std::unique_ptr<Op> op)
  {
    mOps.Push(std::move(op));
    ++mPushed;
    mOpenParamOp = nullptr;
  }
  // Queues a parameter change, joining the parameter operation just pushed.
  void PushParam(int idx, double value, bool runHandler)
  {
    if (!mOpenParamOp || !mOps.HasBatch()) {
      auto op = std::make_unique<ParamOp>();
      ParamOp* p = op.get();
      Push(std::move(op));
      mOpenParamOp = p;
    }
    mOpenParamOp->mChanges.push_back({idx, runHandler, value});
    mLastParamOp[idx] = mPushed;
  }
  ParamOp* mOpenParamOp = nullptr;  // the last operation pushed, while it is a ParamOp of the open batch

  // Publishes a view when anything the plug-in's side follows changed. The
  // buffer to fill holds an older view: only the melodies changed since are
  // copied into it (a pulse changes one or two), the rest is small.
  uint64_t mPublication = 1;
  uint64_t mCellChangedAt[MAX_STEPS * MAX_VARIATIONS_PER_CHORD];
  uint64_t mStepsChangedAt = 1;
  void PublishIfChanged()
  {
    TavrinelEngine& e = mEngine;
    const uint64_t applied = mOps.Applied();
    if (!e.mTouched && !e.mChangedCells && applied == mPublishedOps && e.GetMarkers() == mPublishedMarkers &&
        e.mGroove.mGrooveStep == mPublishedGrooveStep)
      return;
    ++mPublication;
    for (int i = 0; i < MAX_STEPS * MAX_VARIATIONS_PER_CHORD; ++i)
      if (e.mTouched || ((e.mChangedCells >> i) & 1)) mCellChangedAt[i] = mPublication;
    if (e.mTouched) mStepsChangedAt = mPublication;
    EngineView& v = mViews.Back();
    ChordProgression& to = v.mProgression;
    const ChordProgression& from = e.mProgression;
    for (int s = 0; s < MAX_STEPS; ++s) {
      for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r)
        if (mCellChangedAt[s * MAX_VARIATIONS_PER_CHORD + r] > v.mWrittenAt)
          to.mSteps[s].mMelodies[r] = from.mSteps[s].mMelodies[r];
      if (mStepsChangedAt > v.mWrittenAt) {
        to.mSteps[s].mChordDegree = from.mSteps[s].mChordDegree;
        to.mSteps[s].mActive = from.mSteps[s].mActive;
        to.mSteps[s].mReserved = from.mSteps[s].mReserved;
      }
    }
    to.beginStepIdx = from.beginStepIdx;
    to.numSteps = from.numSteps;
    to.numPositions = from.numPositions;
    v.mWrittenAt = mPublication;
    v.mOpsApplied = applied;
    v.mGroove = e.mGroove;
    v.mMarkers = e.GetMarkers();
    mViews.Publish();
    mNewestViewOps.store(applied, std::memory_order_release);
    e.mChangedCells = 0;
    mPublished.store(mPublished.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    e.mTouched = false;
    mPublishedOps = applied;
    mPublishedMarkers = e.GetMarkers();
    mPublishedGrooveStep = e.mGroove.mGrooveStep;
  }
};


// ---- the plug-in's side (mutex held) ----

// A block sends at most what is pending at its end, or a release of every key
// on every channel when the transport stops.
static std::size_t MidiListFor(int events)
{
  const int releaseAll = NoteStream::NUM_KEYS * NoteStream::NUM_CHANNELS;
  return static_cast<std::size_t>(events > releaseAll ? events : releaseAll);
}

void Tavrinel::AudioPathDeleter::operator()(AudioPath* p) const { delete p; }

void Tavrinel::StartAudioPath()
{
  mpAudio.reset(new AudioPath);
  AudioPath& a = *mpAudio;
  for (uint64_t& at : a.mCellChangedAt) at = a.mPublication;  // every view starts empty
  for (int i = 0; i < kNumParams; ++i) {
    if (const ParamChangeDesc* pDesc = GetParamChangeDesc(i)) a.mEngine.RegisterParamDesc(pDesc);
    if (const IPlugParam* pParam = GetParam(i)) {
      a.mParamValue[i] = pParam->Value();
      a.mMirror[i].store(pParam->ToNormalized(), std::memory_order_relaxed);
    }
  }
  a.SetSent(mProgression, mGroove);
  // Sized here, before any audio call: later room is handed over.
  const PoolSize pool = PoolFor(GetBlockSize(), GetSampleRate());
  a.mEngine.SizeNoteStream(pool.events, pool.notes);
  a.mRoomEvents = a.mEngine.mNoteStream.capacity();
  a.mRoomNotes = a.mEngine.mNoteStream.noteCapacity();
  a.mMidiOut.reserve(MidiListFor(pool.events));
  a.mRoomMidi = a.mMidiOut.capacity();
}

void Tavrinel::SizeForBlocks()
{
  const PoolSize pool = PoolFor(GetBlockSize(), GetSampleRate());
  const std::size_t midi = MidiListFor(pool.events);
  if (mPlaysDirectly) {
    SizeNoteStream(pool.events, pool.notes);
    mMidiOut.reserve(midi);
  }
  if (!mpAudio) return;
  AudioPath& a = *mpAudio;
  if (pool.events <= a.mRoomEvents && pool.notes <= a.mRoomNotes && midi <= a.mRoomMidi) return;
  auto op = std::make_unique<AudioPath::RoomOp>();
  const int moreEvents = pool.events > a.mRoomEvents ? pool.events - a.mRoomEvents : 0;
  const int moreNotes = pool.notes > a.mRoomNotes ? pool.notes - a.mRoomNotes : 0;
  if (moreEvents || moreNotes) op->mpRoom = NoteStream::makeRoom(moreEvents, moreNotes);
  a.mRoomEvents += moreEvents;
  a.mRoomNotes += moreNotes;
  if (midi > a.mRoomMidi) {
    op->mList.reserve(midi);
    a.mRoomMidi = midi;
  }
  a.Push(std::move(op));
}

void Tavrinel::MirrorParam(int paramIdx)
{
  if (!mpAudio || paramIdx < 0 || paramIdx >= kNumParams) return;
  if (const IPlugParam* pParam = GetParam(paramIdx))
    mpAudio->mMirror[paramIdx].store(pParam->ToNormalized(), std::memory_order_relaxed);
}

// A handler or engine step running on the plug-in's engine. The audio engine
// replays it, so what it changes there (the pattern, parameters it sets in
// turn) is not handed over again: the pattern it leaves counts as handed over.
class Tavrinel::ReplayedScope {
public:
  explicit ReplayedScope(Tavrinel& plug) : mPlug(plug) { ++mPlug.mReplayedDepth; }
  ~ReplayedScope()
  {
    if (--mPlug.mReplayedDepth > 0 || !mPlug.mpAudio) return;
    mPlug.mpAudio->SetSent(mPlug.mProgression, mPlug.mGroove);
  }
  ReplayedScope(const ReplayedScope&) = delete;
  ReplayedScope& operator=(const ReplayedScope&) = delete;

private:
  Tavrinel& mPlug;
};

void Tavrinel::OnParamChanged(int paramIdx)
{
  MutexLock lock(GetMutex());
  const IPlugParam* pParam = GetParam(paramIdx);
  if (!pParam || paramIdx >= kNumParams) return;
  const double v = pParam->Value();
  // The host records its announced parameters itself; the others are the song's.
  if (!IsHostParam(paramIdx) && InUserInput()) NoteSongEdit();
  if (mpAudio && mReplayedDepth == 0) {
    // Pattern changes made before this handler reach the audio engine first.
    HandOverSongChanges();
    mpAudio->PushParam(paramIdx, v, true);
  }
  MirrorParam(paramIdx);
  ReplayedScope replayed(*this);
  RunHandler(paramIdx, v, IsChangeFromEditor(paramIdx));
}

void Tavrinel::RunOnBothEngines(EngineStep step, int a, int b, double x)
{
  MutexLock lock(GetMutex());
  if (mpAudio && mReplayedDepth == 0) {
    HandOverSongChanges();
    mpAudio->Push(std::make_unique<AudioPath::StepOp>(step, a, b, x));
  }
  ReplayedScope replayed(*this);
  step(*this, a, b, x);
}

void Tavrinel::ApplyChordSpan(int firstStep, int numSteps)
{
  MutexLock lock(GetMutex());
  RunOnBothEngines([](TavrinelEngine& e, int first, int num, double) { e.SetChordSpan(first, num); }, firstStep,
                   numSteps);
  const int idx[2] = {kStepOne, kNumStep};
  const double value[2] = {static_cast<double>(firstStep + 1), static_cast<double>(numSteps)};
  for (int i = 0; i < 2; ++i) {
    IPlugParam* pParam = GetParam(idx[i]);
    if (!pParam) continue;
    pParam->Set(value[i]);
    if (!mpAudio) continue;
    mpAudio->PushParam(idx[i], pParam->Value(), false);
    MirrorParam(idx[i]);
  }
}

void Tavrinel::HandOverSongChanges()
{
  if (!mpAudio || mReplayedDepth > 0) return;
  AudioPath& a = *mpAudio;
  // Mostly nothing changed: equal bytes settle it at once. Bytes that differ
  // only where no field is (padding) cost one field-by-field pass, after
  // which the copies are byte-equal again.
  static_assert(std::is_trivially_copyable<ChordProgression>::value, "the pattern is compared as bytes");
  static_assert(std::is_trivially_copyable<GrooveMaker>::value, "the groove is compared as bytes");
  const ChordProgression& sentProgression = a.Sent();
  const bool sameBytes = std::memcmp(&mProgression, &sentProgression, sizeof(ChordProgression)) == 0 &&
                         std::memcmp(&mGroove, &a.SentGroove(), sizeof(GrooveMaker)) == 0;
  if (sameBytes) return;
  std::unique_ptr<AudioPath::SongOp> op;
  auto songOp = [&op]() -> AudioPath::SongOp& {
    if (!op) op = std::make_unique<AudioPath::SongOp>();
    return *op;
  };
  for (int s = 0; s < MAX_STEPS; ++s) {
    const ChordStep& now = mProgression.step(s);
    const ChordStep& sent = sentProgression.step(s);
    for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r)
      if (!SameMelody(now.mMelodies[r], sent.mMelodies[r])) songOp().mMelodies.push_back({s, r, now.mMelodies[r]});
    if (!SameStepHeader(now, sent)) songOp().mSteps.push_back({s, now.mChordDegree, now.mReserved, now.mActive});
  }
  if (!SameSpan(mProgression, sentProgression)) {
    AudioPath::SongOp& o = songOp();
    o.mSpan = true;
    o.mBegin = mProgression.beginStepIdx;
    o.mNumSteps = mProgression.numSteps;
    o.mNumPositions = mProgression.numPositions;
  }
  if (!SameGroove(mGroove, a.SentGroove())) songOp().mpGroove = std::make_unique<GrooveMaker>(mGroove);
  a.SetSent(mProgression, mGroove);
  if (!op) return;
  if (InUserInput()) NoteSongEdit();
  a.Push(std::move(op));
}

void Tavrinel::TakeInFromAudio()
{
  if (!mpAudio) return;
  AudioPath& a = *mpAudio;
  HandOverSongChanges();  // what was changed outside the mutex (tests and tools)
  // Parameters the audio thread set: the plug-in's engine follows (replaying
  // what the audio engine did), unless a later operation of ours sets the
  // parameter on the audio engine again.
  if (a.mAnySet.exchange(false, std::memory_order_acq_rel)) {
    ReplayedScope replayed(*this);
    for (int i = 0; i < kNumParams; ++i) {
      if (!a.mSet[i].exchange(false, std::memory_order_acq_rel)) continue;
      IPlugParam* pParam = GetParam(i);
      if (!pParam) continue;
      if (a.mLastParamOp[i] > a.mSetAfterOps[i].load(std::memory_order_relaxed)) {
        MirrorParam(i);
        continue;
      }
      pParam->SetClamped(a.mSetValue[i].load(std::memory_order_relaxed));
      RunHandler(i, pParam->Value(), false);
      IGraphicsLink::SetParameterFromPlug(GetGraphics(), i, pParam->ToNormalized(), true);
    }
  }
  // The audio engine's pattern, once it has applied everything we handed over.
  // (A newer view that has not caught up stays unread: the front view is our
  // record of what was handed over.)
  if (!a.mViews.Fresh() || a.mOps.HasBatch() ||
      a.mNewestViewOps.load(std::memory_order_acquire) != a.mOps.Committed())
    return;
  a.mViews.Read();
  const EngineView& v = a.mViews.Front();
  TavrinelGui& gui = *GetGui();
  for (int s = 0; s < MAX_STEPS; ++s) {
    const bool header = !SameStepHeader(mProgression.step(s), v.mProgression.step(s));
    for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r) {
      if (header || !SameMelody(mProgression.step(s).mMelodies[r], v.mProgression.step(s).mMelodies[r]))
        gui.MarkCellDirty(s, r);
    }
  }
  const bool span = !SameSpan(mProgression, v.mProgression);
  std::memcpy(static_cast<void*>(&mProgression), &v.mProgression, sizeof(ChordProgression));
  if (span) gui.RefreshGrid();
  if (!SameGroove(mGroove, v.mGroove) || mGroove.mGrooveStep != v.mGroove.mGrooveStep) gui.MarkGrooveDirty();
  std::memcpy(static_cast<void*>(&mGroove), &v.mGroove, sizeof(GrooveMaker));

  const PlayMarkers& now = v.mMarkers;
  PlayMarkers& shown = a.mShownMarkers;
  if (now.mStep != shown.mStep || now.mRow != shown.mRow || now.mPulse != shown.mPulse) {
    if (shown.mStep >= 0) gui.SetPulseMarker(shown.mStep, shown.mRow, -1);
    if (now.mStep >= 0) gui.SetPulseMarker(now.mStep, now.mRow, now.mPulse);
  }
  for (int which = 0; which < 2; ++which) {
    const uint32_t changed = now.mSequencerSteps[which] ^ shown.mSequencerSteps[which];
    if (!changed) continue;
    for (int i = 0; i < TavrinelGui::SEQUENCER_STEPS; ++i)
      if (changed & (1u << i)) gui.SetSequencerMarker(which, i, (now.mSequencerSteps[which] >> i) & 1u);
    gui.MarkSequencerStepsDirty(which);
  }
  shown = now;
}

void Tavrinel::OnMutexAcquired()
{
  try {
    TakeInFromAudio();
  } catch (...) {
  }
}

void Tavrinel::OnMutexReleasing()
{
  if (!mpAudio) return;
  try {
    HandOverSongChanges();
  } catch (...) {
  }
  mpAudio->mOps.Commit();
}

const TavrinelEngine& Tavrinel::AudioEngine() const { return mpAudio->mEngine; }

uint64_t Tavrinel::PublishedViews() const { return mpAudio->mPublished.load(std::memory_order_relaxed); }

// ---- the audio thread ----

void Tavrinel::OnAudioCallBegin() { mpAudio->mOps.Drain(*mpAudio); }

void Tavrinel::OnAudioCallEnd() { mpAudio->PublishIfChanged(); }

void Tavrinel::ProcessAudioBlock(double** /*inputs*/, double** /*outputs*/, int nFrames)
{
  AudioPath& a = *mpAudio;
  HostTime time;
  GetHostTime(time);
  a.mEngine.RunBlock(time, nFrames, a.mMidiOut);
  for (const IMidiMessage& msg : a.mMidiOut) SendMidiMessage(msg);
}

bool Tavrinel::SetParameterOnAudioThread(int paramIdx, double plainValue, bool onlyIfChanged)
{
  const IPlugParam* pParam = GetParam(paramIdx);
  if (!pParam || paramIdx >= kNumParams) return true;
  AudioPath& a = *mpAudio;
  // What the main thread handed over comes first, as it would have under a lock.
  a.mOps.Drain(a);
  const double v = pParam->Clamped(plainValue);
  if (onlyIfChanged && v == a.mParamValue[paramIdx]) return true;
  a.mParamValue[paramIdx] = v;
  a.mEngine.RunHandler(paramIdx, v, false);
  a.mMirror[paramIdx].store(pParam->NormalizedFrom(v), std::memory_order_relaxed);
  a.mSetValue[paramIdx].store(v, std::memory_order_relaxed);
  a.mSetAfterOps[paramIdx].store(a.mOps.Applied(), std::memory_order_relaxed);
  a.mSet[paramIdx].store(true, std::memory_order_release);
  a.mAnySet.store(true, std::memory_order_release);
  a.PublishIfChanged();
  return true;
}

bool Tavrinel::GetParameterOnAudioThread(int paramIdx, double& normalizedValue)
{
  if (paramIdx < 0 || paramIdx >= kNumParams) return false;
  normalizedValue = mpAudio->mMirror[paramIdx].load(std::memory_order_relaxed);
  return true;
}
