#pragma once
// A stereo 24-bit PCM WAV file written while it is played: the header, with the
// length given up front, then the frames as they come. Samples are floats in
// -1..1; anything beyond is clipped to full scale and counted.
//
// Thread: the caller's; one writer per file.

#include <cstdint>
#include <cstdio>
#include <string>

class WavWriter {
public:
  WavWriter() = default;
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Creates the file for `frames` frames at `rate`. False with a message when the
  // file cannot be made or the length does not fit a WAV file (4 GiB).
  bool Open(const std::string& path, int rate, int64_t frames, std::string& error);
  // Appends frames from two channel buffers. False when writing fails.
  bool Write(const float* left, const float* right, int frames);
  // Closes the file; false (and the file removed) when fewer or more frames were
  // written than announced or the file could not be completed.
  bool Finish(std::string& error);

  float Peak() const { return mPeak; }
  int64_t ClippedSamples() const { return mClipped; }

private:
  void Abandon();

  std::FILE* mFile = nullptr;
  std::string mPath;
  int64_t mFrames = 0;
  int64_t mWritten = 0;
  float mPeak = 0.0f;
  int64_t mClipped = 0;
  bool mFailed = false;
};
