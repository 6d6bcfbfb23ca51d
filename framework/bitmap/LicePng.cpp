// PNG decoding with libpng, from memory, files and the library's resources.
#include "LicePng.h"

#include "LiceResource.h"

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

const char LICE_PNG_FILE_FILTER[] = "PNG files (*.PNG)\0*.PNG\0";

namespace {

// Largest side libpng may accept; the pixel count is checked separately.
constexpr png_uint_32 MAX_SIDE = 65536;
// Largest PNG file read from disk.
constexpr long MAX_FILE_BYTES = 64L * 1024 * 1024;

struct MemReader {
  const unsigned char* data;
  size_t size;
  size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n)
{
  MemReader* r = static_cast<MemReader*>(png_get_io_ptr(png));
  if (n > r->size - r->pos) png_error(png, "unexpected end of data");
  std::memcpy(out, r->data + r->pos, n);
  r->pos += n;
}

// libpng reports errors by calling this, which must not return: jump back to
// the setjmp in Decode. Nothing is printed.
void OnError(png_structp png, png_const_charp)
{
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

bool IsLittleEndian()
{
  const uint32_t probe = 1;
  unsigned char first;
  std::memcpy(&first, &probe, 1);
  return first == 1;
}

// The only frame libpng can longjmp out of. Every object that lives across the
// setjmp is a raw pointer (volatile, as it changes after the setjmp) released by
// hand on both paths: no destructor is ever skipped.
LICE_MemBitmap* Decode(MemReader* reader)
{
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (!png) return nullptr;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return nullptr;
  }
  LICE_MemBitmap* volatile bitmap = nullptr;
  png_bytep* volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    delete bitmap;
    delete[] rows;
    png_destroy_read_struct(&png, &info, nullptr);
    return nullptr;
  }

  png_set_read_fn(png, reader, ReadFromMemory);
  png_set_user_limits(png, MAX_SIDE, MAX_SIDE);
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int depth = 0, colorType = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colorType, nullptr, nullptr, nullptr);
  if ((int64_t)width * (int64_t)height > LICE_MAX_PIXELS) png_error(png, "image too large");

  const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (hasTrns) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_scale_16(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (!(colorType & PNG_COLOR_MASK_ALPHA) && !hasTrns) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_bgr(png); // bytes B, G, R, A: the pixel layout on a little-endian machine
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != (png_size_t)width * 4) png_error(png, "unexpected pixel layout");

  bitmap = new (std::nothrow) LICE_MemBitmap();
  if (!bitmap || !bitmap->Resize((int)width, (int)height)) png_error(png, "out of memory");
  rows = new (std::nothrow) png_bytep[height];
  if (!rows) png_error(png, "out of memory");
  LICE_pixel* bits = bitmap->GetBits();
  const size_t span = (size_t)bitmap->GetRowSpan();
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = reinterpret_cast<png_bytep>(bits + y * span);
  png_read_image(png, rows);

  LICE_MemBitmap* result = bitmap;
  delete[] rows;
  png_destroy_read_struct(&png, &info, nullptr);

  if (!IsLittleEndian()) {
    for (png_uint_32 y = 0; y < height; ++y) {
      LICE_pixel* row = bits + y * span;
      for (png_uint_32 x = 0; x < width; ++x) {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(row + x);
        row[x] = LICE_RGBA(b[2], b[1], b[0], b[3]);
      }
    }
  }
  return result;
}

} // namespace

LICE_MemBitmap* LICE_LoadPNGFromMemory(const void* data, size_t size)
{
  if (!data || size < 8) return nullptr;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  if (png_sig_cmp(const_cast<png_bytep>(bytes), 0, 8) != 0) return nullptr;
  MemReader reader{bytes, size, 0};
  return Decode(&reader);
}

LICE_MemBitmap* LICE_LoadPNGFromFile(const char* path)
{
  if (!path) return nullptr;
  FILE* f = std::fopen(path, "rb");
  if (!f) return nullptr;
  unsigned char* data = nullptr;
  long size = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
  if (size > 0 && size <= MAX_FILE_BYTES && std::fseek(f, 0, SEEK_SET) == 0) {
    data = new (std::nothrow) unsigned char[(size_t)size];
    if (data && std::fread(data, 1, (size_t)size, f) != (size_t)size) size = -1;
  }
  std::fclose(f);
  LICE_MemBitmap* bm = (data && size > 0) ? LICE_LoadPNGFromMemory(data, (size_t)size) : nullptr;
  delete[] data;
  return bm;
}

bool LICE_HasPNGExtension(const char* fileName)
{
  if (!fileName) return false;
  const char* dot = std::strrchr(fileName, '.');
  if (!dot) return false;
  const char* ext = dot + 1;
  return std::strlen(ext) == 3 && (ext[0] == 'p' || ext[0] == 'P') && (ext[1] == 'n' || ext[1] == 'N') &&
         (ext[2] == 'g' || ext[2] == 'G');
}

LICE_MemBitmap* LICE_LoadPNGFromResource(int id, const char* fileName, void* module)
{
  if (!LICE_HasPNGExtension(fileName)) return nullptr;
  const unsigned char* data = nullptr;
  size_t size = 0;
  if (!LICE_FindPNGResource(id, &data, &size, module) || size < 8) return nullptr;
  return LICE_LoadPNGFromMemory(data, size);
}

// ---- decoding on first use ----

bool LICE_ReadPNGSize(const void* data, size_t size, int* w, int* h)
{
  // Signature (8 bytes), then the header chunk: length 13, type "IHDR", width
  // and height as big-endian 32-bit numbers, 5 more bytes and its CRC.
  if (!data || size < 33) return false;
  const unsigned char* b = static_cast<const unsigned char*>(data);
  if (png_sig_cmp(const_cast<png_bytep>(b), 0, 8) != 0) return false;
  auto be32 = [b](size_t at) {
    return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) | uint32_t(b[at + 3]);
  };
  if (be32(8) != 13 || std::memcmp(b + 12, "IHDR", 4) != 0) return false;
  const uint32_t width = be32(16), height = be32(20);
  if (width == 0 || height == 0 || width > MAX_SIDE || height > MAX_SIDE) return false;
  if ((int64_t)width * (int64_t)height > LICE_MAX_PIXELS) return false;
  if (w) *w = (int)width;
  if (h) *h = (int)height;
  return true;
}

LICE_PNGImage* LICE_PNGImage::Open(const void* data, size_t size)
{
  int w = 0, h = 0;
  if (!LICE_ReadPNGSize(data, size, &w, &h)) return nullptr;
  return new (std::nothrow) LICE_PNGImage(static_cast<const unsigned char*>(data), size, w, h);
}

LICE_PNGImage::LICE_PNGImage(const unsigned char* data, size_t size, int w, int h)
  : mData(data), mSize(size), mWidth(w), mHeight(h)
{
}

LICE_PNGImage::~LICE_PNGImage() = default;

LICE_MemBitmap* LICE_PNGImage::Pixels() const
{
  std::call_once(mOnce, [this]() {
    std::unique_ptr<LICE_MemBitmap> bm(LICE_LoadPNGFromMemory(mData, mSize));
    // The decoder reads the same header; anything else is a broken image.
    if (bm && bm->GetWidth() == mWidth && bm->GetHeight() == mHeight) mPixels = std::move(bm);
    mDecoded.store(true, std::memory_order_release);
  });
  return mPixels.get();
}

LICE_pixel* LICE_PNGImage::GetBits() const
{
  const LICE_MemBitmap* bm = Pixels();
  return bm ? bm->GetBits() : nullptr;
}

int LICE_PNGImage::GetRowSpan() const
{
  const LICE_MemBitmap* bm = Pixels();
  return bm ? bm->GetRowSpan() : 0;
}

bool LICE_PNGImage::Resize(int w, int h)
{
  Pixels();
  if (!mPixels) mPixels.reset(new (std::nothrow) LICE_MemBitmap());
  const bool ok = mPixels && mPixels->Resize(w, h);
  mWidth = mPixels ? mPixels->GetWidth() : 0;
  mHeight = mPixels ? mPixels->GetHeight() : 0;
  return ok;
}

LICE_IBitmap* LICE_OpenPNGResource(int id, const char* fileName, void* module)
{
  if (!LICE_HasPNGExtension(fileName)) return nullptr;
  const unsigned char* data = nullptr;
  size_t size = 0;
  if (!LICE_FindPNGResource(id, &data, &size, module) || size < 8) return nullptr;
  return LICE_PNGImage::Open(data, size);
}
