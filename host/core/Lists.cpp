// TList, TObjectList and TInterfaceList.
#include "host/core/Lists.h"

#include <algorithm>
#include <utility>

namespace host {

namespace {

[[noreturn]] void IndexError(int index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace

// ---- TList

TList::~TList() { Clear(); }

void TList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
}

void TList::Notify(void*, TListNotification) {}

void TList::SetCount(int count) {
  if (count < 0) throw EListError("List count out of bounds (" + std::to_string(count) + ")");
  if (count >= Count()) {
    items_.resize(size_t(count), nullptr);
    return;
  }
  while (Count() > count) Delete(Count() - 1);
}

void TList::SetCapacity(int capacity) {
  if (capacity < Count())
    throw EListError("List capacity out of bounds (" + std::to_string(capacity) + ")");
  if (size_t(capacity) > items_.capacity())
    items_.reserve(size_t(capacity));
  else
    items_.shrink_to_fit();
}

void* TList::Items(int index) const {
  CheckIndex(index);
  return items_[size_t(index)];
}

void TList::SetItems(int index, void* item) {
  CheckIndex(index);
  void* old = std::exchange(items_[size_t(index)], item);
  if (old == item) return;
  if (old) Notify(old, lnDeleted);
  if (item) Notify(item, lnAdded);
}

int TList::Add(void* item) {
  const int index = Count();
  items_.push_back(item);
  if (item) Notify(item, lnAdded);
  return index;
}

void TList::Insert(int index, void* item) {
  if (index < 0 || index > Count()) IndexError(index);
  items_.insert(items_.begin() + index, item);
  if (item) Notify(item, lnAdded);
}

void TList::Delete(int index) {
  CheckIndex(index);
  void* item = items_[size_t(index)];
  items_.erase(items_.begin() + index);
  if (item) Notify(item, lnDeleted);
}

int TList::Remove(void* item) {
  const int index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

void* TList::Extract(void* item) {
  const int index = IndexOf(item);
  if (index < 0) return nullptr;
  items_.erase(items_.begin() + index);
  if (item) Notify(item, lnExtracted);
  return item;
}

void TList::Clear() {
  // From the end, so that each Notify sees the list without the item it is told about.
  while (!items_.empty()) Delete(Count() - 1);
  items_.shrink_to_fit();
}

int TList::IndexOf(const void* item) const {
  const auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : int(it - items_.begin());
}

void TList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(items_[size_t(index1)], items_[size_t(index2)]);
}

void TList::Move(int currentIndex, int newIndex) {
  CheckIndex(currentIndex);
  CheckIndex(newIndex);
  void* item = items_[size_t(currentIndex)];
  items_.erase(items_.begin() + currentIndex);
  items_.insert(items_.begin() + newIndex, item);
}

void TList::Pack() {
  items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end());
}

void TList::Sort(const TListSortCompare& compare) {
  std::stable_sort(items_.begin(), items_.end(),
                   [&](void* a, void* b) { return compare(a, b) < 0; });
}

// ---- TObjectList

TObjectList::~TObjectList() { Clear(); }

void TObjectList::Notify(void* item, TListNotification action) {
  if (ownsObjects_ && action == lnDeleted) delete static_cast<TObject*>(item);
  TList::Notify(item, action);
}

// ---- TInterfaceList

TInterfaceList::~TInterfaceList() { Clear(); }

void TInterfaceList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
}

IUnknown* TInterfaceList::Items(int index) const {
  CheckIndex(index);
  return items_[size_t(index)];
}

void TInterfaceList::SetItems(int index, IUnknown* item) {
  CheckIndex(index);
  if (item) item->AddRef();
  IUnknown* old = std::exchange(items_[size_t(index)], item);
  if (old) old->Release();
}

int TInterfaceList::Add(IUnknown* item) {
  const int index = Count();
  Insert(index, item);
  return index;
}

void TInterfaceList::Insert(int index, IUnknown* item) {
  if (index < 0 || index > Count()) IndexError(index);
  items_.insert(items_.begin() + index, item);
  if (item) item->AddRef();
}

void TInterfaceList::Delete(int index) {
  CheckIndex(index);
  IUnknown* item = items_[size_t(index)];
  items_.erase(items_.begin() + index);
  // Released after removal: the last release may run code that looks at this list.
  if (item) item->Release();
}

int TInterfaceList::Remove(IUnknown* item) {
  const int index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

void TInterfaceList::Clear() {
  std::vector<IUnknown*> items;
  items.swap(items_);
  for (IUnknown* item : items)
    if (item) item->Release();
}

int TInterfaceList::IndexOf(const IUnknown* item) const {
  const auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : int(it - items_.begin());
}

void TInterfaceList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(items_[size_t(index1)], items_[size_t(index2)]);
}

}  // namespace host
