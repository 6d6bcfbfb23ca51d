#pragma once
// Pixel arithmetic shared by the drawing operations (internal to the bitmap
// layer). The formulas are documented in LiceDraw.h.

#include "LiceBitmap.h"
#include "LiceDraw.h"

#include <cmath>

namespace lice {

// Weight 0..1 to 0..256; NaN and negatives give 0.
inline int WeightFromAlpha(float alpha)
{
  if (!(alpha > 0.0f)) return 0;
  if (alpha >= 1.0f) return 256;
  return (int)(alpha * 256.0f + 0.5f);
}

inline int Min255(int v) { return v > 255 ? 255 : v; }

inline int DodgeChannel(int d, int s)
{
  if (s == 255) return d ? 255 : 0;
  return Min255(d * 255 / (255 - s));
}

// Blends source pixel s into *d with weight w (0..256).
template <int Mode, bool UseAlpha>
inline void BlendPixel(LICE_pixel* d, LICE_pixel s, int w)
{
  int k = w;
  if (UseAlpha) {
    const int sa = (int)(s >> 24);
    k = (w * (sa + (sa >> 7))) >> 8;
  }
  if (k <= 0) return;
  const LICE_pixel dv = *d;
  if (Mode == LICE_BLIT_MODE_COPY && k >= 256) {
    *d = s;
    return;
  }
  const int ik = 256 - k;
  LICE_pixel out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int dc = (int)((dv >> shift) & 0xFF);
    const int sc = (int)((s >> shift) & 0xFF);
    int c;
    if (Mode == LICE_BLIT_MODE_ADD)
      c = Min255(dc + ((sc * k + 128) >> 8));
    else if (Mode == LICE_BLIT_MODE_DODGE)
      c = (dc * ik + DodgeChannel(dc, sc) * k + 128) >> 8;
    else
      c = (dc * ik + sc * k + 128) >> 8;
    out |= (LICE_pixel)c << shift;
  }
  const int da = (int)(dv >> 24);
  const int sa = (int)(s >> 24);
  int a;
  if (UseAlpha)
    a = da + (((255 - da) * k + 128) >> 8);
  else if (Mode == LICE_BLIT_MODE_ADD)
    a = Min255(da + ((sa * k + 128) >> 8));
  else if (Mode == LICE_BLIT_MODE_DODGE)
    a = (da * ik + DodgeChannel(da, sa) * k + 128) >> 8;
  else
    a = (da * ik + sa * k + 128) >> 8;
  *d = out | ((LICE_pixel)a << 24);
}

typedef void (*PixelFn)(LICE_pixel* d, LICE_pixel s, int w);
// Blends n source pixels (or n times s[0] for the solid variant) into d.
typedef void (*RowFn)(LICE_pixel* d, const LICE_pixel* s, int n, int w);

template <int Mode, bool UseAlpha>
void BlendPixelFn(LICE_pixel* d, LICE_pixel s, int w)
{
  BlendPixel<Mode, UseAlpha>(d, s, w);
}

template <int Mode, bool UseAlpha, bool Solid>
void BlendRowFn(LICE_pixel* d, const LICE_pixel* s, int n, int w)
{
  if (Mode == LICE_BLIT_MODE_COPY && w >= 256) {
    if (!UseAlpha) {
      for (int i = 0; i < n; ++i) d[i] = Solid ? s[0] : s[i];
      return;
    }
    // Weight 1 with source alpha: opaque pixels are stored, clear ones skipped.
    for (int i = 0; i < n; ++i) {
      const LICE_pixel p = Solid ? s[0] : s[i];
      const LICE_pixel a = p >> 24;
      if (a == 255)
        d[i] = p;
      else if (a)
        BlendPixel<Mode, true>(d + i, p, 256);
    }
    return;
  }
  for (int i = 0; i < n; ++i) BlendPixel<Mode, UseAlpha>(d + i, Solid ? s[0] : s[i], w);
}

PixelFn SelectPixelFn(int mode);
RowFn SelectRowFn(int mode, bool solid);

inline bool Finite(double v) { return std::isfinite(v); }

} // namespace lice
