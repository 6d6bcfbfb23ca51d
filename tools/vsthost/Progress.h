#pragma once
// The render tool's progress line: bars done of the total and the time left,
// redrawn in place on standard error while a long step runs, and wiped when it
// ends. Drawn only where standard error is a terminal, so logs and pipes get
// nothing of it.
//
// Thread: the caller's.

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

// Whether standard error goes to a terminal (Progress_posix.cpp, Progress_win32.cpp).
bool StderrIsTerminal();

class ProgressLine {
public:
  // `what` names the step ("rendering"); nothing is drawn unless enabled.
  ProgressLine(std::string what, double samplesPerBar, bool enabled);
  ~ProgressLine() { Done(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // `done` of `total` samples, and how much of the whole step that is (0..1: a step
  // may go over the samples more than once); redraws at most ten times a second,
  // the first time a little after the step began.
  void Update(int64_t done, int64_t total, double stepDone);
  void Update(int64_t done, int64_t total) { Update(done, total, total > 0 ? double(done) / double(total) : 0.0); }
  // Names what the step does from now on.
  void Rename(std::string what) { mWhat = std::move(what); }
  // Wipes the line if one was drawn.
  void Done();

private:
  std::string mWhat;
  double mSamplesPerBar;
  bool mEnabled;
  size_t mDrawn = 0; // characters on the line
  std::chrono::steady_clock::time_point mStart, mLast;
};
