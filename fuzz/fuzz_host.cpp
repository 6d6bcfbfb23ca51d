// A hostile host: the input is a script of host calls in any order, with any
// values: parameters (any index, NaN, infinities, values outside 0..1),
// dispatcher opcodes with any index and value (well-formed pointers only,
// since a host's bad pointer is not ours to survive), chunks, programs, MIDI
// input, sample rates, block sizes, mains off and on, and process calls of any
// length under a transport that reports any tempo, position and signature. No
// script may trip an assertion, a sanitizer or a crash, and every MIDI event
// the plug-in sends from a process call lies inside it (or at its very end).
//
// The editor's window is not opened: there is no display here.
#include "IPlugVST.h"
#include "Tavrinel.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool ok)
{
  if (!ok) std::abort();
}

struct Host {
  VstTimeInfo mTime = {};
  bool mGiveTime = true;
  bool mInProcess = false;  // incoming MIDI passed on outside a block keeps the host's offset
  int mFrames = 0;
};
Host gHost;

intptr_t TAV_VSTCALL HostileHost(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float)
{
  switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterGetTime: return gHost.mGiveTime ? reinterpret_cast<intptr_t>(&gHost.mTime) : 0;
    case audioMasterProcessEvents: {
      const VstEvents* pEvents = static_cast<const VstEvents*>(ptr);
      Check(pEvents != nullptr);
      for (int i = 0; i < pEvents->numEvents; ++i) {
        const VstEvent* e = pEvents->events[i];
        Check(e != nullptr);
        if (e->type == kVstMidiType && gHost.mInProcess)
          Check(e->deltaFrames >= 0 && e->deltaFrames <= gHost.mFrames);
      }
      return 1;
    }
    default: return 0;
  }
}

AEffect* Plugin()
{
  static AEffect* e = IPlugVST::Entry<Tavrinel>(&HostileHost);
  return e;
}

// Reads the script; past its end every value is 0.
struct Script {
  const uint8_t* mp;
  std::size_t mLeft;
  bool more() const { return mLeft > 0; }
  uint8_t byte()
  {
    if (!mLeft) return 0;
    --mLeft;
    return *mp++;
  }
  template <class T>
  T raw()
  {
    T v{};
    uint8_t b[sizeof(T)] = {};
    for (uint8_t& x : b) x = byte();
    std::memcpy(&v, b, sizeof v);
    return v;
  }
  // Small numbers mostly, any number sometimes.
  int32_t index()
  {
    const uint8_t k = byte();
    return (k & 0x80) ? raw<int32_t>() : static_cast<int32_t>(k) - 8;
  }
  float value()
  {
    switch (byte() % 6) {
      case 0: return raw<float>();  // anything, NaN and infinities included
      case 1: return -1.0f;
      case 2: return 2.0f;
      default: return byte() / 255.0f;
    }
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t size)
{
  AEffect* e = Plugin();
  Script in{pData, size};
  VstTimeInfo& t = gHost.mTime;
  t = VstTimeInfo();
  t.sampleRate = 44100.0;
  t.tempo = 120.0;
  t.timeSigNumerator = 4;
  t.timeSigDenominator = 4;
  t.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid;
  gHost.mGiveTime = true;

  alignas(16) static uint8_t buffer[4096];
  static float audio[4][4096];
  static double audio64[4][4096];
  for (int calls = 0; calls < 64 && in.more(); ++calls) {
    std::memset(buffer, 0, sizeof buffer);
    switch (in.byte() % 8) {
      case 0: e->setParameter(e, in.index(), in.value()); break;
      case 1: {
        const float v = e->getParameter(e, in.index());
        Check(v >= 0.0f && v <= 1.0f);
        break;
      }
      case 2: {
        // Any opcode the host may send outside the editor's window.
        int32_t opcode = in.byte() % 72;
        if (opcode == effClose || opcode == effEditOpen || opcode == effEditClose || opcode == effEditIdle)
          opcode = effIdle;
        const int32_t index = in.index();
        intptr_t value = in.index();
        void* ptr = (in.byte() & 7) ? buffer : nullptr;
        const float opt = in.value();
        if (opcode == effSetChunk) {
          const std::size_t n = in.byte() % 8 == 0 ? in.mLeft : (in.mLeft < 64 ? in.mLeft : in.byte() * 32u);
          const std::size_t take = n < in.mLeft ? n : in.mLeft;
          const std::size_t fit = take < sizeof buffer ? take : sizeof buffer;
          std::memcpy(buffer, in.mp, fit);
          in.mp += take;
          in.mLeft -= take;
          value = static_cast<intptr_t>(fit);
        } else if (opcode == effProcessEvents && ptr) {
          static VstMidiEvent events[8];
          struct {
            int32_t numEvents;
            intptr_t reserved;
            VstEvent* events[8];
          } list = {};
          list.numEvents = in.byte() % 9;
          for (int i = 0; i < list.numEvents; ++i) {
            events[i] = VstMidiEvent();
            events[i].type = (in.byte() & 15) ? kVstMidiType : kVstSysExType;
            events[i].byteSize = sizeof(VstMidiEvent);
            events[i].deltaFrames = in.index();
            for (int k = 0; k < 3; ++k) events[i].midiData[k] = static_cast<char>(in.byte());
            list.events[i] = reinterpret_cast<VstEvent*>(&events[i]);
          }
          std::memcpy(buffer, &list, sizeof list);
        } else if (opcode == effSetSpeakerArrangement || opcode == effGetSpeakerArrangement) {
          value = reinterpret_cast<intptr_t>(buffer + 2048);
        } else if (ptr) {
          // Text the host hands in (a program name, a can-do string): bounded.
          const int n = in.byte() % 64;
          for (int i = 0; i < n; ++i) buffer[i] = in.byte();
        }
        e->dispatcher(e, opcode, index, value, ptr, opt);
        break;
      }
      case 3:
      case 4: {
        // A transport the host may report, sane or not.
        const uint8_t what = in.byte();
        if (what & 1) t.tempo = (what & 2) ? in.raw<double>() : 1.0 + in.byte() * 4.0;
        if (what & 4) t.samplePos = (what & 8) ? in.raw<double>() : in.raw<uint16_t>() * 64.0;
        if (what & 16) {
          t.timeSigNumerator = in.index();
          t.timeSigDenominator = in.index();
        }
        if (what & 32) t.flags = in.raw<int32_t>();
        gHost.mGiveTime = !(what & 64);
        gHost.mFrames = (what & 128) ? in.raw<uint16_t>() % 4097 : in.byte() * 4;
        float* out[4] = {audio[0], audio[1], audio[2], audio[3]};
        double* out64[4] = {audio64[0], audio64[1], audio64[2], audio64[3]};
        gHost.mInProcess = true;
        if (in.byte() & 1)
          e->processReplacing(e, out, out, gHost.mFrames);
        else
          e->processDoubleReplacing(e, out64, out64, gHost.mFrames);
        gHost.mInProcess = false;
        if ((t.flags & kVstTransportPlaying) && t.samplePos < 1e9) t.samplePos += gHost.mFrames;
        break;
      }
      case 5: e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, in.value() * 200000.0f); break;
      case 6: e->dispatcher(e, effSetBlockSize, 0, in.index(), nullptr, 0.0f); break;
      default: {
        e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
        e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
        e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
        break;
      }
    }
  }
  return 0;
}
