// TKivDropFiles: the control and its registration, and the four IDropTarget calls.
#include "extras/DropFiles.h"

#include "host/forms/Application.h"
#include "shell/ShellGlobals.h"
#include "shell/ShellRoutines.h"


namespace zelnor {

DWORD DropEffectToOle(TKivDropEffect effect) {
  switch (effect) {
    case deCopy: return DROPEFFECT_COPY;
    case deMove: return DROPEFFECT_MOVE;
    case deLink: return DROPEFFECT_LINK;
    default: return DROPEFFECT_NONE;
  }
}

// ---- Construction

TKivDropFiles::TKivDropFiles(host::TComponent* owner)
    : host::TComponent(owner),
      droppedFiles_(std::make_unique<host::TStringList>()),
      registration_(this) {
  registration_.OnFailed = [this](HRESULT) { enabled_ = false; };
}

TKivDropFiles::~TKivDropFiles() {
  Destroying();
  // The window lets go of the target before the target goes.
  registration_.SetControl(nullptr);
  if (control_) control_->RemoveFreeNotification(this);
  dataObject_.Reset();
}

// ---- Settings

void TKivDropFiles::SetControl(host::TWinControl* control) {
  if (control == control_) return;
  if (control_) control_->RemoveFreeNotification(this);
  registration_.SetControl(nullptr);
  control_ = control;
  if (control_) control_->FreeNotification(this);
  RegisterControlForDragDrop();
}

void TKivDropFiles::SetEnabled(bool enabled) {
  enabled_ = enabled;
  RegisterControlForDragDrop();
}

void TKivDropFiles::RegisterControlForDragDrop() {
  if (!control_ || Designing()) return;
  // Drop targets need the thread in OLE, which the shell's start-up joins.
  if (enabled_) InitializeShell();
  registration_.SetControl(control_);
  registration_.SetActive(enabled_);
}

void TKivDropFiles::Notification(host::TComponent* component, host::TOperation operation) {
  host::TComponent::Notification(component, operation);
  if (operation == host::opRemove && component == control_) {
    registration_.SetControl(nullptr);
    control_ = nullptr;
  }
}

// ---- IDropTarget

HRESULT TKivDropFiles::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid != IID_IUnknown && iid != IID_IDropTarget) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  *object = static_cast<IDropTarget*>(this);
  AddRef();
  return S_OK;
}

ULONG TKivDropFiles::AddRef() { return ULONG(InterlockedIncrement(&references_)); }

ULONG TKivDropFiles::Release() { return ULONG(InterlockedDecrement(&references_)); }

HRESULT TKivDropFiles::Ask(const TKivDragDropEvent& handler, TKivDropEffect proposed,
                           DWORD keyState, POINTL point, DWORD* effect) {
  const DWORD offered = *effect;
  *effect = DROPEFFECT_NONE;
  TKivDropEffect chosen = proposed;
  if (handler) handler(this, host::OleKeyStateToShiftState(keyState), POINT{point.x, point.y}, chosen);
  *effect = DropEffectToOle(chosen) & offered;
  return S_OK;
}

HRESULT TKivDropFiles::DragEnter(IDataObject* dataObject, DWORD keyState, POINTL point,
                                 DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  const HRESULT result = host::AtOleInterface(this, effect, [&] {
    dataObject_ = dataObject;
    droppedFiles_->Clear();
    if (auto files = GetFilenamesFromDataObject(dataObject)) droppedFiles_->Assign(files.get());
    return Ask(OnDragEnter, deNone, keyState, point, effect);
  });
  // A drag the target refused is not followed by DragLeave.
  if (FAILED(result)) dataObject_.Reset();
  return result;
}

HRESULT TKivDropFiles::DragOver(DWORD keyState, POINTL point, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  return host::AtOleInterface(
      this, effect, [&] { return Ask(OnDragOver, deCopy, keyState, point, effect); });
}

HRESULT TKivDropFiles::DragLeave() {
  dataObject_.Reset();
  return host::AtOleInterface(this, nullptr, [&] {
    if (OnDragLeave) OnDragLeave(this);
    return S_OK;
  });
}

HRESULT TKivDropFiles::Drop(IDataObject*, DWORD keyState, POINTL point, DWORD* effect) {
  // The drag is over, however the handler ends: its data object goes.
  auto release = host::ScopeExit([this] { dataObject_.Reset(); });
  if (!effect) return E_INVALIDARG;
  return host::AtOleInterface(
      this, effect, [&] { return Ask(OnDrop, deNone, keyState, point, effect); });
}

// ---- Published properties

HOST_PROPERTIES(TKivDropFiles) {
  p.Component("Control", &TKivDropFiles::Control, &TKivDropFiles::SetControl);
  p.Bool("Enabled", &TKivDropFiles::Enabled, &TKivDropFiles::SetEnabled, false).NoDefault();
  p.Strings("DroppedFiles", &TKivDropFiles::DroppedFiles).NeverStored();
  p.Event("OnDrop", &TKivDropFiles::OnDrop);
  p.Event("OnDragOver", &TKivDropFiles::OnDragOver);
  p.Event("OnDragEnter", &TKivDropFiles::OnDragEnter);
  p.Event("OnDragLeave", &TKivDropFiles::OnDragLeave);
}

}  // namespace zelnor
