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

} // namespace

Tavrinel::Tavrinel()
  : IPlugBase(kNumHostParams, "1-1 2-2", NUM_PROGRAMS, "Tavrinel", "", "Quellbrook", VENDOR_VERSION,
              FourCC('q', 'b', 'T', 'v'), FourCC('q', 'b', 'r', 'k'), 0, true, true, true,
              false),  // it makes no sound
    TavrinelEngine(this)
{
  DefineParameters();
  LoadConfiguration();

  StartAudioPath();
  SizeForBlocks();

  // No editor until the host opens one; the host may ask for its size before.
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
  for (int i = 0; i < NParams(); ++i) {
    const IPlugParamDef& def = GetParam(i)->Def();  // fixed at construction: no lock needed
    IGraphicsLink::SetParameterFromPlug(pGraphics, i, def.NormalizedFrom(def.GetDefault()), true);
  }
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
  IPlugBase::AttachGraphics(pGraphics);
}

void Tavrinel::OnReset()
{
  MutexLock lock(GetMutex());
  RunOnBothEngines([](TavrinelEngine& e, int, int, double rate) { e.SetClockRate(rate); }, 0, 0, GetSampleRate());
  SizeForBlocks();
}

void Tavrinel::OnActivate(bool active)
{
  MutexLock lock(GetMutex());
  if (!active) RunOnBothEngines([](TavrinelEngine& e, int, int, double) { e.Suspend(); });
}

Tavrinel::PoolSize Tavrinel::PoolFor(int blockSize, double sampleRate)
{
  if (blockSize < MIN_SIZED_BLOCK) blockSize = MIN_SIZED_BLOCK;
  // A lower rate packs more pulses into a block: an unknown rate sizes as
  // MIN_SIZED_RATE, a known one as it is (at least MIN_KNOWN_RATE: below it,
  // absurd rates would ask for pools too long to walk).
  if (!(sampleRate > 0.0)) sampleRate = MIN_SIZED_RATE;
  if (sampleRate < MIN_KNOWN_RATE) sampleRate = MIN_KNOWN_RATE;
  // Densest pulse: the shortest note value (a thirty-second triplet) at the
  // sizing tempo; swing and humanise move pulses but keep their average, so
  // twice the block's share bounds them. Notes reach at most 8 beats past their
  // pulse (the longest value with length jitter), 96 densest pulses.
  const double shortest = sampleRate * 60.0 / MAX_SIZED_TEMPO * beatDivisionParamsTable[NUM_BEAT_DIVISIONS - 1];
  const double pulse = shortest < 1.0 ? 1.0 : std::floor(shortest);
  const double pulses = 2.0 * (blockSize / pulse + 1.0) + 96.0 + 8.0;
  const double notes = pulses * NUM_CHORD_TONES;
  const int events = notes * 2.0 >= MAX_PENDING_EVENTS ? MAX_PENDING_EVENTS : static_cast<int>(notes * 2.0);
  return {events, (events + 1) / 2};
}

// ---- block processing, driven directly ----

void Tavrinel::ProcessBlock(double** /*inputs*/, double** /*outputs*/, int nFrames)
{
  MutexLock lock(GetMutex());
  if (!mPlaysDirectly) {
    // The plug-in's own engine plays only for callers that drive it directly:
    // its note pool and MIDI list are made then.
    mPlaysDirectly = true;
    SizeForBlocks();
  }
  HostTime time;
  GetHostTime(time);
  TavrinelEngine::RunBlock(time, nFrames, mMidiOut);
  SendMidiList();
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
  RunOnBothEngines([](TavrinelEngine& e, int, int, double) { e.mReloadPending = true; });
  GetGui()->RefreshFromPattern();
  RedrawEditor();
  return pos;
}
