// A shell folder that forwards IShellFolder to a real folder and offers nothing else, so a
// navigator bound to it sees a folder without column providers; optionally it fails the
// attribute query of one child by raising, to exercise the navigator's error path.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <stdexcept>
#include <string>

#include "host/core/Raii.h"

namespace testing_support {

class PlainFolder : public IShellFolder {
 public:
  explicit PlainFolder(IShellFolder* inner) : inner_(inner) {}
  virtual ~PlainFolder() = default;

  // Children with this parsing name make GetAttributesOf raise.
  std::wstring throwFor;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IShellFolder) {
      *object = static_cast<IShellFolder*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
  }

  HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND owner, IBindCtx* bc, LPWSTR name, ULONG* eaten,
                                             PIDLIST_RELATIVE* list, ULONG* attributes) override {
    return inner_->ParseDisplayName(owner, bc, name, eaten, list, attributes);
  }
  HRESULT STDMETHODCALLTYPE EnumObjects(HWND owner, SHCONTF flags, IEnumIDList** e) override {
    return inner_->EnumObjects(owner, flags, e);
  }
  HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE list, IBindCtx* bc, REFIID iid,
                                         void** object) override {
    return inner_->BindToObject(list, bc, iid, object);
  }
  HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE list, IBindCtx* bc, REFIID iid,
                                          void** object) override {
    return inner_->BindToStorage(list, bc, iid, object);
  }
  HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM column, PCUIDLIST_RELATIVE a,
                                       PCUIDLIST_RELATIVE b) override {
    return inner_->CompareIDs(column, a, b);
  }
  HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items,
                                            SFGAOF* attributes) override {
    if (!throwFor.empty() && count == 1 && NameOf(items[0]) == throwFor)
      throw std::runtime_error("attributes unavailable");
    return inner_->GetAttributesOf(count, items, attributes);
  }
  HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND owner, UINT count, PCUITEMID_CHILD_ARRAY items,
                                          REFIID iid, UINT* reserved, void** object) override {
    return inner_->GetUIObjectOf(owner, count, items, iid, reserved, object);
  }
  HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF flags,
                                             STRRET* name) override {
    return inner_->GetDisplayNameOf(item, flags, name);
  }
  HRESULT STDMETHODCALLTYPE SetNameOf(HWND owner, PCUITEMID_CHILD item, LPCWSTR name,
                                      SHGDNF flags, PITEMID_CHILD* out) override {
    return inner_->SetNameOf(owner, item, name, flags, out);
  }

 private:
  std::wstring NameOf(PCUITEMID_CHILD item) {
    STRRET name{};
    if (FAILED(inner_->GetDisplayNameOf(item, SHGDN_INFOLDER | SHGDN_FORPARSING, &name))) return {};
    wchar_t* text = nullptr;
    if (FAILED(StrRetToStrW(&name, item, &text))) return {};
    std::wstring result = text;
    CoTaskMemFree(text);
    return result;
  }

  host::ComPtr<IShellFolder> inner_;
  LONG refs_ = 1;
};

// A new PlainFolder over `inner`, held by a ComPtr.
inline host::ComPtr<PlainFolder> MakePlainFolder(IShellFolder* inner) {
  host::ComPtr<PlainFolder> folder;
  folder.Attach(new PlainFolder(inner));
  return folder;
}

}  // namespace testing_support
