// The bases every component of the package builds on.
//   IKivShellControl        what every linkable shell control implements
//   TKivShellControlBase    IUnknown for a control whose lifetime its owner rules (no counting)
//   TKivBaseComponent       base of the package's non-visual components (Enabled)
//   TKivBaseDialog          base of the package's dialog components
#pragma once

#include "host/core/Classes.h"
#include "host/core/TypeInfo.h"
#include "host/forms/Dialogs.h"
#include "shell/ShellWin32.h"

#include <unknwn.h>

namespace zelnor {

class TKivShellLink;

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

}  // namespace zelnor

__CRT_UUID_DECL(zelnor::IKivShellControl, 0xC211C2D9, 0x827E, 0x4D46, 0xB0, 0x7B, 0xFE, 0xB3,
                0xF4, 0x73, 0xDD, 0x7F)
