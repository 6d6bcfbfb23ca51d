#include "Scale.h"

#include "Assert.h"

#define SCALE_FILE "src\\Scale"

const int chordShapeTable[NUM_CHORD_SHAPES][NUM_PITCH_DEGREES] = {
  {1, 5, 8, 12, 15}, // Fifths
  {1, 3, 5, 8, 12},  // Triad
  {1, 3, 5, 7, 8},   // Triad 7th
  {1, 3, 5, 7, 9},   // Triad 9th
  {1, 2, 3, 5, 8},   // Sus 2nd
  {1, 3, 4, 5, 8},   // Sus 4th
  {1, 2, 3, 4, 5},   // Whole (n)
  {1, 3, 5, 6, 8},   // Triad 6th
  {1, 3, 5, 6, 7},   // Triad 6+7
  {1, 3, 4, 5, 6},   // 1 3 4 5 6
};

const ScaleRow scaleTable[NUM_SCALES] = {
  {7, {0, 2, 4, 5, 7, 9, 11}},  // Major
  {7, {0, 2, 3, 5, 7, 9, 10}},  // Minor
  {5, {0, 3, 5, 7, 10}},        // Blues
  {5, {0, 2, 3, 7, 8}},         // Ake Bono
  {6, {0, 2, 3, 5, 7, 10}},     // Big Bear
  {6, {0, 3, 5, 7, 8, 10}},     // Celtic
  {5, {0, 2, 4, 7, 9}},         // Maj Pent
  {7, {0, 2, 3, 5, 7, 8, 10}},  // Nat Minor
};

const char* const chordShapeNames[NUM_CHORD_SHAPES] = {
  "Fifths", "Triad", "Triad 7th", "Triad 9th", "Sus 2nd",
  "Sus 4th", "Whole (n)", "Triad 6th", "Triad 6+7", "1 3 4 5 6"};

const char* const scaleNames[NUM_SCALES] = {
  "Major", "Minor", "Blues", "Ake Bono", "Big Bear", "Celtic", "Maj Pent", "Nat Minor"};

const char* const modeNames[NUM_MODES] = {
  "Ionian", "Dorian", "Phrygian", "Lydian", "Mixolydian", "Aeolian", "Locrian"};

const char* const pitchClassNames[12] = {
  "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

int Scale::getNote(int rootNote, int chordDegree, int mode, int pitchDegree) const
{
  if (!TAV_CHECK(0 <= mode && mode < 7, SCALE_FILE) || !TAV_CHECK(0 <= rootNote && rootNote <= 128, SCALE_FILE) ||
      !TAV_CHECK(0 <= pitchDegree && pitchDegree < 5, SCALE_FILE))
    return NO_NOTE;
  // The selections come from clamped parameters; keep a stray value from
  // reading outside the tables all the same.
  int shape = (mShapeIdx >= 0 && mShapeIdx < NUM_CHORD_SHAPES) ? mShapeIdx : 0;
  int scale = (mScaleIdx >= 0 && mScaleIdx < NUM_SCALES) ? mScaleIdx : 0;
  const ScaleRow& row = scaleTable[scale];
  const int numScaleSteps = row.numScaleSteps;
  if (!TAV_CHECK(1 <= numScaleSteps && numScaleSteps <= MAX_STEPS_PER_SCALE, SCALE_FILE)) return NO_NOTE;
  int i = chordShapeTable[shape][pitchDegree] + chordDegree + mode - 1;
  int octave = i / numScaleSteps;
  int step = i % numScaleSteps;
  if (step < 0) { step += numScaleSteps; --octave; }
  return row.offsets[step] + 12 * octave + rootNote;
}
