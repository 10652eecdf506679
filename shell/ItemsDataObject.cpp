// ItemsDataObject: the shell's data object of one folder's objects, or our own of many folders'.
#include "shell/ItemsDataObject.h"

#include <shlobj.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "host/core/HResult.h"
#include "shell/ShellGlobals.h"

namespace zelnor {

namespace {

// An HGLOBAL of `bytes` copied from `data`; nullptr when out of memory.
HGLOBAL GlobalCopy(const void* data, size_t bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!block) return nullptr;
  if (void* at = GlobalLock(block)) {
    std::memcpy(at, data, bytes);
    GlobalUnlock(block);
    return block;
  }
  GlobalFree(block);
  return nullptr;
}

// How many leading elements every list shares, short of the last element of any of them: the
// depth of the deepest folder above them all.
int SharedDepth(const std::vector<UniquePidl>& absolute) {
  std::vector<const BYTE*> at;
  int most = INT_MAX;
  for (const UniquePidl& list : absolute) {
    at.push_back(reinterpret_cast<const BYTE*>(list.get()));
    most = std::min(most, GetItemIdListDepth(list.get()) - 1);
  }
  int depth = 0;
  for (; depth < most; ++depth) {
    const auto* first = reinterpret_cast<const SHITEMID*>(at[0]);
    for (const BYTE* other : at) {
      const auto* element = reinterpret_cast<const SHITEMID*>(other);
      if (element->cb != first->cb || std::memcmp(element, first, first->cb) != 0) return depth;
    }
    for (const BYTE*& p : at) p += reinterpret_cast<const SHITEMID*>(p)->cb;
  }
  return std::max(depth, 0);
}

// The rest of a list after its first `depth` elements.
PCItemIDList After(PCItemIDList list, int depth) {
  const BYTE* p = reinterpret_cast<const BYTE*>(list);
  for (int i = 0; i < depth; ++i) p += reinterpret_cast<const SHITEMID*>(p)->cb;
  return reinterpret_cast<PCItemIDList>(p);
}

class TItemsDataObject final : public IDataObject {
 public:
  explicit TItemsDataObject(const std::vector<UniquePidl>& absolute) {
    Keep(CF_HDROP, DropFiles(absolute));
    Keep(CLIPFORMAT(RegisterClipboardFormatW(CFSTR_SHELLIDLIST)), IdListArray(absolute));
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IDataObject) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return ULONG(left);
  }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (!format || !medium) return E_INVALIDARG;
    const Format* kept = Find(*format);
    if (!kept) return DV_E_FORMATETC;
    HGLOBAL copy = GlobalCopy(kept->bytes.data(), kept->bytes.size());
    if (!copy) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    if (!format) return E_INVALIDARG;
    return Find(*format) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
  }
  // A target's own formats (its preferred or performed effect) are kept, in global memory only.
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override {
    if (!format || !medium || medium->tymed != TYMED_HGLOBAL || format->dwAspect != DVASPECT_CONTENT)
      return DV_E_FORMATETC;
    std::vector<char> bytes;
    if (const void* at = GlobalLock(medium->hGlobal)) {
      const char* begin = static_cast<const char*>(at);
      bytes.assign(begin, begin + GlobalSize(medium->hGlobal));
      GlobalUnlock(medium->hGlobal);
    } else {
      return E_INVALIDARG;
    }
    if (release) ReleaseStgMedium(medium);
    Keep(format->cfFormat, std::move(bytes));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    std::vector<FORMATETC> formats;
    for (const Format& f : formats_) formats.push_back(EtcOf(f.format));
    return SHCreateStdEnumFmtEtc(UINT(formats.size()), formats.data(), out);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

 private:
  struct Format {
    CLIPFORMAT format;
    std::vector<char> bytes;
  };

  static FORMATETC EtcOf(CLIPFORMAT format) {
    return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  }
  // DROPFILES and the wide paths, each ended by a zero and the whole by one more; objects
  // without a path (virtual ones) are left out.
  static std::vector<char> DropFiles(const std::vector<UniquePidl>& absolute) {
    std::wstring paths;
    for (const UniquePidl& list : absolute) {
      const WideString path = GetPathFromPidlW(list.get());
      if (!path.empty()) paths.append(path).push_back(L'\0');
    }
    paths.push_back(L'\0');
    std::vector<char> bytes(sizeof(DROPFILES) + paths.size() * sizeof(wchar_t));
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::memcpy(bytes.data(), &header, sizeof header);
    std::memcpy(bytes.data() + sizeof header, paths.data(), paths.size() * sizeof(wchar_t));
    return bytes;
  }
  // CIDA: the count, the offsets of the parent (the deepest folder above all the objects) and
  // of every object, then the parent's absolute list and each object's list below it.
  static std::vector<char> IdListArray(const std::vector<UniquePidl>& absolute) {
    const UINT count = UINT(absolute.size());
    const int depth = SharedDepth(absolute);
    const UniquePidl parent = GetItemIdListStart(absolute[0].get(), depth);
    const size_t header = sizeof(UINT) * (count + 2);
    std::vector<char> bytes(header);
    std::vector<UINT> offsets{count};
    const auto append = [&bytes, &offsets](PCItemIDList list) {
      offsets.push_back(UINT(bytes.size()));
      const char* begin = reinterpret_cast<const char*>(list);
      bytes.insert(bytes.end(), begin, begin + GetPidlSize(list));
    };
    append(parent.get());
    for (const UniquePidl& list : absolute) append(After(list.get(), depth));
    std::memcpy(bytes.data(), offsets.data(), header);
    return bytes;
  }

  void Keep(CLIPFORMAT format, std::vector<char> bytes) {
    for (Format& f : formats_)
      if (f.format == format) {
        f.bytes = std::move(bytes);
        return;
      }
    formats_.push_back({format, std::move(bytes)});
  }
  const Format* Find(const FORMATETC& etc) const {
    if (!(etc.tymed & TYMED_HGLOBAL) || etc.dwAspect != DVASPECT_CONTENT) return nullptr;
    for (const Format& f : formats_)
      if (f.format == etc.cfFormat) return &f;
    return nullptr;
  }

  LONG references_ = 1;
  std::vector<Format> formats_;
};

}  // namespace

host::ComPtr<IDataObject> ItemsDataObject(HWND owner, const std::vector<UniquePidl>& absolute) {
  host::ComPtr<IDataObject> data;
  if (absolute.empty()) return data;
  const int depth = SharedDepth(absolute);
  const bool oneFolder = std::all_of(absolute.begin(), absolute.end(), [depth](const UniquePidl& l) {
    return GetItemIdListDepth(l.get()) == depth + 1;
  });
  if (oneFolder) {
    // One folder holds them all: the shell's own object, with every format it offers.
    const UniquePidl parent = GetItemIdListStart(absolute[0].get(), depth);
    host::ComPtr<IShellFolder> folder;
    if (FAILED(BindFolderIdList(parent.get(), folder)) || !folder) return data;
    std::vector<PCUITEMID_CHILD> raw;
    for (const UniquePidl& list : absolute)
      raw.push_back(reinterpret_cast<PCUITEMID_CHILD>(After(list.get(), depth)));
    if (!host::HrOk(folder->GetUIObjectOf(owner, UINT(raw.size()), raw.data(), IID_IDataObject,
                                          nullptr, reinterpret_cast<void**>(data.GetAddressOf())),
                    "GetUIObjectOf(IDataObject)"))
      data.Reset();
    return data;
  }
  data.Attach(new TItemsDataObject(absolute));
  return data;
}

}  // namespace zelnor
