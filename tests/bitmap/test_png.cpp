#include "LiceBitmap.h"
#include "LiceDraw.h"
#include "LiceImageCache.h"
#include "LicePng.h"
#include "LiceResource.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

// What to write: raw rows in the PNG's own sample format.
struct PngImage {
  int width = 0, height = 0, depth = 8, colorType = PNG_COLOR_TYPE_RGBA;
  bool interlaced = false;
  std::vector<png_color> palette;
  std::vector<png_byte> trnsAlpha; // palette images
  bool trnsColor = false;          // grey and RGB images
  png_color_16 trnsValue{};
  std::vector<Bytes> rows;
};

void WriteToBytes(png_structp png, png_bytep data, png_size_t n)
{
  Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

void FlushNothing(png_structp) {}

// Encodes with libpng itself. Every C++ object is created before the setjmp.
Bytes Encode(const PngImage& image)
{
  Bytes out;
  std::vector<png_bytep> rows;
  for (const Bytes& r : image.rows) rows.push_back(const_cast<png_bytep>(r.data()));
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "test image could not be encoded";
    return Bytes();
  }
  png_set_write_fn(png, &out, WriteToBytes, FlushNothing);
  png_set_IHDR(png, info, image.width, image.height, image.depth, image.colorType,
               image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!image.palette.empty()) png_set_PLTE(png, info, image.palette.data(), (int)image.palette.size());
  if (!image.trnsAlpha.empty())
    png_set_tRNS(png, info, image.trnsAlpha.data(), (int)image.trnsAlpha.size(), nullptr);
  if (image.trnsColor) png_set_tRNS(png, info, nullptr, 0, const_cast<png_color_16*>(&image.trnsValue));
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::unique_ptr<LICE_MemBitmap> Decode(const Bytes& b)
{
  return std::unique_ptr<LICE_MemBitmap>(LICE_LoadPNGFromMemory(b.data(), b.size()));
}

LICE_pixel Px(const LICE_IBitmap& bm, int x, int y) { return bm.GetBits()[y * bm.GetRowSpan() + x]; }

// An image of one row in the given sample format.
PngImage OneRow(int width, int depth, int colorType, const Bytes& row)
{
  PngImage s;
  s.width = width;
  s.height = 1;
  s.depth = depth;
  s.colorType = colorType;
  s.rows = {row};
  return s;
}

// A 5 x 3 RGBA image whose pixels are all different.
PngImage Rgba5x3()
{
  PngImage s;
  s.width = 5;
  s.height = 3;
  for (int y = 0; y < 3; ++y) {
    Bytes row;
    for (int x = 0; x < 5; ++x) row.insert(row.end(), {(png_byte)(x * 50), (png_byte)(y * 100), 7, (png_byte)(x * 60 + y)});
    s.rows.push_back(row);
  }
  return s;
}

TEST(PngDecode, TrueColourWithAndWithoutAlpha)
{
  const PngImage base = Rgba5x3();
  auto bm = Decode(Encode(base));
  ASSERT_TRUE(bm);
  ASSERT_EQ(bm->GetWidth(), 5);
  ASSERT_EQ(bm->GetHeight(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(Px(*bm, x, y), LICE_RGBA(x * 50, y * 100, 7, x * 60 + y));

  // Interlaced storage gives the same pixels.
  PngImage inter = base;
  inter.interlaced = true;
  auto bi = Decode(Encode(inter));
  ASSERT_TRUE(bi);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(Px(*bi, x, y), Px(*bm, x, y));

  // RGB without alpha: alpha filled with 255; RGB with a tRNS colour key.
  PngImage rgb = OneRow(2, 8, PNG_COLOR_TYPE_RGB, {10, 20, 30, 40, 50, 60});
  auto b1 = Decode(Encode(rgb));
  ASSERT_TRUE(b1);
  EXPECT_EQ(Px(*b1, 0, 0), LICE_RGBA(10, 20, 30, 255));
  EXPECT_EQ(Px(*b1, 1, 0), LICE_RGBA(40, 50, 60, 255));
  rgb.trnsColor = true;
  rgb.trnsValue.red = 40;
  rgb.trnsValue.green = 50;
  rgb.trnsValue.blue = 60;
  auto b2 = Decode(Encode(rgb));
  ASSERT_TRUE(b2);
  EXPECT_EQ(Px(*b2, 0, 0), LICE_RGBA(10, 20, 30, 255));
  EXPECT_EQ(LICE_GETA(Px(*b2, 1, 0)), 0);
}

TEST(PngDecode, PaletteWithTransparency)
{
  PngImage s = OneRow(4, 4, PNG_COLOR_TYPE_PALETTE, {0x01, 0x23});
  s.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 8, 7}};
  s.trnsAlpha = {0, 128}; // entries 2 and 3 stay opaque
  auto bm = Decode(Encode(s));
  ASSERT_TRUE(bm);
  EXPECT_EQ(Px(*bm, 0, 0), LICE_RGBA(255, 0, 0, 0));
  EXPECT_EQ(Px(*bm, 1, 0), LICE_RGBA(0, 255, 0, 128));
  EXPECT_EQ(Px(*bm, 2, 0), LICE_RGBA(0, 0, 255, 255));
  EXPECT_EQ(Px(*bm, 3, 0), LICE_RGBA(9, 8, 7, 255));
}

TEST(PngDecode, GreyLowBitAndSixteenBit)
{
  // 2-bit grey expands 0..3 to 0, 85, 170, 255 in all three colours.
  PngImage g2 = OneRow(4, 2, PNG_COLOR_TYPE_GRAY, {0x1B}); // 00 01 10 11
  auto a = Decode(Encode(g2));
  ASSERT_TRUE(a);
  const int levels[4] = {0, 85, 170, 255};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(Px(*a, x, 0), LICE_RGBA(levels[x], levels[x], levels[x], 255));

  // 1-bit grey with a transparent key of 1.
  PngImage g1 = OneRow(9, 1, PNG_COLOR_TYPE_GRAY, {0xA0, 0x80}); // 1 0 1 0 0 0 0 0 | 1
  g1.trnsColor = true;
  g1.trnsValue.gray = 1;
  auto b = Decode(Encode(g1));
  ASSERT_TRUE(b);
  EXPECT_EQ(LICE_GETA(Px(*b, 0, 0)), 0);
  EXPECT_EQ(Px(*b, 1, 0), LICE_RGBA(0, 0, 0, 255));
  EXPECT_EQ(LICE_GETA(Px(*b, 8, 0)), 0);

  // 16-bit grey + alpha and 16-bit RGB are scaled to 8 bits.
  PngImage ga = OneRow(2, 16, PNG_COLOR_TYPE_GRAY_ALPHA, {0xFF, 0xFF, 0x80, 0x80, 0x12, 0x34, 0x00, 0x00});
  auto c = Decode(Encode(ga));
  ASSERT_TRUE(c);
  EXPECT_EQ(Px(*c, 0, 0), LICE_RGBA(255, 255, 255, 128));
  EXPECT_EQ(Px(*c, 1, 0), LICE_RGBA(0x12, 0x12, 0x12, 0));
  PngImage rgb16 = OneRow(1, 16, PNG_COLOR_TYPE_RGB, {0xFF, 0xFF, 0x00, 0x00, 0x80, 0x80});
  auto d = Decode(Encode(rgb16));
  ASSERT_TRUE(d);
  EXPECT_EQ(Px(*d, 0, 0), LICE_RGBA(255, 0, 128, 255));
}

// Offset of the first byte after the last IDAT chunk.
size_t EndOfImageData(const Bytes& png)
{
  size_t pos = 8, end = 0;
  while (pos + 8 <= png.size()) {
    const size_t len = ((size_t)png[pos] << 24) | ((size_t)png[pos + 1] << 16) | ((size_t)png[pos + 2] << 8) | png[pos + 3];
    if (std::memcmp(&png[pos + 4], "IDAT", 4) == 0) end = pos + 12 + len;
    pos += 12 + len;
  }
  return end;
}

TEST(PngDecode, BadInputGivesNull)
{
  EXPECT_EQ(LICE_LoadPNGFromMemory(nullptr, 100), nullptr);
  const unsigned char sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_EQ(LICE_LoadPNGFromMemory(sig, 7), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromMemory(sig, 8), nullptr);
  const char text[] = "definitely not an image, just text";
  EXPECT_EQ(LICE_LoadPNGFromMemory(text, sizeof text), nullptr);

  // Every cut before the end of the image data fails cleanly.
  const Bytes good = Encode(Rgba5x3());
  const size_t end = EndOfImageData(good);
  ASSERT_GT(end, 33u);
  for (size_t n = 0; n < end; ++n) EXPECT_EQ(Decode(Bytes(good.begin(), good.begin() + n)), nullptr) << n;

  // A damaged byte inside the image data: the checksum no longer matches.
  Bytes bad = good;
  bad[end - 6] ^= 0x5A;
  EXPECT_EQ(Decode(bad), nullptr);

  // A header asking for 100000 x 100000 pixels (with a valid checksum) is
  // refused before anything is allocated.
  Bytes huge = good;
  const unsigned char dims[8] = {0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0};
  std::memcpy(&huge[16], dims, 8);
  const uLong crc = crc32(0, &huge[12], 17);
  const unsigned char crcBytes[4] = {(unsigned char)(crc >> 24), (unsigned char)(crc >> 16),
                                     (unsigned char)(crc >> 8), (unsigned char)crc};
  std::memcpy(&huge[29], crcBytes, 4);
  EXPECT_EQ(Decode(huge), nullptr);
}

TEST(PngDecode, FilesAndNames)
{
  const Bytes good = Encode(Rgba5x3());
  const std::string path = ::testing::TempDir() + "tavrinel_png_test.png";
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  std::fwrite(good.data(), 1, good.size(), f);
  std::fclose(f);
  std::unique_ptr<LICE_MemBitmap> bm(LICE_LoadPNGFromFile(path.c_str()));
  ASSERT_TRUE(bm);
  EXPECT_EQ(bm->GetWidth(), 5);
  std::remove(path.c_str());
  EXPECT_EQ(LICE_LoadPNGFromFile(path.c_str()), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromFile(nullptr), nullptr);

  EXPECT_TRUE(LICE_HasPNGExtension("img/on-off-led.png"));
  EXPECT_TRUE(LICE_HasPNGExtension("KNOB.PnG"));
  EXPECT_FALSE(LICE_HasPNGExtension("png"));
  EXPECT_FALSE(LICE_HasPNGExtension("img.png/file"));
  EXPECT_FALSE(LICE_HasPNGExtension("knob.pngx"));
  EXPECT_FALSE(LICE_HasPNGExtension("knob.bmp"));
  EXPECT_FALSE(LICE_HasPNGExtension(nullptr));
  EXPECT_EQ(std::strcmp(LICE_PNG_FILE_FILTER + std::strlen(LICE_PNG_FILE_FILTER) + 1, "*.PNG"), 0);
}

struct ImageSize {
  int id, width, height, frames; // frames stacked vertically
};
const ImageSize EDITOR_IMAGES[] = {
  {100, 720, 650, 1},  {101, 12, 12, 1},    {102, 11, 22, 2},   {103, 12, 24, 2},  {104, 12, 24, 2},
  {105, 32, 4096, 128}, {106, 32, 3232, 101}, {107, 32, 544, 17}, {108, 32, 512, 16}, {109, 13, 18, 2},
  {110, 13, 18, 2},    {111, 16, 32, 2},    {112, 16, 32, 2},   {113, 16, 32, 2},  {114, 16, 32, 2},
  {115, 16, 32, 2},    {116, 16, 32, 2},    {117, 14, 28, 2},   {118, 24, 182, 13}, {119, 24, 266, 19},
  {120, 16, 1616, 101}, {121, 16, 128, 8},   {122, 15, 30, 2},   {123, 15, 30, 2},  {124, 14, 14, 1},
  {125, 14, 28, 2},
};

// Frame f of a strip equals frame g pixel for pixel.
bool SameFrame(const LICE_IBitmap& bm, int frameHeight, int f, int g)
{
  for (int y = 0; y < frameHeight; ++y)
    for (int x = 0; x < bm.GetWidth(); ++x)
      if (Px(bm, x, f * frameHeight + y) != Px(bm, x, g * frameHeight + y)) return false;
  return true;
}

TEST(PngResources, EveryEditorImageDecodesAtItsSize)
{
  for (const ImageSize& img : EDITOR_IMAGES) {
    std::unique_ptr<LICE_MemBitmap> bm(LICE_LoadPNGFromResource(img.id, "img/x.png"));
    ASSERT_TRUE(bm) << img.id;
    EXPECT_EQ(bm->GetWidth(), img.width) << img.id;
    EXPECT_EQ(bm->GetHeight(), img.height) << img.id;
    if (img.id == 100) { // the background has no alpha channel: opaque everywhere
      bool opaque = true;
      for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) opaque = opaque && LICE_GETA(Px(*bm, x, y)) == 255;
      EXPECT_TRUE(opaque);
    }
    // A control shows frame i for its value: neighbouring frames must differ, or
    // a knob would stand still (e.g. frames drawn over each other).
    ASSERT_EQ(img.height % img.frames, 0) << img.id;
    for (int f = 1; f < img.frames && bm->GetHeight() == img.height; ++f)
      EXPECT_FALSE(SameFrame(*bm, img.height / img.frames, f - 1, f)) << img.id << " frame " << f;
  }
  const unsigned char* data = nullptr;
  size_t size = 1;
  EXPECT_FALSE(LICE_FindPNGResource(99, &data, &size));
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_FALSE(LICE_FindPNGResource(126, &data, &size));
  EXPECT_EQ(LICE_LoadPNGFromResource(126, "img/x.png"), nullptr);
  // The name's extension decides before the resource is looked at.
  EXPECT_EQ(LICE_LoadPNGFromResource(104, "img/on-off-led.bmp"), nullptr);
  EXPECT_EQ(LICE_LoadPNGFromResource(104, nullptr), nullptr);
}

// Pixels decoded on first use are those of a decoding in advance, for every
// editor image and for damaged data, which never yields more than its header
// promised nor lets a drawing read outside it.
TEST(PngOnFirstUse, SamePixelsAsDecodedInAdvanceWhateverTheBytes)
{
  auto expectSame = [](const LICE_IBitmap& lazy, const LICE_MemBitmap& eager, int what) {
    ASSERT_EQ(lazy.GetRowSpan(), eager.GetRowSpan()) << what;
    for (int y = 0; y < eager.GetHeight(); ++y)
      ASSERT_EQ(std::memcmp(lazy.GetBits() + y * lazy.GetRowSpan(), eager.GetBits() + y * eager.GetRowSpan(),
                            sizeof(LICE_pixel) * (size_t)eager.GetWidth()), 0) << what << " row " << y;
  };
  for (const ImageSize& img : EDITOR_IMAGES) {
    std::unique_ptr<LICE_IBitmap> lazy(LICE_OpenPNGResource(img.id, "img/x.png"));
    std::unique_ptr<LICE_MemBitmap> eager(LICE_LoadPNGFromResource(img.id, "img/x.png"));
    ASSERT_TRUE(lazy && eager) << img.id;
    EXPECT_EQ(lazy->GetWidth(), img.width);
    EXPECT_EQ(lazy->GetHeight(), img.height);
    EXPECT_FALSE(static_cast<LICE_PNGImage*>(lazy.get())->IsDecoded()) << img.id;
    expectSame(*lazy, *eager, img.id);
  }
  EXPECT_EQ(LICE_OpenPNGResource(126, "img/x.png"), nullptr);
  EXPECT_EQ(LICE_OpenPNGResource(104, "img/on-off-led.bmp"), nullptr);

  // Threads drawing it for the first time at once share one decoding.
  std::unique_ptr<LICE_IBitmap> shared(LICE_OpenPNGResource(105, "img/x.png"));
  std::vector<LICE_pixel*> seen(6, nullptr);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&, i] { seen[i] = shared->GetBits(); });
  for (std::thread& t : threads) t.join();
  for (LICE_pixel* p : seen) EXPECT_TRUE(p && p == seen[0]);

  // Cut and bit-flipped copies of a small image.
  const Bytes good = Encode(Rgba5x3());
  std::mt19937 rng(20261207);
  for (int i = 0; i < 3000; ++i) {
    Bytes b = good;
    if (i % 3 == 0) b.resize(rng() % good.size());
    else for (unsigned k = 0; k <= rng() % 3; ++k) b[rng() % b.size()] ^= (unsigned char)(1u << (rng() % 8));
    std::unique_ptr<LICE_PNGImage> lazy(LICE_PNGImage::Open(b.data(), b.size()));
    const std::unique_ptr<LICE_MemBitmap> eager = Decode(b);
    ASSERT_TRUE(lazy || !eager) << i;
    if (!lazy) continue;
    int w = 0, h = 0;
    ASSERT_TRUE(LICE_ReadPNGSize(b.data(), b.size(), &w, &h));
    EXPECT_TRUE(lazy->GetWidth() == w && lazy->GetHeight() == h);
    if (eager) {
      expectSame(*lazy, *eager, i);
      continue;
    }
    // Undecodable: no pixels, and neither a blit nor a copy touches anything.
    EXPECT_EQ(lazy->GetBits(), nullptr);
    LICE_MemBitmap dest(4, 4);
    LICE_Clear(&dest, 0x12345678);
    LICE_Blit(&dest, lazy.get(), 0, 0, 1.0f, LICE_BLIT_MODE_COPY);
    LICE_ScaledBlit(&dest, lazy.get(), 0, 0, 4, 4, 0, 0, 2, 2, 1.0f, LICE_BLIT_FILTER_BILINEAR);
    EXPECT_FALSE(LICE_Copy(&dest, lazy.get()));
    EXPECT_TRUE(dest.GetWidth() == 4 && Px(dest, 3, 3) == 0x12345678) << i;
  }
}

// Counts its deletions.
struct TrackedBitmap : LICE_MemBitmap {
  explicit TrackedBitmap(int* deleted) : LICE_MemBitmap(1, 1), mDeleted(deleted) {}
  ~TrackedBitmap() override { ++*mDeleted; }
  int* mDeleted;
};

TEST(ImageCache, EachImageDecodedOncePerProcess)
{
  std::atomic<int> decodes{0};
  auto load = [&decodes]() -> LICE_IBitmap* {
    ++decodes;
    return LICE_LoadPNGFromResource(105, "img/silver-knob128.png");
  };
  // Many editors opening at once on different threads.
  std::vector<std::thread> threads;
  std::vector<LICE_IBitmap*> got(8, nullptr);
  for (int i = 0; i < 8; ++i) threads.emplace_back([&, i] { got[(size_t)i] = LICE_ImageCache::FindOrLoad(105, load); });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(decodes.load(), 1);
  ASSERT_TRUE(got[0]);
  for (LICE_IBitmap* b : got) EXPECT_EQ(b, got[0]);
  EXPECT_EQ(LICE_ImageCache::Find(105), got[0]);
  EXPECT_EQ(LICE_ImageCache::FindOrLoad(105, nullptr), got[0]);

  // A failed load is not remembered: the next request tries again.
  int failures = 0;
  auto fail = [&failures]() -> LICE_IBitmap* {
    ++failures;
    return nullptr;
  };
  EXPECT_EQ(LICE_ImageCache::FindOrLoad(9001, fail), nullptr);
  EXPECT_EQ(LICE_ImageCache::FindOrLoad(9001, fail), nullptr);
  EXPECT_EQ(failures, 2);
  EXPECT_EQ(LICE_ImageCache::Find(9001), nullptr);
}

TEST(ImageCache, RetainAndRelease)
{
  int deleted = 0;
  const int before = LICE_ImageCache::Count();
  TrackedBitmap* made = new TrackedBitmap(&deleted);
  LICE_ImageCache::Retain(made);
  LICE_ImageCache::Retain(made); // entered once only
  EXPECT_EQ(LICE_ImageCache::Count(), before + 1);
  EXPECT_TRUE(LICE_ImageCache::Contains(made));
  EXPECT_EQ(LICE_ImageCache::Find(-1), nullptr); // id -1 is never looked up
  LICE_ImageCache::Release(made);
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(LICE_ImageCache::Count(), before);
  // Releasing a bitmap the cache does not hold deletes nothing.
  TrackedBitmap stranger(&deleted);
  LICE_ImageCache::Release(&stranger);
  LICE_ImageCache::Release(nullptr);
  EXPECT_EQ(deleted, 1);
}

} // namespace
