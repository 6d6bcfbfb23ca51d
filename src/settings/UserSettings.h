#pragma once
// The user's own settings, kept in a small file in the user's configuration
// folder: $XDG_CONFIG_HOME/tavrinel/ (by default ~/.config/tavrinel/) on
// Linux, %APPDATA%\Tavrinel\ on Windows. They hold for every instance,
// project and installation of that user, and are not part of a song; the
// plug-in's own folder may not be writable. One setting per line, "name
// value" as in Tavrinel.ini; unknown names and values that do not read are
// passed over, so any bytes read as some settings or none.
//
//   EditorScale 1.5      the editor's size chosen in its size menu
//
// Thread: the editor thread (read when an editor is built, written when the
// user chooses). No lock: two instances choosing at once each write the file
// whole, the later one stays.

#include <cstddef>
#include <string>

class UserSettings {
public:
  // "settings.ini" in the user's configuration folder; empty when the folder
  // is unknown (no HOME, no APPDATA).
  static std::string defaultPath();

  // Settings of the file at path; nothing is read yet.
  explicit UserSettings(std::string path = defaultPath());

  // Reads the file; false (the settings unchanged) when it cannot be opened.
  bool load();
  // Reads settings from a text in memory.
  void parse(const char* pData, std::size_t size);
  // Writes the file, making its folder when missing; false when it cannot.
  bool save() const;

  // The editor's factor; 0 when none was chosen.
  double editorScale() const { return mEditorScale; }
  void setEditorScale(double factor) { mEditorScale = parseScale(factor); }

  // A factor as written: "1.5" or "150" or "150%" (a percentage from 25 up);
  // 0 for anything else or outside 0.5 .. 4.
  static double parseScale(const char* pText);
  static double parseScale(double factor);

private:
  std::string mPath;
  double mEditorScale = 0.0;
};

// Platform services (UserSettings_posix.cpp, UserSettings_win32.cpp).
// The user's configuration folder for the plug-in, without a trailing separator.
std::string userSettingsFolder();
// Makes the folder and its missing parents; false when it does not exist after.
bool userSettingsMakeFolder(const std::string& folder);
// Moves the file from over the file to (replacing it); false when it cannot.
bool userSettingsReplaceFile(const std::string& from, const std::string& to);
