#include "IGraphicsStructs.h"

#include <algorithm>
#include <cstring>

bool IRECT::Intersects(const IRECT& r) const
{
  return std::max(L, r.L) < std::min(R, r.R) && std::max(T, r.T) < std::min(B, r.B);
}

IRECT IRECT::Intersect(const IRECT& r) const
{
  if (!Intersects(r)) return IRECT();
  return IRECT(std::max(L, r.L), std::max(T, r.T), std::min(R, r.R), std::min(B, r.B));
}

IRECT IRECT::Union(const IRECT& r) const
{
  if (Empty()) return r;
  if (r.Empty()) return *this;
  return IRECT(std::min(L, r.L), std::min(T, r.T), std::max(R, r.R), std::max(B, r.B));
}

namespace {
IText::FontCreateFn sFontCreate = nullptr;
IText::FontDestroyFn sFontDestroy = nullptr;
} // namespace

IText::IText(const char* font, int size, const IColor& color, int style, int align, int orientation)
  : mSize(size), mColor(color), mStyle(style), mAlign(align), mOrientation(orientation)
{
  SetFont(font);
}

void IText::SetFont(const char* font)
{
  std::memset(mFont, 0, sizeof(mFont));
  if (!font) return;
  const size_t n = std::min(std::strlen(font), static_cast<size_t>(MAX_FONT_LEN - 1));
  std::memcpy(mFont, font, n);
}

void IText::CreateNativeFont()
{
  mCached.reset();
  if (!sFontCreate) return;
  void* font = sFontCreate(*this);
  if (!font) return;
  IText::FontDestroyFn destroy = sFontDestroy;
  mCached = std::shared_ptr<void>(font, [destroy](void* f) {
    if (destroy) destroy(f);
  });
}

void IText::SetNativeFontFactory(FontCreateFn create, FontDestroyFn destroy)
{
  sFontCreate = create;
  sFontDestroy = destroy;
}
