#pragma once
// Text rasteriser of the bitmap layer: draws UTF-8 text into a bitmap and
// measures it. Linux uses FreeType with the face found through fontconfig
// ("Arial" resolves to a metric-compatible face such as Liberation Sans). On
// Windows text is drawn with GDI on the surface's device context by the window
// layer; these functions are stubs there (drawing fails, widths are 0).
//
// Layout follows the native text call the editor is designed for: `size` is the
// height of a text line in pixels (ascent plus descent), lines break only at
// '\n', each line is aligned inside the rectangle's width, the first line's top
// is the rectangle's top, and nothing is clipped to the rectangle (only to the
// bitmap).
//
// Thread: any; faces are shared behind a process-wide mutex of the rasteriser's
// own, taken inside each call.

#include "LiceBitmap.h"

enum { LICE_TEXT_ALIGN_LEFT = 0, LICE_TEXT_ALIGN_CENTER = 1, LICE_TEXT_ALIGN_RIGHT = 2 };
enum { LICE_TEXT_NORMAL = 0, LICE_TEXT_BOLD = 1, LICE_TEXT_ITALIC = 2 };

struct LICE_TextFormat {
  const char* face = "Arial"; // family name
  int size = 14;              // line height in pixels
  int style = LICE_TEXT_NORMAL;
  int align = LICE_TEXT_ALIGN_LEFT;
  LICE_pixel color = 0xFF000000; // drawn with its alpha as weight
};

// Draws `text` into the rectangle (l, t)-(r, b). False when no face could be
// loaded for the format or the text is empty; true otherwise.
bool LICE_DrawText(LICE_IBitmap* dest, const char* text, int l, int t, int r, int b, const LICE_TextFormat& format);

// Width of the widest line and total height of the text, in pixels. False (and 0,
// 0) when no face could be loaded.
bool LICE_MeasureText(const char* text, const LICE_TextFormat& format, int* width, int* height);
