// The audio thread plays its own engine, fed by what the host's main thread and
// the editor hand over. Whatever a host does, one call after another, that
// engine must send exactly the notes the plug-in's own engine sends when it is
// driven directly under its mutex, and the state a host saves must be the
// same bytes. Random scripts (seed printed; TAV_SEED replays one) drive two
// instances side by side: one through ProcessBlock, the other through the
// process entry on this thread with its control calls made on a second
// thread, as a host's main thread would.
#include "IGraphicsOffscreen.h"
#include "TavrinelGui.h"
#include "TavrinelTestRig.h"
#include "TestSeed.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <random>
#include <thread>

namespace {

// Runs calls on its own thread, one at a time, each to its end.
class MainThread {
public:
  MainThread() : mThread([this] { Loop(); }) {}
  ~MainThread()
  {
    Run(nullptr);
    mThread.join();
  }
  void Run(std::function<void()> f)
  {
    std::unique_lock<std::mutex> lock(mMutex);
    mDone = false;
    mJob = f ? std::move(f) : std::function<void()>([this] { mQuit = true; });
    mCv.notify_all();
    mCv.wait(lock, [this] { return mDone; });
  }

private:
  void Loop()
  {
    std::unique_lock<std::mutex> lock(mMutex);
    while (!mQuit) {
      mCv.wait(lock, [this] { return bool(mJob); });
      mJob();
      mJob = nullptr;
      mDone = true;
      mCv.notify_all();
    }
  }
  std::mutex mMutex;
  std::condition_variable mCv;
  std::function<void()> mJob;
  bool mDone = false;
  bool mQuit = false;
  std::thread mThread;
};

std::vector<uint8_t> Chunk(AEffect* e)
{
  void* data = nullptr;
  const intptr_t n = e->dispatcher(e, effGetChunk, 1, 0, &data, 0.0f);
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + n);
}

// Where two states part: the first differing byte, by what the state holds there.
std::string FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  if (i == a.size() && i == b.size()) return "same";
  const std::size_t pattern = IPlugBase::CHUNK_HEADER_SIZE, groove = pattern + PROGRESSION_BYTES,
                    params = groove + GROOVE_BYTES;
  std::string where = "byte " + std::to_string(i);
  if (i >= params) where += ": parameter " + std::to_string((i - params) / 8);
  else if (i >= groove) where += ": groove";
  else if (i >= pattern + 12) {
    const std::size_t k = i - pattern - 12;
    where += ": step " + std::to_string(k / CHORD_STEP_BYTES) + " byte " + std::to_string(k % CHORD_STEP_BYTES);
  }
  return where + " (sizes " + std::to_string(a.size()) + ", " + std::to_string(b.size()) + ")";
}

std::vector<IMidiMessage> Taken(FakeHost& host)
{
  std::vector<IMidiMessage> out;
  for (const VstMidiEvent& e : host.mMidiOut)
    out.emplace_back(e.deltaFrames, uint8_t(e.midiData[0]), uint8_t(e.midiData[1]), uint8_t(e.midiData[2]));
  host.mMidiOut.clear();
  return out;
}

TEST(AudioPath, PlaysAndSavesWhatTheDirectEngineDoesForAnyScript)
{
  const unsigned first = TestSeed();
  const int scripts = std::getenv("TAV_SEED") ? 1 : 12;
  std::size_t compared = 0;
  for (int script = 0; script < scripts; ++script) {
    const unsigned seed = first + unsigned(script);
    SCOPED_TRACE("TAV_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };

    TavrinelRig r;  // r.plug: driven directly
    Tavrinel& direct = *r.plug;
    auto playedVst = std::make_unique<IPlugVSTInstance<Tavrinel>>(&FakeHost::Callback);
    Tavrinel* played = &playedVst->Plug();
    MainThread main;
    AEffect* pe = playedVst->Effect();
    auto effectOf = [&](Tavrinel& p) { return &p == &direct ? r.effect : pe; };
    auto dispatch = [&](Tavrinel& p, int32_t op, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                        float opt = 0.0f) {
      AEffect* e = effectOf(p);
      return e->dispatcher(e, op, index, value, ptr, opt);
    };
    // Both as a host opens them; the played one's control calls on the main thread.
    main.Run([&] {
      dispatch(*played, effOpen);
      dispatch(*played, effSetSampleRate, 0, 0, nullptr, 44100.0f);
      dispatch(*played, effSetBlockSize, 0, 4096);
      dispatch(*played, effMainsChanged, 0, 1);
    });
    dispatch(direct, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    dispatch(direct, effSetBlockSize, 0, 4096);
    dispatch(direct, effMainsChanged, 0, 1);
    // Both engines busy: modifiers on every move, some permanent.
    auto both = [&](const std::function<void(Tavrinel&)>& f) {
      f(direct);
      main.Run([&] { f(*played); });
    };
    std::vector<std::pair<int, double>> busy = {{kLifeProb, 0.4}, {kTimeUnits, 4}, {kVelJitt, 0.5}, {kHuman, 0.5}};
    for (int i = 0; i < 8; ++i) {
      busy.push_back({kStkMod1 + i, double(pick(NUM_STRIKE_MODIFIERS))});
      busy.push_back({kMelMod1 + i, double(pick(NUM_MELODY_MODIFIERS))});
    }
    both([&](Tavrinel& p) {
      IPlugBase::MutexLock lock(p.GetMutex());
      for (auto& [idx, v] : busy) {
        p.GetParam(idx)->SetClamped(v);
        p.OnParamChanged(idx);
      }
    });

    for (int step = 0; step < 1200; ++step) {
      const int what = pick(100);
      if (what < 55) {
        // A block, the transport moving on, jumping, stopping or changing tempo.
        const int n = 1 + pick(pick(4) == 0 ? 600 : 4096);
        VstTimeInfo& t = r.host.mTime;
        if (pick(20) == 0) t.samplePos = double(pick(400000));
        if (pick(25) == 0) t.flags ^= kVstTransportPlaying;
        if (pick(30) == 0) t.tempo = 40 + pick(300);
        r.host.mMidiOut.clear();
        direct.ProcessBlock(nullptr, nullptr, n);
        const std::vector<IMidiMessage> want = Taken(r.host);
        pe->processReplacing(pe, nullptr, nullptr, n);
        const std::vector<IMidiMessage> got = Taken(r.host);
        ASSERT_EQ(got, want) << "step " << step << ", block of " << n;
        compared += got.size();
        if (t.flags & kVstTransportPlaying) t.samplePos += n;
      } else if (what < 70) {
        // A host parameter change: on the main thread, or on the audio thread
        // between two process calls.
        const int idx = pick(kNumParams);
        float v = float(pick(1001)) / 1000.0f;
        if (idx == kVel || idx == kTimeUnits) v = 0.25f + v / 4;  // keep the scripts audible and busy
        AEffect* de = r.effect;
        de->setParameter(de, idx, v);
        if (pick(2)) main.Run([&] { pe->setParameter(pe, idx, v); });
        else pe->setParameter(pe, idx, v);
      } else if (what < 85) {
        // An edit in the editor: a cell or row command, a selection, the span.
        const int s = pick(MAX_STEPS), k = pick(MAX_VARIATIONS_PER_CHORD), kind = pick(4);
        const int code = kind == 0 ? pick(NUM_MELODY_COMMANDS) : pick(NUM_ROW_COMMANDS), count = 1 + pick(3);
        const int first = pick(MAX_STEPS), num = 1 + pick(MAX_STEPS - first);
        const bool permanent = pick(2);
        const int mask = pick(32);
        both([&](Tavrinel& p) {
          TavrinelGui& gui = *p.GetGui();
          if (kind == 3) {
            gui.SetChordSpanFromEditor(first, num);
            return;
          }
          IPlugBase::MutexLock lock(p.GetMutex());
          if (kind == 0) gui.GetCell(s, k)->ApplyMelodyCommand(code, permanent);
          else if (kind == 1) gui.ApplyRowCommand(k, code, count);
          else gui.GetCell(s, k)->GetMelody().mPulses[count].setMask(mask);
        });
      } else if (what < 93) {
        // The host saves: the same bytes from both.
        std::vector<uint8_t> want = Chunk(r.effect), got;
        main.Run([&] { got = Chunk(pe); });
        ASSERT_EQ(FirstDifference(got, want), "same") << "step " << step;
      } else if (what < 97) {
        // The host restores the direct one's state into both, or changes program.
        std::vector<uint8_t> state = Chunk(r.effect);
        const int program = pick(Tavrinel::NUM_PROGRAMS);
        const bool restore = pick(2);
        both([&](Tavrinel& p) {
          if (restore) dispatch(p, effSetChunk, 1, intptr_t(state.size()), state.data());
          else dispatch(p, effSetProgram, 0, program);
        });
      } else {
        // Sample rate and block size as a host sets them between runs.
        const float rate = pick(2) ? 44100.0f : 48000.0f;
        both([&](Tavrinel& p) {
          dispatch(p, effMainsChanged, 0, 0);
          dispatch(p, effSetSampleRate, 0, 0, nullptr, rate);
          dispatch(p, effSetBlockSize, 0, 4096);
          dispatch(p, effMainsChanged, 0, 1);
        });
      }
    }
    std::vector<uint8_t> want = Chunk(r.effect), got;
    main.Run([&] { got = Chunk(pe); });
    EXPECT_EQ(FirstDifference(got, want), "same");
    main.Run([&] { playedVst.reset(); });
  }
  EXPECT_GT(compared, 50u * unsigned(scripts));  // the scripts do play
}

} // namespace

namespace {

// The editor learns of the audio thread's work only through what it
// publishes: while the transport plays, the play marker moves and the editor
// redraws; once it stops, nothing is published and an open editor with
// nothing changed draws nothing, however many blocks go by.
TEST(AudioPath, AStoppedTransportPublishesNothingAndAQuietEditorDrawsNothing)
{
  TavrinelRig r;
  r.Dispatch(effSetBlockSize, 0, 512);
  r.Dispatch(effMainsChanged, 0, 1);
  auto* g = new IGraphicsOffscreen(r.plug, 720, 650);
  r.plug->BuildEditor(g);
  IRECT dirty;
  auto settle = [&] {
    if (g->IsDirty(dirty)) g->Draw(dirty);
  };
  settle();
  for (int i = 0; i < 40; ++i) r.AudioBlock(512);  // pulses every 22 blocks
  EXPECT_TRUE(g->IsDirty(dirty)) << "the play marker moved";
  g->Draw(dirty);

  // The first stopped block releases what sounds, the next places the markers
  // where the stopped transport stands; then nothing changes.
  r.SetPlaying(false);
  r.AudioBlock(512);
  r.AudioBlock(512);
  settle();
  const uint64_t published = r.plug->PublishedViews();
  for (int i = 0; i < 200; ++i) r.AudioBlock(512);
  EXPECT_EQ(r.plug->PublishedViews(), published);
  EXPECT_FALSE(g->IsDirty(dirty)) << "a stopped transport changed what the editor shows";
}

} // namespace
