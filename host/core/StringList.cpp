// TStrings and TStringList.
#include "host/core/StringList.h"

#include "host/core/Raii.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace host {

// ---- TStrings: access and operations

void TStrings::SetStrings(int index, const String& s) {
  TObject* object = Objects(index);
  UpdateGuard update(*this);
  Delete(index);
  InsertObject(index, s, object);
}

TObject* TStrings::Objects(int) const { return nullptr; }
void TStrings::SetObjects(int, TObject*) {}

int TStrings::Add(const String& s) {
  const int index = Count();
  Insert(index, s);
  return index;
}

int TStrings::AddObject(const String& s, TObject* object) {
  const int index = Add(s);
  SetObjects(index, object);
  return index;
}

void TStrings::AddStrings(const TStrings& strings) {
  UpdateGuard update(*this);
  for (int i = 0; i < strings.Count(); ++i) AddObject(strings.Strings(i), strings.Objects(i));
}

void TStrings::InsertObject(int index, const String& s, TObject* object) {
  Insert(index, s);
  SetObjects(index, object);
}

void TStrings::Exchange(int index1, int index2) {
  const String s1 = Strings(index1), s2 = Strings(index2);
  TObject* o1 = Objects(index1);
  TObject* o2 = Objects(index2);
  UpdateGuard update(*this);
  SetStrings(index1, s2);
  SetObjects(index1, o2);
  SetStrings(index2, s1);
  SetObjects(index2, o1);
}

void TStrings::Move(int currentIndex, int newIndex) {
  if (currentIndex == newIndex) return;
  const String s = Strings(currentIndex);
  TObject* object = Objects(currentIndex);
  UpdateGuard update(*this);
  SetObjects(currentIndex, nullptr);  // an owning list must not free it on Delete
  Delete(currentIndex);
  InsertObject(newIndex, s, object);
}

int TStrings::IndexOf(const String& s) const {
  for (int i = 0; i < Count(); ++i)
    if (CompareStrings(Strings(i), s) == 0) return i;
  return -1;
}

int TStrings::IndexOfObject(const TObject* object) const {
  for (int i = 0; i < Count(); ++i)
    if (Objects(i) == object) return i;
  return -1;
}

bool TStrings::Equals(const TStrings& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (Strings(i) != other.Strings(i)) return false;
  return true;
}

int TStrings::CompareStrings(const String& a, const String& b) const {
  return AnsiCompareText(a, b);
}

void TStrings::IndexError(int index) {
  throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

// ---- TStrings: Name=Value pairs

String TStrings::Names(int index) const {
  const String s = Strings(index);
  const size_t eq = s.find('=');
  return eq == String::npos ? String{} : s.substr(0, eq);
}

String TStrings::ValueFromIndex(int index) const {
  const String s = Strings(index);
  const size_t eq = s.find('=');
  return eq == String::npos ? String{} : s.substr(eq + 1);
}

int TStrings::IndexOfName(const String& name) const {
  for (int i = 0; i < Count(); ++i) {
    const String s = Strings(i);
    const size_t eq = s.find('=');
    if (eq != String::npos && CompareStrings(s.substr(0, eq), name) == 0) return i;
  }
  return -1;
}

String TStrings::Values(const String& name) const {
  const int i = IndexOfName(name);
  return i < 0 ? String{} : ValueFromIndex(i);
}

void TStrings::SetValues(const String& name, const String& value) {
  const int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
  } else if (i < 0) {
    Add(name + "=" + value);
  } else {
    SetStrings(i, name + "=" + value);
  }
}

// ---- TStrings: whole text

String TStrings::Text() const {
  String text;
  for (int i = 0; i < Count(); ++i) {
    text += Strings(i);
    text += "\r\n";
  }
  return text;
}

void TStrings::SetText(const String& text) {
  UpdateGuard update(*this);
  Clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == String::npos) end = text.size();
    Add(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
      ++end;
    start = end + 1;
  }
}

namespace {

bool IsBlankChar(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

String TStrings::CommaText() const {
  const int n = Count();
  if (n == 1 && Strings(0).empty()) return "\"\"";
  String text;
  for (int i = 0; i < n; ++i) {
    const String s = Strings(i);
    const bool quote = std::any_of(s.begin(), s.end(),
                                   [](char c) { return IsBlankChar(c) || c == ',' || c == '"'; });
    if (i > 0) text += ',';
    if (!quote) {
      text += s;
      continue;
    }
    text += '"';
    for (char c : s) {
      if (c == '"') text += '"';
      text += c;
    }
    text += '"';
  }
  return text;
}

void TStrings::SetCommaText(const String& text) {
  UpdateGuard update(*this);
  Clear();
  size_t p = 0;
  const size_t n = text.size();
  auto skipBlanks = [&] {
    while (p < n && IsBlankChar(text[p])) ++p;
  };
  skipBlanks();
  while (p < n) {
    String item;
    if (text[p] == '"') {
      // Quoted: up to the closing quote; a doubled quote is one quote.
      ++p;
      while (p < n) {
        if (text[p] == '"') {
          if (p + 1 < n && text[p + 1] == '"') {
            item += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += text[p++];
      }
    } else {
      const size_t start = p;
      while (p < n && !IsBlankChar(text[p]) && text[p] != ',') ++p;
      item = text.substr(start, p - start);
    }
    Add(item);
    skipBlanks();
    if (p < n && text[p] == ',') {
      ++p;
      if (p == n) Add(String{});  // a trailing comma ends an empty last item
      skipBlanks();
    }
  }
}

// ---- TStrings: updates and assignment

void TStrings::BeginUpdate() {
  if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

void TStrings::Assign(const TPersistent* source) {
  if (const auto* strings = dynamic_cast<const TStrings*>(source)) {
    if (strings == this) return;
    UpdateGuard update(*this);
    Clear();
    AddStrings(*strings);
    return;
  }
  TPersistent::Assign(source);
}

// ---- TStringList

TStringList::~TStringList() {
  if (!ownsObjects_) return;
  std::vector<Item> items;
  items.swap(items_);
  for (Item& item : items) delete item.object;
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
}

void TStringList::CheckUnsorted() const {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
}

String TStringList::Strings(int index) const {
  CheckIndex(index);
  return items_[size_t(index)].text;
}

void TStringList::SetStrings(int index, const String& s) {
  CheckUnsorted();
  CheckIndex(index);
  Changing();
  items_[size_t(index)].text = s;
  Changed();
}

TObject* TStringList::Objects(int index) const {
  CheckIndex(index);
  return items_[size_t(index)].object;
}

void TStringList::SetObjects(int index, TObject* object) {
  CheckIndex(index);
  Changing();
  TObject* old = std::exchange(items_[size_t(index)].object, object);
  if (ownsObjects_ && old != object) delete old;
  Changed();
}

int TStringList::Add(const String& s) { return AddObject(s, nullptr); }

int TStringList::AddObject(const String& s, TObject* object) {
  int index = Count();
  if (sorted_) {
    bool found;
    index = LowerBound(s, found);
    if (found) {
      if (duplicates_ == dupIgnore) return index;
      if (duplicates_ == dupError) throw EStringListError("Duplicates not allowed");
      index = UpperBound(s);
    }
  }
  InsertItem(index, s, object);
  return index;
}

void TStringList::Insert(int index, const String& s) { InsertObject(index, s, nullptr); }

void TStringList::InsertObject(int index, const String& s, TObject* object) {
  CheckUnsorted();
  if (index < 0 || index > Count()) IndexError(index);
  InsertItem(index, s, object);
}

void TStringList::InsertItem(int index, const String& s, TObject* object) {
  Changing();
  items_.insert(items_.begin() + index, Item{s, object});
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  Changing();
  TObject* object = items_[size_t(index)].object;
  items_.erase(items_.begin() + index);
  if (ownsObjects_) delete object;
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  std::vector<Item> items;
  items.swap(items_);
  if (ownsObjects_)
    for (Item& item : items) delete item.object;
  Changed();
}

void TStringList::Exchange(int index1, int index2) {
  CheckUnsorted();
  CheckIndex(index1);
  CheckIndex(index2);
  if (index1 == index2) return;
  Changing();
  std::swap(items_[size_t(index1)], items_[size_t(index2)]);
  Changed();
}

void TStringList::Move(int currentIndex, int newIndex) {
  CheckUnsorted();
  CheckIndex(currentIndex);
  CheckIndex(newIndex);
  if (currentIndex == newIndex) return;
  Changing();
  Item item = std::move(items_[size_t(currentIndex)]);
  items_.erase(items_.begin() + currentIndex);
  items_.insert(items_.begin() + newIndex, std::move(item));
  Changed();
}

int TStringList::CompareStrings(const String& a, const String& b) const {
  return caseSensitive_ ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

int TStringList::LowerBound(const String& s, bool& found) const {
  int lo = 0, hi = Count();
  found = false;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    const int c = CompareStrings(items_[size_t(mid)].text, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      if (c == 0) found = true;
      hi = mid;
    }
  }
  return lo;
}

int TStringList::UpperBound(const String& s) const {
  int lo = 0, hi = Count();
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (CompareStrings(items_[size_t(mid)].text, s) <= 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

bool TStringList::Find(const String& s, int& index) const {
  if (!sorted_) {
    index = TStrings::IndexOf(s);
    return index >= 0;
  }
  bool found;
  index = LowerBound(s, found);
  return found;
}

int TStringList::IndexOf(const String& s) const {
  if (!sorted_) return TStrings::IndexOf(s);
  int index;
  return Find(s, index) ? index : -1;
}

void TStringList::SortItems(const std::function<bool(int, int)>& less) {
  if (items_.size() < 2) return;
  std::vector<int> order(items_.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), less);
  Changing();
  std::vector<Item> sorted;
  sorted.reserve(items_.size());
  for (int i : order) sorted.push_back(std::move(items_[size_t(i)]));
  items_.swap(sorted);
  Changed();
}

void TStringList::Sort() {
  // Converted once, compared in the user's locale.
  std::vector<WideString> wide;
  wide.reserve(items_.size());
  for (const Item& item : items_) wide.push_back(ToWide(item.text));
  const DWORD flags = caseSensitive_ ? 0 : NORM_IGNORECASE;
  SortItems([&](int a, int b) {
    const WideString& wa = wide[size_t(a)];
    const WideString& wb = wide[size_t(b)];
    const int r = CompareStringEx(LOCALE_NAME_USER_DEFAULT, flags, wa.data(), int(wa.size()),
                                  wb.data(), int(wb.size()), nullptr, nullptr, 0);
    return r == CSTR_LESS_THAN;
  });
}

void TStringList::CustomSort(const TCompare& compare) {
  if (sorted_) return;
  SortItems([&](int a, int b) { return compare(*this, a, b) < 0; });
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
  if (caseSensitive == caseSensitive_) return;
  caseSensitive_ = caseSensitive;
  if (sorted_) Sort();
}

void TStringList::Changing() {
  if (UpdateCount() > 0) {
    changedPending_ = true;
    if (changingSent_) return;
    changingSent_ = true;
  }
  if (OnChanging) OnChanging(this);
}

void TStringList::Changed() {
  if (UpdateCount() > 0) return;
  if (OnChange) OnChange(this);
}

void TStringList::SetUpdateState(bool updating) {
  if (updating) {
    changingSent_ = changedPending_ = false;
    return;
  }
  const bool changed = changedPending_;
  changingSent_ = changedPending_ = false;
  if (changed && OnChange) OnChange(this);
}

}  // namespace host
