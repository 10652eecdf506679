// TZelnor: properties of the current item (names, attributes, icons, overlay, info tip, detail
// columns, size and change date).
#include "shell/Zelnor.h"

#include <commctrl.h>

#include "host/core/HResult.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

namespace {

// SHGetFileInfoW on an absolute list; false when the shell has no answer.
bool FileInfo(PCItemIDList list, UINT flags, SHFILEINFOW& info) {
  info = SHFILEINFOW{};
  if (!list) return false;
  return SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list), 0, &info, sizeof info,
                        flags | SHGFI_PIDL) != 0;
}

int IconIndex(PCItemIDList list, UINT flags) {
  SHFILEINFOW info;
  FileInfo(list, SHGFI_SYSICONINDEX | SHGFI_SMALLICON | flags, info);
  return info.iIcon;
}

TAlignment AlignmentOfFormat(int format) {
  switch (format & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_RIGHT:
      return taRightJustify;
    case LVCFMT_CENTER:
      return taCenter;
    default:
      return taLeftJustify;
  }
}

}  // namespace

// ---- Names and attributes

String TZelnor::GetShellObjectName() {
  if (!item_ || !shellFolder_) return {};
  String result;
  STRRET name{};
  if (host::HrOk(shellFolder_->GetDisplayNameOf(item_.get(), SHGDN_NORMAL, &name),
                 "GetDisplayNameOf")) {
    result = GetStringFromStrRet(item_.get(), name);
    FreeStrRet(name);
  }
  if (result.empty()) result = GetObjectName();
  return result;
}

namespace {

// Attributes the shell reads from an item's own list: asked together, once per item, since
// filling a folder asks several of them of every child.
constexpr SFGAOF kItemAttributes = SFGAO_FOLDER | SFGAO_STREAM | SFGAO_HIDDEN | SFGAO_FILESYSTEM |
                                   SFGAO_FILESYSANCESTOR | SFGAO_LINK | SFGAO_READONLY |
                                   SFGAO_COMPRESSED | SFGAO_ENCRYPTED | SFGAO_GHOSTED;

}  // namespace

bool TZelnor::FetchItemAttributes() {
  if (itemAttributesKnown_) return true;
  SFGAOF attributes = kItemAttributes;
  PCUITEMID_CHILD child = item_.get();
  if (FAILED(shellFolder_->GetAttributesOf(1, &child, &attributes))) return false;
  itemAttributes_ = attributes;
  itemAttributesKnown_ = true;
  return true;
}

ULONG TZelnor::GetAttributes(ULONG mask) {
  if (!item_ || !shellFolder_) return 0;
  if ((mask & ~kItemAttributes) == 0) return FetchItemAttributes() ? itemAttributes_ & mask : 0;
  SFGAOF attributes = mask;
  PCUITEMID_CHILD child = item_.get();
  if (!host::HrOk(shellFolder_->GetAttributesOf(1, &child, &attributes), "GetAttributesOf"))
    return 0;
  return attributes;
}

bool TZelnor::IsFolder() {
  if (!item_ || !shellFolder_) return false;
  // A failing call leaves the requested bits as they were asked for.
  const ULONG asked = fileSystemOnly_ ? SFGAO_FOLDER | SFGAO_FILESYSANCESTOR : SFGAO_FOLDER;
  const ULONG attributes = FetchItemAttributes() ? itemAttributes_ & asked : asked;
  if (!(attributes & SFGAO_FOLDER)) return false;
  return !fileSystemOnly_ || IsOldWindows() || (attributes & SFGAO_FILESYSANCESTOR);
}

bool TZelnor::HasSubFolders() {
  if (!item_) return true;
  if (subFolders_ < 0) {
    if (!IsOldWindows() && host::UpperCase(host::ExtractFileExt(GetObjectName())) == ".ZIP") {
      // Archives are never opened just to learn whether they hold folders.
      subFolders_ = fileSystemOnly_ ? 0 : 1;
    } else if (fileSystemOnly_) {
      subFolders_ =
          (GetAttributes(SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR) &
           SFGAO_HASSUBFOLDER)
              ? 1
              : 0;
    } else {
      subFolders_ = (GetAttributes(SFGAO_HASSUBFOLDER) & SFGAO_HASSUBFOLDER) ? 1 : 0;
    }
  }
  return subFolders_ == 1;
}

bool TZelnor::IsHidden() { return (GetAttributes(SFGAO_HIDDEN) & SFGAO_HIDDEN) != 0; }

bool TZelnor::IsLink() { return (GetAttributes(SFGAO_LINK) & SFGAO_LINK) != 0; }

String TZelnor::IsLinkToFolder() {
  if (!IsLink()) return {};
  WIN32_FIND_DATAW target{};
  const String path = _GetLinkTarget(host::ToWide(folder_ + GetObjectName()), target);
  if (path.empty() || !(target.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  return path;
}

String TZelnor::GetDomain() {
  if (!item_ || !shellFolder_) return {};
  return GetDomainFromIdList(shellFolder_.Get(), item_.get());
}

// ---- Icons, overlay, info tip

int TZelnor::GetIconNumber() { return IconIndex(GetAbsoluteItemIdList(), 0); }

int TZelnor::GetSelectedIconNumber() { return IconIndex(GetAbsoluteItemIdList(), SHGFI_OPENICON); }

int TZelnor::GetDesktopIconIndex() { return IconIndex(DesktopIdList(), 0); }

String TZelnor::GetDesktopName() {
  SHFILEINFOW info;
  if (!FileInfo(DesktopIdList(), SHGFI_DISPLAYNAME, info)) return {};
  return host::ToUtf8(info.szDisplayName);
}

int TZelnor::GetOverlayIndex() {
  if (!item_ || !shellFolder_) return -1;
  if (IsNT()) {
    host::ComPtr<IShellIconOverlay> overlay;
    if (host::HrOk(shellFolder_->QueryInterface(IID_IShellIconOverlay,
                                                reinterpret_cast<void**>(overlay.GetAddressOf())),
                   "QueryInterface") &&
        overlay) {
      host::ErrorModeGuard mode(SEM_FAILCRITICALERRORS);
      int index = 0;
      if (host::HrOk(overlay->GetOverlayIndex(item_.get(), &index), "GetOverlayIndex"))
        return index - 1;
      return -1;
    }
  }
  const ULONG attributes = GetAttributes(SFGAO_LINK | SFGAO_SHARE);
  if (attributes & SFGAO_LINK) return 1;
  if (attributes & SFGAO_SHARE) return 0;
  return -1;
}

String TZelnor::GetInfoTip() {
  host::ComPtr<IQueryInfo> info;
  GetUIObject(IID_IQueryInfo, reinterpret_cast<void**>(info.GetAddressOf()));
  if (!info) return {};
  host::ErrorModeGuard mode(SEM_FAILCRITICALERRORS);
  PWSTR tip = nullptr;
  const HRESULT hr = info->GetInfoTip(0, &tip);
  host::CoTaskMemPtr<wchar_t> owner{tip};
  if (!host::HrOk(hr, "GetInfoTip")) return {};
  return host::ToUtf8(tip);
}

// ---- Detail columns

void TZelnor::ReleaseDetails() {
  shellFolder2_.Reset();
  shellDetails_.Reset();
  detailsFetched_ = false;
}

bool TZelnor::GetIShellDetails() {
  // Asked once per folder; a folder without either provider is not asked again.
  if (!shellFolder2_ && !shellDetails_ && !detailsFetched_ && shellFolder_) {
    detailsFetched_ = true;
    shellFolder_.As(&shellFolder2_);
    if (!shellFolder2_) {
      if (!host::HrOk(shellFolder_->CreateViewObject(
                          GetWinHandle(), IID_IShellDetails,
                          reinterpret_cast<void**>(shellDetails_.GetAddressOf())),
                      "CreateViewObject"))
        shellDetails_.Reset();
    }
  }
  return shellFolder2_ || shellDetails_;
}

String TZelnor::GetColumnText(int index, bool header) {
  if (index == 0 && !header) return GetShellObjectName();
  if (GetIShellDetails()) {
    PCUITEMID_CHILD child = header ? nullptr : item_.get();
    if (!header && !child) return {};
    SHELLDETAILS details{};
    HRESULT hr = E_FAIL;
    {
      host::ErrorModeGuard mode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
      if (shellFolder2_) hr = shellFolder2_->GetDetailsOf(child, UINT(index), &details);
      if (FAILED(hr) && shellDetails_) {
        details = SHELLDETAILS{};
        hr = shellDetails_->GetDetailsOf(child, UINT(index), &details);
      }
    }
    if (!host::HrOk(hr, "GetDetailsOf")) return {};
    String text = GetStringFromStrRet(child, details.str);
    FreeStrRet(details.str);
    return text;
  }
  if (header) return index >= 0 && index < COLDATA_COUNT ? ColData[size_t(index)].Caption : "";

  if (!FetchFindData()) return {};
  switch (index) {
    case 1: {
      if (findData_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return {};
      uint64_t size = (uint64_t(findData_.nFileSizeHigh) << 32) | findData_.nFileSizeLow;
      // Any non-empty file shows at least 1 KB.
      if (size > 0 && size < 1024) {
        size = 1024;
        findData_.nFileSizeHigh = 0;
        findData_.nFileSizeLow = 1024;
      }
      return host::FormatFloatN(double(size) / 1024.0) + " KB";
    }
    case 2: {
      SHFILEINFOW info;
      if (!FileInfo(GetAbsoluteItemIdList(), SHGFI_TYPENAME, info)) return {};
      return host::ToUtf8(info.szTypeName);
    }
    case 3:
      return host::DateTimeToStr(GetLastChangeDate());
    default:
      return {};
  }
}

TAlignment TZelnor::GetColumnInfo(int index, int& width) {
  width = 120;
  if (!GetIShellDetails()) {
    if (index < 0 || index >= COLDATA_COUNT) return taLeftJustify;
    width = ColData[size_t(index)].Width;
    return ColData[size_t(index)].Alignment;
  }
  SHELLDETAILS details{};
  HRESULT hr = E_FAIL;
  if (shellFolder2_)
    hr = shellFolder2_->GetDetailsOf(nullptr, UINT(index), &details);
  else
    hr = shellDetails_->GetDetailsOf(nullptr, UINT(index), &details);
  if (!host::HrOk(hr, "GetDetailsOf")) return taLeftJustify;
  FreeStrRet(details.str);
  const TAlignment alignment = AlignmentOfFormat(details.fmt);
  width = details.cxChar * 7;
  if (shellFolder2_) {
    SHCOLSTATEF state = 0;
    if (host::HrOk(shellFolder2_->GetDefaultColumnState(UINT(index), &state),
                   "GetDefaultColumnState") &&
        (!(state & SHCOLSTATE_ONBYDEFAULT) || (state & SHCOLSTATE_HIDDEN)))
      width = 0;  // hidden by default
  }
  return alignment;
}

// ---- Size and date

int64_t TZelnor::GetFileSize() {
  if (!item_) return -1;
  return ::zelnor::GetFileSize(folder_ + GetObjectName());
}

host::TDateTime TZelnor::GetLastChangeDate() {
  if (!FetchFindData(true)) return 0;
  if (findData_.ftLastWriteTime.dwHighDateTime == 0) return 0;
  FILETIME local;
  SYSTEMTIME system;
  if (!FileTimeToLocalFileTime(&findData_.ftLastWriteTime, &local) ||
      !FileTimeToSystemTime(&local, &system))
    return 0;
  return host::SystemTimeToDateTime(system);
}

}  // namespace zelnor
