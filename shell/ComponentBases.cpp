// The bases of the package's components.
#include "shell/ComponentBases.h"

namespace zelnor {

// ---- TKivShellControlBase

HRESULT STDMETHODCALLTYPE TKivShellControlBase::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IKivShellControl)) {
    *object = static_cast<IKivShellControl*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

// ---- TKivBaseComponent

HOST_PROPERTIES(TKivBaseComponent) {
  p.Bool(
      "Enabled", [](const TKivBaseComponent* c) { return c->GetEnabled(); },
      [](TKivBaseComponent* c, bool enabled) { c->SetEnabled(enabled); }, true);
}

void TKivBaseComponent::SetBounds(int, int, int, int) {}

// ---- TKivBaseDialog

HOST_PROPERTIES(TKivBaseDialog) {
  p.Event("OnShow", static_cast<host::TNotifyEvent TKivBaseDialog::*>(&TKivBaseDialog::OnShow));
  p.Event("OnClose", static_cast<host::TNotifyEvent TKivBaseDialog::*>(&TKivBaseDialog::OnClose));
}

}  // namespace zelnor
