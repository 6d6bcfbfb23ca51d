// A hostile host drives the built plug-in library from three threads at once:
// an audio thread (random block sizes, some above the announced size, transport
// jumps and stops, tempo 1..999, the three process entries), a main thread
// (every dispatcher opcode with odd arguments, parameters outside 0..1, valid,
// mutated, truncated and oversized chunks, programs, sample rates 8..192 kHz,
// block sizes, mains off/on, MIDI in) and a GUI thread (the editor opened in an X
// window, idled and closed; skipped without a display).
//
// Checked: no crash or sanitizer report; every MIDI event of a block has
// 0 <= offset < block length, a status byte, key 0..127 and note-on velocity
// 1..127; the replacing entries leave silence in every output; every host text
// buffer keeps its guard bytes; no process call takes a lock, waits, allocates
// or frees; a stopped block ends every sounding note, so a
// note left sounding across mains off/on or a state load is still ended later.
//
// TAV_STRESS_SECONDS sets the run time (default 3). TAV_STRESS_ALLOW takes a
// comma-separated list of checks to report without failing: "offset-at-end"
// (an event at offset == block length), "velocity-zero" (a note-on with
// velocity 0) and "retrigger" (a note-on for a note already sounding).
#include "AllocCounter.h"
#include "LockRecorder.h"
#include "VstHostSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

// Xlib last: its macros (None, Bool, True, False) collide with the test framework's names.
#include <X11/Xlib.h>

namespace {

constexpr int MAX_FRAMES = 16384; // largest block the audio thread passes
constexpr int GUARD = 16;

bool Allowed(const char* check)
{
  const char* allow = std::getenv("TAV_STRESS_ALLOW");
  return allow && std::strstr(allow, check);
}

// Findings by kind: a count and the first message of each.
class Findings {
public:
  void Add(const std::string& kind, const std::string& what)
  {
    std::lock_guard<std::mutex> lock(mMutex);
    auto& f = mByKind[kind];
    if (f.count++ == 0) f.first = what;
  }
  std::string Report(bool allowedToo) const
  {
    std::lock_guard<std::mutex> lock(mMutex);
    std::string out;
    for (const auto& [kind, f] : mByKind)
      if (allowedToo || !Allowed(kind.c_str()))
        out += kind + " x" + std::to_string(f.count) + ": " + f.first + "\n";
    return out;
  }

private:
  struct Finding {
    long count = 0;
    std::string first;
  };
  mutable std::mutex mMutex;
  std::map<std::string, Finding> mByKind;
};

Findings gFindings;
std::atomic<double> gSampleRate{44100.0};
// How much happened, so that a run that reached nothing shows.
std::atomic<long> gBlocks{0}, gNoteOns{0}, gStops{0}, gCalls{0}, gEditorOpens{0};

// What the host callback knows about the calling thread.
struct ThreadState {
  bool inProcess = false;
  int blockLength = 0;
  bool giveTime = false;
  VstTimeInfo time = {};
  int sounding[16][128] = {}; // audio thread: notes on minus notes off
  long calls = 0;             // audio thread: process calls made
};
thread_local ThreadState tThread;

void CheckEvent(const VstEvent* e)
{
  if (!e || e->type != kVstMidiType) return;
  const auto* m = reinterpret_cast<const VstMidiEvent*>(e);
  const uint8_t status = uint8_t(m->midiData[0]), key = uint8_t(m->midiData[1]), vel = uint8_t(m->midiData[2]);
  const int kind = status >> 4;
  const bool note = kind == 8 || kind == 9;
  ThreadState& t = tThread;
  if (!t.inProcess) {
    // Outside a block only passed-through input may come back, never a note.
    if (note) gFindings.Add("note-outside-block", "status " + std::to_string(status));
    return;
  }
  const std::string at = "offset " + std::to_string(m->deltaFrames) + " in a block of " +
                         std::to_string(t.blockLength);
  if (m->deltaFrames == t.blockLength)
    gFindings.Add("offset-at-end", at);
  else if (m->deltaFrames < 0 || m->deltaFrames > t.blockLength)
    gFindings.Add("offset-outside-block", at);
  if (!note) return;
  if (status < 0x80 || key > 127) gFindings.Add("bad-note-bytes", "status " + std::to_string(status));
  if (key > 127) return;
  int& n = t.sounding[status & 0x0F][key];
  if (kind == 9 && vel == 0) {
    gFindings.Add("velocity-zero", "key " + std::to_string(key));
    n = 0;
  } else if (kind == 9) {
    if (vel > 127) gFindings.Add("bad-velocity", std::to_string(vel));
    if (n > 0) gFindings.Add("retrigger", "key " + std::to_string(key) + " on again without an off");
    ++gNoteOns;
    n = Allowed("retrigger") ? 1 : n + 1;
  } else {
    n = n > 0 ? n - 1 : 0;
  }
}

intptr_t TAV_VSTCALL HostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float)
{
  // What this host does with a call is its own business, not the plug-in's.
  lockrecord::Pause hostLocks;
  alloccount::Pause hostAllocations;
  switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterWantMidi: return 1;
    case audioMasterGetTime: return tThread.giveTime ? reinterpret_cast<intptr_t>(&tThread.time) : 0;
    case audioMasterProcessEvents: {
      const auto* events = static_cast<const VstEvents*>(ptr);
      if (!events) return 0;
      VstEvent* const* list = events->events;
      for (int i = 0; i < events->numEvents; ++i) CheckEvent(list[i]);
      return 1;
    }
    case audioMasterGetVendorString:
    case audioMasterGetProductString:
      if (ptr) std::strcpy(static_cast<char*>(ptr), "Hostile Host");
      return 1;
    case audioMasterGetVendorVersion: return 1000;
    default: return 0;
  }
}

struct Stress {
  AEffect* effect = nullptr;
  std::atomic<bool> stop{false};
  std::atomic<int> announcedBlock{512};
  std::vector<uint8_t> defaultState; // the plug-in as it starts: it plays

  intptr_t Dispatch(int32_t op, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
  {
    return effect->dispatcher(effect, op, index, value, ptr, opt);
  }

  // One host call of n frames through a randomly chosen entry; the outputs hold
  // garbage before it and must hold silence after a replacing one (and keep
  // what they had after the adding one).
  void ProcessOnce(std::mt19937& rng, int n, std::vector<std::vector<float>>& f, std::vector<std::vector<double>>& d)
  {
    float* fp[4] = {f[0].data(), f[1].data(), f[2].data(), f[3].data()};
    double* dp[4] = {d[0].data(), d[1].data(), d[2].data(), d[3].data()};
    const int entry = int(rng() % 10);
    const double before = entry < 5 ? 1e30 : entry < 9 ? std::nan("") : 0.5, after = entry < 9 ? 0.0 : 0.5;
    for (int c = 0; c < 4; ++c) {
      std::fill(fp[c], fp[c] + n, float(before));
      std::fill(dp[c], dp[c] + n, before);
    }
    tThread.inProcess = true;
    tThread.blockLength = n;
    {
      // The audio thread never locks, waits, allocates or frees, whatever the
      // other threads do (the first call only makes it the audio thread).
      lockrecord::Scope waits;
      alloccount::Scope allocations;
      if (entry < 5)
        effect->processReplacing(effect, fp, fp + 2, n);
      else if (entry < 9)
        effect->processDoubleReplacing(effect, dp, dp + 2, n);
      else
        effect->process(effect, fp, fp + 2, n);
      if (tThread.calls++ > 0 && waits.Count() > 0) gFindings.Add("audio-thread-waited", "a process call took a lock");
      if (tThread.calls > 1 && allocations.Allocations() + allocations.Frees() > 0)
        gFindings.Add("audio-thread-allocated", "a process call allocated or freed");
    }
    tThread.inProcess = false;
    for (int c = 2; c < 4; ++c)
      for (int i = 0; i < n; ++i)
        if ((entry >= 5 && entry < 9 ? dp[c][i] : double(fp[c][i])) != after)
          return gFindings.Add("output-not-silent", "entry " + std::to_string(entry) + " frame " + std::to_string(i));
  }

  void CheckNothingSounds(const char* when)
  {
    for (auto& ch : tThread.sounding)
      for (int& n : ch)
        if (n > 0) {
          gFindings.Add("stuck-note", std::string("a note still sounds ") + when);
          n = 0;
        }
  }

  void AudioThread(unsigned seed)
  {
    std::mt19937 rng(seed);
    // Two inputs, then two outputs; the double entry gets its own set.
    std::vector<std::vector<float>> f(4, std::vector<float>(MAX_FRAMES));
    std::vector<std::vector<double>> d(4, std::vector<double>(MAX_FRAMES));
    double pos = 0.0, tempo = 120.0;
    bool playing = true;
    while (!stop.load()) {
      const int r = int(rng() % 100);
      if (r < 2) pos = double(rng() % 2000000000u); // a jump, sometimes close to the 32-bit end
      if (r >= 2 && r < 4) tempo = 1.0 + std::uniform_real_distribution<double>(0.0, 998.0)(rng);
      playing = r >= 4 && r < 8 ? false : (r >= 8 && r < 20 ? true : playing);
      const int announced = std::max(1, announcedBlock.load());
      int n = 1 + int(rng() % unsigned(announced));
      if (r >= 85) n = std::min(MAX_FRAMES, announced + 1 + int(rng() % unsigned(3 * announced)));

      VstTimeInfo& t = tThread.time;
      t = {};
      t.samplePos = pos;
      t.sampleRate = gSampleRate.load();
      t.tempo = tempo;
      t.ppqPos = pos / t.sampleRate * tempo / 60.0;
      t.timeSigNumerator = 4;
      t.timeSigDenominator = 4;
      t.flags = kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid | (playing ? kVstTransportPlaying : 0);
      tThread.giveTime = true;
      ProcessOnce(rng, n, f, d);
      ++gBlocks;
      if (!playing) {
        ++gStops;
        CheckNothingSounds("after a stopped block");
      }
      if (playing) pos += n;
    }
    // The end: a stopped block must leave nothing sounding.
    tThread.time.flags = kVstTempoValid | kVstTimeSigValid;
    ProcessOnce(rng, 64, f, d);
    CheckNothingSounds("after the final stop");
  }

  // Chunks: valid, mutated, truncated, oversized or claimed far larger than given.
  void ChunkAction(std::mt19937& rng)
  {
    const bool bank = rng() % 2;
    void* data = nullptr;
    const intptr_t size = Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
    std::vector<uint8_t> chunk;
    if (size > 0 && data) chunk.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    switch (rng() % 5) {
      case 0:
        if (rng() % 2) chunk = defaultState;
        break;
      case 1:
        for (int k = int(rng() % 8); k >= 0 && !chunk.empty(); --k) chunk[rng() % chunk.size()] ^= uint8_t(1u << (rng() % 8));
        break;
      case 2: chunk.resize(chunk.empty() ? 0 : rng() % chunk.size()); break;
      case 3: chunk.resize(chunk.size() + 1 + rng() % 5000, uint8_t(rng())); break;
      default: {
        // A size claim no buffer backs: must be refused without reading it.
        uint8_t small[16] = {0x74, 0x66, 0x66, 0x70, 0, 0, 1, 0};
        Dispatch(effSetChunk, bank ? 0 : 1, std::numeric_limits<int32_t>::max() - int(rng() % 4), small);
        return;
      }
    }
    if (chunk.empty()) chunk.push_back(0);
    Dispatch(effSetChunk, bank ? 0 : 1, intptr_t(chunk.size()), chunk.data());
  }

  // A text opcode into a buffer of exactly the interface's size plus guard bytes.
  void TextAction(std::mt19937& rng)
  {
    static const std::pair<int32_t, int> texts[] = {
      {effGetParamName, 32}, {effGetParamLabel, 32},     {effGetParamDisplay, 32}, {effGetProgramName, 24},
      {effGetProgramNameIndexed, 24}, {effGetEffectName, 32}, {effGetVendorString, 64}, {effGetProductString, 64}};
    const auto& [op, size] = texts[rng() % 8];
    std::vector<char> buf(size_t(size + GUARD), '\x5A');
    Dispatch(op, int(rng() % 260) - 2, 0, buf.data());
    for (int i = size; i < size + GUARD; ++i)
      if (buf[size_t(i)] != '\x5A') return gFindings.Add("text-overrun", "opcode " + std::to_string(op));
  }

  void MainThread(unsigned seed)
  {
    std::mt19937 rng(seed);
    const float odd[] = {std::nanf(""), INFINITY, -INFINITY, -0.5f, 1.5f, 1e9f, -0.0f};
    alignas(16) unsigned char scratch[4096];
    while (!stop.load()) {
      ++gCalls;
      std::memset(scratch, 0, sizeof scratch);
      const int r = int(rng() % 100);
      if (r < 25) {
        // Any opcode with odd numbers; those that take pointers get real ones.
        int32_t op = int32_t(rng() % 80);
        if (op == effClose || op == effEditOpen) continue; // the end, and the GUI thread's
        intptr_t value = intptr_t(rng() % 70000) - 5;
        VstSpeakerArrangement arr = {};
        VstSpeakerArrangement* arrOut = nullptr;
        arr.numChannels = int(rng() % 12) - 3;
        if (op == effSetSpeakerArrangement) value = rng() % 2 ? reinterpret_cast<intptr_t>(&arr) : 0;
        if (op == effGetSpeakerArrangement) value = reinterpret_cast<intptr_t>(&arrOut);
        if (op == effSetChunk) value = intptr_t(rng() % sizeof scratch);
        if (op == effSetBlockSize) value = 1 + intptr_t(rng() % MAX_FRAMES);
        if (op == effSetSampleRate || op == effSetBlockSize) continue; // below, with their own values
        if (op == effGetMidiKeyName) reinterpret_cast<MidiKeyName*>(scratch)->thisKeyNumber = int(rng() % 300) - 50;
        const float opt = rng() % 4 ? float(rng() % 1000) / 999.0f : odd[rng() % 7];
        Dispatch(op, int32_t(rng() % 300) - 20, value, rng() % 8 ? scratch : nullptr, opt);
      } else if (r < 45) {
        const int idx = int(rng() % 270) - 10;
        effect->setParameter(effect, idx, rng() % 3 ? float(rng() % 1001) / 1000.0f : odd[rng() % 7]);
        effect->getParameter(effect, idx);
      } else if (r < 55) {
        ChunkAction(rng);
      } else if (r < 65) {
        TextAction(rng);
      } else if (r < 72) {
        Dispatch(effSetProgram, 0, intptr_t(rng() % 12) - 3);
        char name[24]; // no terminator at all
        std::memset(name, 'a' + int(rng() % 26), sizeof name);
        Dispatch(effSetProgramName, 0, 0, name);
      } else if (r < 76) {
        const double rate = rng() % 10 ? 8000.0 + double(rng() % 184001) : double(odd[rng() % 7]);
        Dispatch(effSetSampleRate, 0, 0, nullptr, float(rate));
        if (rate >= 8000.0 && rate <= 192000.0) gSampleRate.store(rate);
      } else if (r < 79) {
        const int size = 1 + int(rng() % 8192);
        Dispatch(effSetBlockSize, 0, size);
        announcedBlock.store(size);
      } else if (r < 83) {
        Dispatch(effMainsChanged, 0, 0);
        Dispatch(effMainsChanged, 0, 1);
      } else {
        // MIDI in: random bytes, the odd SysEx event, offsets inside the next block.
        VstMidiEvent midi[8] = {};
        struct {
          int32_t numEvents;
          intptr_t reserved;
          VstEvent* events[8];
        } list = {};
        list.numEvents = 1 + int(rng() % 8);
        for (int i = 0; i < list.numEvents; ++i) {
          midi[i].type = rng() % 10 ? kVstMidiType : kVstSysExType;
          midi[i].byteSize = sizeof(VstMidiEvent);
          midi[i].deltaFrames = int(rng() % unsigned(std::max(1, announcedBlock.load())));
          for (char& b : midi[i].midiData) b = char(rng());
          list.events[i] = reinterpret_cast<VstEvent*>(&midi[i]);
        }
        Dispatch(effProcessEvents, 0, 0, &list);
      }
    }
  }

  void GuiThread(unsigned seed)
  {
    std::mt19937 rng(seed);
    Display* d = XOpenDisplay(nullptr);
    if (!d) return;
    Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 720, 650, 0, 0, 0);
    XMapWindow(d, parent);
    XSync(d, False);
    while (!stop.load()) {
      ERect* rect = nullptr;
      Dispatch(effEditGetRect, 0, 0, &rect);
      gEditorOpens += Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent)));
      for (int i = int(rng() % 20); i > 0 && !stop.load(); --i) {
        Dispatch(effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 5));
      }
      Dispatch(effEditClose);
    }
    XDestroyWindow(d, parent);
    XCloseDisplay(d);
  }
};

TEST(Stress, HostileHostOnThreeThreads)
{
  const std::string path = TestPluginPath();
  if (path.empty()) GTEST_SKIP() << "plug-in library not built";
  const char* secondsText = std::getenv("TAV_STRESS_SECONDS");
  const double seconds = secondsText ? std::atof(secondsText) : 3.0;
  const unsigned seed = unsigned(std::random_device{}());
  SCOPED_TRACE("seed " + std::to_string(seed));

  VstLibrary lib;
  std::string error;
  ASSERT_TRUE(lib.Open(path, error)) << error;
  auto entry = reinterpret_cast<VstEntryProc>(lib.Symbol("VSTPluginMain"));
  ASSERT_NE(entry, nullptr);
  Stress s;
  s.effect = entry(HostCallback);
  ASSERT_NE(s.effect, nullptr);
  s.Dispatch(effOpen);
  s.Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
  s.Dispatch(effSetBlockSize, 0, 512);
  s.Dispatch(effMainsChanged, 0, 1);
  void* state = nullptr;
  const intptr_t stateSize = s.Dispatch(effGetChunk, 0, 0, &state);
  ASSERT_GT(stateSize, 0);
  s.defaultState.assign(static_cast<uint8_t*>(state), static_cast<uint8_t*>(state) + stateSize);

  std::thread audio(&Stress::AudioThread, &s, seed);
  std::thread gui;
  if (std::getenv("DISPLAY")) gui = std::thread(&Stress::GuiThread, &s, seed + 2);
  std::thread main(&Stress::MainThread, &s, seed + 1);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  s.stop.store(true);
  main.join();
  if (gui.joinable()) gui.join();
  audio.join();

  s.Dispatch(effMainsChanged, 0, 0);
  s.Dispatch(effClose);
  std::printf("%ld blocks, %ld note-ons, %ld stopped blocks, %ld main-thread actions, %ld editor opens\n",
              gBlocks.load(), gNoteOns.load(), gStops.load(), gCalls.load(), gEditorOpens.load());
  const std::string all = gFindings.Report(true);
  if (!all.empty()) std::printf("findings (seed %u):\n%s", seed, all.c_str());
  EXPECT_EQ(gFindings.Report(false), "");
  EXPECT_GT(gNoteOns.load(), 0);
  EXPECT_GT(gStops.load(), 0);
}

} // namespace
