// The link that keeps the shell controls of a form in step, and the package's component bases.
//   IKivShellControl        what every linkable shell control implements
//   TKivShellControlBase    IUnknown for a control whose lifetime its owner rules (no counting)
//   AttachShellControl      the usual body of a control's setShellLink
//   TKivShellControlList    the registered controls in registration order
//   TKivBaseComponent       base of the package's non-visual components (Enabled)
//   TKivBaseDialog          base of the package's dialog components
//   TKivShellLink           broadcasts navigation and refreshes; owns the shared selection list
#pragma once

#include "host/Dialogs.h"
#include "host/Lists.h"
#include "host/TypeInfo.h"
#include "shell/ShellWin32.h"

#include <unknwn.h>

#include <memory>

namespace zelnor {

class TKivShellLink;
class TKivSelectionList;

// {C211C2D9-827E-4D46-B07B-FEB3F473DD7F}
inline constexpr IID IID_IKivShellControl = {
    0xC211C2D9, 0x827E, 0x4D46, {0xB0, 0x7B, 0xFE, 0xB3, 0xF4, 0x73, 0xDD, 0x7F}};

// A shell control that can be linked to others. Item identifier lists handed in are borrowed
// for the call; a control copies what it keeps. The calls run on the main thread and may raise.
struct IKivShellControl : public IUnknown {
  // Attach to `link` (register there) or detach (nil: unregister).
  virtual void setShellLink(TKivShellLink* link) = 0;
  virtual TKivShellLink* getShellLink() = 0;
  // Another control has moved to this folder (absolute list).
  virtual void PathChanged(PCItemIDList idList) = 0;
  // Another control made `item` (one element, relative to the absolute `folder`) its current one.
  virtual void FileChanged(PCItemIDList folder, PCItemIDList item) = 0;
  virtual void SelectAll() = 0;
  // Rebuild the content completely.
  virtual void Refresh() = 0;
  // Bring the content up to date, keeping what is unchanged (check states included).
  virtual void SmartRefresh() = 0;
  // Move to the parent folder; true when this control did it.
  virtual bool GoUp() = 0;
};

// IUnknown of a control owned by the component model: QueryInterface answers IUnknown and
// IKivShellControl, and reference counts are ignored (the owner frees the control).
class TKivShellControlBase : public IKivShellControl {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

 protected:
  ~TKivShellControlBase() = default;
};

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

// Base of the package's non-visual components. Enabled starts false here; each derived class
// sets its own initial value.
class TKivBaseComponent : public host::TComponent {
  HOST_CLASS(TKivBaseComponent, host::TComponent)
  explicit TKivBaseComponent(host::TComponent* owner = nullptr) : host::TComponent(owner) {}

  virtual bool GetEnabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool Enabled() const { return GetEnabled(); }

  // Lets a designer place the component; a non-visual component has no bounds.
  virtual void SetBounds(int left, int top, int width, int height);

 private:
  bool enabled_ = false;
};

// Base of the dialog components; it publishes the dialog's OnShow and OnClose.
class TKivBaseDialog : public host::TCommonDialog {
  HOST_CLASS(TKivBaseDialog, host::TCommonDialog)
  explicit TKivBaseDialog(host::TComponent* owner = nullptr) : host::TCommonDialog(owner) {}
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

  std::unique_ptr<TKivShellControlList> controls_;
  TKivSelectionList* selectionList_ = nullptr;
  bool showParentFolderItem_ = true;
};

}  // namespace zelnor

__CRT_UUID_DECL(zelnor::IKivShellControl, 0xC211C2D9, 0x827E, 0x4D46, 0xB0, 0x7B, 0xFE, 0xB3,
                0xF4, 0x73, 0xDD, 0x7F)
