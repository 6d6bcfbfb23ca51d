#include "Tavrinel.h"

#include "Assert.h"
#include "IPlugGraphicsLink.h"
#include "PresetTree.h"
#include "TavrinelGui.h"

#include <cmath>
#include <cstdint>

#define TAVRINEL_FILE "src\\Tavrinel"

namespace {

constexpr int32_t FourCC(char a, char b, char c, char d)
{
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
                              static_cast<uint32_t>(static_cast<uint8_t>(d)));
}

constexpr int32_t VENDOR_VERSION = 0x10000;  // 1.0.0

// Melody 0 of each step strikes pulse 0 and pulse 2 with one chord tone each.
struct DefaultStrikes {
  int32_t mPulse0;
  int32_t mPulse2;
};
constexpr DefaultStrikes defaultPattern[MAX_STEPS] = {
  {4, 16}, {1, 2}, {16, 8}, {4, 2}, {1, 2}, {4, 8}, {16, 8}, {4, 16}, {4, 16}, {4, 16}, {4, 16}, {4, 16}};

// Moves a modifier sequencer on by one clock tick, its published cursor with
// it. Returns the step to apply, or null when the cursor did not
// move or the step's probability said no.
template <class SEQUENCER>
auto TickSequencer(SEQUENCER& seq, Tavrinel& plug, int which) -> decltype(&seq.currentStep())
{
  plug.MoveSequencerMarker(which, seq.mCursor, false);
  const bool moved = seq.clockTick();
  plug.MoveSequencerMarker(which, seq.mCursor, true);
  if (moved && seq.rollProbability()) return &seq.currentStep();
  return nullptr;
}

} // namespace

int TruncateSamples(double samples)
{
  if (!(samples < static_cast<double>(PulseClock::MAX_PULSE_LENGTH))) return PulseClock::MAX_PULSE_LENGTH;
  if (!(samples > 0.0)) return 0;
  return static_cast<int>(samples);
}

Tavrinel::Tavrinel(IPlugAPI::HostHandle host)
  : IPlugAPI(host, kNumHostParams, "1-1 2-2", NUM_PROGRAMS, "Tavrinel", "", "Quellbrook", VENDOR_VERSION,
             FourCC('q', 'b', 'T', 'v'), FourCC('q', 'b', 'r', 'k'), 0, true, true, true),
    mClock(mRandom),
    mPlayer(mProgression)
{
  DefineParameters();

  mClock.SetSampleRate(44100.0);
  BuildDefaultPattern();

  // What the parameter pass of the host's open call gives these two: one
  // eighth note at the clock's current tempo, and no permanence swaps.
  mNoteLengthBeats = beatDivisionParamsTable[3];
  FollowNoteLength();
  mPermanenceThreshold = 1.0;

  LoadConfiguration();

  mMidiOut.reserve(MIDI_OUT_RESERVE);
  SizeForBlocks();
  mpGui.reset(new TavrinelGui(this, mProgression, mMelodyClipboard));

  // No editor until the host opens one; the host may ask for its size before.
  mEditorDefaults.reserve(static_cast<std::size_t>(NParams()));
  for (int i = 0; i < NParams(); ++i) mEditorDefaults.push_back(GetParam(i)->ToNormalized());
  if (Factory().mBuild) DeclareEditor(Factory().mWidth, Factory().mHeight);
}

Tavrinel::~Tavrinel()
{
  FreeEditor(); // its controls point into this object's members
}

EditorFactory& Tavrinel::Factory()
{
  static EditorFactory sFactory;
  return sFactory;
}

void Tavrinel::SetEditorFactory(const EditorFactory& factory) { Factory() = factory; }

void Tavrinel::BuildEditor(IGraphics* pGraphics)
{
  if (pGraphics) BuildEditorOn(pGraphics);
}

void Tavrinel::OnEditorOpening()
{
  // Built already: an open without a close before it, or BuildEditor.
  if (!GetGraphics()) BuildEditorOn(nullptr);
}

void Tavrinel::OnEditorClosed() { FreeEditor(); }

void Tavrinel::BuildEditorOn(IGraphics* pGraphics)
{
  if (!Factory().mBuild) return;
  // The editor's lock before the plug-in's, in the order every entry takes them.
  MutexLock editorLock(GetEditorMutex());
  // Built without the plug-in mutex, so the audio thread never waits for it:
  // the factory reads only what construction fixed, and no other thread
  // reaches the new graphics object before it is attached.
  std::unique_ptr<EditorPort> pNew(Factory().mBuild(*this, pGraphics));
  if (!pNew || !pGraphics) return;  // nothing built: the old editor stays
  // The first value a control is given is its default; the current values
  // follow when the graphics object is attached. The surface is made here too.
  for (int i = 0; i < NParams(); ++i)
    IGraphicsLink::SetParameterFromPlug(pGraphics, i, mEditorDefaults[static_cast<std::size_t>(i)], true);
  IGraphicsLink::PrepDraw(pGraphics);
  MutexLock lock(GetMutex());
  // The old editor's records stay until its controls are gone with the old
  // graphics object (AttachGraphics deletes it).
  std::unique_ptr<EditorPort> pOld(mpEditor.release());
  mpEditor = std::move(pNew);
  mpEditor->Connect();
  mpPresetNameControl = mpEditor->GetPresetNameControl();
  if (mPresetName.hasPath()) ShowPresetName();
  mpEditorGraphics = pGraphics;
  AttachGraphics(pGraphics);
}

void Tavrinel::FreeEditor()
{
  MutexLock editorLock(GetEditorMutex());
  std::unique_ptr<EditorPort> pOld;
  std::unique_ptr<IGraphics, GraphicsDeleter> pOldGraphics;
  {
    // No thread reaches the editor once this block ends; deleting it needs no lock.
    MutexLock lock(GetMutex());
    if (mpEditor) mpEditor->Disconnect();
    pOld = std::move(mpEditor);
    mpPresetNameControl = nullptr;
    mpEditorGraphics = nullptr;
    pOldGraphics = std::move(mGraphics);
  }
  pOldGraphics.reset();  // the controls first, then the records that point at them
}

void Tavrinel::AttachGraphics(IGraphics* pGraphics)
{
  if (!pGraphics) return;
  MutexLock editorLock(GetEditorMutex());
  MutexLock lock(GetMutex());
  if (pGraphics != mpEditorGraphics && mpEditor) {
    // Nothing may point at the controls the old graphics object takes along.
    mpEditor->Disconnect();
    mpEditor.reset();
    mpPresetNameControl = nullptr;
    mpEditorGraphics = nullptr;
  }
  IPlugAPI::AttachGraphics(pGraphics);
}

void Tavrinel::BuildDefaultPattern()
{
  mProgression.setBeginStepIdx(0);
  mProgression.setNumSteps(MAX_STEPS);
  mProgression.setNumPulses(MAX_PULSES_PER_MELODY);
  for (int s = 0; s < MAX_STEPS; ++s) {
    ChordStep& step = mProgression.step(s);
    for (int r = 0; r < MAX_VARIATIONS_PER_CHORD; ++r) {
      Melody& m = step.mMelodies[r];
      for (PitchSet& p : m.mPulses) {
        p.setMask(0);
        p.mSavedMask = 0;
        p.mSavedValid = false;
      }
      m.mEnabled = (r == 0);
      m.mTempBackupValid = false;
    }
    Melody& m0 = step.mMelodies[0];
    m0.mPulses[0].setMask(defaultPattern[s].mPulse0);
    m0.mPulses[2].setMask(defaultPattern[s].mPulse2);
    for (Melody& m : step.mMelodies) m.captureOriginal();
  }

  mNumPulses = MAX_PULSES_PER_MELODY;
  mPlayer.attach(mProgression);
  mPlayer.setNumPulses(MAX_PULSES_PER_MELODY);
  mPlayer.reset();
}

const ParamChangeDesc* Tavrinel::GetParamChangeDesc(int paramIdx) const
{
  if (paramIdx < 0 || paramIdx >= kNumParams) return nullptr;
  return mpParamChangeDesc[paramIdx];
}

void Tavrinel::RegisterParamDesc(const ParamChangeDesc* pDesc)
{
  TAV_ASSERT(pDesc && pDesc->mParamIdx >= 0 && pDesc->mParamIdx < kNumParams, TAVRINEL_FILE);
  TAV_ASSERT(mpParamChangeDesc[ pDesc->mParamIdx ] == 0, TAVRINEL_FILE);
  mpParamChangeDesc[pDesc->mParamIdx] = pDesc;
}

void Tavrinel::OnParamChanged(int paramIdx)
{
  MutexLock lock(GetMutex());
  const IPlugParam* pParam = GetParam(paramIdx);
  if (!pParam) return;
  const double v = pParam->Value();

  if (paramIdx >= kGrooveLock0 && paramIdx < kGrooveLock0 + GROOVE_STEPS) {
    mGroove.mGrooveLock[paramIdx - kGrooveLock0] = (v >= 0.5);
  } else if (paramIdx >= kGrooveMute0 && paramIdx < kGrooveMute0 + GROOVE_STEPS) {
    mGroove.mGrooveMute[paramIdx - kGrooveMute0] = (v >= 0.5);
    mpGui->MarkGrooveDirty();
  } else if (const ParamChangeDesc* pDesc = mpParamChangeDesc[paramIdx]) {
    pDesc->mHandler(*this, *pDesc, v);
  }
}

void Tavrinel::OnReset()
{
  MutexLock lock(GetMutex());
  mClock.SetSampleRate(GetSampleRate());
  FollowNoteLength();
  SizeForBlocks();
}

int Tavrinel::PendingEventsFor(int blockSize, double sampleRate)
{
  if (blockSize < MIN_SIZED_BLOCK) blockSize = MIN_SIZED_BLOCK;
  if (!(sampleRate >= MIN_SIZED_RATE)) sampleRate = MIN_SIZED_RATE;
  // Densest pulse: the shortest note value (a thirty-second triplet) at the
  // sizing tempo; swing and humanise move pulses but keep their average, so
  // twice the block's share bounds them. Notes reach at most 8 beats past their
  // pulse (the longest value with length jitter), 96 densest pulses.
  const double shortest = sampleRate * 60.0 / MAX_SIZED_TEMPO * beatDivisionParamsTable[NUM_BEAT_DIVISIONS - 1];
  const double pulse = shortest < 1.0 ? 1.0 : std::floor(shortest);
  const double pulses = 2.0 * (blockSize / pulse + 1.0) + 96.0 + 8.0;
  const double events = pulses * NUM_CHORD_TONES * 2.0;
  return events >= MAX_PENDING_EVENTS ? MAX_PENDING_EVENTS : static_cast<int>(events);
}

void Tavrinel::SizeForBlocks()
{
  const int events = PendingEventsFor(GetBlockSize(), GetSampleRate());
  mNoteStream.setCapacity(events);
  // A block sends at most what is pending at its end, or a release of every
  // key on every channel when the transport stops.
  const int releaseAll = NoteStream::NUM_KEYS * NoteStream::NUM_CHANNELS;
  mMidiOut.reserve(static_cast<std::size_t>(events > releaseAll ? events : releaseAll));
  ReserveOutgoingMidi(static_cast<int>(mMidiOut.capacity()));
}

void Tavrinel::FollowNoteLength()
{
  if (mClock.mSamplesPerBeat == mNoteLengthSamplesPerBeat) return;
  mNoteLengthSamplesPerBeat = mClock.mSamplesPerBeat;
  mNoteLength = TruncateSamples(mNoteLengthBeats * mClock.mSamplesPerBeat);
}

int Tavrinel::ResolvePermanence(int lifetime)
{
  const double u = mRandom.nextUnit();
  if (u > mPermanenceThreshold) return lifetime == 0 ? 1 : 0;
  return lifetime;
}

void Tavrinel::ShowSequencerCursor(int which)
{
  SequencerBase& seq = (which == SEQ_STRIKE) ? static_cast<SequencerBase&>(mStrikeSequencer)
                                             : static_cast<SequencerBase&>(mMelodySequencer);
  for (int i = 0; i < MODIFIER_SEQUENCER_STEPS; ++i) MoveSequencerMarker(which, i, i == seq.mCursor);
  mpGui->MarkSequencerStepsDirty(which);
}

void Tavrinel::MoveSequencerMarker(int which, int stepIdx, bool on)
{
  mpGui->SetSequencerMarker(which, stepIdx, on);
}

// ---- block processing ----

void Tavrinel::ProcessBlock(double** /*inputs*/, double** /*outputs*/, int nFrames)
{
  MutexLock lock(GetMutex());
  if (nFrames < 0) nFrames = 0;

  HostTime time;
  GetHostTime(time);
  int num = time.numerator, den = time.denominator;
  if (num < 1 || den < 1) {
    num = 4;
    den = 4;
  }
  double tempo = time.tempo;
  if (!(tempo > 0.0)) tempo = 120.0;
  mClock.SetTempo(tempo, num, den);
  FollowNoteLength();

  const int64_t pos = time.samplePos;
  const bool playing = time.playing;

  if (mReloadPending) {
    mReloadPending = false;
    mAdvanceArmed = false;
  }
  if (pos != mExpectedPos) Reposition(pos);
  mExpectedPos = pos + nFrames;

  mMidiOut.clear();
  if (!playing) {
    mNoteStream.allNotesOff(mMidiOut);
    SendMidiList();
    return;
  }

  mClock.BeginBlock(nFrames);
  while (mClock.mSamplesLeft >= mClock.mSamplesToPulse) HandlePulse();

  mNoteStream.render(mMidiOut, nFrames);
  SendMidiList();
}

void Tavrinel::Reposition(int64_t pos)
{
  const int64_t pulse = mClock.Locate(pos);
  // A sequencer places itself from the pulse number modulo (divider x its
  // positions), the player also modulo (steps x pulses per step): a pulse
  // number past the int range is reduced by a multiple of those periods.
  auto placeAt = [pulse](SequencerBase& seq, int64_t otherPeriod) {
    int64_t n = pulse;
    if (n > INT32_MAX) {
      const int64_t divider = seq.mDivider > 0 ? seq.mDivider : 1;
      const int64_t positions = seq.numActivePositions() > 0 ? seq.numActivePositions() : 1;
      n %= divider * positions * (otherPeriod > 0 ? otherPeriod : 1);
    }
    seq.setPosition(static_cast<int>(n));
  };
  {
    const int s = mPlayer.mCurrentStep;
    mpGui->SetPulseMarker(s, mPlayer.chord(s).mCurrentMelody, -1);
  }
  placeAt(mPlayer, static_cast<int64_t>(mProgression.numSteps) * mProgression.getNumPulses());
  placeAt(mStrikeSequencer, 1);
  placeAt(mMelodySequencer, 1);
  mMelodyCountdown = 0;
  mGroove.position(mPlayer.mCurrentPulse);
  mpGui->MarkGrooveDirty();
  {
    const int s = mPlayer.mCurrentStep;
    mpGui->SetPulseMarker(s, mPlayer.chord(s).mCurrentMelody, mPlayer.mCurrentPulse);
  }
  ShowSequencerCursor(SEQ_STRIKE);
  ShowSequencerCursor(SEQ_MELODY);
  mAdvanceArmed = false;
}

void Tavrinel::HandlePulse()
{
  const int offset = mClock.NextPulse();

  int channel;
  if (mChannelToggle == 0) {
    channel = mChannelSlot[0];
    mChannelToggle = 1;
  } else {
    channel = mChannelSlot[1];
    mChannelToggle = 0;
  }

  if (mAdvanceArmed) {
    // Leave the pulse just played: undo its temporary modifiers.
    int s = mPlayer.mCurrentStep;
    int k = mPlayer.chord(s).mCurrentMelody;
    restoreTemporaryStrike(mPlayer.currentPitchSet());
    if (mPlayer.mCurrentPulse >= mNumPulses - 1) {
      restoreTemporaryMelody(mPlayer.currentMelody());
      mpGui->MarkCellDirty(s, k);
    }
    mpGui->SetPulseMarker(s, k, -1);

    mPlayer.tick();
    s = mPlayer.mCurrentStep;
    k = mPlayer.chord(s).mCurrentMelody;
    mpGui->SetPulseMarker(s, k, mPlayer.mCurrentPulse);

    mMelodyCountdown -= 1;
    if (mMelodyCountdown < 1) {
      if (mMelodySequencer.mRunning) {
        if (const EnumStep<EMelodyModifier>* pStep = TickSequencer(mMelodySequencer, *this, SEQ_MELODY)) {
          const bool permanent = ResolvePermanence(pStep->mLifetime) != 0;
          mpGui->GetCell(s, k)->ApplyMelodyCommand(pStep->mValue, permanent);
        }
      }
      mMelodyCountdown = mNumPulses;
    }

    if (mStrikeSequencer.mRunning) {
      if (const EnumStep<EStrikeModifier>* pStep = TickSequencer(mStrikeSequencer, *this, SEQ_STRIKE)) {
        const bool permanent = ResolvePermanence(pStep->mLifetime) != 0;
        applyStrikeModifier(mPlayer.currentPitchSet(), pStep->mValue, permanent);
        mpGui->MarkCellDirty(s, k);
      }
    }

    if (mGroove.mEnabled) {
      mGroove.advance();
      mpGui->MarkGrooveDirty();
    }
  }
  mAdvanceArmed = true;

  PlayCurrentPulse(offset, channel);
}

void Tavrinel::PlayCurrentPulse(int offset, int channel)
{
  const Melody& row = mPlayer.currentMelody();
  const int mask = mPlayer.currentPitchSet().mPlayingMask;
  if (!row.mEnabled || mask == 0) return;

  const int g = mGroove.grooveVelocity();
  int vel = (mVelocity * g) / 128;
  if (mVelJitter > 0.0) {
    const double u = mRandom.nextUnit();
    vel = static_cast<int>((2.0 * u - 1.0) * 40.0 * mVelJitter + vel);
  }
  if (vel < 0) vel = 0;
  if (vel > 127) vel = 127;

  int len = mNoteLength;
  if (mLenJitter > 0.0) {
    const double f = mRandom.nextJitterFactor();
    len = static_cast<int>(f * len);
    const int minLen = TruncateSamples(mClock.mSamplesPerBeat * 0.0625);
    if (len < minLen) len = minLen;
  }
  // Every note ends: at a sample rate so low that the length truncates to 0,
  // a note without a note-off would be struck again while it still sounds.
  if (len < 1) len = 1;

  const int chordDegree = mProgression.step(mPlayer.mCurrentStep).mChordDegree;
  for (int i = 0; i < NUM_CHORD_TONES; ++i) {
    if (!(mask & (1 << i))) continue;
    const int pitch = mScale.getNote(mTonic, chordDegree, mMode, i);
    mNoteStream.addNote(offset, channel, pitch, vel, len);
  }
}

void Tavrinel::SendMidiList()
{
  for (const IMidiMessage& msg : mMidiOut) SendMidiMessage(msg);
}

void Tavrinel::ProcessMidiMessage(const IMidiMessage& msg)
{
  switch (msg.StatusKind()) {
  case IMidiMessage::kNoteOff:
  case IMidiMessage::kNoteOn:
  case IMidiMessage::kControlChange:
    return;  // notes are ours to make; control changes are consumed
  default:
    SendMidiMessage(msg);
  }
}

// ---- state ----

bool Tavrinel::SerializeState(IStateChunk& chunk)
{
  MutexLock lock(GetMutex());
  const bool patternOk = mProgression.serialize(chunk);
  const bool grooveOk = mGroove.serialize(chunk);
  const bool paramsOk = SerializeParams(chunk, true);
  return patternOk && grooveOk && paramsOk;
}

int Tavrinel::UnserializeState(const IStateChunk& chunk, int startPos)
{
  MutexLock lock(GetMutex());
  int pos = mProgression.unserialize(chunk, startPos);
  pos = mGroove.unserialize(chunk, pos);
  pos = UnserializeParams(chunk, pos, true);
  mReloadPending = true;
  mpGui->RefreshFromPattern();
  RedrawEditor();
  return pos;
}
