#include "shell/PidlHistory.h"

#include <algorithm>

namespace zelnor {

TPidlHistory::~TPidlHistory() { Clear(); }  // the base destructor cannot reach Notify

void TPidlHistory::Notify(void* item, host::TListNotification action) {
  if (action == host::lnDeleted) CoTaskMemFree(item);
  TList::Notify(item, action);
}

void TPidlHistory::Add(PItemIDList list) {
  if (!list) return;
  while (Count() > position_ + 1 && Count() > 0) Delete(Count() - 1);
  TList::Add(list);
  position_ = Count() - 1;
}

void TPidlHistory::Delete(int index) { TList::Delete(index); }

void TPidlHistory::MoveForward(int count) {
  if (count <= 0 || Count() == 0) return;
  position_ = std::min(position_ + count, Count() - 1);
}

void TPidlHistory::MoveBack(int count) {
  if (count <= 0) return;
  position_ = std::max(position_ - count, 0);
}

PItemIDList TPidlHistory::GetCurrentItemIDList() const {
  if (position_ < 0 || position_ >= Count()) return nullptr;
  return Items(position_);
}

}  // namespace zelnor
