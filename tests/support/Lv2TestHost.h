#pragma once
// A small LV2 host for the LV2 wrapper's tests: maps URIs, instantiates a
// descriptor with urid:map and options, owns the port buffers, forges the
// input sequence (time:Position objects, raw MIDI) and reads the output
// sequence back. The output buffer ends in guard bytes that a run must leave.
//
// Thread: one host thread per object, except that Run may be called from an
// audio thread while another thread saves state (as hosts do).

#include "AllocCounter.h"
#include "LockRecorder.h"

#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class Lv2UridMap {
public:
  Lv2UridMap()
  {
    mMap.handle = this;
    mMap.map = [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<Lv2UridMap*>(h)->Map(uri); };
  }
  LV2_URID Map(const char* uri)
  {
    std::lock_guard<std::mutex> lock(mMutex);
    auto it = mIds.find(uri);
    if (it != mIds.end()) return it->second;
    const LV2_URID id = static_cast<LV2_URID>(mIds.size() + 1);
    mIds.emplace(uri, id);
    return id;
  }
  LV2_URID_Map* Feature() { return &mMap; }

private:
  std::mutex mMutex;
  std::map<std::string, LV2_URID> mIds;
  LV2_URID_Map mMap;
};

struct Lv2Event {
  int64_t frame;
  uint32_t size;
  uint8_t bytes[3];
};

class Lv2TestHost {
public:
  static constexpr uint32_t GUARD_BYTES = 64;
  static constexpr uint8_t GUARD = 0xA5;

  // Ports: nControls control inputs, then events in, then MIDI out.
  Lv2TestHost(const LV2_Descriptor* desc, double rate, int32_t maxBlock, int nControls, bool withOptions = true)
    : mDesc(desc), mControls(static_cast<size_t>(nControls), 0.0f)
  {
    mMaxBlock = maxBlock;
    mOptions[0] = {LV2_OPTIONS_INSTANCE, 0, mUrids.Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                   mUrids.Map(LV2_ATOM__Int), &mMaxBlock};
    mOptions[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    mMapFeature = {LV2_URID__map, mUrids.Feature()};
    mOptionsFeature = {LV2_OPTIONS__options, mOptions};
    mFeatures[0] = &mMapFeature;
    mFeatures[1] = withOptions ? &mOptionsFeature : nullptr;
    mFeatures[2] = nullptr;
    lv2_atom_forge_init(&mForge, mUrids.Feature());
    mMidiEvent = mUrids.Map(LV2_MIDI__MidiEvent);
    mChunk = mUrids.Map(LV2_ATOM__Chunk);
    mIn.assign(1 << 14, 0);
    mOut.assign((1 << 17) / 8, 0);
    mHandle = desc->instantiate(desc, rate, "/nonexistent/", mFeatures);
    if (!mHandle) return;
    for (int i = 0; i < nControls; ++i) desc->connect_port(mHandle, static_cast<uint32_t>(i), &mControls[static_cast<size_t>(i)]);
    desc->connect_port(mHandle, static_cast<uint32_t>(nControls), mIn.data());
    desc->connect_port(mHandle, static_cast<uint32_t>(nControls) + 1, mOut.data());
    BeginInput();
    desc->activate(mHandle);
  }
  ~Lv2TestHost()
  {
    if (!mHandle) return;
    mDesc->deactivate(mHandle);
    mDesc->cleanup(mHandle);
  }
  Lv2TestHost(const Lv2TestHost&) = delete;
  Lv2TestHost& operator=(const Lv2TestHost&) = delete;

  LV2_Handle Handle() const { return mHandle; }
  // Heap allocations the plug-in made in the last run.
  // What the last run allocated or freed, and the locks and waits it took
  // (always 0 where lockrecord::Available() is false).
  std::size_t RunAllocations() const { return mRunAllocations; }
  // state:StateChanged notifications the runs sent so far.
  int StateChanges() const { return mStateChanges; }
  std::size_t RunWaits() const { return mRunWaits; }
  float& Control(int i) { return mControls[static_cast<size_t>(i)]; }
  Lv2UridMap& Urids() { return mUrids; }
  const LV2_Feature* const* Features() const { return mFeatures; }

  // ---- the next run's input sequence ----
  void BeginInput()
  {
    lv2_atom_forge_set_buffer(&mForge, reinterpret_cast<uint8_t*>(mIn.data()), mIn.size() * sizeof(uint64_t));
    lv2_atom_forge_sequence_head(&mForge, &mSeqFrame, 0);
  }
  void AddPosition(int64_t at, int64_t frame, double speed, double bpm, double beatsPerBar, int beatUnit)
  {
    lv2_atom_forge_frame_time(&mForge, at);
    LV2_Atom_Forge_Frame obj;
    lv2_atom_forge_object(&mForge, &obj, 0, mUrids.Map(LV2_TIME__Position));
    lv2_atom_forge_key(&mForge, mUrids.Map(LV2_TIME__frame));
    lv2_atom_forge_long(&mForge, frame);
    lv2_atom_forge_key(&mForge, mUrids.Map(LV2_TIME__speed));
    lv2_atom_forge_float(&mForge, static_cast<float>(speed));
    lv2_atom_forge_key(&mForge, mUrids.Map(LV2_TIME__beatsPerMinute));
    lv2_atom_forge_float(&mForge, static_cast<float>(bpm));
    lv2_atom_forge_key(&mForge, mUrids.Map(LV2_TIME__beatsPerBar));
    lv2_atom_forge_float(&mForge, static_cast<float>(beatsPerBar));
    lv2_atom_forge_key(&mForge, mUrids.Map(LV2_TIME__beatUnit));
    lv2_atom_forge_int(&mForge, beatUnit);
    lv2_atom_forge_pop(&mForge, &obj);
  }
  void AddMidi(int64_t at, const uint8_t* bytes, uint32_t size)
  {
    lv2_atom_forge_frame_time(&mForge, at);
    lv2_atom_forge_atom(&mForge, size, mMidiEvent);
    lv2_atom_forge_write(&mForge, bytes, size);
  }
  // Any bytes as an event body of any type (fault injection).
  void AddRaw(int64_t at, uint32_t type, const uint8_t* bytes, uint32_t size)
  {
    lv2_atom_forge_frame_time(&mForge, at);
    lv2_atom_forge_atom(&mForge, size, type);
    lv2_atom_forge_write(&mForge, bytes, size);
  }

  // Runs n frames with `capacity` bytes of output room; the guard bytes after
  // them must survive. Returns the output events; a malformed sequence makes
  // `valid` false.
  std::vector<Lv2Event> Run(uint32_t n, uint32_t capacity, bool* valid = nullptr, bool* guardKept = nullptr)
  {
    lv2_atom_forge_pop(&mForge, &mSeqFrame);
    auto* bytes = reinterpret_cast<uint8_t*>(mOut.data());
    const uint32_t room = static_cast<uint32_t>(mOut.size() * sizeof(uint64_t)) - GUARD_BYTES - sizeof(LV2_Atom);
    if (capacity > room) capacity = room;
    std::memset(bytes, GUARD, sizeof(LV2_Atom) + capacity + GUARD_BYTES);
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(bytes);
    seq->atom.type = 0;
    seq->atom.size = capacity;
    {
      lockrecord::Scope waits;
      alloccount::Scope scope;
      mDesc->run(mHandle, n);
      mRunAllocations = scope.Allocations() + scope.Frees();
      mRunWaits = waits.Count();
    }
    BeginInput();

    bool ok = true;
    bool kept = true;
    for (uint32_t i = 0; i < GUARD_BYTES; ++i) kept = kept && bytes[sizeof(LV2_Atom) + capacity + i] == GUARD;
    std::vector<Lv2Event> events;
    if (capacity >= sizeof(LV2_Atom_Sequence_Body)) {
      ok = seq->atom.type == mUrids.Map(LV2_ATOM__Sequence) && seq->atom.size <= capacity &&
           seq->atom.size >= sizeof(LV2_Atom_Sequence_Body);
      if (ok) {
        int64_t last = 0;
        LV2_ATOM_SEQUENCE_FOREACH (seq, ev) {
          Lv2Event e{ev->time.frames, ev->body.size, {0, 0, 0}};
          if (ev->body.type == mUrids.Map(LV2_ATOM__Object) && ev->body.size >= sizeof(LV2_Atom_Object_Body) &&
              reinterpret_cast<const LV2_Atom_Object*>(&ev->body)->body.otype == mUrids.Map(LV2_STATE__StateChanged)) {
            ++mStateChanges;
            continue;
          }
          if (ev->body.type != mMidiEvent || e.size < 1 || e.size > 3 || e.frame < last || e.frame < 0 ||
              e.frame >= static_cast<int64_t>(n)) {
            ok = false;
            break;
          }
          std::memcpy(e.bytes, LV2_ATOM_BODY_CONST(&ev->body), e.size);
          last = e.frame;
          events.push_back(e);
        }
      }
    }
    if (valid) *valid = ok;
    if (guardKept) *guardKept = kept;
    return events;
  }

  // ---- state through the plug-in's interface ----
  const LV2_State_Interface* State() const
  {
    return static_cast<const LV2_State_Interface*>(mDesc->extension_data(LV2_STATE__interface));
  }
  LV2_State_Status Save(std::vector<uint8_t>& bytes)
  {
    bytes.clear();
    return State()->save(mHandle, &StoreInto, &bytes, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, mFeatures);
  }
  // Hands the plug-in `bytes` as the property's value, typed `type` (0: atom:Chunk).
  LV2_State_Status Restore(const std::vector<uint8_t>& bytes, uint32_t type = 0, size_t claimedSize = 0)
  {
    Retrieval r{&bytes, type ? type : mChunk, claimedSize ? claimedSize : bytes.size()};
    return State()->restore(mHandle, &RetrieveFrom, &r, 0, mFeatures);
  }

private:
  struct Retrieval {
    const std::vector<uint8_t>* bytes;
    uint32_t type;
    size_t size;
  };
  static LV2_State_Status StoreInto(LV2_State_Handle h, uint32_t, const void* value, size_t size, uint32_t, uint32_t)
  {
    auto* out = static_cast<std::vector<uint8_t>*>(h);
    const auto* p = static_cast<const uint8_t*>(value);
    out->assign(p, p + size);
    return LV2_STATE_SUCCESS;
  }
  static const void* RetrieveFrom(LV2_State_Handle h, uint32_t, size_t* size, uint32_t* type, uint32_t* flags)
  {
    auto* r = static_cast<Retrieval*>(h);
    *size = r->size;
    *type = r->type;
    *flags = LV2_STATE_IS_POD;
    return r->bytes->data();
  }

  const LV2_Descriptor* mDesc;
  Lv2UridMap mUrids;
  int32_t mMaxBlock = 0;
  LV2_Options_Option mOptions[2];
  LV2_Feature mMapFeature;
  LV2_Feature mOptionsFeature;
  const LV2_Feature* mFeatures[3];
  LV2_Atom_Forge mForge;
  LV2_Atom_Forge_Frame mSeqFrame;
  LV2_URID mMidiEvent = 0;
  LV2_URID mChunk = 0;
  std::vector<float> mControls;
  std::vector<uint64_t> mIn;
  std::vector<uint64_t> mOut;
  LV2_Handle mHandle = nullptr;
  int mStateChanges = 0;
  std::size_t mRunAllocations = 0;
  std::size_t mRunWaits = 0;
};
