#include "shell/SystemImageList.h"

#include <shellapi.h>

namespace zelnor {

namespace {
host::WideString TempFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, path);
  return n ? host::WideString(path, n) : host::WideString(L"C:\\");
}
}  // namespace

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

void TKivSystemImageList::SetImageListHandle() {
  // Any existing folder names the system list; the temporary folder always exists.
  SHFILEINFOW info{};
  auto system = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(
      TempFolder().c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SizeFlag()));
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

void TKivSystemImageList::Loaded() {
  TCustomImageList::Loaded();
  SetImageListHandle();  // a stored form holds no image data
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
  UniquePidl list{GetIdListFromSpecialFolder(folder)};
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
