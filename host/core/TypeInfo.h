// Published properties: the table of streamable properties each class declares.
//   TTypeKind, TStoredKind       what a property holds; when it is written to a form
//   TEnumInfo                    identifier names of an enumeration (also the members of a set)
//   TPropInfo                    one published property: name, kind, default, accessors
//   TClassInfo                   a class's name, parent and full property list
//   TPropertyTable<C>            the builder a class fills in its HOST_PROPERTIES body
//   HOST_CLASS, HOST_PROPERTIES  the two macros every published class uses
//   FindPropInfo, GetPropInfo, Get/Set{Ord,Str,Float}Prop   access by property name
//
// How a class publishes its properties
// ====================================
// In the header, HOST_CLASS(Class, Parent) goes first in the class body; it declares
// ClassName(), ClassInfo(), StaticClassInfo() and the private DeclareProperties hook, and leaves
// the section public. Enumerations name their identifiers once in a TEnumInfo (the ordinal of
// each name is its position, or give {name, value} pairs); a set is an unsigned integer whose bit
// n stands for the member of value n. A TEnumInfo lives as long as the program (a global, or a
// function-local static): class information refers to it instead of copying its names, so it does
// not matter whether the class information or the TEnumInfo is made first during start-up.
//
//   #include "host/core/TypeInfo.h"
//
//   enum TBlinkMode { bmOff, bmSlow, bmFast };
//   inline const host::TEnumInfo BlinkModeInfo{"bmOff", "bmSlow", "bmFast"};
//   enum TBlinkPart { bpCaption, bpBorder, bpIcon };
//   inline const host::TEnumInfo BlinkPartInfo{"bpCaption", "bpBorder", "bpIcon"};
//   using TBlinkParts = unsigned;  // set of TBlinkPart: bit n = member n
//
//   class TBlinker : public host::TComponent {
//     HOST_CLASS(TBlinker, host::TComponent)
//     explicit TBlinker(host::TComponent* owner = nullptr);  // the factory calls this
//     int Interval() const { return interval_; }
//     void SetInterval(int ms);
//     TBlinkMode Mode() const { return mode_; }
//     void SetMode(TBlinkMode mode);
//     const host::String& Caption() const { return caption_; }
//     void SetCaption(const host::String& caption);
//     TBlinker* Partner() const { return partner_; }
//     void SetPartner(TBlinker* partner);  // FreeNotification, cleared in Notification
//     TFont* Font() const;                 // an owned TPersistent published as "Font.Size = 9"
//     host::TStringList* Lines() const;    // an owned string list
//     host::String Version() const { return ClassName() + " V4.2"; }
//     host::TNotifyEvent OnBlink;
//    private:
//     int interval_ = 500;
//     TBlinkMode mode_ = bmSlow;
//     TBlinkParts parts_ = 1u << bpCaption;
//     bool autoStart_ = true;
//     host::String caption_;
//     TBlinker* partner_ = nullptr;
//   };
//
// In the source, HOST_PROPERTIES(Class) opens the body that fills the table through `p`, one
// line per property, in the order they are written to a form. Getters and setters are member
// functions, data members (a plain field serves as both) or lambdas taking `const Class*` /
// `(Class*, value)`; nullptr as the setter makes a property read-only. The last argument is the
// declared default: a value equal to it is not written. `.NoDefault()` writes the value always,
// `.NeverStored()` never, `.StoredIf(&Class::IsXStored)` asks the object.
//
//   HOST_PROPERTIES(TBlinker) {
//     p.Int("Interval", &TBlinker::Interval, &TBlinker::SetInterval, 500);
//     p.Bool("AutoStart", &TBlinker::autoStart_, &TBlinker::autoStart_, true);
//     p.Enum("Mode", BlinkModeInfo, &TBlinker::Mode, &TBlinker::SetMode, bmSlow);
//     p.Set("Parts", BlinkPartInfo, &TBlinker::parts_, &TBlinker::parts_, 1u << bpCaption);
//     p.Str("Caption", &TBlinker::Caption, &TBlinker::SetCaption);  // default ''
//     p.Component("Partner", &TBlinker::Partner, &TBlinker::SetPartner);
//     p.Object("Font", &TBlinker::Font);
//     p.Strings("Lines", &TBlinker::Lines);  // or (.., &TBlinker::Lines, &TBlinker::SetLines)
//     p.Collection("Columns", &TBlinker::Columns);  // items written as item ... end blocks
//     p.Str("Version", &TBlinker::Version, nullptr).NeverStored();
//     p.Event("OnBlink", &TBlinker::OnBlink);
//   }
//
// The other kinds: p.Int64, p.Float, p.DateTime (TDateTime, written as a number). A class with
// no new properties still writes `HOST_PROPERTIES(TClass) {}`. Redeclaring a parent's property by
// name (to change its default) replaces it in place. Component classes are made known to the
// form reader with host::RegisterComponentClass<TBlinker>() or host::RegisterComponents
// (host/core/Streaming.h).
// An event is a plain std::function member; the form remembers its handler by name
// (TComponent::EventName), and handlers are bound through host::EventHandlers(). Code that
// assigns a handler meant to be written to a form binds it with host::AssignEvent, so the name
// and the function stay together; a function assigned directly is called but not written.
#pragma once

#include "host/core/Classes.h"
#include "host/core/Raii.h"
#include "host/core/StringList.h"

#include <any>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

namespace host {

class EPropertyError : public Exception {
  using Exception::Exception;
};

enum class TTypeKind {
  Integer,      // int and smaller integers
  Int64,        // 64-bit integers
  Boolean,      // True / False
  Enumeration,  // an identifier of a TEnumInfo
  Set,          // [members, of, a, TEnumInfo]
  String,       // 'quoted UTF-8'
  Float,        // double
  DateTime,     // TDateTime, days since 1899-12-30
  Strings,      // ( 'string' 'list' )
  Class,        // an owned TPersistent whose properties are written as Sub.Prop
  Component,    // a reference to another component, by name
  Event,        // a std::function, by handler name
  Collection,   // < item Prop = value end item ... end >, the owned items' own properties
};

enum class TStoredKind {
  Default,  // written unless equal to the declared default
  Always,   // always written (no default)
  Never,    // never written (derived or read-only values)
};

// Identifier names of an enumeration, each with its value.
class TEnumInfo {
 public:
  struct Item {
    String name;
    int64_t value;
  };
  TEnumInfo(std::initializer_list<const char*> names);  // values 0, 1, 2, ...
  TEnumInfo(std::initializer_list<Item> items);

  const std::vector<Item>& Items() const { return items_; }
  const Item* FindName(std::string_view name) const;  // case-insensitive
  const Item* FindValue(int64_t value) const;

 private:
  std::vector<Item> items_;
};

inline const TEnumInfo AlignmentInfo{"taLeftJustify", "taRightJustify", "taCenter"};

// One published property with type-erased accessors; only those of its kind are set.
struct TPropInfo {
  String name;
  TTypeKind kind = TTypeKind::Integer;
  TStoredKind stored = TStoredKind::Default;
  std::function<bool(const TObject*)> storedIf;  // optional: asked before writing

  // Enumeration and Set (and named integers): the names, not owned (they live as long as the
  // program).
  std::shared_ptr<const TEnumInfo> enumInfo;
  int64_t defaultOrd = 0;                     // ordinal kinds; for Set the bit mask
  int64_t minOrd = std::numeric_limits<int64_t>::min(), maxOrd = std::numeric_limits<int64_t>::max();
  double defaultFloat = 0;
  String defaultStr;

  // Integer, Int64, Boolean, Enumeration, Set
  std::function<int64_t(const TObject*)> getOrd;
  std::function<void(TObject*, int64_t)> setOrd;
  // Float, DateTime
  std::function<double(const TObject*)> getFloat;
  std::function<void(TObject*, double)> setFloat;
  // String
  std::function<String(const TObject*)> getStr;
  std::function<void(TObject*, const String&)> setStr;
  // Strings
  std::function<std::vector<String>(const TObject*)> getList;
  std::function<void(TObject*, const std::vector<String>&)> setList;
  // Class: the sub-object itself (may be null)
  std::function<TPersistent*(TObject*)> getObject;
  // Component: setComp answers false when the component is of the wrong class
  std::function<TComponent*(const TObject*)> getComp;
  std::function<bool(TObject*, TComponent*)> setComp;
  // Event: setEvent(nullptr) clears; answers false when the handler has the wrong type
  std::function<bool(const TObject*)> eventAssigned;
  std::function<bool(TObject*, const std::any*)> setEvent;
  // Collection: how many items, one of them, emptying it and a new item at its end
  std::function<int(const TObject*)> itemCount;
  std::function<TPersistent*(TObject*, int)> getItem;
  std::function<void(TObject*)> clearItems;
  std::function<TPersistent*(TObject*)> addItem;

  bool HasSetter() const;
  // True when the current value equals the declared default (an empty list, a nil reference).
  bool IsDefault(const TObject* object) const;
  // True when the writer puts this property of `object` into a form.
  bool ShouldStore(const TObject* object) const;

  TPropInfo& NoDefault() {
    stored = TStoredKind::Always;
    return *this;
  }
  // Names some values of an integer property (colours, cursors): forms write and read the name.
  TPropInfo& Named(const TEnumInfo& names) {
    enumInfo = Refer(names);
    return *this;
  }
  // A non-owning handle on names that live as long as the program: their contents are read when a
  // form is read or written, not when the class information is made.
  static std::shared_ptr<const TEnumInfo> Refer(const TEnumInfo& names) {
    return std::shared_ptr<const TEnumInfo>(std::shared_ptr<const TEnumInfo>(), &names);
  }
  TPropInfo& NeverStored() {
    stored = TStoredKind::Never;
    return *this;
  }
  template <class C>
  TPropInfo& StoredIf(bool (C::*pred)() const) {
    storedIf = [pred](const TObject* o) { return (static_cast<const C*>(o)->*pred)(); };
    return *this;
  }
};

// A class's published properties, its own and its parents' (parents' first).
class TClassInfo {
 public:
  TClassInfo(String name, const TClassInfo* parent, const std::function<void(TClassInfo&)>& fill);
  TClassInfo(const TClassInfo&) = delete;
  TClassInfo& operator=(const TClassInfo&) = delete;

  const String& Name() const { return name_; }
  const TClassInfo* Parent() const { return parent_; }
  const std::vector<const TPropInfo*>& Properties() const { return props_; }
  const TPropInfo* FindProperty(std::string_view name) const;  // case-insensitive
  bool InheritsFrom(const TClassInfo* other) const;

  // Used by TPropertyTable while the table is being filled.
  TPropInfo& Add(TPropInfo info);

 private:
  String name_;
  const TClassInfo* parent_;
  std::deque<TPropInfo> own_;  // stable addresses
  std::vector<const TPropInfo*> props_;
};

namespace typeinfo_detail {

template <class T>
struct IsStdFunction : std::false_type {};
template <class Sig>
struct IsStdFunction<std::function<Sig>> : std::true_type {};

// The value type a setter takes.
template <class S, class = void>
struct SetterArg;
template <class R, class K, class A>
struct SetterArg<R (K::*)(A), void> {
  using type = std::remove_cvref_t<A>;
};
template <class R, class K, class A>
struct SetterArg<R (K::*)(A) noexcept, void> {
  using type = std::remove_cvref_t<A>;
};
template <class T, class K>
struct SetterArg<T K::*, std::enable_if_t<std::is_member_object_pointer_v<T K::*>>> {
  using type = T;
};
template <class R, class L, class O, class A>
struct SetterArg<R (L::*)(O, A) const, void> {
  using type = std::remove_cvref_t<A>;
};
template <class R, class L, class O, class A>
struct SetterArg<R (L::*)(O, A), void> {
  using type = std::remove_cvref_t<A>;
};
template <class L>
struct SetterArg<L, std::enable_if_t<std::is_class_v<L>>> : SetterArg<decltype(&L::operator())> {};

template <class C, class G>
decltype(auto) Get(const G& get, const TObject* object) {
  return std::invoke(get, static_cast<const C*>(object));
}

template <class C, class S, class V>
void Put(const S& set, TObject* object, V&& value) {
  C* c = static_cast<C*>(object);
  using A = typename SetterArg<S>::type;
  if constexpr (std::is_member_object_pointer_v<S>)
    c->*set = static_cast<A>(std::forward<V>(value));
  else
    std::invoke(set, c, static_cast<A>(std::forward<V>(value)));
}

template <class T>
auto* AsPointer(T&& value) {
  if constexpr (std::is_pointer_v<std::remove_cvref_t<T>>)
    return value;
  else
    return &value;
}

}  // namespace typeinfo_detail

// Fills a TClassInfo for class C; see the example at the top of this file.
template <class C>
class TPropertyTable {
 public:
  explicit TPropertyTable(TClassInfo& info) : info_(info) {}

  template <class G, class S>
  TPropInfo& Int(const char* name, G get, S set, int64_t def = 0) {
    return Ordinal(name, TTypeKind::Integer, nullptr, get, set, def);
  }
  template <class G, class S>
  TPropInfo& Int64(const char* name, G get, S set, int64_t def = 0) {
    return Ordinal(name, TTypeKind::Int64, nullptr, get, set, def);
  }
  template <class G, class S>
  TPropInfo& Bool(const char* name, G get, S set, bool def = false) {
    return Ordinal(name, TTypeKind::Boolean, nullptr, get, set, def ? 1 : 0);
  }
  template <class G, class S, class E>
  TPropInfo& Enum(const char* name, const TEnumInfo& names, G get, S set, E def) {
    return Ordinal(name, TTypeKind::Enumeration, &names, get, set, static_cast<int64_t>(def));
  }
  // A set of the members of `names`; the value is a mask, bit n = the member of value n.
  template <class G, class S>
  TPropInfo& Set(const char* name, const TEnumInfo& names, G get, S set, uint64_t def = 0) {
    return Ordinal(name, TTypeKind::Set, &names, get, set, static_cast<int64_t>(def));
  }

  template <class G, class S>
  TPropInfo& Str(const char* name, G get, S set, String def = String()) {
    TPropInfo info = Base(name, TTypeKind::String);
    info.defaultStr = std::move(def);
    info.getStr = [get](const TObject* o) { return String(typeinfo_detail::Get<C>(get, o)); };
    if constexpr (!std::is_null_pointer_v<S>)
      info.setStr = [set](TObject* o, const String& v) { typeinfo_detail::Put<C>(set, o, v); };
    return info_.Add(std::move(info));
  }

  template <class G, class S>
  TPropInfo& Float(const char* name, G get, S set, double def = 0) {
    return Floating(name, TTypeKind::Float, get, set, def);
  }
  template <class G, class S>
  TPropInfo& DateTime(const char* name, G get, S set, double def = 0) {
    return Floating(name, TTypeKind::DateTime, get, set, def);
  }

  // An owned string list (anything with Count, Strings(i), Clear and Add), read into in place.
  template <class G>
  TPropInfo& Strings(const char* name, G get) {
    TPropInfo info = Base(name, TTypeKind::Strings);
    info.getList = [get](const TObject* o) {
      std::vector<String> out;
      const auto* list = typeinfo_detail::AsPointer(typeinfo_detail::Get<C>(get, o));
      if (list)
        for (int i = 0; i < list->Count(); ++i) out.push_back(list->Strings(i));
      return out;
    };
    info.setList = [get](TObject* o, const std::vector<String>& lines) {
      auto* list = typeinfo_detail::AsPointer(std::invoke(get, static_cast<C*>(o)));
      if (!list) return;
      auto* target = const_cast<std::remove_const_t<std::remove_pointer_t<decltype(list)>>*>(list);
      if constexpr (requires { target->BeginUpdate(); }) target->BeginUpdate();
      auto endUpdate = ScopeExit([target] {
        if constexpr (requires { target->EndUpdate(); }) target->EndUpdate();
      });
      target->Clear();
      for (const String& s : lines) target->Add(s);
    };
    return info_.Add(std::move(info));
  }

  // As above, read through a setter that takes the new strings (`const TStrings*`).
  template <class G, class S>
  TPropInfo& Strings(const char* name, G get, S set) {
    TPropInfo& info = Strings(name, get);
    info.setList = [set](TObject* o, const std::vector<String>& lines) {
      TStringList list;
      for (const String& s : lines) list.Add(s);
      TStrings* strings = &list;
      typeinfo_detail::Put<C>(set, o, strings);
    };
    return info;
  }

  // An owned collection (anything with Count, Items(i), Add and Clear whose items publish their
  // properties): each item is written as an "item" block; reading replaces the items.
  template <class G>
  TPropInfo& Collection(const char* name, G get) {
    TPropInfo info = Base(name, TTypeKind::Collection);
    const auto of = [get](TObject* o) {
      return typeinfo_detail::AsPointer(std::invoke(get, static_cast<C*>(o)));
    };
    info.itemCount = [get](const TObject* o) -> int {
      const auto* items = typeinfo_detail::AsPointer(typeinfo_detail::Get<C>(get, o));
      return items ? items->Count() : 0;
    };
    info.getItem = [of](TObject* o, int index) -> TPersistent* { return of(o)->Items(index); };
    info.clearItems = [of](TObject* o) { of(o)->Clear(); };
    info.addItem = [of](TObject* o) -> TPersistent* { return of(o)->Add(); };
    return info_.Add(std::move(info));
  }

  // An owned TPersistent; its own published properties are written as Name.Prop.
  template <class G>
  TPropInfo& Object(const char* name, G get) {
    TPropInfo info = Base(name, TTypeKind::Class);
    info.getObject = [get](TObject* o) -> TPersistent* {
      auto* sub = typeinfo_detail::AsPointer(std::invoke(get, static_cast<C*>(o)));
      return const_cast<TPersistent*>(static_cast<const TPersistent*>(sub));
    };
    return info_.Add(std::move(info));
  }

  // A reference to another component; the reader checks its class against the setter's.
  template <class G, class S>
  TPropInfo& Component(const char* name, G get, S set) {
    TPropInfo info = Base(name, TTypeKind::Component);
    info.getComp = [get](const TObject* o) -> TComponent* {
      return const_cast<TComponent*>(
          static_cast<const TComponent*>(typeinfo_detail::Get<C>(get, o)));
    };
    if constexpr (!std::is_null_pointer_v<S>) {
      using A = typename typeinfo_detail::SetterArg<S>::type;
      static_assert(std::is_pointer_v<A>, "a component reference setter takes a pointer");
      info.setComp = [set](TObject* o, TComponent* c) {
        A typed = nullptr;
        if (c) {
          typed = dynamic_cast<A>(c);
          if (!typed) return false;
        }
        typeinfo_detail::Put<C>(set, o, typed);
        return true;
      };
    }
    return info_.Add(std::move(info));
  }

  // A std::function member of a component; handlers must be registered with the same type.
  template <class F>
  TPropInfo& Event(const char* name, F C::*member) {
    static_assert(typeinfo_detail::IsStdFunction<F>::value, "an event is a std::function");
    static_assert(std::is_base_of_v<TComponent, C>, "events are published by components");
    TPropInfo info = Base(name, TTypeKind::Event);
    info.eventAssigned = [member](const TObject* o) {
      return bool(static_cast<const C*>(o)->*member);
    };
    info.setEvent = [member](TObject* o, const std::any* handler) {
      C* c = static_cast<C*>(o);
      if (!handler) {
        c->*member = nullptr;
        return true;
      }
      const F* fn = std::any_cast<F>(handler);
      if (!fn) return false;
      c->*member = *fn;
      return true;
    };
    return info_.Add(std::move(info));
  }

 private:
  static TPropInfo Base(const char* name, TTypeKind kind) {
    TPropInfo info;
    info.name = name;
    info.kind = kind;
    return info;
  }

  template <class G, class S>
  TPropInfo& Ordinal(const char* name, TTypeKind kind, const TEnumInfo* names, G get, S set,
                     int64_t def) {
    TPropInfo info = Base(name, kind);
    if (names) info.enumInfo = TPropInfo::Refer(*names);
    info.defaultOrd = def;
    info.getOrd = [get](const TObject* o) {
      return static_cast<int64_t>(typeinfo_detail::Get<C>(get, o));
    };
    if constexpr (!std::is_null_pointer_v<S>) {
      using A = typename typeinfo_detail::SetterArg<S>::type;
      if constexpr (std::is_integral_v<A> && !std::is_same_v<A, bool>) {
        // The reader refuses values the setter's type cannot hold.
        info.minOrd = int64_t(std::numeric_limits<A>::min());
        info.maxOrd = std::numeric_limits<A>::max() > uint64_t(std::numeric_limits<int64_t>::max())
                          ? std::numeric_limits<int64_t>::max()
                          : int64_t(std::numeric_limits<A>::max());
      }
      info.setOrd = [set](TObject* o, int64_t v) { typeinfo_detail::Put<C>(set, o, v); };
    }
    return info_.Add(std::move(info));
  }

  template <class G, class S>
  TPropInfo& Floating(const char* name, TTypeKind kind, G get, S set, double def) {
    TPropInfo info = Base(name, kind);
    info.defaultFloat = def;
    info.getFloat = [get](const TObject* o) {
      return static_cast<double>(typeinfo_detail::Get<C>(get, o));
    };
    if constexpr (!std::is_null_pointer_v<S>)
      info.setFloat = [set](TObject* o, double v) { typeinfo_detail::Put<C>(set, o, v); };
    return info_.Add(std::move(info));
  }

  TClassInfo& info_;
};

// ---- access by name (raises EPropertyError for an unknown property or the wrong kind)

const TPropInfo* FindPropInfo(const TObject* object, std::string_view name);
const TPropInfo& GetPropInfo(const TObject* object, std::string_view name);
int64_t GetOrdProp(const TObject* object, std::string_view name);
void SetOrdProp(TObject* object, std::string_view name, int64_t value);
String GetStrProp(const TObject* object, std::string_view name);
void SetStrProp(TObject* object, std::string_view name, const String& value);
double GetFloatProp(const TObject* object, std::string_view name);
void SetFloatProp(TObject* object, std::string_view name, double value);

}  // namespace host

// First in the body of a published class: its name, class info and property hook.
#define HOST_CLASS(T, Parent)                                                           \
 public:                                                                                \
  using Inherited = Parent;                                                             \
  static const ::host::TClassInfo& StaticClassInfo();                                   \
  const ::host::TClassInfo* ClassInfo() const override { return &StaticClassInfo(); }   \
  ::host::String ClassName() const override { return #T; }                              \
                                                                                        \
 private:                                                                               \
  static void DeclareProperties(::host::TPropertyTable<T>& p);                          \
                                                                                        \
 public:

// In the class's source: opens the body that declares its properties through `p`.
#define HOST_PROPERTIES(T)                                                              \
  const ::host::TClassInfo& T::StaticClassInfo() {                                      \
    static const ::host::TClassInfo info(#T, &Inherited::StaticClassInfo(),            \
                                         [](::host::TClassInfo& i) {                    \
                                           ::host::TPropertyTable<T> table(i);          \
                                           DeclareProperties(table);                    \
                                         });                                            \
    return info;                                                                        \
  }                                                                                     \
  void T::DeclareProperties([[maybe_unused]] ::host::TPropertyTable<T>& p)
