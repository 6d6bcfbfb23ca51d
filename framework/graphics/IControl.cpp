#include "IControl.h"

#include "IGraphics.h"
#include "IPlugBase.h"
#include "IPopupMenu.h"

#include <cstring>

IControl::IControl(IPlugBase* pPlug, const IRECT& rect, int paramIdx, const IChannelBlend& blend)
  : mPlug(pPlug), mRECT(rect), mTargetRECT(rect), mParamIdx(paramIdx), mBlend(blend)
{
}

IControl::~IControl() = default;

void IControl::OnMouseDown(int, int, const IMouseMod& mod)
{
  if (mod.R) PromptUserInput();
}

void IControl::OnMouseUp(int, int, const IMouseMod&) {}

void IControl::OnMouseDrag(int, int, int, int, const IMouseMod&) {}

void IControl::OnMouseDblClick(int, int, const IMouseMod&)
{
  if (mDefaultValue < 0.0) return;
  mValue = mDefaultValue;
  SetDirty(true);
}

void IControl::OnMouseWheel(int, int, const IMouseMod& mod, int d)
{
  if (mod.S || mod.C)
    mValue += static_cast<double>(d) * 0.001;
  else
    mValue += static_cast<double>(d) * 0.01;
  SetDirty(true);
}

void IControl::OnKeyDown(int, int, int) {}

void IControl::OnMouseOver(int, int, const IMouseMod&) {}

void IControl::OnMouseOut() {}

// The first value the plug-in pushes (when the editor is attached) is the
// parameter's default. It becomes the control's value too: otherwise every
// control would show 0 until its parameter next changed. The control is not
// marked dirty by it; a new control is dirty anyway.
void IControl::SetValueFromPlug(double value)
{
  if (mDefaultValue < 0.0) {
    mDefaultValue = value;
    mValue = value;
    return;
  }
  if (value == mValue) return;
  mValue = value;
  SetDirty(false);
  mRedraw = true;
}

void IControl::Hide(bool hide)
{
  mHide = hide;
  mRedraw = true;
  SetDirty(false);
}

void IControl::GrayOut(bool gray)
{
  mGrayed = gray;
  mBlend.mWeight = gray ? 0.25f : 1.0f;
  SetDirty(false);
}

bool IControl::IsHit(int x, int y)
{
  if (mTargetRECT.Empty()) return false;
  return mTargetRECT.Contains(x, y);
}

void IControl::SetDirty(bool pushParamToPlug)
{
  // Written so that NaN also ends up inside the range.
  if (!(mValue >= mClampLo)) mValue = mClampLo;
  if (mValue > mClampHi) mValue = mClampHi;
  mDirty = true;
  SetChanged();
  if (pushParamToPlug && mParamIdx >= 0 && mPlug) mPlug->SetParameterFromGUI(mParamIdx, mValue);
}

void IControl::SetClean()
{
  mDirty = mRedraw;
  mRedraw = false;
}

bool IControl::IsDirty() { return mDirty; }

void IControl::SetToDefault()
{
  mValue = mDefaultValue;
  SetDirty(true);
  mRedraw = true;
}

// A menu of the parameter's display texts, for an enum or a bool parameter that
// has them (a parameter without texts gets the text-entry box instead). The
// current text is checked; the 25th, 49th, ... item starts a new column, so each
// column holds 24 items.
IPopupMenu* IControl::CreateParamPopup()
{
  const IPlugParam* param = GetParam();
  if (!param) return nullptr;
  const IPlugParam::EParamType type = param->Type();
  if (type != IPlugParam::kTypeEnum && type != IPlugParam::kTypeBool) return nullptr;
  const int n = param->NDisplayTexts();
  if (n <= 0) return nullptr;

  char current[IPlugParam::MAX_PARAM_DISPLAY_LEN];
  param->FormatDisplay(current, param->Value(), false);

  IPopupMenu* menu = new IPopupMenu();
  for (int i = 0; i < n; ++i) {
    const char* text = param->GetDisplayTextAtIdx(i);
    if (!text) text = "";
    int flags = IPopupMenu::Item::kNoFlags;
    if (std::strcmp(text, current) == 0) flags |= IPopupMenu::Item::kChecked;
    if (i > 0 && i % 24 == 0) flags |= IPopupMenu::Item::kBreak;
    menu->AddItem(text, -1, flags);
  }
  return menu;
}

void IControl::FreeParamPopup(IPopupMenu* pMenu) { delete pMenu; }

void IControl::OnParamPopupChoice(IPopupMenu*, int index)
{
  const IPlugParam* param = GetParam();
  if (!param || param->NDisplayTexts() <= 0) return;
  if (index < 0 || index >= param->NDisplayTexts()) return;
  double value = 0.0;
  const double range = param->GetMax() - param->GetMin();
  if (param->Type() != IPlugParam::kTypeDouble && range != 0.0)
    value = static_cast<double>(index) * param->GetStep() / range;
  if (value == mValue) return;
  mValue = value;
  SetDirty(true);
  mRedraw = true;
}

void IControl::SetValueFromUserInput(double value)
{
  if (value == mValue) return;
  mValue = value;
  SetDirty(true);
  mRedraw = true;
}

void IControl::PromptUserInput()
{
  if (mParamIdx < 0 || mDisablePrompt) return;
  IGraphics* gui = GetGUI();
  IPlugParam* param = GetParam();
  if (!gui || !param) return;
  gui->PromptShown();
  gui->PromptUserInput(this, param);
  mRedraw = true;
}

IGraphics* IControl::GetGUI() const
{
  if (mGraphics) return mGraphics;
  return mPlug ? mPlug->GetGraphics() : nullptr;
}

IPlugParam* IControl::GetParam() const
{
  if (mParamIdx < 0 || !mPlug) return nullptr;
  return mPlug->GetParam(mParamIdx);
}
