#include "SizeMenu.h"

#include "IGraphics.h"
#include "IPopupMenu.h"
#include "UserSettings.h"

#include <cmath>
#include <cstdio>

LogoControl::LogoControl(IPlugBase* pPlug) : IControl(pPlug, IRECT(LEFT, TOP, RIGHT, BOTTOM)) {}

void LogoControl::OnMouseDown(int, int, const IMouseMod& mod)
{
  IGraphics* pGraphics = GetGUI();
  if (!mod.R || !pGraphics) return;
  pGraphics->PromptShown();
  pGraphics->PromptUserInput(this, &mMenuParam);
}

IPopupMenu* LogoControl::CreateParamPopup()
{
  IPopupMenu* pMenu = new IPopupMenu;
  const IGraphics* pGraphics = GetGUI();
  for (double factor : IGraphics::kScaleSteps) {
    char text[16];
    std::snprintf(text, sizeof text, "%d %%", static_cast<int>(std::lround(factor * 100.0)));
    const bool current = pGraphics && pGraphics->GetScale() == factor;
    pMenu->AddItem(text, -1, current ? IPopupMenu::Item::kChecked : IPopupMenu::Item::kNoFlags);
  }
  return pMenu;
}

void LogoControl::OnParamPopupChoice(IPopupMenu*, int index)
{
  IGraphics* pGraphics = GetGUI();
  if (!pGraphics || index < 0 || index >= IGraphics::kNumScaleSteps) return;
  const double factor = IGraphics::kScaleSteps[index];
  UserSettings settings;
  settings.load();
  settings.setEditorScale(factor);
  settings.save(); // a folder that cannot be written costs only the memory of the choice
  pGraphics->SetScaleFrom(IGraphics::kScaleFromUser, factor);
}

void LogoControl::ApplySavedScale(IGraphics* pGraphics, double iniDefault)
{
  UserSettings settings;
  settings.load();
  pGraphics->SetScaleFrom(IGraphics::kScaleFromDefault, iniDefault);
  pGraphics->SetScaleFrom(IGraphics::kScaleFromUser, settings.editorScale());
}
