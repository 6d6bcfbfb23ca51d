// The invariant reports go to the process's standard error handle: no C
// runtime lock.
#include "Assert.h"

#include <windows.h>

void TavWriteError(const char* text, int length)
{
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD written = 0;
  if (err && err != INVALID_HANDLE_VALUE && length > 0) WriteFile(err, text, static_cast<DWORD>(length), &written, nullptr);
}
