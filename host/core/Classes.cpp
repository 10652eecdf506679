#include "host/core/Classes.h"

#include <algorithm>
#include <iterator>

#include <windows.h>

namespace host {

namespace {

// The form of a name under which SameText finds it: upper case as the system's ordinal comparison
// ignoring case maps it.
String NameKey(std::string_view name) {
  if (std::all_of(name.begin(), name.end(), [](char c) { return (unsigned char)c < 0x80; }))
    return UpperCase(name);
  WideString wide = ToWide(name);
  CharUpperBuffW(wide.data(), DWORD(wide.size()));
  return ToUtf8(wide);
}

}  // namespace

// ---- TPersistent

void TPersistent::Assign(const TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  throw EConvertError("Cannot assign a nil to a " + ClassName());
}

void TPersistent::AssignTo(TPersistent* dest) const {
  throw EConvertError("Cannot assign a " + ClassName() + " to a " + dest->ClassName());
}

// ---- TComponent

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Tell everyone who holds a reference to this component.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    auto& back = other->freeNotifies_;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
    other->Notification(this, opRemove);
  }
  // Free owned components, last created first.
  while (!components_.empty()) {
    TComponent* child = components_.back();
    delete child;  // removes itself from components_
  }
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::Destroying() { state_ |= unsigned(TComponentStateFlag::csDestroying); }

void TComponent::SetName(const String& name) {
  if (name == name_) return;
  if (owner_ && !name.empty()) {
    TComponent* other = owner_->FindComponent(name);
    if (other && other != this)
      throw EComponentError("A component named " + name + " already exists");
  }
  if (owner_) owner_->UnindexName(this);
  name_ = name;
  if (owner_) owner_->IndexName(this);
}

TComponent* TComponent::FindComponent(const String& name) const {
  if (name.empty()) return nullptr;
  const auto [first, last] = byName_.equal_range(NameKey(name));
  for (auto it = first; it != last; ++it)
    if (SameText(it->second->name_, name)) return it->second;
  return nullptr;
}

void TComponent::IndexName(TComponent* component) {
  if (!component->name_.empty()) byName_.emplace(NameKey(component->name_), component);
}

void TComponent::UnindexName(TComponent* component) {
  if (component->name_.empty()) return;
  const auto [first, last] = byName_.equal_range(NameKey(component->name_));
  for (auto it = first; it != last; ++it) {
    if (it->second == component) {
      byName_.erase(it);
      return;
    }
  }
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component || component->owner_ == this) return;
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  IndexName(component);
  component->SetDesigning(Has(TComponentStateFlag::csDesigning));
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  // Searched from the end: owners free their components last created first.
  auto it = std::find(components_.rbegin(), components_.rend(), component);
  if (it == components_.rend()) return;
  Notification(component, opRemove);
  components_.erase(std::next(it).base());
  UnindexName(component);
  component->owner_ = nullptr;
}

void TComponent::SetDesigning(bool designing) {
  if (designing)
    state_ |= unsigned(TComponentStateFlag::csDesigning);
  else
    state_ &= ~unsigned(TComponentStateFlag::csDesigning);
  for (TComponent* c : components_) c->SetDesigning(designing);
}

void TComponent::SetLoadingState(bool loading) {
  const unsigned bits = unsigned(TComponentStateFlag::csLoading) | unsigned(TComponentStateFlag::csReading);
  if (loading)
    state_ |= bits;
  else
    state_ &= ~bits;
}

void TComponent::SetWritingState(bool writing) {
  if (writing)
    state_ |= unsigned(TComponentStateFlag::csWriting);
  else
    state_ &= ~unsigned(TComponentStateFlag::csWriting);
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
    freeNotifies_.push_back(component);
  auto& back = component->freeNotifies_;
  if (std::find(back.begin(), back.end(), this) == back.end()) back.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  RemoveNotification(component);
  component->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* component) {
  freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component),
                      freeNotifies_.end());
}

void TComponent::Loaded() { SetLoadingState(false); }

void TComponent::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
  if (root != this) return;
  for (TComponent* c : components_)
    if (!c->name_.empty()) proc(c);
}

void TComponent::SetParentComponent(TComponent*) {}

String TComponent::EventName(const String& event) const {
  for (const auto& [e, handler] : eventNames_)
    if (SameText(e, event)) return handler;
  return {};
}

void TComponent::SetEventName(const String& event, const String& handler) {
  auto it = std::find_if(eventNames_.begin(), eventNames_.end(),
                         [&](const auto& entry) { return SameText(entry.first, event); });
  if (handler.empty()) {
    if (it != eventNames_.end()) eventNames_.erase(it);
  } else if (it != eventNames_.end()) {
    it->second = handler;
  } else {
    eventNames_.emplace_back(event, handler);
  }
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  // Pass the news of a removal down to owned components, as they may refer to it.
  if (operation == opRemove && component)
    for (TComponent* c : components_)
      if (c != component) c->Notification(component, operation);
}

}  // namespace host
