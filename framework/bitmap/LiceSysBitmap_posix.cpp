// The drawing surface without a native device context: plain memory in the same
// pixel format as the Windows DIB section (top-down, span = width).
#include "LiceBitmap.h"

#include <cstring>
#include <new>

LICE_SysBitmap::LICE_SysBitmap(int w, int h)
{
  Resize(w, h);
}

LICE_SysBitmap::~LICE_SysBitmap()
{
  FreePixels();
}

void LICE_SysBitmap::FreePixels()
{
  delete[] mBits;
  mBits = nullptr;
  mWidth = mHeight = 0;
  // No native objects on this system.
  mDC = nullptr;
  mSection = mOldObject = nullptr;
}

bool LICE_SysBitmap::Resize(int w, int h)
{
  if (w == mWidth && h == mHeight && w >= 0 && h >= 0) return true;
  FreePixels();
  if (w < 0 || h < 0) return false;
  if (w == 0 || h == 0) return true;
  if ((int64_t)w * h > LICE_MAX_PIXELS) return false;
  mBits = new (std::nothrow) LICE_pixel[(size_t)w * h];
  if (!mBits) return false;
  std::memset(mBits, 0, (size_t)w * h * sizeof(LICE_pixel));
  mWidth = w;
  mHeight = h;
  return true;
}
