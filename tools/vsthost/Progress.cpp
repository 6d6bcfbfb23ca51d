#include "Progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

ProgressLine::ProgressLine(std::string what, double samplesPerBar, bool enabled)
  : mWhat(std::move(what)), mSamplesPerBar(samplesPerBar > 0.0 ? samplesPerBar : 1.0), mEnabled(enabled),
    mStart(std::chrono::steady_clock::now()), mLast(mStart)
{
}

void ProgressLine::Update(int64_t done, int64_t total, double stepDone)
{
  if (!mEnabled || total <= 0 || stepDone <= 0.0) return;
  auto now = std::chrono::steady_clock::now();
  if (now - mStart < std::chrono::milliseconds(300) || now - mLast < std::chrono::milliseconds(100)) return;
  mLast = now;
  double elapsed = std::chrono::duration<double>(now - mStart).count();
  long left = std::lround(elapsed * (1.0 - std::min(stepDone, 1.0)) / stepDone);
  char text[160];
  int n = std::snprintf(text, sizeof text, "%s: bar %lld of %lld, %ld:%02ld left", mWhat.c_str(),
                        static_cast<long long>(static_cast<double>(done) / mSamplesPerBar),
                        static_cast<long long>(std::ceil(static_cast<double>(total) / mSamplesPerBar - 1e-9)),
                        left / 60, left % 60);
  size_t len = n < 0 ? 0 : static_cast<size_t>(n) < sizeof text ? static_cast<size_t>(n) : sizeof text - 1;
  // Blanks over what a longer line left.
  std::fprintf(stderr, "\r%s%*s", text, mDrawn > len ? static_cast<int>(mDrawn - len) : 0, "");
  std::fflush(stderr);
  mDrawn = len > mDrawn ? len : mDrawn;
}

void ProgressLine::Done()
{
  if (mDrawn == 0) return;
  std::fprintf(stderr, "\r%*s\r", static_cast<int>(mDrawn), "");
  std::fflush(stderr);
  mDrawn = 0;
}
