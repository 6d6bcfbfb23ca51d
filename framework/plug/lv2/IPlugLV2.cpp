#include "IPlugLV2.h"

#include "IPlugGraphicsLink.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/log/log.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

namespace {

const void* FindFeature(const LV2_Feature* const* features, const char* uri)
{
  for (int i = 0; features && features[i]; ++i) {
    if (features[i]->URI && !std::strcmp(features[i]->URI, uri)) return features[i]->data;
  }
  return nullptr;
}

// Bytes of a short MIDI message by its status; 0 for what is not one (SysEx,
// data bytes, the undefined system codes).
uint32_t MidiLength(uint8_t status)
{
  if (status < 0x80) return 0;
  if (status < 0xC0) return 3;
  if (status < 0xE0) return 2;
  if (status < 0xF0) return 3;
  switch (status) {
    case 0xF1:
    case 0xF3: return 2;
    case 0xF2: return 3;
    case 0xF6:
    case 0xF8:
    case 0xFA:
    case 0xFB:
    case 0xFC:
    case 0xFE:
    case 0xFF: return 1;
    default: return 0;
  }
}

// Walks the padded items (events, properties) that follow a header of `first`
// bytes in an atom body of `size` bytes, never past its end; valueSize gives
// the size of an item's own atom.
template <class Item, class Size, class Fn>
void ForEachItem(const void* body, uint32_t size, uint32_t first, Size&& valueSize, Fn&& fn)
{
  if (size < first) return;
  const auto* base = static_cast<const uint8_t*>(body);
  uint32_t at = first;
  while (size - at >= sizeof(Item)) {
    const auto* item = reinterpret_cast<const Item*>(base + at);
    const uint32_t n = valueSize(item);
    if (n > size - at - sizeof(Item)) return;
    fn(item);
    const uint32_t step = lv2_atom_pad_size(static_cast<uint32_t>(sizeof(Item)) + n);
    if (step > size - at) return;
    at += step;
  }
}

template <class Fn>
void ForEachEvent(const LV2_Atom_Sequence* seq, Fn&& fn)
{
  ForEachItem<LV2_Atom_Event>(&seq->body, seq->atom.size, sizeof(LV2_Atom_Sequence_Body),
                              [](const LV2_Atom_Event* ev) { return ev->body.size; }, fn);
}

template <class Fn>
void ForEachProperty(const LV2_Atom_Object* obj, Fn&& fn)
{
  ForEachItem<LV2_Atom_Property_Body>(&obj->body, obj->atom.size, sizeof(LV2_Atom_Object_Body),
                                      [](const LV2_Atom_Property_Body* p) { return p->value.size; }, fn);
}

struct UiInstance {
  std::shared_ptr<IPlugLV2::UiLife> mLife;
};

} // namespace

IPlugLV2::IPlugLV2(LV2_URID_Map* map, std::unique_ptr<IPlugBase> plug) : mMap(map), mPlug(std::move(plug))
{
  mUiLife = std::make_shared<UiLife>();
  mUiLife->mWrapper = this;
  // No audio ports: every channel reads and writes its silent scratch buffer.
  mPlug->SetInputConnections(0, mPlug->NInChannels(), false);
  mPlug->SetOutputConnections(0, mPlug->NOutChannels(), false);
  mPlug->AttachHost(this);
}

IPlugLV2::~IPlugLV2()
{
  // The plug-in goes while the host it may still call in its destructor is whole.
  mPlug.reset();
}

std::mutex& IPlugLV2::CreationMutex()
{
  static std::mutex sMutex;
  return sMutex;
}

// ---- plug-in descriptor ----

LV2_Handle IPlugLV2::Instantiate(const LV2_Descriptor* descriptor, double rate, const char* /*bundlePath*/,
                                 const LV2_Feature* const* features, IPlugFactory create) noexcept
{
  // urid:map is required: without it no event can be read or written.
  auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(FindFeature(features, LV2_URID__map)));
  if (!create || !descriptor || !map) return nullptr;
  try {
    std::lock_guard<std::mutex> lock(CreationMutex());
    std::unique_ptr<IPlugBase> made = create();
    if (!made) return nullptr;
    std::unique_ptr<IPlugLV2> lv2(new IPlugLV2(map, std::move(made)));
    lv2->mPlug->EnsureDefaultPreset();
    lv2->mUris.stateKey = lv2->mMap->map(lv2->mMap->handle, (std::string(descriptor->URI) + STATE_KEY_SUFFIX).c_str());
    lv2->FinishSetup(rate, features);
    return static_cast<LV2_Handle>(lv2.release());
  } catch (...) {
    return nullptr;
  }
}

void IPlugLV2::FinishSetup(double rate, const LV2_Feature* const* features)
{
  LV2_URID_Map* m = mMap;
  auto map = [m](const char* uri) { return m->map(m->handle, uri); };
  mUris.atomSequence = map(LV2_ATOM__Sequence);
  mUris.atomChunk = map(LV2_ATOM__Chunk);
  mUris.atomObject = map(LV2_ATOM__Object);
  mUris.atomBlank = map(LV2_ATOM__Blank);
  mUris.atomFrameTime = map(LV2_ATOM__frameTime);
  mUris.atomInt = map(LV2_ATOM__Int);
  mUris.atomLong = map(LV2_ATOM__Long);
  mUris.atomFloat = map(LV2_ATOM__Float);
  mUris.atomDouble = map(LV2_ATOM__Double);
  mUris.atomBool = map(LV2_ATOM__Bool);
  mUris.midiEvent = map(LV2_MIDI__MidiEvent);
  mUris.timePosition = map(LV2_TIME__Position);
  mUris.timeFrame = map(LV2_TIME__frame);
  mUris.timeSpeed = map(LV2_TIME__speed);
  mUris.timeBpm = map(LV2_TIME__beatsPerMinute);
  mUris.timeBeatsPerBar = map(LV2_TIME__beatsPerBar);
  mUris.timeBeatUnit = map(LV2_TIME__beatUnit);
  mUris.timeBar = map(LV2_TIME__bar);
  mUris.timeBarBeat = map(LV2_TIME__barBeat);
  mUris.bufMaxBlock = map(LV2_BUF_SIZE__maxBlockLength);
  mUris.bufNominalBlock = map(LV2_BUF_SIZE__nominalBlockLength);
  mUris.stateChanged = map(LV2_STATE__StateChanged);

  // The host parameters with a name are the control ports, in order.
  mNumControlPorts = 0;
  while (mPlug->IsHostParam(mNumControlPorts) && mPlug->GetParam(mNumControlPorts)->GetName()[0]) ++mNumControlPorts;
  mControlPorts.assign(static_cast<size_t>(mNumControlPorts), nullptr);
  mLastPortValue.assign(static_cast<size_t>(mNumControlPorts), std::numeric_limits<float>::quiet_NaN());

  // The block: the host's largest, else its nominal one, else ours.
  int block = 0;
  int nominal = 0;
  const auto* options = static_cast<const LV2_Options_Option*>(FindFeature(features, LV2_OPTIONS__options));
  for (int i = 0; options && options[i].key; ++i) {
    const LV2_Options_Option& o = options[i];
    if (!o.value || o.size < sizeof(int32_t)) continue;
    int32_t v = 0;
    if (o.type == mUris.atomInt) {
      std::memcpy(&v, o.value, sizeof(v));
    } else if (o.type == mUris.atomLong && o.size >= sizeof(int64_t)) {
      int64_t l = 0;
      std::memcpy(&l, o.value, sizeof(l));
      v = (l > 0 && l <= IPlugBase::MAX_BLOCK_SIZE) ? static_cast<int32_t>(l) : 0;
    } else {
      continue;
    }
    if (o.key == mUris.bufMaxBlock) block = v;
    if (o.key == mUris.bufNominalBlock) nominal = v;
  }
  constexpr int MAX_BLOCK = IPlugBase::MAX_BLOCK_SIZE;
  if (!(block > 0 && block <= MAX_BLOCK)) block = (nominal > 0 && nominal <= MAX_BLOCK) ? nominal : DEFAULT_BLOCK_SIZE;

  IPlugBase::MutexLock lock(mPlug->GetMutex());
  // What a VST host's open, sample rate and block size calls would do.
  mPlug->RunAllParamHooks();
  if (rate > 0.0 && std::isfinite(rate)) mPlug->SetSampleRate(rate);
  mPlug->OnReset();
  mPlug->SetBlockSize(block);
  mPlug->OnReset();
}

void IPlugLV2::ConnectPort(LV2_Handle instance, uint32_t port, void* data) noexcept
{
  IPlugLV2* lv2 = FromHandle(instance);
  if (!lv2) return;
  const int n = lv2->mNumControlPorts;
  if (port < static_cast<uint32_t>(n)) {
    lv2->mControlPorts[port] = static_cast<const float*>(data);
  } else if (port == static_cast<uint32_t>(n)) {
    lv2->mEventsIn = static_cast<const LV2_Atom_Sequence*>(data);
  } else if (port == static_cast<uint32_t>(n) + 1) {
    lv2->mMidiOut = static_cast<LV2_Atom_Sequence*>(data);
  }
}

void IPlugLV2::Activate(LV2_Handle instance) noexcept
{
  IPlugLV2* lv2 = FromHandle(instance);
  if (!lv2) return;
  try {
    // The host sends a position only when its transport changes: what it
    // sent last still holds, whatever happened between.
    IPlugBase::MutexLock lock(lv2->mPlug->GetMutex());
    lv2->mPlug->OnActivate(true);
  } catch (...) {
  }
}

void IPlugLV2::Deactivate(LV2_Handle instance) noexcept
{
  IPlugLV2* lv2 = FromHandle(instance);
  if (!lv2) return;
  try {
    IPlugBase::MutexLock lock(lv2->mPlug->GetMutex());
    lv2->mPlug->OnActivate(false);
    lv2->mPlug->OnReset();
  } catch (...) {
  }
}

void IPlugLV2::Cleanup(LV2_Handle instance) noexcept
{
  IPlugLV2* lv2 = FromHandle(instance);
  if (!lv2) return;
  try {
    {
      // A host that cleans up the plug-in before its UI: the window goes now,
      // and the UI's later calls find no plug-in.
      std::lock_guard<std::mutex> life(lv2->mUiLife->mMutex);
      IPlugBase::MutexLock editorLock(lv2->mPlug->GetEditorMutex());
      lv2->CloseUi();
      lv2->mUiLife->mWrapper = nullptr;
    }
    delete lv2;
  } catch (...) {
  }
}

const void* IPlugLV2::ExtensionData(const char* uri) noexcept
{
  static const LV2_State_Interface sState = {SaveState, RestoreState};
  if (uri && !std::strcmp(uri, LV2_STATE__interface)) return &sState;
  return nullptr;
}

// ---- run ----

void IPlugLV2::Run(LV2_Handle instance, uint32_t nSamples) noexcept
{
  IPlugLV2* lv2 = FromHandle(instance);
  if (!lv2) return;
  try {
    lv2->RunBlock(nSamples);
  } catch (...) {
    // The output holds what was written before; the next run starts afresh.
    lv2->mInRun = false;
  }
}

void IPlugLV2::RunBlock(uint32_t nSamples)
{
  // No lock: the plug-in's audio path and the wrapper's run state belong to
  // this thread; what the main thread prepared is taken in BeginAudioCall.
  mPlug->BeginAudioCall();
  struct AudioCall {
    IPlugBase& mPlug;
    ~AudioCall() { mPlug.EndAudioCall(); }
  } audioCall{*mPlug};
  BeginOutput(nSamples);
  ReadControlPorts();
  mInRun = true;
  struct InRun {
    bool& mFlag;
    ~InRun() { mFlag = false; }
  } inRun{mInRun};

  uint32_t done = 0;
  if (mEventsIn && mEventsIn->atom.type == mUris.atomSequence) {
    // Times in frames; a sequence timed otherwise (beats) is read at the start.
    const bool inFrames = mEventsIn->body.unit == 0 || mEventsIn->body.unit == mUris.atomFrameTime;
    ForEachEvent(mEventsIn, [&](const LV2_Atom_Event* ev) {
      int64_t at = inFrames ? ev->time.frames : 0;
      if (at < static_cast<int64_t>(done)) at = done;
      if (at > static_cast<int64_t>(nSamples)) at = nSamples;
      ProcessFrames(done, static_cast<uint32_t>(at) - done);
      done = static_cast<uint32_t>(at);
      HandleEvent(ev, done);
    });
  }
  ProcessFrames(done, nSamples - done);
}

void IPlugLV2::BeginOutput(uint32_t nSamples)
{
  mRunFrames = nSamples;
  mLastOutFrame = 0;
  mOutCapacity = 0;
  if (!mMidiOut) return;
  // The host gives the buffer's capacity as the atom's size.
  mOutCapacity = mMidiOut->atom.size;
  if (mOutCapacity < sizeof(LV2_Atom_Sequence_Body)) {
    mOutCapacity = 0;
    return;
  }
  mMidiOut->atom.type = mUris.atomSequence;
  mMidiOut->atom.size = sizeof(LV2_Atom_Sequence_Body);
  mMidiOut->body.unit = 0;
  mMidiOut->body.pad = 0;
  if (mStateChanged.exchange(false) && !AppendOut(0, mUris.atomObject, nullptr, sizeof(LV2_Atom_Object_Body)))
    mStateChanged.store(true);  // no room: the next run tells it
}

bool IPlugLV2::AppendOut(int64_t frame, LV2_URID type, const void* body, uint32_t size)
{
  const uint32_t padded = lv2_atom_pad_size(static_cast<uint32_t>(sizeof(LV2_Atom_Event)) + size);
  const uint32_t used = mMidiOut->atom.size;
  if (used > mOutCapacity || mOutCapacity - used < padded) return false;
  auto* at = reinterpret_cast<uint8_t*>(&mMidiOut->body) + used;
  std::memset(at, 0, padded);
  auto* ev = reinterpret_cast<LV2_Atom_Event*>(at);
  ev->time.frames = frame;
  ev->body.type = type;
  ev->body.size = size;
  if (body) {
    std::memcpy(at + sizeof(LV2_Atom_Event), body, size);
  } else if (type == mUris.atomObject) {
    // An empty object of the notification's type.
    reinterpret_cast<LV2_Atom_Object_Body*>(at + sizeof(LV2_Atom_Event))->otype = mUris.stateChanged;
  }
  mMidiOut->atom.size = used + padded;
  mLastOutFrame = frame;
  return true;
}

void IPlugLV2::ReadControlPorts()
{
  if (mResyncPorts.exchange(false)) {
    // After a state restore the parameters are the state's: the ports' values
    // count as seen, and only a later change of a port acts.
    for (int i = 0; i < mNumControlPorts; ++i) {
      const float* p = mControlPorts[static_cast<size_t>(i)];
      mLastPortValue[static_cast<size_t>(i)] = p ? *p : std::numeric_limits<float>::quiet_NaN();
    }
    return;
  }
  for (int i = 0; i < mNumControlPorts; ++i) {
    const float* p = mControlPorts[static_cast<size_t>(i)];
    if (!p) continue;
    const float v = *p;
    float& last = mLastPortValue[static_cast<size_t>(i)];
    if (std::isnan(v) || v == last) continue;
    last = v;
    IPlugParam* param = mPlug->GetParam(i);
    double plain = v;
    if (param->Type() != IPlugParam::kTypeDouble && param->GetStep() > 0.0)
      plain = std::floor(plain / param->GetStep() + 0.5) * param->GetStep();
    // The plug-in's lock-free path compares with its own value; the locked
    // one with the parameter's.
    if (mPlug->SetParameterOnAudioThread(i, plain, true)) continue;
    IPlugBase::MutexLock lock(mPlug->GetMutex());
    const double before = param->Value();
    param->SetClamped(plain);
    // A port that only repeats the parameter's value changes nothing.
    if (param->Value() == before) continue;
    IGraphicsLink::SetParameterFromPlug(mPlug->GetGraphics(), i, param->ToNormalized(), true);
    mPlug->OnParamChanged(i);
  }
}

void IPlugLV2::ProcessFrames(uint32_t offset, uint32_t count)
{
  IAudioChannels& channels = mPlug->AudioChannels();
  if (channels.mBlockSize < 1) return;
  while (count > 0) {
    const uint32_t n = count < static_cast<uint32_t>(channels.mBlockSize) ? count : static_cast<uint32_t>(channels.mBlockSize);
    mSegmentStart = offset;
    mSegmentTime = CurrentTime();
    mPlug->ProcessAudioBlock(channels.mInData.data(), channels.mOutData.data(), static_cast<int>(n));
    mTransport.frame += static_cast<double>(n) * mTransport.speed;
    offset += n;
    count -= n;
  }
}

void IPlugLV2::HandleEvent(const LV2_Atom_Event* ev, uint32_t frame)
{
  const LV2_Atom& body = ev->body;
  if (body.type == mUris.midiEvent) {
    if (body.size < 1 || body.size > 3) return;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&body + 1);
    if (MidiLength(bytes[0]) != body.size) return;
    mSegmentStart = frame;
    mPlug->ProcessMidiMessage(IMidiMessage(0, bytes[0], body.size > 1 ? bytes[1] : 0, body.size > 2 ? bytes[2] : 0));
  } else if ((body.type == mUris.atomObject || body.type == mUris.atomBlank) &&
             body.size >= sizeof(LV2_Atom_Object_Body)) {
    const auto* obj = reinterpret_cast<const LV2_Atom_Object*>(&ev->body);
    if (obj->body.otype == mUris.timePosition) ReadPosition(obj);
  }
}

bool IPlugLV2::ReadNumber(const LV2_Atom* atom, double& value) const
{
  const void* body = atom + 1;
  if ((atom->type == mUris.atomInt || atom->type == mUris.atomBool) && atom->size >= sizeof(int32_t)) {
    int32_t v;
    std::memcpy(&v, body, sizeof(v));
    value = v;
  } else if (atom->type == mUris.atomLong && atom->size >= sizeof(int64_t)) {
    int64_t v;
    std::memcpy(&v, body, sizeof(v));
    value = static_cast<double>(v);
  } else if (atom->type == mUris.atomFloat && atom->size >= sizeof(float)) {
    float v;
    std::memcpy(&v, body, sizeof(v));
    value = v;
  } else if (atom->type == mUris.atomDouble && atom->size >= sizeof(double)) {
    std::memcpy(&value, body, sizeof(value));
  } else {
    return false;
  }
  return std::isfinite(value);
}

void IPlugLV2::ReadPosition(const LV2_Atom_Object* obj)
{
  bool haveFrame = false, haveBar = false;
  double frame = 0.0, bar = 0.0, barBeat = 0.0;
  ForEachProperty(obj, [&](const LV2_Atom_Property_Body* prop) {
    double v = 0.0;
    if (!ReadNumber(&prop->value, v)) return;
    if (prop->key == mUris.timeFrame) {
      frame = v;
      haveFrame = true;
    } else if (prop->key == mUris.timeSpeed) {
      mTransport.speed = v;
    } else if (prop->key == mUris.timeBpm) {
      if (v >= 0.0) mTransport.bpm = v;
    } else if (prop->key == mUris.timeBeatsPerBar) {
      if (v > 0.0) mTransport.beatsPerBar = v;
    } else if (prop->key == mUris.timeBeatUnit) {
      if (v >= 1.0 && v <= 256.0) mTransport.beatUnit = static_cast<int>(v);
    } else if (prop->key == mUris.timeBar) {
      bar = v;
      haveBar = true;
    } else if (prop->key == mUris.timeBarBeat) {
      barBeat = v;
    }
  });
  if (haveFrame) {
    mTransport.frame = frame;
  } else if (haveBar && mTransport.bpm > 0.0 && mTransport.beatsPerBar > 0.0) {
    // No frame: the position in beats, at the tempo, from the start.
    const double beats = bar * mTransport.beatsPerBar + barBeat;
    mTransport.frame = beats * 60.0 / mTransport.bpm * mPlug->GetSampleRate();
  }
}

IHostTime IPlugLV2::CurrentTime() const
{
  IHostTime t;
  t.samplePos = IPlugBase::RoundedSamplePos(mTransport.frame);
  t.tempo = mTransport.bpm;
  if (mTransport.beatsPerBar > 0.0 && mTransport.beatUnit > 0) {
    const double n = std::floor(mTransport.beatsPerBar + 0.5);
    t.numerator = n < 1.0 ? 1 : (n > 256.0 ? 256 : static_cast<int>(n));
    t.denominator = mTransport.beatUnit;
  }
  t.playing = mTransport.speed > 0.0;
  return t;
}

// ---- host services ----

void IPlugLV2::GetHostTime(IHostTime& time)
{
  time = (mPlug->IsAudioThread() && mInRun) ? mSegmentTime : CurrentTime();
}

void IPlugLV2::GetTransport(double& samplePos, double& tempo, double& /*ppqPos*/, double& /*lastBarPpq*/,
                            int& numerator, int& denominator, double& /*cycleStartPpq*/, double& /*cycleEndPpq*/,
                            bool& transportPlaying, bool& cycleActive)
{
  // No musical positions or cycle: those keep the base's "none".
  IHostTime t;
  GetHostTime(t);
  samplePos = static_cast<double>(t.samplePos);
  if (t.tempo > 0.0) tempo = t.tempo;
  if (t.numerator > 0) numerator = t.numerator;
  if (t.denominator > 0) denominator = t.denominator;
  transportPlaying = t.playing;
  cycleActive = false;
}

bool IPlugLV2::SendMidiMessage(const IMidiMessage& msg)
{
  if (!mPlug->IsAudioThread() || !mInRun || mOutCapacity == 0) return false;
  const uint32_t len = MidiLength(msg.mStatus);
  if (len == 0) return false;
  // Frames inside the run and never before the last event: a sequence is in time order.
  int64_t frame = static_cast<int64_t>(mSegmentStart) + msg.mOffset;
  if (frame >= static_cast<int64_t>(mRunFrames)) frame = mRunFrames > 0 ? mRunFrames - 1 : 0;
  if (frame < mLastOutFrame) frame = mLastOutFrame;

  const uint8_t bytes[3] = {msg.mStatus, msg.mData1, msg.mData2};
  if (AppendOut(frame, mUris.midiEvent, bytes, len)) return true;
  ++mDroppedMidi;
  return false;
}

// ---- state ----

LV2_State_Status IPlugLV2::SaveState(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                                     uint32_t /*flags*/, const LV2_Feature* const* /*features*/) noexcept
{
  IPlugLV2* lv2 = FromHandle(instance);
  if (!lv2 || !store) return LV2_STATE_ERR_UNKNOWN;
  try {
    // The bytes are copied into the host's keeping before the mutex goes: a
    // later save or restore reuses the chunk.
    IPlugBase::MutexLock lock(lv2->mPlug->GetMutex());
    if (!lv2->mPlug->SerializeHostChunk(lv2->mStateChunk) || lv2->mStateChunk.Size() <= 0)
      return LV2_STATE_ERR_UNKNOWN;
    return store(handle, lv2->mUris.stateKey, lv2->mStateChunk.GetBytes(),
                 static_cast<size_t>(lv2->mStateChunk.Size()), lv2->mUris.atomChunk,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
  } catch (...) {
    return LV2_STATE_ERR_UNKNOWN;
  }
}

LV2_State_Status IPlugLV2::RestoreState(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                                        LV2_State_Handle handle, uint32_t /*flags*/,
                                        const LV2_Feature* const* /*features*/) noexcept
{
  IPlugLV2* lv2 = FromHandle(instance);
  if (!lv2 || !retrieve) return LV2_STATE_ERR_UNKNOWN;
  try {
    size_t size = 0;
    uint32_t type = 0;
    uint32_t valueFlags = 0;
    const void* data = retrieve(handle, lv2->mUris.stateKey, &size, &type, &valueFlags);
    if (!data) return LV2_STATE_ERR_NO_PROPERTY;
    if (type != lv2->mUris.atomChunk) return LV2_STATE_ERR_BAD_TYPE;
    // A larger claim is refused before a byte is read.
    if (size > static_cast<size_t>(IPlugBase::MAX_CHUNK_SIZE)) return LV2_STATE_ERR_UNKNOWN;
    int pos;
    {
      IPlugBase::MutexLock lock(lv2->mPlug->GetMutex());
      lv2->mStateChunk.Assign(static_cast<const uint8_t*>(data), static_cast<int>(size));
      int32_t version = 0;
      pos = lv2->mPlug->UnserializeHostChunk(lv2->mStateChunk, version);
      lv2->mPlug->ModifyCurrentPreset();
      if (pos >= 0) lv2->mPlug->RedrawParamControls();
    }
    // Once the restore is handed over (the mutex's release): the next run
    // takes the restore in before it looks at the ports again.
    lv2->mResyncPorts.store(true);
    return pos < 0 ? LV2_STATE_ERR_UNKNOWN : LV2_STATE_SUCCESS;
  } catch (...) {
    return LV2_STATE_ERR_UNKNOWN;
  }
}

// ---- UI ----

namespace {
// Says why the editor cannot be shown: through the host's log when it has
// one, else on the standard error.
void ReportUiFailure(const LV2_Feature* const* features, const char* text)
{
  const auto* log = static_cast<const LV2_Log_Log*>(FindFeature(features, LV2_LOG__log));
  const auto* map = static_cast<const LV2_URID_Map*>(FindFeature(features, LV2_URID__map));
  if (log && log->printf && map && map->map) {
    log->printf(log->handle, map->map(map->handle, LV2_LOG__Error), "%s\n", text);
  } else {
    std::fprintf(stderr, "%s\n", text);
  }
}

// The host's ui:scaleFactor option; 0 when it gives none.
double UiScaleFactor(const LV2_Feature* const* features)
{
  const auto* options = static_cast<const LV2_Options_Option*>(FindFeature(features, LV2_OPTIONS__options));
  const auto* map = static_cast<const LV2_URID_Map*>(FindFeature(features, LV2_URID__map));
  if (!options || !map || !map->map) return 0.0;
  const LV2_URID key = map->map(map->handle, LV2_UI__scaleFactor);
  const LV2_URID atomFloat = map->map(map->handle, LV2_ATOM__Float);
  for (int i = 0; options[i].key; ++i) {
    if (options[i].key != key || options[i].type != atomFloat || !options[i].value || options[i].size < sizeof(float)) continue;
    float f = 0.0f;
    std::memcpy(&f, options[i].value, sizeof(f));
    return f;
  }
  return 0.0;
}
} // namespace

const LV2UI_Descriptor* IPlugLV2::UIDescriptor(uint32_t index, const char* uri) noexcept
{
  static const LV2UI_Descriptor sDescriptor = {uri, UiInstantiate, UiCleanup, UiPortEvent, UiExtensionData};
  return index == 0 ? &sDescriptor : nullptr;
}

LV2UI_Handle IPlugLV2::UiInstantiate(const LV2UI_Descriptor* /*descriptor*/, const char* /*pluginUri*/,
                                     const char* /*bundlePath*/, LV2UI_Write_Function write,
                                     LV2UI_Controller controller, LV2UI_Widget* widget,
                                     const LV2_Feature* const* features) noexcept
{
  try {
    auto* lv2 = static_cast<IPlugLV2*>(const_cast<void*>(FindFeature(features, LV2_INSTANCE_ACCESS_URI)));
    if (!lv2) {
      ReportUiFailure(features, "Tavrinel: this host does not let a plug-in's editor reach the plug-in "
                                "(instance-access), so the editor cannot be shown.");
      return nullptr;
    }
    if (!widget) return nullptr;
    void* parent = const_cast<void*>(FindFeature(features, LV2_UI__parent));
    const auto* resize = static_cast<const LV2UI_Resize*>(FindFeature(features, LV2_UI__resize));
    int w = 0, h = 0;
    std::unique_ptr<UiInstance> ui(new UiInstance{lv2->mUiLife});
    {
      IPlugBase::MutexLock editorLock(lv2->mPlug->GetEditorMutex());
      if (lv2->mUi.open) {
        ReportUiFailure(features, "Tavrinel: the editor is already open.");
        return nullptr;
      }
      // An editor built for the host is built now, with the plug-in mutex free.
      lv2->mPlug->OnEditorOpening();
      void* window = nullptr;
      {
        IPlugBase::MutexLock lock(lv2->mPlug->GetMutex());
        IGraphics* graphics = lv2->mPlug->GetGraphics();
        IGraphicsLink::SetScale(graphics, UiScaleFactor(features));
        window = graphics ? IGraphicsLink::OpenWindow(graphics, parent) : nullptr;
        if (window) {
          lv2->mPlug->OnEditorOpened();
          lv2->mUi.open = true;
          lv2->mUi.write = write;
          lv2->mUi.controller = controller;
          lv2->mUi.resize = resize;
          lv2->mUi.touch = FindFeature(features, LV2_UI__touch);
          *widget = window;
          w = IGraphicsLink::Width(graphics);
          h = IGraphicsLink::Height(graphics);
        }
      }
      if (!window) {
        lv2->mPlug->OnEditorClosed(); // nothing shown, nothing kept
        ReportUiFailure(features, "Tavrinel: the editor window could not be opened.");
        return nullptr;
      }
    }
    if (resize && resize->ui_resize) resize->ui_resize(resize->handle, w, h);
    return ui.release();
  } catch (...) {
    return nullptr;
  }
}

void IPlugLV2::CloseUi()
{
  if (!mUi.open) return;
  mPlug->EndOpenEdit();
  {
    IPlugBase::MutexLock lock(mPlug->GetMutex());
    mPlug->OnEditorClosing();
    IGraphicsLink::CloseWindow(mPlug->GetGraphics());
    mUi = UiLink();
  }
  mPlug->OnEditorClosed(); // with the plug-in mutex free, as the VST wrapper frees it
}

void IPlugLV2::UiCleanup(LV2UI_Handle handle) noexcept
{
  std::unique_ptr<UiInstance> ui(static_cast<UiInstance*>(handle));
  if (!ui || !ui->mLife) return;
  try {
    std::lock_guard<std::mutex> life(ui->mLife->mMutex);
    IPlugLV2* lv2 = ui->mLife->mWrapper;
    if (!lv2) return;
    IPlugBase::MutexLock editorLock(lv2->mPlug->GetEditorMutex());
    lv2->CloseUi();
  } catch (...) {
  }
}

void IPlugLV2::UiPortEvent(LV2UI_Handle, uint32_t, uint32_t, uint32_t, const void*) noexcept
{
  // The editor reads the plug-in itself; a port change reaches it through run.
}

int IPlugLV2::UiIdle(LV2UI_Handle handle) noexcept
{
  auto* ui = static_cast<UiInstance*>(handle);
  if (!ui || !ui->mLife) return 1;
  try {
    std::lock_guard<std::mutex> life(ui->mLife->mMutex);
    IPlugLV2* lv2 = ui->mLife->mWrapper;
    if (!lv2) return 1;
    // Outside the plug-in mutex, so that a popup menu's loop inside it does not
    // hold up the audio thread; the editor mutex keeps the window alive.
    IPlugBase::MutexLock editorLock(lv2->mPlug->GetEditorMutex());
    if (!lv2->mUi.open) return 1;
    IGraphicsLink::Idle(lv2->mPlug->GetGraphics());
  } catch (...) {
  }
  return 0;
}

const void* IPlugLV2::UiExtensionData(const char* uri) noexcept
{
  static const LV2UI_Idle_Interface sIdle = {UiIdle};
  if (uri && !std::strcmp(uri, LV2_UI__idleInterface)) return &sIdle;
  return nullptr;
}

void IPlugLV2::HostBeginEdit(int paramIdx)
{
  if (!mUi.open || !mUi.touch || paramIdx < 0 || paramIdx >= mNumControlPorts) return;
  const auto* touch = static_cast<const LV2UI_Touch*>(mUi.touch);
  if (touch->touch) touch->touch(touch->handle, static_cast<uint32_t>(paramIdx), true);
}

void IPlugLV2::HostEndEdit(int paramIdx)
{
  if (!mUi.open || !mUi.touch || paramIdx < 0 || paramIdx >= mNumControlPorts) return;
  const auto* touch = static_cast<const LV2UI_Touch*>(mUi.touch);
  if (touch->touch) touch->touch(touch->handle, static_cast<uint32_t>(paramIdx), false);
}

void IPlugLV2::HostAutomate(int paramIdx, double normalizedValue)
{
  // The host keeps the port's value: it hears of the new plain value, so that
  // its next run does not put the old one back and a saved project holds it.
  if (!mUi.open || !mUi.write || paramIdx < 0 || paramIdx >= mNumControlPorts) return;
  const float plain = static_cast<float>(mPlug->GetParam(paramIdx)->PlainFromNormalized(normalizedValue));
  mUi.write(mUi.controller, static_cast<uint32_t>(paramIdx), sizeof(float), 0, &plain);
}

bool IPlugLV2::UpdateEditorSize()
{
  if (!mUi.open) return true;
  // A host that cannot be told, or says no, keeps the window's size.
  const auto* resize = static_cast<const LV2UI_Resize*>(mUi.resize);
  if (!resize || !resize->ui_resize) return false;
  IGraphics* graphics = mPlug->GetGraphics();
  return resize->ui_resize(resize->handle, IGraphicsLink::Width(graphics), IGraphicsLink::Height(graphics)) == 0;
}
