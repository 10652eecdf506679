// TZelnor: construction, binding to a folder, the current item, enumeration and the filter.
#include "shell/Zelnor.h"

#include "host/core/HResult.h"
#include "host/forms/Application.h"
#include "host/forms/Controls.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

namespace {

// SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN: hidden objects are always listed;
// hiding them is the controls' business.
constexpr SHCONTF kEnumFlags = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN;

// The owner's window when the owner is a windowed control (made now if it has none yet and can
// have one); nullptr otherwise.
HWND OwnerWindow(host::TComponent* owner) {
  auto* control = dynamic_cast<host::TWinControl*>(owner);
  if (!control) return nullptr;
  if (control->HandleAllocated()) return control->HandleIfAllocated();
  try {
    return control->Handle();
  } catch (const host::Exception&) {
    return nullptr;  // a child control without a parent window
  }
}

// True when `path` begins with a drive letter that the system does not have ("Q:\\").
bool HasMissingDrive(const String& path) {
  if (path.size() < 2 || path[1] != ':') return false;
  const char letter = char(path[0] | 0x20);
  if (letter < 'a' || letter > 'z') return false;
  // A root that answers is there; only one that does not is looked up in the drive list,
  // which Wine takes milliseconds to give.
  const wchar_t root[] = {wchar_t(path[0]), L':', L'\\', L'\0'};
  {
    host::ErrorModeGuard mode(SEM_FAILCRITICALERRORS);
    if (GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES) return false;
  }
  return (GetLogicalDrives() & (1u << (letter - 'a'))) == 0;
}

}  // namespace

// Defaults equal the constructor's values, so a stored value always reloads as it was.
// SpecialFolder is written only for a special folder without a selected item: a plain folder
// is carried by Folder (reading SF_FILESYSTEMFOLDER after it would rebind to My Computer), and
// rebinding after ObjectName would drop the item.
HOST_PROPERTIES(TZelnor) {
  p.Str("Filter", &TZelnor::GetFilter, &TZelnor::SetFilter, "*");
  p.Str("Folder", &TZelnor::Folder, &TZelnor::SetDirectory);
  p.Str(
      "ObjectName", [](const TZelnor* z) { return const_cast<TZelnor*>(z)->GetObjectName(); },
      &TZelnor::SetObjectName);
  p.Bool("FileSystemOnly", &TZelnor::FileSystemOnly, &TZelnor::SetFileSystemOnly, false);
  p.Strings("MultiObjects", &TZelnor::MultiObjects);
  p.Bool("ShowErrorMessages", &TZelnor::ShowErrorMessages, &TZelnor::SetShowErrorMessages, true);
  p.Bool("ShowContextMenuOnTop", &TZelnor::ShowContextMenuOnTop,
         &TZelnor::SetShowContextMenuOnTop, false);
  p.Enum("SpecialFolder", KivShellFolderInfo, &TZelnor::GetSpecialFolder,
         &TZelnor::SetSpecialFolder, SF_DRIVES)
      .StoredIf(&TZelnor::IsSpecialFolderStored);
  p.Str("Version", &TZelnor::Version, nullptr).NeverStored();
  p.Event("OnRename", &TZelnor::OnRename);
  p.Event("OnContextMenuSelect", &TZelnor::OnContextMenuSelect);
}

bool TZelnor::IsSpecialFolderStored() const {
  return !item_ && GetSpecialFolder() != SF_FILESYSTEMFOLDER;
}

// ---- Construction

TZelnor::TZelnor(host::TComponent* owner)
    : TComponent(owner),
      multiObjects_(std::make_unique<host::TStringList>()),
      patterns_(std::make_unique<host::TStringList>()) {
  InitializeShell();
  patterns_->Add("*");
  SetDirectory("");
}

TZelnor::~TZelnor() = default;

void TZelnor::Loaded() {
  TComponent::Loaded();
  loaded_ = true;
}

void TZelnor::Initialize() { loaded_ = true; }

HWND TZelnor::GetWinHandle() const {
  if (!showErrorMessages_) return nullptr;
  if (loaded_) {
    if (HWND owner = OwnerWindow(Owner())) return owner;
  }
  return host::Application().Handle();
}

// ---- Binding

void TZelnor::SetDirectory(const String& path) {
  String why;
  if (!TrySetDirectory(path, &why)) throw EZelnorError(why);
}

bool TZelnor::TrySetDirectory(const String& path, String* why) {
  if (!path.empty() && host::SameText(path, folder_)) return true;
  UniquePidl list;
  if (!path.empty()) {
    // A drive the system does not have parses as an empty folder: it is not found.
    if (!HasMissingDrive(path)) {
      list = GetIdListFromPath(nullptr, path);
      if (!list && IsUNCPath(path)) {
        ConnectToServer(path);
        list = GetIdListFromPath(nullptr, path);
      }
    }
  } else {
    PIDLIST_ABSOLUTE drives = nullptr;
    const HRESULT hr = SHGetSpecialFolderLocation(GetWinHandle(), CSIDL_DRIVES, &drives);
    list.reset(drives);
    if (!host::HrOk(hr, "SHGetSpecialFolderLocation")) list.reset();
  }
  if (!list) {
    if (why) *why = GetErrorMessageText(ERROR_PATH_NOT_FOUND) + "\r\n" + path;
    return false;
  }
  // Folder changes only with a successful binding.
  return TrySetFolderIdList(list.get(), why);
}

void TZelnor::SetFolderIdList(PCItemIDList list) {
  String why;
  if (!TrySetFolderIdList(list, &why)) throw EZelnorError(why);
}

bool TZelnor::TrySetFolderIdList(PCItemIDList list, String* why) {
  if (!list) {
    ReleaseDetails();
    folderIdList_.reset();
    DropAbsoluteCache();
    specialFolder_ = -1;
    return true;
  }
  // Copy first: the argument may be one of our own blocks.
  UniquePidl copy = CopyItemIdList(list);
  if (!copy) throw std::bad_alloc();

  // Bound first: a folder that cannot be bound leaves the instance as it was.
  host::ComPtr<IShellFolder> folder;
  if (GetItemIdListDepth(copy.get()) != 0 && !SameItemIdList(copy.get(), DesktopIdList())) {
    if (!host::HrOk(BindFolderIdList(copy.get(), folder), "BindToObject") || !folder) {
      if (why) *why = "Zelnor.SetFolderIDList: Desktop.BindToObject: Could not get Folder";
      return false;
    }
  } else {
    folder = Desktop();
    copy = CopyItemIdList(DesktopIdList());
  }
  String path = GetPathFromPidl(copy.get());
  if (!path.empty() && path.back() != '\\') path += '\\';

  ReleaseDetails();
  DropAbsoluteCache();
  specialFolder_ = -1;
  SetShellfolder(folder.Get());
  folderIdList_ = std::move(copy);
  SetItemIdList(nullptr);
  folder_ = std::move(path);
  return true;
}

UniquePidl TZelnor::GetFolderIdList() const {
  return CopyItemIdList(folderIdList_.get());
}

void TZelnor::SetShellfolder(IShellFolder* folder) {
  enumerator_.Reset();
  // Column providers belong to the folder object.
  ReleaseDetails();
  shellFolder_ = folder;
  objectNameKnown_ = false;
  itemAttributesKnown_ = false;
}

void TZelnor::SetSpecialFolder(TKivShellFolder folder) {
  UniquePidl list = GetIdListFromSpecialFolder(folder);
  // A special folder that cannot be bound leaves the instance as it was.
  if (list) TrySetFolderIdList(list.get());
}

TKivShellFolder TZelnor::GetSpecialFolder() const {
  if (specialFolder_ < 0) specialFolder_ = TestForSpecialFolder(folderIdList_.get());
  return TKivShellFolder(specialFolder_);
}

TKivShellFolder TZelnor::IsSpecialObject() {
  if (!item_) return GetSpecialFolder();
  return TestForSpecialFolder(GetAbsoluteItemIdList());
}

void TZelnor::SetItemIdList(PCItemIDList list) {
  if (list == item_.get()) return;
  UniquePidl copy = CopyItemIdList(list);
  if (list && !copy) throw std::bad_alloc();
  AdoptItem(std::move(copy));
}

void TZelnor::AdoptItem(UniquePidl item) {
  item_ = std::move(item);
  DropAbsoluteCache();
  findData_.cFileName[0] = L'\0';
  subFolders_ = -1;
  objectNameKnown_ = false;
  itemAttributesKnown_ = false;
}

UniquePidl TZelnor::GetItemIdList() const {
  return CopyItemIdList(item_.get());
}

void TZelnor::SetAbsoluteItemIdList(PCItemIDList list) {
  String why;
  if (!TrySetAbsoluteItemIdList(list, &why)) throw EZelnorError(why);
}

bool TZelnor::TrySetAbsoluteItemIdList(PCItemIDList list, String* why) {
  if (!list) return true;
  const int depth = GetItemIdListDepth(list);
  if (depth == 0) {
    SetSpecialFolder(SF_DESKTOP);
    return true;
  }
  UniquePidl parent = GetItemIdListStart(list, depth - 1);
  UniquePidl child = GetItemIdListPart(list, depth - 1);
  if (!TrySetFolderIdList(parent.get(), why)) return false;
  SetItemIdList(child.get());
  return true;
}

PCItemIDList TZelnor::GetAbsoluteItemIdList() {
  if (!absoluteItem_) {
    if (item_)
      absoluteItem_ = ConcatItemIdLists(folderIdList_.get(), item_.get());
    else if (folderIdList_)
      absoluteItem_ = CopyItemIdList(folderIdList_.get());
  }
  return absoluteItem_.get();
}

bool TZelnor::SelectParent() {
  // Our own folder list is replaced on the way: work on a copy.
  UniquePidl folder = GetFolderIdList();
  SetAbsoluteItemIdList(folder.get());
  return true;
}

// ---- Object names

void TZelnor::SetObjectName(const String& value) {
  String why;
  if (!TrySetObjectName(value, &why)) throw EZelnorError(why);
}

bool TZelnor::TrySetObjectName(const String& value, String* why) {
  if (value.empty()) {
    SetItemIdList(nullptr);
    return true;
  }
  String name = value;
  if (name.size() > 3 && name.back() == '\\') name.pop_back();

  if (name.find('\\') == String::npos) {
    UniquePidl list = GetIdListFromPath(shellFolder_.Get(), name);
    if (list) {
      SetItemIdList(list.get());
      return true;
    }
    // Not parseable: look for a child whose parsing or display name it is, from the first.
    enumerator_.Reset();
    while (Next()) {
      if (host::SameText(GetObjectName(), name) || host::SameText(GetShellObjectName(), name)) {
        enumerator_.Reset();
        return true;
      }
    }
    if (why) *why = "Error! Cannot find Object \"" + name + "\" in Folder \"" + folder_ + "\"";
    return false;
  }
  if (IsDrive(name)) {
    if (!TrySetDirectory(name, why)) return false;
    SelectParent();
    return true;
  }
  if (!TrySetDirectory(host::ExtractFilePath(name), why)) return false;
  return TrySetObjectName(host::ExtractFileName(name), why);
}

String TZelnor::GetObjectName() {
  if (!objectNameKnown_) {
    objectName_ = ObjectNameOfItem();
    objectNameKnown_ = true;
  }
  return objectName_;
}

String TZelnor::ObjectNameOfItem() {
  if (!folderIdList_ || !item_) return {};
  // A file-system child of a file-system folder is known to be one from its attributes, read
  // with the others in one call; any other object, by whether it has find data, a call of its
  // own for every child of a filling.
  const bool fileSystemChild =
      !folder_.empty() && GetAttributes(SFGAO_FILESYSTEM) == SFGAO_FILESYSTEM;
  if (fileSystemChild || FetchFindData()) {
    // The find data's name can lose letters outside the ANSI code page (Wine rebuilds it from
    // the list's ANSI name); the parsing name within the folder is the same name, exactly.
    STRRET parsing{};
    if (host::HrOk(shellFolder_->GetDisplayNameOf(item_.get(), SHGDN_INFOLDER | SHGDN_FORPARSING,
                                                  &parsing),
                   "GetDisplayNameOf")) {
      String name = GetStringFromStrRet(item_.get(), parsing);
      FreeStrRet(parsing);
      if (!name.empty() && name.find_first_of("\\:") == String::npos) return name;
    }
    if (FetchFindData()) return host::ToUtf8(findData_.cFileName);
  }
  PCItemIDList absolute = GetAbsoluteItemIdList();
  if (GetItemIdListDepth(absolute) <= 1) return {};
  const String path = GetPathFromPidl(absolute);
  if (path.empty()) return GetDomain();
  // A drive root keeps its backslash: "C:\".
  if (host::ExtractFileDrive(path) == path.substr(0, path.size() - 1)) return path;
  String result = host::ExtractFileName(path);
  if (result.empty()) result = GetDomain();
  return result;
}

bool TZelnor::FetchFindData(bool always) {
  if (!item_ || !shellFolder_) return false;
  if (!always && findData_.cFileName[0] != L'\0') return true;
  WIN32_FIND_DATAW data{};
  if (!host::HrOk(SHGetDataFromIDListW(shellFolder_.Get(), item_.get(), SHGDFIL_FINDDATA, &data,
                                       sizeof data),
                  "SHGetDataFromIDList")) {
    findData_.cFileName[0] = L'\0';
    return false;
  }
  findData_ = data;
  return findData_.cFileName[0] != L'\0';
}

// ---- Enumeration

bool TZelnor::Next() {
  {
    host::ErrorModeGuard mode(showErrorMessages_ ? 0 : SEM_FAILCRITICALERRORS);
    if (!enumerator_) {
      if (!shellFolder_) return false;
      host::ComPtr<IEnumIDList> enumerator;
      if (!host::HrOk(shellFolder_->EnumObjects(GetWinHandle(), kEnumFlags, &enumerator),
                      "EnumObjects") ||
          !enumerator)
        return false;
      enumerator_ = enumerator;
    }
  }
  while (enumerator_) {
    PITEMID_CHILD fetched = nullptr;
    const HRESULT hr = enumerator_->Next(1, &fetched, nullptr);
    UniquePidl child{fetched};
    if (hr != S_OK || !child) {
      enumerator_.Reset();
      return false;
    }
    // Any error while a child is tested drops that child, whatever raised it: the folder's own
    // code runs inside these tests.
    try {
      AdoptItem(std::move(child));
      if (fileSystemOnly_ && !PassesFileSystemOnly()) continue;
      if (FilterMatch()) return true;
    } catch (const std::exception&) {
      AdoptItem(nullptr);
    }
  }
  return false;
}

// With FileSystemOnly: file-system objects and their ancestors, plus a drive's recycle folder,
// My Computer and the Network folder, and the servers of the Network folder.
bool TZelnor::PassesFileSystemOnly() {
  if (GetAttributes(SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR) != 0) return true;
  const String name = GetObjectName();
  if (host::UpperCase(name.substr(0, 7)) == "RECYCLE") return true;
  const bool inNetwork = GetSpecialFolder() == SF_NETWORK;
  if (inNetwork) return !name.empty();
  const TKivShellFolder special = IsSpecialObject();
  return special == SF_DRIVES || special == SF_NETWORK;
}

void TZelnor::SetFilter(const String& value) {
  patterns_->Clear();
  String text = value.empty() ? String("*;") : value;
  if (text.back() != ';') text += ';';
  size_t start = 0;
  for (size_t end = text.find(';'); end != String::npos; end = text.find(';', start)) {
    patterns_->Add(text.substr(start, end - start));
    start = end + 1;
  }
}

String TZelnor::GetFilter() const {
  String result;
  for (int i = 0; i < patterns_->Count(); ++i) {
    if (i) result += ';';
    result += patterns_->Strings(i);
  }
  return result;
}

bool TZelnor::FilterMatch() {
  if (IsFolder()) return true;
  const String name = GetObjectName();
  for (int i = 0; i < patterns_->Count(); ++i)
    if (MatchPattern(name, patterns_->Strings(i))) return true;
  return false;
}

bool TZelnor::ConnectToServer(const String& path) {
  String server;
  if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
    const size_t end = path.find('\\', 2);
    server = path.substr(2, end == String::npos ? String::npos : end - 2);
  }
  UniquePidl list = GetIdListFromPath(nullptr, "\\\\" + server);
  if (!list) return false;
  host::ComPtr<IShellFolder> folder;
  if (!host::HrOk(Desktop()->BindToObject(list.get(), nullptr, IID_PPV_ARGS(&folder)),
                  "BindToObject") ||
      !folder)
    return false;
  // Listing the server lets the shell show its log-on dialog.
  host::ComPtr<IEnumIDList> enumerator;
  if (!host::HrOk(folder->EnumObjects(host::Application().Handle(), kEnumFlags, &enumerator),
                  "EnumObjects") ||
      !enumerator)
    return false;
  PITEMID_CHILD first = nullptr;
  const bool listed = enumerator->Next(1, &first, nullptr) == S_OK;
  UniquePidl child{first};
  return listed;
}

}  // namespace zelnor
