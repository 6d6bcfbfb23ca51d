#pragma once
// The plug-in's installation settings (see Configurable.h), index = configIdx.
//
// The process's one pool lives in SharedSettings, which declares its settings
// and reads them when first asked:
//   add(); get(0)->setName("PresetFolder"); get(0)->setString(""); loadConfiguration(path);
// the preset tree is then built from get(0)->getString().
//
// Thread: whichever thread reads the file, with no other thread using the pool
// meanwhile (SharedSettings reads it once, under its own lock); afterwards
// read-only on any thread but the audio thread, which never touches it. Lock:
// none of its own.

#include "Configurable.h"

#include <vector>

// Growable array of owned configurables; deletes them last to first.
class ConfigurableList {
public:
  ConfigurableList() = default;
  ~ConfigurableList();
  ConfigurableList(const ConfigurableList&) = delete;
  ConfigurableList& operator=(const ConfigurableList&) = delete;

  int GetSize() const { return static_cast<int>(mItems.size()); }
  Configurable* Get(int idx) const { return mItems[static_cast<std::size_t>(idx)]; }
  void Add(Configurable* pItem) { mItems.push_back(pItem); }

private:
  std::vector<Configurable*> mItems;
};

class ConfigurablePool {
public:
  ConfigurablePool() = default;
  ConfigurablePool(const ConfigurablePool&) = delete;
  ConfigurablePool& operator=(const ConfigurablePool&) = delete;

  // Appends a configurable with no name and no value; returns its configIdx.
  int add();
  // configIdx must be in 0 .. getSize() - 1.
  Configurable* get(int configIdx) const;
  int getSize() const { return mConfigurables.GetSize(); }
  // The first configurable whose name equals pName exactly, or null.
  Configurable* findByName(const char* pName) const;

  // Reads "Tavrinel.ini" beside the plug-in's library file. Unknown names are
  // ignored; a name given twice keeps its last value. False when the file cannot
  // be opened (every configurable then keeps its value).
  bool loadConfiguration();
  // The same from the file at pPath (null or empty: false, nothing read).
  bool loadConfiguration(const char* pPath);
  // The same from a reader that is already open; closes it afterwards.
  void loadConfiguration(ConfigurationFileReader& reader);

private:
  ConfigurableList mConfigurables;
};
