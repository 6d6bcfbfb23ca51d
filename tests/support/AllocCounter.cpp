#include "AllocCounter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool tActive = false;
thread_local std::size_t tCount = 0;

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
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace alloccount {
std::size_t Count() { return tCount; }

Scope::Scope() : mStart(tCount), mWasActive(tActive) { tActive = true; }
Scope::~Scope() { tActive = mWasActive; }
std::size_t Scope::Allocations() const { return tCount - mStart; }
} // namespace alloccount
