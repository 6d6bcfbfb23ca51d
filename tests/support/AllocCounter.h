#pragma once
// Counts heap allocations and frees made through operator new and delete on
// the calling thread while a scope is active: the proof that a code path
// allocates (and frees) nothing once warm.

#include <cstddef>

namespace alloccount {
// Allocations counted on this thread since the innermost active Scope began.
std::size_t Count();

class Scope {
public:
  Scope();
  ~Scope();
  std::size_t Allocations() const;
  std::size_t Frees() const;
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

private:
  std::size_t mStart;
  std::size_t mStartFrees;
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
} // namespace alloccount
