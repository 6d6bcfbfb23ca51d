#include "IGraphicsOffscreen.h"

#include "IPlugBase.h"
#include "LicePng.h"

#include <cstdlib>

namespace {
void CollectItems(const IPopupMenu* menu, std::vector<std::string>& texts, std::vector<int>& flags)
{
  for (int i = 0; i < menu->NItems(); ++i) {
    const IPopupMenu::Item* item = menu->GetItemAtLevel(i);
    if (const IPopupMenu* sub = item->GetSubmenu()) {
      CollectItems(sub, texts, flags);
    } else {
      texts.push_back(item->GetText());
      flags.push_back(item->GetFlags());
    }
  }
}
} // namespace

IGraphicsOffscreen::IGraphicsOffscreen(IPlugBase* pPlug, int w, int h, int frameRate)
  : IGraphicsLice(pPlug, w, h, frameRate)
{
}

IGraphicsOffscreen::~IGraphicsOffscreen() { CloseWindow(); }

bool IGraphicsOffscreen::DrawScreen(const IRECT& r)
{
  mScreenUpdates.push_back(r);
  return true;
}

bool IGraphicsOffscreen::DrawIText(const IText& text, const char* str, const IRECT& r)
{
  if (!str || !*str) return true;
  mTexts.push_back(TextDraw{str, r, text.mColor});
  return RasterizeText(text, str, r);
}

// No native menu exists; the numbering is the one a native menu would get: the
// items without a sub-menu, depth-first, from idCounter on.
bool IGraphicsOffscreen::FillPopupMenu(void* pNativeMenu, int& idCounter, IPopupMenu* pMenu)
{
  if (!pMenu) return false;
  bool anyChecked = false;
  for (int i = 0; i < pMenu->NItems(); ++i) {
    const IPopupMenu::Item* item = pMenu->GetItemAtLevel(i);
    bool checked = item->GetChecked();
    if (IPopupMenu* sub = item->GetSubmenu()) {
      const bool subChecked = FillPopupMenu(pNativeMenu, idCounter, sub);
      if (subChecked && !item->HasFlag(IPopupMenu::Item::kNoParentCheck)) checked = true;
    } else {
      ++idCounter;
    }
    if (checked) anyChecked = true;
  }
  return anyChecked;
}

void IGraphicsOffscreen::Resize(int w, int h)
{
  IGraphics::Resize(w, h);
  ResizeSurface();
}

IGraphicsOffscreen::Prompt IGraphicsOffscreen::MakePopupRecord(Prompt::EKind kind, const IPlugParam* pParam,
                                                              IPopupMenu* pMenu) const
{
  Prompt rec;
  rec.mKind = kind;
  if (pParam) {
    char display[IPlugParam::MAX_PARAM_DISPLAY_LEN];
    pParam->FormatDisplay(display, pParam->Value(), false);
    rec.mText = display;
  }
  if (pMenu) CollectItems(pMenu, rec.mItems, rec.mItemFlags);
  return rec;
}

int IGraphicsOffscreen::NextPopupChoice()
{
  if (mPopupChoices.empty()) return -1;
  const int choice = mPopupChoices.front();
  mPopupChoices.pop_front();
  return choice;
}

void IGraphicsOffscreen::PromptUserInput(IControl* pControl, IPlugParam* pParam)
{
  if (!pControl || !pParam || mEditControl) return;

  if (IPopupMenu* menu = pControl->CreateParamPopup()) {
    Prompt rec = MakePopupRecord(Prompt::kPopup, pParam, menu);
    rec.mParamIdx = pControl->ParamIdx();
    int choice = NextPopupChoice();
    // A native menu offers neither separators nor disabled items.
    const IPopupMenu::Item* item = menu->GetItem(choice);
    if (!item || item->GetIsSeparator() || !item->GetEnabled()) choice = -1;
    rec.mChoice = choice;
    rec.mAnswered = choice >= 0;
    mPrompts.push_back(rec);
    if (choice >= 0) pControl->OnParamPopupChoice(menu, choice);
    pControl->FreeParamPopup(menu);
    return;
  }

  // The text-entry box: opened, then committed or cancelled at once.
  Prompt rec = MakePopupRecord(Prompt::kTextEntry, pParam, nullptr);
  rec.mParamIdx = pControl->ParamIdx();
  SetEditTarget(pControl, pParam);
  if (!mTextEntries.empty()) {
    rec.mAnswer = mTextEntries.front();
    rec.mAnswered = true;
    mTextEntries.pop_front();
  }
  mPrompts.push_back(rec);
  if (rec.mAnswered) {
    double v = 0.0;
    if (pParam->NDisplayTexts() > 0) {
      int iv = 0;
      if (pParam->MapDisplayText(rec.mAnswer.c_str(), &iv)) v = iv;
    } else {
      const char* text = rec.mAnswer.c_str();
      char* end = nullptr;
      v = std::strtod(text, &end);
      if (end == text) v = 0.0;
    }
    pControl->SetValueFromUserInput(NormalizePlain(pParam, v));
  }
  SetEditTarget(nullptr, nullptr);
}

void IGraphicsOffscreen::PromptForEnum(IControl* pControl, IPlugParam* pParam, int itemsPerColumn)
{
  if (!pControl || !pParam) return;
  IPopupMenu menu;
  FillEnumMenu(menu, pParam, itemsPerColumn);
  Prompt rec = MakePopupRecord(Prompt::kEnumPopup, pParam, &menu);
  rec.mParamIdx = pControl->ParamIdx();
  int choice = NextPopupChoice();
  if (choice >= pParam->NDisplayTexts()) choice = -1;
  rec.mChoice = choice < 0 ? -1 : choice;
  rec.mAnswered = choice >= 0;
  mPrompts.push_back(rec);
  if (choice < 0) return;
  CommitEnumChoice(pControl, pParam, choice);
}

void IGraphicsOffscreen::PromptForFile(std::string& path, int, const char* directory, const char*)
{
  path.clear();
  if (!mWindowOpen) return;
  Prompt rec;
  rec.mKind = Prompt::kFile;
  rec.mText = (directory && *directory) ? directory : mHostPath;
  if (!mFileChoices.empty()) {
    rec.mAnswer = mFileChoices.front();
    mFileChoices.pop_front();
    rec.mAnswered = !rec.mAnswer.empty();
  }
  mPrompts.push_back(rec);
  path = rec.mAnswer;
}

void IGraphicsOffscreen::ShowMessage(const char* text, const IRECT&)
{
  if (text && *text) mMessages.push_back(text);
}

bool IGraphicsOffscreen::PromptForColor(IColor& color, const char* prompt)
{
  if (!mWindowOpen) return false;
  Prompt rec;
  rec.mKind = Prompt::kColor;
  rec.mText = prompt ? prompt : "";
  if (!mColorChoices.empty()) {
    const IColor chosen = mColorChoices.front();
    mColorChoices.pop_front();
    color.R = chosen.R;
    color.G = chosen.G;
    color.B = chosen.B;
    rec.mAnswered = true;
  }
  mPrompts.push_back(rec);
  return rec.mAnswered;
}

bool IGraphicsOffscreen::OpenURL(const char* url, const char*, const char* confirmMessage, const char* errorMessage)
{
  Prompt rec;
  rec.mKind = Prompt::kURL;
  rec.mText = url ? url : "";
  if (confirmMessage) {
    mMessages.push_back(confirmMessage);
    if (!mConfirmYes) {
      mPrompts.push_back(rec);
      return false;
    }
  }
  if (mInternet && url && *url) {
    mURLs.push_back(url);
    rec.mAnswered = true;
    mPrompts.push_back(rec);
    return true;
  }
  if (errorMessage) mMessages.push_back(errorMessage);
  mPrompts.push_back(rec);
  return false;
}

void* IGraphicsOffscreen::OpenWindow(void*)
{
  if (mWindowOpen) CloseWindow();
  mWindowOpen = true;
  SetAllControlsDirty();
  return this;
}

void IGraphicsOffscreen::CloseWindow() { mWindowOpen = false; }

LICE_IBitmap* IGraphicsOffscreen::OSLoadBitmap(int id, const char* fileName)
{
  ++mImageLoads;
  if (mImageLoader) return mImageLoader(id, fileName);
  if (mImageFolder.empty() || !LICE_HasPNGExtension(fileName)) return nullptr;
  return LICE_LoadPNGFromFile((mImageFolder + "/" + fileName).c_str());
}

bool IGraphicsOffscreen::OnTimer()
{
  IRECT r;
  if (!IsDirty(r)) return false;
  Draw(r);
  return true;
}

void IGraphicsOffscreen::ClearRecords()
{
  mPrompts.clear();
  mScreenUpdates.clear();
  mTexts.clear();
  mMessages.clear();
  mURLs.clear();
}
