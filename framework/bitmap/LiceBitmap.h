#pragma once
// The bitmap classes every drawing operation works on: 32-bit pixels in memory,
// rows stored top-down.
//
// Pixel: (A << 24) | (R << 16) | (G << 8) | B, colours not premultiplied; on a
// little-endian machine the bytes in memory are blue, green, red, alpha.
//
// Thread: a bitmap belongs to the thread that draws into it (the GUI thread for
// the editor's surface); bitmaps held by the image cache are only read once they
// are entered (an image decoded on first use does that once, LicePng.h). No lock
// of their own.

#include <cstddef>
#include <cstdint>

typedef uint32_t LICE_pixel;

// A native device context (HDC on Windows); null where a bitmap has none.
typedef void* LICE_NativeDC;

inline LICE_pixel LICE_RGBA(int r, int g, int b, int a)
{
  return ((LICE_pixel)(a & 0xFF) << 24) | ((LICE_pixel)(r & 0xFF) << 16) | ((LICE_pixel)(g & 0xFF) << 8) |
         (LICE_pixel)(b & 0xFF);
}
inline int LICE_GETA(LICE_pixel p) { return (int)(p >> 24); }
inline int LICE_GETR(LICE_pixel p) { return (int)((p >> 16) & 0xFF); }
inline int LICE_GETG(LICE_pixel p) { return (int)((p >> 8) & 0xFF); }
inline int LICE_GETB(LICE_pixel p) { return (int)(p & 0xFF); }

// The abstract bitmap. The order of the virtual operations is part of the layer's
// interface: destructor, pixel memory, width, height, row span, bottom-up flag,
// resize, native device context, extension hook.
class LICE_IBitmap {
public:
  virtual ~LICE_IBitmap() {}
  // First pixel of the top row; null for an empty bitmap.
  virtual LICE_pixel* GetBits() const = 0;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  // Distance between the starts of two rows, in pixels (>= width).
  virtual int GetRowSpan() const = 0;
  // Rows are stored bottom-up; false for every bitmap of this layer.
  virtual bool IsFlipped() const { return false; }
  // New size; the contents become transparent black (0) when the size changes.
  // 0 x 0 is valid. False for a negative or too large size, or when memory runs
  // out; the bitmap is then left empty (0 x 0).
  virtual bool Resize(int w, int h) = 0;
  virtual LICE_NativeDC GetDC() const { return nullptr; }
  // Reserved extension hook: always null here.
  virtual void* Extended(int /*id*/, void* /*data*/) { return nullptr; }
};

// Largest bitmap accepted, in pixels (width x height): guards the arithmetic and
// keeps a hostile image header from asking for gigabytes.
constexpr int64_t LICE_MAX_PIXELS = (int64_t)1 << 26;

// Pixels in plain memory. Each row span is the width rounded up to a multiple of
// the row alignment (in pixels; 4 is used everywhere here).
class LICE_MemBitmap : public LICE_IBitmap {
public:
  explicit LICE_MemBitmap(int w = 0, int h = 0, int rowAlign = 4);
  ~LICE_MemBitmap() override;
  LICE_MemBitmap(const LICE_MemBitmap&) = delete;
  LICE_MemBitmap& operator=(const LICE_MemBitmap&) = delete;

  LICE_pixel* GetBits() const override { return mBits; }
  int GetWidth() const override { return mWidth; }
  int GetHeight() const override { return mHeight; }
  int GetRowSpan() const override { return mSpan; }
  bool Resize(int w, int h) override;

private:
  LICE_pixel* mBits = nullptr;
  size_t mCapacity = 0; // pixels allocated
  int mWidth = 0;
  int mHeight = 0;
  int mSpan = 0;
  int mAlign = 4;
};

// The drawing surface of an editor window. On Windows the pixels live in a
// top-down 32-bit DIB section selected into the bitmap's own memory device
// context, so native text drawing and the copy to the window can use it
// (GetDC). Elsewhere the pixels are plain memory and GetDC is null. The row
// span always equals the width.
class LICE_SysBitmap : public LICE_IBitmap {
public:
  explicit LICE_SysBitmap(int w = 0, int h = 0);
  ~LICE_SysBitmap() override;
  LICE_SysBitmap(const LICE_SysBitmap&) = delete;
  LICE_SysBitmap& operator=(const LICE_SysBitmap&) = delete;

  LICE_pixel* GetBits() const override { return mBits; }
  int GetWidth() const override { return mWidth; }
  int GetHeight() const override { return mHeight; }
  int GetRowSpan() const override { return mWidth; }
  bool Resize(int w, int h) override;
  LICE_NativeDC GetDC() const override { return mDC; }

private:
  void FreePixels();

  LICE_pixel* mBits = nullptr;
  int mWidth = 0;
  int mHeight = 0;
  LICE_NativeDC mDC = nullptr; // Windows: memory DC owning the selection
  void* mSection = nullptr;    // Windows: the DIB section
  void* mOldObject = nullptr;  // Windows: the DC's original bitmap
};
