#include "shell/SystemImageList.h"

#include "host/core/Streaming.h"
#include "host/graphics/Dpi.h"

#include <shellapi.h>

namespace zelnor {

namespace {
host::WideString TempFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, path);
  return n ? host::WideString(path, n) : host::WideString(L"C:\\");
}
}  // namespace

// The size of the images follows Size: Width, Height and the other attributes of the system list
// are never stored.
HOST_PROPERTIES(TKivSystemImageList) {
  p.Bool(
      "ShareImages", &TKivSystemImageList::ShareImages,
      [](TKivSystemImageList* list, bool share) { list->SetShareImages(share); }, true);
  p.Enum(
      "Size", KivImageListSizeInfo, &TKivSystemImageList::Size,
      [](TKivSystemImageList* list, TKivImageListSize size) { list->SetSize(size); }, si_small);
  p.Int("AllocBy", &TKivSystemImageList::AllocBy, nullptr).NeverStored();
  p.Int("BlendColor", &TKivSystemImageList::BlendColor, nullptr).NeverStored();
  p.Int("Height", &TKivSystemImageList::Height, nullptr).NeverStored();
  p.Enum("ImageType", host::ImageTypeInfo, &TKivSystemImageList::ImageType, nullptr, host::itImage)
      .NeverStored();
  p.Bool("Masked", &TKivSystemImageList::Masked, nullptr, true).NeverStored();
  p.Int("Width", &TKivSystemImageList::Width, nullptr).NeverStored();
}

TKivSystemImageList::TKivSystemImageList(host::TComponent* owner) : TCustomImageList(owner) {
  TCustomImageList::SetShareImages(true);
  SetImageListHandle();
}

void TKivSystemImageList::SetSize(TKivImageListSize size) {
  size_ = size;
  SetImageListHandle();
}

void TKivSystemImageList::SetShareImages(bool share) {
  FreeHandle();  // a private copy is destroyed, the shared list only let go
  TCustomImageList::SetShareImages(share);
  SetImageListHandle();
}

void TKivSystemImageList::SetPixelsPerInch(int ppi) {
  if (ppi == ppi_) return;
  ppi_ = ppi;
  SetImageListHandle();
}

int TKivSystemImageList::WantedIconSize() const {
  return host::ScaleByDpi(size_ == si_large ? 32 : 16,
                          UINT(ppi_ > 0 ? ppi_ : host::ScreenPixelsPerInch()));
}

HIMAGELIST TKivSystemImageList::SystemList() const {
  // Any existing folder names the system list; the temporary folder always exists.
  SHFILEINFOW info{};
  auto system = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(
      TempFolder().c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SizeFlag()));
  const int wanted = WantedIconSize();
  int cx = 0, cy = 0;
  if (system && ImageList_GetIconSize(system, &cx, &cy) && cx == wanted) return system;
  // The shell's lists of other sizes share the icon indexes of these.
  using GetImageListFn = HRESULT(WINAPI*)(int, REFIID, void**);
  static const auto getImageList = [] {
    HMODULE shell32 = GetModuleHandleW(L"shell32.dll");
    FARPROC proc = shell32 ? GetProcAddress(shell32, "SHGetImageList") : nullptr;
    if (!proc && shell32) proc = GetProcAddress(shell32, MAKEINTRESOURCEA(727));
    return reinterpret_cast<GetImageListFn>(reinterpret_cast<void*>(proc));
  }();
  if (!getImageList) return system;
  static const IID kImageListIid = {
      0x46EB5926, 0x582E, 0x4017, {0x9F, 0xDF, 0xE8, 0x99, 0x8D, 0xAA, 0x09, 0x50}};
  HIMAGELIST best = nullptr, largest = nullptr;
  int bestSize = 0, largestSize = 0;
  for (int which : {SHIL_SMALL, SHIL_LARGE, SHIL_EXTRALARGE, SHIL_JUMBO}) {
    IUnknown* list = nullptr;
    if (FAILED(getImageList(which, kImageListIid, reinterpret_cast<void**>(&list))) || !list)
      continue;
    list->Release();  // the shell keeps its lists for the life of the process
    const auto handle = reinterpret_cast<HIMAGELIST>(list);
    if (!ImageList_GetIconSize(handle, &cx, &cy)) continue;
    if (cx >= wanted && (!best || cx < bestSize)) {
      best = handle;
      bestSize = cx;
    }
    if (cx > largestSize) {
      largest = handle;
      largestSize = cx;
    }
  }
  if (best) return best;
  return largest ? largest : system;
}

void TKivSystemImageList::SetImageListHandle() {
  HIMAGELIST system = SystemList();
  if (!system) {
    AdoptHandle(nullptr, false);
    return;
  }
  if (ShareImages() || Has(host::TComponentStateFlag::csDesigning)) {
    AdoptHandle(system, false);
  } else {
    AdoptHandle(ImageList_Duplicate(system), true);
  }
}

void TKivSystemImageList::WriteState(host::TWriter& writer) {
  // Only the published attributes are written; the handle and its images never go into a form.
  TCustomImageList::WriteState(writer);
}

void TKivSystemImageList::ReadState(host::TReader& reader) {
  TCustomImageList::ReadState(reader);
  SetImageListHandle();
}

int TKivSystemImageList::GetFileInfo(const host::String& name, bool open, DWORD attributes) const {
  UINT flags = SHGFI_SYSICONINDEX | SizeFlag();
  if (open) flags |= SHGFI_OPENICON;
  if (attributes != 0) flags |= SHGFI_USEFILEATTRIBUTES;
  SHFILEINFOW info{};
  host::ErrorModeGuard quiet;
  if (!SHGetFileInfoW(host::ToWide(name).c_str(), attributes, &info, sizeof info, flags)) return -1;
  return info.iIcon;
}

int TKivSystemImageList::GetIndexFromFileName(const host::String& fileName) const {
  return GetFileInfo(fileName, false, 0);
}

int TKivSystemImageList::GetIndexFromExtension(const host::String& extension) const {
  host::String probe;
  if (extension.empty()) {
    probe = "c:\\test";
  } else if (extension[0] == '.') {
    probe = "C:\\test" + extension;
  } else {
    probe = "C:\\test." + extension;
  }
  return GetFileInfo(probe, false, FILE_ATTRIBUTE_NORMAL);
}

int TKivSystemImageList::GetFolderIconNumber() const {
  return GetFileInfo(host::ToUtf8(TempFolder()), false, 0);
}

int TKivSystemImageList::GetOpenedFolderIconNumber() const {
  return GetFileInfo(host::ToUtf8(TempFolder()), true, 0);
}

int TKivSystemImageList::GetSpecialFolderIcon(TKivShellFolder folder) const {
  UniquePidl list = GetIdListFromSpecialFolder(folder);
  if (!list) return -1;
  SHFILEINFOW info{};
  host::ErrorModeGuard quiet;
  if (!SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list.get()), 0, &info, sizeof info,
                      SHGFI_SYSICONINDEX | SHGFI_PIDL | SizeFlag())) {
    return -1;
  }
  return info.iIcon;
}

}  // namespace zelnor
