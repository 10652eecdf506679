// The link between shell controls.
#include "link/ShellLink.h"

#include "host/core/Streaming.h"
#include "selection/KivSelectionList.h"

namespace zelnor {

void AttachShellControl(IKivShellControl* control, TKivShellLink*& current, TKivShellLink* link) {
  if (current == link) return;
  if (current) current->UnregisterShellControl(control);
  current = link;
  if (link) link->RegisterShellControl(control);
}

// ---- TKivShellLink

HOST_PROPERTIES(TKivShellLink) {
  p.Event("OnChange", &TKivShellLink::OnChange);
  p.Str("Version", &TKivShellLink::Version, [](TKivShellLink*, const host::String&) {})
      .NeverStored();
}

TKivShellLink::TKivShellLink(host::TComponent* owner)
    : TKivBaseComponent(owner), controls_(std::make_unique<TKivShellControlList>()) {
  SetEnabled(true);
  selectionList_ = new TKivSelectionList(this);
  Subscribe(selectionList_);
}

void TKivShellLink::Subscribe(TKivSelectionList* list) {
  if (list) list->OnUpdated = [this](host::TObject*) { SmartRefresh(); };
}

TKivShellLink::~TKivShellLink() {
  Destroying();
  // Each control unregisters itself through its own setShellLink.
  for (int i = controls_->Count() - 1; i >= 0; --i) {
    if (i >= controls_->Count()) continue;
    controls_->Items(i)->setShellLink(nullptr);
  }
  controls_->Clear();
  // The list is one of the link's components; it goes here, while the link is whole, rather
  // than with the others when the component base frees them.
  delete std::exchange(selectionList_, nullptr);
}

void TKivShellLink::Notification(host::TComponent* component, host::TOperation operation) {
  TKivBaseComponent::Notification(component, operation);
  // The application may free the list itself: the link keeps no reference to it.
  if (operation == host::opRemove && component == selectionList_) selectionList_ = nullptr;
}

void TKivShellLink::RegisterShellControl(IKivShellControl* control) {
  if (!control || controls_->IndexOf(control) >= 0) return;
  controls_->Add(control);
}

void TKivShellLink::UnregisterShellControl(IKivShellControl* control) {
  if (control) controls_->Remove(control);
}

template <class F>
void TKivShellLink::Deliver(IKivShellControl* sender, F call) {
  std::vector<IKivShellControl*> targets;
  targets.reserve(size_t(controls_->Count()));
  for (int i = 0; i < controls_->Count(); ++i) targets.push_back(controls_->Items(i));
  for (IKivShellControl* control : targets) {
    if (control == sender || controls_->IndexOf(control) < 0) continue;
    call(control);
  }
}

template <class F>
void TKivShellLink::Broadcast(IKivShellControl* sender, F call) {
  if (GetEnabled()) Deliver(sender, call);
}

template <class F>
void TKivShellLink::GuardedBroadcast(IKivShellControl* sender, F call) {
  if (!GetEnabled()) return;
  {
    SetEnabled(false);
    auto enable = host::ScopeExit([this] { SetEnabled(true); });
    Deliver(sender, call);
  }
  if (OnChange) OnChange(this);
}

void TKivShellLink::PathChanged(IKivShellControl* sender, PCItemIDList idList) {
  GuardedBroadcast(sender, [idList](IKivShellControl* c) { c->PathChanged(idList); });
}

void TKivShellLink::FileChanged(IKivShellControl* sender, PCItemIDList folder, PCItemIDList item) {
  GuardedBroadcast(sender, [folder, item](IKivShellControl* c) { c->FileChanged(folder, item); });
}

void TKivShellLink::SelectAll(IKivShellControl* sender) {
  Broadcast(sender, [](IKivShellControl* c) { c->SelectAll(); });
}

void TKivShellLink::Refresh(IKivShellControl* sender) {
  Broadcast(sender, [](IKivShellControl* c) { c->Refresh(); });
}

void TKivShellLink::SmartRefresh(IKivShellControl* sender) {
  Broadcast(sender, [](IKivShellControl* c) { c->SmartRefresh(); });
}

void TKivShellLink::GoUp(IKivShellControl* sender) {
  if (!GetEnabled()) return;
  bool taken = false;
  Broadcast(sender, [&taken](IKivShellControl* c) {
    if (!taken) taken = c->GoUp();
  });
  if (!taken && sender) sender->GoUp();
}

void TKivShellLink::SetSelectionList(TKivSelectionList* list) {
  if (list == selectionList_) return;
  // The link becomes the new list's owner, and its changes refresh this link.
  if (list && list->Owner() != this) {
    if (list->Owner()) list->Owner()->RemoveComponent(list);
    InsertComponent(list);
  }
  Subscribe(list);
  delete std::exchange(selectionList_, list);
}

}  // namespace zelnor
