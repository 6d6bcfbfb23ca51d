// The drawing surface without a native device context: plain memory in the same
// pixel format as the Windows DIB section (top-down, span = width).
#include "LiceBitmap.h"

#include <cstdlib>

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
  std::free(mBits);
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
  // Zeroed by the allocator: a large block comes as fresh zero pages, which cost
  // nothing until the first draw touches them (an editor makes its surface
  // before its window first draws).
  mBits = static_cast<LICE_pixel*>(std::calloc((size_t)w * h, sizeof(LICE_pixel)));
  if (!mBits) return false;
  mWidth = w;
  mHeight = h;
  return true;
}
