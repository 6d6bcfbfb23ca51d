#pragma once
// Copies a text into a fixed field of `size` bytes: cut to size - 1 bytes and
// always terminated. A null text gives an empty field.
// Thread: any. Lock: none.

#include <cstring>

inline void CopyField(char* dst, const char* src, int size)
{
  if (!dst || size <= 0) return;
  if (!src) src = "";
  const void* end = std::memchr(src, 0, static_cast<size_t>(size - 1));
  const size_t n = end ? static_cast<size_t>(static_cast<const char*>(end) - src) : static_cast<size_t>(size - 1);
  std::memmove(dst, src, n);
  dst[n] = '\0';
}
