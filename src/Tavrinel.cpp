#include "Tavrinel.h"

#include "Assert.h"
#include "PresetTree.h"
#include "TavrinelGui.h"

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

Tavrinel::Tavrinel(audioMasterCallback hostCallback)
  : IPlugVST(hostCallback, kNumHostParams, "1-1 2-2", NUM_PROGRAMS, "Tavrinel", "", "Quellbrook", VENDOR_VERSION,
             FourCC('q', 'b', 'T', 'v'), FourCC('q', 'b', 'r', 'k'), 0, true, true, true),
    mClock(mRandom),
    mPlayer(mProgression)
{
  DefineParameters();

  mClock.SetSampleRate(44100.0);
  BuildDefaultPattern();

  // What the parameter pass of the host's open call gives these two: one
  // eighth note at the clock's current tempo, and no permanence swaps.
  mNoteLength = TruncateSamples(beatDivisionParamsTable[3] * mClock.mSamplesPerBeat);
  mPermanenceThreshold = 1.0;

  LoadConfiguration();

  mMidiOut.reserve(MIDI_OUT_RESERVE);
  mpGui.reset(new TavrinelGui(this, mProgression, mMelodyClipboard));

  // The editor, last: its controls bind to the parameters above. Null asks
  // the factory for the platform's graphics object.
  BuildEditorOn(nullptr);
}

Tavrinel::~Tavrinel()
{
  delete mpPresetTree;
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

void Tavrinel::BuildEditorOn(IGraphics* pGraphics)
{
  if (!Factory().mBuild) return;
  MutexLock lock(GetMutex());
  // The old editor's records stay until its controls are gone with the old
  // graphics object (AttachGraphics deletes it).
  std::unique_ptr<EditorPort> pNew(Factory().mBuild(*this, pGraphics));
  if (!pNew || !pGraphics) return;  // nothing built: the old editor stays
  std::unique_ptr<EditorPort> pOld(mpEditor.release());
  mpEditor = std::move(pNew);
  mpPresetNameControl = mpEditor->GetPresetNameControl();
  if (mPresetName.hasPath()) ShowPresetName();
  mpEditorGraphics = pGraphics;
  AttachGraphics(pGraphics);
}

void Tavrinel::AttachGraphics(IGraphics* pGraphics)
{
  if (!pGraphics) return;
  MutexLock lock(GetMutex());
  if (pGraphics != mpEditorGraphics && mpEditor) {
    // Nothing may point at the controls the old graphics object takes along.
    mpEditor->Disconnect();
    mpEditor.reset();
    mpPresetNameControl = nullptr;
    mpEditorGraphics = nullptr;
  }
  IPlugVST::AttachGraphics(pGraphics);
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

  int num = 0, den = 0;
  GetTimeSignature(num, den);
  if (num < 1 || den < 1) {
    num = 4;
    den = 4;
  }
  double tempo = GetHostTempo();
  if (!(tempo > 0.0)) tempo = 120.0;
  mClock.SetTempo(tempo, num, den);

  const int pos = GetSamplePosition();
  const bool playing = IsHostPlaying();

  if (mReloadPending) {
    mReloadPending = false;
    mAdvanceArmed = false;
  }
  if (pos != mExpectedPos) Reposition(pos);
  // Wraps like the host's 32-bit position rather than overflowing.
  mExpectedPos = static_cast<int32_t>(static_cast<uint32_t>(pos) + static_cast<uint32_t>(nFrames));

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

void Tavrinel::Reposition(int pos)
{
  const int n = mClock.Locate(pos);
  {
    const int s = mPlayer.mCurrentStep;
    mpGui->SetPulseMarker(s, mPlayer.chord(s).mCurrentMelody, -1);
  }
  mPlayer.setPosition(n);
  mStrikeSequencer.setPosition(n);
  mMelodySequencer.setPosition(n);
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
