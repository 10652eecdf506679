// Icons of plain folders and plain files, looked up once for all of them.
#include "shell/SharedIcons.h"

#include <shellapi.h>
#include <shlobj.h>

#include "host/core/HResult.h"
#include "shell/Zelnor.h"

namespace zelnor {

namespace {

// Extensions whose files may carry an icon of their own: these are asked one by one.
bool HasOwnIcon(const String& extension) {
  static const char* const kOwn[] = {".exe", ".ico", ".lnk", ".url", ".cur", ".ani", ".scr",
                                     ".dll", ".cpl", ".msc", ".pif", ".appref-ms"};
  for (const char* e : kOwn)
    if (host::SameText(extension, e)) return true;
  return false;
}

// The small icon the shell shows for a name with these attributes, without touching the disk.
int IconByAttributes(const wchar_t* name, DWORD attributes, bool open) {
  SHFILEINFOW info{};
  UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES;
  if (open) flags |= SHGFI_OPENICON;
  if (!SHGetFileInfoW(name, attributes, &info, sizeof info, flags)) return -1;
  return info.iIcon;
}

// The small icon of an ordinary folder the shell reads itself: the temporary folder. (Asked by
// attributes alone, some shells give the closed icon for the open one.)
int PlainFolderIcon(bool open) {
  wchar_t temp[MAX_PATH + 1] = {};
  if (!GetTempPathW(MAX_PATH + 1, temp)) return IconByAttributes(L"folder", FILE_ATTRIBUTE_DIRECTORY, open);
  SHFILEINFOW info{};
  UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON;
  if (open) flags |= SHGFI_OPENICON;
  if (!SHGetFileInfoW(temp, 0, &info, sizeof info, flags)) return -1;
  return info.iIcon;
}

// Attributes a folder is customised by (desktop.ini) or that make it something else than an
// ordinary folder.
constexpr DWORD kNotPlainFolder =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT;

}  // namespace

void TKivSharedIcons::Clear() {
  folder_[0] = folder_[1] = -1;
  byExtension_.clear();
}

int TKivSharedIcons::IconOf(TZelnor& navigator, bool open) {
  IShellFolder* folder = navigator.ShellFolder();
  PCItemIDList item = navigator.ItemIdList();
  if (!folder || !item) return -1;
  const ULONG attributes =
      navigator.GetAttributes(SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_LINK | SFGAO_STREAM);
  if (!(attributes & SFGAO_FILESYSTEM) || (attributes & SFGAO_LINK)) return -1;
  // Drives and virtual objects have no find data; the rest tell their attributes cheaply.
  WIN32_FIND_DATAW data{};
  if (!host::HrOk(SHGetDataFromIDListW(folder, item, SHGDFIL_FINDDATA, &data, sizeof data),
                  "SHGetDataFromIDList"))
    return -1;
  if ((attributes & SFGAO_FOLDER) && !(attributes & SFGAO_STREAM))
    data.dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
  else
    data.dwFileAttributes &= ~DWORD(FILE_ATTRIBUTE_DIRECTORY);
  return IconOfFound(host::ToUtf8(data.cFileName), data.dwFileAttributes, open);
}

int TKivSharedIcons::IconOfFound(const host::String& name, DWORD attributes, bool open) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    if (attributes & kNotPlainFolder) return -1;
    int& icon = folder_[open ? 1 : 0];
    if (icon < 0) icon = PlainFolderIcon(open);
    return icon;
  }
  const String extension = host::ExtractFileExt(name);
  if (extension.empty() || HasOwnIcon(extension)) return -1;
  for (const auto& [known, icon] : byExtension_)
    if (host::SameText(known, extension)) return icon;
  const int icon = IconByAttributes(host::ToWide("file" + extension).c_str(),
                                    FILE_ATTRIBUTE_NORMAL, false);
  if (icon >= 0) byExtension_.emplace_back(extension, icon);
  return icon;
}

}  // namespace zelnor
