#pragma once
// Growable byte buffer for plug-in state, programs and the pattern's serialised
// form. Values are stored little-endian (the native order on every target) with
// no tags: each reader knows the order of the fields it expects.
//
// Read(value, pos) returns -1 when pos < 0 or the value does not fit, so a -1
// carries through any chain of reads and can be tested once at the end.
//
// Thread: whichever thread owns the chunk; no lock of its own.

#include <cstdint>
#include <cstring>
#include <vector>

class IStateChunk {
public:
  static constexpr int GROWTH = 4096;

  IStateChunk() = default;

  int Append(int32_t v) { return AppendBytes(&v, 4); }
  int Append(double v) { return AppendBytes(&v, 8); }
  int Append(bool v) { uint8_t b = v ? 1 : 0; return AppendBytes(&b, 1); }

  int Read(int32_t& v, int pos) const { return ReadBytes(&v, 4, pos); }
  int Read(double& v, int pos) const { return ReadBytes(&v, 8, pos); }
  int Read(bool& v, int pos) const
  {
    uint8_t b = 0;
    int r = ReadBytes(&b, 1, pos);
    if (r >= 0) v = (b != 0);
    return r;
  }

  // Appends n raw bytes; returns the new size (> 0 on success), 0 on failure.
  int AppendBytes(const void* src, int n)
  {
    if (n < 0 || (n > 0 && !src)) return 0;
    if (n > INT32_MAX - mSize) return 0;
    Reserve(mSize + n);
    if (n > 0) std::memcpy(mBytes.data() + mSize, src, static_cast<size_t>(n));
    mSize += n;
    return mSize;
  }

  // Copies n bytes out from pos; returns pos + n, or -1 when they are not all there.
  int ReadBytes(void* dst, int n, int pos) const
  {
    if (pos < 0 || n < 0 || n > mSize - pos) return -1;
    if (n > 0) std::memcpy(dst, mBytes.data() + pos, static_cast<size_t>(n));
    return pos + n;
  }

  // Sets the content to a copy of n bytes (a host's chunk). Returns the size.
  int Assign(const void* src, int n)
  {
    Clear();
    return AppendBytes(src, n);
  }

  int Size() const { return mSize; }
  int Capacity() const { return static_cast<int>(mBytes.size()); }
  void Clear() { mSize = 0; }
  const uint8_t* GetBytes() const { return mBytes.data(); }
  uint8_t* GetBytes() { return mBytes.data(); }

  // Makes room for n bytes in whole steps of the growth granularity.
  void Reserve(int n)
  {
    if (n <= Capacity()) return;
    int64_t cap = (static_cast<int64_t>(n) + GROWTH - 1) / GROWTH * GROWTH;
    if (cap > INT32_MAX) cap = INT32_MAX;
    mBytes.resize(static_cast<size_t>(cap));
  }

private:
  std::vector<uint8_t> mBytes;
  int mSize = 0;
};
