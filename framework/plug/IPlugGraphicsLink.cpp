// Calls from the plug-in base into the editor. Built against the editor's class
// when framework/graphics provides it; until then there can be no editor and
// every call is a no-op.

#include "IPlugGraphicsLink.h"

#include <cstdint>

#if __has_include("IGraphics.h")
#include "IGraphics.h"
#define TAV_HAVE_IGRAPHICS 1
#else
#define TAV_HAVE_IGRAPHICS 0
#endif

#if TAV_HAVE_IGRAPHICS
namespace {
// The size accessors are looked up by name so that either spelling works.
template <class G>
auto WidthOf(G* g, int) -> decltype(static_cast<int>(g->Width())) { return static_cast<int>(g->Width()); }
template <class G>
auto WidthOf(G* g, long) -> decltype(static_cast<int>(g->GetWidth())) { return static_cast<int>(g->GetWidth()); }
template <class G>
int WidthOf(G*, ...) { return 0; }

template <class G>
auto HeightOf(G* g, int) -> decltype(static_cast<int>(g->Height())) { return static_cast<int>(g->Height()); }
template <class G>
auto HeightOf(G* g, long) -> decltype(static_cast<int>(g->GetHeight())) { return static_cast<int>(g->GetHeight()); }
template <class G>
int HeightOf(G*, ...) { return 0; }

// The host's parent window arrives as a pointer; the window layer may take it as
// a pointer or as an integer handle.
template <class R, class C, class A>
A ParentArgOf(R (C::*)(A));

template <class G>
bool OpenIn(G* g, void* pParent)
{
  using TParent = decltype(ParentArgOf(&G::OpenWindow));
  return static_cast<bool>(g->OpenWindow((TParent)(reinterpret_cast<uintptr_t>(pParent))));
}
} // namespace
#endif

namespace IGraphicsLink {

void SetParameterFromPlug(IGraphics* pGraphics, int paramIdx, double value, bool normalized)
{
#if TAV_HAVE_IGRAPHICS
  if (pGraphics) pGraphics->SetParameterFromPlug(paramIdx, value, normalized);
#else
  (void)pGraphics; (void)paramIdx; (void)value; (void)normalized;
#endif
}

void PrepDraw(IGraphics* pGraphics)
{
#if TAV_HAVE_IGRAPHICS
  if (pGraphics) pGraphics->PrepDraw();
#else
  (void)pGraphics;
#endif
}

int Width(IGraphics* pGraphics)
{
#if TAV_HAVE_IGRAPHICS
  return pGraphics ? WidthOf(pGraphics, 0) : 0;
#else
  (void)pGraphics;
  return 0;
#endif
}

int Height(IGraphics* pGraphics)
{
#if TAV_HAVE_IGRAPHICS
  return pGraphics ? HeightOf(pGraphics, 0) : 0;
#else
  (void)pGraphics;
  return 0;
#endif
}

bool OpenWindow(IGraphics* pGraphics, void* pParent)
{
#if TAV_HAVE_IGRAPHICS
  return pGraphics ? OpenIn(pGraphics, pParent) : false;
#else
  (void)pGraphics; (void)pParent;
  return false;
#endif
}

void CloseWindow(IGraphics* pGraphics)
{
#if TAV_HAVE_IGRAPHICS
  if (pGraphics) pGraphics->CloseWindow();
#else
  (void)pGraphics;
#endif
}

void Delete(IGraphics* pGraphics)
{
#if TAV_HAVE_IGRAPHICS
  delete pGraphics;
#else
  // No editor class exists in this build, so no editor can have been made.
  (void)pGraphics;
#endif
}

} // namespace IGraphicsLink
