#include "WavWriter.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int CHANNELS = 2;
constexpr int BYTES_PER_SAMPLE = 3;
constexpr int HEADER_BYTES = 44;

void PutLE(std::vector<uint8_t>& out, uint32_t v, int bytes)
{
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace

WavWriter::~WavWriter() { Abandon(); }

void WavWriter::Abandon()
{
  if (!mFile) return;
  std::fclose(mFile);
  mFile = nullptr;
  std::remove(mPath.c_str());
}

bool WavWriter::Open(const std::string& path, int rate, int64_t frames, std::string& error)
{
  Abandon();
  const int64_t dataBytes = frames * CHANNELS * BYTES_PER_SAMPLE;
  if (frames < 0 || dataBytes > int64_t(0xFFFFFFFFu) - HEADER_BYTES) {
    error = "the audio is too long for a WAV file (4 GiB at most)";
    return false;
  }
  mFile = std::fopen(path.c_str(), "wb");
  if (!mFile) {
    error = "cannot write '" + path + "'";
    return false;
  }
  mPath = path;
  mFrames = frames;
  mWritten = 0;
  mPeak = 0.0f;
  mClipped = 0;
  mFailed = false;
  std::vector<uint8_t> h;
  h.insert(h.end(), {'R', 'I', 'F', 'F'});
  PutLE(h, static_cast<uint32_t>(HEADER_BYTES - 8 + dataBytes), 4);
  h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLE(h, 16, 4);
  PutLE(h, 1, 2); // integer PCM
  PutLE(h, CHANNELS, 2);
  PutLE(h, static_cast<uint32_t>(rate), 4);
  PutLE(h, static_cast<uint32_t>(rate * CHANNELS * BYTES_PER_SAMPLE), 4);
  PutLE(h, CHANNELS * BYTES_PER_SAMPLE, 2);
  PutLE(h, 8 * BYTES_PER_SAMPLE, 2);
  h.insert(h.end(), {'d', 'a', 't', 'a'});
  PutLE(h, static_cast<uint32_t>(dataBytes), 4);
  mFailed = std::fwrite(h.data(), 1, h.size(), mFile) != h.size();
  return true;
}

bool WavWriter::Write(const float* left, const float* right, int frames)
{
  if (!mFile || mFailed) return false;
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(frames) * CHANNELS * BYTES_PER_SAMPLE);
  for (int i = 0; i < frames; ++i) {
    for (float x : {left[i], right[i]}) {
      float a = std::fabs(x);
      if (a > mPeak) mPeak = a;
      // Full scale is 2^23; the positive side ends one step short of it.
      double v = std::floor(static_cast<double>(x) * 8388608.0 + 0.5);
      if (v > 8388607.0 || v < -8388608.0) {
        ++mClipped;
        v = v > 0 ? 8388607.0 : -8388608.0;
      }
      PutLE(bytes, static_cast<uint32_t>(static_cast<int32_t>(v)), BYTES_PER_SAMPLE);
    }
  }
  mWritten += frames;
  mFailed = mFailed || std::fwrite(bytes.data(), 1, bytes.size(), mFile) != bytes.size();
  return !mFailed;
}

bool WavWriter::Finish(std::string& error)
{
  if (!mFile) {
    error = "no WAV file is open";
    return false;
  }
  bool ok = !mFailed && mWritten == mFrames;
  ok = std::fclose(mFile) == 0 && ok;
  mFile = nullptr;
  if (!ok) {
    std::remove(mPath.c_str());
    error = "cannot complete '" + mPath + "'";
  }
  return ok;
}
