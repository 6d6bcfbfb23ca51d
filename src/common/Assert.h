#pragma once
// Invariant checks. A failed one reports the condition's text, the source
// family's name (e.g. "src\\Chord") and the line on stderr.
//
// TAV_ASSERT stops the program in every build. It is for what is checked
// while something is built (tables, registrations, the pointers that tie
// objects made together): every run passes there before a host relies on
// the result.
//
// TAV_CHECK guards an invariant that a host call can reach (a block, a
// parameter change, the editor): an expression, true when the condition holds.
// Debug builds (NDEBUG not defined) stop at a failure, as TAV_ASSERT does.
// Other builds report the first failure of each check only and give false;
// the caller then goes on with a safe value (no note, a clamped index), as a
// broken invariant must not end the host's session. The report is written
// straight to the standard error file, without stdio's lock or any
// allocation, so the audio thread may meet one too.
//
// Thread: any. Lock: none.

#include <atomic>

[[noreturn]] void TavAssertFailed(const char* condition, const char* file, int line);
// A failed TAV_CHECK: stops in debug builds; else reports unless `reported`
// was set already, and returns false.
bool TavCheckFailed(const char* condition, const char* file, int line, std::atomic<bool>& reported);
// Writes the text to the standard error file as it is (platform part).
void TavWriteError(const char* text, int length);

#define TAV_ASSERT(cond, file) \
  do { if (!(cond)) TavAssertFailed(#cond, file, __LINE__); } while (0)

// One flag per check: a function-local static, constant-initialised (no guard).
#define TAV_CHECK(cond, file)                                                                \
  (static_cast<bool>(cond) ||                                                                \
   TavCheckFailed(#cond, file, __LINE__, []() -> std::atomic<bool>& {                        \
     static std::atomic<bool> reported{false};                                               \
     return reported;                                                                        \
   }()))
