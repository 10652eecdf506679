// Published properties: enumeration names, property defaults, class tables, access by name,
// and the tables of TPersistent and TComponent.
#include "host/core/TypeInfo.h"

#include <algorithm>

namespace host {

// ---- TEnumInfo

TEnumInfo::TEnumInfo(std::initializer_list<const char*> names) {
  int64_t value = 0;
  for (const char* n : names) items_.push_back({n, value++});
}

TEnumInfo::TEnumInfo(std::initializer_list<Item> items) : items_(items) {}

const TEnumInfo::Item* TEnumInfo::FindName(std::string_view name) const {
  for (const Item& i : items_)
    if (SameText(i.name, name)) return &i;
  return nullptr;
}

const TEnumInfo::Item* TEnumInfo::FindValue(int64_t value) const {
  for (const Item& i : items_)
    if (i.value == value) return &i;
  return nullptr;
}

// ---- TPropInfo

bool TPropInfo::HasSetter() const {
  switch (kind) {
    case TTypeKind::Integer:
    case TTypeKind::Int64:
    case TTypeKind::Boolean:
    case TTypeKind::Enumeration:
    case TTypeKind::Set:
      return bool(setOrd);
    case TTypeKind::String:
      return bool(setStr);
    case TTypeKind::Float:
    case TTypeKind::DateTime:
      return bool(setFloat);
    case TTypeKind::Strings:
      return bool(setList);
    case TTypeKind::Class:
      return bool(getObject);
    case TTypeKind::Component:
      return bool(setComp);
    case TTypeKind::Event:
      return bool(setEvent);
    case TTypeKind::Collection:
      return bool(addItem);
  }
  return false;
}

bool TPropInfo::IsDefault(const TObject* object) const {
  switch (kind) {
    case TTypeKind::Integer:
    case TTypeKind::Int64:
    case TTypeKind::Boolean:
    case TTypeKind::Enumeration:
    case TTypeKind::Set:
      return getOrd(object) == defaultOrd;
    case TTypeKind::String:
      return getStr(object) == defaultStr;
    case TTypeKind::Float:
    case TTypeKind::DateTime:
      return getFloat(object) == defaultFloat;
    case TTypeKind::Strings:
      return getList(object).empty();
    case TTypeKind::Class:
      return false;  // its own properties decide
    case TTypeKind::Component:
      return getComp(object) == nullptr;
    case TTypeKind::Event:
      return !eventAssigned(object);
    case TTypeKind::Collection:
      return itemCount(object) == 0;
  }
  return true;
}

bool TPropInfo::ShouldStore(const TObject* object) const {
  if (stored == TStoredKind::Never) return false;
  if (storedIf && !storedIf(object)) return false;
  return stored == TStoredKind::Always || !IsDefault(object);
}

// ---- TClassInfo

TClassInfo::TClassInfo(String name, const TClassInfo* parent,
                       const std::function<void(TClassInfo&)>& fill)
    : name_(std::move(name)), parent_(parent) {
  if (parent_) props_ = parent_->props_;
  if (fill) fill(*this);
}

TPropInfo& TClassInfo::Add(TPropInfo info) {
  own_.push_back(std::move(info));
  const TPropInfo* added = &own_.back();
  // A redeclared property (new default, new accessors) takes its parent's place.
  auto it = std::find_if(props_.begin(), props_.end(),
                         [&](const TPropInfo* p) { return SameText(p->name, added->name); });
  if (it != props_.end())
    *it = added;
  else
    props_.push_back(added);
  return own_.back();
}

const TPropInfo* TClassInfo::FindProperty(std::string_view name) const {
  for (const TPropInfo* p : props_)
    if (SameText(p->name, name)) return p;
  return nullptr;
}

bool TClassInfo::InheritsFrom(const TClassInfo* other) const {
  for (const TClassInfo* c = this; c; c = c->parent_)
    if (c == other) return true;
  return false;
}

// ---- the root tables

const TClassInfo& TPersistent::StaticClassInfo() {
  static const TClassInfo info("TPersistent", nullptr, nullptr);
  return info;
}

const TClassInfo& TComponent::StaticClassInfo() {
  static const TClassInfo info("TComponent", &TPersistent::StaticClassInfo(), [](TClassInfo& i) {
    TPropertyTable<TComponent> p(i);
    p.Int64("Tag", &TComponent::Tag, &TComponent::SetTag, 0);
  });
  return info;
}

// ---- access by name

const TPropInfo* FindPropInfo(const TObject* object, std::string_view name) {
  const TClassInfo* info = object ? object->ClassInfo() : nullptr;
  return info ? info->FindProperty(name) : nullptr;
}

const TPropInfo& GetPropInfo(const TObject* object, std::string_view name) {
  if (const TPropInfo* p = FindPropInfo(object, name)) return *p;
  throw EPropertyError("Property " + String(name) + " does not exist" +
                       (object ? " in " + object->ClassName() : String()));
}

namespace {

const TPropInfo& PropOfKind(const TObject* object, std::string_view name, bool (*fits)(TTypeKind)) {
  const TPropInfo& p = GetPropInfo(object, name);
  if (!fits(p.kind)) throw EPropertyError("Property " + p.name + " is of another type");
  return p;
}

bool IsOrdinal(TTypeKind k) {
  return k == TTypeKind::Integer || k == TTypeKind::Int64 || k == TTypeKind::Boolean ||
         k == TTypeKind::Enumeration || k == TTypeKind::Set;
}
bool IsString(TTypeKind k) { return k == TTypeKind::String; }
bool IsFloat(TTypeKind k) { return k == TTypeKind::Float || k == TTypeKind::DateTime; }

void NeedSetter(const TPropInfo& p, bool has) {
  if (!has) throw EPropertyError("Property " + p.name + " is read-only");
}

}  // namespace

int64_t GetOrdProp(const TObject* object, std::string_view name) {
  return PropOfKind(object, name, IsOrdinal).getOrd(object);
}

void SetOrdProp(TObject* object, std::string_view name, int64_t value) {
  const TPropInfo& p = PropOfKind(object, name, IsOrdinal);
  NeedSetter(p, bool(p.setOrd));
  p.setOrd(object, value);
}

String GetStrProp(const TObject* object, std::string_view name) {
  return PropOfKind(object, name, IsString).getStr(object);
}

void SetStrProp(TObject* object, std::string_view name, const String& value) {
  const TPropInfo& p = PropOfKind(object, name, IsString);
  NeedSetter(p, bool(p.setStr));
  p.setStr(object, value);
}

double GetFloatProp(const TObject* object, std::string_view name) {
  return PropOfKind(object, name, IsFloat).getFloat(object);
}

void SetFloatProp(TObject* object, std::string_view name, double value) {
  const TPropInfo& p = PropOfKind(object, name, IsFloat);
  NeedSetter(p, bool(p.setFloat));
  p.setFloat(object, value);
}

}  // namespace host
