#pragma once
// The preset name control: shows the current preset's name and, on a click,
// opens the preset menu: every file of the preset tree (a sub-menu per folder),
// then "Load ...", "Save", "Save As ..." and "Rescan".
//
// The menu is built on the first click and kept; "Save As ..." and "Rescan"
// (which replace the preset tree) make the next click build it again.
//
// "Load ..." and "Save As ..." ask through a file dialog that does not hold up
// the host: the file is read or written when its answer comes (while it is
// open the two items are disabled). Without a dialog program the editor says
// so: "Load ..." sends the user to this menu, "Save As ..." takes a name in
// the editor's entry box and saves into the preset folder (never over an
// existing file: the system dialogs ask first, this box cannot).
//
// Thread: the editor (GUI) thread, answers included. The preset operations it
// calls take the plug-in mutex themselves. The engine sets the text
// (SetTextFromPlug) after a preset read or write, on the same thread.

#include "IControls.h"

#include <memory>
#include <string>

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
  void Load();
  void SaveAs();
  // Writes the preset to the path a dialog answered (nothing when empty).
  void SaveTo(const std::string& path);
  // The name typed when there is no dialog: a file of the preset folder.
  void SaveByName(const std::string& folder, const std::string& name);

  Tavrinel* mpTavrinel;
  std::unique_ptr<IPopupMenu> mpMenu;
  bool mRebuild = true;
};
