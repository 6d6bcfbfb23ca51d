#pragma once
// A second, self-contained reading of the generator's playback: pattern,
// modifiers, sequencers, groove, pulse clock, note stream and the per-block
// algorithm, written without the plug-in's own classes so that the cross-check
// test can compare the two event for event. Single-threaded test code; it
// allocates freely and takes no lock.

#include <cstdint>
#include <vector>

namespace refmodel {

constexpr int NUM_PARAMS = 250;
constexpr int STATE_BYTES = 5676;  // pattern 3624 + groove 52 + 250 doubles

struct Rng {
  uint32_t w = 0x1234u, z = 0xFFFFEDCBu;
  void seed(uint32_t s)
  {
    w = s * s;
    z = ~w;
  }
  uint32_t nextRaw()
  {
    z = 36969u * (z & 0xFFFFu) + (z >> 16);
    w = 18000u * (w & 0xFFFFu) + (w >> 16);
    return (z << 16) + w;
  }
  double nextUnit() { return nextRaw() * 2.3283064370807974e-10; }
  double nextJitterFactor()
  {
    double x = 2.0 * nextUnit() - 1.0;
    return x > 0 ? 2.0 * x : -x / 2.0;
  }
};

struct Pulse {
  int32_t base = 0, playing = 0, saved = 0;
  bool savedValid = false;
  Rng rng;
};

struct Row {
  int32_t numPulses = 4;
  Pulse pulses[4];
  int32_t reserved[4] = {0, 0, 0, 0};
  int32_t repeat = 1;
  bool enabled = true, muted = false;
  Pulse backup[4];
  bool backupValid = false;
  Pulse original[4];
};

struct Step {
  int32_t degree = 0;
  bool active = true;
  int32_t reserved = 1;
  Row rows[4];
};

// The plain content of a state chunk (without the 8-byte framework header).
struct StateImage {
  int32_t numSteps = 12, numPositions = 48, beginStepIdx = 0;
  struct PulseImg {
    int32_t playing = 0, base = 0, saved = 0;
  };
  struct RowImg {
    int32_t numPulses = 4;
    PulseImg pulses[4];
    int32_t reserved[4] = {0, 0, 0, 0};
    bool enabled = true;
    int32_t repeat = 1;
  };
  struct StepImg {
    int32_t degree = 0;
    bool active = true;
    int32_t reserved = 1;
    RowImg rows[4];
  };
  StepImg steps[12];
  int32_t grooveSteps = 48;
  uint8_t groove[48];
  double params[NUM_PARAMS];

  StateImage();
  // Little-endian bytes of the content.
  std::vector<uint8_t> bytes() const;
};

// Default plain value of every parameter (0 for those nothing defines).
const double* defaultParams();

struct Seq {
  int32_t size = 8, start = 0, length = 8, end = 7, cursor = 0;
  bool ascending = true;
  int32_t direction = 0, divider = 1, countdown = 1;
  Rng rng;
  // step sequencer part
  bool running = true;
  int32_t lifetime[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  int32_t value[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  Rng probRng;
  double prob[8] = {1, 1, 1, 1, 1, 1, 1, 1};

  void reset();
  void setPosition(long long n);
  int advance();
  bool clockTick();
  void setStart(int v);
  void setLength(int n);
  bool rollProbability() { return prob[cursor] >= probRng.nextUnit(); }
};

struct Clock {
  double swingFactor = 1.0;
  int32_t pulseLength = 0, longPulse = 0, shortPulse = 0, samplesToPulse = 0;
  bool longNext = true;
  int32_t samplesLeft = 0, pulseOffset = 0;
  double fraction = 0, fractionSum = 0, jitter = 0, humanise = 0;
  Rng* rng = nullptr;
  double tempo = 120;
  int32_t beatsPerBar = 4, beatUnit = 4;
  double sampleRate = 44100, samplesPerBeat = 22100, unitBeats = 1.0;

  void recompute();
  void setTempo(double t, int bpb, int bu);
  void setSampleRate(double r);
  void setTimeUnit(double beats);
  void setSwing(double s);
  int nextPulse();
  // Grid position of pulse k with the fractions paid out.
  long long grid(long long k) const;
  // Returns the pulse number placed at.
  long long locate(long long pos);
};

struct Midi {
  int32_t offset;
  uint8_t status, data1, data2;
  bool operator==(const Midi& o) const
  {
    return offset == o.offset && status == o.status && data1 == o.data1 && data2 == o.data2;
  }
};

class Stream {
public:
  void addNote(int t, int ch, int key, int vel, int len);
  void render(std::vector<Midi>& out, int n);
  void allNotesOff(std::vector<Midi>& out);

private:
  struct Ev {
    int kind, ch, key, vel;
    long long time;  // from "now"
  };
  void insert(const Ev& e);
  std::vector<Ev> mPending;
  uint16_t mSounding[128] = {};
};

class Model {
public:
  Model();  // a freshly constructed and opened plug-in (every handler run with its default)
  // Restores a state content (no framework header); false when it is short.
  bool load(const std::vector<uint8_t>& content);
  // One block; returns the MIDI events the plug-in would send.
  std::vector<Midi> processBlock(long long pos, bool playing, double tempo, int num, int den, int nFrames);

  void onParam(int idx, double v);

  Step steps[12];
  int32_t numSteps = 12, beginStepIdx = 0;
  double params[NUM_PARAMS];

private:
  void updateRange();
  void playerSetPosition(long long n);
  void advanceMelody(int step);
  void handlePulse();
  int resolvePermanence(int lifetime);

  Rng mRandom;
  Clock mClock;
  Seq mPlayer, mStrike, mMelody;
  int32_t mCurStep = 0, mCurPulse = 0, mPlayerPulses = 4;
  int32_t mCurMelody[12] = {}, mPlayCount[12] = {};
  bool mGrooveOn = true;
  int32_t mGrooveActive = 48, mGrooveStep = 0, mGrooveValues[48];
  bool mGrooveMute[48] = {};
  int32_t mShape = 0, mScale = 0, mTonic = 48, mMode = 0, mVelocity = 100, mNumPulses = 4;
  double mVelJitter = 0, mLenJitter = 0, mPermThreshold = 1.0;
  int32_t mLengthIdx = 3, mChan[2] = {0, 1}, mToggle = 0, mMelodyCountdown = 0;
  bool mAdvanceArmed = false, mReloadPending = false;
  long long mExpectedPos = -1;
  Stream mStream;
  std::vector<Midi> mOut;
};

int getNote(int shape, int scale, int root, int degree, int mode, int pitchDegree);

}  // namespace refmodel
