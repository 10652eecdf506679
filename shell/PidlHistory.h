// The back/forward history of visited folders.
//   TPidlHistory   absolute item identifier lists owned by the history, with a current position
#pragma once

#include "host/core/Lists.h"
#include "shell/ShellWin32.h"

namespace zelnor {

// Entries are absolute lists from the task allocator; the history frees each one when it is
// deleted, cleared or destroyed. Moving the position never frees anything.
class TPidlHistory : public host::TList {
 public:
  TPidlHistory() = default;
  ~TPidlHistory() override;
  host::String ClassName() const override { return "TPidlHistory"; }

  // Takes ownership of `list` (nil does nothing): the entries after the current one are freed,
  // `list` is appended and becomes current.
  virtual void Add(PItemIDList list);
  // Frees the list at `index` and removes the entry.
  virtual void Delete(int index);
  // Moves forward by up to `count` entries, stopping at the last one.
  virtual void MoveForward(int count);
  // Moves back by up to `count` entries, stopping at the first one.
  virtual void MoveBack(int count);

  // The current list, borrowed (the history keeps it); nil for an empty history or a position
  // outside the entries.
  PItemIDList GetCurrentItemIDList() const;
  PItemIDList Items(int index) const { return static_cast<PItemIDList>(TList::Items(index)); }
  int Position() const { return position_; }
  // Sets the position without any check.
  void SetPosition(int index) { position_ = index; }

 protected:
  void Notify(void* item, host::TListNotification action) override;

 private:
  int position_ = 0;
};

}  // namespace zelnor
