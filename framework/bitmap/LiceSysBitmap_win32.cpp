// The drawing surface on Windows: a top-down 32-bit DIB section selected into a
// memory device context of its own, so GDI text and BitBlt work on the pixels.
#include "LiceBitmap.h"

#include <windows.h>

LICE_SysBitmap::LICE_SysBitmap(int w, int h)
{
  mDC = CreateCompatibleDC(nullptr);
  Resize(w, h);
}

LICE_SysBitmap::~LICE_SysBitmap()
{
  FreePixels();
  if (mDC) DeleteDC((HDC)mDC);
}

void LICE_SysBitmap::FreePixels()
{
  if (mSection) {
    if (mDC && mOldObject) SelectObject((HDC)mDC, (HGDIOBJ)mOldObject);
    DeleteObject((HGDIOBJ)mSection);
  }
  mSection = nullptr;
  mOldObject = nullptr;
  mBits = nullptr;
  mWidth = mHeight = 0;
}

bool LICE_SysBitmap::Resize(int w, int h)
{
  if (w == mWidth && h == mHeight && w >= 0 && h >= 0) return true;
  FreePixels();
  if (w < 0 || h < 0) return false;
  if (w == 0 || h == 0) return true;
  if ((int64_t)w * h > LICE_MAX_PIXELS || !mDC) return false;

  BITMAPINFO bmi;
  ZeroMemory(&bmi, sizeof(bmi));
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = w;
  bmi.bmiHeader.biHeight = -h; // negative: rows top-down
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection((HDC)mDC, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section || !bits) {
    if (section) DeleteObject(section);
    return false;
  }
  mSection = section;
  mOldObject = SelectObject((HDC)mDC, section);
  mBits = (LICE_pixel*)bits;
  mWidth = w;
  mHeight = h;
  // A fresh DIB section is zero-filled by the system.
  return true;
}
