#include "LiceBitmap.h"

#include <cstring>
#include <new>

LICE_MemBitmap::LICE_MemBitmap(int w, int h, int rowAlign) : mAlign(rowAlign > 0 ? rowAlign : 1)
{
  Resize(w, h);
}

LICE_MemBitmap::~LICE_MemBitmap()
{
  delete[] mBits;
}

bool LICE_MemBitmap::Resize(int w, int h)
{
  if (w == mWidth && h == mHeight && w >= 0 && h >= 0) return true;
  if (w <= 0 || h <= 0) {
    mWidth = mHeight = mSpan = 0;
    return w >= 0 && h >= 0;
  }
  const int64_t span = ((int64_t)w + mAlign - 1) / mAlign * mAlign;
  if ((int64_t)w * h > LICE_MAX_PIXELS || span * h > 2 * LICE_MAX_PIXELS) {
    mWidth = mHeight = mSpan = 0;
    return false;
  }
  const size_t need = (size_t)(span * h);
  if (need > mCapacity) {
    LICE_pixel* bits = new (std::nothrow) LICE_pixel[need];
    if (!bits) {
      mWidth = mHeight = mSpan = 0;
      return false;
    }
    delete[] mBits;
    mBits = bits;
    mCapacity = need;
  }
  mWidth = w;
  mHeight = h;
  mSpan = (int)span;
  std::memset(mBits, 0, need * sizeof(LICE_pixel));
  return true;
}
