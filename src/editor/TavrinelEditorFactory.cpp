// The editor's side of the plug-in's EditorPort: registers at start-up how the
// plug-in's editor is made (the platform's graphics object unless one is given),
// its size, and how the preset name is shown.

#include "EditorPort.h"
#include "IControls.h"
#include "IGraphicsPlatform.h"
#include "PresetMenu.h"
#include "Tavrinel.h"
#include "TavrinelEditor.h"

#include <memory>

namespace {

class TavrinelEditorPort : public EditorPort {
public:
  explicit TavrinelEditorPort(Tavrinel& plug) : mEditor(&plug) {}
  void Connect() override { mEditor.Connect(); }
  void Disconnect() override { mEditor.Disconnect(); }
  TavrinelEditor* GetTavrinelEditor() override { return &mEditor; }
  ITextControl* GetPresetNameControl() override { return mEditor.GetPresetNameControl(); }

  TavrinelEditor mEditor;
};

EditorPort* BuildEditor(Tavrinel& plug, IGraphics*& rpGraphics)
{
  if (!rpGraphics) rpGraphics = CreatePlatformGraphics(&plug, TavrinelEditor::WIDTH, TavrinelEditor::HEIGHT, 0);
  if (!rpGraphics) return nullptr;
  std::unique_ptr<TavrinelEditorPort> pPort(new TavrinelEditorPort(plug));
  pPort->mEditor.Build(rpGraphics);
  return pPort.release();
}

void ShowText(ITextControl* pControl, const char* text)
{
  if (pControl) pControl->SetTextFromPlug(text);
}

const bool registered =
  (Tavrinel::SetEditorFactory(EditorFactory{&BuildEditor, &ShowText, TavrinelEditor::WIDTH, TavrinelEditor::HEIGHT}),
   true);

} // namespace
