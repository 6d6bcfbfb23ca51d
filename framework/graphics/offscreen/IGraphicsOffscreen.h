#pragma once
// An editor without a window: draws into its surface like the window-system
// class, and records what a window would have done (screen updates, texts,
// prompts, popup menus, dialogs) so that tests and tools can look at it. The
// answers a user would give (menu choices, typed text, file names, colours,
// confirmations) are scripted in advance; without a scripted answer a prompt is
// dismissed.
//
// Text is drawn with the bitmap layer's rasteriser where it has one (DrawIText
// returns false where it does not); every text drawn is also recorded.
//
// Images come from a loader function set by the user of the class, or else as
// PNG files from an image folder (the name passed to LoadIBitmap is taken
// relative to it).
//
// Thread: the GUI thread, like every IGraphics. No lock.

#include "IGraphicsLice.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class IGraphicsOffscreen : public IGraphicsLice {
public:
  // What a prompt showed and how it ended.
  struct Prompt {
    enum EKind { kPopup, kTextEntry, kEnumPopup, kFile, kColor, kURL };
    EKind mKind = kPopup;
    int mParamIdx = -1;
    std::string mText;                // display text of the value, file directory, colour prompt, or URL
    std::vector<std::string> mItems;  // popup item texts, depth-first
    std::vector<int> mItemFlags;      // their flags
    int mChoice = -1;                 // chosen item, -1 dismissed
    std::string mAnswer;              // typed text or chosen file; empty when cancelled
    bool mAnswered = false;
  };

  struct TextDraw {
    std::string mStr;
    IRECT mRect;
    IColor mColor;
  };

  using ImageLoader = std::function<LICE_IBitmap*(int id, const char* fileName)>;

  IGraphicsOffscreen(IPlugBase* pPlug, int w, int h, int frameRate = 0);
  ~IGraphicsOffscreen() override;

  // ---- the window-system operations ----
  bool DrawScreen(const IRECT& r) override;
  bool DrawIText(const IText& text, const char* str, const IRECT& r) override;
  bool FillPopupMenu(void* pNativeMenu, int& idCounter, IPopupMenu* pMenu) override;
  void Resize(int w, int h) override;
  void PromptUserInput(IControl* pControl, IPlugParam* pParam) override;
  void HostPath(std::string& path) override { path = mHostPath; }
  void PluginPath(std::string& path) override { path = mPluginPath; }
  void PromptForFile(std::string& path, int action = kFileOpen, const char* directory = nullptr,
                     const char* extension = nullptr) override;
  bool PromptForColor(IColor& color, const char* prompt = "") override;
  // Recorded with the other messages (MessagesShown).
  void ShowMessage(const char* text, const IRECT& r) override;
  bool OpenURL(const char* url, const char* caption = nullptr, const char* confirmMessage = nullptr,
               const char* errorMessage = nullptr) override;
  // A token standing for the window; marks every control dirty like a real one.
  void* OpenWindow(void* pParent) override;
  void CloseWindow() override;
  void* GetWindow() override { return mWindowOpen ? this : nullptr; }
  void PromptForEnum(IControl* pControl, IPlugParam* pParam, int itemsPerColumn) override;
  LICE_IBitmap* OSLoadBitmap(int id, const char* fileName) override;

  // One redraw-timer tick: the dirty check, then a draw pass over the dirty area.
  // True when something was drawn.
  bool OnTimer();

  // ---- scripting ----
  void SetImageLoader(ImageLoader loader) { mImageLoader = std::move(loader); }
  void SetImageFolder(const char* folder) { mImageFolder = folder ? folder : ""; }
  void QueuePopupChoice(int index) { mPopupChoices.push_back(index); }     // -1 dismisses
  void QueueTextEntry(const char* text) { mTextEntries.push_back(text ? text : ""); }
  void QueueFileChoice(const char* path) { mFileChoices.push_back(path ? path : ""); } // "" cancels
  void QueueColorChoice(const IColor& color) { mColorChoices.push_back(color); }
  void SetConfirmAnswer(bool yes) { mConfirmYes = yes; }
  void SetInternetAvailable(bool on) { mInternet = on; }
  void SetHostPath(const char* path) { mHostPath = path ? path : ""; }
  void SetPluginPath(const char* path) { mPluginPath = path ? path : ""; }

  // ---- records ----
  const std::vector<Prompt>& Prompts() const { return mPrompts; }
  const std::vector<IRECT>& ScreenUpdates() const { return mScreenUpdates; }
  const std::vector<TextDraw>& TextsDrawn() const { return mTexts; }
  const std::vector<std::string>& MessagesShown() const { return mMessages; }
  const std::vector<std::string>& URLsOpened() const { return mURLs; }
  int NImageLoads() const { return mImageLoads; }
  void ClearRecords();

private:
  Prompt MakePopupRecord(Prompt::EKind kind, const IPlugParam* pParam, IPopupMenu* pMenu) const;
  int NextPopupChoice();

  bool mWindowOpen = false;
  ImageLoader mImageLoader;
  std::string mImageFolder;
  std::deque<int> mPopupChoices;
  std::deque<std::string> mTextEntries;
  std::deque<std::string> mFileChoices;
  std::deque<IColor> mColorChoices;
  bool mConfirmYes = false;
  bool mInternet = true;
  std::string mHostPath, mPluginPath;

  std::vector<Prompt> mPrompts;
  std::vector<IRECT> mScreenUpdates;
  std::vector<TextDraw> mTexts;
  std::vector<std::string> mMessages;
  std::vector<std::string> mURLs;
  int mImageLoads = 0;
};
