// Text with GDI. The window layer draws the editor's text straight onto the
// surface's device context; these functions serve every other bitmap (views
// without a device context, off-screen editors): GDI renders the text white on
// black into a scratch DIB section, and that coverage blends the colour into
// the destination.
#include "LiceText.h"
#include "Utf16_win32.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace {

HFONT MakeFont(const LICE_TextFormat& format)
{
  // The same sizes as the FreeType rasteriser: no text for a size of 0 (GDI would
  // pick a default height) or an absurd one.
  if (format.size <= 0 || format.size > 4096) return nullptr;
  const std::wstring face = Widen(format.face && *format.face ? format.face : "Arial");
  return CreateFontW(format.size, 0, 0, 0, format.style == LICE_TEXT_BOLD ? FW_BOLD : FW_NORMAL,
                     format.style == LICE_TEXT_ITALIC ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, face.c_str());
}

UINT AlignFlags(int align)
{
  if (align == LICE_TEXT_ALIGN_CENTER) return DT_CENTER;
  if (align == LICE_TEXT_ALIGN_RIGHT) return DT_RIGHT;
  return DT_LEFT;
}

// A memory device context with the format's font selected; released with it.
struct TextDC {
  HDC dc = nullptr;
  HFONT font = nullptr;
  HGDIOBJ oldFont = nullptr;

  explicit TextDC(const LICE_TextFormat& format)
  {
    dc = CreateCompatibleDC(nullptr);
    font = MakeFont(format);
    if (dc && font) oldFont = SelectObject(dc, font);
  }
  ~TextDC()
  {
    if (dc && oldFont) SelectObject(dc, oldFont);
    if (font) DeleteObject(font);
    if (dc) DeleteDC(dc);
  }
  bool Ok() const { return dc && font; }
};

int Channel(LICE_pixel p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }

} // namespace

bool LICE_DrawText(LICE_IBitmap* dest, const char* text, int l, int t, int r, int b, const LICE_TextFormat& format)
{
  if (!text || !*text) return false;
  const std::wstring wtext = Widen(text);
  TextDC tdc(format);
  if (!tdc.Ok() || wtext.empty()) return false;
  if (!dest || !dest->GetBits()) return true;

  const UINT flags = DT_NOCLIP | DT_NOPREFIX | AlignFlags(format.align);
  RECT measure = {l, t, r, b};
  DrawTextW(tdc.dc, wtext.c_str(), -1, &measure, flags | DT_CALCRECT);
  const int destW = dest->GetWidth(), destH = dest->GetHeight();
  const int y0 = std::max(t, 0);
  const int y1 = std::min(t + static_cast<int>(measure.bottom - measure.top), destH);
  if (destW <= 0 || y1 <= y0) return true;

  // Whole rows of the destination: the text is not clipped to its rectangle.
  BITMAPINFO bmi;
  ZeroMemory(&bmi, sizeof(bmi));
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = destW;
  bmi.bmiHeader.biHeight = -(y1 - y0);
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(tdc.dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section || !bits) {
    if (section) DeleteObject(section);
    return false;
  }
  HGDIOBJ oldBitmap = SelectObject(tdc.dc, section);
  SetBkMode(tdc.dc, TRANSPARENT);
  SetTextColor(tdc.dc, RGB(255, 255, 255));
  RECT rc = {l, t - y0, r, b - y0};
  DrawTextW(tdc.dc, wtext.c_str(), -1, &rc, flags);
  GdiFlush();

  const int a = Channel(format.color, 24);
  const int cr = Channel(format.color, 16), cg = Channel(format.color, 8), cb = Channel(format.color, 0);
  const LICE_pixel* cover = static_cast<const LICE_pixel*>(bits);
  for (int y = y0; y < y1; ++y) {
    LICE_pixel* row = dest->GetBits() + static_cast<size_t>(y) * static_cast<size_t>(dest->GetRowSpan());
    const LICE_pixel* crow = cover + static_cast<size_t>(y - y0) * static_cast<size_t>(destW);
    for (int x = 0; x < destW; ++x) {
      const LICE_pixel c = crow[x];
      const int coverage = std::max(Channel(c, 16), std::max(Channel(c, 8), Channel(c, 0)));
      if (coverage == 0) continue;
      const int w = coverage * a / 255;
      const LICE_pixel d = row[x];
      const int dr = Channel(d, 16), dg = Channel(d, 8), db = Channel(d, 0), da = Channel(d, 24);
      const int nr = dr + (cr - dr) * w / 255;
      const int ng = dg + (cg - dg) * w / 255;
      const int nb = db + (cb - db) * w / 255;
      const int na = w + da * (255 - w) / 255;
      row[x] = (static_cast<LICE_pixel>(na) << 24) | (static_cast<LICE_pixel>(nr) << 16) |
               (static_cast<LICE_pixel>(ng) << 8) | static_cast<LICE_pixel>(nb);
    }
  }
  SelectObject(tdc.dc, oldBitmap);
  DeleteObject(section);
  return true;
}

bool LICE_MeasureText(const char* text, const LICE_TextFormat& format, int* width, int* height)
{
  if (width) *width = 0;
  if (height) *height = 0;
  TextDC tdc(format);
  if (!tdc.Ok()) return false;
  const std::wstring wtext = Widen(text ? text : "");
  if (wtext.empty()) return true;
  RECT rc = {0, 0, 0, 0};
  DrawTextW(tdc.dc, wtext.c_str(), -1, &rc, DT_CALCRECT | DT_NOCLIP | DT_NOPREFIX);
  if (width) *width = rc.right - rc.left;
  if (height) *height = rc.bottom - rc.top;
  return true;
}
