// A drop target for files on any windowed control.
//   TKivDropEffect, KivDropEffectInfo   what the application makes of a drop (deNone ... deLink)
//   DropEffectToOle                     the OLE effect of a TKivDropEffect
//   TKivDragDropEvent                   asked on enter, over and drop: key state, screen point,
//                                       the effect to report
//   TKivDropFiles                       the IDropTarget of one control; the names of the dragged
//                                       files in DroppedFiles; never copies or moves anything
//
// The target is registered with the control's window once both a control and Enabled are given
// (at run time): with the window the control has, and again with each window it gets later; it
// is revoked before a window goes. Exceptions of the handlers never reach OLE: they are reported
// to the application and the call answers E_UNEXPECTED.
#pragma once

#include "host/core/Raii.h"
#include "host/core/StringList.h"
#include "host/forms/Controls.h"
#include "host/forms/DropTargetRegistration.h"

#include <windows.h>
#include <oleidl.h>

#include <functional>
#include <memory>

namespace zelnor {

using host::String;

enum TKivDropEffect { deNone, deCopy, deMove, deLink };
inline const host::TEnumInfo KivDropEffectInfo{"deNone", "deCopy", "deMove", "deLink"};

// DROPEFFECT_NONE, _COPY, _MOVE or _LINK.
DWORD DropEffectToOle(TKivDropEffect effect);

using TKivDragDropEvent = std::function<void(host::TObject* sender, host::TShiftState keyState,
                                             POINT mousePos, TKivDropEffect& effect)>;

class TKivDropFiles : public host::TComponent, public IDropTarget {
  HOST_CLASS(TKivDropFiles, host::TComponent)
  explicit TKivDropFiles(host::TComponent* owner = nullptr);
  ~TKivDropFiles() override;

  // ---- Settings
  host::TWinControl* Control() const { return control_; }
  // The control whose window takes the drops; the old control's window is revoked.
  void SetControl(host::TWinControl* control);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // The file names of the current or last drag, taken when it entered.
  host::TStrings* DroppedFiles() const { return droppedFiles_.get(); }
  // Whether the control's window takes the drops now.
  bool Registered() const { return registration_.Registered(); }

  // Registers the target with the control's window while Enabled (once per window, and with
  // each window the control gets later), else revokes it. Nothing without a control or at
  // design time. A window that refuses the target switches Enabled off.
  void RegisterControlForDragDrop();

  TKivDragDropEvent OnDragEnter;   // proposed deNone
  TKivDragDropEvent OnDragOver;    // proposed deCopy
  TKivDragDropEvent OnDrop;        // proposed deNone; read DroppedFiles and do the work here
  host::TNotifyEvent OnDragLeave;  // the drag left without a drop

  // ---- IDropTarget: the effect answered is the handler's, within the effects the source offers.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  // The component's lifetime is its owner's: counting never frees it.
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* dataObject, DWORD keyState, POINTL point,
                                      DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* dataObject, DWORD keyState, POINTL point,
                                 DWORD* effect) override;

  // The references OLE and others hold (for tests of the registration).
  LONG ReferenceCount() const { return references_; }
  // The data object of the drag in progress, nullptr between drags.
  IDataObject* DataObject() const { return dataObject_.Get(); }

 protected:
  void Notification(host::TComponent* component, host::TOperation operation) override;

 private:
  bool Designing() const { return Has(host::TComponentStateFlag::csDesigning); }
  // Asks `handler` about `proposed` and answers the effect within what the source offers.
  HRESULT Ask(const TKivDragDropEvent& handler, TKivDropEffect proposed, DWORD keyState,
              POINTL point, DWORD* effect);

  host::TWinControl* control_ = nullptr;
  bool enabled_ = false;
  std::unique_ptr<host::TStringList> droppedFiles_;
  host::ComPtr<IDataObject> dataObject_;
  host::TDropTargetRegistration registration_;
  LONG references_ = 0;
};

}  // namespace zelnor
