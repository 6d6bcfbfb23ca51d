#pragma once
// Counts heap allocations made through operator new on the calling thread while
// a scope is active: the proof that a code path allocates nothing once warm.

#include <cstddef>

namespace alloccount {
// Allocations counted on this thread since the innermost active Scope began.
std::size_t Count();

class Scope {
public:
  Scope();
  ~Scope();
  std::size_t Allocations() const;
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

private:
  std::size_t mStart;
  bool mWasActive;
};
} // namespace alloccount
