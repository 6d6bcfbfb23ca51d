#pragma once
// Always-on invariant check. Reports the condition's text, the source family's
// name (e.g. "src\\Chord") and the line, then stops the program. It stays on in
// release builds: the invariants it guards are programming errors, and running on
// with a broken pattern would corrupt the host's project.
//
// Thread: any. Lock: none.

[[noreturn]] void TavAssertFailed(const char* condition, const char* file, int line);

#define TAV_ASSERT(cond, file) \
  do { if (!(cond)) TavAssertFailed(#cond, file, __LINE__); } while (0)
