// On Windows the window layer draws text with GDI on the surface's own device
// context; the bitmap layer's rasteriser is not used there.
#include "LiceText.h"

bool LICE_DrawText(LICE_IBitmap*, const char*, int, int, int, int, const LICE_TextFormat&)
{
  return false;
}

bool LICE_MeasureText(const char*, const LICE_TextFormat&, int* width, int* height)
{
  if (width) *width = 0;
  if (height) *height = 0;
  return false;
}
