// Form streaming and the class registries.
//   EFilerError, EReadError, EWriteError, EClassNotFound   errors of reading and writing forms
//   TComponentClass, ComponentClass<T>     a registered class: its table and its factory
//   RegisterComponentClass, GetClass, FindClass   classes the form reader can create, by name
//   RegisterComponents, Palette            the designer palette: pages and their classes
//   TEventHandlers, EventHandlers()        handlers bound to event properties by name
//   AssignEvent                            binds a handler by name, as the reader does
//   TWriter, TReader                       the writer and reader handed to Write/ReadState
//   TLoadingProperty                       names the property Loaded applies, for its line
//   WriteComponentText, ReadComponentText, CreateComponentFromText   (and ...File)
//
// The text form of a component and the components it owns:
//
//   object Form1: TDemoForm
//     Caption = 'It''s h\xc3\xa9re'#13#10'second line'
//     Count = 3
//     Mode = bmFast
//     Parts = [bpCaption, bpIcon]
//     Lines = ( 'one' 'two' )
//     Font.Size = 9
//     Partner = Blinker2
//     OnBlink = Form1Blink
//     Columns = <
//       item
//         Caption = 'Name'
//       end>
//     object Blinker2: TBlinker
//       Interval = 250
//     end
//   end
//
// Values equal to their declared default are left out. Reading creates each nested component
// with the root as owner (or reuses a component the root already owns under that name), sets
// properties while the component's loading state is set, binds references and handlers once
// the whole text is read, then calls Loaded on every component in creation order. Bad text, and
// any error of a property (also of one a component applies in Loaded, see TLoadingProperty),
// raises EReadError naming its line; a failure frees whatever the read had created.
#pragma once

#include "host/core/TypeInfo.h"

#include <any>
#include <map>
#include <memory>

namespace host {

class EFilerError : public Exception {
  using Exception::Exception;
};
class EWriteError : public EFilerError {
  using EFilerError::EFilerError;
};
class EClassNotFound : public EFilerError {
  using EFilerError::EFilerError;
};
// A form text could not be read; Message() begins with "Line N: ".
class EReadError : public EFilerError {
 public:
  EReadError(int line, const String& message);
  int Line() const { return line_; }

 private:
  int line_;
};

// ---- class registry

using TComponentFactory = std::function<TComponent*(TComponent* owner)>;

struct TComponentClass {
  const TClassInfo* info = nullptr;
  TComponentFactory factory;  // empty for an abstract class
  const String& Name() const { return info->Name(); }
};

template <class T>
TComponentClass ComponentClass() {
  TComponentClass c;
  c.info = &T::StaticClassInfo();
  if constexpr (!std::is_abstract_v<T>) c.factory = [](TComponent* owner) -> TComponent* {
    return new T(owner);
  };
  return c;
}

// Registering the same class again is harmless; another class under a taken name raises
// EFilerError.
// (Not RegisterClass: <windows.h> owns that name as a macro.)
void RegisterComponentClass(const TComponentClass& cls);
template <class T>
void RegisterComponentClass() {
  RegisterComponentClass(ComponentClass<T>());
}
void RegisterClasses(std::initializer_list<TComponentClass> classes);
void UnRegisterClass(std::string_view name);
const TComponentClass* GetClass(std::string_view name);  // nullptr when not registered
const TComponentClass& FindClass(std::string_view name);  // raises EClassNotFound

// ---- designer palette

struct TPalettePage {
  String name;
  std::vector<String> classes;  // class names in registration order
};
// Registers the classes and puts them on the named palette page.
void RegisterComponents(const String& page, std::initializer_list<TComponentClass> classes);
std::vector<TPalettePage> Palette();  // pages in registration order
std::vector<String> PaletteClasses(const String& page);

// ---- event handlers

// Handlers by name (case-insensitive), each stored as the event's own std::function type.
class TEventHandlers {
 public:
  // handlers.Register<host::TNotifyEvent>("Form1Click", [](host::TObject* sender) { ... });
  template <class E>
  void Register(const String& name, E handler) {
    static_assert(typeinfo_detail::IsStdFunction<E>::value,
                  "name the event type: Register<TNotifyEvent>(name, handler)");
    handlers_[name] = std::any(std::move(handler));
  }
  void Unregister(const String& name) { handlers_.erase(name); }
  void Clear() { handlers_.clear(); }
  const std::any* Find(const String& name) const;

 private:
  struct Less {
    bool operator()(const String& a, const String& b) const { return CompareText(a, b) < 0; }
  };
  std::map<String, std::any, Less> handlers_;
};

// The application's handlers, used by every read that names no other registry.
TEventHandlers& EventHandlers();

// Binds `handler` from `handlers` to the event property `event` of `component` and remembers its
// name for writing; an empty handler name clears the event. Raises EPropertyError.
void AssignEvent(TComponent* component, const String& event, const String& handler,
                 const TEventHandlers& handlers = EventHandlers());

// ---- writer and reader

class TWriter {
 public:
  explicit TWriter(TComponent* root) : root_(root) {}
  TComponent* Root() const { return root_; }
  // Writes the block of `component`: its header, its WriteState, then "end".
  void WriteComponent(TComponent* component);
  // Writes the stored published properties of `object` (sub-objects as Name.Prop lines).
  void WriteProperties(TObject* object);
  // Writes one "name = value" line; `value` is already in form syntax.
  void WriteValue(const String& name, const String& value);
  const String& Text() const { return text_; }

 private:
  void WriteProperties(TObject* object, const String& prefix, int depth);
  void Line(const String& line);

  TComponent* root_;
  String text_;
  int indent_ = 0;
};

// Names the property a component's Loaded applies (one it put off while loading) for as long
// as the object lives: an error Loaded raises meanwhile, while a form is read, becomes an
// EReadError at that property's line. Does nothing outside a form read.
//   void TMyView::Loaded() { ...; host::TLoadingProperty applying("Path"); SetPath(pending_); }
struct LoadingScope;
class TLoadingProperty {
 public:
  explicit TLoadingProperty(const String& name);
  ~TLoadingProperty();
  TLoadingProperty(const TLoadingProperty&) = delete;
  TLoadingProperty& operator=(const TLoadingProperty&) = delete;

 private:
  LoadingScope* scope_;
  String previous_;
  int exceptions_;
};

class TReader {
 public:
  TReader(const String& text, const TEventHandlers& handlers);
  ~TReader();
  TReader(const TReader&) = delete;
  TReader& operator=(const TReader&) = delete;

  TComponent* Root() const;
  // Reads the rest of a component's block: property lines and nested objects up to its "end".
  void ReadData(TComponent* component);

  // Reads the whole text into `root` (when given) or into a new root created by class name.
  TComponent* ReadRootComponent(TComponent* root, TComponent* owner);

  // The DPI of the screen the form is read for (0: the screen's own, found by the form); a
  // scaled form or frame designed at another DPI scales its controls to it before Loaded.
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi) { pixelsPerInch_ = ppi; }

 private:
  int pixelsPerInch_ = 0;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A component and the components it owns as a form text (lines end with CR LF).
String WriteComponentText(TComponent* root);
// Reads a form text into an existing root of the class the text names; `pixelsPerInch` is the
// screen's DPI to read for (0: the screen's own, see TReader::PixelsPerInch).
void ReadComponentText(const String& text, TComponent* root,
                       const TEventHandlers& handlers = EventHandlers(), int pixelsPerInch = 0);
// Creates the root the text names (a registered class) with `owner`, and reads it.
TComponent* CreateComponentFromText(const String& text, TComponent* owner = nullptr,
                                    const TEventHandlers& handlers = EventHandlers(),
                                    int pixelsPerInch = 0);

// The same on files holding the text as UTF-8; a missing or unreadable file raises EFilerError.
void WriteComponentFile(const String& fileName, TComponent* root);
void ReadComponentFile(const String& fileName, TComponent* root,
                       const TEventHandlers& handlers = EventHandlers(), int pixelsPerInch = 0);
TComponent* CreateComponentFromFile(const String& fileName, TComponent* owner = nullptr,
                                    const TEventHandlers& handlers = EventHandlers(),
                                    int pixelsPerInch = 0);

// Formats a string in form syntax: 'quoted', '' for a quote, #n for control characters.
String QuotedFormString(std::string_view text);

}  // namespace host
