#pragma once
// The preset name control: shows the current preset's name and, on a click,
// opens the preset menu: every file of the preset tree (a sub-menu per folder),
// then "Load ...", "Save", "Save As ..." and "Rescan".
//
// The menu is built on the first click and kept; "Save As ..." and "Rescan"
// (which replace the preset tree) make the next click build it again.
//
// Thread: the editor (GUI) thread. The preset operations it calls take the
// plug-in mutex themselves. The engine sets the text (SetTextFromPlug) after a
// preset read or write, on the same thread.

#include "IControls.h"

#include <memory>

class IPopupMenu;
class PresetFolder;
class Tavrinel;

// Bound to this unnamed parameter so that a click takes the menu path.
constexpr int PRESET_NAME_PARAM = 60;

// Tags of the fixed commands; file items carry the file's index (1 or more).
enum EPresetMenuTag {
  ePresetMenuLoad = -1,
  ePresetMenuSave = -2,
  ePresetMenuSaveAs = -3,
  ePresetMenuRescan = -4
};

class PresetNameControl : public ITextControl {
public:
  PresetNameControl(Tavrinel* pPlug, const IRECT& rect, const IText& text);
  ~PresetNameControl() override;

  // Any button opens the preset menu.
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  // A white outline, then the name.
  bool Draw(IGraphics* pGraphics) override;
  IPopupMenu* CreateParamPopup() override;
  void FreeParamPopup(IPopupMenu* pMenu) override;  // the kept menu is not freed
  void OnParamPopupChoice(IPopupMenu* pMenu, int index) override;

  bool NeedsRebuild() const { return mRebuild; }

  // Fills pMenu from a folder of the preset tree: its files, then a sub-menu
  // per sub-folder.
  static void FillFromFolder(IPopupMenu& menu, const PresetFolder& folder);

private:
  void SaveAs();

  Tavrinel* mpTavrinel;
  std::unique_ptr<IPopupMenu> mpMenu;
  bool mRebuild = true;
};
