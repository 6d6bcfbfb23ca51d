#include "PresetMenu.h"

#include "IGraphics.h"
#include "IPopupMenu.h"
#include "PresetText.h"
#include "PresetTree.h"
#include "Tavrinel.h"

#include <cstdio>
#include <string>

namespace {

// The dialogs' extension argument (without the dot).
constexpr const char* DIALOG_EXTENSION = "preset";

// Where the messages about preset files show: a strip above the preset name.
IRECT MessageRECT() { return IRECT(4, 497, 716, 515); }
constexpr const char* NO_DIALOG_LOAD_TEXT =
  "No file dialog program (zenity or kdialog) found: choose a preset from the preset menu.";
constexpr const char* NO_DIALOG_SAVE_TEXT = "No file dialog program (zenity or kdialog) found: type a name, then Return.";
constexpr const char* NO_FOLDER_TEXT = "No preset folder: set PresetFolder in Tavrinel.ini.";
constexpr const char* BAD_NAME_TEXT = "Not saved: a name must not be empty, start with a dot or hold a slash.";
constexpr const char* NAME_TAKEN_TEXT = "Not saved: a preset of that name exists.";
constexpr const char* NOT_WRITTEN_TEXT = "Not saved: the file could not be written.";

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
  if (IGraphics* pGraphics = GetGUI(); pGraphics && pGraphics->IsFileDialogOpen()) {
    mpMenu->SetItemEnabled(ePresetMenuLoad, false);
    mpMenu->SetItemEnabled(ePresetMenuSaveAs, false);
  }
  return mpMenu.get();
}

void PresetNameControl::FreeParamPopup(IPopupMenu* pMenu)
{
  if (pMenu != mpMenu.get()) ITextControl::FreeParamPopup(pMenu);
}

void PresetNameControl::Load()
{
  IGraphics* pGraphics = GetGUI();
  if (!pGraphics) return;
  Tavrinel* pPlug = mpTavrinel;
  const IGraphics::EDialogStart started = pGraphics->PromptForFileAsync(
    [pPlug](const std::string& path) {
      if (!path.empty()) pPlug->loadPresetFile(path.c_str());
    },
    IGraphics::kFileOpen, mpTavrinel->getPresetFolder(), DIALOG_EXTENSION);
  if (started == IGraphics::kDialogUnavailable) pGraphics->ShowMessage(NO_DIALOG_LOAD_TEXT, MessageRECT());
}

void PresetNameControl::SaveAs()
{
  mRebuild = true;
  IGraphics* pGraphics = GetGUI();
  if (!pGraphics) return;
  const IGraphics::EDialogStart started = pGraphics->PromptForFileAsync(
    [this](const std::string& path) { SaveTo(path); }, IGraphics::kFileSave, mpTavrinel->getPresetFolder(),
    DIALOG_EXTENSION);
  if (started != IGraphics::kDialogUnavailable) return;
  const std::string folder = mpTavrinel->getPresetFolder();
  if (folder.empty()) {
    pGraphics->ShowMessage(NO_FOLDER_TEXT, MessageRECT());
    return;
  }
  pGraphics->ShowMessage(NO_DIALOG_SAVE_TEXT, MessageRECT());
  pGraphics->PromptForText(this, mpTavrinel->getCurrentPreset().getName(),
                           [this, folder](const std::string& name) { SaveByName(folder, name); });
}

void PresetNameControl::SaveTo(const std::string& path)
{
  mpTavrinel->savePresetAs(path.c_str());
  mRebuild = true;
}

void PresetNameControl::SaveByName(const std::string& folder, const std::string& name)
{
  const std::string path = folder + (folder.back() == '/' || folder.back() == '\\' ? "" : "/") + name;
  const char* problem = nullptr;
  if (name.empty() || name[0] == '.' || name.find_first_of("/\\") != std::string::npos) {
    problem = BAD_NAME_TEXT;
  } else if (std::FILE* pFile = presetOpenFile(Tavrinel::presetPathForSave(path.c_str()).c_str(), false)) {
    std::fclose(pFile);
    problem = NAME_TAKEN_TEXT;
  } else if (!mpTavrinel->savePresetAs(path.c_str())) {
    problem = NOT_WRITTEN_TEXT;
  }
  mRebuild = true;
  if (IGraphics* pGraphics = GetGUI()) pGraphics->ShowMessage(problem, MessageRECT()); // none: the hint goes
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
  case ePresetMenuLoad:
    Load();
    return;
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
