// Restores arbitrary bytes as a host's saved state and plays the restored
// pattern for a few hundred blocks under a moving transport: position jumps
// back and forth, tempo from 1 to 999 bpm, time signatures, sample rates,
// block lengths, stops and starts. The first 8 bytes seed the transport's
// moves, the rest is the chunk. No input may crash, trip an assertion or a
// sanitizer, and every MIDI event must be a note-on or note-off with keys,
// velocities and channels in range at an offset inside its block, no note-on
// of velocity 0; a stopped block leaves no note sounding.
#include "IPlugVST.h"
#include "Tavrinel.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int MAX_FRAMES = 512;
constexpr int NUM_BLOCKS = 300;

void Check(bool ok)
{
  if (!ok) std::abort();
}

struct Host {
  VstTimeInfo mTime = {};
  int mFrames = 0;
  uint16_t mSounding[128] = {};  // channel bits per key
};
Host gHost;

intptr_t TAV_VSTCALL FuzzHost(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float)
{
  switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterGetTime: return reinterpret_cast<intptr_t>(&gHost.mTime);
    case audioMasterProcessEvents: {
      const VstEvents* pEvents = static_cast<const VstEvents*>(ptr);
      Check(pEvents != nullptr);
      for (int i = 0; i < pEvents->numEvents; ++i) {
        const VstEvent* e = pEvents->events[i];
        if (e->type != kVstMidiType) continue;
        const VstMidiEvent* m = reinterpret_cast<const VstMidiEvent*>(e);
        Check(m->deltaFrames >= 0 && m->deltaFrames < gHost.mFrames);
        const int status = static_cast<uint8_t>(m->midiData[0]);
        const int key = static_cast<uint8_t>(m->midiData[1]);
        const int velocity = static_cast<uint8_t>(m->midiData[2]);
        Check((status & 0xF0) == 0x80 || (status & 0xF0) == 0x90);
        Check(key < 128 && velocity < 128);
        Check((status & 0xF0) != 0x90 || velocity > 0);
        const uint16_t bit = static_cast<uint16_t>(1u << (status & 0x0F));
        if ((status & 0xF0) == 0x90 && velocity > 0)
          gHost.mSounding[key] = static_cast<uint16_t>(gHost.mSounding[key] | bit);
        else
          gHost.mSounding[key] = static_cast<uint16_t>(gHost.mSounding[key] & ~bit);
      }
      return 1;
    }
    default: return 0;
  }
}

AEffect* Plugin()
{
  static AEffect* e = [] {
    AEffect* p = IPlugVST::Entry<Tavrinel>(&FuzzHost);
    p->dispatcher(p, effOpen, 0, 0, nullptr, 0.0f);
    p->dispatcher(p, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    p->dispatcher(p, effSetBlockSize, 0, MAX_FRAMES, nullptr, 0.0f);
    p->dispatcher(p, effMainsChanged, 0, 1, nullptr, 0.0f);
    return p;
  }();
  return e;
}

// xorshift64*: the transport's moves, from the input's first bytes.
struct Moves {
  uint64_t mState;
  uint32_t next()
  {
    mState ^= mState >> 12;
    mState ^= mState << 25;
    mState ^= mState >> 27;
    return static_cast<uint32_t>((mState * 2685821657736338717ull) >> 32);
  }
  uint32_t below(uint32_t n) { return next() % n; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t size)
{
  AEffect* e = Plugin();
  uint64_t seed = 0;
  const std::size_t seedBytes = size < 8 ? size : 8;
  std::memcpy(&seed, pData, seedBytes);
  Moves moves{seed * 0x9E3779B97F4A7C15ull + 1};

  static uint8_t chunk[1 << 16];
  const std::size_t chunkSize = (size - seedBytes) < sizeof chunk ? size - seedBytes : sizeof chunk;
  if (chunkSize) std::memcpy(chunk, pData + seedBytes, chunkSize);
  e->dispatcher(e, effSetChunk, (seed & 1) ? 0 : 1, static_cast<intptr_t>(chunkSize), chunkSize ? chunk : nullptr,
                0.0f);

  VstTimeInfo& t = gHost.mTime;
  t = VstTimeInfo();
  t.sampleRate = 44100.0;
  t.tempo = 120.0;
  t.timeSigNumerator = 4;
  t.timeSigDenominator = 4;
  t.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid;
  t.samplePos = static_cast<double>(moves.below(1u << 20));

  static float left[MAX_FRAMES], right[MAX_FRAMES];
  float* io[2] = {left, right};
  for (int block = 0; block < NUM_BLOCKS; ++block) {
    const uint32_t what = moves.below(64);
    if (what == 0) t.samplePos = static_cast<double>(moves.below(1u << 24));            // jump anywhere
    else if (what == 1) t.samplePos = t.samplePos > 5000.0 ? t.samplePos - 5000.0 : 0.0;  // a short loop back
    else if (what == 2) t.tempo = 1.0 + moves.below(999);
    else if (what == 3) t.tempo = 60.0 + moves.below(240) + moves.below(100) / 100.0;
    else if (what == 4) {
      t.timeSigNumerator = 1 + static_cast<int32_t>(moves.below(16));
      t.timeSigDenominator = 1 << moves.below(5);
    } else if (what == 5) t.flags ^= kVstTransportPlaying;
    else if (what == 6) {
      static const float rates[] = {8000.0f, 22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f};
      t.sampleRate = rates[moves.below(6)];
      e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(t.sampleRate));
    }

    gHost.mFrames = 1 + static_cast<int>(moves.below(MAX_FRAMES));
    e->processReplacing(e, io, io, gHost.mFrames);
    if (!(t.flags & kVstTransportPlaying)) {
      for (uint16_t channels : gHost.mSounding) Check(channels == 0);
    } else {
      t.samplePos += gHost.mFrames;
    }
  }
  // Stopped at the end, so the next input starts with nothing sounding.
  t.flags &= ~kVstTransportPlaying;
  gHost.mFrames = MAX_FRAMES;
  e->processReplacing(e, io, io, gHost.mFrames);
  for (uint16_t channels : gHost.mSounding) Check(channels == 0);
  return 0;
}
