#include "Assert.h"

#include <cstdio>
#include <cstdlib>

void TavAssertFailed(const char* condition, const char* file, int line)
{
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", condition, file, line);
  std::fflush(stderr);
  std::abort();
}
