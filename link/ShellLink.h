// The link that keeps the shell controls of a form in step.
//   AttachShellControl      the usual body of a control's setShellLink
//   TKivShellControlList    the registered controls in registration order
//   TKivShellLink           broadcasts navigation and refreshes; owns the shared selection list
#pragma once

#include "host/core/Lists.h"
#include "host/core/TypeInfo.h"
#include "shell/ComponentBases.h"
#include "shell/ShellWin32.h"

#include <memory>

namespace zelnor {

class TKivSelectionList;

// Moves `control` from the link in `current` to `link`: unregisters it from the old one,
// stores `link`, registers it with the new one. Nothing happens when they are the same.
void AttachShellControl(IKivShellControl* control, TKivShellLink*& current, TKivShellLink* link);

// The registered controls; each is held once, in registration order.
class TKivShellControlList : public host::TInterfaceList {
 public:
  host::String ClassName() const override { return "TKivShellControlList"; }

  IKivShellControl* Items(int index) const {
    return static_cast<IKivShellControl*>(host::TInterfaceList::Items(index));
  }
  void SetItems(int index, IKivShellControl* control) {
    host::TInterfaceList::SetItems(index, control);
  }
  int Add(IKivShellControl* control) { return host::TInterfaceList::Add(control); }
  int Remove(IKivShellControl* control) { return host::TInterfaceList::Remove(control); }
  int IndexOf(const IKivShellControl* control) const {
    return host::TInterfaceList::IndexOf(control);
  }
};

// Keeps the registered shell controls showing the same place: each notification from one
// control goes to every other, in registration order. PathChanged and FileChanged switch
// Enabled off while they run, so a control that reports its own move back starts no second
// broadcast. While Enabled is false nothing is passed on.
class TKivShellLink : public TKivBaseComponent {
  HOST_CLASS(TKivShellLink, TKivBaseComponent)
  explicit TKivShellLink(host::TComponent* owner = nullptr);
  // Detaches every control (last first), then frees the selection list.
  ~TKivShellLink() override;

  // ---- Controls
  // Appends `control` unless it is registered already.
  void RegisterShellControl(IKivShellControl* control);
  // Removes `control`; nothing when it is not registered.
  void UnregisterShellControl(IKivShellControl* control);
  const TKivShellControlList& Controls() const { return *controls_; }

  // ---- Broadcasts (a nil sender addresses every control)
  // Guarded: Enabled is off while the controls run, back on afterwards even when one raises;
  // OnChange follows a broadcast that completed.
  void PathChanged(IKivShellControl* sender, PCItemIDList idList);
  void FileChanged(IKivShellControl* sender, PCItemIDList folder, PCItemIDList item);
  void SelectAll(IKivShellControl* sender = nullptr);
  void Refresh(IKivShellControl* sender = nullptr);
  void FullRefresh() { Refresh(nullptr); }
  void SmartRefresh(IKivShellControl* sender = nullptr);
  // The first other control that can go up does it; failing that, the sender itself.
  void GoUp(IKivShellControl* sender = nullptr);

  // ---- Shared state
  // The checked paths shared by the linked controls; owned. Setting another list frees this one
  // and takes ownership of the new one; setting the list itself does nothing.
  TKivSelectionList* SelectionList() const { return selectionList_; }
  void SetSelectionList(TKivSelectionList* list);
  // Whether the shell list shows an entry for the parent folder.
  bool ShowParentFolderItem() const { return showParentFolderItem_; }
  void SetShowParentFolderItem(bool show) { showParentFolderItem_ = show; }

  host::String Version() const { return ClassName() + " V4.2"; }

  host::TNotifyEvent OnChange;  // after each completed PathChanged or FileChanged broadcast

 protected:
  void Notification(host::TComponent* component, host::TOperation operation) override;

 private:
  // Calls `call` on every registered control but `sender`, in registration order. Controls
  // registered during the walk are left out, and one that has been unregistered is skipped.
  // Broadcast does it while Enabled; GuardedBroadcast also switches Enabled off meanwhile.
  template <class F>
  void Deliver(IKivShellControl* sender, F call);
  template <class F>
  void Broadcast(IKivShellControl* sender, F call);
  template <class F>
  void GuardedBroadcast(IKivShellControl* sender, F call);
  // Makes the list's updates refresh the linked controls.
  void Subscribe(TKivSelectionList* list);

  std::unique_ptr<TKivShellControlList> controls_;
  // One of the link's own components (the component model frees it); a reference here.
  TKivSelectionList* selectionList_ = nullptr;
  bool showParentFolderItem_ = true;
};

}  // namespace zelnor
