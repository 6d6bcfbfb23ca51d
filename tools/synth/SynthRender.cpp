#include "SynthRender.h"

#include "WavWriter.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Keeps FluidSynth's log off the terminal for as long as it lives; the last error
// it logged goes into the tool's own message instead.
class QuietLog {
public:
  QuietLog()
  {
    for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level) mOld[level] = fluid_set_log_function(level, Keep, this);
  }
  ~QuietLog()
  {
    for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level) fluid_set_log_function(level, mOld[level], nullptr);
  }
  QuietLog(const QuietLog&) = delete;
  QuietLog& operator=(const QuietLog&) = delete;

  // ": what FluidSynth said", or nothing.
  std::string Reason() const { return mLastError.empty() ? std::string() : ": " + mLastError; }

private:
  static void Keep(int level, const char* message, void* data)
  {
    if (level <= FLUID_ERR && message) static_cast<QuietLog*>(data)->mLastError = message;
  }
  fluid_log_function_t mOld[FLUID_DBG + 1] = {};
  std::string mLastError;
};

// FluidSynth computes audio in periods of a fixed length and starts whatever it is
// told at its next period start. So that each note-on sounds from its own sample,
// the bank keeps one synth per phase within the period, made when a note-on first
// falls on that phase: that synth's periods start exactly where the note does. All
// of them share the one loaded SoundFont and hear every channel message; the mix
// is their sum. Note-offs (and the release of a key struck again) go to every
// synth and act at the next period start of the one that holds the note, at most
// a period later than sent.
class SynthBank {
public:
  ~SynthBank()
  {
    for (fluid_synth_t* s : mByPhase) {
      if (!s || s == mOwner) continue;
      fluid_synth_remove_sfont(s, mFont); // the owner frees it
      delete_fluid_synth(s);
    }
    if (mOwner) delete_fluid_synth(mOwner);
    if (mSettings) delete_fluid_settings(mSettings);
  }

  bool Open(const RenderSettings& rs, const QuietLog& log, std::string& error)
  {
    mSettings = new_fluid_settings();
    double lo = 0.0, hi = 0.0;
    fluid_settings_getnum_range(mSettings, "synth.sample-rate", &lo, &hi);
    if (rs.sampleRate < lo || rs.sampleRate > hi || rs.sampleRate != std::floor(rs.sampleRate)) {
      char text[160];
      std::snprintf(text, sizeof text, "--wav plays at whole rates from %g to %g Hz, not %g", lo, hi, rs.sampleRate);
      error = text;
      return false;
    }
    std::FILE* f = std::fopen(rs.soundFont.c_str(), "rb");
    if (!f) {
      error = "no SoundFont at '" + rs.soundFont + "' (install timgm6mb-soundfont or name one with --soundfont)";
      return false;
    }
    std::fclose(f);
    fluid_settings_setnum(mSettings, "synth.sample-rate", rs.sampleRate);
    fluid_settings_setint(mSettings, "synth.reverb.active", 0);
    fluid_settings_setint(mSettings, "synth.chorus.active", 0);
    fluid_settings_setint(mSettings, "synth.polyphony", 128);
    fluid_settings_setint(mSettings, "synth.lock-memory", 0);
    mOwner = new_fluid_synth(mSettings);
    int id = mOwner ? fluid_synth_sfload(mOwner, rs.soundFont.c_str(), 0) : FLUID_FAILED;
    if (id == FLUID_FAILED) {
      error = "cannot load the SoundFont '" + rs.soundFont + "'" + log.Reason();
      return false;
    }
    mFont = fluid_synth_get_sfont_by_id(mOwner, id);
    mProgram = rs.gmProgram;
    if (!SetPrograms(mOwner, id)) {
      error = "the SoundFont '" + rs.soundFont + "' has no program " + std::to_string(mProgram) + " in bank 0";
      return false;
    }
    mPeriod = std::max(1, fluid_synth_get_internal_bufsize(mOwner));
    mByPhase.assign(static_cast<size_t>(mPeriod), nullptr);
    mByPhase[0] = mOwner; // made at position 0
    mLeft.resize(static_cast<size_t>(rs.blockSize));
    mRight.resize(static_cast<size_t>(rs.blockSize));
    return true;
  }

  // An event at the current position.
  void Event(const MidiEventAt& e)
  {
    int kind = e.status & 0xF0;
    if (kind == 0x90 && (e.data2 & 0x7F) > 0) {
      // A key struck again releases what it still sounds, as in one synth.
      fluid_synth_t* to = SynthAt(static_cast<size_t>(mPos % mPeriod));
      for (fluid_synth_t* s : mByPhase)
        if (s && s != to) fluid_synth_noteoff(s, e.status & 0x0F, e.data1 & 0x7F);
      Send(to, e);
      return;
    }
    if (kind < 0x80 || kind == 0xF0) return; // nothing a synth channel takes
    for (fluid_synth_t* s : mByPhase)
      if (s) Send(s, e);
    if (kind != 0x80 && kind != 0x90) mChannelLog.push_back(e); // channel state for synths made later
  }

  // Adds the next `frames` frames of every synth into left and right (at most the
  // block size).
  void Render(int frames, float* left, float* right)
  {
    std::fill(left, left + frames, 0.0f);
    std::fill(right, right + frames, 0.0f);
    for (fluid_synth_t* s : mByPhase) {
      if (!s) continue;
      fluid_synth_write_float(s, frames, mLeft.data(), 0, 1, mRight.data(), 0, 1);
      for (int i = 0; i < frames; ++i) {
        left[i] += mLeft[static_cast<size_t>(i)];
        right[i] += mRight[static_cast<size_t>(i)];
      }
    }
    mPos += frames;
  }

private:
  // Every channel melodic (General MIDI makes channel 10 drums) with the program.
  bool SetPrograms(fluid_synth_t* s, int fontId)
  {
    for (int ch = 0; ch < 16; ++ch) {
      fluid_synth_set_channel_type(s, ch, CHANNEL_TYPE_MELODIC);
      if (fluid_synth_program_select(s, ch, fontId, 0, mProgram) != FLUID_OK) return false;
    }
    return true;
  }

  fluid_synth_t* SynthAt(size_t phase)
  {
    if (!mByPhase[phase]) {
      fluid_synth_t* s = new_fluid_synth(mSettings);
      SetPrograms(s, fluid_synth_add_sfont(s, mFont));
      for (const MidiEventAt& e : mChannelLog) Send(s, e);
      mByPhase[phase] = s; // fresh: its first period starts here
    }
    return mByPhase[phase];
  }

  static void Send(fluid_synth_t* s, const MidiEventAt& e)
  {
    int ch = e.status & 0x0F, d1 = e.data1 & 0x7F, d2 = e.data2 & 0x7F;
    switch (e.status & 0xF0) {
    case 0x80: fluid_synth_noteoff(s, ch, d1); break;
    case 0x90: d2 ? fluid_synth_noteon(s, ch, d1, d2) : fluid_synth_noteoff(s, ch, d1); break;
    case 0xA0: fluid_synth_key_pressure(s, ch, d1, d2); break;
    case 0xB0: fluid_synth_cc(s, ch, d1, d2); break;
    case 0xC0: fluid_synth_program_change(s, ch, d1); break;
    case 0xD0: fluid_synth_channel_pressure(s, ch, d1); break;
    case 0xE0: fluid_synth_pitch_bend(s, ch, d1 | (d2 << 7)); break;
    default: break;
    }
  }

  fluid_settings_t* mSettings = nullptr;
  fluid_synth_t* mOwner = nullptr; // loaded the SoundFont and frees it
  fluid_sfont_t* mFont = nullptr;
  int mProgram = 0;
  int mPeriod = 64;
  int64_t mPos = 0;
  std::vector<fluid_synth_t*> mByPhase;
  std::vector<MidiEventAt> mChannelLog;
  std::vector<float> mLeft, mRight;
};

} // namespace

bool CheckSynth(const RenderSettings& settings, std::string& error)
{
  QuietLog log;
  SynthBank bank;
  return bank.Open(settings, log, error);
}

int64_t AudioFrames(const RenderResult& render, double sampleRate)
{
  int64_t end = render.totalSamples;
  if (!render.events.empty()) end = std::max(end, render.events.back().sample);
  return end + static_cast<int64_t>(std::llround(AUDIO_TAIL_SECONDS * sampleRate));
}

namespace {

// Plays the render through a fresh bank in the render's own blocks (the last one,
// stopped, has the full size; the tail goes on in blocks of that size) and hands
// each block to `take`; inside a block the synth runs from event to event.
template <class Take>
bool Play(const RenderResult& render, const RenderSettings& settings, int64_t total, std::string& error, Take take)
{
  QuietLog log;
  SynthBank bank;
  if (!bank.Open(settings, log, error)) return false;
  const std::vector<RenderBlock> blocks = RenderBlocks(settings);
  const std::vector<MidiEventAt>& events = render.events;
  std::vector<float> left(static_cast<size_t>(settings.blockSize)), right(left.size());
  size_t next = 0;
  int64_t pos = 0;
  for (size_t b = 0; pos < total; ++b) {
    int frames = b < blocks.size() ? blocks[b].frames : settings.blockSize;
    frames = static_cast<int>(std::min<int64_t>(frames, total - pos));
    for (int done = 0; done < frames;) {
      int64_t at = pos + done;
      while (next < events.size() && events[next].sample <= at) bank.Event(events[next++]);
      int64_t until = pos + frames;
      if (next < events.size() && events[next].sample < until) until = events[next].sample;
      bank.Render(static_cast<int>(until - at), left.data() + done, right.data() + done);
      done += static_cast<int>(until - at);
    }
    pos += frames;
    if (!take(left.data(), right.data(), frames, pos)) return false;
  }
  return true;
}

} // namespace

bool RenderWav(const RenderResult& render, const RenderSettings& settings, AudioSummary& summary, std::string& error,
               const std::function<void(int pass, int64_t done, int64_t total)>& progress)
{
  summary = AudioSummary();
  const int64_t total = AudioFrames(render, settings.sampleRate);
  // Once to find the peak, once more to write it brought to AUDIO_PEAK.
  float peak = 0.0f;
  bool played = Play(render, settings, total, error, [&](const float* l, const float* r, int frames, int64_t pos) {
    for (int i = 0; i < frames; ++i) peak = std::max(peak, std::max(std::fabs(l[i]), std::fabs(r[i])));
    if (progress) progress(1, pos, total);
    return true;
  });
  if (!played) return false;
  summary.gain = peak > 0.0f ? AUDIO_PEAK / peak : 1.0f;

  WavWriter wav;
  if (!wav.Open(settings.wavPath, static_cast<int>(std::lround(settings.sampleRate)), total, error)) return false;
  std::vector<float> left(static_cast<size_t>(settings.blockSize)), right(left.size());
  played = Play(render, settings, total, error, [&](const float* l, const float* r, int frames, int64_t pos) {
    for (int i = 0; i < frames; ++i) {
      left[static_cast<size_t>(i)] = l[i] * summary.gain;
      right[static_cast<size_t>(i)] = r[i] * summary.gain;
    }
    if (progress) progress(2, pos, total);
    if (wav.Write(left.data(), right.data(), frames)) return true;
    error = "cannot write '" + settings.wavPath + "'";
    return false;
  });
  if (!played) return false;
  summary.frames = total;
  summary.peak = wav.Peak();
  summary.clipped = wav.ClippedSamples();
  return wav.Finish(error);
}
