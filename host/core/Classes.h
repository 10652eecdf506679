// The component model of the host class library.
//   TObject       root with a class name
//   TPersistent   Assign/AssignTo
//   TComponent    owner model, names, state flags, free notification, Loaded, form streaming hooks
//   TNotifyEvent  the plain event type
// Published properties are declared with host/core/TypeInfo.h; forms are read and written by
// host/core/Streaming.h.
#pragma once

#include "host/core/SysUtils.h"

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace host {

class TObject;
class TComponent;
class TClassInfo;
class TReader;
class TWriter;

using TNotifyEvent = std::function<void(TObject* sender)>;

// Horizontal placement of text in labels, panels and columns.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class EConvertError : public Exception {
  using Exception::Exception;
};
class EComponentError : public Exception {
  using Exception::Exception;
};
// A window, timer or GDI object could not be made.
class EOutOfResources : public Exception {
  using Exception::Exception;
};

class TObject {
 public:
  virtual ~TObject() = default;
  // The class name as registered and streamed ("TComponent").
  virtual String ClassName() const { return "TObject"; }
  // The table of published properties (host/core/TypeInfo.h); none for a plain object.
  virtual const TClassInfo* ClassInfo() const { return nullptr; }
};

class TPersistent : public TObject {
 public:
  String ClassName() const override { return "TPersistent"; }
  static const TClassInfo& StaticClassInfo();
  const TClassInfo* ClassInfo() const override { return &StaticClassInfo(); }
  // Copies `source` into this object; raises "Cannot assign a X to a Y" when neither side knows how.
  virtual void Assign(const TPersistent* source);

 protected:
  virtual void AssignTo(TPersistent* dest) const;
};

enum class TComponentStateFlag : unsigned {
  csLoading = 1u << 0,
  csReading = 1u << 1,
  csWriting = 1u << 2,
  csDestroying = 1u << 3,
  csDesigning = 1u << 4,
};
using TComponentState = unsigned;  // a set of TComponentStateFlag bits
enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner = nullptr);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  String ClassName() const override { return "TComponent"; }
  static const TClassInfo& StaticClassInfo();  // publishes Tag
  const TClassInfo* ClassInfo() const override { return &StaticClassInfo(); }

  TComponent* Owner() const { return owner_; }
  const String& Name() const { return name_; }
  void SetName(const String& name);
  intptr_t Tag() const { return tag_; }
  void SetTag(intptr_t tag) { tag_ = tag; }

  int ComponentCount() const { return int(components_.size()); }
  TComponent* Components(int index) const { return components_.at(size_t(index)); }
  // The owned component of that name, ignoring case (found through an index, however many the
  // owner holds); nullptr for none or an empty name.
  TComponent* FindComponent(const String& name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponentState ComponentState() const { return state_; }
  bool Has(TComponentStateFlag flag) const { return (state_ & unsigned(flag)) != 0; }
  void SetDesigning(bool designing);  // for tests and the designer
  void SetLoadingState(bool loading);  // set by the form reader around property assignment
  void SetWritingState(bool writing);  // set by the form writer while it writes this component

  // `component` will be told (Notification opRemove) when this one goes away.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Called on every component once the whole form it belongs to has been read.
  virtual void Loaded();

  // Form streaming: the properties of this component and its children go to or come from a form.
  // WriteState writes the published properties, then each child from GetChildren; ReadState
  // reads this component's block of the form. Override to do work around either.
  virtual void WriteState(TWriter& writer);
  virtual void ReadState(TReader& reader);
  // The components written as nested blocks of this one; by default a root gives the named
  // components it owns, in creation order, and any other component none.
  virtual void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root);
  // Told by the reader which component's block this one was nested in.
  virtual void SetParentComponent(TComponent* parent);

  // The name of the handler bound to an event property, kept so the form can write it back.
  String EventName(const String& event) const;
  void SetEventName(const String& event, const String& handler);  // empty handler forgets

 protected:
  // Told when `component` is inserted into or removed from the owner tree, or freed.
  virtual void Notification(TComponent* component, TOperation operation);
  // Sets the destroying flag; the destructor does this too.
  void Destroying();

 private:
  void RemoveNotification(TComponent* component);
  // The owned components with a name, by the name's case-folded form.
  void IndexName(TComponent* component);
  void UnindexName(TComponent* component);

  TComponent* owner_ = nullptr;
  String name_;
  std::unordered_multimap<String, TComponent*> byName_;
  intptr_t tag_ = 0;
  TComponentState state_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  std::vector<std::pair<String, String>> eventNames_;  // event property -> handler name
};

}  // namespace host
