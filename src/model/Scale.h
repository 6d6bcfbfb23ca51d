#pragma once
// Chord tones: the shared random generator, the chord-shape and scale tables and
// the Scale that turns (tonic, chord degree, mode, pitch degree) into a MIDI note.
//
// Thread: each engine's Scale is read (getNote) and written (the selections,
// by parameter handlers) by the one thread that owns the engine at the time.

#include <cstdint>

// Multiply-with-carry generator on two 32-bit words. Every owner keeps its own.
class MwcRandom {
public:
  static constexpr uint32_t START_W = 0x1234u;
  static constexpr uint32_t START_Z = 0xFFFFEDCBu;

  MwcRandom() = default;

  // w = s * s (low 32 bits), z = ~w.
  void seed(uint32_t s)
  {
    mW = s * s;
    mZ = ~mW;
  }

  uint32_t nextRaw()
  {
    mZ = 36969u * (mZ & 0xFFFFu) + (mZ >> 16);
    mW = 18000u * (mW & 0xFFFFu) + (mW >> 16);
    return (mZ << 16) + mW;
  }

  // 0..1, both included.
  double nextUnit() { return nextRaw() * 2.3283064370807974e-10; }

  // Half of the draws fall in 0..0.5, half in 0..2.
  double nextJitterFactor()
  {
    double x = 2.0 * nextUnit() - 1.0;
    return x > 0.0 ? 2.0 * x : -x / 2.0;
  }

  uint32_t mW = START_W;
  uint32_t mZ = START_Z;
};

constexpr int NUM_CHORD_SHAPES = 10;
constexpr int NUM_PITCH_DEGREES = 5;
constexpr int NUM_SCALES = 8;
constexpr int NUM_MODES = 7;
constexpr int MAX_STEPS_PER_SCALE = 12;

struct ScaleRow {
  int numScaleSteps;
  int offsets[MAX_STEPS_PER_SCALE];
};

extern const int chordShapeTable[NUM_CHORD_SHAPES][NUM_PITCH_DEGREES];
extern const ScaleRow scaleTable[NUM_SCALES];
extern const char* const chordShapeNames[NUM_CHORD_SHAPES];
extern const char* const scaleNames[NUM_SCALES];
extern const char* const modeNames[NUM_MODES];
extern const char* const pitchClassNames[12];

class Scale {
public:
  // Outside every key: the note stream drops it.
  static constexpr int NO_NOTE = -1;

  // NO_NOTE when an argument is out of its range (a broken invariant).
  int getNote(int rootNote, int chordDegree, int mode, int pitchDegree) const;

  int32_t mShapeIdx = 0;
  int32_t mScaleIdx = 0;
};
