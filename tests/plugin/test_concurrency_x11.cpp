// Three threads at once, as a DAW drives the plug-in: an audio thread playing a
// dense pattern with the transport jumping, a host thread setting parameters,
// programs and state chunks, and a GUI thread with the editor open in an X
// window, redrawing everything on every idle call while it clicks, drags,
// applies edit commands, moves the chord span and loads presets. The host takes
// a lock of its own in its edit callbacks and holds it while it calls in, as
// hosts do: a callback made under the plug-in mutex would be a lock-order
// inversion. Built with ThreadSanitizer this is the data-race check; anywhere
// it checks the MIDI out and that no thread is stuck, and that the audio
// thread (its process calls, and the parameter reads, writes and MIDI it hands
// in between them) never took a lock, waited, allocated or freed whatever the
// others did. Runs for TAV_CONCURRENCY_SECONDS (default 2). Skips without an
// X display.

#include "AllocCounter.h"
#include "IGraphics.h"
#include "IPlugVST.h"
#include "LockRecorder.h"
#include "Tavrinel.h"
#include "TavrinelGui.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

// Xlib last: its macros collide with the test framework's names.
#include <X11/Xlib.h>

namespace {

std::recursive_mutex gHostLock;    // the host's own state
thread_local VstTimeInfo tTime;    // what the audio thread's host reports
thread_local int tBlock = 0;       // frames of the block being processed
std::atomic<long> gEvents{0}, gBadEvents{0}, gEditCalls{0};

intptr_t TAV_VSTCALL Host(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float)
{
  switch (opcode) {
  case audioMasterGetTime: return reinterpret_cast<intptr_t>(&tTime);
  case audioMasterProcessEvents: {
    const auto* events = static_cast<const VstEvents*>(ptr);
    for (int i = 0; i < events->numEvents; ++i) {
      const auto* ev = reinterpret_cast<const VstMidiEvent*>(events->events[i]);
      // A pulse due exactly at the block's end is sent at offset == block length.
      const bool ok = ev->deltaFrames >= 0 && ev->deltaFrames <= tBlock && (ev->midiData[1] & 0x80) == 0;
      (ok ? gEvents : gBadEvents).fetch_add(1, std::memory_order_relaxed);
    }
    return 1;
  }
  case audioMasterAutomate:
  case audioMasterBeginEdit:
  case audioMasterEndEdit:
  case audioMasterUpdateDisplay: {
    std::lock_guard<std::recursive_mutex> lock(gHostLock);
    gEditCalls.fetch_add(1, std::memory_order_relaxed);
    return 1;
  }
  default: return 0;
  }
}

double Seconds()
{
  const char* s = std::getenv("TAV_CONCURRENCY_SECONDS");
  const double v = s ? std::atof(s) : 2.0;
  return v > 0.0 ? v : 2.0;
}

} // namespace

TEST(Concurrency, AudioHostAndEditorThreadsShareThePlugIn)
{
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
  Display* d = XOpenDisplay(nullptr);
  if (!d) GTEST_SKIP() << "X display cannot be opened";

  IPlugVSTInstance<Tavrinel> vst(&Host);
  Tavrinel& plug = vst.Plug();
  AEffect* e = vst.Effect();
  auto dispatch = [e](int32_t op, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) {
    return e->dispatcher(e, op, index, value, ptr, opt);
  };
  dispatch(effOpen);
  dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  dispatch(effSetBlockSize, 0, 1024);
  dispatch(effMainsChanged, 0, 1);
  {
    // The densest pattern: 1/32 triplets, every row on with all five tones.
    std::lock_guard<std::recursive_mutex> lock(gHostLock);
    e->setParameter(e, kTimeUnits, 1.0f);
    IPlugBase::MutexLock plugLock(plug.GetMutex());
    for (int s = 0; s < MAX_STEPS; ++s)
      for (Melody& m : plug.mProgression.step(s).mMelodies) {
        m.mEnabled = true;
        for (PitchSet& p : m.mPulses) p.setMask(31);
      }
  }
  std::vector<std::string> presets;
  for (const auto& f : std::filesystem::recursive_directory_iterator(std::string(TAV_SOURCE_DIR) + "/resources/presets"))
    if (f.path().extension() == ".preset") presets.push_back(f.path().string());
  ASSERT_FALSE(presets.empty());

  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds());
  auto running = [end] { return std::chrono::steady_clock::now() < end; };
  std::atomic<long> blocks{0}, hostCalls{0}, frames{0};
  std::size_t audioWaits = 0, audioAllocations = 0;  // the audio thread's
  // A deadlock (a callback made under the plug-in mutex while the host holds
  // its lock) fails the run instead of hanging it.
  std::atomic<bool> done{false};
  std::thread watchdog([&] {
    while (!done.load()) {
      if (std::chrono::steady_clock::now() > end + std::chrono::seconds(60)) {
        std::fprintf(stderr, "the threads are stuck: a deadlock\n");
        std::_Exit(1);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });

  std::thread audio([&] {
    std::mt19937 rng(1);
    std::vector<float> out(2048);
    float* outs[2] = {out.data(), out.data() + 1024};
    tTime.sampleRate = 48000.0;
    tTime.timeSigNumerator = 4;
    tTime.timeSigDenominator = 4;
    tTime.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid;
    VstMidiEvent midi = {};
    midi.type = kVstMidiType;
    midi.byteSize = sizeof(midi);
    VstEvents events = {};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&midi);
    for (long n = 0; running(); ++n) {
      tTime.tempo = 30.0 + rng() % 270;
      if (rng() % 16 == 0) tTime.samplePos = rng() % 4000000;  // a jump
      if (rng() % 64 == 0) tTime.flags ^= kVstTransportPlaying;
      tBlock = 1 + static_cast<int>(rng() % 1024);
      // Counted from the second block on (the first makes this the audio thread).
      lockrecord::Scope waits;
      alloccount::Scope allocations;
      if (rng() % 8 == 0) {
        // What some hosts do on the audio thread between two process calls.
        e->setParameter(e, static_cast<int32_t>(rng() % kNumHostParams), static_cast<float>(rng() % 1001) / 1000.0f);
        e->getParameter(e, static_cast<int32_t>(rng() % kNumHostParams));
        midi.midiData[0] = static_cast<char>(rng() % 2 ? 0x90 : 0xE0);
        midi.midiData[1] = static_cast<char>(rng() % 128);
        dispatch(effProcessEvents, 0, 0, &events);
      }
      e->processReplacing(e, nullptr, outs, tBlock);
      if (n > 0) {
        audioWaits += waits.Count();
        audioAllocations += allocations.Allocations() + allocations.Frees();
      }
      if (tTime.flags & kVstTransportPlaying) tTime.samplePos += tBlock;
      blocks.fetch_add(1, std::memory_order_relaxed);
    }
  });

  std::thread host([&] {
    std::mt19937 rng(2);
    std::vector<char> chunk;
    while (running()) {
      std::lock_guard<std::recursive_mutex> lock(gHostLock);
      const unsigned what = rng() % 100;
      if (what < 80) {
        e->setParameter(e, static_cast<int32_t>(rng() % kNumHostParams), static_cast<float>(rng() % 1001) / 1000.0f);
      } else if (what < 88) {
        dispatch(effSetProgram, 0, static_cast<intptr_t>(rng() % Tavrinel::NUM_PROGRAMS));
      } else if (what < 94) {
        void* data = nullptr;
        const intptr_t size = dispatch(effGetChunk, 0, 0, &data);
        if (size > 0 && data) chunk.assign(static_cast<char*>(data), static_cast<char*>(data) + size);
      } else if (!chunk.empty()) {
        dispatch(effSetChunk, 0, static_cast<intptr_t>(chunk.size()), chunk.data());
      }
      hostCalls.fetch_add(1, std::memory_order_relaxed);
    }
  });

  std::thread gui([&] {
    std::mt19937 rng(3);
    const Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 720, 650, 0, 0, 0);
    XMapWindow(d, parent);
    XSync(d, False);
    ASSERT_EQ(dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
    IGraphics* g = plug.GetGraphics();
    TavrinelGui& grid = *plug.GetGui();
    const IMouseMod left(true);
    while (running()) {
      g->SetAllControlsDirty();  // a full redraw on every idle call
      dispatch(effEditIdle);
      const unsigned what = rng() % 100;
      if (what < 40) {
        // A click or a drag anywhere but on the preset name (its menu would wait for a choice).
        const int x = static_cast<int>(rng() % 720), y = static_cast<int>(rng() % 650);
        if (x >= 550 && y >= 510 && y <= 536) continue;
        g->OnMouseDown(x, y, left);
        g->OnMouseDrag(x + static_cast<int>(rng() % 21) - 10, y + static_cast<int>(rng() % 21) - 10, left);
        g->OnMouseUp(x, y, left);
      } else if (what < 70) {
        {
          IPlugBase::MutexLock lock(plug.GetMutex());
          if (rng() % 2) grid.SelectRow(static_cast<int>(rng() % 4), false);
          else grid.SetCellSelected(static_cast<int>(rng() % 12), static_cast<int>(rng() % 4), true);
        }
        plug.SetParameterFromGUI(kEditCmdFirst + static_cast<int>(rng() % (kEditCmdLast - kEditCmdFirst + 1)), 1.0);
      } else if (what < 85) {
        IPlugBase::MutexLock lock(plug.GetMutex());
        grid.ApplyRowCommand(static_cast<int>(rng() % 4), static_cast<int>(rng() % NUM_ROW_COMMANDS),
                             1 + static_cast<int>(rng() % 11));
      } else if (what < 95) {
        const int first = static_cast<int>(rng() % 12);
        grid.SetChordSpanFromEditor(first, 1 + static_cast<int>(rng() % (12 - first)));
      } else {
        plug.loadPresetFile(presets[rng() % presets.size()].c_str());
      }
      frames.fetch_add(1, std::memory_order_relaxed);
    }
    dispatch(effEditClose);
    XDestroyWindow(d, parent);
    XSync(d, False);
  });

  audio.join();
  host.join();
  gui.join();
  done = true;
  watchdog.join();
  XCloseDisplay(d);
  dispatch(effMainsChanged, 0, 0);
  std::printf("%ld blocks, %ld host calls, %ld editor frames, %ld MIDI events, %ld edit callbacks\n", blocks.load(),
              hostCalls.load(), frames.load(), gEvents.load(), gEditCalls.load());

  // Every thread got on (none was starved behind another's lock), and every
  // MIDI event lay inside its block (or at its end) with a 7-bit key.
  EXPECT_GT(blocks.load(), 100);
  EXPECT_GT(hostCalls.load(), 100);
  EXPECT_GT(frames.load(), 10);
  EXPECT_GT(gEvents.load(), 0);
  EXPECT_EQ(gBadEvents.load(), 0);
  EXPECT_GT(gEditCalls.load(), 0);
  if (lockrecord::Available()) {
    EXPECT_EQ(audioWaits, 0u);
  }
  EXPECT_EQ(audioAllocations, 0u);
}
