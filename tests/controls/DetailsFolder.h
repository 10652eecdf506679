// A shell folder with details that forwards IShellFolder2 to a real folder, for tests of how a
// view uses the folder's columns and comparison:
//   hiddenColumn      a column the folder reports as hidden by default
//   compare           replaces the folder's CompareIDs when set
//   comparedColumns   every column CompareIDs was asked to compare by
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <set>

#include "host/core/Raii.h"

namespace testing_support {

class DetailsFolder : public IShellFolder2 {
 public:
  explicit DetailsFolder(IShellFolder* inner) { inner->QueryInterface(IID_PPV_ARGS(&inner_)); }
  virtual ~DetailsFolder() = default;

  int hiddenColumn = -1;
  std::function<HRESULT(LPARAM column, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b)> compare;
  std::set<int> comparedColumns;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IShellFolder || iid == IID_IShellFolder2) {
      *object = static_cast<IShellFolder2*>(this);
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

  // ---- IShellFolder
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
    comparedColumns.insert(int(column & SHCIDS_COLUMNMASK));
    return compare ? compare(column, a, b) : inner_->CompareIDs(column, a, b);
  }
  HRESULT STDMETHODCALLTYPE CreateViewObject(HWND owner, REFIID iid, void** object) override {
    return inner_->CreateViewObject(owner, iid, object);
  }
  HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items,
                                            SFGAOF* attributes) override {
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

  // ---- IShellFolder2
  HRESULT STDMETHODCALLTYPE GetDefaultSearchGUID(GUID* guid) override {
    return inner_->GetDefaultSearchGUID(guid);
  }
  HRESULT STDMETHODCALLTYPE EnumSearches(IEnumExtraSearch** e) override {
    return inner_->EnumSearches(e);
  }
  HRESULT STDMETHODCALLTYPE GetDefaultColumn(DWORD reserved, ULONG* sort, ULONG* display) override {
    return inner_->GetDefaultColumn(reserved, sort, display);
  }
  HRESULT STDMETHODCALLTYPE GetDefaultColumnState(UINT column, SHCOLSTATEF* state) override {
    const HRESULT hr = inner_->GetDefaultColumnState(column, state);
    if (SUCCEEDED(hr) && int(column) == hiddenColumn) *state = SHCOLSTATE_TYPE_STR | SHCOLSTATE_HIDDEN;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE GetDetailsEx(PCUITEMID_CHILD item, const SHCOLUMNID* id,
                                         VARIANT* value) override {
    return inner_->GetDetailsEx(item, id, value);
  }
  HRESULT STDMETHODCALLTYPE GetDetailsOf(PCUITEMID_CHILD item, UINT column,
                                         SHELLDETAILS* details) override {
    return inner_->GetDetailsOf(item, column, details);
  }
  HRESULT STDMETHODCALLTYPE MapColumnToSCID(UINT column, SHCOLUMNID* id) override {
    return inner_->MapColumnToSCID(column, id);
  }

 private:
  host::ComPtr<IShellFolder2> inner_;
  LONG refs_ = 1;
};

// A new DetailsFolder over `inner`, held by a ComPtr.
inline host::ComPtr<DetailsFolder> MakeDetailsFolder(IShellFolder* inner) {
  host::ComPtr<DetailsFolder> folder;
  folder.Attach(new DetailsFolder(inner));
  return folder;
}

}  // namespace testing_support
