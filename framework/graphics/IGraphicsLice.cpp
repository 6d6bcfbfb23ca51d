#include "IGraphicsLice.h"

#include "IPlugParam.h"
#include "LiceBitmap.h"
#include "LiceDraw.h"
#include "LiceImageCache.h"
#include "LiceText.h"

#include <charconv>
#include <cmath>

namespace {

// A window onto a rectangle of another bitmap: drawing into it with coordinates
// moved by the rectangle's corner draws into the other bitmap, clipped to the
// rectangle by the bitmap layer's own bounds checks.
class ClipView : public LICE_IBitmap {
public:
  ClipView(const LICE_IBitmap* base, const IRECT& r)
    : mBits(base->GetBits() + static_cast<size_t>(r.T) * static_cast<size_t>(base->GetRowSpan()) +
            static_cast<size_t>(r.L)),
      mW(r.W()), mH(r.H()), mSpan(base->GetRowSpan())
  {
  }
  LICE_pixel* GetBits() const override { return mBits; }
  int GetWidth() const override { return mW; }
  int GetHeight() const override { return mH; }
  int GetRowSpan() const override { return mSpan; }
  bool Resize(int, int) override { return false; }

private:
  LICE_pixel* mBits;
  int mW, mH, mSpan;
};

int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

LICE_pixel Pack(const IColor& c)
{
  return LICE_RGBA(Clamp255(c.R), Clamp255(c.G), Clamp255(c.B), Clamp255(c.A));
}

float Weight(const IChannelBlend* pBlend) { return pBlend ? pBlend->mWeight : 1.0f; }

// Bitmap copies, fills, lines and circles.
int BlitMode(const IChannelBlend* pBlend)
{
  switch (pBlend ? pBlend->mMethod : IChannelBlend::kBlendAlpha) {
    case IChannelBlend::kBlendCopy: return LICE_BLIT_MODE_COPY;
    case IChannelBlend::kBlendAdd: return LICE_BLIT_MODE_ADD | LICE_BLIT_USE_ALPHA;
    case IChannelBlend::kBlendColorDodge: return LICE_BLIT_MODE_DODGE | LICE_BLIT_USE_ALPHA;
    default: return LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;
  }
}

// Points and arcs.
int PlainMode(const IChannelBlend* pBlend)
{
  switch (pBlend ? pBlend->mMethod : IChannelBlend::kBlendAlpha) {
    case IChannelBlend::kBlendAdd: return LICE_BLIT_MODE_ADD;
    case IChannelBlend::kBlendColorDodge: return LICE_BLIT_MODE_DODGE;
    default: return LICE_BLIT_MODE_COPY;
  }
}

int ClampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

constexpr double PI = 3.14159265358979323846;

} // namespace

IGraphicsLice::IGraphicsLice(IPlugBase* pPlug, int w, int h, int frameRate) : IGraphics(pPlug, w, h, frameRate) {}

IGraphicsLice::~IGraphicsLice() = default;

void IGraphicsLice::PrepDraw()
{
  // A surface of the right size stays: the editor may make it before it is
  // attached, and attaching prepares it again.
  if (mDrawBitmap && mDrawBitmap->GetWidth() == Width() && mDrawBitmap->GetHeight() == Height()) return;
  mDrawBitmap = std::make_unique<LICE_SysBitmap>(Width(), Height());
  mTmpBitmap = std::make_unique<LICE_MemBitmap>();
}

LICE_IBitmap* IGraphicsLice::GetDrawBitmap() const { return mDrawBitmap.get(); }

void IGraphicsLice::ResizeSurface(int w, int h)
{
  if (mDrawBitmap) mDrawBitmap->Resize(w, h);
}

IRECT IGraphicsLice::ClipRECT() const
{
  if (!mDrawBitmap || !mDrawBitmap->GetBits()) return IRECT();
  return mDrawRECT.Intersect(IRECT(0, 0, mDrawBitmap->GetWidth(), mDrawBitmap->GetHeight()));
}

bool IGraphicsLice::DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                               const IChannelBlend* pBlend)
{
  // A missing image or surface draws nothing; the call still succeeds.
  if (!bitmap.mData || !mDrawBitmap) return true;
  const IRECT r = dest.Intersect(ClipRECT());
  if (r.Empty()) return true;
  // The source moves with the clipped destination corner.
  const int sx = srcX + (r.L - dest.L);
  const int sy = srcY + (r.T - dest.T);
  LICE_Blit(mDrawBitmap.get(), bitmap.mData, r.L, r.T, sx, sy, r.W(), r.H(), Weight(pBlend), BlitMode(pBlend));
  return true;
}

bool IGraphicsLice::DrawRotatedBitmap(const IBitmap& bitmap, int destCtrX, int destCtrY, double angle, int,
                                      const IChannelBlend* pBlend)
{
  if (!bitmap.mData || !mDrawBitmap) return false;
  const IRECT clip = ClipRECT();
  if (clip.Empty()) return true;
  ClipView view(mDrawBitmap.get(), clip);
  const int W = bitmap.W, H = bitmap.H;
  const int x = destCtrX - W / 2 - clip.L;
  const int y = destCtrY - H / 2 - clip.T;
  LICE_RotatedBlit(&view, bitmap.mData, x, y, W, H, 0.0f, 0.0f, static_cast<float>(W), static_cast<float>(H),
                   static_cast<float>(angle), Weight(pBlend), BlitMode(pBlend) | LICE_BLIT_FILTER_BILINEAR);
  return true;
}

bool IGraphicsLice::DrawRotatedMask(const IBitmap& base, const IBitmap& mask, const IBitmap& top, int x, int y,
                                    double angle, const IChannelBlend* pBlend)
{
  if (!base.mData || !mask.mData || !top.mData || !mDrawBitmap || !mTmpBitmap) return false;
  if (!LICE_Copy(mTmpBitmap.get(), base.mData)) return false;
  const float rad = static_cast<float>(angle * PI / 180.0);
  // An odd width has its centre on a pixel centre; move the turned images by
  // half a pixel to keep them centred on the base.
  const float off = (base.W % 2) ? 0.5f : 0.0f;
  const int W = base.W, H = base.H;
  LICE_RotatedBlit(mTmpBitmap.get(), mask.mData, 0, 0, W, H, off, off, static_cast<float>(mask.W),
                   static_cast<float>(mask.H), rad, 1.0f,
                   LICE_BLIT_MODE_ADD | LICE_BLIT_FILTER_BILINEAR | LICE_BLIT_USE_ALPHA);
  LICE_RotatedBlit(mTmpBitmap.get(), top.mData, 0, 0, W, H, off, off, static_cast<float>(top.W),
                   static_cast<float>(top.H), rad, 1.0f,
                   LICE_BLIT_MODE_COPY | LICE_BLIT_FILTER_BILINEAR | LICE_BLIT_USE_ALPHA);
  const IRECT dest(x, y, x + W, y + H);
  const IRECT r = dest.Intersect(ClipRECT());
  if (r.Empty()) return true;
  LICE_Blit(mDrawBitmap.get(), mTmpBitmap.get(), r.L, r.T, r.L - dest.L, r.T - dest.T, r.W(), r.H(),
            Weight(pBlend), BlitMode(pBlend));
  return true;
}

bool IGraphicsLice::DrawPoint(const IColor& color, float x, float y, const IChannelBlend* pBlend)
{
  if (!mDrawBitmap) return false;
  if (!std::isfinite(x) || !std::isfinite(y)) return false;
  const IRECT clip = ClipRECT();
  // The pixel that holds the point.
  const double fx = std::floor(static_cast<double>(x)), fy = std::floor(static_cast<double>(y));
  if (fx < clip.L || fx >= clip.R || fy < clip.T || fy >= clip.B) return true;
  LICE_PutPixel(mDrawBitmap.get(), static_cast<int>(fx), static_cast<int>(fy), Pack(color), Weight(pBlend),
                PlainMode(pBlend));
  return true;
}

bool IGraphicsLice::ForcePixel(const IColor& color, int x, int y)
{
  if (!mDrawBitmap) return false;
  const IRECT clip = ClipRECT();
  if (!clip.Contains(x, y)) return false;
  mDrawBitmap->GetBits()[static_cast<size_t>(y) * static_cast<size_t>(mDrawBitmap->GetRowSpan()) +
                         static_cast<size_t>(x)] = Pack(color);
  return true;
}

bool IGraphicsLice::DrawLine(const IColor& color, float x1, float y1, float x2, float y2,
                             const IChannelBlend* pBlend, bool antiAlias)
{
  if (!mDrawBitmap) return false;
  const IRECT clip = ClipRECT();
  if (clip.Empty()) return true;
  ClipView view(mDrawBitmap.get(), clip);
  const float dx = static_cast<float>(clip.L), dy = static_cast<float>(clip.T);
  LICE_Line(&view, x1 - dx, y1 - dy, x2 - dx, y2 - dy, Pack(color), Weight(pBlend), BlitMode(pBlend), antiAlias);
  return true;
}

bool IGraphicsLice::DrawArc(const IColor& color, float cx, float cy, float r, float minAngle, float maxAngle,
                            const IChannelBlend* pBlend, bool antiAlias)
{
  if (!mDrawBitmap) return false;
  const IRECT clip = ClipRECT();
  if (clip.Empty()) return true;
  ClipView view(mDrawBitmap.get(), clip);
  LICE_Arc(&view, cx - static_cast<float>(clip.L), cy - static_cast<float>(clip.T), r, minAngle, maxAngle,
           Pack(color), Weight(pBlend), PlainMode(pBlend), antiAlias);
  return true;
}

bool IGraphicsLice::DrawCircle(const IColor& color, float cx, float cy, float r, const IChannelBlend* pBlend,
                               bool antiAlias)
{
  if (!mDrawBitmap) return false;
  const IRECT clip = ClipRECT();
  if (clip.Empty()) return true;
  ClipView view(mDrawBitmap.get(), clip);
  LICE_Circle(&view, cx - static_cast<float>(clip.L), cy - static_cast<float>(clip.T), r, Pack(color),
              Weight(pBlend), BlitMode(pBlend), antiAlias);
  return true;
}

bool IGraphicsLice::FillIRect(const IColor& color, const IRECT& rect, const IChannelBlend* pBlend)
{
  if (!mDrawBitmap) return false;
  const IRECT r = rect.Intersect(ClipRECT());
  if (r.Empty()) return true;
  LICE_FillRect(mDrawBitmap.get(), r.L, r.T, r.W(), r.H(), Pack(color), Weight(pBlend), BlitMode(pBlend));
  return true;
}

IColor IGraphicsLice::GetPoint(int x, int y)
{
  if (!mDrawBitmap) return IColor(0, 0, 0, 0);
  const LICE_pixel p = LICE_GetPixel(mDrawBitmap.get(), x, y);
  return IColor(LICE_GETA(p), LICE_GETR(p), LICE_GETG(p), LICE_GETB(p));
}

void* IGraphicsLice::GetBits() { return mDrawBitmap ? mDrawBitmap->GetBits() : nullptr; }

bool IGraphicsLice::DrawVerticalLine(const IColor& color, int x, int y1, int y2)
{
  if (!mDrawBitmap || mDrawBitmap->GetWidth() <= 0 || mDrawBitmap->GetHeight() <= 0) return false;
  const int w = mDrawBitmap->GetWidth(), h = mDrawBitmap->GetHeight();
  x = ClampInt(x, 0, w - 1);
  y1 = ClampInt(y1, 0, h - 1);
  y2 = ClampInt(y2, 0, h - 1);
  if (y2 < y1) return true;
  const IRECT clip = ClipRECT();
  if (x < clip.L || x >= clip.R) return true;
  if (y1 < clip.T) y1 = clip.T;
  if (y2 > clip.B - 1) y2 = clip.B - 1;
  const LICE_pixel p = Pack(color);
  const size_t span = static_cast<size_t>(mDrawBitmap->GetRowSpan());
  LICE_pixel* bits = mDrawBitmap->GetBits();
  for (int y = y1; y <= y2; ++y) bits[static_cast<size_t>(y) * span + static_cast<size_t>(x)] = p;
  return true;
}

bool IGraphicsLice::DrawHorizontalLine(const IColor& color, int y, int x1, int x2)
{
  if (!mDrawBitmap || mDrawBitmap->GetWidth() <= 0 || mDrawBitmap->GetHeight() <= 0) return false;
  const int w = mDrawBitmap->GetWidth(), h = mDrawBitmap->GetHeight();
  y = ClampInt(y, 0, h - 1);
  x1 = ClampInt(x1, 0, w - 1);
  x2 = ClampInt(x2, 0, w - 1);
  if (x2 < x1) return true;
  const IRECT clip = ClipRECT();
  if (y < clip.T || y >= clip.B) return true;
  if (x1 < clip.L) x1 = clip.L;
  if (x2 > clip.R - 1) x2 = clip.R - 1;
  const LICE_pixel p = Pack(color);
  LICE_pixel* row = mDrawBitmap->GetBits() + static_cast<size_t>(y) * static_cast<size_t>(mDrawBitmap->GetRowSpan());
  for (int x = x1; x <= x2; ++x) row[x] = p;
  return true;
}

bool IGraphicsLice::RasterizeText(const IText& text, const char* str, const IRECT& r)
{
  if (!str || !*str || !mDrawBitmap) return false;
  const IRECT clip = ClipRECT();
  if (clip.Empty()) return false;
  ClipView view(mDrawBitmap.get(), clip);
  LICE_TextFormat format;
  format.face = text.mFont[0] ? text.mFont : "Arial";
  format.size = text.mSize;
  format.style = text.mStyle;
  format.align = text.mAlign;
  format.color = Pack(text.mColor);
  return LICE_DrawText(&view, str, r.L - clip.L, r.T - clip.T, r.R - clip.L, r.B - clip.T, format);
}

IBitmap IGraphicsLice::LoadIBitmap(int id, const char* fileName, int nFrames)
{
  LICE_IBitmap* bm = LICE_ImageCache::FindOrLoad(id, [&]() -> LICE_IBitmap* { return OSLoadBitmap(id, fileName); });
  // Only ids >= 0 are entered by the lookup; the cache must own the others too.
  if (bm && id < 0) LICE_ImageCache::Retain(bm);
  if (!bm) return IBitmap(nullptr, 0, 0, nFrames);
  return IBitmap(bm, bm->GetWidth(), bm->GetHeight(), nFrames);
}

IBitmap IGraphicsLice::ScaleBitmap(const IBitmap& bitmap, int w, int h)
{
  if (!bitmap.mData) return IBitmap(nullptr, 0, 0, bitmap.N);
  LICE_MemBitmap* bm = LICE_CreateScaledCopy(bitmap.mData, w, h);
  if (!bm) return IBitmap(nullptr, 0, 0, bitmap.N);
  IBitmap out(bm, bm->GetWidth(), bm->GetHeight(), bitmap.N);
  RetainBitmap(out);
  return out;
}

IBitmap IGraphicsLice::CropBitmap(const IBitmap& bitmap, const IRECT& r)
{
  if (!bitmap.mData) return IBitmap(nullptr, 0, 0, bitmap.N);
  LICE_MemBitmap* bm = LICE_CreateCroppedCopy(bitmap.mData, r.L, r.T, r.W(), r.H());
  if (!bm) return IBitmap(nullptr, 0, 0, bitmap.N);
  IBitmap out(bm, bm->GetWidth(), bm->GetHeight(), bitmap.N);
  RetainBitmap(out);
  return out;
}

void IGraphicsLice::RetainBitmap(const IBitmap& bitmap) { LICE_ImageCache::Retain(bitmap.mData); }

void IGraphicsLice::ReleaseBitmap(const IBitmap& bitmap) { LICE_ImageCache::Release(bitmap.mData); }

double IGraphicsLice::NormalizePlain(const IPlugParam* pParam, double v)
{
  const double lo = pParam->GetMin(), hi = pParam->GetMax();
  if (!std::isfinite(v)) v = 0.0;
  if (v < lo) v = lo;
  if (v > hi) v = hi;
  return hi > lo ? (v - lo) / (hi - lo) : 0.0;
}

double IGraphicsLice::ParseNumber(const std::string& text)
{
  const char* p = text.c_str();
  const char* end = p + text.size();
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
  if (p < end && *p == '+') ++p;
  double v = 0.0;
  const auto res = std::from_chars(p, end, v);
  if (res.ec != std::errc() || !std::isfinite(v)) return 0.0;
  return v;
}

void IGraphicsLice::CommitTypedText(IControl* pControl, const IPlugParam* pParam, const std::string& text)
{
  double v = 0.0;
  if (pParam->NDisplayTexts() > 0) {
    int iv = 0;
    if (pParam->MapDisplayText(text.c_str(), &iv)) v = iv;
  } else {
    v = ParseNumber(text);
  }
  pControl->SetValueFromUserInput(NormalizePlain(pParam, v));
}

void IGraphicsLice::FillEnumMenu(IPopupMenu& menu, const IPlugParam* pParam, int itemsPerColumn)
{
  const int current = pParam->Int();
  for (int i = 0; i < pParam->NDisplayTexts(); ++i) {
    int flags = IPopupMenu::Item::kNoFlags;
    if (i == current) flags |= IPopupMenu::Item::kChecked;
    if (itemsPerColumn > 0 && i > 0 && i % itemsPerColumn == 0) flags |= IPopupMenu::Item::kBreak;
    menu.AddItem(pParam->GetDisplayTextAtIdx(i), -1, flags);
  }
}

void IGraphicsLice::CommitEnumChoice(IControl* pControl, const IPlugParam* pParam, int index)
{
  int value = 0;
  pParam->GetDisplayTextAtIdx(index, &value);
  pControl->SetValueFromUserInput(NormalizePlain(pParam, value));
}
