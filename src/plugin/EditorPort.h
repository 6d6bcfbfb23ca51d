#pragma once
// What the plug-in knows of its editor: an object it owns and can tell to
// connect its controls to the pattern grid or to let go of them, made by a
// factory the editor's code registers at start-up (the plug-in never includes
// an editor or graphics header). Without a registered factory the plug-in
// simply has no editor.
//
// Threads: the factory runs on the thread that builds the editor (the host's
// GUI thread when it opens the editor, or a caller of BuildEditor) with the
// editor mutex held and the plug-in mutex free: it reads only what never
// changes after the plug-in's construction. Connect and Disconnect run on
// that thread with both mutexes held.

class IGraphics;
class ITextControl;
class Tavrinel;
class TavrinelEditor;

class EditorPort {
public:
  virtual ~EditorPort() = default;
  // Points the grid's control slots (TavrinelGui) at the built controls.
  virtual void Connect() = 0;
  // The controls are about to go with their graphics object: empty every slot
  // that points at them.
  virtual void Disconnect() = 0;
  // The editor's own object, for the editor's code and tests.
  virtual TavrinelEditor* GetTavrinelEditor() = 0;
  // The preset name control the editor built (null: none).
  virtual ITextControl* GetPresetNameControl() = 0;
};

struct EditorFactory {
  // Builds the editor on rpGraphics (an empty graphics object of mWidth x
  // mHeight); a null rpGraphics is replaced by the platform's own, which the
  // caller then attaches. Null when nothing could be built.
  EditorPort* (*mBuild)(Tavrinel& plug, IGraphics*& rpGraphics) = nullptr;
  // Shows a text on a text control (the preset name).
  void (*mShowText)(ITextControl* pControl, const char* text) = nullptr;
  // The editor's size, told to the host before any editor is built.
  int mWidth = 0;
  int mHeight = 0;
};
