#include "Assert.h"

#include <cstdio>
#include <cstdlib>

namespace {
void Report(const char* condition, const char* file, int line, const char* after)
{
  char text[512];
  const int n = std::snprintf(text, sizeof text, "Assertion failed: %s, file %s, line %d%s\n", condition, file, line, after);
  if (n > 0) TavWriteError(text, n < static_cast<int>(sizeof text) ? n : static_cast<int>(sizeof text) - 1);
}
} // namespace

void TavAssertFailed(const char* condition, const char* file, int line)
{
  Report(condition, file, line, "");
  std::abort();
}

bool TavCheckFailed(const char* condition, const char* file, int line, std::atomic<bool>& reported)
{
#ifndef NDEBUG
  (void)reported;
  TavAssertFailed(condition, file, line);
#else
  if (!reported.exchange(true, std::memory_order_relaxed))
    Report(condition, file, line, " (reported once; going on with a safe value)");
  return false;
#endif
}
