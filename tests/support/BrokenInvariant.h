#pragma once
// A broken invariant that a host call can reach (TAV_CHECK): a debug build
// stops there with the check's text; any other build reports the text on
// stderr and goes on, and `safe` must hold after the statement. Each case runs
// in a child process, so every check reports as if for the first time.

#include <gtest/gtest.h>

#include <cstdlib>

#ifdef NDEBUG
#define EXPECT_CHECK_FAILS(statement, safe, text) \
  EXPECT_EXIT({ statement; std::exit((safe) ? 0 : 1); }, ::testing::ExitedWithCode(0), text)
#else
#define EXPECT_CHECK_FAILS(statement, safe, text) EXPECT_DEATH({ statement; (void)(safe); }, text)
#endif
