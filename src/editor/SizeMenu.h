#pragma once
// The name plate of the editor, and behind a right-click on it the size
// menu: "100 %" to "200 %", the current size checked. The choice is the
// user's (IGraphics::kScaleFromUser) and is kept in the user's settings
// (UserSettings), so that every editor opened later, in any instance or
// project, has that size; an editor's size is the user's saved choice, else
// Tavrinel.ini's EditorScale, else what the host or the screen says.
//
// Thread: the GUI thread.

#include "IControl.h"
#include "IPlugParam.h"

class IGraphics;

class LogoControl : public IControl {
public:
  // Where the name plate is drawn on the background.
  static constexpr int LEFT = 236, TOP = 56, RIGHT = 376, BOTTOM = 84;

  explicit LogoControl(IPlugBase* pPlug);
  // The right button opens the size menu.
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  // Nothing: the plate is part of the background.
  bool Draw(IGraphics*) override { return true; }
  IPopupMenu* CreateParamPopup() override;
  void OnParamPopupChoice(IPopupMenu* pMenu, int index) override;

  // The user's saved size and Tavrinel.ini's default, handed to a new editor.
  static void ApplySavedScale(IGraphics* pGraphics, double iniDefault);

private:
  IPlugParam mMenuParam;  // the prompt's subject; no parameter of the plug-in
};
