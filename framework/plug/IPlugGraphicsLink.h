#pragma once
// The plug-in base's only way into the editor. IPlugBase knows IGraphics by a
// forward declaration; these functions do the calls where the editor's class is
// complete (IPlugGraphicsLink.cpp), and each is a no-op for a null editor.
//
// Thread: the caller's; the caller holds the plug-in mutex, except for Idle.

class IGraphics;

namespace IGraphicsLink {
// Pushes a parameter value to the controls bound to paramIdx.
void SetParameterFromPlug(IGraphics* pGraphics, int paramIdx, double value, bool normalized);
// Lets the editor create its drawing surface.
void PrepDraw(IGraphics* pGraphics);
void SetAllControlsDirty(IGraphics* pGraphics);
// Editor size in pixels (0 for no editor).
int Width(IGraphics* pGraphics);
int Height(IGraphics* pGraphics);
// Opens the editor window inside the host's parent window; true when it opened.
bool OpenWindow(IGraphics* pGraphics, void* pParent);
void CloseWindow(IGraphics* pGraphics);
// The host's idle call, passed on without the plug-in mutex: a popup menu's
// loop inside it must not hold up the audio thread.
void Idle(IGraphics* pGraphics);
void Delete(IGraphics* pGraphics);
} // namespace IGraphicsLink
