#pragma once
// Counts what would make the calling thread wait: mutex and read-write lock
// acquisitions (tries included), condition and semaphore waits, and sleeps,
// made through the C library on this thread while a Scope is active. The
// program's own definitions of those functions stand in front of the C
// library's and pass every call on. Under ThreadSanitizer its interceptors
// come first and nothing is counted: Available() says so.

#include <cstddef>

namespace lockrecord {
bool Available();

class Scope {
public:
  Scope();
  ~Scope();
  // Waits counted on this thread since the scope began.
  std::size_t Count() const;
  // The last lock object waited on (null for none), to name it in a failure.
  const void* Last() const;
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

private:
  std::size_t mStart;
  bool mWasActive;
};

// Nothing is counted while it lives (a host's own work inside a counted call).
class Pause {
public:
  Pause();
  ~Pause();
  Pause(const Pause&) = delete;
  Pause& operator=(const Pause&) = delete;

private:
  bool mWasActive;
};
} // namespace lockrecord
