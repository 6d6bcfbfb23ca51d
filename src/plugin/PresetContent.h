#pragma once
// What a preset file says, as the reader finds it, before anything of it
// reaches the plug-in: the parsing half of Tavrinel::readPresetFile, which then
// applies the content under the plug-in mutex. Kept apart so that the reader
// can be driven on its own (the preset fuzz target).
//
// Thread: the caller's (the editor thread for presets). No lock, no shared state.

#include "Chord.h"
#include "GrooveMaker.h"
#include "PresetText.h"
#include "Tavrinel.h"

#include <cstdint>

// Everything a preset file says, as read. Later lines for the same parameter
// or row replace earlier ones, as reading them in turn would. Masks are
// already limited to their five tone bits, groove values to 0..128, rows to
// the grid.
struct PresetContent {
  bool mHeader = false;
  bool mParamSet[kNumParams] = {};
  double mParamValue[kNumParams] = {};
  struct Row {
    bool mSet = false;
    bool mEnabled = false;
    int32_t mRepeatCount = 1;
    int32_t mMasks[MAX_PULSES_PER_MELODY] = {};
  } mRows[MAX_STEPS][MAX_VARIATIONS_PER_CHORD];
  int mNumGrooveValues = 0;
  int32_t mGrooveValues[GROOVE_STEPS] = {};
};

// Parameter names to indices; among equal names the lowest index, as a search
// in index order finds it. A small open-addressing table, so a file's param
// lines cost a hash each rather than a pass over 250 names. The names are not
// copied: they must outlive the index.
class PresetParamNames {
public:
  // pNames[i] is the name of parameter i, i < n (at most kNumParams are taken).
  PresetParamNames(const char* const* pNames, int n);
  PresetParamNames(const PresetParamNames&) = delete;
  PresetParamNames& operator=(const PresetParamNames&) = delete;

  // The index of the first parameter named pName, or -1.
  int find(const char* pName) const { return mSlots[probe(pName)]; }

private:
  static constexpr unsigned SLOTS = 1024;  // a power of two, well above 250

  // The slot holding pName, or the empty slot where it would go.
  unsigned probe(const char* pName) const;

  const char* mNames[kNumParams] = {};
  int mSlots[SLOTS];
};

// Reads the items of a preset file into rContent. The file is left where the
// reading stopped.
void scanPresetFile(PresetScanner& in, const PresetParamNames& names, PresetContent& rContent);
