// Shapes drawn with a colour: pixels, lines, arcs, circles and rectangles.
// Integer coordinates name pixel centres: pixel (x, y) is the point (x, y).
#include "LiceBlend.h"
#include "LiceDraw.h"

#include <algorithm>
#include <climits>
#include <cmath>

using namespace lice;

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double TWO_PI = 2.0 * PI;
// Radii beyond this draw nothing: no such circle can be meant for a bitmap.
constexpr double MAX_RADIUS = 16777216.0;

// Blends a colour into single pixels with per-pixel coverage, skipping pixels
// outside the bitmap.
struct Plotter {
  LICE_IBitmap* bm;
  LICE_pixel color;
  int weight;
  PixelFn blend;
  int width, height, span;
  LICE_pixel* bits;

  Plotter(LICE_IBitmap* b, LICE_pixel c, float alpha, int mode)
    : bm(b), color(c), weight(WeightFromAlpha(alpha)), blend(SelectPixelFn(mode)), width(b->GetWidth()),
      height(b->GetHeight()), span(b->GetRowSpan()), bits(b->GetBits())
  {
  }

  bool Empty() const { return weight == 0 || width <= 0 || height <= 0; }

  // coverage: 0..256
  void Plot(long long x, long long y, int coverage) const
  {
    if (x < 0 || y < 0 || x >= width || y >= height || coverage <= 0) return;
    const int k = coverage >= 256 ? weight : (weight * coverage) >> 8;
    if (k > 0) blend(bits + (size_t)y * (size_t)span + (size_t)x, color, k);
  }
};

inline int Coverage(double f) { return f <= 0.0 ? 0 : (f >= 1.0 ? 256 : (int)(f * 256.0 + 0.5)); }

// Whether the direction of (dx, dy) from the centre lies on the arc that starts
// at `from` and spans `span` radians clockwise (0 = up).
inline bool OnArc(double dx, double dy, double from, double span)
{
  if (span >= TWO_PI) return true;
  double rel = std::fmod(std::atan2(dx, -dy) - from, TWO_PI);
  if (rel < 0.0) rel += TWO_PI;
  return rel <= span;
}

// 8-connected one-pixel circle (midpoint algorithm) about the rounded centre,
// each pixel plotted once.
void RingPixels(const Plotter& p, double cx, double cy, double r, double from, double span)
{
  const long long icx = (long long)std::floor(cx + 0.5);
  const long long icy = (long long)std::floor(cy + 0.5);
  const long long ir = (long long)std::floor(r + 0.5);
  if (ir == 0) {
    p.Plot(icx, icy, 256);
    return;
  }
  // Nothing of the circle can touch the bitmap.
  if (icx + ir < 0 || icy + ir < 0 || icx - ir >= p.width || icy - ir >= p.height) return;
  long long x = ir, y = 0, err = 1 - ir;
  while (x >= y) {
    const long long pts[8][2] = {{x, y}, {y, x}, {-y, x}, {-x, y}, {-x, -y}, {-y, -x}, {y, -x}, {x, -y}};
    for (int i = 0; i < 8; ++i) {
      bool seen = false;
      for (int j = 0; j < i && !seen; ++j) seen = pts[j][0] == pts[i][0] && pts[j][1] == pts[i][1];
      if (seen) continue;
      if (!OnArc((double)pts[i][0], (double)pts[i][1], from, span)) continue;
      p.Plot(icx + pts[i][0], icy + pts[i][1], 256);
    }
    ++y;
    if (err < 0) {
      err += 2 * y + 1;
    } else {
      --x;
      err += 2 * (y - x) + 1;
    }
  }
}

// Antialiased ring: each pixel near the circle is covered by 1 - |distance - r|.
void RingAntialiased(const Plotter& p, double cx, double cy, double r, double from, double span)
{
  const double ro = r + 1.0;
  const double ri = r - 1.0;
  const long long ya = std::max(0LL, (long long)std::ceil(cy - ro));
  const long long yb = std::min((long long)p.height - 1, (long long)std::floor(cy + ro));
  for (long long y = ya; y <= yb; ++y) {
    const double dy = (double)y - cy;
    if (std::fabs(dy) >= ro) continue;
    const double xo = std::sqrt(ro * ro - dy * dy);
    const double xi = (ri > 0.0 && std::fabs(dy) < ri) ? std::sqrt(ri * ri - dy * dy) : 0.0;
    const long long ranges[2][2] = {{(long long)std::ceil(cx - xo), (long long)std::floor(cx - xi)},
                                    {(long long)std::ceil(cx + xi), (long long)std::floor(cx + xo)}};
    long long done = LLONG_MIN; // last x plotted on this row
    for (const auto& range : ranges) {
      const long long xa = std::max({range[0], 0LL, done + 1});
      const long long xb = std::min(range[1], (long long)p.width - 1);
      for (long long x = xa; x <= xb; ++x) {
        const double dx = (double)x - cx;
        const double cov = 1.0 - std::fabs(std::sqrt(dx * dx + dy * dy) - r);
        if (cov > 0.0 && OnArc(dx, dy, from, span)) p.Plot(x, y, Coverage(cov));
        done = x;
      }
    }
  }
}

void DrawRing(LICE_IBitmap* bm, float cx, float cy, float r, double from, double span, LICE_pixel color, float alpha,
              int mode, bool aa)
{
  if (!bm || !Finite(cx) || !Finite(cy) || !Finite(r) || r < 0.0f || r > MAX_RADIUS) return;
  if (std::fabs(cx) > 1.0e9 || std::fabs(cy) > 1.0e9) return;
  const Plotter p(bm, color, alpha, mode);
  if (p.Empty()) return;
  if (aa)
    RingAntialiased(p, cx, cy, r, from, span);
  else
    RingPixels(p, cx, cy, r, from, span);
}

} // namespace

void LICE_PutPixel(LICE_IBitmap* bm, int x, int y, LICE_pixel color, float alpha, int mode)
{
  if (!bm) return;
  const Plotter p(bm, color, alpha, mode);
  if (!p.Empty()) p.Plot(x, y, 256);
}

LICE_pixel LICE_GetPixel(const LICE_IBitmap* bm, int x, int y)
{
  if (!bm || x < 0 || y < 0 || x >= bm->GetWidth() || y >= bm->GetHeight()) return 0;
  return bm->GetBits()[(size_t)y * (size_t)bm->GetRowSpan() + (size_t)x];
}

void LICE_Line(LICE_IBitmap* bm, float x1, float y1, float x2, float y2, LICE_pixel color, float alpha, int mode,
               bool aa)
{
  if (!bm || !Finite(x1) || !Finite(y1) || !Finite(x2) || !Finite(y2)) return;
  const Plotter p(bm, color, alpha, mode);
  if (p.Empty()) return;
  double ax = x1, ay = y1, bx = x2, by = y2;
  // Walk along the longer axis ("major"), one pixel per step.
  const bool steep = std::fabs(by - ay) > std::fabs(bx - ax);
  if (steep) {
    std::swap(ax, ay);
    std::swap(bx, by);
  }
  if (ax > bx) {
    std::swap(ax, bx);
    std::swap(ay, by);
  }
  const double gradient = bx > ax ? (by - ay) / (bx - ax) : 0.0;
  const long long majorLimit = steep ? p.height : p.width;
  const long long minorLimit = steep ? p.width : p.height;
  // Only the steps inside the bitmap along the major axis are visited.
  const double start = std::max(std::floor(ax + 0.5), -1.0);
  const double end = std::min(std::floor(bx + 0.5), (double)majorLimit);
  if (end < start) return;
  const long long xa = (long long)start;
  const long long xb = (long long)end;
  for (long long x = xa; x <= xb; ++x) {
    const double y = ay + gradient * ((double)x - ax);
    if (y < -2.0 || y > (double)minorLimit + 1.0) continue;
    if (aa) {
      const double fy = std::floor(y);
      const double f = y - fy;
      const long long iy = (long long)fy;
      const int lower = Coverage(f);
      if (steep) {
        p.Plot(iy, x, 256 - lower);
        p.Plot(iy + 1, x, lower);
      } else {
        p.Plot(x, iy, 256 - lower);
        p.Plot(x, iy + 1, lower);
      }
    } else {
      const long long iy = (long long)std::floor(y + 0.5);
      if (steep)
        p.Plot(iy, x, 256);
      else
        p.Plot(x, iy, 256);
    }
  }
}

void LICE_Arc(LICE_IBitmap* bm, float cx, float cy, float r, float minAngle, float maxAngle, LICE_pixel color,
              float alpha, int mode, bool aa)
{
  if (!Finite(minAngle) || !Finite(maxAngle)) return;
  double from = minAngle, to = maxAngle;
  if (to < from) std::swap(from, to);
  DrawRing(bm, cx, cy, r, from, to - from, color, alpha, mode, aa);
}

void LICE_Circle(LICE_IBitmap* bm, float cx, float cy, float r, LICE_pixel color, float alpha, int mode, bool aa)
{
  DrawRing(bm, cx, cy, r, 0.0, TWO_PI, color, alpha, mode, aa);
}

void LICE_FillRect(LICE_IBitmap* bm, int x, int y, int w, int h, LICE_pixel color, float alpha, int mode)
{
  if (!bm) return;
  const int weight = WeightFromAlpha(alpha);
  if (weight == 0) return;
  const long long x0 = std::max(0LL, (long long)x);
  const long long y0 = std::max(0LL, (long long)y);
  const long long x1 = std::min((long long)bm->GetWidth(), (long long)x + w);
  const long long y1 = std::min((long long)bm->GetHeight(), (long long)y + h);
  if (x1 <= x0 || y1 <= y0) return;
  const RowFn blend = SelectRowFn(mode, true);
  for (long long r = y0; r < y1; ++r)
    blend(bm->GetBits() + (size_t)r * (size_t)bm->GetRowSpan() + x0, &color, (int)(x1 - x0), weight);
}

void LICE_Clear(LICE_IBitmap* bm, LICE_pixel color)
{
  if (!bm) return;
  LICE_FillRect(bm, 0, 0, bm->GetWidth(), bm->GetHeight(), color, 1.0f, LICE_BLIT_MODE_COPY);
}
