// Draws the editor's placeholder images with the bitmap layer and writes them as
// PNG files: make_artwork [output folder, default resources/img].
// Each image has its own drawing function, listed with its resource id, file
// name, size and frame count in IMAGES below; replacing a placeholder with real
// artwork means replacing its function (or just its file).
#include "LiceBitmap.h"
#include "LiceDraw.h"
#include "LiceText.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double PI = 3.14159265358979323846;

// ---- drawing primitives of the tool ------------------------------------------

LICE_pixel Rgb(int r, int g, int b, int a = 255) { return LICE_RGBA(r, g, b, a); }

LICE_pixel Mix(LICE_pixel a, LICE_pixel b, double t)
{
  auto ch = [t](int x, int y) { return (int)std::lround(x + (y - x) * t); };
  return LICE_RGBA(ch(LICE_GETR(a), LICE_GETR(b)), ch(LICE_GETG(a), LICE_GETG(b)), ch(LICE_GETB(a), LICE_GETB(b)),
                   ch(LICE_GETA(a), LICE_GETA(b)));
}

void VerticalGradient(LICE_IBitmap* bm, int x, int y, int w, int h, LICE_pixel top, LICE_pixel bottom)
{
  for (int i = 0; i < h; ++i)
    LICE_FillRect(bm, x, y + i, w, 1, Mix(top, bottom, h > 1 ? (double)i / (h - 1) : 0.0), 1.0f,
                  LICE_BLIT_MODE_COPY);
}

void Outline(LICE_IBitmap* bm, int x, int y, int w, int h, LICE_pixel c)
{
  LICE_Line(bm, x, y, x + w - 1, y, c, 1.0f, LICE_BLIT_MODE_COPY, false);
  LICE_Line(bm, x, y + h - 1, x + w - 1, y + h - 1, c, 1.0f, LICE_BLIT_MODE_COPY, false);
  LICE_Line(bm, x, y, x, y + h - 1, c, 1.0f, LICE_BLIT_MODE_COPY, false);
  LICE_Line(bm, x + w - 1, y, x + w - 1, y + h - 1, c, 1.0f, LICE_BLIT_MODE_COPY, false);
}

// Antialiased disc; (cx, cy) and r in continuous coordinates (pixel centres at
// +0.5). `shade` varies the colour from the top (0) to the bottom (1).
void Disc(LICE_IBitmap* bm, double cx, double cy, double r, LICE_pixel top, LICE_pixel bottom)
{
  for (int y = (int)std::floor(cy - r - 1); y <= (int)std::ceil(cy + r + 1); ++y)
    for (int x = (int)std::floor(cx - r - 1); x <= (int)std::ceil(cx + r + 1); ++x) {
      const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
      const double cov = std::min(1.0, std::max(0.0, r - d + 0.5));
      if (cov <= 0.0) continue;
      const double t = std::min(1.0, std::max(0.0, (y + 0.5 - (cy - r)) / (2 * r)));
      LICE_PutPixel(bm, x, y, Mix(top, bottom, t), (float)cov, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
    }
}

// Antialiased triangle by 4 x 4 supersampling.
void Triangle(LICE_IBitmap* bm, double x0, double y0, double x1, double y1, double x2, double y2, LICE_pixel c)
{
  auto edge = [](double ax, double ay, double bx, double by, double px, double py) {
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
  };
  const int xa = (int)std::floor(std::min({x0, x1, x2})), xb = (int)std::ceil(std::max({x0, x1, x2}));
  const int ya = (int)std::floor(std::min({y0, y1, y2})), yb = (int)std::ceil(std::max({y0, y1, y2}));
  for (int y = ya; y <= yb; ++y)
    for (int x = xa; x <= xb; ++x) {
      int inside = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
          const double px = x + (sx + 0.5) / 4, py = y + (sy + 0.5) / 4;
          const double e0 = edge(x0, y0, x1, y1, px, py), e1 = edge(x1, y1, x2, y2, px, py),
                       e2 = edge(x2, y2, x0, y0, px, py);
          if ((e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0)) ++inside;
        }
      if (inside) LICE_PutPixel(bm, x, y, c, inside / 16.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
    }
}

void Text(LICE_IBitmap* bm, const char* s, int l, int t, int r, int size, int align, LICE_pixel c)
{
  LICE_TextFormat f;
  f.face = "Arial";
  f.size = size;
  f.align = align;
  f.color = c;
  LICE_DrawText(bm, s, l, t, r, t + size, f);
}

// A rounded-corner button face filling the frame at y0.
void ButtonFace(LICE_IBitmap* bm, int y0, int w, int h, LICE_pixel top, LICE_pixel bottom, LICE_pixel rim)
{
  VerticalGradient(bm, 1, y0 + 1, w - 2, h - 2, top, bottom);
  LICE_Line(bm, 1, y0, w - 2, y0, rim, 1.0f, LICE_BLIT_MODE_COPY, false);
  LICE_Line(bm, 1, y0 + h - 1, w - 2, y0 + h - 1, rim, 1.0f, LICE_BLIT_MODE_COPY, false);
  LICE_Line(bm, 0, y0 + 1, 0, y0 + h - 2, rim, 1.0f, LICE_BLIT_MODE_COPY, false);
  LICE_Line(bm, w - 1, y0 + 1, w - 1, y0 + h - 2, rim, 1.0f, LICE_BLIT_MODE_COPY, false);
}

// Two frames of a w x h button: off, then lit; `glyph` draws on either frame.
template <typename Glyph>
void TwoStateButton(LICE_IBitmap* bm, LICE_pixel lit, Glyph glyph)
{
  const int w = bm->GetWidth(), h = bm->GetHeight() / 2;
  ButtonFace(bm, 0, w, h, Rgb(92, 96, 104), Rgb(52, 55, 62), Rgb(24, 25, 28));
  ButtonFace(bm, h, w, h, Mix(lit, Rgb(255, 255, 255), 0.35), lit, Rgb(24, 25, 28));
  glyph(0, Rgb(220, 222, 228));
  glyph(h, Rgb(20, 20, 24));
}

// A knob strip: `frames` frames of size x size, the pointer turning from -135
// to +135 degrees.
void KnobStrip(LICE_IBitmap* bm, int frames, LICE_pixel body, LICE_pixel pointer)
{
  const int size = bm->GetWidth();
  for (int i = 0; i < frames; ++i) {
    const double y0 = (double)i * size;
    const double c = size / 2.0;
    const double r = c - 1.0;
    Disc(bm, c, y0 + c + 0.6, r, Rgb(0, 0, 0, 90), Rgb(0, 0, 0, 90)); // shadow
    Disc(bm, c, y0 + c, r, Mix(body, Rgb(255, 255, 255), 0.45), Mix(body, Rgb(0, 0, 0), 0.45));
    Disc(bm, c, y0 + c, r * 0.72, Mix(body, Rgb(255, 255, 255), 0.2), Mix(body, Rgb(0, 0, 0), 0.2));
    const double a = (-135.0 + 270.0 * (frames > 1 ? (double)i / (frames - 1) : 0.0)) * PI / 180.0;
    const double sx = std::sin(a), sy = -std::cos(a);
    const double x1 = c - 0.5 + sx * r * 0.25, y1 = y0 + c - 0.5 + sy * r * 0.25;
    const double x2 = c - 0.5 + sx * (r - 1.5), y2 = y0 + c - 0.5 + sy * (r - 1.5);
    for (double o = -0.5; o <= 0.5; o += 0.5)
      LICE_Line(bm, (float)(x1 + o * sy), (float)(y1 - o * sx), (float)(x2 + o * sy), (float)(y2 - o * sx), pointer,
                1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA, true);
  }
}

// N frames of a small labelled button, the hue moving with the frame.
void LabelledStrip(LICE_IBitmap* bm, int frames)
{
  const int w = bm->GetWidth(), h = bm->GetHeight() / frames;
  for (int i = 0; i < frames; ++i) {
    const double t = frames > 1 ? (double)i / (frames - 1) : 0.0;
    const LICE_pixel face = i == 0 ? Rgb(70, 73, 80) : Mix(Rgb(60, 130, 200), Rgb(220, 120, 50), t);
    ButtonFace(bm, i * h, w, h, Mix(face, Rgb(255, 255, 255), 0.25), face, Rgb(24, 25, 28));
    char label[16];
    std::snprintf(label, sizeof label, "%d", i);
    Text(bm, label, 0, i * h + 1, w, h - 2, LICE_TEXT_ALIGN_CENTER, Rgb(240, 240, 240));
  }
}

// ---- the images -------------------------------------------------------------

void DrawBackground(LICE_IBitmap* bm)
{
  VerticalGradient(bm, 0, 0, 720, 650, Rgb(46, 50, 58), Rgb(26, 28, 33));
  const LICE_pixel panel = Rgb(36, 39, 46), rim = Rgb(70, 76, 88), label = Rgb(170, 176, 190);
  struct Box { int x, y, w, h; };
  const Box boxes[] = {{6, 2, 220, 78},   {228, 2, 486, 84},   {8, 88, 704, 284},
                       {8, 378, 410, 122}, {424, 378, 288, 122}, {8, 502, 540, 38}, {550, 502, 164, 38},
                       {8, 544, 704, 104}};
  for (const Box& b : boxes) {
    LICE_FillRect(bm, b.x, b.y, b.w, b.h, panel, 1.0f, LICE_BLIT_MODE_COPY);
    Outline(bm, b.x, b.y, b.w, b.h, rim);
  }
  // Grid cells: 12 steps x 4 rows.
  for (int s = 0; s < 12; ++s)
    for (int v = 0; v < 4; ++v) {
      const int x = 20 + 52 * s, y = 128 + 63 * v;
      LICE_FillRect(bm, x, y + 10, 40, 40, Rgb(22, 24, 29), 1.0f, LICE_BLIT_MODE_COPY);
      Outline(bm, x - 1, y + 9, 42, 42, Rgb(58, 63, 74));
    }
  // Spinner labels, left of their boxes.
  struct Label { const char* text; int x, y; };
  const Label spinners[] = {{"Tonic", 47, 6}, {"Chan", 179, 6}, {"Mode", 47, 29}, {"Scale", 47, 53},
                            {"Interval", 122, 53}};
  for (const Label& l : spinners) Text(bm, l.text, l.x - 46, l.y + 2, l.x, 11, LICE_TEXT_ALIGN_RIGHT, label);
  // Knob labels, above their read-outs.
  const Label knobs[] = {{"Units", 330, 10},  {"Length", 530, 10}, {"Len jitter", 530, 50}, {"Velocity", 626, 10},
                         {"Vel jitter", 626, 50}, {"Swing", 426, 10}, {"Humanise", 426, 50}, {"Pulses", 234, 10},
                         {"Steps", 42, 506},  {"Life", 314, 443},   {"Begin", 130, 390},     {"Length", 185, 390},
                         {"Begin", 546, 390}, {"Length", 601, 390}};
  for (const Label& l : knobs) Text(bm, l.text, l.x + 36, l.y + 3, l.x + 90, 11, LICE_TEXT_ALIGN_LEFT, label);
  Text(bm, "TAVRINEL", 234, 52, 420, 20, LICE_TEXT_ALIGN_LEFT, Rgb(210, 214, 224));
  Text(bm, "Strike modifiers", 12, 484, 200, 12, LICE_TEXT_ALIGN_LEFT, label);
  Text(bm, "Melody modifiers", 428, 484, 620, 12, LICE_TEXT_ALIGN_LEFT, label);
  Text(bm, "Groove", 12, 546, 200, 11, LICE_TEXT_ALIGN_LEFT, label);
}

void DrawLed(LICE_IBitmap* bm)
{
  Disc(bm, 6, 6, 5, Rgb(255, 150, 150), Rgb(170, 20, 20));
}

// Frames: off, on.
void DrawLedStrip(LICE_IBitmap* bm, LICE_pixel on)
{
  const int s = bm->GetWidth();
  const double c = s / 2.0;
  Disc(bm, c, c, c - 1, Rgb(90, 92, 98), Rgb(40, 42, 46));
  Disc(bm, c, s + c, c - 1, Mix(on, Rgb(255, 255, 255), 0.6), on);
}

void DrawSmallSwitch(LICE_IBitmap* bm) { DrawLedStrip(bm, Rgb(90, 200, 90)); }
void DrawPushLed(LICE_IBitmap* bm) { DrawLedStrip(bm, Rgb(240, 180, 40)); }
void DrawOnOffLed(LICE_IBitmap* bm) { DrawLedStrip(bm, Rgb(60, 220, 80)); }

void DrawKnob128(LICE_IBitmap* bm) { KnobStrip(bm, 128, Rgb(180, 184, 192), Rgb(30, 30, 34)); }
void DrawKnob101(LICE_IBitmap* bm) { KnobStrip(bm, 101, Rgb(180, 184, 192), Rgb(30, 30, 34)); }
void DrawKnob17(LICE_IBitmap* bm) { KnobStrip(bm, 17, Rgb(180, 184, 192), Rgb(30, 30, 34)); }
void DrawKnob16(LICE_IBitmap* bm) { KnobStrip(bm, 16, Rgb(180, 184, 192), Rgb(30, 30, 34)); }
void DrawSmallKnob101(LICE_IBitmap* bm) { KnobStrip(bm, 101, Rgb(150, 156, 168), Rgb(240, 240, 240)); }
void DrawSmallKnob8(LICE_IBitmap* bm) { KnobStrip(bm, 8, Rgb(150, 156, 168), Rgb(240, 240, 240)); }

// 13 x 18: two 13 x 9 frames.
void DrawLockButton(LICE_IBitmap* bm)
{
  TwoStateButton(bm, Rgb(230, 190, 60), [bm](int y, LICE_pixel c) {
    LICE_FillRect(bm, 4, y + 4, 5, 3, c, 1.0f, LICE_BLIT_MODE_COPY);
    LICE_Line(bm, 5, y + 3, 5, y + 2, c, 1.0f, LICE_BLIT_MODE_COPY, false);
    LICE_Line(bm, 7, y + 3, 7, y + 2, c, 1.0f, LICE_BLIT_MODE_COPY, false);
    LICE_PutPixel(bm, 6, y + 1, c, 1.0f, LICE_BLIT_MODE_COPY);
  });
}

void DrawMuteButton(LICE_IBitmap* bm)
{
  TwoStateButton(bm, Rgb(220, 70, 60), [bm](int y, LICE_pixel c) {
    LICE_Line(bm, 4, y + 2, 8, y + 6, c, 1.0f, LICE_BLIT_MODE_COPY, false);
    LICE_Line(bm, 8, y + 2, 4, y + 6, c, 1.0f, LICE_BLIT_MODE_COPY, false);
  });
}

// Arrow buttons, 16 x 16 frames; (dx, dy) is the arrow's direction.
void ArrowButton(LICE_IBitmap* bm, int dx, int dy)
{
  TwoStateButton(bm, Rgb(110, 170, 230), [bm, dx, dy](int y, LICE_pixel c) {
    const double cx = 8, cy = y + 8;
    const double tipx = cx + dx * 5, tipy = cy + dy * 5;
    const double bx = cx - dx * 1, by = cy - dy * 1;
    Triangle(bm, tipx, tipy, bx + dy * 4.5, by + dx * 4.5, bx - dy * 4.5, by - dx * 4.5, c);
    LICE_FillRect(bm, (int)(cx - 1 - dx * 4 - (dx ? 0 : 0)), (int)(cy - 1 - dy * 4), dx ? 3 : 2, dy ? 3 : 2, c, 1.0f,
                  LICE_BLIT_MODE_COPY);
  });
}

void DrawShiftLeft(LICE_IBitmap* bm) { ArrowButton(bm, -1, 0); }
void DrawShiftRight(LICE_IBitmap* bm) { ArrowButton(bm, 1, 0); }
void DrawShiftUp(LICE_IBitmap* bm) { ArrowButton(bm, 0, -1); }
void DrawShiftDown(LICE_IBitmap* bm) { ArrowButton(bm, 0, 1); }

// Swap buttons: two small arrows pointing apart along one axis.
void SwapButton(LICE_IBitmap* bm, bool horizontal)
{
  TwoStateButton(bm, Rgb(170, 130, 230), [bm, horizontal](int y, LICE_pixel c) {
    const double cx = 8, cy = y + 8;
    if (horizontal) {
      Triangle(bm, cx - 6, cy, cx - 1.5, cy - 4, cx - 1.5, cy + 4, c);
      Triangle(bm, cx + 6, cy, cx + 1.5, cy - 4, cx + 1.5, cy + 4, c);
    } else {
      Triangle(bm, cx, cy - 6, cx - 4, cy - 1.5, cx + 4, cy - 1.5, c);
      Triangle(bm, cx, cy + 6, cx - 4, cy + 1.5, cx + 4, cy + 1.5, c);
    }
  });
}

void DrawSwapLR(LICE_IBitmap* bm) { SwapButton(bm, true); }
void DrawSwapTB(LICE_IBitmap* bm) { SwapButton(bm, false); }

void DrawPin(LICE_IBitmap* bm)
{
  TwoStateButton(bm, Rgb(240, 210, 80), [bm](int y, LICE_pixel c) {
    Disc(bm, 7, y + 5, 2.5, c, c);
    LICE_Line(bm, 7, y + 7, 7, y + 11, c, 1.0f, LICE_BLIT_MODE_COPY, false);
  });
}

void DrawStrikeMod(LICE_IBitmap* bm) { LabelledStrip(bm, 13); }
void DrawMelodyMod(LICE_IBitmap* bm) { LabelledStrip(bm, 19); }

void DrawRowMute(LICE_IBitmap* bm)
{
  TwoStateButton(bm, Rgb(220, 70, 60), [bm](int y, LICE_pixel c) { Text(bm, "M", 0, y + 1, 15, 12, 1, c); });
}

void DrawRowSolo(LICE_IBitmap* bm)
{
  TwoStateButton(bm, Rgb(240, 200, 60), [bm](int y, LICE_pixel c) { Text(bm, "S", 0, y + 1, 15, 12, 1, c); });
}

void DrawDownTriangle(LICE_IBitmap* bm)
{
  Triangle(bm, 1, 2, 13, 2, 7, 12, Rgb(230, 230, 236));
}

void DrawTapePlay(LICE_IBitmap* bm)
{
  TwoStateButton(bm, Rgb(80, 210, 100), [bm](int y, LICE_pixel c) { Triangle(bm, 4, y + 3, 4, y + 11, 11, y + 7, c); });
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

// ---- PNG writing --------------------------------------------------------------

void OnError(png_structp png, png_const_charp msg)
{
  std::fprintf(stderr, "make_artwork: libpng: %s\n", msg);
  png_longjmp(png, 1);
}

// 8 bits per channel, RGBA (or RGB without alpha). The row buffer lives before
// the setjmp and nothing with a destructor is created after it.
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
      out[0] = (png_byte)LICE_GETR(src[x]);
      out[1] = (png_byte)LICE_GETG(src[x]);
      out[2] = (png_byte)LICE_GETB(src[x]);
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
  int failures = 0;
  for (const Image& image : IMAGES) {
    LICE_MemBitmap bm(image.width, image.height);
    LICE_Clear(&bm, image.alpha ? 0 : LICE_RGBA(0, 0, 0, 255));
    image.draw(&bm);
    const std::string path = folder + "/" + image.file;
    if (!WritePng(path, &bm, image.alpha)) {
      std::fprintf(stderr, "make_artwork: cannot write %s\n", path.c_str());
      ++failures;
      continue;
    }
    std::printf("%d %s %dx%d, %d frame%s\n", image.id, path.c_str(), image.width, image.height, image.frames,
                image.frames == 1 ? "" : "s");
  }
  return failures ? 1 : 0;
}
