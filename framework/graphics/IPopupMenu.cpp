#include "IPopupMenu.h"

IPopupMenu::Item::Item(const char* text, int flags, IPopupMenu* pSubmenu, int tag)
  : mFlags(flags), mText(text ? text : ""), mSubmenu(pSubmenu), mTag(tag)
{
}

int IPopupMenu::Item::Count() const { return mSubmenu ? mSubmenu->NItemsTotal() : 1; }

IPopupMenu::~IPopupMenu()
{
  while (!mItems.empty()) mItems.pop_back();
}

IPopupMenu::Item* IPopupMenu::AddItem(Item* pItem, int index)
{
  if (!pItem) return nullptr;
  const int n = NItems();
  if (index == -1 || index > n) index = n;
  if (index < 0) index = 0;
  mItems.insert(mItems.begin() + index, std::unique_ptr<Item>(pItem));
  return pItem;
}

IPopupMenu::Item* IPopupMenu::AddItem(const char* text, int index, int flags)
{
  return AddItem(new Item(text, flags), index);
}

IPopupMenu::Item* IPopupMenu::AddItem(const char* text, IPopupMenu* pSubmenu, int index)
{
  return AddItem(new Item(text, Item::kNoFlags, pSubmenu), index);
}

IPopupMenu::Item* IPopupMenu::AddSeparator(int index)
{
  return AddItem(new Item("", Item::kSeparator), index);
}

IPopupMenu::Item* IPopupMenu::AddItemNoParentCheck(const char* text, int index)
{
  return AddItem(new Item(text, Item::kNoParentCheck), index);
}

IPopupMenu::Item* IPopupMenu::GetItemAtLevel(int i) const
{
  return (i >= 0 && i < NItems()) ? mItems[static_cast<size_t>(i)].get() : nullptr;
}

int IPopupMenu::NItemsTotal() const
{
  int total = 0;
  for (const auto& item : mItems) total += item->Count();
  return total;
}

IPopupMenu::Item* IPopupMenu::GetItemRec(int& n) const
{
  for (const auto& item : mItems) {
    if (IPopupMenu* sub = item->GetSubmenu()) {
      if (Item* found = sub->GetItemRec(n)) return found;
    } else if (n-- == 0) {
      return item.get();
    }
  }
  return nullptr;
}

IPopupMenu::Item* IPopupMenu::GetItem(int n) const
{
  if (n < 0) return nullptr;
  return GetItemRec(n);
}

IPopupMenu::Item* IPopupMenu::GetItemWithTag(int tag) const
{
  for (const auto& item : mItems) {
    if (item->GetTag() == tag) return item.get();
    if (IPopupMenu* sub = item->GetSubmenu()) {
      if (Item* found = sub->GetItemWithTag(tag)) return found;
    }
  }
  return nullptr;
}

bool IPopupMenu::SetItemChecked(int tag, bool checked)
{
  Item* item = GetItemWithTag(tag);
  if (!item) return false;
  item->SetFlag(Item::kChecked, checked);
  return true;
}

bool IPopupMenu::SetItemEnabled(int tag, bool enabled)
{
  Item* item = GetItemWithTag(tag);
  if (!item) return false;
  item->SetFlag(Item::kDisabled, !enabled);
  return true;
}

void IPopupMenu::CheckAllItems(bool checked)
{
  for (const auto& item : mItems) {
    item->SetFlag(Item::kChecked, checked);
    if (IPopupMenu* sub = item->GetSubmenu()) sub->CheckAllItems(checked);
  }
}

void IPopupMenu::EnableAllItems(bool enabled)
{
  for (const auto& item : mItems) {
    item->SetFlag(Item::kDisabled, !enabled);
    if (IPopupMenu* sub = item->GetSubmenu()) sub->EnableAllItems(enabled);
  }
}
