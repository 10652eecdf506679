// Form streaming: registries, the text writer, the reader of form texts (over the tokenizer of
// FormLexer.h), and the streaming hooks of TComponent.
#include "host/core/Streaming.h"

#include "host/core/FormLexer.h"
#include "host/core/Raii.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace host {

EReadError::EReadError(int line, const String& message)
    : EFilerError("Line " + std::to_string(line) + ": " + message), line_(line) {}

// ---- class registry and palette

namespace {

struct Registry {
  std::vector<TComponentClass> classes;
  std::vector<TPalettePage> pages;
};

Registry& TheRegistry() {
  static Registry r;
  return r;
}

}  // namespace

void RegisterComponentClass(const TComponentClass& cls) {
  if (!cls.info) throw EFilerError("Cannot register a class without class information");
  auto& classes = TheRegistry().classes;
  for (TComponentClass& c : classes) {
    if (!SameText(c.Name(), cls.Name())) continue;
    if (c.info != cls.info)
      throw EFilerError("A class named " + cls.Name() + " has already been registered");
    c.factory = cls.factory;
    return;
  }
  classes.push_back(cls);
}

void RegisterClasses(std::initializer_list<TComponentClass> classes) {
  for (const TComponentClass& c : classes) RegisterComponentClass(c);
}

void UnRegisterClass(std::string_view name) {
  auto& classes = TheRegistry().classes;
  classes.erase(std::remove_if(classes.begin(), classes.end(),
                               [&](const TComponentClass& c) { return SameText(c.Name(), name); }),
                classes.end());
}

const TComponentClass* GetClass(std::string_view name) {
  for (const TComponentClass& c : TheRegistry().classes)
    if (SameText(c.Name(), name)) return &c;
  return nullptr;
}

const TComponentClass& FindClass(std::string_view name) {
  if (const TComponentClass* c = GetClass(name)) return *c;
  throw EClassNotFound("Class " + String(name) + " not found");
}

void RegisterComponents(const String& page, std::initializer_list<TComponentClass> classes) {
  auto& pages = TheRegistry().pages;
  auto it = std::find_if(pages.begin(), pages.end(),
                         [&](const TPalettePage& p) { return SameText(p.name, page); });
  if (it == pages.end()) it = pages.insert(pages.end(), TPalettePage{page, {}});
  for (const TComponentClass& c : classes) {
    RegisterComponentClass(c);
    if (std::none_of(it->classes.begin(), it->classes.end(),
                     [&](const String& n) { return SameText(n, c.Name()); }))
      it->classes.push_back(c.Name());
  }
}

std::vector<TPalettePage> Palette() { return TheRegistry().pages; }

std::vector<String> PaletteClasses(const String& page) {
  for (const TPalettePage& p : TheRegistry().pages)
    if (SameText(p.name, page)) return p.classes;
  return {};
}

// ---- event handlers

const std::any* TEventHandlers::Find(const String& name) const {
  auto it = handlers_.find(name);
  return it == handlers_.end() ? nullptr : &it->second;
}

TEventHandlers& EventHandlers() {
  static TEventHandlers handlers;
  return handlers;
}

void AssignEvent(TComponent* component, const String& event, const String& handler,
                 const TEventHandlers& handlers) {
  const TPropInfo& p = GetPropInfo(component, event);
  if (p.kind != TTypeKind::Event) throw EPropertyError("Property " + p.name + " is not an event");
  if (handler.empty()) {
    p.setEvent(component, nullptr);
    component->SetEventName(p.name, {});
    return;
  }
  const std::any* fn = handlers.Find(handler);
  if (!fn) throw EPropertyError("Event handler " + handler + " not found");
  if (!p.setEvent(component, fn))
    throw EPropertyError("Event handler " + handler + " does not fit event " + p.name);
  component->SetEventName(p.name, handler);
}

// ---- values in form syntax

String QuotedFormString(std::string_view text) {
  String out;
  bool quoted = false;
  for (char ch : text) {
    const auto u = static_cast<unsigned char>(ch);
    if (u < 0x20 || u == 0x7F) {
      if (quoted) out += '\'';
      quoted = false;
      out += '#';
      out += std::to_string(u);
      continue;
    }
    if (!quoted) out += '\'';
    quoted = true;
    if (ch == '\'') out += '\'';
    out += ch;
  }
  if (quoted) out += '\'';
  if (out.empty()) out = "''";
  return out;
}

namespace {

String FormatFloat(double value) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return String(buf, res.ptr);
}

String OrdinalText(const TPropInfo& p, int64_t value) {
  switch (p.kind) {
    case TTypeKind::Integer:
      // An integer with named values (colours, cursors) is written by name where it has one.
      if (p.enumInfo)
        if (const TEnumInfo::Item* item = p.enumInfo->FindValue(value)) return item->name;
      return std::to_string(value);
    case TTypeKind::Boolean:
      return value ? "True" : "False";
    case TTypeKind::Enumeration: {
      const TEnumInfo::Item* item = p.enumInfo->FindValue(value);
      if (!item)
        throw EWriteError("Value " + std::to_string(value) + " of " + p.name + " has no name");
      return item->name;
    }
    case TTypeKind::Set: {
      String out = "[";
      uint64_t rest = uint64_t(value);
      for (const TEnumInfo::Item& item : p.enumInfo->Items()) {
        if (item.value < 0 || item.value > 63) continue;
        const uint64_t bit = uint64_t(1) << item.value;
        if (!(rest & bit)) continue;
        rest &= ~bit;
        if (out.size() > 1) out += ", ";
        out += item.name;
      }
      if (rest) throw EWriteError("Set " + p.name + " holds members without a name");
      return out + "]";
    }
    default:
      return std::to_string(value);
  }
}

}  // namespace

// ---- TWriter

void TWriter::Line(const String& line) {
  text_.append(size_t(indent_) * 2, ' ');
  text_ += line;
  text_ += "\r\n";
}

void TWriter::WriteComponent(TComponent* component) {
  Line("object " + component->Name() + ": " + component->ClassName());
  ++indent_;
  {
    component->SetWritingState(true);
    auto done = ScopeExit([component] { component->SetWritingState(false); });
    component->WriteState(*this);
  }
  --indent_;
  Line("end");
}

void TWriter::WriteProperties(TObject* object) { WriteProperties(object, {}, 0); }

void TWriter::WriteValue(const String& name, const String& value) { Line(name + " = " + value); }

void TWriter::WriteProperties(TObject* object, const String& prefix, int depth) {
  const TClassInfo* info = object ? object->ClassInfo() : nullptr;
  if (!info || depth > 16) return;
  for (const TPropInfo* p : info->Properties()) {
    const String name = prefix + p->name;
    if (p->kind == TTypeKind::Class) {
      if (p->stored == TStoredKind::Never || (p->storedIf && !p->storedIf(object))) continue;
      WriteProperties(p->getObject(object), name + ".", depth + 1);
      continue;
    }
    if (!p->ShouldStore(object)) continue;
    switch (p->kind) {
      case TTypeKind::Integer:
      case TTypeKind::Int64:
      case TTypeKind::Boolean:
      case TTypeKind::Enumeration:
      case TTypeKind::Set:
        WriteValue(name, OrdinalText(*p, p->getOrd(object)));
        break;
      case TTypeKind::String:
        WriteValue(name, QuotedFormString(p->getStr(object)));
        break;
      case TTypeKind::Float:
      case TTypeKind::DateTime:
        WriteValue(name, FormatFloat(p->getFloat(object)));
        break;
      case TTypeKind::Strings: {
        String value = "(";
        for (const String& s : p->getList(object)) {
          value += ' ';  // appended piecewise: "x" + string trips GCC 12's -Wrestrict at -O2
          value += QuotedFormString(s);
        }
        WriteValue(name, value + " )");
        break;
      }
      case TTypeKind::Component: {
        TComponent* target = p->getComp(object);
        if (!target) {
          WriteValue(name, "nil");
        } else if (!target->Name().empty() &&
                   (target == root_ || target->Owner() == root_)) {
          WriteValue(name, target->Name());
        }
        // A reference outside the form, or to an unnamed component, cannot be read back.
        break;
      }
      case TTypeKind::Event: {
        auto* component = dynamic_cast<TComponent*>(object);
        const String handler = component ? component->EventName(p->name) : String();
        if (!handler.empty()) WriteValue(name, handler);
        break;
      }
      case TTypeKind::Collection: {
        // The last item's "end" closes the list: "end>".
        const int count = p->itemCount(object);
        Line(name + " = <");
        ++indent_;
        for (int i = 0; i < count; ++i) {
          Line("item");
          ++indent_;
          WriteProperties(p->getItem(object, i), {}, depth + 1);
          --indent_;
          Line(i + 1 < count ? "end" : "end>");
        }
        --indent_;
        break;
      }
      case TTypeKind::Class:
        break;
    }
  }
}

// ---- TComponent streaming hooks

void TComponent::WriteState(TWriter& writer) {
  writer.WriteProperties(this);
  GetChildren([&](TComponent* child) { writer.WriteComponent(child); }, writer.Root());
}

void TComponent::ReadState(TReader& reader) { reader.ReadData(this); }

// ---- TReader

using detail::Describe;
using detail::Lexer;
using detail::Tok;
using detail::Token;

// The property a component's Loaded is applying now, while the reader runs it: set by
// TLoadingProperty, kept while an error unwinds so the reader can name its line.
namespace {
thread_local LoadingScope* currentLoading = nullptr;
}  // namespace

struct LoadingScope {
  LoadingScope() : outer(std::exchange(currentLoading, this)) {}
  ~LoadingScope() { currentLoading = outer; }
  LoadingScope(const LoadingScope&) = delete;
  LoadingScope& operator=(const LoadingScope&) = delete;
  LoadingScope* outer;
  String property;
};

TLoadingProperty::TLoadingProperty(const String& name)
    : scope_(currentLoading),
      previous_(scope_ ? scope_->property : String()),
      exceptions_(std::uncaught_exceptions()) {
  if (scope_) scope_->property = name;
}

TLoadingProperty::~TLoadingProperty() {
  // An error on its way out leaves the name for the reader.
  if (scope_ && std::uncaught_exceptions() == exceptions_) scope_->property = previous_;
}

struct TReader::Impl {
  Impl(const String& text, const TEventHandlers& h) : lexer(text), handlers(h) { Advance(); }

  struct Fixup {
    TObject* object;
    const TPropInfo* prop;
    String name;
    int line;
  };

  Lexer lexer;
  const TEventHandlers& handlers;
  Token tok;
  TComponent* root = nullptr;
  bool createdRoot = false;
  std::vector<TComponent*> created;  // nested components this read made, in order
  std::vector<TComponent*> loaded;   // every component read, in creation order
  std::unordered_set<TComponent*> read;  // the same, for finding a block read twice
  std::vector<Fixup> fixups;
  int depth = 0;
  // Where each component read begins, and the line of each property set on it: Loaded applies
  // what a component put off while loading, and its errors are reported at those lines.
  std::unordered_map<TComponent*, int> componentLines;
  std::unordered_map<TComponent*, std::unordered_map<String, int>> propertyLines;

  void Advance() { tok = lexer.Next(); }
  bool IsIdent(const char* word) const { return tok.kind == Tok::Ident && SameText(tok.text, word); }
  bool IsSym(char c) const { return tok.kind == Tok::Sym && tok.text[0] == c; }
  [[noreturn]] void Expected(const String& what) const {
    throw EReadError(tok.line, what + " expected but " + Describe(tok) + " found");
  }
  String Ident(const String& what) {
    if (tok.kind != Tok::Ident) Expected(what);
    String s = tok.text;
    Advance();
    return s;
  }
  void Sym(char c) {
    if (!IsSym(c)) Expected(String("'") + c + "'");
    Advance();
  }

  // "object Name: TClass" with the keyword already consumed.
  std::pair<String, String> Header() {
    String name = Ident("Component name");
    if (name.find('.') != String::npos) throw EReadError(tok.line, "Invalid component name " + name);
    Sym(':');
    String cls = Ident("Class name");
    return {name, cls};
  }

  // Runs `fn`; a library error becomes an EReadError of `line`.
  template <class F>
  void AtLine(int line, F&& fn) {
    try {
      fn();
    } catch (const EReadError&) {
      throw;
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& e) {
      throw EReadError(line, e.what());
    }
  }

  void ReadNested(TComponent* parent, int line) {
    auto [name, cls] = Header();
    if (++depth > 64) throw EReadError(line, "Components nested too deeply");
    TComponent* component = root->FindComponent(name);
    if (component && !SameText(component->ClassName(), cls))
      throw EReadError(line, "Component " + name + " is a " + component->ClassName() + ", not a " +
                                 cls);
    // Reusing what the root owned before the read is fine; a second block of one name is not.
    if (component && read.count(component))
      throw EReadError(line, "A component named " + name + " already exists");
    if (!component) {
      const TComponentClass* reg = GetClass(cls);
      if (!reg || !reg->factory) throw EReadError(line, "Class " + cls + " not found");
      AtLine(line, [&] {
        component = reg->factory(root);
        if (component && component->Owner() != root) root->InsertComponent(component);
      });
      if (!component) throw EReadError(line, "Class " + cls + " could not be created");
      created.push_back(component);
      AtLine(line, [&] { component->SetName(name); });
    }
    Begin(component);
    componentLines[component] = line;
    AtLine(line, [&] { component->SetParentComponent(parent); });
    ReadBlock(component);
    --depth;
  }

  void Begin(TComponent* component) {
    component->SetLoadingState(true);
    loaded.push_back(component);
    read.insert(component);
  }

  void ReadBlock(TComponent* component) {
    // ReadState normally comes back to ReadData, which consumes the block up to its "end".
    component->ReadState(*owner);
  }

  void ReadData(TComponent* component) {
    for (;;) {
      if (tok.kind == Tok::End) throw EReadError(tok.line, "Unexpected end of file, 'end' expected");
      if (IsIdent("end")) {
        Advance();
        return;
      }
      if (IsIdent("object")) {
        const int line = tok.line;
        Advance();
        ReadNested(component, line);
        continue;
      }
      ReadProperty(component);
    }
  }

  // A property of `holder`, or of one of its sub-objects (Font.Size).
  void ReadProperty(TObject* holder) {
    const int line = tok.line;
    const String path = Ident("Property name");
    if (auto* component = dynamic_cast<TComponent*>(holder); component && read.count(component))
      propertyLines[component][UpperCase(path)] = line;
    TObject* object = holder;
    const TPropInfo* prop = nullptr;
    size_t start = 0;
    for (;;) {
      const size_t dot = path.find('.', start);
      const String part = path.substr(start, dot == String::npos ? String::npos : dot - start);
      prop = FindPropInfo(object, part);
      if (!prop)
        throw EReadError(line, "Property " + part + " does not exist in " + object->ClassName());
      if (dot == String::npos) break;
      if (prop->kind != TTypeKind::Class)
        throw EReadError(line, "Property " + part + " of " + object->ClassName() +
                                   " has no properties of its own");
      TPersistent* sub = prop->getObject(object);
      if (!sub) throw EReadError(line, "Property " + part + " is not assigned");
      object = sub;
      start = dot + 1;
    }
    if (prop->kind == TTypeKind::Class)
      throw EReadError(line, "Property " + prop->name + " is set through its own properties");
    Sym('=');
    ReadValue(object, *prop, line);
  }

  [[noreturn]] void BadValue(const TPropInfo& p, int line, const String& why) const {
    throw EReadError(line, "Invalid value for property " + p.name + ": " + why);
  }

  void ReadValue(TObject* object, const TPropInfo& p, int line) {
    switch (p.kind) {
      case TTypeKind::Integer:
      case TTypeKind::Int64: {
        int64_t v = 0;
        if (tok.kind == Tok::Int) {
          v = tok.ival;
        } else if (tok.kind == Tok::Ident && p.enumInfo) {
          const TEnumInfo::Item* item = p.enumInfo->FindName(tok.text);
          if (!item) BadValue(p, line, "unknown name " + tok.text);
          v = item->value;
        } else {
          BadValue(p, line, "an integer expected");
        }
        Advance();
        if (v < p.minOrd || v > p.maxOrd) BadValue(p, line, std::to_string(v) + " is out of range");
        if (p.setOrd) AtLine(line, [&] { p.setOrd(object, v); });
        return;
      }
      case TTypeKind::Boolean: {
        int64_t v;
        if (IsIdent("True"))
          v = 1;
        else if (IsIdent("False"))
          v = 0;
        else
          BadValue(p, line, "True or False expected");
        Advance();
        if (p.setOrd) AtLine(line, [&] { p.setOrd(object, v); });
        return;
      }
      case TTypeKind::Enumeration: {
        if (tok.kind != Tok::Ident) BadValue(p, line, "an identifier expected");
        const TEnumInfo::Item* item = p.enumInfo->FindName(tok.text);
        if (!item) BadValue(p, line, tok.text + " is not one of its values");
        Advance();
        if (p.setOrd) AtLine(line, [&] { p.setOrd(object, item->value); });
        return;
      }
      case TTypeKind::Set: {
        if (!IsSym('[')) BadValue(p, line, "'[' expected");
        Advance();
        uint64_t mask = 0;
        if (!IsSym(']')) {
          for (;;) {
            if (tok.kind != Tok::Ident) BadValue(p, line, "a set member expected");
            const TEnumInfo::Item* item = p.enumInfo->FindName(tok.text);
            if (!item || item->value < 0 || item->value > 63)
              BadValue(p, line, tok.text + " is not one of its members");
            mask |= uint64_t(1) << item->value;
            Advance();
            if (IsSym(']')) break;
            if (!IsSym(',')) BadValue(p, line, "',' or ']' expected");
            Advance();
          }
        }
        Advance();
        if (p.setOrd) AtLine(line, [&] { p.setOrd(object, int64_t(mask)); });
        return;
      }
      case TTypeKind::String: {
        if (tok.kind != Tok::Str) BadValue(p, line, "a quoted string expected");
        const String v = tok.text;
        Advance();
        if (p.setStr) AtLine(line, [&] { p.setStr(object, v); });
        return;
      }
      case TTypeKind::Float:
      case TTypeKind::DateTime: {
        double v;
        if (tok.kind == Tok::Float)
          v = tok.fval;
        else if (tok.kind == Tok::Int)
          v = double(tok.ival);
        else
          BadValue(p, line, "a number expected");
        Advance();
        if (p.setFloat) AtLine(line, [&] { p.setFloat(object, v); });
        return;
      }
      case TTypeKind::Strings: {
        if (!IsSym('(')) BadValue(p, line, "'(' expected");
        Advance();
        std::vector<String> lines;
        while (!IsSym(')')) {
          if (tok.kind == Tok::End) throw EReadError(tok.line, "Unexpected end of file, ')' expected");
          if (tok.kind != Tok::Str) BadValue(p, line, "a quoted string expected");
          lines.push_back(tok.text);
          Advance();
        }
        Advance();
        if (p.setList) AtLine(line, [&] { p.setList(object, lines); });
        return;
      }
      case TTypeKind::Component:
      case TTypeKind::Event: {
        if (tok.kind != Tok::Ident) BadValue(p, line, "a name expected");
        String name = IsIdent("nil") ? String() : tok.text;
        Advance();
        fixups.push_back({object, &p, std::move(name), line});
        return;
      }
      case TTypeKind::Collection: {
        if (!IsSym('<')) BadValue(p, line, "'<' expected");
        Advance();
        AtLine(line, [&] { p.clearItems(object); });
        while (!IsSym('>')) {
          if (tok.kind == Tok::End) throw EReadError(tok.line, "Unexpected end of file, '>' expected");
          if (!IsIdent("item")) BadValue(p, tok.line, "'item' expected");
          const int itemLine = tok.line;
          Advance();
          TPersistent* item = nullptr;
          AtLine(itemLine, [&] { item = p.addItem(object); });
          while (!IsIdent("end")) {
            if (tok.kind == Tok::End)
              throw EReadError(tok.line, "Unexpected end of file, 'end' expected");
            ReadProperty(item);
          }
          Advance();
        }
        Advance();
        return;
      }
      case TTypeKind::Class:
        break;
    }
  }

  TComponent* FindByName(const String& name) const {
    if (SameText(root->Name(), name)) return root;
    return root->FindComponent(name);
  }

  void ApplyFixups() {
    for (const Fixup& f : fixups) {
      const TPropInfo& p = *f.prop;
      if (p.kind == TTypeKind::Component) {
        TComponent* target = nullptr;
        if (!f.name.empty()) {
          target = FindByName(f.name);
          if (!target) throw EReadError(f.line, "Component " + f.name + " not found");
        }
        if (!p.setComp) continue;
        bool fits = false;
        AtLine(f.line, [&] { fits = p.setComp(f.object, target); });
        if (!fits)
          throw EReadError(f.line, "Component " + f.name + " (" + target->ClassName() +
                                       ") is not a valid value for " + p.name);
        continue;
      }
      // An event: bound by handler name.
      const std::any* handler = nullptr;
      if (!f.name.empty()) {
        handler = handlers.Find(f.name);
        if (!handler) throw EReadError(f.line, "Event handler " + f.name + " not found");
      }
      bool fits = false;
      AtLine(f.line, [&] { fits = p.setEvent(f.object, handler); });
      if (!fits)
        throw EReadError(f.line, "Event handler " + f.name + " does not fit event " + p.name);
      if (auto* c = dynamic_cast<TComponent*>(f.object)) c->SetEventName(p.name, f.name);
    }
  }

  TComponent* ReadRoot(TComponent* given, TComponent* owner) {
    if (!IsIdent("object")) Expected("'object'");
    const int line = tok.line;
    Advance();
    auto [name, cls] = Header();
    if (given) {
      if (!SameText(given->ClassName(), cls))
        throw EReadError(line, "The form holds a " + cls + ", not a " + given->ClassName());
      root = given;
    } else {
      const TComponentClass* reg = GetClass(cls);
      if (!reg || !reg->factory) throw EReadError(line, "Class " + cls + " not found");
      AtLine(line, [&] { root = reg->factory(owner); });
      if (!root) throw EReadError(line, "Class " + cls + " could not be created");
      createdRoot = true;
    }
    AtLine(line, [&] { root->SetName(name); });
    Begin(root);
    componentLines[root] = line;
    ReadBlock(root);
    if (tok.kind != Tok::End) throw EReadError(tok.line, "Text after the end of the form");
    ApplyFixups();
    // Loaded runs once everything is in place; the loading state ends with it.
    const std::vector<TComponent*> order = loaded;
    for (TComponent* c : order) {
      Loaded(c);
      c->SetLoadingState(false);
    }
    loaded.clear();
    read.clear();
    created.clear();
    return root;
  }

  // Runs `c`'s Loaded. An error while it applies a property it put off (see TLoadingProperty)
  // becomes an EReadError at that property's line (the component's when the text did not set
  // it); any other error passes as it is.
  void Loaded(TComponent* c) {
    const LoadingScope scope;
    try {
      c->Loaded();
    } catch (const EReadError&) {
      throw;
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& e) {
      if (scope.property.empty()) throw;
      int line = componentLines.count(c) ? componentLines[c] : 1;
      if (auto lines = propertyLines.find(c); lines != propertyLines.end())
        if (auto at = lines->second.find(UpperCase(scope.property)); at != lines->second.end())
          line = at->second;
      throw EReadError(line, e.what());
    }
  }

  // After a failure: nothing the read made survives, nothing it touched stays loading.
  void Abandon() {
    for (TComponent* c : loaded) c->SetLoadingState(false);
    loaded.clear();
    read.clear();
    if (createdRoot) {
      delete root;
    } else {
      for (auto it = created.rbegin(); it != created.rend(); ++it) delete *it;
    }
    created.clear();
    root = nullptr;
  }

  TReader* owner = nullptr;
};

TReader::TReader(const String& text, const TEventHandlers& handlers)
    : impl_(std::make_unique<Impl>(text, handlers)) {
  impl_->owner = this;
}

TReader::~TReader() = default;

TComponent* TReader::Root() const { return impl_->root; }

void TReader::ReadData(TComponent* component) { impl_->ReadData(component); }

TComponent* TReader::ReadRootComponent(TComponent* root, TComponent* owner) {
  try {
    return impl_->ReadRoot(root, owner);
  } catch (...) {
    impl_->Abandon();
    throw;
  }
}

// ---- entry points

String WriteComponentText(TComponent* root) {
  TWriter writer(root);
  writer.WriteComponent(root);
  return writer.Text();
}

void ReadComponentText(const String& text, TComponent* root, const TEventHandlers& handlers,
                       int pixelsPerInch) {
  if (!root) throw EReadError(1, "No component to read into");
  TReader reader(text, handlers);
  reader.SetPixelsPerInch(pixelsPerInch);
  reader.ReadRootComponent(root, nullptr);
}

TComponent* CreateComponentFromText(const String& text, TComponent* owner,
                                    const TEventHandlers& handlers, int pixelsPerInch) {
  TReader reader(text, handlers);
  reader.SetPixelsPerInch(pixelsPerInch);
  return reader.ReadRootComponent(nullptr, owner);
}

namespace {

[[noreturn]] void FileError(const String& what, const String& fileName) {
  throw EFilerError(what + " " + fileName + ": " + SysErrorMessage(GetLastError()));
}

String ReadWholeFile(const String& fileName) {
  UniqueFile file{CreateFileW(ToWide(fileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (!file) FileError("Cannot open", fileName);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) FileError("Cannot read", fileName);
  if (size.QuadPart > (int64_t(1) << 30)) throw EFilerError("Form file too large: " + fileName);
  String text(size_t(size.QuadPart), '\0');
  DWORD done = 0;
  if (!text.empty() && (!::ReadFile(file.get(), text.data(), DWORD(text.size()), &done, nullptr) ||
                        done != text.size()))
    FileError("Cannot read", fileName);
  return text;
}

}  // namespace

void WriteComponentFile(const String& fileName, TComponent* root) {
  const String text = WriteComponentText(root);
  UniqueFile file{CreateFileW(ToWide(fileName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (!file) FileError("Cannot create", fileName);
  DWORD done = 0;
  if (!::WriteFile(file.get(), text.data(), DWORD(text.size()), &done, nullptr) ||
      done != text.size())
    FileError("Cannot write", fileName);
}

void ReadComponentFile(const String& fileName, TComponent* root, const TEventHandlers& handlers,
                       int pixelsPerInch) {
  ReadComponentText(ReadWholeFile(fileName), root, handlers, pixelsPerInch);
}

TComponent* CreateComponentFromFile(const String& fileName, TComponent* owner,
                                    const TEventHandlers& handlers, int pixelsPerInch) {
  return CreateComponentFromText(ReadWholeFile(fileName), owner, handlers, pixelsPerInch);
}

}  // namespace host
