// Calls from the plug-in base into the editor, where the editor's class is
// complete. Every call is a no-op for a null editor.

#include "IPlugGraphicsLink.h"

#include "IGraphics.h"

namespace IGraphicsLink {

void SetParameterFromPlug(IGraphics* pGraphics, int paramIdx, double value, bool normalized)
{
  if (pGraphics) pGraphics->SetParameterFromPlug(paramIdx, value, normalized);
}

void PrepDraw(IGraphics* pGraphics)
{
  if (pGraphics) pGraphics->PrepDraw();
}

void SetAllControlsDirty(IGraphics* pGraphics)
{
  if (pGraphics) pGraphics->SetAllControlsDirty();
}

int Width(IGraphics* pGraphics) { return pGraphics ? pGraphics->Width() : 0; }

int Height(IGraphics* pGraphics) { return pGraphics ? pGraphics->Height() : 0; }

bool OpenWindow(IGraphics* pGraphics, void* pParent)
{
  return pGraphics && pGraphics->OpenWindow(pParent) != nullptr;
}

void CloseWindow(IGraphics* pGraphics)
{
  if (pGraphics) pGraphics->CloseWindow();
}

void Idle(IGraphics* pGraphics)
{
  if (pGraphics) pGraphics->OnIdle();
}

void Delete(IGraphics* pGraphics) { delete pGraphics; }

} // namespace IGraphicsLink
