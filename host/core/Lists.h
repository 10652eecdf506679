// Ordered lists of pointers.
//   TList            void* items with the Notify hook (added, extracted, deleted)
//   TObjectList      TObject* items, deleted by the list while OwnsObjects is set
//   TInterfaceList   IUnknown* items holding one reference each
//   EListError       bad index
#pragma once

#include "host/core/Classes.h"

#include <unknwn.h>

#include <functional>
#include <vector>

namespace host {

class EListError : public Exception {
  using Exception::Exception;
};

enum TListNotification { lnAdded, lnExtracted, lnDeleted };

class TList : public TObject {
 public:
  // Negative when a goes before b.
  using TListSortCompare = std::function<int(void* a, void* b)>;

  TList() = default;
  // Clears the list, but a destructor cannot reach a derived class's Notify: a class whose
  // Notify frees items calls Clear() in its own destructor.
  ~TList() override;
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;

  String ClassName() const override { return "TList"; }

  // ---- Attributes
  int Count() const { return int(items_.size()); }
  // Growing adds nil items; shrinking deletes from the end.
  void SetCount(int count);
  int Capacity() const { return int(items_.capacity()); }
  void SetCapacity(int capacity);
  void* Items(int index) const;
  // Replaces an item: the old one is deleted, the new one added (as Notify sees it).
  void SetItems(int index, void* item);
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }
  const std::vector<void*>& List() const { return items_; }

  // ---- Operations
  int Add(void* item);
  void Insert(int index, void* item);
  void Delete(int index);
  // Deletes the first occurrence of `item`; its former index or -1.
  int Remove(void* item);
  // Takes the first occurrence of `item` out without deleting it (lnExtracted); nil if absent.
  void* Extract(void* item);
  void Clear();
  int IndexOf(const void* item) const;
  void Exchange(int index1, int index2);
  void Move(int currentIndex, int newIndex);
  void Pack();                                 // removes nil items
  void Sort(const TListSortCompare& compare);  // stable

 protected:
  // Told about every non-nil item that joins or leaves the list (after the list has changed).
  virtual void Notify(void* item, TListNotification action);
  void CheckIndex(int index) const;

 private:
  std::vector<void*> items_;
};

class TObjectList : public TList {
 public:
  explicit TObjectList(bool ownsObjects = true) : ownsObjects_(ownsObjects) {}
  ~TObjectList() override;

  String ClassName() const override { return "TObjectList"; }

  bool OwnsObjects() const { return ownsObjects_; }
  void SetOwnsObjects(bool owns) { ownsObjects_ = owns; }

  TObject* Items(int index) const { return static_cast<TObject*>(TList::Items(index)); }
  void SetItems(int index, TObject* object) { TList::SetItems(index, object); }
  TObject* First() const { return static_cast<TObject*>(TList::First()); }
  TObject* Last() const { return static_cast<TObject*>(TList::Last()); }
  int Add(TObject* object) { return TList::Add(object); }
  void Insert(int index, TObject* object) { TList::Insert(index, object); }
  int Remove(TObject* object) { return TList::Remove(object); }
  TObject* Extract(TObject* object) { return static_cast<TObject*>(TList::Extract(object)); }
  int IndexOf(const TObject* object) const { return TList::IndexOf(object); }

 protected:
  // Deletes a deleted object while OwnsObjects is set.
  void Notify(void* item, TListNotification action) override;

 private:
  bool ownsObjects_;
};

class TInterfaceList : public TObject {
 public:
  TInterfaceList() = default;
  ~TInterfaceList() override;  // releases every item
  TInterfaceList(const TInterfaceList&) = delete;
  TInterfaceList& operator=(const TInterfaceList&) = delete;

  String ClassName() const override { return "TInterfaceList"; }

  int Count() const { return int(items_.size()); }
  // The item at `index`, borrowed: the list keeps its reference.
  IUnknown* Items(int index) const;
  // Stores `item` (AddRef) in place of the one there (Release).
  void SetItems(int index, IUnknown* item);
  IUnknown* First() const { return Items(0); }
  IUnknown* Last() const { return Items(Count() - 1); }

  int Add(IUnknown* item);  // AddRef; nil is stored as nil
  void Insert(int index, IUnknown* item);
  void Delete(int index);  // Release
  int Remove(IUnknown* item);
  void Clear();
  // The index of this very pointer (not of another interface of the same object); -1.
  int IndexOf(const IUnknown* item) const;
  void Exchange(int index1, int index2);

 private:
  void CheckIndex(int index) const;
  std::vector<IUnknown*> items_;
};

}  // namespace host
