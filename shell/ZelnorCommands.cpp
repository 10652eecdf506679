// TZelnor: UI objects of the item or of a group of objects, and the commands: the shell's context
// menu merged with an application menu, verbs without a menu, rename, browsing into a folder item,
// the folder and network-connection dialogs.
//
// The shell's context-menu items take the identifiers 1 to 0x7FFF; host menu items take theirs
// from 0x8000, so both live in one menu and a chosen identifier tells whose item it was.
#include "shell/Zelnor.h"

#include <winnetwk.h>

#include <unordered_map>

#include "host/core/HResult.h"
#include "host/core/Raii.h"
#include "host/forms/Application.h"
#include "host/forms/Menus.h"
#include "host/forms/MessageDialogs.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

namespace {

constexpr UINT kFirstShellCommand = 1;
constexpr UINT kLastShellCommand = 0x7FFF;

// "C:\x" and "\\server\share\x" are full paths; a drive alone is a name of My Computer.
bool IsFullPath(const String& name) {
  if (name.size() > 3 && name[1] == ':' && name[2] == '\\') return true;
  return name.size() > 2 && name[0] == '\\' && name[1] == '\\';
}

bool IsDriveName(const String& name) { return name.size() >= 2 && name[1] == ':' && IsDrive(name); }

bool ObjectExists(const String& path) {
  if (IsDrive(path)) return true;
  if (!IsFullPath(path)) return false;
  WideString wide = host::ToWide(path);
  if (wide.size() >= MAX_PATH && wide.compare(0, 2, L"\\\\") != 0) wide = L"\\\\?\\" + wide;
  return GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The language-independent verb of a shell item; empty for items without one.
String CommandVerb(IContextMenu* menu, UINT command) {
  wchar_t verb[260] = {};
  if (!host::HrOk(menu->GetCommandString(command - kFirstShellCommand, GCS_VERBW, nullptr,
                                         reinterpret_cast<LPSTR>(verb), UINT(std::size(verb))),
                  "GetCommandString"))
    return {};
  verb[std::size(verb) - 1] = L'\0';
  return host::ToUtf8(verb);
}

bool IsRestrictedVerb(const String& verb) {
  return host::SameText(verb, "delete") || host::SameText(verb, "cut") ||
         host::SameText(verb, "paste");
}

// Walks a menu and its copy side by side, noting which original each copied item stands for.
void MapCopies(host::TMenuItem* original, host::TMenuItem* copy,
               std::unordered_map<UINT, host::TMenuItem*>& originals) {
  originals[copy->Command()] = original;
  for (int i = 0; i < original->Count() && i < copy->Count(); ++i)
    MapCopies(original->Items(i), copy->Items(i), originals);
}

}  // namespace

// ---- UI objects

String TZelnor::FirstObjectPath() {
  if (multiObjects_->Count() == 0) return folder_ + GetObjectName();
  const String name = multiObjects_->Strings(0);
  return IsFullPath(name) || IsDriveName(name) ? name : folder_ + name;
}

HRESULT TZelnor::UIObjectLists(host::ComPtr<IShellFolder>& folder, std::vector<UniquePidl>& lists) {
  folder = shellFolder_;
  if (!shellFolder_) return E_FAIL;
  if (multiObjects_->Count() == 0) {
    if (!item_) return E_FAIL;
    lists.emplace_back(CopyItemIdList(item_.get()));
    return S_OK;
  }
  // Where each object lies: this folder, My Computer (drives), or the folder of a full path. A
  // command acts on the objects of one folder only.
  const String kMyComputer = "::drives";
  const String here =
      folder_.empty() ? (GetSpecialFolder() == SF_DRIVES ? kMyComputer : String{}) : folder_;
  std::vector<String> names;
  String parent;
  for (int i = 0; i < multiObjects_->Count(); ++i) {
    const String name = multiObjects_->Strings(i);
    String where = here, child = name;
    if (IsDriveName(name)) {
      where = kMyComputer;
      child = host::IncludeTrailingBackslash(name);
    } else if (IsFullPath(name) || (!folder_.empty() && name.find('\\') != String::npos)) {
      const String full = host::ExcludeTrailingBackslash(IsFullPath(name) ? name : folder_ + name);
      where = host::ExtractFilePath(full);
      child = host::ExtractFileName(full);
    }
    if (i == 0) parent = where;
    if (!host::SameText(where, parent)) return E_INVALIDARG;
    names.push_back(child);
  }

  if (host::SameText(parent, here)) {
    // Names the shell cannot parse are looked up by SetObjectName, which moves the item (and,
    // for some names, the folder): both come back on every path.
    UniquePidl savedFolder = GetFolderIdList();
    host::ComPtr<IShellFolder> savedShellFolder = shellFolder_;
    UniquePidl savedItem = CopyItemIdList(item_.get());
    auto restore = host::ScopeExit([&] {
      if (shellFolder_ != savedShellFolder) {
        try {
          SetFolderIdList(savedFolder.get());
        } catch (const host::Exception&) {
          // The folder was bound a moment ago; it stays as it is when it cannot be bound again.
        }
      }
      AdoptItem(std::move(savedItem));
    });
    for (const String& name : names) {
      UniquePidl list = GetIdListFromPath(shellFolder_.Get(), name);
      if (!list) {
        SetObjectName(name);
        if (shellFolder_ != savedShellFolder) return E_INVALIDARG;
        list = CopyItemIdList(item_.get());
      }
      if (list) lists.push_back(std::move(list));
    }
    return lists.empty() ? E_FAIL : S_OK;
  }

  // Objects of another folder: a navigator of their own finds them, this one stays as it is.
  TZelnor other;
  other.SetShowErrorMessages(showErrorMessages_);
  other.SetDirectory(parent == kMyComputer ? String{} : parent);
  for (const String& name : names) {
    UniquePidl list = GetIdListFromPath(other.ShellFolder(), name);
    if (!list) {
      other.SetObjectName(name);
      list = other.GetItemIdList();
    }
    if (list) lists.push_back(std::move(list));
  }
  folder = other.ShellFolder();
  return lists.empty() ? E_FAIL : S_OK;
}

void TZelnor::GetUIObject(REFIID iid, void** object) {
  *object = nullptr;
  // MultiObjects applies to one command only, whatever its outcome.
  auto clear = host::ScopeExit([this] { multiObjects_->Clear(); });
  host::ComPtr<IShellFolder> folder;
  std::vector<UniquePidl> lists;
  HRESULT hr = UIObjectLists(folder, lists);
  if (SUCCEEDED(hr)) {
    std::vector<PCUITEMID_CHILD> items;
    for (const UniquePidl& list : lists) items.push_back(list.get());
    hr = folder->GetUIObjectOf(GetWinHandle(), UINT(items.size()), items.data(), iid, nullptr,
                               object);
  }
  if (!host::HrOk(hr, "GetUIObjectOf")) *object = nullptr;
}

// ---- Context menu

HRESULT TZelnor::InvokeVerb(IContextMenu* menu, LPCSTR verb) {
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof info;
  info.fMask = showErrorMessages_ ? 0 : CMIC_MASK_FLAG_NO_UI;
  info.hwnd = GetWinHandle();
  info.lpVerb = verb;
  info.nShow = SW_SHOWNORMAL;
  return menu->InvokeCommand(&info);
}

String TZelnor::ShowContextMenu(POINT point, host::TPopupMenu* menu) {
  const String firstPath = FirstObjectPath();
  host::ComPtr<IContextMenu> contextMenu;
  GetUIObject(contextMenu);
  if (!contextMenu) return {};

  String result;
  host::TMenuItem* chosenHostItem = nullptr;
  {
    // The menu copy and the shell's menu are held while the menu is open, for
    // HandlePopupMessages, and let go on every path.
    auto release = host::ScopeExit([this] {
      contextMenu2_.Reset();
      popupCopy_.reset();
      copiedItems_.clear();
    });
    contextMenu.As(&contextMenu2_);
    if (menu && menu->OnPopup) menu->OnPopup(menu);

    popupCopy_ = std::make_unique<host::TPopupMenu>();
    if (menu) {
      for (int i = 0; i < menu->Items()->Count(); ++i) {
        host::TMenuItem* copy = host::CopyMenuItem(menu->Items()->Items(i));
        popupCopy_->Items()->Add(copy);
        MapCopies(menu->Items()->Items(i), copy, copiedItems_);
      }
      popupCopy_->SetImages(menu->Images());
    }
    HMENU handle = popupCopy_->Handle();
    const UINT hostCount = UINT(GetMenuItemCount(handle));
    const UINT flags = CMF_EXPLORE | (OnRename ? CMF_CANRENAME : 0);
    if (!host::HrOk(contextMenu->QueryContextMenu(handle, showContextMenuOnTop_ ? 0 : hostCount,
                                                  kFirstShellCommand, kLastShellCommand, flags),
                    "QueryContextMenu"))
      return {};

    UINT command = 0;
    {
      host::UniqueHiddenWindow window{
          host::AllocateHWnd([this](host::TMessage& m) { HandlePopupMessages(m); })};
      command = UINT(TrackPopupMenu(handle, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, 0,
                                    window.get(), nullptr));
    }
    if (auto it = copiedItems_.find(command); it != copiedItems_.end()) {
      chosenHostItem = it->second;
    } else if (command >= kFirstShellCommand && command <= kLastShellCommand) {
      const String verb = CommandVerb(contextMenu.Get(), command);
      result = verb;
      bool execute = true;
      if (OnContextMenuSelect)
        OnContextMenuSelect(verb, execute);
      else
        execute = !(restrictedVerbs_ && IsRestrictedVerb(verb));
      if (!execute) {
        result.clear();
      } else if (host::SameText(verb, "rename") && OnRename) {
        OnRename(this);
      } else if (!host::HrOk(
                     InvokeVerb(contextMenu.Get(), MAKEINTRESOURCEA(command - kFirstShellCommand)),
                     "InvokeCommand")) {
        result.clear();
      }
    }
  }
  // The application's own item runs once the menu and its copy are gone.
  if (chosenHostItem) chosenHostItem->Click();
  if (host::UpperCase(result) == "DELETE" && ObjectExists(firstPath)) result.clear();
  return result;
}

HRESULT TZelnor::InvokeDefaultVerb(IContextMenu* contextMenu) {
  HRESULT hr = E_FAIL;
  if (multiObjects_->Count() == 0 && item_ && !IsFolder()) {
    // One file is run as a double click runs it: the shell finds its default command by the
    // item's list (Wine's menu command of a file answers S_OK and starts nothing).
    hr = ExecuteItem();
  } else {
    hr = InvokeMenuDefault(contextMenu);
  }
  if (FAILED(hr) && showErrorMessages_ && HRESULT_CODE(hr) != ERROR_CANCELLED)
    host::MessageDlg(host::ExtractFileName(FirstObjectPath()) + ": " +
                         host::Trim(host::SysErrorMessage(DWORD(HRESULT_CODE(hr)))),
                     host::mtError, host::MsgButtons({host::mbOK}));
  return hr;
}

HRESULT TZelnor::InvokeMenuDefault(IContextMenu* contextMenu) {
  host::UniqueMenu menu{CreatePopupMenu()};
  HRESULT hr = contextMenu->QueryContextMenu(menu.get(), 0, kFirstShellCommand, kLastShellCommand,
                                             CMF_DEFAULTONLY);
  UINT id = SUCCEEDED(hr) ? GetMenuDefaultItem(menu.get(), FALSE, 0) : UINT(-1);
  host::UniqueMenu full{CreatePopupMenu()};
  if (id == UINT(-1)) {
    // Some shells add nothing for CMF_DEFAULTONLY: take the default item of the whole menu.
    hr = contextMenu->QueryContextMenu(full.get(), 0, kFirstShellCommand, kLastShellCommand,
                                       CMF_NORMAL);
    id = SUCCEEDED(hr) ? GetMenuDefaultItem(full.get(), FALSE, 0) : UINT(-1);
  }
  if (id == UINT(-1) || id < kFirstShellCommand || id > kLastShellCommand)
    return FAILED(hr) ? hr : HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION);
  return InvokeVerb(contextMenu, MAKEINTRESOURCEA(id - kFirstShellCommand));
}

HRESULT TZelnor::ExecuteItem() {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // Our own message tells of a failure, the same on every platform.
  info.fMask = SEE_MASK_IDLIST | SEE_MASK_FLAG_NO_UI;
  info.hwnd = GetWinHandle();
  info.lpIDList = const_cast<LPITEMIDLIST>(GetAbsoluteItemIdList());
  info.nShow = SW_SHOWNORMAL;
  if (!info.lpIDList) return E_FAIL;
  if (ShellExecuteExW(&info)) return S_OK;
  const DWORD error = GetLastError();
  return HRESULT_FROM_WIN32(error ? error : ERROR_NO_ASSOCIATION);
}

bool TZelnor::InvokeContextMenuCommand(const String& verb) {
  // MultiObjects applies to this command only, also when it stops early.
  auto clear = host::ScopeExit([this] { multiObjects_->Clear(); });
  bool execute = true;
  if (OnContextMenuSelect) OnContextMenuSelect(verb, execute);
  if (!execute || (!item_ && multiObjects_->Count() == 0) || !shellFolder_) return false;
  const String command = verb.empty() ? String("default") : verb;
  const bool isDelete = host::SameText(command, "delete");
  if (isDelete && multiObjects_->Count() == 0 &&
      !(GetAttributes(SFGAO_CANDELETE) & SFGAO_CANDELETE))
    return false;

  host::CursorGuard hourglass;
  const String firstPath = FirstObjectPath();
  host::ComPtr<IContextMenu> contextMenu;
  GetUIObject(contextMenu);
  if (!contextMenu) return false;

  HRESULT hr = S_OK;
  if (host::SameText(command, "default")) {
    hr = InvokeDefaultVerb(contextMenu.Get());
  } else if (host::SameText(command, "rename") && OnRename) {
    OnRename(this);
  } else {
    host::UniqueMenu menu{CreatePopupMenu()};
    hr = contextMenu->QueryContextMenu(menu.get(), 0, kFirstShellCommand, kLastShellCommand,
                                       CMF_EXPLORE);
    if (SUCCEEDED(hr)) hr = InvokeVerb(contextMenu.Get(), command.c_str());
  }
  if (!host::HrOk(hr, "InvokeCommand")) return false;
  return !(isDelete && ObjectExists(firstPath));
}

void TZelnor::HandlePopupMessages(host::TMessage& m) {
  if (!contextMenu2_ || !popupCopy_ || host::Application().Terminated()) {
    host::DefaultHandler(m);
    return;
  }
  HMENU root = popupCopy_->Items()->HandleIfAllocated();
  // Whether a submenu, or an entry, is one of the copied host items rather than the shell's.
  auto hostSubmenu = [&](HMENU submenu) {
    return submenu != root &&
           popupCopy_->FindItem(reinterpret_cast<UINT_PTR>(submenu), host::fkHandle) != nullptr;
  };
  auto hostCommand = [](UINT id) { return id < kFirstShellCommand || id > kLastShellCommand; };
  auto toShell = [&] { contextMenu2_->HandleMenuMsg(m.Msg, m.WParam, m.LParam); };
  switch (m.Msg) {
    case WM_INITMENUPOPUP: {
      const auto submenu = reinterpret_cast<HMENU>(m.WParam);
      // The whole menu concerns both; a submenu belongs to one of them.
      if (!hostSubmenu(submenu)) toShell();
      if (submenu == root || hostSubmenu(submenu)) host::DispatchMenuMessage(m);
      m.Result = 0;
      return;
    }
    case WM_DRAWITEM:
    case WM_MEASUREITEM: {
      const UINT id = m.Msg == WM_DRAWITEM ? reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam)->itemID
                                           : reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam)->itemID;
      if (hostCommand(id) && host::DispatchMenuMessage(m)) return;
      toShell();
      m.Result = TRUE;
      return;
    }
    case WM_MENUSELECT: {
      const UINT id = LOWORD(m.WParam), flags = HIWORD(m.WParam);
      const auto menu = reinterpret_cast<HMENU>(m.LParam);
      m.Result = 0;
      if (flags == 0xFFFF && !menu) {
        host::Application().SetHint(String{});
        return;
      }
      if (!(flags & MF_POPUP) && !hostCommand(id)) {
        wchar_t help[261] = {};
        if (!host::HrOk(
                contextMenu2_->GetCommandString(id - kFirstShellCommand, GCS_HELPTEXTW, nullptr,
                                                reinterpret_cast<LPSTR>(help), 261),
                "GetCommandString"))
          help[0] = L'\0';
        help[260] = L'\0';
        host::Application().SetHint(host::ToUtf8(help));
        return;
      }
      host::TMenuItem* item =
          (flags & MF_POPUP)
              ? popupCopy_->FindItem(reinterpret_cast<UINT_PTR>(GetSubMenu(menu, int(id))),
                                     host::fkHandle)
              : popupCopy_->FindItem(id, host::fkCommand);
      host::Application().SetHint(item ? host::GetLongHint(item->Hint()) : String{});
      return;
    }
    default:
      host::DefaultHandler(m);
  }
}

// ---- Rename and browse

bool TZelnor::CanRename() { return (GetAttributes(SFGAO_CANRENAME) & SFGAO_CANRENAME) != 0; }

void TZelnor::RenameObject(String& name) {
  if (!item_ || !shellFolder_) {
    name = GetShellObjectName();
    return;
  }
  host::CursorGuard hourglass;
  PITEMID_CHILD renamed = nullptr;
  const WideString wide = host::ToWide(name);
  const HRESULT hr =
      shellFolder_->SetNameOf(GetWinHandle(), item_.get(), wide.c_str(), SHGDN_INFOLDER, &renamed);
  UniquePidl owned{renamed};
  if (host::HrOk(hr, "SetNameOf") && owned) AdoptItem(std::move(owned));
  name = GetShellObjectName();
}

bool TZelnor::TryRenameObject(String& name, String* why) {
  auto refuse = [&](const String& reason) {
    if (why) *why = reason;
    name = GetShellObjectName();
    return false;
  };
  if (!item_ || !shellFolder_) return refuse("The object cannot be renamed.");
  // A file-system name cannot hold these; the shell would take some of them as a path.
  constexpr std::string_view kForbidden = "\\/:*?\"<>|";
  const bool fileSystem = !Folder().empty();
  if (fileSystem && name.find_first_of(kForbidden) != String::npos)
    return refuse(
        "A file name can't contain any of the following characters:\n\\ / : * ? \" < > |");
  if (host::Trim(name).empty()) return refuse("You must type a file name.");
  if (fileSystem && !host::SameText(name, GetObjectName())) {
    const String target = host::IncludeTrailingBackslash(Folder()) + name;
    if (host::FileExists(target) || host::DirectoryExists(target))
      return refuse("There is already a file with the same name in this location.");
  }
  host::CursorGuard hourglass;
  PITEMID_CHILD renamed = nullptr;
  const WideString wide = host::ToWide(name);
  const HRESULT hr =
      shellFolder_->SetNameOf(nullptr, item_.get(), wide.c_str(), SHGDN_INFOLDER, &renamed);
  UniquePidl owned{renamed};
  if (FAILED(hr)) {
    String text = HRESULT_FACILITY(hr) == FACILITY_WIN32
                      ? host::SysErrorMessage(DWORD(HRESULT_CODE(hr)))
                      : String{};
    if (host::Trim(text).empty())
      text = "The name \"" + name + "\" cannot be given to this object.";
    return refuse(host::Trim(text));
  }
  if (owned) AdoptItem(std::move(owned));
  name = GetShellObjectName();
  return true;
}

bool TZelnor::BrowseObject() {
  if (!IsFolder()) return false;
  // Our own item and folder change on the way: work on a copy.
  UniquePidl absolute = CopyItemIdList(GetAbsoluteItemIdList());
  SetFolderIdList(absolute.get());
  return shellFolder_ != nullptr;
}

bool TZelnor::TryBrowseObject() {
  if (!IsFolder()) return false;
  UniquePidl absolute = CopyItemIdList(GetAbsoluteItemIdList());
  return TrySetFolderIdList(absolute.get()) && shellFolder_ != nullptr;
}

bool TZelnor::BrowseForFolder(const String& title) {
  wchar_t displayName[MAX_PATH] = {};
  const WideString wideTitle = host::ToWide(title);
  BROWSEINFOW info{};
  info.hwndOwner = GetWinHandle();
  info.pszDisplayName = displayName;
  info.lpszTitle = wideTitle.c_str();
  info.ulFlags = fileSystemOnly_ ? BIF_RETURNONLYFSDIRS : 0;
  UniquePidl chosen{SHBrowseForFolderW(&info)};
  if (!chosen) return false;
  SetFolderIdList(chosen.get());
  return true;
}

bool TZelnor::ShowNetConnectionDialog() {
  return WNetConnectionDialog(GetWinHandle(), RESOURCETYPE_DISK) == NO_ERROR;
}

}  // namespace zelnor
