#pragma once
// Value types of the GUI framework: rectangles, colours, mouse modifiers,
// blending, text styles, bitmaps with frames, and the key codes delivered to
// controls.
//
// Thread: plain values; whoever holds one uses it. IText's native-font factory is
// process-wide and is installed once by the window layer before any editor is
// built.

#include <memory>

class LICE_IBitmap;

// L, T, R, B; right and bottom exclusive. All four 0 is the empty rectangle.
struct IRECT {
  int L = 0, T = 0, R = 0, B = 0;

  IRECT() = default;
  IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}

  int W() const { return R - L; }
  int H() const { return B - T; }
  bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
  bool Contains(int x, int y) const { return L <= x && x < R && T <= y && y < B; }
  // Whether the two share at least one pixel.
  bool Intersects(const IRECT& r) const;
  // The common part; the empty rectangle when there is none.
  IRECT Intersect(const IRECT& r) const;
  // The bounding rectangle of both; the union with an empty rectangle is the other.
  IRECT Union(const IRECT& r) const;

  bool operator==(const IRECT& r) const { return L == r.L && T == r.T && R == r.R && B == r.B; }
  bool operator!=(const IRECT& r) const { return !(*this == r); }
};

// Alpha, red, green, blue, each 0..255 (values outside are clamped when drawn).
struct IColor {
  int A = 255, R = 0, G = 0, B = 0;

  IColor() = default;
  IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}

  bool operator==(const IColor& c) const { return A == c.A && R == c.R && G == c.G && B == c.B; }
  bool operator!=(const IColor& c) const { return !(*this == c); }
};

// Buttons and keys held during a mouse event.
struct IMouseMod {
  bool L = false; // left button
  bool R = false; // right button
  bool S = false; // shift
  bool C = false; // control
  bool A = false; // alt

  IMouseMod() = default;
  IMouseMod(bool l, bool r = false, bool s = false, bool c = false, bool a = false) : L(l), R(r), S(s), C(c), A(a) {}
};

// How a drawing operation mixes into the surface; weight 1.0 is opaque.
struct IChannelBlend {
  enum EBlendMethod {
    kBlendAlpha = 0,      // copy, weighted by the source's alpha
    kBlendCopy = 1,       // plain copy of all four channels
    kBlendAdd = 2,        // additive, weighted by the source's alpha
    kBlendColorDodge = 3, // colour dodge, weighted by the source's alpha
  };

  int mMethod = kBlendAlpha;
  float mWeight = 1.0f;

  IChannelBlend() = default;
  IChannelBlend(int method, float weight = 1.0f) : mMethod(method), mWeight(weight) {}
};

// A text style, and the native font made from it. The font is made again by
// CreateNativeFont whenever the style is applied to a control; copies of the
// style share the font. Without an installed factory (off-screen drawing) there
// is no native font and the text rasteriser works from the fields alone.
struct IText {
  enum EStyle { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
  enum EAlign { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
  static constexpr int MAX_FONT_LEN = 32;

  char mFont[MAX_FONT_LEN] = {};
  int mSize = 14;    // character height in pixels
  IColor mColor;     // opaque black by default
  int mStyle = kStyleNormal;
  int mAlign = kAlignCenter;
  int mOrientation = 0; // degrees
  std::shared_ptr<void> mCached; // the native font, or null

  IText(const char* font = "Arial", int size = 14, const IColor& color = IColor(), int style = kStyleNormal,
        int align = kAlignCenter, int orientation = 0);

  void SetFont(const char* font); // copied, at most 31 characters

  // Replaces the cached font with a new one made by the installed factory.
  void CreateNativeFont();

  // The window layer's font maker: `create` builds a native font from the style
  // (height = size, escapement and orientation = orientation * 10, bold for style
  // 1, italic for 2, face = font), `destroy` frees one. Null functions remove it.
  using FontCreateFn = void* (*)(const IText& text);
  using FontDestroyFn = void (*)(void* font);
  static void SetNativeFontFactory(FontCreateFn create, FontDestroyFn destroy);
};

// A bitmap of the bitmap layer with its frame count: N frames of H / N pixels
// stacked vertically. Not owning: the image cache owns every bitmap.
struct IBitmap {
  LICE_IBitmap* mData = nullptr;
  int W = 0, H = 0; // of the whole image
  int N = 1;        // frames, >= 1

  IBitmap() = default;
  IBitmap(LICE_IBitmap* data, int w, int h, int n = 1) : mData(data), W(w), H(h), N(n < 1 ? 1 : n) {}

  int FrameHeight() const { return H / N; }
};

// Key codes delivered to IControl::OnKeyDown.
enum EKeyCode {
  kKeySpace = 0,
  kKeyUp = 1,
  kKeyDown = 2,
  kKeyLeft = 3,
  kKeyRight = 4,
  kKeyDigit0 = 5, // "0".."9" are 5..14
  kKeyDigit9 = 14,
  kKeyA = 15, // "A".."Z" are 15..40
  kKeyZ = 40,
};
