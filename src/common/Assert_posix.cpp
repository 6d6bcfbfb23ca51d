// The invariant reports go to file descriptor 2 in one write: no stdio lock.
#include "Assert.h"

#include <unistd.h>

void TavWriteError(const char* text, int length)
{
  while (length > 0) {
    const ssize_t n = write(STDERR_FILENO, text, static_cast<size_t>(length));
    if (n <= 0) return;
    text += n;
    length -= static_cast<int>(n);
  }
}
