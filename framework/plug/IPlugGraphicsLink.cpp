// Calls from the plug-in base into the editor, through the table the graphics
// layer installed. Every call is a no-op for a null editor.

#include "IPlugGraphicsLink.h"

#include <atomic>

namespace IGraphicsLink {

namespace {
std::atomic<const Calls*> sCalls{nullptr};

// Non-null whenever pGraphics is: the editor's constructor installed the table.
const Calls& Installed() { return *sCalls.load(std::memory_order_acquire); }
} // namespace

void Install(const Calls* pCalls) { sCalls.store(pCalls, std::memory_order_release); }

void SetParameterFromPlug(IGraphics* pGraphics, int paramIdx, double value, bool normalized)
{
  if (pGraphics) Installed().setParameterFromPlug(pGraphics, paramIdx, value, normalized);
}

void PrepDraw(IGraphics* pGraphics)
{
  if (pGraphics) Installed().prepDraw(pGraphics);
}

void SetAllControlsDirty(IGraphics* pGraphics)
{
  if (pGraphics) Installed().setAllControlsDirty(pGraphics);
}

int Width(IGraphics* pGraphics) { return pGraphics ? Installed().width(pGraphics) : 0; }

int Height(IGraphics* pGraphics) { return pGraphics ? Installed().height(pGraphics) : 0; }

void* OpenWindow(IGraphics* pGraphics, void* pParent)
{
  return pGraphics ? Installed().openWindow(pGraphics, pParent) : nullptr;
}

void CloseWindow(IGraphics* pGraphics)
{
  if (pGraphics) Installed().closeWindow(pGraphics);
}

void Idle(IGraphics* pGraphics)
{
  if (pGraphics) Installed().idle(pGraphics);
}

void Delete(IGraphics* pGraphics)
{
  if (pGraphics) Installed().destroy(pGraphics);
}

void SetScale(IGraphics* pGraphics, double factor)
{
  if (pGraphics) Installed().setScale(pGraphics, factor);
}

} // namespace IGraphicsLink
