// Draws the editor's images with the bitmap layer and writes them as PNG files,
// at 1x into the image folder and at 2x into its "2x" folder, plus a preview
// of the whole editor with controls pasted at their places:
//
//   make_artwork [image folder [preview file]]
//
// defaults resources/img and docs/artwork-preview.png, run from the project root.
//
// Every image is drawn in its 1x coordinates; at 2x each device pixel samples
// the same shapes at its own centre, text is set at twice the size and the
// brushed texture has a streak per device row, so the 2x images carry real
// detail rather than enlarged pixels. The editor reduces them for the factors
// between.
//
// The output is deterministic: the same build on the same system writes the same
// bytes (no time stamps, no randomness but a fixed hash). Text is set in
// Liberation Sans through the text rasteriser; the tool refuses to run when that
// face is not what the rasteriser finds, since a fallback face would silently
// change every label. The committed images were made with Debian's
// fonts-liberation 1.07 and FreeType 2.12; other versions hint glyphs slightly
// differently, and the tool says so.
//
// Look: a dark anodised chassis carrying brushed panels, recessed display wells
// for the text controls, silver knobs with an amber value ring, amber as the one
// accent colour (lit keys, value rings, section titles).
#include "LiceBitmap.h"
#include "LiceDraw.h"
#include "LiceText.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double PI = 3.14159265358979323846;
const char* const FACE = "Liberation Sans";

// Device pixels per layout pixel of the image being drawn: 1 or 2.
int gScale = 1;

// ---- colours -------------------------------------------------------------------

LICE_pixel Rgb(int r, int g, int b, int a = 255) { return LICE_RGBA(r, g, b, a); }

LICE_pixel Mix(LICE_pixel a, LICE_pixel b, double t)
{
  auto ch = [t](int x, int y) { return (int)std::lround(x + (y - x) * t); };
  return LICE_RGBA(ch(LICE_GETR(a), LICE_GETR(b)), ch(LICE_GETG(a), LICE_GETG(b)), ch(LICE_GETB(a), LICE_GETB(b)),
                   ch(LICE_GETA(a), LICE_GETA(b)));
}

LICE_pixel WithAlpha(LICE_pixel c, double a)
{
  return LICE_RGBA(LICE_GETR(c), LICE_GETG(c), LICE_GETB(c), (int)std::lround(255.0 * std::min(1.0, std::max(0.0, a))));
}

LICE_pixel Offset(LICE_pixel c, double d)
{
  auto ch = [d](int x) { return (int)std::lround(std::min(255.0, std::max(0.0, x + d))); };
  return LICE_RGBA(ch(LICE_GETR(c)), ch(LICE_GETG(c)), ch(LICE_GETB(c)), LICE_GETA(c));
}

const LICE_pixel WHITE = Rgb(255, 255, 255);
const LICE_pixel BLACK = Rgb(0, 0, 0);
const LICE_pixel ACCENT = Rgb(255, 158, 46);     // amber
const LICE_pixel LABEL = Rgb(208, 212, 220);     // labels
const LICE_pixel LABEL_DIM = Rgb(132, 138, 150); // step numbers, scales
const LICE_pixel KEY = Rgb(76, 80, 90);          // face of an unlit key
const LICE_pixel EDGE = Rgb(11, 12, 14);         // outlines of raised parts

// ---- compositing ----------------------------------------------------------------

// Source-over of `c` (its alpha times `cover`) onto pixel (x, y); the result is
// kept unpremultiplied, as the editor's blits expect.
void Over(LICE_IBitmap* bm, int x, int y, LICE_pixel c, double cover)
{
  if (x < 0 || y < 0 || x >= bm->GetWidth() || y >= bm->GetHeight()) return;
  const double sa = LICE_GETA(c) / 255.0 * std::min(1.0, std::max(0.0, cover));
  if (sa <= 0.0) return;
  LICE_pixel& d = bm->GetBits()[(size_t)y * bm->GetRowSpan() + x];
  const double da = LICE_GETA(d) / 255.0;
  const double oa = sa + da * (1.0 - sa);
  auto ch = [&](int s, int t) { return (int)std::lround((s * sa + t * da * (1.0 - sa)) / oa); };
  d = LICE_RGBA(ch(LICE_GETR(c), LICE_GETR(d)), ch(LICE_GETG(c), LICE_GETG(d)), ch(LICE_GETB(c), LICE_GETB(d)),
                (int)std::lround(oa * 255.0));
}

// Fills the shape given by a signed distance (negative inside, in pixels) over
// the box (x0, y0)-(x1, y1), antialiased over one device pixel, or over `soft`
// pixels for shadows and glows. `paint` gives the colour at a device pixel's
// centre. Coordinates are layout pixels.
template <typename Sdf, typename Paint>
void Fill(LICE_IBitmap* bm, double x0, double y0, double x1, double y1, Sdf sdf, Paint paint, double soft = 1.0)
{
  const double S = gScale;
  const int xa = std::max(0, (int)std::floor((x0 - soft) * S)), xb = std::min(bm->GetWidth(), (int)std::ceil((x1 + soft) * S));
  const int ya = std::max(0, (int)std::floor((y0 - soft) * S)), yb = std::min(bm->GetHeight(), (int)std::ceil((y1 + soft) * S));
  // An edge stays one device pixel soft; a shadow keeps its width in layout pixels.
  const double perDistance = soft == 1.0 ? S : 1.0 / soft;
  for (int y = ya; y < yb; ++y)
    for (int x = xa; x < xb; ++x) {
      const double px = (x + 0.5) / S, py = (y + 0.5) / S;
      const double cover = std::min(1.0, std::max(0.0, 0.5 - sdf(px, py) * perDistance));
      if (cover > 0.0) Over(bm, x, y, paint(px, py), cover);
    }
}

// Source-over of one layout pixel: every device pixel it covers.
void OverLayout(LICE_IBitmap* bm, int x, int y, LICE_pixel c, double cover)
{
  for (int dy = 0; dy < gScale; ++dy)
    for (int dx = 0; dx < gScale; ++dx) Over(bm, x * gScale + dx, y * gScale + dy, c, cover);
}

template <typename Sdf>
void FillSolid(LICE_IBitmap* bm, double x0, double y0, double x1, double y1, Sdf sdf, LICE_pixel c, double soft = 1.0)
{
  Fill(bm, x0, y0, x1, y1, sdf, [c](double, double) { return c; }, soft);
}

// ---- signed distances -----------------------------------------------------------

struct Circle {
  double cx, cy, r;
  double operator()(double x, double y) const { return std::hypot(x - cx, y - cy) - r; }
};

// Rectangle (x0, y0)-(x1, y1) with corners rounded by r.
struct RoundBox {
  double x0, y0, x1, y1, r;
  double operator()(double x, double y) const
  {
    const double hw = (x1 - x0) / 2, hh = (y1 - y0) / 2;
    const double qx = std::fabs(x - (x0 + hw)) - (hw - r), qy = std::fabs(y - (y0 + hh)) - (hh - r);
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - r;
  }
};

// Segment from (ax, ay) to (bx, by), w wide, with round ends.
struct Segment {
  double ax, ay, bx, by, w;
  double operator()(double x, double y) const
  {
    const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
    const double t = len2 > 0 ? std::min(1.0, std::max(0.0, ((x - ax) * dx + (y - ay) * dy) / len2)) : 0.0;
    return std::hypot(x - (ax + t * dx), y - (ay + t * dy)) - w / 2;
  }
};

// Convex polygon, either winding.
struct Convex {
  std::vector<double> pts; // x0, y0, x1, y1, ...
  double operator()(double x, double y) const
  {
    const size_t n = pts.size() / 2;
    double area = 0;
    for (size_t i = 0; i < n; ++i) {
      const size_t j = (i + 1) % n;
      area += pts[2 * i] * pts[2 * j + 1] - pts[2 * j] * pts[2 * i + 1];
    }
    const double sign = area > 0 ? 1.0 : -1.0;
    double d = -1e9;
    for (size_t i = 0; i < n; ++i) {
      const size_t j = (i + 1) % n;
      const double ex = pts[2 * j] - pts[2 * i], ey = pts[2 * j + 1] - pts[2 * i + 1];
      const double len = std::hypot(ex, ey);
      // Outward normal of a counter-clockwise (in y-down coordinates: clockwise on screen) edge.
      const double nx = sign * ey / len, ny = -sign * ex / len;
      d = std::max(d, (x - pts[2 * i]) * nx + (y - pts[2 * i + 1]) * ny);
    }
    return d;
  }
};

// Angle of a point about a centre: 0 pointing up, growing clockwise on screen, in degrees.
double AngleOf(double x, double y, double cx, double cy) { return std::atan2(x - cx, -(y - cy)) * 180.0 / PI; }

// Ring arc of radius R and width w from angle a0 to a1 (degrees, a0 <= a1), round ends.
struct Arc {
  double cx, cy, R, w, a0, a1;
  double operator()(double x, double y) const
  {
    const double a = AngleOf(x, y, cx, cy);
    if (a >= a0 && a <= a1) return std::fabs(std::hypot(x - cx, y - cy) - R) - w / 2;
    auto end = [this, x, y](double deg) {
      const double r = deg * PI / 180.0;
      return std::hypot(x - (cx + R * std::sin(r)), y - (cy - R * std::cos(r)));
    };
    return std::min(end(a0), end(a1)) - w / 2;
  }
};

// The outline of a shape, w wide, centred on its edge.
template <typename Sdf>
struct Stroke {
  Sdf shape;
  double w;
  double operator()(double x, double y) const { return std::fabs(shape(x, y)) - w / 2; }
};
template <typename Sdf>
Stroke<Sdf> Outline(Sdf s, double w) { return Stroke<Sdf>{s, w}; }

// The part of a shape that a copy moved by (dx, dy) does not cover: a bevel edge.
template <typename Sdf>
struct EdgeBand {
  Sdf shape;
  double dx, dy;
  double operator()(double x, double y) const { return std::max(shape(x, y), -shape(x - dx, y - dy)); }
};
template <typename Sdf>
EdgeBand<Sdf> Band(Sdf s, double dx, double dy) { return EdgeBand<Sdf>{s, dx, dy}; }

// ---- texture ----------------------------------------------------------------------

uint32_t Hash(uint32_t x)
{
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

double Hash01(uint32_t a, uint32_t b) { return Hash(a * 0x9E3779B1U ^ Hash(b + 0x632BE5ABU)) / 4294967296.0; }

// Smooth 1-D value noise, 0..1, one independent line per `row`.
double LineNoise(double t, uint32_t row)
{
  const double f = std::floor(t);
  const double u = t - f;
  const double s = u * u * (3.0 - 2.0 * u);
  const uint32_t i = (uint32_t)(int32_t)f;
  return Hash01(i, row) * (1.0 - s) + Hash01(i + 1, row) * s;
}

// Brushed metal: horizontal streaks, each pixel row its own, in about -1..1.
double Brush(double x, double y)
{
  const uint32_t row = (uint32_t)(int)std::floor(y * gScale); // a streak per device row
  return (LineNoise(x / 97.0 + row * 0.37, row) - 0.5) * 1.1 + (LineNoise(x / 19.0, row + 7919U) - 0.5) * 0.7 +
         (Hash01(row, 31U) - 0.5) * 0.6;
}

// ---- text -------------------------------------------------------------------------

// Coverage of a rendered line of text, `margin` pixels around the pen box.
struct TextMask {
  int w = 0, h = 0, margin = 3, advance = 0, ascent = 0;
  std::vector<uint8_t> a;
  uint8_t At(int x, int y) const { return a[(size_t)y * w + x]; }
};

LICE_TextFormat Format(int size, int style)
{
  LICE_TextFormat f;
  f.face = FACE;
  f.size = size;
  f.style = style;
  f.align = LICE_TEXT_ALIGN_LEFT;
  f.color = LICE_RGBA(255, 255, 255, 255);
  return f;
}

// Rendered with white on transparent black: the alpha channel is the coverage.
TextMask Render(const std::string& text, int size, int style = LICE_TEXT_NORMAL)
{
  TextMask m;
  const LICE_TextFormat f = Format(size, style);
  int tw = 0, th = 0;
  LICE_MeasureText(text.c_str(), f, &tw, &th);
  m.advance = tw;
  m.w = tw + 2 * m.margin;
  m.h = size + 2 * m.margin;
  LICE_MemBitmap bm(m.w, m.h);
  LICE_Clear(&bm, 0);
  LICE_DrawText(&bm, text.c_str(), m.margin, m.margin, m.margin + tw, m.margin + size, f);
  m.a.resize((size_t)m.w * m.h);
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) m.a[(size_t)y * m.w + x] = (uint8_t)LICE_GETA(bm.GetBits()[(size_t)y * bm.GetRowSpan() + x]);
  // Baseline: one below the lowest inked row of a capital.
  LICE_MemBitmap h(size * 2, size + 2 * m.margin);
  LICE_Clear(&h, 0);
  LICE_DrawText(&h, "H", 0, m.margin, size * 2, m.margin + size, f);
  for (int y = 0; y < h.GetHeight(); ++y)
    for (int x = 0; x < h.GetWidth(); ++x)
      if (LICE_GETA(h.GetBits()[(size_t)y * h.GetRowSpan() + x]) > 96) m.ascent = y - m.margin + 1;
  return m;
}

enum Align { LEFT, CENTRE, RIGHT };

struct TextStyle {
  int size = 12;
  LICE_pixel color = LABEL;
  int style = LICE_TEXT_NORMAL;
  double shadow = 0.55; // opacity of the one-pixel drop shadow, 0 for none
};

// Draws text with its baseline at `baseline`; x is the left edge, the centre or
// the right edge of the pen box as `align` says. Returns the pen box width.
int Text(LICE_IBitmap* bm, const std::string& text, double x, int baseline, Align align, const TextStyle& st)
{
  const TextMask m = Render(text, st.size * gScale, st.style);
  x *= gScale;
  int left = (int)std::lround(align == LEFT ? x : align == CENTRE ? x - m.advance / 2.0 : x - m.advance);
  const int top = baseline * gScale - m.ascent;
  for (int pass = st.shadow > 0 ? 0 : 1; pass < 2; ++pass) {
    const LICE_pixel c = pass == 0 ? WithAlpha(BLACK, st.shadow) : st.color;
    const int off = pass == 0 ? gScale : 0;
    for (int y = 0; y < m.h; ++y)
      for (int xx = 0; xx < m.w; ++xx)
        if (m.At(xx, y)) Over(bm, left - m.margin + xx, top - m.margin + y + off, c, m.At(xx, y) / 255.0);
  }
  return m.advance / gScale;
}

// The width at 1x, so that layout decisions are the same at every scale.
int TextWidth(const std::string& text, int size, int style = LICE_TEXT_NORMAL)
{
  int w = 0, h = 0;
  LICE_MeasureText(text.c_str(), Format(size, style), &w, &h);
  return w;
}

// Text turned a quarter left (reading upwards), centred on (cx, cy).
void TextUp(LICE_IBitmap* bm, const std::string& text, int cx, int cy, const TextStyle& st)
{
  const TextMask m = Render(text, st.size * gScale, st.style);
  const int boxH = st.size * gScale;
  // Mask pixel (x, y) goes to (y, -x) relative to the centre of the pen box.
  const int ox = cx * gScale - boxH / 2, oy = cy * gScale + m.advance / 2;
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x)
      if (m.At(x, y)) {
        const int tx = ox + (y - m.margin), ty = oy - (x - m.margin);
        if (st.shadow > 0) Over(bm, tx + gScale, ty, WithAlpha(BLACK, st.shadow), m.At(x, y) / 255.0);
      }
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x)
      if (m.At(x, y)) Over(bm, ox + (y - m.margin), oy - (x - m.margin), st.color, m.At(x, y) / 255.0);
}

// The face the rasteriser finds for FACE must be Liberation Sans: its advance
// widths are Arial's, and the width of this line at 100 pixels tells it apart
// from fontconfig's usual fallbacks (DejaVu Sans and the like).
const char* const PROBE = "Tavrinel 0123456789 Wm";
constexpr int PROBE_WIDTH = 1030;
// Fingerprint of the hinted glyphs the committed images were made with.
constexpr uint32_t GLYPH_PRINT = 0x4e85a3ebU;

bool CheckFont()
{
  int w = 0, h = 0;
  if (!LICE_MeasureText(PROBE, Format(100, LICE_TEXT_NORMAL), &w, &h)) {
    std::fprintf(stderr, "make_artwork: the text rasteriser cannot load \"%s\" (on Debian: apt-get install "
                         "fonts-liberation); no images written\n", FACE);
    return false;
  }
  if (w != PROBE_WIDTH) {
    std::fprintf(stderr, "make_artwork: \"%s\" resolves to another face (probe width %d, expected %d); install "
                         "fonts-liberation; no images written\n", FACE, w, PROBE_WIDTH);
    return false;
  }
  uint32_t print = 2166136261U;
  for (int size : {9, 10, 11, 12, 14}) {
    const TextMask m = Render(PROBE, size);
    for (uint8_t a : m.a) print = (print ^ a) * 16777619U;
  }
  if (print != GLYPH_PRINT)
    std::fprintf(stderr, "make_artwork: note: glyphs rasterise differently from the committed images (print %08x; "
                         "another version of the face or of FreeType): the PNGs will differ in their text\n",
                 (unsigned)print);
  return true;
}

// ---- parts shared by several images ------------------------------------------------

// A raised key filling (x0, y0)-(x1, y1): dark rim, face shaded from the top,
// a highlight along the top edge; pressed keys are darker and shaded inwards.
void KeyFace(LICE_IBitmap* bm, double x0, double y0, double x1, double y1, double r, LICE_pixel face, bool pressed)
{
  const RoundBox rim{x0, y0, x1, y1, r};
  FillSolid(bm, x0, y0, x1, y1, rim, EDGE);
  const RoundBox body{x0 + 1, y0 + 1, x1 - 1, y1 - 1, std::max(0.5, r - 1)};
  const LICE_pixel top = pressed ? Mix(face, BLACK, 0.28) : Mix(face, WHITE, 0.16);
  const LICE_pixel bottom = pressed ? Mix(face, BLACK, 0.05) : Mix(face, BLACK, 0.22);
  Fill(bm, x0, y0, x1, y1, body, [&](double, double y) { return Mix(top, bottom, (y - y0) / (y1 - y0)); });
  if (pressed)
    FillSolid(bm, x0, y0, x1, y1, Band(body, 0, 1.2), WithAlpha(BLACK, 0.45));
  else {
    FillSolid(bm, x0, y0, x1, y1, Band(body, 0, 1), WithAlpha(WHITE, 0.30));
    FillSolid(bm, x0, y0, x1, y1, Band(body, 0, -1), WithAlpha(BLACK, 0.30));
  }
}

// A lit key: the same face in a colour, with a faint glow at its centre.
void LitFace(LICE_IBitmap* bm, double x0, double y0, double x1, double y1, double r, LICE_pixel colour)
{
  KeyFace(bm, x0, y0, x1, y1, r, colour, true);
  const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  Fill(bm, x0 + 1, y0 + 1, x1 - 1, y1 - 1, RoundBox{x0 + 1, y0 + 1, x1 - 1, y1 - 1, std::max(0.5, r - 1)},
       [&](double x, double y) {
         const double d = std::hypot((x - cx) / (x1 - x0) * 2, (y - cy) / (y1 - y0) * 2);
         return WithAlpha(Mix(colour, WHITE, 0.35), 0.55 * std::max(0.0, 1.0 - d));
       });
}

// A knob strip: `frames` frames of a silver knob whose pointer turns from -135
// to +135 degrees, with an amber ring showing the value.
struct KnobStyle {
  double ringR, ringW, skirtR, capR, p0, p1, pw, shadow;
};

void KnobStrip(LICE_IBitmap* bm, int frames, const KnobStyle& k)
{
  const int size = bm->GetWidth() / gScale;
  for (int i = 0; i < frames; ++i) {
    const double cx = size / 2.0, cy = i * size + size / 2.0;
    const double a = -135.0 + 270.0 * (frames > 1 ? (double)i / (frames - 1) : 0.0);
    const double x0 = 0, y0 = i * size, x1 = size, y1 = (i + 1) * size;
    // Ring: the dark track, then the value.
    FillSolid(bm, x0, y0, x1, y1, Arc{cx, cy, k.ringR, k.ringW + 1.0, -135, 135}, Rgb(8, 9, 11));
    FillSolid(bm, x0, y0, x1, y1, Arc{cx, cy, k.ringR, k.ringW, -135, 135}, Rgb(30, 32, 37));
    if (i > 0) FillSolid(bm, x0, y0, x1, y1, Arc{cx, cy, k.ringR, k.ringW, -135, a}, ACCENT);
    else FillSolid(bm, x0, y0, x1, y1, Circle{cx + k.ringR * std::sin(-135 * PI / 180), cy - k.ringR * std::cos(-135 * PI / 180), k.ringW / 2}, Mix(ACCENT, BLACK, 0.35));
    // Shadow under the knob, a little down.
    FillSolid(bm, x0, y0, x1, y1, Circle{cx, cy + k.shadow, k.skirtR}, WithAlpha(BLACK, 0.55), k.shadow * 2);
    // Skirt: dark rim, then a bevel lit from the top left.
    FillSolid(bm, x0, y0, x1, y1, Circle{cx, cy, k.skirtR}, Rgb(20, 21, 24));
    Fill(bm, x0, y0, x1, y1, Circle{cx, cy, k.skirtR - 0.8}, [&](double x, double y) {
      const double t = ((x - cx) + (y - cy)) / (2 * k.skirtR) + 0.5; // 0 top left .. 1 bottom right
      return Mix(Rgb(214, 218, 226), Rgb(62, 65, 72), std::min(1.0, std::max(0.0, t)));
    });
    // Cap: machined aluminium, the highlight fixed to the light while the knob turns.
    Fill(bm, x0, y0, x1, y1, Circle{cx, cy, k.capR}, [&](double x, double y) {
      const double th = std::atan2(y - cy, x - cx);
      const double d = std::hypot(x - cx, y - cy);
      const double sheen = 34.0 * std::cos(2.0 * (th + 0.65)) + 12.0 * std::cos(4.0 * (th + 0.65));
      const double rings = 5.0 * (Hash01((uint32_t)(d * 3.0), 5U) - 0.5);
      const double fall = -22.0 * (y - cy) / k.capR;
      return Offset(Rgb(160, 164, 172), sheen + rings + fall);
    });
    FillSolid(bm, x0, y0, x1, y1, Outline(Circle{cx, cy, k.capR}, 0.7), WithAlpha(BLACK, 0.35));
    // Pointer: a dark groove across the cap, lit on its lower side.
    const double s = std::sin(a * PI / 180), c = -std::cos(a * PI / 180);
    FillSolid(bm, x0, y0, x1, y1, Segment{cx + s * k.p0, cy + c * k.p0 + 0.6, cx + s * k.p1, cy + c * k.p1 + 0.6, k.pw},
              WithAlpha(WHITE, 0.35));
    FillSolid(bm, x0, y0, x1, y1, Segment{cx + s * k.p0, cy + c * k.p0, cx + s * k.p1, cy + c * k.p1, k.pw},
              Rgb(24, 25, 29));
  }
}

const KnobStyle BIG_KNOB{14.6, 1.9, 11.6, 9.2, 3.0, 8.8, 2.0, 1.2};
const KnobStyle SMALL_KNOB{7.0, 1.3, 5.5, 4.3, 0.0, 5.0, 1.7, 0.7};

// A round LED of diameter `size` with its seat: off, or lit in `on`.
void Led(LICE_IBitmap* bm, double y0, double size, LICE_pixel on, bool lit)
{
  const double c = size / 2.0, cy = y0 + c, r = c - 0.6;
  FillSolid(bm, 0, y0, size, y0 + size, Circle{c, cy, r}, Rgb(8, 9, 11));
  const double lr = r - 1.2;
  const LICE_pixel core = lit ? Mix(on, WHITE, 0.55) : Mix(on, BLACK, 0.72);
  const LICE_pixel edge = lit ? on : Mix(on, BLACK, 0.86);
  Fill(bm, 0, y0, size, y0 + size, Circle{c, cy, lr}, [&](double x, double y) {
    const double d = std::hypot(x - c, y - (cy + lr * 0.15)) / lr;
    return Mix(core, edge, std::min(1.0, d));
  });
  // Specular spot, upper left.
  FillSolid(bm, 0, y0, size, y0 + size, Circle{c - lr * 0.35, cy - lr * 0.4, lr * 0.32},
            WithAlpha(WHITE, lit ? 0.75 : 0.22), 1.2);
}

// ---- the images ---------------------------------------------------------------------

// Editor layout: where the controls sit (the editor builds them at these places).
struct KnobAt {
  const char* label;
  int x, y, size;
};
const KnobAt KNOBS[] = {
  {"Time", 330, 10, 32},     {"Length", 530, 10, 32}, {"Len Jitt", 530, 50, 32}, {"Vel", 626, 10, 32},
  {"Vel Jitt", 626, 50, 32}, {"Swing", 426, 10, 32},  {"Human", 426, 50, 32},    {"Pulses", 234, 10, 32},
  {"Steps", 42, 506, 32},    {"Life", 314, 443, 32},  {"Begin", 130, 390, 16},   {"Len", 185, 390, 16},
  {"Begin", 546, 390, 16},   {"Len", 601, 390, 16},
};

struct SpinnerAt {
  const char* label;
  int x, y;
};
// Label placement: left of the box, or above it.
const SpinnerAt SPINNERS_LEFT[] = {{"Tonic", 47, 6}, {"Chan", 179, 6}, {"Mode", 47, 29}, {"Scale", 47, 53}};
const SpinnerAt SPINNERS_ABOVE[] = {{"Shape", 122, 53}, {"Dir", 20, 390},   {"Count", 80, 390},
                                    {"Prob", 235, 390}, {"Dir", 436, 390}, {"Count", 496, 390},
                                    {"Prob", 651, 390}};

constexpr int GRID_X = 20, GRID_PITCH_X = 52, GRID_Y = 128, GRID_PITCH_Y = 63;
constexpr int GROOVE_L = 20, GROOVE_T = 550, GROOVE_R = 690, GROOVE_B = 614;
constexpr int STRIKE_RUN_X = 20, MELODY_RUN_X = 436;

// A raised panel of the brushed plate.
void Panel(LICE_IBitmap* bm, int x0, int y0, int x1, int y1)
{
  const RoundBox outer{(double)x0, (double)y0, (double)x1, (double)y1, 5};
  FillSolid(bm, x0, y0, x1, y1, outer, Rgb(9, 10, 12));
  const RoundBox body{x0 + 1.0, y0 + 1.0, x1 - 1.0, y1 - 1.0, 4};
  const LICE_pixel top = Rgb(66, 70, 79), bottom = Rgb(45, 48, 55);
  Fill(bm, x0, y0, x1, y1, body, [&](double x, double y) {
    const double t = (y - y0) / (y1 - y0);
    return Offset(Mix(top, bottom, t), 3.2 * Brush(x, y));
  });
  FillSolid(bm, x0, y0, x1, y1, Band(body, 0, 1), WithAlpha(WHITE, 0.16));
  FillSolid(bm, x0, y0, x1, y1, Band(body, 1, 0), WithAlpha(WHITE, 0.06));
  FillSolid(bm, x0, y0, x1, y1, Band(body, 0, -1), WithAlpha(BLACK, 0.35));
  FillSolid(bm, x0, y0, x1, y1, Band(body, -1, 0), WithAlpha(BLACK, 0.18));
}

// A recessed well (x0, y0)-(x1, y1): display windows, the grid cells, the groove.
void Well(LICE_IBitmap* bm, double x0, double y0, double x1, double y1, double r = 2, LICE_pixel top = Rgb(11, 12, 14),
          LICE_pixel bottom = Rgb(21, 23, 27))
{
  const RoundBox w{x0, y0, x1, y1, r};
  FillSolid(bm, x0, y0, x1 + 1, y1 + 1, Band(w, 0, 1), WithAlpha(WHITE, 0.13)); // lit lower lip
  Fill(bm, x0, y0, x1, y1, w, [&](double, double y) { return Mix(top, bottom, (y - y0) / (y1 - y0)); });
  FillSolid(bm, x0, y0, x1, y1, Band(w, 0, 1.5), WithAlpha(BLACK, 0.5)); // shadow of the upper lip
}

// Dark circular seat around a knob, so it sits in the panel rather than on it.
void KnobSeat(LICE_IBitmap* bm, int x, int y, int size)
{
  const double c = size / 2.0, r = size / 2.0 + (size > 20 ? 1.2 : 0.9);
  FillSolid(bm, x - 3, y - 3, x + size + 3, y + size + 3, Band(Circle{x + c, y + c, r}, 0, -1), WithAlpha(WHITE, 0.12));
  FillSolid(bm, x - 3, y - 3, x + size + 3, y + size + 3, Circle{x + c, y + c, r}, Rgb(14, 15, 18));
}

// Group label over a run of buttons: the text centred, a thin bracket either side.
void Bracket(LICE_IBitmap* bm, const char* text, int x0, int x1, int baseline)
{
  const TextStyle st{11, LABEL, LICE_TEXT_NORMAL, 0.55};
  const int w = TextWidth(text, st.size);
  const int cx = (x0 + x1) / 2;
  Text(bm, text, cx, baseline, CENTRE, st);
  const double ly = baseline - 3.5;
  const LICE_pixel c = WithAlpha(LABEL_DIM, 0.8);
  FillSolid(bm, x0, ly - 2, x1, ly + 6, Segment{x0 + 0.5, ly, cx - w / 2.0 - 5, ly, 1.0}, c);
  FillSolid(bm, x0, ly - 2, x1, ly + 6, Segment{cx + w / 2.0 + 5, ly, x1 - 0.5, ly, 1.0}, c);
  FillSolid(bm, x0, ly - 2, x1, ly + 6, Segment{x0 + 0.5, ly, x0 + 0.5, ly + 4, 1.0}, c);
  FillSolid(bm, x0, ly - 2, x1, ly + 6, Segment{x1 - 0.5, ly, x1 - 0.5, ly + 4, 1.0}, c);
}

void DrawPin(LICE_IBitmap* bm);
void DrawTapePlay(LICE_IBitmap* bm);

// Pastes frame `frame` of an image drawn by `draw` at (x, y).
void Stamp(LICE_IBitmap* dest, void (*draw)(LICE_IBitmap*), int w, int h, int frames, int frame, int x, int y)
{
  LICE_MemBitmap image(w * gScale, h * gScale);
  LICE_Clear(&image, 0);
  draw(&image);
  const int fh = h / frames * gScale;
  for (int yy = 0; yy < fh; ++yy)
    for (int xx = 0; xx < w * gScale; ++xx) {
      const LICE_pixel p = image.GetBits()[(size_t)(yy + frame * fh) * image.GetRowSpan() + xx];
      Over(dest, x * gScale + xx, y * gScale + yy, p, 1.0);
    }
}

void DrawBackground(LICE_IBitmap* bm)
{
  // Chassis: dark anodised, lighter at the top.
  for (int dy = 0; dy < 650 * gScale; ++dy)
    for (int dx = 0; dx < 720 * gScale; ++dx) {
      const double x = (dx + 0.5) / gScale - 0.5, y = (dy + 0.5) / gScale - 0.5;
      bm->GetBits()[(size_t)dy * bm->GetRowSpan() + dx] =
        Offset(Mix(Rgb(27, 29, 34), Rgb(15, 16, 19), y / 649.0), 1.5 * Brush(x, y));
    }

  // Panels.
  Panel(bm, 1, 1, 230, 87);    // key: tonic, channel, mode, scale, shape
  Panel(bm, 231, 1, 719, 87);  // timing and velocity knobs
  Panel(bm, 1, 88, 719, 375);  // chord steps and melody grid
  Panel(bm, 1, 376, 299, 495); // strike modifiers
  Panel(bm, 300, 376, 427, 495);
  Panel(bm, 428, 376, 719, 495); // melody modifiers
  Panel(bm, 1, 496, 139, 545);   // groove switch and length
  Panel(bm, 140, 496, 544, 545); // edit buttons
  Panel(bm, 545, 496, 719, 545); // preset
  Panel(bm, 1, 546, 719, 649);   // groove

  const TextStyle label{12, LABEL, LICE_TEXT_NORMAL, 0.6};
  const TextStyle small{11, LABEL, LICE_TEXT_NORMAL, 0.6};
  const TextStyle dim{9, LABEL_DIM, LICE_TEXT_NORMAL, 0.5};
  const TextStyle title{12, ACCENT, LICE_TEXT_BOLD, 0.6};

  // Spinner windows (text 14 px from the box top: baseline 11 below it).
  auto spinnerWell = [bm](int x, int y) { Well(bm, x + 1, y - 1, x + 49, y + 17); };
  for (const SpinnerAt& s : SPINNERS_LEFT) {
    spinnerWell(s.x, s.y);
    Text(bm, s.label, s.x - 3, s.y + 11, RIGHT, label);
  }
  for (const SpinnerAt& s : SPINNERS_ABOVE) {
    spinnerWell(s.x, s.y);
    Text(bm, s.label, s.x + 25, s.y - 3, CENTRE, s.y > 300 ? small : label);
  }
  // Chord degree of each step, over its grid column; the progression's direction.
  for (int n = 0; n < 12; ++n) spinnerWell(GRID_X + GRID_PITCH_X * n, 93);
  spinnerWell(644, 109);
  Text(bm, "Chord degree", 646, 104, LEFT, small);
  Text(bm, "Dir", 696, 120, LEFT, small);

  // Knob seats and their read-out windows (text from y + 17: baseline y + 28).
  for (const KnobAt& k : KNOBS) {
    KnobSeat(bm, k.x, k.y, k.size);
    if (k.size == 32) {
      Well(bm, k.x + 37, k.y + 16, k.x + 73, k.y + 31);
      Text(bm, k.label, k.x + 55, k.y + 11, CENTRE, label);
    } else {
      Text(bm, k.label, k.x + 8, k.y - 3, CENTRE, small);
    }
  }

  // Name plate in the free corner of the knob panel.
  {
    const TextStyle logo{22, Rgb(226, 229, 235), LICE_TEXT_BOLD, 0.7};
    const char* name = "TAVRINEL";
    double x = 242;
    for (const char* p = name; *p; ++p) {
      const std::string ch(1, *p);
      Text(bm, ch, x, 74, LEFT, logo);
      x += TextWidth(ch, logo.size, logo.style) + 4;
    }
    FillSolid(bm, 236, 76, 420, 82, Segment{243, 78.5, x - 5, 78.5, 1.6}, ACCENT);
  }

  // Chord span ruler under the degree windows: a groove and one tick per step boundary.
  Well(bm, 19, 114, 634, 119, 2);
  for (int v = 0; v <= 12; ++v) {
    const double x = 20 + 51 * v + 0.5;
    FillSolid(bm, x - 1, 119, x + 1, 125, Segment{x, 120.5, x, 123.5, 1.0}, WithAlpha(LABEL_DIM, 0.9));
  }

  // Grid: 12 steps x 4 rows of cells.
  for (int s = 0; s < 12; ++s)
    for (int v = 0; v < 4; ++v) {
      const int x = GRID_X + GRID_PITCH_X * s, y = GRID_Y + GRID_PITCH_Y * v;
      Well(bm, x - 1, y + 9, x + 41, y + 51, 1.5, Rgb(9, 10, 12), Rgb(17, 18, 21)); // melody canvas
      Well(bm, x - 1, y - 1, x + 9, y + 9, 1.5);                                      // enable LED
      Well(bm, x + 21, y - 3, x + 43, y + 10, 2);                                    // repeat counter
      FillSolid(bm, x, y + 53, x + 40, y + 55, RoundBox{(double)x, y + 53.0, x + 40.0, y + 55.0, 0.5},
                Rgb(20, 22, 26)); // play marker track
    }
  // Row handles, solo and mute columns.
  for (int r = 0; r < 4; ++r) {
    const int y = 138 + 63 * r;
    Well(bm, 1, y - 1, 17, y + 15, 2);
    Well(bm, 643, y - 1, 660, y + 16, 2);
    Well(bm, 660, y - 1, 677, y + 16, 2);
  }
  Text(bm, "Solo", 659, 136, RIGHT, TextStyle{10, LABEL, LICE_TEXT_NORMAL, 0.6});
  Text(bm, "Mute", 662, 136, LEFT, TextStyle{10, LABEL, LICE_TEXT_NORMAL, 0.6});

  // Modifier panels: step slots, step numbers, run switch and titles.
  struct ModPanel {
    const char* title;
    int runX, buttonY;
  };
  const ModPanel panels[] = {{"Strike modifiers", STRIKE_RUN_X, 426}, {"Melody modifiers", MELODY_RUN_X, 425}};
  for (const ModPanel& p : panels) {
    Well(bm, p.runX - 1, 409, p.runX + 15, 425, 2);
    for (int i = 0; i < 8; ++i) {
      const int x = p.runX + 19 + 29 * i;
      Well(bm, x - 2, 408, x + 26, p.buttonY + 23, 3, Rgb(16, 17, 20), Rgb(26, 28, 33));
      char n[4];
      std::snprintf(n, sizeof n, "%d", i + 1);
      Text(bm, n, x + 12, p.buttonY + 33, CENTRE, dim);
    }
    Text(bm, p.title, p.runX, 484, LEFT, title);
  }
  // Between the panels: permanence, with a legend of the step switches.
  Text(bm, "Life", 369, 454, CENTRE, label);
  Well(bm, 351, 459, 387, 474);
  struct LegendRow {
    void (*draw)(LICE_IBitmap*);
    int frame;
    const char* text;
  };
  const LegendRow legend[] = {{DrawTapePlay, 1, "Run"}, {DrawPin, 1, "Perm"}, {DrawPin, 0, "Temp"}};
  for (int i = 0; i < 3; ++i) {
    const int y = 388 + 18 * i;
    Stamp(bm, legend[i].draw, 14, 28, 2, legend[i].frame, 336, y);
    Text(bm, legend[i].text, 356, y + 11, LEFT, small);
  }

  // Groove switch and length.
  Text(bm, "On", 25, 506, CENTRE, small);
  Well(bm, 18, 508, 32, 522, 7);
  // Edit buttons in their three groups.
  const int editX[] = {146, 170, 194, 218, 242, 266, 306, 330, 354, 378, 402, 426, 466, 490, 514};
  for (int x : editX) Well(bm, x - 1, 511, x + 17, 529, 3);
  Bracket(bm, "Melody", 146, 282, 507);
  Bracket(bm, "Row", 306, 442, 507);
  Bracket(bm, "Row (pulse)", 466, 530, 507);
  // Preset name window (the control outlines it in white).
  Text(bm, "Preset", 556, 510, LEFT, small);
  Well(bm, 555, 516, 712, 532, 1);

  // Groove: the bar canvas with guides, beat shading, a scale; lock and mute rows.
  Well(bm, GROOVE_L - 2, GROOVE_T - 2, GROOVE_R + 2, GROOVE_B + 1, 2, Rgb(9, 10, 12), Rgb(18, 19, 22));
  for (int g = 0; g < 12; ++g)
    if (g % 2 == 1)
      FillSolid(bm, GROOVE_L + 56 * g - 1, GROOVE_T, GROOVE_L + 56 * g + 55, GROOVE_B,
                RoundBox{GROOVE_L + 56.0 * g - 1, (double)GROOVE_T, GROOVE_L + 56.0 * g + 55, (double)GROOVE_B, 0},
                WithAlpha(WHITE, 0.035));
  for (int q = 1; q < 4; ++q) {
    const int y = GROOVE_B - 16 * q;
    for (int x = GROOVE_L; x < GROOVE_R; x += 4)
      OverLayout(bm, x, y, WithAlpha(WHITE, q == 2 ? 0.12 : 0.07), 1.0);
  }
  Text(bm, "100%", 715, GROOVE_T + 7, RIGHT, dim);
  Text(bm, "50%", 715, GROOVE_T + 35, RIGHT, dim);
  Text(bm, "0", 715, GROOVE_B, RIGHT, dim);
  FillSolid(bm, GROOVE_L, 616, GROOVE_R, 618, RoundBox{(double)GROOVE_L, 616, (double)GROOVE_R, 618, 0}, Rgb(8, 9, 11));
  for (int k = 0; k < 48; ++k) {
    const int x = GROOVE_L + 14 * k;
    FillSolid(bm, x - 1, 617, x + 14, 643, RoundBox{x - 0.5, 617.5, x + 13.5, 627.5, 1.5}, Rgb(12, 13, 15));
    FillSolid(bm, x - 1, 617, x + 14, 643, RoundBox{x - 0.5, 631.5, x + 13.5, 641.5, 1.5}, Rgb(12, 13, 15));
  }
  Text(bm, "Lock", 694, 626, LEFT, TextStyle{10, LABEL, LICE_TEXT_NORMAL, 0.6});
  Text(bm, "Mute", 694, 640, LEFT, TextStyle{10, LABEL, LICE_TEXT_NORMAL, 0.6});
  TextUp(bm, "Groove", 9, (GROOVE_T + GROOVE_B) / 2, TextStyle{11, ACCENT, LICE_TEXT_BOLD, 0.6});
}

// Frames: off, on.
void DrawOnOffLed(LICE_IBitmap* bm)
{
  Led(bm, 0, 12, Rgb(80, 235, 105), false);
  Led(bm, 12, 12, Rgb(80, 235, 105), true);
}
void DrawLed(LICE_IBitmap* bm) { Led(bm, 0, 12, Rgb(255, 70, 50), true); }
void DrawSmallSwitch(LICE_IBitmap* bm)
{
  Led(bm, 0, 11, Rgb(80, 235, 105), false);
  Led(bm, 11, 11, Rgb(80, 235, 105), true);
}
void DrawPushLed(LICE_IBitmap* bm)
{
  Led(bm, 0, 12, ACCENT, false);
  Led(bm, 12, 12, ACCENT, true);
}

void DrawKnob128(LICE_IBitmap* bm) { KnobStrip(bm, 128, BIG_KNOB); }
void DrawKnob101(LICE_IBitmap* bm) { KnobStrip(bm, 101, BIG_KNOB); }
void DrawKnob17(LICE_IBitmap* bm) { KnobStrip(bm, 17, BIG_KNOB); }
void DrawKnob16(LICE_IBitmap* bm) { KnobStrip(bm, 16, BIG_KNOB); }
void DrawSmallKnob101(LICE_IBitmap* bm) { KnobStrip(bm, 101, SMALL_KNOB); }
void DrawSmallKnob8(LICE_IBitmap* bm) { KnobStrip(bm, 8, SMALL_KNOB); }

// Two frames of a key filling the image width: unlit (glyph light grey), then
// lit in `lit` (glyph dark, or white on dark colours).
template <typename Glyph>
void TwoStateKey(LICE_IBitmap* bm, double radius, LICE_pixel lit, LICE_pixel litGlyph, Glyph glyph)
{
  const int w = bm->GetWidth() / gScale, h = bm->GetHeight() / gScale / 2;
  KeyFace(bm, 0, 0, w, h, radius, KEY, false);
  glyph(0.0, Rgb(206, 210, 218));
  LitFace(bm, 0, h, w, 2 * h, radius, lit);
  glyph((double)h, litGlyph);
}

// Padlock, 13 x 9 frames.
void DrawLockButton(LICE_IBitmap* bm)
{
  TwoStateKey(bm, 2, ACCENT, Rgb(40, 24, 6), [bm](double y, LICE_pixel c) {
    FillSolid(bm, 0, y, 13, y + 9, RoundBox{4.0, y + 3.5, 9.0, y + 7.0, 0.6}, c);
    FillSolid(bm, 0, y, 13, y + 9, Arc{6.5, y + 3.6, 1.55, 1.0, -90, 90}, c);
    FillSolid(bm, 0, y, 13, y + 9, Segment{4.95, y + 3.6, 4.95, y + 4.2, 1.0}, c);
    FillSolid(bm, 0, y, 13, y + 9, Segment{8.05, y + 3.6, 8.05, y + 4.2, 1.0}, c);
  });
}

// "M" key, 13 x 9 frames: the groove step is silenced when lit.
void DrawMuteButton(LICE_IBitmap* bm)
{
  TwoStateKey(bm, 2, Rgb(222, 62, 52), WHITE, [bm](double y, LICE_pixel c) {
    Text(bm, "M", 6.5, (int)y + 7, CENTRE, TextStyle{8, c, LICE_TEXT_BOLD, 0.0});
  });
}

// Arrow keys, 16 x 16 frames: pressed keys sink a pixel and light the glyph.
template <typename Glyph>
void EditKey(LICE_IBitmap* bm, Glyph glyph)
{
  KeyFace(bm, 0, 0, 16, 16, 3, KEY, false);
  glyph(0.0, 0.0, Rgb(214, 218, 226));
  KeyFace(bm, 0, 16, 16, 32, 3, Mix(KEY, BLACK, 0.25), true);
  glyph(0.5, 16.8, ACCENT);
}

void Arrow(LICE_IBitmap* bm, double cx, double cy, double dx, double dy, LICE_pixel c)
{
  const double px = -dy, py = dx; // perpendicular
  Convex head{{cx + dx * 5.2, cy + dy * 5.2, cx + dx * 0.2 + px * 4.4, cy + dy * 0.2 + py * 4.4,
               cx + dx * 0.2 - px * 4.4, cy + dy * 0.2 - py * 4.4}};
  FillSolid(bm, cx - 7, cy - 7, cx + 7, cy + 7, head, c);
  FillSolid(bm, cx - 7, cy - 7, cx + 7, cy + 7, Segment{cx - dx * 4.6, cy - dy * 4.6, cx + dx * 0.8, cy + dy * 0.8, 2.4}, c);
}

void ArrowKey(LICE_IBitmap* bm, int dx, int dy)
{
  EditKey(bm, [bm, dx, dy](double ox, double oy, LICE_pixel c) { Arrow(bm, 8 + ox, 8 + oy, dx, dy, c); });
}

void DrawShiftLeft(LICE_IBitmap* bm) { ArrowKey(bm, -1, 0); }
void DrawShiftRight(LICE_IBitmap* bm) { ArrowKey(bm, 1, 0); }
void DrawShiftUp(LICE_IBitmap* bm) { ArrowKey(bm, 0, -1); }
void DrawShiftDown(LICE_IBitmap* bm) { ArrowKey(bm, 0, 1); }

// Mirror keys: a solid triangle, its outlined reflection, the mirror between.
void MirrorKey(LICE_IBitmap* bm, bool horizontal)
{
  EditKey(bm, [bm, horizontal](double ox, double oy, LICE_pixel c) {
    const double cx = 8 + ox, cy = 8 + oy;
    auto pt = [&](double u, double v) { return horizontal ? std::make_pair(cx + u, cy + v) : std::make_pair(cx + v, cy + u); };
    auto tri = [&](double s) {
      const auto a = pt(s * 1.6, 0), b = pt(s * 5.4, -3.8), d = pt(s * 5.4, 3.8);
      return Convex{{a.first, a.second, b.first, b.second, d.first, d.second}};
    };
    FillSolid(bm, cx - 8, cy - 8, cx + 8, cy + 8, tri(-1), c);
    FillSolid(bm, cx - 8, cy - 8, cx + 8, cy + 8, Outline(tri(1), 1.1), c);
    for (int k = -2; k <= 1; ++k) {
      const auto a = pt(0, k * 2.4 + 0.6), b = pt(0, k * 2.4 + 1.4);
      FillSolid(bm, cx - 8, cy - 8, cx + 8, cy + 8, Segment{a.first, a.second, b.first, b.second, 1.0}, c);
    }
  });
}

void DrawSwapLR(LICE_IBitmap* bm) { MirrorKey(bm, true); }
void DrawSwapTB(LICE_IBitmap* bm) { MirrorKey(bm, false); }

// Push pin, 14 x 14 frames: off = the step's change lasts one pass ("Temp"),
// lit = it stays ("Perm").
void DrawPin(LICE_IBitmap* bm)
{
  TwoStateKey(bm, 3, ACCENT, Rgb(40, 24, 6), [bm](double y, LICE_pixel c) {
    FillSolid(bm, 0, y, 14, y + 14, RoundBox{4.5, y + 2.5, 9.5, y + 4.5, 0.8}, c);
    FillSolid(bm, 0, y, 14, y + 14, Convex{{5.4, y + 4, 8.6, y + 4, 9.2, y + 8, 4.8, y + 8}}, c);
    FillSolid(bm, 0, y, 14, y + 14, RoundBox{3.2, y + 7.6, 10.8, y + 9.0, 0.6}, c);
    FillSolid(bm, 0, y, 14, y + 14, Segment{7, y + 9, 7, y + 12, 1.1}, c);
  });
}

// Tape-deck play key, 14 x 14 frames: off, then latched with a green light.
void DrawTapePlay(LICE_IBitmap* bm)
{
  KeyFace(bm, 0, 0, 14, 14, 3, KEY, false);
  FillSolid(bm, 0, 0, 14, 14, Convex{{4.8, 3.6, 4.8, 10.4, 10.6, 7.0}}, Rgb(206, 210, 218));
  KeyFace(bm, 0, 14, 14, 28, 3, Mix(KEY, BLACK, 0.3), true);
  FillSolid(bm, 0, 14, 14, 28, Convex{{4.8, 18.1, 4.8, 24.9, 10.6, 21.5}}, WithAlpha(Rgb(80, 235, 105), 0.6), 2.2);
  FillSolid(bm, 0, 14, 14, 28, Convex{{4.8, 18.1, 4.8, 24.9, 10.6, 21.5}}, Rgb(120, 250, 140));
}

// Labelled keys, 24 x 14 frames, tinted by the kind of modifier.
LICE_pixel ModifierTint(const std::string& label)
{
  if (label == " -- ") return Rgb(52, 55, 62);
  if (label == "Orig") return Rgb(64, 112, 84);
  if (label == "Mute") return Rgb(134, 52, 48);
  if (label == "Rand") return Rgb(150, 104, 40);
  if (label == "Flip" || label == "L/R" || label == "T/B") return Rgb(96, 74, 132);
  if (label[0] == '<' || label[0] == '>') return Rgb(50, 104, 118);
  return Rgb(58, 84, 128); // ^ and v
}

void LabelledStrip(LICE_IBitmap* bm, const std::vector<std::string>& labels)
{
  const int w = bm->GetWidth() / gScale, h = bm->GetHeight() / gScale / (int)labels.size();
  for (size_t i = 0; i < labels.size(); ++i) {
    const double y0 = (double)(i * h);
    const std::string& label = labels[i];
    KeyFace(bm, 0, y0, w, y0 + h, 2.5, ModifierTint(label), false);
    int size = 10;
    while (size > 8 && TextWidth(label, size) > w - 2) --size;
    const bool none = label == " -- ";
    Text(bm, label, w / 2.0, (int)y0 + 11, CENTRE,
         TextStyle{size, none ? Rgb(150, 154, 164) : Rgb(244, 246, 250), LICE_TEXT_NORMAL, 0.45});
  }
}

const std::vector<std::string> STRIKE_LABELS = {"^ 1", "^ 2", "^ 3", "^ 4", "v 1",  "v 2", "v 3",
                                                "v 4", "Flip", "Rand", "Mute", " -- ", "Orig"};
const std::vector<std::string> MELODY_LABELS = {"L/R", "T/B", "< 1", "< 2", "< 3", "> 1", "> 2",
                                                "> 3", "^ 1", "^ 2", "^ 3", "^ 4", "v 1", "v 2",
                                                "v 3", "v 4", " -- ", "Rand", "Orig"};

void DrawStrikeMod(LICE_IBitmap* bm) { LabelledStrip(bm, STRIKE_LABELS); }
void DrawMelodyMod(LICE_IBitmap* bm) { LabelledStrip(bm, MELODY_LABELS); }

// Row solo and mute keys, 15 x 15 frames.
void LetterKey(LICE_IBitmap* bm, const char* letter, LICE_pixel lit, LICE_pixel litText)
{
  TwoStateKey(bm, 3, lit, litText, [bm, letter](double y, LICE_pixel c) {
    Text(bm, letter, 7.5, (int)y + 11, CENTRE, TextStyle{11, c, LICE_TEXT_BOLD, 0.0});
  });
}
void DrawRowMute(LICE_IBitmap* bm) { LetterKey(bm, "M", Rgb(222, 62, 52), WHITE); }
void DrawRowSolo(LICE_IBitmap* bm) { LetterKey(bm, "S", Rgb(240, 200, 60), Rgb(40, 30, 4)); }

// Chord span thumb: a silver pointer aimed at the grid.
void DrawDownTriangle(LICE_IBitmap* bm)
{
  const Convex outer{{0.6, 1.0, 13.4, 1.0, 7.0, 13.4}};
  FillSolid(bm, 0, 0, 14, 14, Band(outer, 0, -1.2), WithAlpha(BLACK, 0.45), 1.2);
  FillSolid(bm, 0, 0, 14, 14, outer, EDGE);
  const Convex inner{{2.3, 2.0, 11.7, 2.0, 7.0, 11.4}};
  Fill(bm, 0, 0, 14, 14, inner, [](double x, double y) {
    return Mix(Rgb(232, 235, 240), Rgb(120, 124, 132), std::min(1.0, std::max(0.0, (y - 2) / 10 + (x - 7) / 30)));
  });
  FillSolid(bm, 0, 0, 14, 14, Segment{7, 3.6, 7, 8.0, 1.2}, ACCENT);
}

struct Image {
  int id;
  const char* file;
  int width, height, frames;
  bool alpha;
  void (*draw)(LICE_IBitmap*);
};

const Image IMAGES[] = {
  {100, "background.png", 720, 650, 1, false, DrawBackground},
  {101, "led-12x12.png", 12, 12, 1, true, DrawLed},
  {102, "small-switch-11x11.png", 11, 22, 2, true, DrawSmallSwitch},
  {103, "push-led-12x12.png", 12, 24, 2, true, DrawPushLed},
  {104, "on-off-led.png", 12, 24, 2, true, DrawOnOffLed},
  {105, "silver-knob128.png", 32, 4096, 128, true, DrawKnob128},
  {106, "silver-knob101.png", 32, 3232, 101, true, DrawKnob101},
  {107, "silver-knob17.png", 32, 544, 17, true, DrawKnob17},
  {108, "silver-knob16.png", 32, 512, 16, true, DrawKnob16},
  {109, "lock-button.png", 13, 18, 2, true, DrawLockButton},
  {110, "mute-button.png", 13, 18, 2, true, DrawMuteButton},
  {111, "shift-left-button.png", 16, 32, 2, true, DrawShiftLeft},
  {112, "shift-right-button.png", 16, 32, 2, true, DrawShiftRight},
  {113, "shift-up-button.png", 16, 32, 2, true, DrawShiftUp},
  {114, "shift-down-button.png", 16, 32, 2, true, DrawShiftDown},
  {115, "swap-LR-button.png", 16, 32, 2, true, DrawSwapLR},
  {116, "swap-TB-button.png", 16, 32, 2, true, DrawSwapTB},
  {117, "pin-14x14.png", 14, 28, 2, true, DrawPin},
  {118, "strike-mod-button.png", 24, 182, 13, true, DrawStrikeMod},
  {119, "melody-mod-button.png", 24, 266, 19, true, DrawMelodyMod},
  {120, "knob16x16-101.png", 16, 1616, 101, true, DrawSmallKnob101},
  {121, "knob16x16-8.png", 16, 128, 8, true, DrawSmallKnob8},
  {122, "mute-button-15x15.png", 15, 30, 2, true, DrawRowMute},
  {123, "solo-button-15x15.png", 15, 30, 2, true, DrawRowSolo},
  {124, "down-triangle.png", 14, 14, 1, true, DrawDownTriangle},
  {125, "tape-play-button.png", 14, 28, 2, true, DrawTapePlay},
};

// ---- preview ----------------------------------------------------------------------------

typedef std::map<int, std::unique_ptr<LICE_MemBitmap>> ImageSet;

int FrameCount(int id)
{
  for (const Image& im : IMAGES)
    if (im.id == id) return im.frames;
  return 1;
}

// Pastes the frame for a normalised value, as the editor's bitmap controls pick it.
void Paste(LICE_IBitmap* dest, const ImageSet& images, int id, int x, int y, double value)
{
  const LICE_MemBitmap* src = images.at(id).get();
  const int n = FrameCount(id), fh = src->GetHeight() / n;
  int frame = n < 2 ? 1 : (int)((n - 1) * value + 0.5) + 1;
  frame = std::min(n, std::max(1, frame));
  const int srcy = frame == 1 ? 0 : (int)(src->GetHeight() * (frame - 1.0) / n + 0.5);
  LICE_Blit(dest, src, x, y, 0, srcy, src->GetWidth(), fh, 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
}

void Rect(LICE_IBitmap* bm, int l, int t, int r, int b, LICE_pixel c)
{
  LICE_FillRect(bm, l, t, r - l, b - t, c, 1.0f, LICE_BLIT_MODE_COPY);
}

void Frame(LICE_IBitmap* bm, int l, int t, int r, int b, LICE_pixel c)
{
  LICE_Line(bm, (float)l, (float)t, (float)(r - 1), (float)t, c, 1.0f, LICE_BLIT_MODE_COPY, false);
  LICE_Line(bm, (float)l, (float)(b - 1), (float)(r - 1), (float)(b - 1), c, 1.0f, LICE_BLIT_MODE_COPY, false);
  LICE_Line(bm, (float)l, (float)t, (float)l, (float)(b - 1), c, 1.0f, LICE_BLIT_MODE_COPY, false);
  LICE_Line(bm, (float)(r - 1), (float)t, (float)(r - 1), (float)(b - 1), c, 1.0f, LICE_BLIT_MODE_COPY, false);
}

// Control text: "Arial" 14 (or 16) white, centred in the rectangle, top at its top.
void ControlText(LICE_IBitmap* bm, const char* s, int l, int t, int r, int size = 14)
{
  LICE_TextFormat f = Format(size, LICE_TEXT_NORMAL);
  f.face = "Arial";
  f.align = LICE_TEXT_ALIGN_CENTER;
  LICE_DrawText(bm, s, l, t, r, t + size, f);
}

// The editor as it could look while playing: every control drawn the way it draws
// itself, over the background, with made-up values.
void DrawPreview(LICE_IBitmap* bm, const ImageSet& images)
{
  LICE_Blit(bm, images.at(100).get(), 0, 0, 1.0f, LICE_BLIT_MODE_COPY);
  struct K {
    int x, y, id;
    double value;
    const char* text;
  };
  const K knobs[] = {{330, 10, 108, 3 / 16.0, "1/8"}, {530, 10, 108, 3 / 16.0, "1/8"}, {530, 50, 106, 0.2, "0.20"},
                     {626, 10, 105, 100 / 127.0, "100"}, {626, 50, 105, 0.15, "0.15"}, {426, 10, 106, 0.35, "0.35"},
                     {426, 50, 106, 0.1, "0.10"},  {234, 10, 105, 1.0, "4"},     {42, 506, 105, 1.0, "48"},
                     {314, 443, 106, 0.25, "0.25"}, {130, 390, 121, 0.0, "1"},    {185, 390, 121, 1.0, "8"},
                     {546, 390, 121, 2 / 7.0, "3"},  {601, 390, 121, 3 / 7.0, "4"}};
  for (const K& k : knobs) {
    Paste(bm, images, k.id, k.x, k.y, k.value);
    if (k.id == 121) ControlText(bm, k.text, k.x + 18, k.y + 1, k.x + 38); // beside the small panel knobs
    else ControlText(bm, k.text, k.x + 40, k.y + 17, k.x + 70);
  }
  Paste(bm, images, 104, 19, 509, 1.0);
  struct S {
    int x, y;
    const char* text;
  };
  const S spinners[] = {{47, 6, "C5"},   {179, 6, "1"},     {47, 29, "Dorian"}, {644, 109, "Fwd"}, {20, 390, "Fwd"},
                        {80, 390, "1"},  {235, 390, "1.00"}, {436, 390, "Random"}, {496, 390, "2"}, {651, 390, "0.50"},
                        {122, 53, "Triad"}, {47, 53, "Minor"}};
  for (const S& s : spinners) ControlText(bm, s.text, s.x + 2, s.y, s.x + 48);
  const char* degrees[] = {"1", "3", "5", "1", "3", "6", "1", "4", "6", "2", "4", "6"};
  for (int n = 0; n < 12; ++n) ControlText(bm, degrees[n], 22 + 52 * n, 93, 68 + 52 * n);

  // Chord span over steps 1..10, grid cells.
  const int low = 0, high = 10;
  Rect(bm, 20 + 51 * low, 115, 20 + 51 * high, 118, Rgb(0, 64, 96));
  Paste(bm, images, 124, 13 + 51 * low, 111, 0);
  Paste(bm, images, 124, 13 + 51 * high, 111, 0);
  const int colsL[3][4] = {{1, 21, 0, 0}, {1, 14, 28, 0}, {1, 11, 21, 31}};
  const int colsR[3][4] = {{19, 39, 0, 0}, {12, 26, 39, 0}, {9, 19, 29, 39}};
  const LICE_pixel grey = Rgb(127, 127, 127), orange = Rgb(255, 127, 0);
  uint32_t seed = 12345;
  for (int s = 0; s < 12; ++s)
    for (int v = 0; v < 4; ++v) {
      const int x = 20 + 52 * s, y = 128 + 63 * v;
      const bool active = s >= low && s < high, enabled = !(v == 3 && s % 3 == 1), muted = v == 2;
      const bool audible = enabled && !muted, live = audible && active;
      const LICE_pixel line = live ? orange : grey;
      const int L = x, T = y + 10;
      Frame(bm, L, T, L + 40, T + 40, line);
      if (s == 4 && v == 1) Rect(bm, L, T, L + 40, T + 40, LICE_RGBA(127, 127, 127, 75));
      for (int hy : {32, 24, 16, 8}) LICE_Line(bm, (float)L, (float)(T + hy), (float)(L + 39), (float)(T + hy), line, 1.0f, 0, false);
      for (int sx : {10, 20, 30}) LICE_Line(bm, (float)(L + sx), (float)T, (float)(L + sx), (float)(T + 39), line, 1.0f, 0, false);
      for (int p = 0; p < 4; ++p) {
        seed = Hash(seed + 1);
        const int mask = (int)(seed & 31) & (int)(Hash(seed) & 31);
        for (int j = 0; j < 5; ++j)
          if (mask >> j & 1) {
            const int top = 33 - 8 * j, l = colsL[2][p], r = colsR[2][p];
            Rect(bm, L + l + 1, T + top + 1, L + r, T + top + 7, live ? Rgb(255, 255, 0) : Rgb(145, 145, 0));
          }
      }
      Frame(bm, x, y, x + 8, y + 8, grey);
      Rect(bm, x + 1, y + 1, x + 7, y + 7,
           audible ? (active ? Rgb(0, 255, 0) : Rgb(0, 145, 0)) : (active ? Rgb(255, 0, 0) : Rgb(145, 0, 0)));
      char count[4];
      std::snprintf(count, sizeof count, "%d", v == 0 && s % 4 == 2 ? 2 : 1);
      ControlText(bm, count, x + 24, y - 3, x + 40);
      if (s == 2 && v == 0) Rect(bm, x + colsL[2][1], y + 53, x + colsR[2][1] + 1, y + 55, WHITE);
    }
  for (int r = 0; r < 4; ++r) {
    const int y = 138 + 63 * r;
    Rect(bm, 2, y, 16, y + 14, grey);
    Paste(bm, images, 123, 644, y, r == 1 ? 1.0 : 0.0);
    Paste(bm, images, 122, 661, y, r == 2 ? 1.0 : 0.0);
  }

  // Groove.
  for (int i = 0; i < 48; ++i) {
    const int value = i % 4 == 0 ? 128 : i % 4 == 2 ? 96 : (i % 8 == 3 ? 80 : 56);
    const bool muted = i == 13 || i == 14;
    const LICE_pixel c = i >= 40 ? Rgb(200, 12, 12) : muted ? grey : Rgb(235, 101, 20);
    Rect(bm, 20 + 14 * i, 614 - value / 2, 20 + 14 * i + 12, 614, c);
    Rect(bm, 20 + 14 * i, 616, 20 + 14 * i + 12, 618, i == 9 ? WHITE : BLACK);
    Paste(bm, images, 109, 20 + 14 * i, 618, i == 0 || i == 8 ? 1.0 : 0.0);
    Paste(bm, images, 110, 20 + 14 * i, 632, muted ? 1.0 : 0.0);
  }

  // Edit buttons (one held down), modifier panels, preset name.
  const int editX[] = {146, 170, 194, 218, 242, 266, 306, 330, 354, 378, 402, 426, 466, 490, 514};
  const int editId[] = {111, 112, 113, 114, 115, 116, 111, 112, 113, 114, 115, 116, 111, 112, 115};
  for (int i = 0; i < 15; ++i) Paste(bm, images, editId[i], editX[i], 512, i == 7 ? 1.0 : 0.0);
  const int strike[] = {0, 11, 4, 8, 11, 9, 10, 12};
  const int melody[] = {2, 16, 8, 0, 17, 16, 13, 18};
  for (int i = 0; i < 8; ++i) {
    int x = 39 + 29 * i;
    Paste(bm, images, 118, x, 426, strike[i] / 12.0);
    Paste(bm, images, 117, x, 410, i % 3 == 1 ? 1.0 : 0.0);
    Rect(bm, x, 441, x + 24, 447, i == 2 ? WHITE : grey);
    x = 455 + 29 * i;
    Paste(bm, images, 119, x, 425, melody[i] / 18.0);
    Paste(bm, images, 117, x, 410, i == 4 ? 1.0 : 0.0);
    Rect(bm, x, 440, x + 24, 446, i >= 6 ? Rgb(255, 0, 0) : i == 1 ? WHITE : grey);
  }
  Paste(bm, images, 125, 20, 410, 1.0);
  Paste(bm, images, 125, 436, 410, 0.0);
  Frame(bm, 555, 516, 712, 532, WHITE);
  ControlText(bm, "Night Drive", 555, 516, 712, 16);
}

// ---- PNG writing -------------------------------------------------------------------

void OnError(png_structp png, png_const_charp msg)
{
  std::fprintf(stderr, "make_artwork: libpng: %s\n", msg);
  png_longjmp(png, 1);
}

// 8 bits per channel, RGBA (or RGB without alpha), no time stamp or other
// ancillary chunk. The row buffer lives before the setjmp and nothing with a
// destructor is created after it.
bool WritePng(const std::string& path, const LICE_IBitmap* bm, bool alpha)
{
  const int w = bm->GetWidth(), h = bm->GetHeight(), channels = alpha ? 4 : 3;
  std::vector<png_byte> pixels((size_t)w * h * channels);
  std::vector<png_bytep> rows((size_t)h);
  for (int y = 0; y < h; ++y) {
    rows[(size_t)y] = &pixels[(size_t)y * w * channels];
    const LICE_pixel* src = bm->GetBits() + (size_t)y * bm->GetRowSpan();
    for (int x = 0; x < w; ++x) {
      png_bytep out = rows[(size_t)y] + (size_t)x * channels;
      // Fully transparent pixels carry no colour: zero them so they compress.
      const bool clear = alpha && LICE_GETA(src[x]) == 0;
      out[0] = clear ? 0 : (png_byte)LICE_GETR(src[x]);
      out[1] = clear ? 0 : (png_byte)LICE_GETG(src[x]);
      out[2] = clear ? 0 : (png_byte)LICE_GETB(src[x]);
      if (alpha) out[3] = (png_byte)LICE_GETA(src[x]);
    }
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, (png_uint_32)w, (png_uint_32)h, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv)
{
  const std::string folder = argc > 1 ? argv[1] : "resources/img";
  const std::string preview = argc > 2 ? argv[2] : "docs/artwork-preview.png";
  if (!CheckFont()) return 1;
  int failures = 0;
  ImageSet images;
  for (int scale : {1, 2}) {
    gScale = scale;
    const std::string dir = scale == 1 ? folder : folder + "/2x";
    std::error_code made;
    if (scale != 1) std::filesystem::create_directories(dir, made);
    for (const Image& image : IMAGES) {
      const int w = image.width * scale, h = image.height * scale;
      std::unique_ptr<LICE_MemBitmap> bm(new LICE_MemBitmap(w, h));
      LICE_Clear(bm.get(), image.alpha ? 0 : LICE_RGBA(0, 0, 0, 255));
      image.draw(bm.get());
      const std::string path = dir + "/" + image.file;
      if (!WritePng(path, bm.get(), image.alpha)) {
        std::fprintf(stderr, "make_artwork: cannot write %s\n", path.c_str());
        ++failures;
      } else {
        std::printf("%d %s %dx%d, %d frame%s\n", image.id, path.c_str(), w, h, image.frames,
                    image.frames == 1 ? "" : "s");
      }
      if (scale == 1) images[image.id] = std::move(bm);
    }
  }
  gScale = 1;
  LICE_MemBitmap whole(720, 650);
  DrawPreview(&whole, images);
  if (!WritePng(preview, &whole, false)) {
    std::fprintf(stderr, "make_artwork: cannot write %s\n", preview.c_str());
    ++failures;
  } else {
    std::printf("preview %s\n", preview.c_str());
  }
  return failures ? 1 : 0;
}
