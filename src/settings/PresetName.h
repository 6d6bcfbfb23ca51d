#pragma once
// The name of the current preset: the full path of the file last read or
// written, and the name the editor shows for it (the file name without its
// folder and extension).
//
// Thread: the editor thread (preset menu commands) and the thread that builds
// the plug-in. Not touched by the audio thread. Lock: none of its own; the
// plug-in's preset operations own it.

#include <string>

class PresetName {
public:
  static const int MAX_NAME_LEN = 262;

  PresetName();
  PresetName(const PresetName&) = delete;
  PresetName& operator=(const PresetName&) = delete;

  // Keeps a copy of pPath and derives the display name from it: the part after
  // the last "/", ":" or "\\", cut at its last "." unless that dot is the
  // name's first character; at most MAX_NAME_LEN characters. A null path is
  // ignored; the very string already held (getPath()) changes nothing.
  void setPath(const char* pPath);

  // Null until a path was set.
  const char* getPath() const { return mHasPath ? mPath.c_str() : nullptr; }
  bool hasPath() const { return mHasPath; }
  // Empty until a path was set.
  const char* getName() const { return mName; }

private:
  bool mHasPath;
  std::string mPath;
  char mName[MAX_NAME_LEN + 1];
};
