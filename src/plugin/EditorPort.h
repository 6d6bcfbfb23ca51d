#pragma once
// What the plug-in knows of its editor: an object it owns and can tell to let
// go of its controls, made by a factory the editor's code registers at start-up
// (the plug-in never includes an editor or graphics header). Without a
// registered factory the plug-in simply has no editor.
//
// Threads: the factory runs on the thread that builds the plug-in (or calls
// BuildEditor), with the plug-in mutex held; Disconnect on the thread that
// replaces or closes the editor (the GUI thread), mutex held.

class IGraphics;
class ITextControl;
class Tavrinel;
class TavrinelEditor;

class EditorPort {
public:
  virtual ~EditorPort() = default;
  // The controls are about to go with their graphics object: empty every slot
  // that points at them.
  virtual void Disconnect() = 0;
  // The editor's own object, for the editor's code and tests.
  virtual TavrinelEditor* GetTavrinelEditor() = 0;
  // The preset name control the editor built (null: none).
  virtual ITextControl* GetPresetNameControl() = 0;
};

struct EditorFactory {
  // Builds the editor on rpGraphics (an empty 720 x 650 graphics object); a
  // null rpGraphics is replaced by the platform's own, which the caller then
  // attaches. Null when nothing could be built.
  EditorPort* (*mBuild)(Tavrinel& plug, IGraphics*& rpGraphics) = nullptr;
  // Shows a text on a text control (the preset name).
  void (*mShowText)(ITextControl* pControl, const char* text) = nullptr;
};
