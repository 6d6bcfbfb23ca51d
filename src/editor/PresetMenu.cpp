#include "PresetMenu.h"

#include "IGraphics.h"
#include "IPopupMenu.h"
#include "PresetTree.h"
#include "Tavrinel.h"

#include <string>

namespace {

// The dialogs' extension argument (without the dot).
constexpr const char* DIALOG_EXTENSION = "preset";

// The greyed line under a tree whose scan stopped at its bounds; its tag names no file.
constexpr const char* MORE_NOT_SHOWN_TEXT = "\xE2\x80\xA6 more not shown";
constexpr int MORE_NOT_SHOWN_TAG = 0;

} // namespace

PresetNameControl::PresetNameControl(Tavrinel* pPlug, const IRECT& rect, const IText& text)
  : ITextControl(pPlug, rect, text, "PRESET"), mpTavrinel(pPlug)
{
  mParamIdx = PRESET_NAME_PARAM;
}

PresetNameControl::~PresetNameControl() = default;

void PresetNameControl::OnMouseDown(int, int, const IMouseMod&)
{
  PromptUserInput();
}

bool PresetNameControl::Draw(IGraphics* pGraphics)
{
  pGraphics->DrawRect(IColor(255, 255, 255, 255), mRECT);
  return ITextControl::Draw(pGraphics);
}

void PresetNameControl::FillFromFolder(IPopupMenu& menu, const PresetFolder& folder)
{
  for (const PresetFile* pFile = folder.firstFile(); pFile; pFile = pFile->next())
    menu.AddItem(pFile->getDisplayName())->SetTag(pFile->getIndex());
  for (const PresetFolder* pSub = folder.firstFolder(); pSub; pSub = pSub->next()) {
    IPopupMenu* pSubmenu = new IPopupMenu;
    FillFromFolder(*pSubmenu, *pSub);
    menu.AddItem(pSub->getName(), pSubmenu);
  }
}

IPopupMenu* PresetNameControl::CreateParamPopup()
{
  if (!mpMenu || mRebuild) {
    mpMenu.reset(new IPopupMenu);
    if (const PresetFolder* pRoot = mpTavrinel ? mpTavrinel->getPresetTree() : nullptr) {
      FillFromFolder(*mpMenu, *pRoot);
      if (pRoot->isTruncated()) mpMenu->AddItem(MORE_NOT_SHOWN_TEXT)->SetTag(MORE_NOT_SHOWN_TAG);
    }
    mpMenu->AddSeparator();
    mpMenu->AddItem("Load ...")->SetTag(ePresetMenuLoad);
    mpMenu->AddSeparator();
    mpMenu->AddItem("Save")->SetTag(ePresetMenuSave);
    mpMenu->AddItem("Save As ...")->SetTag(ePresetMenuSaveAs);
    mpMenu->AddSeparator();
    mpMenu->AddItem("Rescan")->SetTag(ePresetMenuRescan);
    mRebuild = false;
  }
  mpMenu->CheckAllItems(false);
  mpMenu->EnableAllItems(true);
  mpMenu->SetItemEnabled(MORE_NOT_SHOWN_TAG, false);
  return mpMenu.get();
}

void PresetNameControl::FreeParamPopup(IPopupMenu* pMenu)
{
  if (pMenu != mpMenu.get()) ITextControl::FreeParamPopup(pMenu);
}

void PresetNameControl::SaveAs()
{
  IGraphics* pGraphics = GetGUI();
  if (pGraphics) {
    std::string path;
    pGraphics->PromptForFile(path, IGraphics::kFileSave, mpTavrinel->getPresetFolder(), DIALOG_EXTENSION);
    mpTavrinel->savePresetAs(path.c_str());
  }
  mRebuild = true;
}

void PresetNameControl::OnParamPopupChoice(IPopupMenu* pMenu, int index)
{
  const IPopupMenu::Item* pItem = pMenu ? pMenu->GetItem(index) : nullptr;
  if (!pItem || pItem->GetIsSeparator() || !mpTavrinel) return;
  const int tag = pItem->GetTag();
  if (tag >= 0) {
    mpTavrinel->loadPresetByIndex(tag);
    return;
  }
  switch (tag) {
  case ePresetMenuLoad: {
    IGraphics* pGraphics = GetGUI();
    if (!pGraphics) return;
    std::string path;
    pGraphics->PromptForFile(path, IGraphics::kFileOpen, mpTavrinel->getPresetFolder(), DIALOG_EXTENSION);
    if (!path.empty()) mpTavrinel->loadPresetFile(path.c_str());
    return;
  }
  case ePresetMenuSave:
    if (mpTavrinel->getCurrentPreset().hasPath()) {
      mpTavrinel->savePreset();
    } else {
      SaveAs();
    }
    return;
  case ePresetMenuSaveAs:
    SaveAs();
    return;
  case ePresetMenuRescan:
    mpTavrinel->rescanPresets();
    mRebuild = true;
    return;
  default:
    return;
  }
}
