#pragma once
// PNG images into bitmaps. Any PNG colour type and depth is accepted: palette
// and grey images are expanded to RGB, transparency chunks become alpha, 16-bit
// channels are scaled to 8, and images without alpha get 255. Anything that is
// not a valid, complete PNG yields null; decoding never crashes on bad input.
// The window layers take their images as LICE_PNGImage, decoded when first drawn.
//
// Thread: any. No lock (a LICE_PNGImage guards its one decoding itself).

#include "LiceBitmap.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>

// File-dialog filter for PNG images: the text, a NUL, the pattern, two NULs.
extern const char LICE_PNG_FILE_FILTER[];

// Decodes a PNG held in memory. Null for fewer than 8 bytes, a missing
// signature, a broken or truncated stream, or an image larger than
// LICE_MAX_PIXELS (or wider or taller than 65536).
LICE_MemBitmap* LICE_LoadPNGFromMemory(const void* data, size_t size);

// Reads and decodes a PNG file; null when it cannot be read or decoded.
LICE_MemBitmap* LICE_LoadPNGFromFile(const char* path);

// Whether the name's extension (the text after its last '.') is "png" in any
// letter case.
bool LICE_HasPNGExtension(const char* fileName);

// The image resource loader of the window layer: decodes the "PNG" resource `id`
// of our own library. Null when fileName does not end in the "png" extension,
// the resource is missing or shorter than 8 bytes, or it does not decode.
// `module` is the native module handle to search (Windows; null = the module
// holding this code); ignored elsewhere.
LICE_MemBitmap* LICE_LoadPNGFromResource(int id, const char* fileName, void* module = nullptr);

// A PNG image whose pixels are decoded the first time they are asked for
// (GetBits, GetRowSpan, Resize). Its size comes from the image header, so an
// editor can be laid out with its images without decoding any of them. The
// encoded bytes are not copied and must outlive the bitmap (the library's own
// resources do). Once decoded, the pixels and row span are those of
// LICE_LoadPNGFromMemory. An image whose header is sound but whose data does not
// decode keeps its size and has no pixels (GetBits null), which every drawing
// operation of the layer treats as nothing to draw.
//
// Thread: any; concurrent first readers wait for one decoding. Resize, like on
// every bitmap, belongs to one thread.
class LICE_PNGImage : public LICE_IBitmap {
public:
  // Null unless data starts with a PNG signature and a well-formed header chunk
  // giving a size LICE_LoadPNGFromMemory accepts.
  static LICE_PNGImage* Open(const void* data, size_t size);
  ~LICE_PNGImage() override;

  LICE_pixel* GetBits() const override;
  int GetWidth() const override { return mWidth; }
  int GetHeight() const override { return mHeight; }
  int GetRowSpan() const override;
  bool Resize(int w, int h) override;
  // Whether the pixels have been decoded (or their decoding has failed).
  bool IsDecoded() const { return mDecoded.load(std::memory_order_acquire); }

private:
  LICE_PNGImage(const unsigned char* data, size_t size, int w, int h);
  LICE_MemBitmap* Pixels() const;

  const unsigned char* mData;
  size_t mSize;
  int mWidth, mHeight;
  mutable std::once_flag mOnce;
  mutable std::unique_ptr<LICE_MemBitmap> mPixels;
  mutable std::atomic<bool> mDecoded{false};
};

// Width and height from a PNG's signature and header chunk; false when they are
// missing, malformed, or give a size LICE_LoadPNGFromMemory refuses.
bool LICE_ReadPNGSize(const void* data, size_t size, int* w, int* h);

// The window layers' image resource loader: the "PNG" resource `id` as a
// LICE_PNGImage, decoded when first drawn. Null in the cases of
// LICE_LoadPNGFromResource that can be told without decoding (no "png"
// extension, missing or short resource, bad header).
LICE_IBitmap* LICE_OpenPNGResource(int id, const char* fileName, void* module = nullptr);
