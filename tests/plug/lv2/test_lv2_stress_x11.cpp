// A hostile LV2 host on three threads: the audio thread runs any length with
// positions (jumps, stops, tempo 1..999, signatures) and MIDI anywhere, moves
// control ports and the output room; the main thread saves and restores state
// (whole, damaged and foreign); the GUI thread opens the editor through the UI
// descriptor in an X window, idles it, moves parameters as the editor does
// (their port writes reach the audio thread as a host would pass them on) and
// closes it again (skipped without a display).
//
// Checked: no crash or sanitizer report; no allocation, free, lock or wait in
// a run (the main thread and the editor busy meanwhile); the output
// room and its guard bytes are respected; every output is a time-ordered
// sequence of short MIDI messages inside the run, with no note-on of velocity
// 0 and no note struck again while sounding; a stopped run leaves nothing
// sounding. TAV_STRESS_SECONDS sets the run time (default 3).
#include "IPlugLV2.h"
#include "Lv2TestHost.h"
#include "Tavrinel.h"

#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

// Xlib last: its macros collide with the test framework's names.
#include <X11/Xlib.h>

namespace {

constexpr int NUM_CONTROLS = kStepDir + 1;

struct Stress {
  Lv2TestHost* host = nullptr;
  std::atomic<bool> stop{false};
  std::vector<uint8_t> defaultState;
  std::atomic<long> runs{0}, noteOns{0}, stops{0}, restores{0}, saves{0}, uiOpens{0}, portWrites{0};
  std::atomic<long> failures{0};
  std::mutex firstMutex;
  std::string first;

  // Port writes from the UI, passed to the ports by the audio thread before a run.
  std::mutex writesMutex;
  std::vector<std::pair<uint32_t, float>> writes;

  void Fail(const std::string& what)
  {
    if (failures++ == 0) {
      std::lock_guard<std::mutex> lock(firstMutex);
      first = what;
    }
  }

  void AudioThread(unsigned seed)
  {
    std::mt19937 rng(seed);
    int sounding[16][128] = {};
    int64_t pos = 0;
    bool playing = true;
    double bpm = 120;
    std::vector<std::pair<uint32_t, float>> taken;
    while (!stop.load()) {
      {
        std::lock_guard<std::mutex> lock(writesMutex);
        taken.swap(writes);
      }
      for (auto& w : taken)
        if (w.first < NUM_CONTROLS) host->Control(static_cast<int>(w.first)) = w.second;
      taken.clear();
      if (rng() % 50 == 0) host->Control(static_cast<int>(rng() % NUM_CONTROLS)) = static_cast<float>(rng() % 20);

      const uint32_t n = rng() % 8 == 0 ? rng() % 9000 : rng() % 1100;
      bool stoppedRun = false;
      if (rng() % 40 == 0) {
        pos = rng() % 3 ? static_cast<int64_t>(rng() % 20000000) : -static_cast<int64_t>(rng() % 100000);
        playing = rng() % 4 != 0;
        bpm = 1 + rng() % 999;
      }
      host->AddPosition(0, pos, playing ? 1.0 : 0.0, bpm, 1 + rng() % 7, 4);
      stoppedRun = !playing && n > 0;
      if (rng() % 10 == 0 && n > 0) {
        const uint8_t cc[3] = {static_cast<uint8_t>(0xB0 | (rng() % 16)), 7, 100};
        host->AddMidi(rng() % n, cc, 3);
      }
      const uint32_t room = rng() % 10 ? 1 << 16 : rng() % 300;
      bool valid = false, guard = false;
      const std::vector<Lv2Event> out = host->Run(n, room, &valid, &guard);
      ++runs;
      if (host->RunAllocations() != 0) Fail("a run allocated or freed");
      if (host->RunWaits() != 0) Fail("a run took a lock or waited");
      if (!valid) Fail("malformed output sequence");
      if (!guard) Fail("output written past its room");
      for (const Lv2Event& e : out) {
        const int kind = e.bytes[0] >> 4;
        if (e.size != 3 || (kind != 8 && kind != 9)) continue;
        int& s = sounding[e.bytes[0] & 15][e.bytes[1] & 127];
        if (kind == 9) {
          if (e.bytes[2] == 0) Fail("note-on with velocity 0");
          if (s > 0 && room >= (1u << 16)) Fail("note struck again while sounding");
          s = 1;
          ++noteOns;
        } else {
          s = 0;
        }
      }
      if (stoppedRun && room >= (1u << 16)) {
        ++stops;
        for (auto& ch : sounding)
          for (int k = 0; k < 128; ++k)
            if (ch[k]) {
              Fail("a note still sounds after a stopped run");
              ch[k] = 0;
            }
      }
      // A run with too little room may have lost ends of notes: start counting afresh.
      if (room < (1u << 16))
        for (auto& ch : sounding)
          for (int& k : ch) k = 0;
      if (playing) pos += n;
    }
  }

  void MainThread(unsigned seed)
  {
    std::mt19937 rng(seed);
    std::vector<uint8_t> saved;
    while (!stop.load()) {
      switch (rng() % 4) {
        case 0:
          if (host->Save(saved) == LV2_STATE_SUCCESS) ++saves;
          break;
        case 1:
          host->Restore(defaultState);
          ++restores;
          break;
        case 2: {
          std::vector<uint8_t> bad = saved.empty() ? defaultState : saved;
          for (int k = 1 + rng() % 8; k > 0; --k) bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
          if (rng() % 2) bad.resize(rng() % bad.size());
          host->Restore(bad);
          ++restores;
          break;
        }
        default:
          if (!saved.empty()) {
            host->Restore(saved);
            ++restores;
          }
      }
      std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000));
    }
  }

  static void WritePort(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                        const void* buffer)
  {
    auto* s = static_cast<Stress*>(controller);
    if (protocol != 0 || size != sizeof(float)) {
      s->Fail("a port write that is not a float");
      return;
    }
    float v;
    std::memcpy(&v, buffer, sizeof(v));
    std::lock_guard<std::mutex> lock(s->writesMutex);
    s->writes.emplace_back(port, v);
    ++s->portWrites;
  }

  void GuiThread(unsigned seed)
  {
    std::mt19937 rng(seed);
    Display* d = XOpenDisplay(nullptr);
    if (!d) return;
    Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 720, 650, 0, 0, 0);
    XMapWindow(d, parent);
    XSync(d, False);
    const LV2UI_Descriptor* ui = IPlugLV2::UIDescriptor(0, Tavrinel::PLUG_LV2_UI_URI);
    const auto* idle = static_cast<const LV2UI_Idle_Interface*>(ui->extension_data(LV2_UI__idleInterface));
    IPlugBase* plug = &IPlugLV2::FromHandle(host->Handle())->Plug();
    const LV2_Feature access = {LV2_INSTANCE_ACCESS_URI, host->Handle()};
    const LV2_Feature parentFeature = {LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))};
    const LV2_Feature* features[] = {&access, &parentFeature, host->Features()[0], nullptr};
    for (;;) {  // until stop, which leaves the last UI open
      LV2UI_Widget widget = nullptr;
      LV2UI_Handle h = ui->instantiate(ui, Tavrinel::PLUG_LV2_URI, "/", WritePort, this, &widget, features);
      if (!h) {
        Fail("the UI did not open");
        break;
      }
      ++uiOpens;
      if (!widget) Fail("the UI gave no widget");
      for (int i = int(rng() % 20); i > 0 && !stop.load(); --i) {
        if (idle->idle(h) != 0) Fail("idle says the UI is closed");
        if (rng() % 3 == 0) {
          const int p = static_cast<int>(rng() % NUM_CONTROLS);
          plug->BeginEditFromGUI(p);
          plug->SetParameterFromGUI(p, std::uniform_real_distribution<double>(0, 1)(rng));
          plug->EndOpenEdit();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 5));
      }
      if (stop.load()) {
        // The last UI stays open: the host cleans up the plug-in first.
        left = {d, parent, ui, idle, h};
        return;
      }
      ui->cleanup(h);
    }
    XDestroyWindow(d, parent);
    XCloseDisplay(d);
  }

  // The UI the GUI thread left open, for the end of the run.
  struct LeftOpen {
    Display* display = nullptr;
    Window parent = 0;
    const LV2UI_Descriptor* ui = nullptr;
    const LV2UI_Idle_Interface* idle = nullptr;
    LV2UI_Handle handle = nullptr;
  } left;
};

} // namespace

TEST(Lv2Stress, HostileHostOnThreeThreads)
{
  const char* secondsText = std::getenv("TAV_STRESS_SECONDS");
  const double seconds = secondsText ? std::atof(secondsText) : 3.0;
  const unsigned seed = unsigned(std::random_device{}());
  SCOPED_TRACE("seed " + std::to_string(seed));

  auto owned = std::make_unique<Lv2TestHost>(IPlugLV2::Descriptor<Tavrinel>(0, Tavrinel::PLUG_LV2_URI), 44100, 1024,
                                             NUM_CONTROLS);
  Lv2TestHost& host = *owned;
  ASSERT_NE(host.Handle(), nullptr);
  IPlugBase* plug = &IPlugLV2::FromHandle(host.Handle())->Plug();
  for (int i = 0; i < NUM_CONTROLS; ++i) host.Control(i) = static_cast<float>(plug->GetParam(i)->Value());
  host.Control(kTimeUnits) = 16; // the densest note value
  host.Run(0, 1 << 16);          // warm-up
  Stress s;
  s.host = &host;
  ASSERT_EQ(host.Save(s.defaultState), LV2_STATE_SUCCESS);

  std::thread audio(&Stress::AudioThread, &s, seed);
  std::thread gui;
  if (std::getenv("DISPLAY")) gui = std::thread(&Stress::GuiThread, &s, seed + 2);
  std::thread main(&Stress::MainThread, &s, seed + 1);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  s.stop.store(true);
  main.join();
  if (gui.joinable()) gui.join();
  audio.join();

  std::printf("%ld runs, %ld note-ons, %ld stopped runs, %ld saves, %ld restores, %ld editor opens, %ld port writes\n",
              s.runs.load(), s.noteOns.load(), s.stops.load(), s.saves.load(), s.restores.load(), s.uiOpens.load(),
              s.portWrites.load());
  // The plug-in goes before its UI; the UI's later calls touch nothing of it.
  owned.reset();
  if (s.left.handle) {
    EXPECT_EQ(s.left.idle->idle(s.left.handle), 1);
    s.left.ui->cleanup(s.left.handle);
    XDestroyWindow(s.left.display, s.left.parent);
    XCloseDisplay(s.left.display);
  }
  EXPECT_EQ(s.failures.load(), 0) << s.first;
  EXPECT_GT(s.noteOns.load(), 0);
  EXPECT_GT(s.stops.load(), 0);
  EXPECT_GT(s.restores.load(), 0);
  if (std::getenv("DISPLAY")) {
    EXPECT_GT(s.uiOpens.load(), 0);
    EXPECT_NE(s.left.handle, nullptr);
  }
}
