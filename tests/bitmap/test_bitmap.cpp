#include "LiceBitmap.h"
#include "LiceDraw.h"
#include "LiceText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace {

constexpr double PI = 3.14159265358979323846;

int Ch(LICE_pixel p, int i) { return (int)((p >> (8 * i)) & 0xFF); } // 0 B, 1 G, 2 R, 3 A

// Blends one source pixel into one destination pixel through LICE_Blit.
LICE_pixel BlitOne(LICE_pixel d, LICE_pixel s, float weight, int mode)
{
  LICE_MemBitmap dst(1, 1), src(1, 1);
  dst.GetBits()[0] = d;
  src.GetBits()[0] = s;
  LICE_Blit(&dst, &src, 0, 0, weight, mode);
  return dst.GetBits()[0];
}

void ExpectNear(LICE_pixel got, double b, double g, double r, double a, const char* what)
{
  const double want[4] = {b, g, r, a};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(Ch(got, i), want[i], 1.0) << what << " channel " << i;
}

void Fill(LICE_IBitmap* bm, LICE_pixel c) { LICE_Clear(bm, c); }

// Counts pixels that differ from `background`.
int Changed(const LICE_IBitmap& bm, LICE_pixel background)
{
  int n = 0;
  for (int y = 0; y < bm.GetHeight(); ++y)
    for (int x = 0; x < bm.GetWidth(); ++x) n += LICE_GetPixel(&bm, x, y) != background;
  return n;
}

TEST(BitmapBlend, CopyModes)
{
  const LICE_pixel d = LICE_RGBA(16, 100, 200, 255);
  const LICE_pixel s = LICE_RGBA(240, 20, 0, 128);
  // Plain copy: weight 1 is exact in all channels, weight 0 changes nothing.
  EXPECT_EQ(BlitOne(d, s, 1.0f, LICE_BLIT_MODE_COPY), s);
  EXPECT_EQ(BlitOne(d, s, 0.0f, LICE_BLIT_MODE_COPY), d);
  EXPECT_EQ(BlitOne(d, s, 2.5f, LICE_BLIT_MODE_COPY), s);
  EXPECT_EQ(BlitOne(d, s, -1.0f, LICE_BLIT_MODE_COPY), d);
  EXPECT_EQ(BlitOne(d, s, std::numeric_limits<float>::quiet_NaN(), LICE_BLIT_MODE_COPY), d);
  ExpectNear(BlitOne(d, s, 0.25f, LICE_BLIT_MODE_COPY), 200 - 200 * 0.25, 100 - 80 * 0.25, 16 + 224 * 0.25,
             255 - 127 * 0.25, "copy 0.25");
  // With source alpha: opaque pixels copy exactly, clear ones leave the
  // destination alone, half alpha mixes halfway and the alpha becomes the union.
  const int mode = LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;
  EXPECT_EQ(BlitOne(d, s | 0xFF000000, 1.0f, mode), s | 0xFF000000);
  EXPECT_EQ(BlitOne(d, s & 0x00FFFFFF, 1.0f, mode), d);
  ExpectNear(BlitOne(d, s, 1.0f, mode), 100, 60, 128, 255, "alpha 128");
  ExpectNear(BlitOne(LICE_RGBA(0, 0, 0, 0), s, 1.0f, mode), 0, 10, 120, 128, "alpha over clear");
  ExpectNear(BlitOne(d, s, 0.5f, mode), 150, 80, 72, 255, "alpha 128 weight 0.5");
}

TEST(BitmapBlend, AddAndDodge)
{
  const LICE_pixel d = LICE_RGBA(200, 100, 0, 255);
  const LICE_pixel s = LICE_RGBA(100, 100, 100, 255);
  ExpectNear(BlitOne(d, s, 1.0f, LICE_BLIT_MODE_ADD), 100, 200, 255, 255, "add saturates");
  ExpectNear(BlitOne(d, s, 0.5f, LICE_BLIT_MODE_ADD), 50, 150, 250, 255, "add half");
  EXPECT_EQ(BlitOne(d, s, 0.0f, LICE_BLIT_MODE_ADD), d);
  EXPECT_EQ(BlitOne(d, s & 0x00FFFFFF, 1.0f, LICE_BLIT_MODE_ADD | LICE_BLIT_USE_ALPHA), d);
  ExpectNear(BlitOne(d, (s & 0x00FFFFFF) | 0x80000000, 1.0f, LICE_BLIT_MODE_ADD | LICE_BLIT_USE_ALPHA), 50, 150,
             250, 255, "add with half alpha");

  // Dodge: d / (1 - s); black source changes nothing, white saturates non-zero.
  const LICE_pixel base = LICE_RGBA(100, 0, 60, 255);
  EXPECT_EQ(BlitOne(base, LICE_RGBA(0, 0, 0, 255), 1.0f, LICE_BLIT_MODE_DODGE | LICE_BLIT_USE_ALPHA), base);
  ExpectNear(BlitOne(base, LICE_RGBA(255, 255, 255, 255), 1.0f, LICE_BLIT_MODE_DODGE | LICE_BLIT_USE_ALPHA), 255, 0,
             255, 255, "dodge white");
  ExpectNear(BlitOne(base, LICE_RGBA(128, 128, 128, 255), 1.0f, LICE_BLIT_MODE_DODGE), 120, 0, 200, 255,
             "dodge grey");
  ExpectNear(BlitOne(base, LICE_RGBA(128, 128, 128, 255), 0.5f, LICE_BLIT_MODE_DODGE), 90, 0, 150, 255,
             "dodge grey half");
}

TEST(BitmapClasses, SizesSpansAndResize)
{
  LICE_MemBitmap odd(7, 3);
  EXPECT_EQ(odd.GetWidth(), 7);
  EXPECT_EQ(odd.GetRowSpan(), 8);
  EXPECT_FALSE(odd.IsFlipped());
  EXPECT_EQ(odd.Extended(0, nullptr), nullptr);
  EXPECT_EQ(Changed(odd, 0), 0);
  LICE_MemBitmap empty;
  EXPECT_EQ(empty.GetWidth(), 0);
  EXPECT_TRUE(empty.Resize(0, 0));
  EXPECT_TRUE(empty.Resize(5, 2));
  EXPECT_EQ(empty.GetRowSpan(), 8);
  EXPECT_FALSE(empty.Resize(-1, 4));
  EXPECT_EQ(empty.GetWidth(), 0);
  EXPECT_FALSE(empty.Resize(1 << 20, 1 << 20));
  EXPECT_EQ(empty.GetHeight(), 0);
  // Drawing on an empty bitmap is harmless.
  LICE_FillRect(&empty, 0, 0, 10, 10, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_Line(&empty, 0, 0, 9, 9, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, true);
  LICE_Circle(&empty, 3, 3, 2, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, true);
  LICE_Blit(&empty, &odd, 0, 0, 1.0f, LICE_BLIT_MODE_COPY);

  LICE_SysBitmap sys(9, 4);
  EXPECT_EQ(sys.GetRowSpan(), 9);
  EXPECT_EQ(Changed(sys, 0), 0);
#ifdef _WIN32
  EXPECT_NE(sys.GetDC(), nullptr);
#else
  EXPECT_EQ(sys.GetDC(), nullptr);
#endif
  EXPECT_TRUE(sys.Resize(0, 0));
  EXPECT_EQ(sys.GetWidth(), 0);
  EXPECT_TRUE(sys.Resize(720, 650));
  LICE_PutPixel(&sys, 719, 649, 0xFF123456, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(LICE_GetPixel(&sys, 719, 649), 0xFF123456u);

  // Copy resizes the destination.
  LICE_MemBitmap src(3, 2), dst(10, 10);
  LICE_PutPixel(&src, 2, 1, 0x80FF0000, 1.0f, LICE_BLIT_MODE_COPY);
  ASSERT_TRUE(LICE_Copy(&dst, &src));
  EXPECT_EQ(dst.GetWidth(), 3);
  EXPECT_EQ(dst.GetHeight(), 2);
  EXPECT_EQ(LICE_GetPixel(&dst, 2, 1), 0x80FF0000u);
}

// A source whose every pixel tells its position.
LICE_MemBitmap* Numbered(int w, int h)
{
  LICE_MemBitmap* bm = new LICE_MemBitmap(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) bm->GetBits()[y * bm->GetRowSpan() + x] = LICE_RGBA(x, y, 7, 255);
  return bm;
}

TEST(BitmapBlit, ClipsToBothBitmaps)
{
  std::unique_ptr<LICE_MemBitmap> src(Numbered(4, 4));
  LICE_MemBitmap dst(5, 5);
  LICE_Blit(&dst, src.get(), -2, -1, 0, 0, 4, 4, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(LICE_GetPixel(&dst, 0, 0), LICE_RGBA(2, 1, 7, 255));
  EXPECT_EQ(LICE_GetPixel(&dst, 1, 2), LICE_RGBA(3, 3, 7, 255));
  EXPECT_EQ(Changed(dst, 0), 2 * 3);

  Fill(&dst, 0);
  LICE_Blit(&dst, src.get(), 3, 3, 0, 0, 4, 4, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(LICE_GetPixel(&dst, 4, 4), LICE_RGBA(1, 1, 7, 255));
  EXPECT_EQ(Changed(dst, 0), 4);

  // A source rectangle reaching outside the source moves the destination along.
  Fill(&dst, 0);
  LICE_Blit(&dst, src.get(), 1, 1, -1, 2, 10, 10, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(LICE_GetPixel(&dst, 1, 1), 0u);
  EXPECT_EQ(LICE_GetPixel(&dst, 2, 1), LICE_RGBA(0, 2, 7, 255));
  EXPECT_EQ(Changed(dst, 0), 3 * 2);

  // Extreme positions and sizes draw nothing and do not overflow.
  Fill(&dst, 0);
  LICE_Blit(&dst, src.get(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX, INT_MAX, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_Blit(&dst, src.get(), INT_MAX, 0, 0, 0, INT_MAX, INT_MAX, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_Blit(&dst, src.get(), 0, 0, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_Blit(&dst, nullptr, 0, 0, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(Changed(dst, 0), 0);

  // Odd widths: rows with padding keep their neighbours intact.
  LICE_MemBitmap narrow(3, 3);
  LICE_Blit(&narrow, src.get(), 0, 0, 1, 0, 3, 3, 1.0f, LICE_BLIT_MODE_COPY);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(LICE_GetPixel(&narrow, x, y), LICE_RGBA(x + 1, y, 7, 255));
}

TEST(BitmapBlit, OverlappingCopyWithinOneBitmap)
{
  std::unique_ptr<LICE_MemBitmap> bm(Numbered(6, 6));
  LICE_Blit(bm.get(), bm.get(), 2, 1, 0, 0, 4, 5, 1.0f, LICE_BLIT_MODE_COPY);
  for (int y = 1; y < 6; ++y)
    for (int x = 2; x < 6; ++x) EXPECT_EQ(LICE_GetPixel(bm.get(), x, y), LICE_RGBA(x - 2, y - 1, 7, 255));
  std::unique_ptr<LICE_MemBitmap> up(Numbered(6, 6));
  LICE_Blit(up.get(), up.get(), 0, 0, 1, 2, 5, 4, 1.0f, LICE_BLIT_MODE_COPY);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(LICE_GetPixel(up.get(), x, y), LICE_RGBA(x + 1, y + 2, 7, 255));
}

TEST(BitmapBlit, ScaledCopies)
{
  LICE_MemBitmap src(2, 2);
  const LICE_pixel c[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
  for (int i = 0; i < 4; ++i) src.GetBits()[(i / 2) * src.GetRowSpan() + i % 2] = c[i];
  LICE_MemBitmap dst(4, 4);
  LICE_ScaledBlit(&dst, &src, 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, LICE_BLIT_MODE_COPY);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(LICE_GetPixel(&dst, x, y), c[(y / 2) * 2 + x / 2]);

  // Bilinear at 1:1 is an exact copy; corners of an upscale keep their colour
  // and the middle is the average.
  LICE_MemBitmap same(2, 2);
  LICE_ScaledBlit(&same, &src, 0, 0, 2, 2, 0, 0, 2, 2, 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_FILTER_BILINEAR);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(LICE_GetPixel(&same, i % 2, i / 2), c[i]);
  std::unique_ptr<LICE_MemBitmap> big(LICE_CreateScaledCopy(&src, 3, 3));
  ASSERT_TRUE(big);
  EXPECT_EQ(LICE_GetPixel(big.get(), 0, 0), c[0]);
  EXPECT_EQ(LICE_GetPixel(big.get(), 2, 2), c[3]);
  ExpectNear(LICE_GetPixel(big.get(), 1, 1), 127.5, 127.5, 127.5, 255, "bilinear middle");

  // Scaling one frame of a strip never samples the next frame.
  LICE_MemBitmap strip(1, 2);
  strip.GetBits()[0] = 0xFFFF0000;
  strip.GetBits()[strip.GetRowSpan()] = 0xFF0000FF;
  LICE_MemBitmap frame(4, 4);
  LICE_ScaledBlit(&frame, &strip, 0, 0, 4, 4, 0, 0, 1, 1, 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_FILTER_BILINEAR);
  EXPECT_EQ(Changed(frame, 0xFFFF0000), 0);

  // Clipped destination, empty or non-finite source rectangles.
  LICE_MemBitmap small(3, 3);
  LICE_ScaledBlit(&small, &src, -4, -4, 8, 8, 0, 0, 2, 2, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(LICE_GetPixel(&small, 0, 0), c[3]);
  Fill(&small, 0);
  LICE_ScaledBlit(&small, &src, 0, 0, 3, 3, 5, 5, 2, 2, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_ScaledBlit(&small, &src, 0, 0, 3, 3, 0, 0, NAN, 2, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_ScaledBlit(&small, &src, 0, 0, 3, 3, 0, 0, 0, 2, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(Changed(small, 0), 0);

  std::unique_ptr<LICE_MemBitmap> crop(LICE_CreateCroppedCopy(&src, 1, 1, 2, 2));
  ASSERT_TRUE(crop);
  EXPECT_EQ(LICE_GetPixel(crop.get(), 0, 0), c[3]);
  EXPECT_EQ(LICE_GetPixel(crop.get(), 1, 1), 0u);
  EXPECT_EQ(LICE_CreateCroppedCopy(&src, 0, 0, 0, 5), nullptr);
}

TEST(BitmapBlit, RotatedCopies)
{
  // 3 x 3 with a marker in the top-left corner.
  LICE_MemBitmap src(3, 3);
  Fill(&src, 0xFF000000);
  src.GetBits()[0] = 0xFFFFFFFF;
  LICE_MemBitmap dst(5, 5);
  auto at = [&](float angle, int x, int y) {
    Fill(&dst, 0);
    LICE_RotatedBlit(&dst, &src, 1, 1, 3, 3, 0, 0, 3, 3, angle, 1.0f, LICE_BLIT_MODE_COPY);
    return LICE_GetPixel(&dst, x, y);
  };
  EXPECT_EQ(at(0.0f, 1, 1), 0xFFFFFFFFu);
  EXPECT_EQ(Changed(dst, 0), 9);
  EXPECT_EQ(at((float)(PI / 2), 3, 1), 0xFFFFFFFFu); // clockwise: top-left goes to top-right
  EXPECT_EQ(at((float)PI, 3, 3), 0xFFFFFFFFu);
  EXPECT_EQ(at((float)(-PI / 2), 1, 3), 0xFFFFFFFFu);
  EXPECT_EQ(Changed(dst, 0), 9);
  // A 45 degree turn reaches past the rectangle, clipped at the bitmap's edge.
  LICE_MemBitmap edge(4, 4);
  LICE_RotatedBlit(&edge, &src, -1, -1, 3, 3, 0, 0, 3, 3, (float)(PI / 4), 1.0f,
                   LICE_BLIT_MODE_COPY | LICE_BLIT_FILTER_BILINEAR);
  EXPECT_NE(LICE_GetPixel(&edge, 0, 0), 0u);
  EXPECT_NE(LICE_GetPixel(&edge, 2, 0), 0u);
  EXPECT_EQ(LICE_GetPixel(&edge, 3, 3), 0u);
}

TEST(BitmapShapes, PixelsRectanglesAndLines)
{
  LICE_MemBitmap bm(8, 6);
  LICE_PutPixel(&bm, -1, 0, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_PutPixel(&bm, 8, 0, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(Changed(bm, 0), 0);
  EXPECT_EQ(LICE_GetPixel(&bm, 8, 0), 0u);
  LICE_PutPixel(&bm, 7, 5, 0xFF808080, 0.5f, LICE_BLIT_MODE_ADD);
  ExpectNear(LICE_GetPixel(&bm, 7, 5), 64, 64, 64, 128, "pixel add half");

  Fill(&bm, 0);
  LICE_FillRect(&bm, -2, 4, 4, 10, 0xFF00FF00, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(Changed(bm, 0), 2 * 2);
  EXPECT_EQ(LICE_GetPixel(&bm, 1, 5), 0xFF00FF00u);
  LICE_FillRect(&bm, 0, 0, INT_MAX, INT_MAX, 0x40000000, 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
  EXPECT_EQ(LICE_GetPixel(&bm, 7, 0), LICE_RGBA(0, 0, 0, 64));

  // Plain lines include both ends; antialiased lines on whole pixels are crisp.
  for (bool aa : {false, true}) {
    Fill(&bm, 0);
    LICE_Line(&bm, 1, 2, 6, 2, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, aa);
    EXPECT_EQ(Changed(bm, 0), 6);
    for (int x = 1; x <= 6; ++x) EXPECT_EQ(LICE_GetPixel(&bm, x, 2), 0xFFFFFFFFu);
    Fill(&bm, 0);
    LICE_Line(&bm, 3, 5, 3, 0, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, aa);
    EXPECT_EQ(Changed(bm, 0), 6);
    Fill(&bm, 0);
    LICE_Line(&bm, 0, 0, 5, 5, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, aa);
    for (int i = 0; i <= 5; ++i) EXPECT_EQ(LICE_GetPixel(&bm, i, i), 0xFFFFFFFFu);
  }
  // Clipping keeps the line where it would have been.
  Fill(&bm, 0);
  LICE_Line(&bm, -100, -50, 100, 50, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, false);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(LICE_GetPixel(&bm, x, (int)std::floor(x / 2.0 + 0.5)), 0xFFFFFFFFu);
  EXPECT_EQ(Changed(bm, 0), 8);
  // A line at half a pixel spreads over both rows, with the full weight in total.
  Fill(&bm, 0);
  LICE_Line(&bm, 0, 2.5f, 7, 2.5f, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_ADD, true);
  EXPECT_NEAR(Ch(LICE_GetPixel(&bm, 4, 2), 0) + Ch(LICE_GetPixel(&bm, 4, 3), 0), 255, 2);
  Fill(&bm, 0);
  LICE_Line(&bm, -1e30f, 3, 1e30f, 3, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, true);
  LICE_Line(&bm, 0, 0, INFINITY, 3, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, true);
  LICE_Line(&bm, 2, 1e9f, 3, -1e9f, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, false);
  EXPECT_EQ(Changed(bm, 0), 8 + 5); // the steep line crosses row 3
}

TEST(BitmapShapes, CirclesAndArcs)
{
  LICE_MemBitmap bm(21, 21);
  // Each pixel of a plain circle is drawn once: with additive weight 0.5 no pixel
  // may go above half.
  LICE_Circle(&bm, 10, 10, 7, 0xFFFFFFFF, 0.5f, LICE_BLIT_MODE_ADD, false);
  int drawn = 0;
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 21; ++x) {
      const int v = Ch(LICE_GetPixel(&bm, x, y), 0);
      if (!v) continue;
      ++drawn;
      EXPECT_EQ(v, 128) << x << "," << y;
      EXPECT_NEAR(std::hypot(x - 10, y - 10), 7.0, 0.75);
    }
  EXPECT_GT(drawn, 30);
  EXPECT_EQ(LICE_GetPixel(&bm, 10, 3), LICE_RGBA(128, 128, 128, 128));
  EXPECT_EQ(LICE_GetPixel(&bm, 17, 10), LICE_RGBA(128, 128, 128, 128));

  // Antialiased: only pixels near the ring, full where it passes through centres.
  Fill(&bm, 0);
  LICE_Circle(&bm, 10, 10, 7, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, true);
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 21; ++x)
      if (LICE_GetPixel(&bm, x, y)) {
        EXPECT_LT(std::fabs(std::hypot(x - 10, y - 10) - 7.0), 1.0);
      }
  EXPECT_EQ(LICE_GetPixel(&bm, 3, 10), 0xFFFFFFFFu);

  // A quarter arc from 12 to 3 o'clock stays in the upper right quadrant.
  for (bool aa : {false, true}) {
    Fill(&bm, 0);
    LICE_Arc(&bm, 10, 10, 7, 0.0f, (float)(PI / 2), 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, aa);
    EXPECT_GT(Changed(bm, 0), 8);
    for (int y = 0; y < 21; ++y)
      for (int x = 0; x < 21; ++x)
        if (LICE_GetPixel(&bm, x, y)) {
          EXPECT_TRUE(x >= 10 && y <= 10) << x << "," << y;
        }
    // Reversed ends give the same arc.
    LICE_MemBitmap other(21, 21);
    LICE_Arc(&other, 10, 10, 7, (float)(PI / 2), 0.0f, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, aa);
    EXPECT_EQ(0, std::memcmp(other.GetBits(), bm.GetBits(), sizeof(LICE_pixel) * 21 * bm.GetRowSpan()));
  }

  // Circles reaching past the edges, tiny and absurd ones.
  LICE_MemBitmap small(5, 5);
  LICE_Circle(&small, 0, 0, 3, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, false);
  EXPECT_EQ(LICE_GetPixel(&small, 3, 0), 0xFFFFFFFFu);
  EXPECT_EQ(LICE_GetPixel(&small, 0, 3), 0xFFFFFFFFu);
  Fill(&small, 0);
  LICE_Circle(&small, 2, 2, 0, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, false);
  EXPECT_EQ(Changed(small, 0), 1);
  Fill(&small, 0);
  LICE_Circle(&small, 2, 2, 1e30f, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, true);
  LICE_Circle(&small, NAN, 2, 2, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, true);
  LICE_Arc(&small, 2, 2, 2, 0, INFINITY, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, true);
  LICE_Circle(&small, 1e8f, 1e8f, 100, 0xFFFFFFFF, 1.0f, LICE_BLIT_MODE_COPY, false);
  EXPECT_EQ(Changed(small, 0), 0);
}

// Bounding box of the drawn pixels.
struct Ink {
  int l = INT_MAX, t = INT_MAX, r = INT_MIN, b = INT_MIN;
};
Ink InkOf(const LICE_IBitmap& bm)
{
  Ink ink;
  for (int y = 0; y < bm.GetHeight(); ++y)
    for (int x = 0; x < bm.GetWidth(); ++x)
      if (LICE_GetPixel(&bm, x, y)) {
        ink.l = std::min(ink.l, x);
        ink.r = std::max(ink.r, x);
        ink.t = std::min(ink.t, y);
        ink.b = std::max(ink.b, y);
      }
  return ink;
}

TEST(BitmapText, MeasureAndAlign)
{
  LICE_TextFormat f;
  f.color = 0xFFFFFFFF;
  int w = 0, h = 0;
  if (!LICE_MeasureText("Tavrinel", f, &w, &h)) GTEST_SKIP() << "no text rasteriser on this system";
  EXPECT_GT(w, 30);
  EXPECT_LT(w, 80);
  EXPECT_EQ(h, 14);
  int w2 = 0, h2 = 0;
  ASSERT_TRUE(LICE_MeasureText("Tavrinel\nTavrinel Tavrinel", f, &w2, &h2));
  EXPECT_GT(w2, 2 * w);
  EXPECT_EQ(h2, 28);

  LICE_MemBitmap bm(200, 40);
  f.align = LICE_TEXT_ALIGN_CENTER;
  ASSERT_TRUE(LICE_DrawText(&bm, "Tavrinel", 0, 10, 200, 24, f));
  Ink ink = InkOf(bm);
  EXPECT_NEAR((ink.l + ink.r) / 2.0, 100, 3);
  EXPECT_GE(ink.t, 10); // top of the line at the rectangle's top
  EXPECT_LE(ink.b, 10 + 14);

  Fill(&bm, 0);
  f.align = LICE_TEXT_ALIGN_RIGHT;
  ASSERT_TRUE(LICE_DrawText(&bm, "Tavrinel", 0, 0, 150, 14, f));
  ink = InkOf(bm);
  EXPECT_NEAR(ink.r, 150, 3);
  EXPECT_LE(ink.r, 150);

  // Not clipped to the rectangle, only to the bitmap; bad UTF-8 is drawn as a
  // replacement, never read past the end.
  Fill(&bm, 0);
  f.align = LICE_TEXT_ALIGN_LEFT;
  EXPECT_TRUE(LICE_DrawText(&bm, "Long text \xC3\xA9\xFF\xE2\x82", 190, 30, 195, 31, f));
  ink = InkOf(bm);
  EXPECT_GE(ink.l, 190);
  EXPECT_EQ(ink.b, 39);
  EXPECT_FALSE(LICE_DrawText(&bm, "", 0, 0, 10, 10, f));
  f.size = 0;
  EXPECT_FALSE(LICE_DrawText(&bm, "x", 0, 0, 10, 10, f));
}

} // namespace
