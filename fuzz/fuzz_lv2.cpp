// Feeds arbitrary bytes to the LV2 plug-in: as the body of its input event
// sequence (MIDI, positions, objects of any shape and size claims), or as the
// value of its state property, then runs a block. No byte sequence may crash
// the plug-in, and its output must stay a time-ordered sequence of short MIDI
// messages inside its room.
#include "IPlugLV2.h"
#include "Tavrinel.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/state/state.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr uint32_t FRAMES = 256;
constexpr uint32_t OUT_ROOM = 1 << 14;

std::map<std::string, LV2_URID>& Ids()
{
  static std::map<std::string, LV2_URID> ids;
  return ids;
}

LV2_URID Map(LV2_URID_Map_Handle, const char* uri)
{
  auto& ids = Ids();
  auto it = ids.find(uri);
  if (it != ids.end()) return it->second;
  return ids[uri] = static_cast<LV2_URID>(ids.size() + 1);
}

struct Host {
  LV2_URID_Map map = {nullptr, Map};
  LV2_Feature mapFeature = {LV2_URID__map, &map};
  const LV2_Feature* features[2] = {&mapFeature, nullptr};
  const LV2_Descriptor* desc = IPlugLV2::Descriptor<Tavrinel>(0, Tavrinel::PLUG_LV2_URI);
  LV2_Handle handle = nullptr;
  std::vector<float> controls;
  std::vector<uint64_t> in = std::vector<uint64_t>(1 << 13);
  std::vector<uint64_t> out = std::vector<uint64_t>((OUT_ROOM + 64) / 8);

  Host()
  {
    handle = desc->instantiate(desc, 44100.0, "/", features);
    if (!handle) std::abort();
    IPlugLV2* plug = IPlugLV2::FromHandle(handle);
    for (int i = 0; i < plug->NControlPorts(); ++i)
      controls.push_back(static_cast<float>(plug->Plug().GetParam(i)->Value()));
    for (int i = 0; i < plug->NControlPorts(); ++i) desc->connect_port(handle, static_cast<uint32_t>(i), &controls[i]);
    desc->connect_port(handle, static_cast<uint32_t>(plug->EventsInPort()), in.data());
    desc->connect_port(handle, static_cast<uint32_t>(plug->MidiOutPort()), out.data());
    desc->activate(handle);
  }
};

struct Retrieval {
  const uint8_t* data;
  size_t size;
  uint32_t type;
};

const void* Retrieve(LV2_State_Handle h, uint32_t, size_t* size, uint32_t* type, uint32_t* flags)
{
  auto* r = static_cast<Retrieval*>(h);
  *size = r->size;
  *type = r->type;
  *flags = LV2_STATE_IS_POD;
  return r->data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t size)
{
  static Host host;
  if (size < 1) return 0;
  const bool asState = pData[0] & 1;
  ++pData;
  --size;

  auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(host.in.data());
  seq->atom.type = Map(nullptr, LV2_ATOM__Sequence);
  seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
  seq->body.unit = 0;
  seq->body.pad = 0;
  if (asState) {
    const auto* iface = static_cast<const LV2_State_Interface*>(host.desc->extension_data(LV2_STATE__interface));
    Retrieval r{pData, size, Map(nullptr, LV2_ATOM__Chunk)};
    iface->restore(host.handle, Retrieve, &r, 0, host.features);
  } else {
    // The bytes are the sequence's events, exactly as long as the host says.
    const size_t room = host.in.size() * sizeof(uint64_t) - sizeof(LV2_Atom_Sequence);
    const size_t n = size < room ? size : room;
    std::memcpy(&seq->body + 1, pData, n);
    seq->atom.size = static_cast<uint32_t>(sizeof(LV2_Atom_Sequence_Body) + n);
  }

  auto* out = reinterpret_cast<LV2_Atom_Sequence*>(host.out.data());
  out->atom.type = 0;
  out->atom.size = OUT_ROOM - sizeof(LV2_Atom);
  host.desc->run(host.handle, FRAMES);
  if (out->atom.size > OUT_ROOM - sizeof(LV2_Atom)) std::abort();
  int64_t last = 0;
  LV2_ATOM_SEQUENCE_FOREACH (out, ev) {
    if (ev->time.frames < last || ev->time.frames >= FRAMES || ev->body.size < 1 || ev->body.size > 3) std::abort();
    last = ev->time.frames;
  }
  return 0;
}
