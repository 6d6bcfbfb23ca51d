// Copies between bitmaps: plain, scaled and rotated blits, whole copies and the
// scaled/cropped copies the image cache holds.
#include "LiceBlend.h"
#include "LiceDraw.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace lice {

PixelFn SelectPixelFn(int mode)
{
  const bool useAlpha = (mode & LICE_BLIT_USE_ALPHA) != 0;
  switch (mode & LICE_BLIT_MODE_MASK) {
  case LICE_BLIT_MODE_ADD:
    return useAlpha ? BlendPixelFn<LICE_BLIT_MODE_ADD, true> : BlendPixelFn<LICE_BLIT_MODE_ADD, false>;
  case LICE_BLIT_MODE_DODGE:
    return useAlpha ? BlendPixelFn<LICE_BLIT_MODE_DODGE, true> : BlendPixelFn<LICE_BLIT_MODE_DODGE, false>;
  default:
    return useAlpha ? BlendPixelFn<LICE_BLIT_MODE_COPY, true> : BlendPixelFn<LICE_BLIT_MODE_COPY, false>;
  }
}

RowFn SelectRowFn(int mode, bool solid)
{
  const bool useAlpha = (mode & LICE_BLIT_USE_ALPHA) != 0;
  switch (mode & LICE_BLIT_MODE_MASK) {
  case LICE_BLIT_MODE_ADD:
    if (solid)
      return useAlpha ? BlendRowFn<LICE_BLIT_MODE_ADD, true, true> : BlendRowFn<LICE_BLIT_MODE_ADD, false, true>;
    return useAlpha ? BlendRowFn<LICE_BLIT_MODE_ADD, true, false> : BlendRowFn<LICE_BLIT_MODE_ADD, false, false>;
  case LICE_BLIT_MODE_DODGE:
    if (solid)
      return useAlpha ? BlendRowFn<LICE_BLIT_MODE_DODGE, true, true> : BlendRowFn<LICE_BLIT_MODE_DODGE, false, true>;
    return useAlpha ? BlendRowFn<LICE_BLIT_MODE_DODGE, true, false> : BlendRowFn<LICE_BLIT_MODE_DODGE, false, false>;
  default:
    if (solid)
      return useAlpha ? BlendRowFn<LICE_BLIT_MODE_COPY, true, true> : BlendRowFn<LICE_BLIT_MODE_COPY, false, true>;
    return useAlpha ? BlendRowFn<LICE_BLIT_MODE_COPY, true, false> : BlendRowFn<LICE_BLIT_MODE_COPY, false, false>;
  }
}

} // namespace lice

using namespace lice;

namespace {

inline LICE_pixel* Row(const LICE_IBitmap* bm, int y)
{
  return bm->GetBits() + (size_t)y * (size_t)bm->GetRowSpan();
}

inline int Channel(LICE_pixel p, int shift) { return (int)((p >> shift) & 0xFF); }

// Interpolates four pixels; fx, fy in 0..256 weigh the right and lower ones.
inline LICE_pixel Bilerp(LICE_pixel p00, LICE_pixel p01, LICE_pixel p10, LICE_pixel p11, int fx, int fy)
{
  const int ifx = 256 - fx;
  const int ify = 256 - fy;
  LICE_pixel out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int top = Channel(p00, shift) * ifx + Channel(p01, shift) * fx;
    const int bottom = Channel(p10, shift) * ifx + Channel(p11, shift) * fx;
    out |= (LICE_pixel)((top * ify + bottom * fy + 32768) >> 16) << shift;
  }
  return out;
}

// Where a source rectangle can be sampled: its intersection with the bitmap.
struct SampleArea {
  int x0, y0, x1, y1; // inclusive-exclusive pixel range
};

bool MakeSampleArea(const LICE_IBitmap* src, double sx, double sy, double sw, double sh, SampleArea* area)
{
  const double fx0 = std::max(0.0, std::floor(sx));
  const double fy0 = std::max(0.0, std::floor(sy));
  const double fx1 = std::min((double)src->GetWidth(), std::ceil(sx + sw));
  const double fy1 = std::min((double)src->GetHeight(), std::ceil(sy + sh));
  if (!(fx1 > fx0) || !(fy1 > fy0)) return false;
  area->x0 = (int)fx0;
  area->y0 = (int)fy0;
  area->x1 = (int)fx1;
  area->y1 = (int)fy1;
  return true;
}

inline int ClampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// One sample at source position (u, v), measured in pixels from the bitmap's
// top-left corner (pixel centres at +0.5).
struct Sampler {
  const LICE_IBitmap* src;
  SampleArea area;
  bool bilinear;

  LICE_pixel At(double u, double v) const
  {
    if (!bilinear) {
      const int x = ClampInt((int)std::floor(u), area.x0, area.x1 - 1);
      const int y = ClampInt((int)std::floor(v), area.y0, area.y1 - 1);
      return Row(src, y)[x];
    }
    const double bu = u - 0.5;
    const double bv = v - 0.5;
    const double fu = std::floor(bu);
    const double fv = std::floor(bv);
    const int fx = (int)((bu - fu) * 256.0 + 0.5);
    const int fy = (int)((bv - fv) * 256.0 + 0.5);
    const int xa = ClampInt((int)fu, area.x0, area.x1 - 1);
    const int xb = ClampInt((int)fu + 1, area.x0, area.x1 - 1);
    const int ya = ClampInt((int)fv, area.y0, area.y1 - 1);
    const int yb = ClampInt((int)fv + 1, area.y0, area.y1 - 1);
    const LICE_pixel* ra = Row(src, ya);
    const LICE_pixel* rb = Row(src, yb);
    return Bilerp(ra[xa], ra[xb], rb[xa], rb[xb], fx, fy);
  }
};

// Source coordinates far outside any bitmap are clamped before conversion.
inline double ClampCoord(double v) { return std::max(-1.0e9, std::min(1.0e9, v)); }

} // namespace

void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw,
               int srch, float alpha, int mode)
{
  if (!dest || !src || !src->GetBits()) return; // an image without pixels draws nothing
  const int w = WeightFromAlpha(alpha);
  if (w == 0) return;
  long long dx = dstx, dy = dsty, sx = srcx, sy = srcy, cw = srcw, ch = srch;
  // Clip against the source...
  if (sx < 0) { dx -= sx; cw += sx; sx = 0; }
  if (sy < 0) { dy -= sy; ch += sy; sy = 0; }
  cw = std::min(cw, (long long)src->GetWidth() - sx);
  ch = std::min(ch, (long long)src->GetHeight() - sy);
  // ...then against the destination.
  if (dx < 0) { sx -= dx; cw += dx; dx = 0; }
  if (dy < 0) { sy -= dy; ch += dy; dy = 0; }
  cw = std::min(cw, (long long)dest->GetWidth() - dx);
  ch = std::min(ch, (long long)dest->GetHeight() - dy);
  if (cw <= 0 || ch <= 0) return;

  const RowFn blend = SelectRowFn(mode, false);
  const int n = (int)cw;
  if (dest != src) {
    for (long long r = 0; r < ch; ++r)
      blend(Row(dest, (int)(dy + r)) + dx, Row(src, (int)(sy + r)) + sx, n, w);
    return;
  }
  // Same bitmap: go through a row copy, and visit rows so that no source row is
  // overwritten before it is read.
  std::vector<LICE_pixel> tmp((size_t)n);
  const bool upward = dy > sy;
  for (long long i = 0; i < ch; ++i) {
    const long long r = upward ? ch - 1 - i : i;
    std::memcpy(tmp.data(), Row(src, (int)(sy + r)) + sx, (size_t)n * sizeof(LICE_pixel));
    blend(Row(dest, (int)(dy + r)) + dx, tmp.data(), n, w);
  }
}

void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int x, int y, float alpha, int mode)
{
  if (!src) return;
  LICE_Blit(dest, src, x, y, 0, 0, src->GetWidth(), src->GetHeight(), alpha, mode);
}

void LICE_ScaledBlit(LICE_IBitmap* dest, const LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                     float srcy, float srcw, float srch, float alpha, int mode)
{
  if (!dest || !src || dest == src || !src->GetBits()) return;
  const int w = WeightFromAlpha(alpha);
  if (w == 0 || dstw <= 0 || dsth <= 0) return;
  if (!Finite(srcx) || !Finite(srcy) || !Finite(srcw) || !Finite(srch) || !(srcw > 0) || !(srch > 0)) return;
  Sampler sampler{src, {}, (mode & LICE_BLIT_FILTER_BILINEAR) != 0};
  if (!MakeSampleArea(src, srcx, srcy, srcw, srch, &sampler.area)) return;

  const long long x0 = std::max(0LL, (long long)dstx);
  const long long y0 = std::max(0LL, (long long)dsty);
  const long long x1 = std::min((long long)dest->GetWidth(), (long long)dstx + dstw);
  const long long y1 = std::min((long long)dest->GetHeight(), (long long)dsty + dsth);
  if (x1 <= x0 || y1 <= y0) return;

  const double scaleX = (double)srcw / dstw;
  const double scaleY = (double)srch / dsth;
  const int n = (int)(x1 - x0);
  std::vector<double> us((size_t)n);
  for (int i = 0; i < n; ++i) us[(size_t)i] = ClampCoord(srcx + ((double)(x0 + i - dstx) + 0.5) * scaleX);
  std::vector<LICE_pixel> row((size_t)n);
  const RowFn blend = SelectRowFn(mode, false);
  for (long long y = y0; y < y1; ++y) {
    const double v = ClampCoord(srcy + ((double)(y - dsty) + 0.5) * scaleY);
    for (int i = 0; i < n; ++i) row[(size_t)i] = sampler.At(us[(size_t)i], v);
    blend(Row(dest, (int)y) + x0, row.data(), n, w);
  }
}

void LICE_RotatedBlit(LICE_IBitmap* dest, const LICE_IBitmap* src, float dstx, float dsty, float dstw, float dsth,
                      float srcx, float srcy, float srcw, float srch, float angle, float alpha, int mode)
{
  if (!dest || !src || dest == src || !src->GetBits()) return;
  const int w = WeightFromAlpha(alpha);
  if (w == 0 || !(dstw > 0) || !(dsth > 0)) return;
  if (!Finite(dstx) || !Finite(dsty) || !Finite(dstw) || !Finite(dsth) || std::fabs(dstx) > 1.0e9f ||
      std::fabs(dsty) > 1.0e9f || dstw > 1.0e9f || dsth > 1.0e9f)
    return;
  if (!Finite(srcx) || !Finite(srcy) || !Finite(srcw) || !Finite(srch) || !Finite(angle) || !(srcw > 0) ||
      !(srch > 0))
    return;
  Sampler sampler{src, {}, (mode & LICE_BLIT_FILTER_BILINEAR) != 0};
  if (!MakeSampleArea(src, srcx, srcy, srcw, srch, &sampler.area)) return;

  const double c = std::cos((double)angle);
  const double s = std::sin((double)angle);
  const double hw = dstw * 0.5;
  const double hh = dsth * 0.5;
  const double cx = (double)dstx + hw;
  const double cy = (double)dsty + hh;
  // Bounding box of the turned rectangle.
  const double bx = std::fabs(c) * hw + std::fabs(s) * hh;
  const double by = std::fabs(s) * hw + std::fabs(c) * hh;
  const long long x0 = std::max(0LL, (long long)std::floor(cx - bx));
  const long long y0 = std::max(0LL, (long long)std::floor(cy - by));
  const long long x1 = std::min((long long)dest->GetWidth(), (long long)std::ceil(cx + bx));
  const long long y1 = std::min((long long)dest->GetHeight(), (long long)std::ceil(cy + by));
  if (x1 <= x0 || y1 <= y0) return;

  const double scaleX = (double)srcw / (double)dstw;
  const double scaleY = (double)srch / (double)dsth;
  const PixelFn blend = SelectPixelFn(mode);
  for (long long y = y0; y < y1; ++y) {
    LICE_pixel* d = Row(dest, (int)y);
    const double ry = (double)y + 0.5 - cy;
    for (long long x = x0; x < x1; ++x) {
      const double rx = (double)x + 0.5 - cx;
      // Turn back by the angle to find the point in the unturned rectangle.
      const double ux = rx * c + ry * s;
      const double uy = ry * c - rx * s;
      if (ux < -hw || ux >= hw || uy < -hh || uy >= hh) continue;
      const LICE_pixel p = sampler.At(srcx + (ux + hw) * scaleX, srcy + (uy + hh) * scaleY);
      blend(d + x, p, w);
    }
  }
}

bool LICE_Copy(LICE_IBitmap* dest, const LICE_IBitmap* src)
{
  if (!dest || !src) return false;
  if (dest == src) return true;
  const int w = src->GetWidth();
  const int h = src->GetHeight();
  if (w > 0 && h > 0 && !src->GetBits()) return false;
  if (!dest->Resize(w, h)) return false;
  for (int y = 0; y < h; ++y) std::memcpy(Row(dest, y), Row(src, y), (size_t)w * sizeof(LICE_pixel));
  return true;
}

LICE_MemBitmap* LICE_CreateScaledCopy(const LICE_IBitmap* src, int w, int h)
{
  if (!src || w <= 0 || h <= 0) return nullptr;
  LICE_MemBitmap* bm = new (std::nothrow) LICE_MemBitmap();
  if (!bm || !bm->Resize(w, h)) {
    delete bm;
    return nullptr;
  }
  LICE_ScaledBlit(bm, src, 0, 0, w, h, 0.0f, 0.0f, (float)src->GetWidth(), (float)src->GetHeight(), 1.0f,
                  LICE_BLIT_MODE_COPY | LICE_BLIT_FILTER_BILINEAR);
  return bm;
}

LICE_MemBitmap* LICE_CreateCroppedCopy(const LICE_IBitmap* src, int x, int y, int w, int h)
{
  if (!src || w <= 0 || h <= 0) return nullptr;
  LICE_MemBitmap* bm = new (std::nothrow) LICE_MemBitmap();
  if (!bm || !bm->Resize(w, h)) {
    delete bm;
    return nullptr;
  }
  LICE_Blit(bm, src, 0, 0, x, y, w, h, 1.0f, LICE_BLIT_MODE_COPY);
  return bm;
}

namespace {

// The source pixels each of n new pixels covers along an axis of srcN
// pixels, with the part of each that falls inside (the weights add up to 1).
struct AreaTap {
  int first = 0;
  std::vector<double> weights;
};

std::vector<AreaTap> AreaTaps(int srcN, int n)
{
  std::vector<AreaTap> taps((size_t)n);
  const double step = (double)srcN / n;
  for (int i = 0; i < n; ++i) {
    const double a = i * step, b = (i + 1) * step;
    AreaTap& t = taps[(size_t)i];
    t.first = std::min(srcN - 1, (int)std::floor(a));
    for (int j = t.first; j < srcN && j < b; ++j)
      t.weights.push_back((std::min<double>(b, j + 1) - std::max<double>(a, j)) / step);
  }
  return taps;
}

} // namespace

LICE_MemBitmap* LICE_CreateAreaScaledFrames(const LICE_IBitmap* src, int frames, int w, int frameH)
{
  if (!src || frames < 1 || w <= 0 || frameH <= 0 || !src->GetBits()) return nullptr;
  const int srcW = src->GetWidth(), srcFrameH = src->GetHeight() / frames;
  if (srcW <= 0 || srcFrameH <= 0 || (int64_t)w * frameH * frames > LICE_MAX_PIXELS) return nullptr;
  LICE_MemBitmap* out = new (std::nothrow) LICE_MemBitmap();
  if (!out || !out->Resize(w, frameH * frames)) {
    delete out;
    return nullptr;
  }
  const std::vector<AreaTap> xs = AreaTaps(srcW, w), ys = AreaTaps(srcFrameH, frameH);
  // Premultiplied alpha, blue, green, red of the rows after the horizontal pass.
  std::vector<double> rows((size_t)srcFrameH * w * 4);
  for (int f = 0; f < frames; ++f) {
    for (int sy = 0; sy < srcFrameH; ++sy) {
      const LICE_pixel* s = Row(src, f * srcFrameH + sy);
      double* r = &rows[(size_t)sy * w * 4];
      for (int x = 0; x < w; ++x) {
        double acc[4] = {0, 0, 0, 0};
        const AreaTap& t = xs[(size_t)x];
        for (size_t k = 0; k < t.weights.size(); ++k) {
          const LICE_pixel p = s[t.first + (int)k];
          const double a = LICE_GETA(p) * t.weights[k];
          acc[0] += a;
          acc[1] += LICE_GETB(p) * a;
          acc[2] += LICE_GETG(p) * a;
          acc[3] += LICE_GETR(p) * a;
        }
        std::copy(acc, acc + 4, r + (size_t)x * 4);
      }
    }
    for (int y = 0; y < frameH; ++y) {
      LICE_pixel* d = Row(out, f * frameH + y);
      const AreaTap& t = ys[(size_t)y];
      for (int x = 0; x < w; ++x) {
        double acc[4] = {0, 0, 0, 0};
        for (size_t k = 0; k < t.weights.size(); ++k) {
          const double* r = &rows[((size_t)(t.first + (int)k) * w + x) * 4];
          for (int c = 0; c < 4; ++c) acc[c] += r[c] * t.weights[k];
        }
        auto ch = [&](double v) { return acc[0] > 0 ? ClampInt((int)std::lround(v / acc[0]), 0, 255) : 0; };
        d[x] = LICE_RGBA(ch(acc[3]), ch(acc[2]), ch(acc[1]), ClampInt((int)std::lround(acc[0]), 0, 255));
      }
    }
  }
  return out;
}
