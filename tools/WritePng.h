#pragma once
// Writes a 32-bit drawing surface to a PNG file, for the tools that render
// pictures of controls and of the editor.
#include "LiceBitmap.h"

#include <png.h>

inline bool WritePNG(const char* path, const LICE_IBitmap* bm)
{
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = (png_uint_32)bm->GetWidth();
  image.height = (png_uint_32)bm->GetHeight();
  image.format = PNG_FORMAT_BGRA; // the surface's byte order in memory
  const int stride = bm->GetRowSpan() * 4;
  return png_image_write_to_file(&image, path, 0, bm->GetBits(), stride, nullptr) != 0;
}
