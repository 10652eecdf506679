// Lists of strings with an object each.
//   TStrings          abstract list: access, Text, CommaText, Name=Value pairs, update brackets
//   TStringList       the concrete list: sorting, duplicate rule, case sensitivity, change events,
//                     owned objects
//   EStringListError  bad index, duplicates not allowed, operation not allowed on a sorted list
#pragma once

#include "host/core/Classes.h"

#include <functional>
#include <vector>

namespace host {

class EStringListError : public Exception {
  using Exception::Exception;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStrings : public TPersistent {
 public:
  String ClassName() const override { return "TStrings"; }

  // ---- Access
  virtual int Count() const = 0;
  virtual String Strings(int index) const = 0;
  // Replaces the string at `index`, keeping its object.
  virtual void SetStrings(int index, const String& s);
  virtual TObject* Objects(int index) const;
  virtual void SetObjects(int index, TObject* object);
  String operator[](int index) const { return Strings(index); }

  // ---- Operations
  virtual int Add(const String& s);
  virtual int AddObject(const String& s, TObject* object);
  void AddStrings(const TStrings& strings);
  virtual void Insert(int index, const String& s) = 0;
  virtual void InsertObject(int index, const String& s, TObject* object);
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  virtual void Exchange(int index1, int index2);
  virtual void Move(int currentIndex, int newIndex);
  // Index of the first string equal to `s` (case-insensitive unless the list says otherwise); -1.
  virtual int IndexOf(const String& s) const;
  int IndexOfObject(const TObject* object) const;
  bool Equals(const TStrings& other) const;  // same strings in the same order

  // ---- Name=Value pairs
  String Names(int index) const;  // the text before the first "=", or "" when there is none
  String ValueFromIndex(int index) const;
  int IndexOfName(const String& name) const;
  String Values(const String& name) const;
  // Sets the value of `name`; an empty value deletes the pair.
  void SetValues(const String& name, const String& value);

  // ---- Whole text
  // Every string followed by CRLF. SetText splits on CRLF, LF or CR; a final break adds no string.
  String Text() const;
  void SetText(const String& text);
  // Strings separated by commas; a string that is empty (as the only one) or holds blanks, commas
  // or double quotes is written in double quotes with inner quotes doubled.
  String CommaText() const;
  // Parses the form above; unquoted items also end at blanks.
  void SetCommaText(const String& text);

  // ---- Updates
  // Brackets a batch of changes: change notifications are held back until the outermost
  // EndUpdate (see TStringList).
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  // Copies strings and objects of another TStrings. The objects are shared, not copied: do not
  // let two lists that both own their objects hold the same ones.
  void Assign(const TPersistent* source) override;

 protected:
  // Called when the outermost BeginUpdate starts (true) or EndUpdate ends (false).
  virtual void SetUpdateState(bool updating);
  // The comparison IndexOf uses: locale-aware, ignoring case.
  virtual int CompareStrings(const String& a, const String& b) const;
  [[noreturn]] static void IndexError(int index);

 private:
  int updateCount_ = 0;
};

class TStringList : public TStrings {
 public:
  using TCompare = std::function<int(const TStringList& list, int index1, int index2)>;

  explicit TStringList(bool ownsObjects = false) : ownsObjects_(ownsObjects) {}
  ~TStringList() override;
  TStringList(const TStringList&) = delete;
  TStringList& operator=(const TStringList&) = delete;

  String ClassName() const override { return "TStringList"; }

  // ---- TStrings
  int Count() const override { return int(items_.size()); }
  String Strings(int index) const override;
  void SetStrings(int index, const String& s) override;  // not allowed when sorted
  TObject* Objects(int index) const override;
  // With OwnsObjects, a replaced object is freed.
  void SetObjects(int index, TObject* object) override;
  // Sorted: placed in order; an equal string is ignored (dupIgnore: the index of the one already
  // there is returned and the new object stays the caller's), raises (dupError) or is added after
  // its equals (dupAccept). Unsorted lists always append.
  int Add(const String& s) override;
  int AddObject(const String& s, TObject* object) override;
  void Insert(int index, const String& s) override;  // not allowed when sorted
  void InsertObject(int index, const String& s, TObject* object) override;
  void Delete(int index) override;
  void Clear() override;
  void Exchange(int index1, int index2) override;      // not allowed when sorted
  void Move(int currentIndex, int newIndex) override;  // not allowed when sorted
  int IndexOf(const String& s) const override;         // binary search when sorted

  // ---- Sorting and lookup
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }
  // Off by default: comparisons ignore case. Changing it re-sorts a sorted list.
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool caseSensitive);
  // Binary search of a sorted list: true when found; `index` is then the first equal string,
  // otherwise where `s` would be inserted. On an unsorted list this is a linear IndexOf.
  bool Find(const String& s, int& index) const;
  void Sort();
  // Sorts an unsorted list by `compare` (which sees the list in its current order); a sorted
  // list keeps its order.
  void CustomSort(const TCompare& compare);

  // Objects are deleted with their strings (Delete, Clear, destruction, replacement).
  bool OwnsObjects() const { return ownsObjects_; }
  void SetOwnsObjects(bool owns) { ownsObjects_ = owns; }

  // OnChanging fires before a change, OnChange after it. Inside BeginUpdate/EndUpdate each fires
  // at most once: OnChanging before the first change, OnChange at the outermost EndUpdate, and
  // neither when nothing changed.
  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  virtual void Changing();
  virtual void Changed();
  void SetUpdateState(bool updating) override;
  int CompareStrings(const String& a, const String& b) const override;

 private:
  struct Item {
    String text;
    TObject* object;
  };
  void CheckIndex(int index) const;
  void CheckUnsorted() const;
  void InsertItem(int index, const String& s, TObject* object);
  // Lower bound of `s` in a sorted list; `found` tells whether the string there is equal.
  int LowerBound(const String& s, bool& found) const;
  int UpperBound(const String& s) const;
  void SortItems(const std::function<bool(int, int)>& less);

  std::vector<Item> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  bool ownsObjects_;
  TDuplicates duplicates_ = dupIgnore;
  bool changingSent_ = false;  // OnChanging already sent inside the current update
  bool changedPending_ = false;
};

}  // namespace host
