#pragma once
// The plug-in base's only way into the editor. IPlugBase knows IGraphics by a
// forward declaration, and the graphics layer sits above the base: the base
// calls through a table of functions that the graphics layer installs when its
// first editor is built (IGraphics' constructor), so an editor pointer is never
// non-null before the table is there. Each call is a no-op for a null editor.
//
// Thread: the caller's; the caller holds the plug-in mutex, except for Idle.
// Install may run on any thread; the table it installs never changes.

class IGraphics;

namespace IGraphicsLink {

struct Calls {
  void (*setParameterFromPlug)(IGraphics* pGraphics, int paramIdx, double value, bool normalized);
  void (*prepDraw)(IGraphics* pGraphics);
  void (*setAllControlsDirty)(IGraphics* pGraphics);
  int (*width)(IGraphics* pGraphics);
  int (*height)(IGraphics* pGraphics);
  void* (*openWindow)(IGraphics* pGraphics, void* pParent);
  void (*closeWindow)(IGraphics* pGraphics);
  void (*idle)(IGraphics* pGraphics);
  void (*destroy)(IGraphics* pGraphics);
  void (*setScale)(IGraphics* pGraphics, double factor);
};

// Called by the graphics layer; pCalls must live as long as the process.
void Install(const Calls* pCalls);

// Pushes a parameter value to the controls bound to paramIdx.
void SetParameterFromPlug(IGraphics* pGraphics, int paramIdx, double value, bool normalized);
// Lets the editor create its drawing surface.
void PrepDraw(IGraphics* pGraphics);
void SetAllControlsDirty(IGraphics* pGraphics);
// Editor window size in pixels (0 for no editor).
int Width(IGraphics* pGraphics);
int Height(IGraphics* pGraphics);
// Opens the editor window inside the host's parent window; its native handle
// (X11 window id, HWND), null when it did not open.
void* OpenWindow(IGraphics* pGraphics, void* pParent);
void CloseWindow(IGraphics* pGraphics);
// The host's idle call, passed on without the plug-in mutex: a popup menu's
// loop inside it must not hold up the audio thread.
void Idle(IGraphics* pGraphics);
void Delete(IGraphics* pGraphics);
// The host's scale factor for the editor (IGraphics::SetScale).
void SetScale(IGraphics* pGraphics, double factor);
} // namespace IGraphicsLink
