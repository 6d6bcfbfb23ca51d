#include "IGraphicsLice.h"

#include "IPlugParam.h"
#include "LiceBitmap.h"
#include "LiceDraw.h"
#include "LiceImageCache.h"
#include "LiceText.h"

#include <algorithm>
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

std::string IGraphicsLice::HiResName(const char* fileName)
{
  const std::string name = fileName ? fileName : "";
  const size_t slash = name.find_last_of("/\\");
  const size_t at = slash == std::string::npos ? 0 : slash + 1;
  return name.substr(0, at) + "2x/" + name.substr(at);
}

void IGraphicsLice::PrepDraw()
{
  // A surface of the right size stays: the editor may make it before it is
  // attached, and attaching prepares it again.
  if (mDrawBitmap && mDrawBitmap->GetWidth() == WindowWidth() && mDrawBitmap->GetHeight() == WindowHeight()) return;
  mDrawBitmap = std::make_unique<LICE_SysBitmap>(WindowWidth(), WindowHeight());
  mTmpBitmap = std::make_unique<LICE_MemBitmap>();
}

LICE_IBitmap* IGraphicsLice::GetDrawBitmap() const { return mDrawBitmap.get(); }

void IGraphicsLice::ResizeSurface()
{
  if (mDrawBitmap) mDrawBitmap->Resize(WindowWidth(), WindowHeight());
}

void IGraphicsLice::OnScaleChanged()
{
  ResizeSurface();
  mDeviceImages.clear();
  mOwnImages.clear();
}

size_t IGraphicsLice::OwnImageBytes() const
{
  auto bytes = [](const LICE_IBitmap* bm) {
    return bm ? static_cast<size_t>(bm->GetRowSpan()) * static_cast<size_t>(bm->GetHeight()) * sizeof(LICE_pixel) : 0;
  };
  size_t total = bytes(mDrawBitmap.get());
  for (const auto& image : mOwnImages) total += bytes(image.get());
  return total;
}

IRECT IGraphicsLice::ClipRECT() const
{
  if (!mDrawBitmap || !mDrawBitmap->GetBits()) return IRECT();
  return mDrawRECT.Intersect(IRECT(0, 0, mDrawBitmap->GetWidth(), mDrawBitmap->GetHeight()));
}

void IGraphicsLice::ForceDeviceRect(const IRECT& rect, const IColor& color)
{
  const IRECT r = rect.Intersect(ClipRECT());
  if (r.Empty()) return;
  const LICE_pixel p = Pack(color);
  const size_t span = static_cast<size_t>(mDrawBitmap->GetRowSpan());
  for (int y = r.T; y < r.B; ++y) {
    LICE_pixel* row = mDrawBitmap->GetBits() + static_cast<size_t>(y) * span;
    for (int x = r.L; x < r.R; ++x) row[x] = p;
  }
}

LICE_IBitmap* IGraphicsLice::DeviceImage(const IBitmap& bitmap)
{
  if (!bitmap.mData || GetScale() == 1.0) return bitmap.mData;
  const auto found = mDeviceImages.find(bitmap.mData);
  if (found != mDeviceImages.end()) return found->second;
  LICE_IBitmap* image = MakeDeviceImage(bitmap);
  if (!image) image = bitmap.mData;
  mDeviceImages[bitmap.mData] = image;
  return image;
}

LICE_IBitmap* IGraphicsLice::MakeDeviceImage(const IBitmap& bitmap)
{
  const int frames = bitmap.N, frameH = bitmap.H / bitmap.N;
  const int w = ToDevice(bitmap.W), deviceFrameH = ToDevice(frameH);
  const auto source = mSources.find(bitmap.mData);
  if (source == mSources.end()) {
    LICE_IBitmap* image = LICE_CreateAreaScaledFrames(bitmap.mData, frames, w, deviceFrameH);
    if (image) mOwnImages.emplace_back(image);
    return image;
  }
  const int id = source->second.mId;
  const std::string hiName = HiResName(source->second.mFileName.c_str());
  LICE_IBitmap* hi = LICE_ImageCache::FindOrLoad(
    id + kHiResIdOffset, [&]() -> LICE_IBitmap* { return OSLoadBitmap(id + kHiResIdOffset, hiName.c_str()); });
  const bool hiFits = hi && hi->GetWidth() == 2 * bitmap.W && hi->GetHeight() == 2 * bitmap.H;
  if (hiFits && GetScale() == 2.0) return hi;
  int step = 0;
  while (step + 1 < kNumScaleSteps && kScaleSteps[step] != GetScale()) ++step;
  // One reduction per image and factor for the whole process.
  const int key = (step + 1) * 0x10000 + id;
  return LICE_ImageCache::FindOrLoad(key, [&]() -> LICE_IBitmap* {
    return LICE_CreateAreaScaledFrames(hiFits ? hi : bitmap.mData, frames, w, deviceFrameH);
  });
}

int IGraphicsLice::DeviceSrcY(const IBitmap& bitmap, int srcY) const
{
  const int frameH = bitmap.H / bitmap.N;
  if (frameH <= 0) return ToDevice(srcY);
  const int frame = srcY / frameH;
  return frame * ToDevice(frameH) + ToDevice(srcY - frame * frameH);
}

bool IGraphicsLice::DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                               const IChannelBlend* pBlend)
{
  // A missing image or surface draws nothing; the call still succeeds.
  if (!bitmap.mData || !mDrawBitmap) return true;
  LICE_IBitmap* image = DeviceImage(bitmap);
  const IRECT d = ToDevice(dest);
  IRECT r = d.Intersect(ClipRECT());
  if (r.Empty()) return true;
  // The source moves with the clipped destination corner.
  const int sx = ToDevice(srcX) + (r.L - d.L);
  const int sy0 = DeviceSrcY(bitmap, srcY);
  const int sy = sy0 + (r.T - d.T);
  int h = r.H();
  if (GetScale() != 1.0) {
    // A destination rounded one pixel taller than the frame shows no row of the next.
    const int deviceFrameH = ToDevice(bitmap.H / bitmap.N);
    if (deviceFrameH > 0) h = std::min(h, (sy0 / deviceFrameH + 1) * deviceFrameH - sy);
  }
  if (h <= 0) return true;
  LICE_Blit(mDrawBitmap.get(), image, r.L, r.T, sx, sy, r.W(), h, Weight(pBlend), BlitMode(pBlend));
  return true;
}

bool IGraphicsLice::DrawRotatedBitmap(const IBitmap& bitmap, int destCtrX, int destCtrY, double angle, int,
                                      const IChannelBlend* pBlend)
{
  if (!bitmap.mData || !mDrawBitmap) return false;
  const IRECT clip = ClipRECT();
  if (clip.Empty()) return true;
  LICE_IBitmap* image = DeviceImage(bitmap);
  ClipView view(mDrawBitmap.get(), clip);
  const int W = image->GetWidth(), H = image->GetHeight();
  const int x = ToDevice(destCtrX) - W / 2 - clip.L;
  const int y = ToDevice(destCtrY) - H / 2 - clip.T;
  LICE_RotatedBlit(&view, image, x, y, W, H, 0.0f, 0.0f, static_cast<float>(W), static_cast<float>(H),
                   static_cast<float>(angle), Weight(pBlend), BlitMode(pBlend) | LICE_BLIT_FILTER_BILINEAR);
  return true;
}

bool IGraphicsLice::DrawRotatedMask(const IBitmap& base, const IBitmap& mask, const IBitmap& top, int x, int y,
                                    double angle, const IChannelBlend* pBlend)
{
  if (!base.mData || !mask.mData || !top.mData || !mDrawBitmap || !mTmpBitmap) return false;
  const LICE_IBitmap* baseImage = DeviceImage(base);
  const LICE_IBitmap* maskImage = DeviceImage(mask);
  const LICE_IBitmap* topImage = DeviceImage(top);
  if (!LICE_Copy(mTmpBitmap.get(), baseImage)) return false;
  const float rad = static_cast<float>(angle * PI / 180.0);
  const int W = baseImage->GetWidth(), H = baseImage->GetHeight();
  // An odd width has its centre on a pixel centre; move the turned images by
  // half a pixel to keep them centred on the base.
  const float off = (W % 2) ? 0.5f : 0.0f;
  LICE_RotatedBlit(mTmpBitmap.get(), maskImage, 0, 0, W, H, off, off, static_cast<float>(maskImage->GetWidth()),
                   static_cast<float>(maskImage->GetHeight()), rad, 1.0f,
                   LICE_BLIT_MODE_ADD | LICE_BLIT_FILTER_BILINEAR | LICE_BLIT_USE_ALPHA);
  LICE_RotatedBlit(mTmpBitmap.get(), topImage, 0, 0, W, H, off, off, static_cast<float>(topImage->GetWidth()),
                   static_cast<float>(topImage->GetHeight()), rad, 1.0f,
                   LICE_BLIT_MODE_COPY | LICE_BLIT_FILTER_BILINEAR | LICE_BLIT_USE_ALPHA);
  const IRECT dest(ToDevice(x), ToDevice(y), ToDevice(x) + W, ToDevice(y) + H);
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
  // The pixel that holds the point, as many device pixels as it covers.
  const double fx = std::floor(static_cast<double>(x)), fy = std::floor(static_cast<double>(y));
  if (fx < -1.0e6 || fx > 1.0e6 || fy < -1.0e6 || fy > 1.0e6) return true;
  const int px = static_cast<int>(fx), py = static_cast<int>(fy);
  const IRECT r = IRECT(ToDevice(px), ToDevice(py), ToDevice(px + 1), ToDevice(py + 1)).Intersect(clip);
  for (int yy = r.T; yy < r.B; ++yy)
    for (int xx = r.L; xx < r.R; ++xx)
      LICE_PutPixel(mDrawBitmap.get(), xx, yy, Pack(color), Weight(pBlend), PlainMode(pBlend));
  return true;
}

bool IGraphicsLice::ForcePixel(const IColor& color, int x, int y)
{
  if (!mDrawBitmap) return false;
  const IRECT r = IRECT(ToDevice(x), ToDevice(y), ToDevice(x + 1), ToDevice(y + 1)).Intersect(ClipRECT());
  if (r.Empty()) return false;
  ForceDeviceRect(r, color);
  return true;
}

namespace {
// A layout coordinate of a pixel centre in device pixels, and how many device
// pixels thick a one-pixel line is.
float DeviceCentre(float v, double scale) { return static_cast<float>((v + 0.5) * scale - 0.5); }
int Thickness(double scale) { return std::max(1, static_cast<int>(std::lround(scale))); }
} // namespace

bool IGraphicsLice::DrawLine(const IColor& color, float x1, float y1, float x2, float y2,
                             const IChannelBlend* pBlend, bool antiAlias)
{
  if (!mDrawBitmap) return false;
  const IRECT clip = ClipRECT();
  if (clip.Empty()) return true;
  ClipView view(mDrawBitmap.get(), clip);
  const double s = GetScale();
  const float dx = static_cast<float>(clip.L), dy = static_cast<float>(clip.T);
  const float ax = DeviceCentre(x1, s) - dx, ay = DeviceCentre(y1, s) - dy;
  const float bx = DeviceCentre(x2, s) - dx, by = DeviceCentre(y2, s) - dy;
  // Thick lines as parallel strokes across their minor axis.
  const bool steep = std::fabs(by - ay) > std::fabs(bx - ax);
  const int t = Thickness(s);
  for (int k = 0; k < t; ++k) {
    const float o = static_cast<float>(k) - static_cast<float>(t - 1) / 2.0f;
    const float ox = steep ? o : 0.0f, oy = steep ? 0.0f : o;
    LICE_Line(&view, ax + ox, ay + oy, bx + ox, by + oy, Pack(color), Weight(pBlend), BlitMode(pBlend), antiAlias);
  }
  return true;
}

bool IGraphicsLice::DrawArc(const IColor& color, float cx, float cy, float r, float minAngle, float maxAngle,
                            const IChannelBlend* pBlend, bool antiAlias)
{
  if (!mDrawBitmap) return false;
  const IRECT clip = ClipRECT();
  if (clip.Empty()) return true;
  ClipView view(mDrawBitmap.get(), clip);
  const double s = GetScale();
  const int t = Thickness(s);
  for (int k = 0; k < t; ++k)
    LICE_Arc(&view, DeviceCentre(cx, s) - static_cast<float>(clip.L), DeviceCentre(cy, s) - static_cast<float>(clip.T),
             static_cast<float>(r * s + k - (t - 1) / 2.0), minAngle, maxAngle, Pack(color), Weight(pBlend),
             PlainMode(pBlend), antiAlias);
  return true;
}

bool IGraphicsLice::DrawCircle(const IColor& color, float cx, float cy, float r, const IChannelBlend* pBlend,
                               bool antiAlias)
{
  if (!mDrawBitmap) return false;
  const IRECT clip = ClipRECT();
  if (clip.Empty()) return true;
  ClipView view(mDrawBitmap.get(), clip);
  const double s = GetScale();
  const int t = Thickness(s);
  for (int k = 0; k < t; ++k)
    LICE_Circle(&view, DeviceCentre(cx, s) - static_cast<float>(clip.L),
                DeviceCentre(cy, s) - static_cast<float>(clip.T), static_cast<float>(r * s + k - (t - 1) / 2.0),
                Pack(color), Weight(pBlend), BlitMode(pBlend), antiAlias);
  return true;
}

bool IGraphicsLice::FillIRect(const IColor& color, const IRECT& rect, const IChannelBlend* pBlend)
{
  if (!mDrawBitmap) return false;
  const IRECT r = ToDevice(rect).Intersect(ClipRECT());
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
  const int w = Width(), h = Height();
  x = ClampInt(x, 0, w - 1);
  y1 = ClampInt(y1, 0, h - 1);
  y2 = ClampInt(y2, 0, h - 1);
  if (y2 < y1) return true;
  ForceDeviceRect(ToDevice(IRECT(x, y1, x + 1, y2 + 1)), color);
  return true;
}

bool IGraphicsLice::DrawHorizontalLine(const IColor& color, int y, int x1, int x2)
{
  if (!mDrawBitmap || mDrawBitmap->GetWidth() <= 0 || mDrawBitmap->GetHeight() <= 0) return false;
  const int w = Width(), h = Height();
  y = ClampInt(y, 0, h - 1);
  x1 = ClampInt(x1, 0, w - 1);
  x2 = ClampInt(x2, 0, w - 1);
  if (x2 < x1) return true;
  ForceDeviceRect(ToDevice(IRECT(x1, y, x2 + 1, y + 1)), color);
  return true;
}

bool IGraphicsLice::RasterizeText(const IText& text, const char* str, const IRECT& rect)
{
  if (!str || !*str || !mDrawBitmap) return false;
  const IRECT clip = ClipRECT();
  if (clip.Empty()) return false;
  ClipView view(mDrawBitmap.get(), clip);
  const IRECT r = ToDevice(rect);
  LICE_TextFormat format;
  format.face = text.mFont[0] ? text.mFont : "Arial";
  format.size = static_cast<int>(std::lround(text.mSize * GetScale()));
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
  if (id >= 0) mSources[bm] = ImageSource{id, fileName ? fileName : ""};
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

void IGraphicsLice::ReleaseBitmap(const IBitmap& bitmap)
{
  mSources.erase(bitmap.mData);
  mDeviceImages.erase(bitmap.mData);
  LICE_ImageCache::Release(bitmap.mData);
}

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
