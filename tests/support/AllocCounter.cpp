#include "AllocCounter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool tActive = false;
thread_local std::size_t tCount = 0;
thread_local std::size_t tFrees = 0;

void CountedFree(void* p) noexcept
{
  if (tActive && p) ++tFrees;
  std::free(p);
}

void* CountedAlloc(std::size_t n)
{
  if (tActive) ++tCount;
  if (n == 0) n = 1;
  void* p = std::malloc(n);
  if (!p) throw std::bad_alloc();
  return p;
}
} // namespace

void* operator new(std::size_t n) { return CountedAlloc(n); }
void* operator new[](std::size_t n) { return CountedAlloc(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
  if (tActive) ++tCount;
  return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept
{
  if (tActive) ++tCount;
  return std::malloc(n ? n : 1);
}
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, std::size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedFree(p); }

namespace alloccount {
std::size_t Count() { return tCount; }

Scope::Scope() : mStart(tCount), mStartFrees(tFrees), mWasActive(tActive) { tActive = true; }
Scope::~Scope() { tActive = mWasActive; }
std::size_t Scope::Allocations() const { return tCount - mStart; }
std::size_t Scope::Frees() const { return tFrees - mStartFrees; }

Pause::Pause() : mWasActive(tActive) { tActive = false; }
Pause::~Pause() { tActive = mWasActive; }
} // namespace alloccount
