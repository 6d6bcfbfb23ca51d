#pragma once
// The render tool's audio: the rendered MIDI played through FluidSynth with a
// General MIDI SoundFont into a stereo 24-bit WAV file at the render's rate, with
// a tail after the last event for the notes to ring out, brought to a peak of
// -1 dBFS. Dry: no reverb, no chorus. The same events and settings give the same
// bytes, whichever plug-in format sent them.
//
// Thread: the caller's. FluidSynth's log goes nowhere while a render runs; its
// errors come back in the error message.

#include "MidiFile.h"
#include "Render.h"

#include <cstdint>
#include <functional>
#include <string>

constexpr double AUDIO_TAIL_SECONDS = 2.0;
constexpr float AUDIO_PEAK = 0.891251f; // -1 dBFS

// Whether the synth can play at the settings' rate and the SoundFont loads with
// the settings' program in it; false with a one-line message otherwise.
bool CheckSynth(const RenderSettings& settings, std::string& error);

// Length of the audio of a render: to its last event or its end, whichever is
// later, then the tail.
int64_t AudioFrames(const RenderResult& render, double sampleRate);

struct AudioSummary {
  int64_t frames = 0;
  float gain = 1.0f;   // applied to the synth's output to reach AUDIO_PEAK
  float peak = 0.0f;   // largest sample magnitude written, 1 = full scale
  int64_t clipped = 0; // samples beyond full scale, clipped
};

// Plays the render's events through the synth in the render's own blocks (those
// of RenderBlocks, then blocks of the same size for the tail), twice: once for the
// peak, once to write the WAV to settings.wavPath. No file is left behind when it
// fails. progress (may be empty) is called after every block with the pass (1 or
// 2) and the frames played so far of the WAV's length.
bool RenderWav(const RenderResult& render, const RenderSettings& settings, AudioSummary& summary, std::string& error,
               const std::function<void(int pass, int64_t done, int64_t total)>& progress = nullptr);
