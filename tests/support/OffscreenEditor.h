#pragma once
// The plug-in's editor off screen (IGraphicsOffscreen with the library's
// images), for tests that link the editor's layers. Header-only.

#include "IGraphicsOffscreen.h"
#include "LicePng.h"
#include "Tavrinel.h"

#include <thread>

inline IGraphicsOffscreen* NewEditorGraphics(IPlugBase* pPlug)
{
  auto* g = new IGraphicsOffscreen(pPlug, Tavrinel::GetEditorFactory().mWidth, Tavrinel::GetEditorFactory().mHeight);
  g->SetImageLoader([](int id, const char* name) -> LICE_IBitmap* { return LICE_LoadPNGFromResource(id, name); });
  return g;
}

// Builds the plug-in's editor off screen; the plug-in owns it from here.
inline IGraphicsOffscreen* BuildOffscreenEditor(Tavrinel& plug)
{
  IGraphicsOffscreen* g = NewEditorGraphics(&plug);
  plug.BuildEditor(g);
  return g;
}

// While alive, the editor a host's open builds is made off screen (no display
// needed). Counts those builds, and every build whose locks were not the
// editor mutex held and the plug-in mutex free (tried from another thread).
struct OffscreenEditorFactory {
  OffscreenEditorFactory() : mReal(Tavrinel::GetEditorFactory())
  {
    sActive = this;
    EditorFactory f = mReal;
    f.mBuild = [](Tavrinel& plug, IGraphics*& rpGraphics) {
      bool editorFree = false, plugFree = false;
      std::thread([&] {
        if ((editorFree = plug.GetEditorMutex().try_lock())) plug.GetEditorMutex().unlock();
        if ((plugFree = plug.GetMutex().try_lock())) plug.GetMutex().unlock();
      }).join();
      sActive->mWrongLocks += (editorFree || !plugFree) ? 1 : 0;
      if (!rpGraphics) {
        ++sActive->mBuilds;
        rpGraphics = sActive->mLast = NewEditorGraphics(&plug);
      }
      return sActive->mReal.mBuild(plug, rpGraphics);
    };
    Tavrinel::SetEditorFactory(f);
  }
  ~OffscreenEditorFactory() { Tavrinel::SetEditorFactory(mReal); }

  static inline OffscreenEditorFactory* sActive = nullptr;
  EditorFactory mReal;
  int mBuilds = 0, mWrongLocks = 0;
  IGraphicsOffscreen* mLast = nullptr;  // of the last build for a host
};
