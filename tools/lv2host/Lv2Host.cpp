#include "Lv2Host.h"

#include <lilv/lilv.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/parameters/parameters.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

const char* const Lv2Host::TAVRINEL_URI = "urn:quellbrook:tavrinel";
const char* const Lv2Host::STATE_KEY_URI = "urn:quellbrook:tavrinel#state";

namespace {

constexpr size_t EVENTS_IN_BYTES = 64 * 1024;
constexpr size_t MIDI_OUT_BYTES = 1024 * 1024; // far more than any block sends

// A lilv node freed when it goes out of scope.
struct Node {
  LilvNode* node;
  explicit Node(LilvNode* n) : node(n) {}
  ~Node() { lilv_node_free(node); }
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  operator const LilvNode*() const { return node; }
};

std::string Text(const LilvNode* n) { return n && lilv_node_as_string(n) ? lilv_node_as_string(n) : std::string(); }

} // namespace

struct Lv2Host::Lilv {
  LilvWorld* world = nullptr;
  const LilvPlugin* plugin = nullptr;
  LilvInstance* instance = nullptr;
  const LV2_State_Interface* state = nullptr;
};

Lv2Host::Lv2Host()
{
  mMap.handle = this;
  mMap.map = &Lv2Host::MapCallback;
  mUnmap.handle = this;
  mUnmap.unmap = &Lv2Host::UnmapCallback;
  mMapFeature = {LV2_URID__map, &mMap};
  mUnmapFeature = {LV2_URID__unmap, &mUnmap};
  mU.atomChunk = Map(LV2_ATOM__Chunk);
  mU.atomSequence = Map(LV2_ATOM__Sequence);
  mU.atomInt = Map(LV2_ATOM__Int);
  mU.atomLong = Map(LV2_ATOM__Long);
  mU.atomFloat = Map(LV2_ATOM__Float);
  mU.atomDouble = Map(LV2_ATOM__Double);
  mU.midiEvent = Map(LV2_MIDI__MidiEvent);
  mU.timePosition = Map(LV2_TIME__Position);
  mU.timeFrame = Map(LV2_TIME__frame);
  mU.timeSpeed = Map(LV2_TIME__speed);
  mU.timeBpm = Map(LV2_TIME__beatsPerMinute);
  mU.timeBeatsPerBar = Map(LV2_TIME__beatsPerBar);
  mU.timeBeatUnit = Map(LV2_TIME__beatUnit);
  mU.timeBar = Map(LV2_TIME__bar);
  mU.timeBarBeat = Map(LV2_TIME__barBeat);
  mU.stateKey = Map(STATE_KEY_URI);
  lv2_atom_forge_init(&mForge, &mMap);
}

Lv2Host::~Lv2Host() { Close(); }

bool Lv2Host::Fail(const std::string& message)
{
  mError = message;
  return false;
}

LV2_URID Lv2Host::Map(const char* uri)
{
  if (!uri) return 0;
  auto it = mUrids.find(uri);
  if (it != mUrids.end()) return it->second;
  mUris.emplace_back(uri);
  LV2_URID id = static_cast<LV2_URID>(mUris.size());
  mUrids.emplace(uri, id);
  return id;
}

const char* Lv2Host::Unmap(LV2_URID urid) const
{
  return urid >= 1 && urid <= mUris.size() ? mUris[urid - 1].c_str() : nullptr;
}

LV2_URID Lv2Host::MapCallback(LV2_URID_Map_Handle handle, const char* uri)
{
  return static_cast<Lv2Host*>(handle)->Map(uri);
}

const char* Lv2Host::UnmapCallback(LV2_URID_Unmap_Handle handle, LV2_URID urid)
{
  return static_cast<Lv2Host*>(handle)->Unmap(urid);
}

void Lv2Host::Close()
{
  if (mLilv) {
    if (mLilv->instance) {
      if (mActive) lilv_instance_deactivate(mLilv->instance);
      lilv_instance_free(mLilv->instance);
    }
    if (mLilv->world) lilv_world_free(mLilv->world);
    mLilv.reset();
  }
  mActive = false;
  mControls.clear();
  mPortValues.clear();
  mSignals.clear();
  mSignalPort.clear();
  mEventsInPort = mMidiOutPort = UINT32_MAX;
}

bool Lv2Host::Load(const std::string& bundlePath, const std::string& uri)
{
  Close();
  mError.clear();
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::absolute(bundlePath, ec);
  if (ec || !std::filesystem::is_regular_file(folder / "manifest.ttl", ec))
    return Fail("'" + bundlePath + "' is not an LV2 bundle (no manifest.ttl in it)");
  std::string folderText = folder.string();
  if (folderText.empty() || folderText.back() != '/') folderText += '/';

  mLilv = std::make_unique<Lilv>();
  mLilv->world = lilv_world_new();
  if (!mLilv->world) return Fail("cannot set up the LV2 world");
  Node bundleUri(lilv_new_file_uri(mLilv->world, nullptr, folderText.c_str()));
  if (!bundleUri.node) return Fail("cannot make a URI of '" + folderText + "'");
  lilv_world_load_bundle(mLilv->world, bundleUri);
  Node pluginUri(lilv_new_uri(mLilv->world, uri.c_str()));
  mLilv->plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(mLilv->world), pluginUri);
  if (!mLilv->plugin) return Fail("the bundle '" + bundlePath + "' holds no plug-in <" + uri + ">");
  Node name(lilv_plugin_get_name(mLilv->plugin));
  mPluginName = Text(name);
  return ReadPorts();
}

bool Lv2Host::ReadPorts()
{
  LilvWorld* w = mLilv->world;
  const LilvPlugin* p = mLilv->plugin;
  Node input(lilv_new_uri(w, LV2_CORE__InputPort)), output(lilv_new_uri(w, LV2_CORE__OutputPort)),
    control(lilv_new_uri(w, LV2_CORE__ControlPort)), atom(lilv_new_uri(w, LV2_ATOM__AtomPort)),
    integer(lilv_new_uri(w, LV2_CORE__integer)), toggled(lilv_new_uri(w, LV2_CORE__toggled)),
    enumeration(lilv_new_uri(w, LV2_CORE__enumeration));
  uint32_t n = lilv_plugin_get_num_ports(p);
  std::vector<float> mins(n), maxs(n), defs(n);
  lilv_plugin_get_port_ranges_float(p, mins.data(), maxs.data(), defs.data());
  mPortValues.assign(n, 0.0f);
  mSignals.assign(n, std::vector<float>());
  mSignalPort.assign(n, false);
  for (uint32_t i = 0; i < n; ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(p, i);
    bool in = lilv_port_is_a(p, port, input), out = lilv_port_is_a(p, port, output);
    if (lilv_port_is_a(p, port, control)) {
      float def = std::isnan(defs[i]) ? (std::isnan(mins[i]) ? 0.0f : mins[i]) : defs[i];
      mPortValues[i] = def;
      if (!in) continue;
      Lv2ControlPort c;
      c.index = i;
      c.symbol = Text(lilv_port_get_symbol(p, port));
      Node portName(lilv_port_get_name(p, port));
      c.name = Text(portName);
      c.minimum = std::isnan(mins[i]) ? 0.0f : mins[i];
      c.maximum = std::isnan(maxs[i]) ? 1.0f : maxs[i];
      c.defaultValue = def;
      c.integer = lilv_port_has_property(p, port, integer);
      c.toggled = lilv_port_has_property(p, port, toggled);
      c.enumeration = lilv_port_has_property(p, port, enumeration);
      if (LilvScalePoints* points = lilv_port_get_scale_points(p, port)) {
        LILV_FOREACH (scale_points, it, points) {
          const LilvScalePoint* sp = lilv_scale_points_get(points, it);
          c.scalePoints.emplace_back(lilv_node_as_float(lilv_scale_point_get_value(sp)),
                                     Text(lilv_scale_point_get_label(sp)));
        }
        lilv_scale_points_free(points);
      }
      mControls.push_back(std::move(c));
    } else if (lilv_port_is_a(p, port, atom)) {
      if (in && mEventsInPort == UINT32_MAX) mEventsInPort = i;
      else if (out && mMidiOutPort == UINT32_MAX) mMidiOutPort = i;
    } else {
      mSignalPort[i] = true;
    }
  }
  if (mEventsInPort == UINT32_MAX || mMidiOutPort == UINT32_MAX)
    return Fail("the plug-in lacks an atom input or an atom output port");
  return true;
}

bool Lv2Host::Open(double sampleRate, int maxBlock)
{
  if (!mLilv || !mLilv->plugin) return Fail("no plug-in loaded");
  if (mLilv->instance) return Fail("the plug-in is already open");
  if (!(sampleRate > 0.0) || maxBlock < 1) return Fail("bad sample rate or block size");
  mSampleRate = sampleRate;
  mMaxBlock = maxBlock;
  mNominalBlock = maxBlock;
  mRateOption = static_cast<float>(sampleRate);
  mOptions = {
    {LV2_OPTIONS_INSTANCE, 0, Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), mU.atomInt, &mMaxBlock},
    {LV2_OPTIONS_INSTANCE, 0, Map(LV2_BUF_SIZE__minBlockLength), sizeof(int32_t), mU.atomInt, &mMinBlock},
    {LV2_OPTIONS_INSTANCE, 0, Map(LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t), mU.atomInt, &mNominalBlock},
    {LV2_OPTIONS_INSTANCE, 0, Map(LV2_PARAMETERS__sampleRate), sizeof(float), mU.atomFloat, &mRateOption},
    {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  mOptionsFeature = {LV2_OPTIONS__options, mOptions.data()};
  mBoundedFeature = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
  mFeatures = {&mMapFeature, &mUnmapFeature, &mOptionsFeature, &mBoundedFeature, nullptr};

  // A feature the plug-in cannot do without and this host lacks: say which.
  if (LilvNodes* required = lilv_plugin_get_required_features(mLilv->plugin)) {
    std::string missing;
    LILV_FOREACH (nodes, it, required) {
      std::string uri = Text(lilv_nodes_get(required, it));
      bool have = false;
      for (const LV2_Feature* f : mFeatures) have = have || (f && uri == f->URI);
      if (!have) missing += (missing.empty() ? "" : ", ") + uri;
    }
    lilv_nodes_free(required);
    if (!missing.empty()) return Fail("the plug-in requires features this host lacks: " + missing);
  }

  mLilv->instance = lilv_plugin_instantiate(mLilv->plugin, sampleRate, mFeatures.data());
  if (!mLilv->instance) return Fail("the plug-in could not be instantiated");
  mLilv->state =
    static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(mLilv->instance, LV2_STATE__interface));

  mEventsIn.assign(EVENTS_IN_BYTES / sizeof(uint64_t), 0);
  mMidiOut.assign(MIDI_OUT_BYTES / sizeof(uint64_t), 0);
  for (uint32_t i = 0; i < mPortValues.size(); ++i) {
    void* buffer;
    if (i == mEventsInPort) buffer = mEventsIn.data();
    else if (i == mMidiOutPort) buffer = mMidiOut.data();
    else if (mSignalPort[i]) {
      // Audio or CV ports (none expected) get a silent block.
      mSignals[i].assign(static_cast<size_t>(maxBlock), 0.0f);
      buffer = mSignals[i].data();
    } else {
      buffer = &mPortValues[i];
    }
    lilv_instance_connect_port(mLilv->instance, i, buffer);
  }
  lilv_instance_activate(mLilv->instance);
  mActive = true;
  mBlocks = 0;
  mEvents.clear();
  mEvents.reserve(4096);
  mOtherEvents = 0;
  return true;
}

int Lv2Host::FindControl(const std::string& name) const
{
  for (size_t i = 0; i < mControls.size(); ++i)
    if (mControls[i].name == name) return static_cast<int>(i);
  for (size_t i = 0; i < mControls.size(); ++i)
    if (mControls[i].symbol == name) return static_cast<int>(i);
  return -1;
}

float Lv2Host::ControlValue(int control) const
{
  if (control < 0 || control >= static_cast<int>(mControls.size())) return 0.0f;
  return mPortValues[mControls[static_cast<size_t>(control)].index];
}

bool Lv2Host::SetControl(int control, float plain)
{
  if (control < 0 || control >= static_cast<int>(mControls.size())) return false;
  mPortValues[mControls[static_cast<size_t>(control)].index] = plain;
  return true;
}

bool Lv2Host::SetNormalised(int control, double x)
{
  if (control < 0 || control >= static_cast<int>(mControls.size())) return false;
  const Lv2ControlPort& c = mControls[static_cast<size_t>(control)];
  if (!(x >= 0.0)) x = 0.0;
  if (x > 1.0) x = 1.0;
  double lo = c.minimum, hi = c.maximum;
  double v = lo + x * (hi - lo);
  if (c.integer || c.toggled || c.enumeration) v = std::floor(v + 0.5);
  if (v > hi) v = hi;
  return SetControl(control, static_cast<float>(v));
}

std::string Lv2Host::ControlDisplay(int control) const
{
  if (control < 0 || control >= static_cast<int>(mControls.size())) return std::string();
  float v = ControlValue(control);
  for (const auto& point : mControls[static_cast<size_t>(control)].scalePoints)
    if (point.first == v) return point.second;
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
  return text;
}

bool Lv2Host::SaveState(std::vector<uint8_t>& out)
{
  out.clear();
  if (!mLilv || !mLilv->instance) return Fail("the plug-in is not open");
  if (!mLilv->state || !mLilv->state->save) return Fail("the plug-in has no state interface");
  mStored.clear();
  mStoredType = 0;
  mStoredOther = false;
  mHaveStored = false;
  LV2_State_Store_Function store = [](LV2_State_Handle handle, uint32_t key, const void* value, size_t size,
                                      uint32_t type, uint32_t) -> LV2_State_Status {
    Lv2Host* host = static_cast<Lv2Host*>(handle);
    if (key != host->mU.stateKey) {
      host->mStoredOther = true;
      return LV2_STATE_SUCCESS;
    }
    if (!value && size > 0) return LV2_STATE_ERR_UNKNOWN;
    const uint8_t* bytes = static_cast<const uint8_t*>(value);
    host->mStored.assign(bytes, bytes + size);
    host->mStoredType = type;
    host->mHaveStored = true;
    return LV2_STATE_SUCCESS;
  };
  LV2_State_Status status = mLilv->state->save(lilv_instance_get_handle(mLilv->instance), store, this,
                                               LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, mFeatures.data());
  if (status != LV2_STATE_SUCCESS) return Fail("the plug-in's state save failed (status " + std::to_string(status) + ")");
  if (!mHaveStored) return Fail(std::string("the plug-in stored no <") + STATE_KEY_URI + ">");
  if (mStoredType != mU.atomChunk)
    return Fail(std::string("the plug-in stored <") + STATE_KEY_URI + "> as <" +
                (Unmap(mStoredType) ? Unmap(mStoredType) : "?") + ">, not an atom:Chunk");
  out = mStored;
  return true;
}

bool Lv2Host::RestoreState(const std::vector<uint8_t>& data)
{
  if (!mLilv || !mLilv->instance) return Fail("the plug-in is not open");
  if (!mLilv->state || !mLilv->state->restore) return Fail("the plug-in has no state interface");
  if (data.empty()) return Fail("no state to restore");
  // The plug-in gets a copy it may not keep beyond the call, like a host's project data.
  std::vector<uint8_t> copy(data);
  mRestoring = &copy;
  LV2_State_Retrieve_Function retrieve = [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                                            uint32_t* flags) -> const void* {
    Lv2Host* host = static_cast<Lv2Host*>(handle);
    if (key != host->mU.stateKey || !host->mRestoring) return nullptr;
    if (size) *size = host->mRestoring->size();
    if (type) *type = host->mU.atomChunk;
    if (flags) *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return host->mRestoring->data();
  };
  LV2_State_Status status = mLilv->state->restore(lilv_instance_get_handle(mLilv->instance), retrieve, this,
                                                  LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, mFeatures.data());
  mRestoring = nullptr;
  if (status != LV2_STATE_SUCCESS)
    return Fail("the plug-in refused the state (status " + std::to_string(status) + ")");
  return true;
}

void Lv2Host::ForgePosition(const Lv2Transport& t)
{
  // Musical position from the sample position, as a VST host computes its ppqPos.
  double quarters = static_cast<double>(t.frame) / mSampleRate * t.tempo / 60.0;
  double beats = quarters * t.sigDenominator / 4.0;
  double bar = std::floor(beats / t.sigNumerator + 1e-9);
  double barBeat = beats - bar * t.sigNumerator;
  if (barBeat < 0.0) barBeat = 0.0;

  lv2_atom_forge_frame_time(&mForge, 0);
  LV2_Atom_Forge_Frame object;
  lv2_atom_forge_object(&mForge, &object, 0, mU.timePosition);
  lv2_atom_forge_key(&mForge, mU.timeFrame);
  lv2_atom_forge_long(&mForge, t.frame);
  lv2_atom_forge_key(&mForge, mU.timeSpeed);
  lv2_atom_forge_float(&mForge, t.playing ? 1.0f : 0.0f);
  // The tempo as a double: a float would round a tempo such as 97.3, and the pulse
  // grid follows the tempo to the last bit.
  lv2_atom_forge_key(&mForge, mU.timeBpm);
  lv2_atom_forge_double(&mForge, t.tempo);
  lv2_atom_forge_key(&mForge, mU.timeBeatsPerBar);
  lv2_atom_forge_float(&mForge, static_cast<float>(t.sigNumerator));
  lv2_atom_forge_key(&mForge, mU.timeBeatUnit);
  lv2_atom_forge_int(&mForge, t.sigDenominator);
  lv2_atom_forge_key(&mForge, mU.timeBar);
  lv2_atom_forge_long(&mForge, static_cast<int64_t>(bar));
  lv2_atom_forge_key(&mForge, mU.timeBarBeat);
  lv2_atom_forge_float(&mForge, static_cast<float>(barBeat));
  lv2_atom_forge_pop(&mForge, &object);
}

bool Lv2Host::Process(const Lv2Transport& transport, int nFrames)
{
  if (!mActive) return Fail("the plug-in is not open");
  if (nFrames < 1 || nFrames > mMaxBlock)
    return Fail("block of " + std::to_string(nFrames) + " frames outside 1.." + std::to_string(mMaxBlock));

  lv2_atom_forge_set_buffer(&mForge, reinterpret_cast<uint8_t*>(mEventsIn.data()), EVENTS_IN_BYTES);
  LV2_Atom_Forge_Frame sequence;
  lv2_atom_forge_sequence_head(&mForge, &sequence, 0);
  ForgePosition(transport);
  lv2_atom_forge_pop(&mForge, &sequence);

  // The output starts as an empty chunk of the buffer's capacity, re-set every run.
  LV2_Atom* out = reinterpret_cast<LV2_Atom*>(mMidiOut.data());
  out->type = mU.atomChunk;
  out->size = static_cast<uint32_t>(MIDI_OUT_BYTES - sizeof(LV2_Atom));

  lilv_instance_run(mLilv->instance, static_cast<uint32_t>(nFrames));
  bool ok = ReadOutput(transport.frame);
  ++mBlocks;
  return ok;
}

bool Lv2Host::Settle()
{
  if (!mActive) return Fail("the plug-in is not open");
  lv2_atom_forge_set_buffer(&mForge, reinterpret_cast<uint8_t*>(mEventsIn.data()), EVENTS_IN_BYTES);
  LV2_Atom_Forge_Frame sequence;
  lv2_atom_forge_sequence_head(&mForge, &sequence, 0);
  lv2_atom_forge_pop(&mForge, &sequence);
  LV2_Atom* out = reinterpret_cast<LV2_Atom*>(mMidiOut.data());
  out->type = mU.atomChunk;
  out->size = static_cast<uint32_t>(MIDI_OUT_BYTES - sizeof(LV2_Atom));
  lilv_instance_run(mLilv->instance, 0);
  return ReadOutput(0);
}

bool Lv2Host::ReadOutput(int64_t blockStart)
{
  const LV2_Atom* out = reinterpret_cast<const LV2_Atom*>(mMidiOut.data());
  if (out->type != mU.atomSequence)
    return Fail("run " + std::to_string(mBlocks) + ": the plug-in did not write an atom:Sequence to its output");
  uint32_t size = out->size;
  if (size > MIDI_OUT_BYTES - sizeof(LV2_Atom) || size < sizeof(LV2_Atom_Sequence_Body))
    return Fail("run " + std::to_string(mBlocks) + ": output sequence of " + std::to_string(size) +
                " bytes does not fit its buffer");
  const uint8_t* body = reinterpret_cast<const uint8_t*>(out + 1);
  uint32_t at = sizeof(LV2_Atom_Sequence_Body);
  while (at < size) {
    if (size - at < sizeof(LV2_Atom_Event))
      return Fail("run " + std::to_string(mBlocks) + ": output sequence ends inside an event");
    const LV2_Atom_Event* ev = reinterpret_cast<const LV2_Atom_Event*>(body + at);
    uint64_t whole = sizeof(LV2_Atom_Event) + static_cast<uint64_t>(ev->body.size);
    if (whole > size - at)
      return Fail("run " + std::to_string(mBlocks) + ": an output event runs past the sequence");
    if (ev->body.type == mU.midiEvent) {
      Lv2HostEvent e;
      e.frames = ev->time.frames;
      e.position = blockStart + ev->time.frames;
      e.block = mBlocks;
      e.size = ev->body.size;
      const uint8_t* bytes = reinterpret_cast<const uint8_t*>(ev + 1);
      for (uint32_t b = 0; b < 4 && b < e.size; ++b) e.bytes[b] = bytes[b];
      mEvents.push_back(e);
    } else {
      ++mOtherEvents;
    }
    at += static_cast<uint32_t>(lv2_atom_pad_size(static_cast<uint32_t>(whole)));
  }
  return true;
}
