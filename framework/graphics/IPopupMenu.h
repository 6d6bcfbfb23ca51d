#pragma once
// A menu description for popup menus: items with flags, texts, tags and owned
// sub-menus. The window layer turns it into a native menu; a choice comes back
// as an item's position in depth-first order (GetItem).
//
// Depth-first order counts the items that have no sub-menu: an item with a
// sub-menu stands for its sub-menu's items, not for itself. So with items A,
// B (sub-menu B1, B2), C the order is A, B1, B2, C, and the total count is 4.
//
// Thread: the GUI thread. No lock.

#include <memory>
#include <string>
#include <vector>

class IPopupMenu {
public:
  class Item {
  public:
    enum EFlags {
      kNoFlags = 0,
      kDisabled = 1,
      kNoParentCheck = 2, // not shown checked when an item of its sub-menu is checked
      kChecked = 4,
      kSeparator = 8,
      kBreak = 0x10, // starts a new column
      kHighlighted = 0x20,
    };

    // Takes ownership of pSubmenu.
    explicit Item(const char* text, int flags = kNoFlags, IPopupMenu* pSubmenu = nullptr, int tag = -1);
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    const char* GetText() const { return mText.c_str(); }
    void SetText(const char* text) { mText = text ? text : ""; }
    int GetFlags() const { return mFlags; }
    void SetFlags(int flags) { mFlags = flags; }
    bool HasFlag(int flag) const { return (mFlags & flag) != 0; }
    void SetFlag(int flag, bool on) { mFlags = on ? (mFlags | flag) : (mFlags & ~flag); }
    bool GetChecked() const { return HasFlag(kChecked); }
    bool GetEnabled() const { return !HasFlag(kDisabled); }
    bool GetIsSeparator() const { return HasFlag(kSeparator); }
    int GetTag() const { return mTag; }
    void SetTag(int tag) { mTag = tag; }
    IPopupMenu* GetSubmenu() const { return mSubmenu.get(); }
    // 1, or the total count of the sub-menu.
    int Count() const;

  private:
    int mFlags;
    std::string mText;
    std::unique_ptr<IPopupMenu> mSubmenu;
    int mTag;
  };

  IPopupMenu() = default;
  IPopupMenu(const IPopupMenu&) = delete;
  IPopupMenu& operator=(const IPopupMenu&) = delete;

  // Index -1 appends; any other index inserts there, clamped into 0..count. Each
  // returns the item now held by the menu (null for a null item).
  virtual Item* AddItem(Item* pItem, int index = -1);                            // takes ownership
  virtual Item* AddItem(const char* text, int index = -1, int flags = Item::kNoFlags);
  virtual Item* AddItem(const char* text, IPopupMenu* pSubmenu, int index = -1); // takes ownership
  virtual Item* AddSeparator(int index = -1);
  // An item with the kNoParentCheck flag.
  virtual Item* AddItemNoParentCheck(const char* text, int index = -1);
  virtual ~IPopupMenu();

  // Items at this level.
  int NItems() const { return static_cast<int>(mItems.size()); }
  Item* GetItemAtLevel(int i) const;
  // Items in depth-first order, counting those of sub-menus (see above).
  int NItemsTotal() const;
  // The n-th item in depth-first order; null outside 0..NItemsTotal()-1.
  Item* GetItem(int n) const;
  // Depth-first search by tag (an item before its sub-menu); null when unknown.
  Item* GetItemWithTag(int tag) const;
  // False when the tag is unknown.
  bool SetItemChecked(int tag, bool checked);
  bool SetItemEnabled(int tag, bool enabled);
  // Recursive through sub-menus.
  void CheckAllItems(bool checked);
  void EnableAllItems(bool enabled);

  // Free for the menu's user; -1 initially.
  int GetChosenItemIdx() const { return mChosenItemIdx; }
  void SetChosenItemIdx(int idx) { mChosenItemIdx = idx; }

private:
  Item* GetItemRec(int& n) const;

  int mChosenItemIdx = -1;
  std::vector<std::unique_ptr<Item>> mItems;
};
