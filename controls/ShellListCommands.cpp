// TKivShellList: shell commands on the selected items and on the shown folder, the context
// menus, the operation reports, cut marks, renaming in place, new folders and the list of
// selected names.
#include "controls/ShellList.h"

#include <windowsx.h>
#include <shlobj.h>

#include "host/forms/Application.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

using host::TListItem;

namespace {

constexpr char kNewFolderName[] = "New Folder";

bool IsVerb(const String& command, const char* verb) { return host::SameText(command, verb); }

std::unique_ptr<host::TStrings> OneFile(const String& path) {
  auto files = std::make_unique<host::TStringList>();
  files->Add(path);
  return files;
}

std::unique_ptr<host::TStrings> ClipboardFiles() {
  return std::unique_ptr<host::TStrings>(GetFilenamesFromClipboard());
}

}  // namespace

// ---- Selected names

void TKivShellList::InvalidateSelectedFiles() {
  selectedFilesValid_ = false;
  if (!selectedFiles_ || selectedFiles_->Count() == 0) return;
  // The application's handler of the list hears only its own edits.
  auto busy = core_.Busy();
  selectedFiles_->Clear();
}

host::TStrings* TKivShellList::SelectedFiles() {
  if (!selectedFiles_) {
    selectedFiles_ = std::make_unique<host::TStringList>();
    selectedFiles_->OnChange = [this](host::TObject*) { SelectedListChange(); };
  }
  if (selectedFilesValid_) return selectedFiles_.get();
  auto busy = core_.Busy();
  host::UpdateGuard update(*selectedFiles_);
  selectedFiles_->Clear();
  for (TListItem* item = GetNextItem(nullptr, host::sdAll, host::ItemStateBit(host::isSelected));
       item; item = GetNextItem(item, host::sdAll, host::ItemStateBit(host::isSelected))) {
    TKivShellListItem* data = ItemData(item);
    if (!data || data->parentFolder) continue;
    selectedFiles_->Add(data->parsingName.empty() ? item->Caption() : data->parsingName);
  }
  selectedFilesValid_ = true;
  return selectedFiles_.get();
}

void TKivShellList::SelectedListChange() {
  if (core_.IsBusy()) return;
  const std::vector<String> names = [this] {
    std::vector<String> all;
    for (int i = 0; i < selectedFiles_->Count(); ++i) all.push_back(selectedFiles_->Strings(i));
    return all;
  }();
  {
    auto busy = core_.Busy();
    ClearSelection();
    IShellFolder* shown = Navigator()->ShellFolder();
    for (const String& name : names) {
      // A name that is not in the folder selects nothing.
      if (!Navigator()->TrySetObjectName(name)) continue;
      // A full path elsewhere moves the navigator: it comes back, and the name selects nothing.
      if (Navigator()->ShellFolder() != shown) {
        Navigator()->SetFolderIdList(GetFolderIdList());
        shown = Navigator()->ShellFolder();
        continue;
      }
      SelectPIDL(Navigator()->ItemIdList());
    }
  }
  // The list now says what is selected, in the items' order.
  selectedFilesValid_ = false;
}

int64_t TKivShellList::SelectedFilesSize() {
  int64_t total = 0;
  for (TListItem* item = GetNextItem(nullptr, host::sdAll, host::ItemStateBit(host::isSelected));
       item; item = GetNextItem(item, host::sdAll, host::ItemStateBit(host::isSelected))) {
    TKivShellListItem* data = ItemData(item);
    if (!data || data->parentFolder) continue;
    PointNavigatorAt(item);
    const int64_t size = Navigator()->GetFileSize();
    if (size > 0) total += size;
  }
  return total;
}

std::unique_ptr<host::TStrings> TKivShellList::SelectedPaths() {
  auto paths = std::make_unique<host::TStringList>();
  const String folder = Navigator()->Folder();
  host::TStrings* names = SelectedFiles();
  for (int i = 0; i < names->Count(); ++i) paths->Add(folder + names->Strings(i));
  return paths;
}

// ---- Cut marks

void TKivShellList::ClearCutMarks() {
  for (int i = 0; i < Items()->Count(); ++i) {
    TListItem* item = Items()->Item(i);
    TKivShellListItem* data = ItemData(item);
    if (!data || !data->cutToClipboard) continue;
    data->cutToClipboard = false;
    item->SetCut(data->hidden);
  }
}

void TKivShellList::MarkSelectedCut() {
  // The clipboard holds the latest cut only.
  ClearCutMarks();
  for (TListItem* item = GetNextItem(nullptr, host::sdAll, host::ItemStateBit(host::isSelected));
       item; item = GetNextItem(item, host::sdAll, host::ItemStateBit(host::isSelected))) {
    TKivShellListItem* data = ItemData(item);
    if (!data || data->parentFolder) continue;
    data->cutToClipboard = true;
    item->SetCut(true);
  }
}

// ---- Verbs

void TKivShellList::PrepareNavigatorForCommand() {
  core_.PrepareNavigatorForCommand(
      ReadOnly(), [this] { HandleRenameEvent(); }, OnContextMenuSelect);
}

void TKivShellList::HandleRenameEvent() {
  // Of several selected items the focused one, as the user sees it.
  TListItem* item = ItemFocused();
  if (!item || !item->Selected()) item = Selected();
  if (item) item->EditCaption();
}

bool TKivShellList::PrepareMultiObjects() {
  if (SelCount() == 0) return false;
  host::TStrings* names = SelectedFiles();
  for (int i = 0; i < names->Count(); ++i) Navigator()->MultiObjects()->Add(names->Strings(i));
  return names->Count() > 0;
}

bool TKivShellList::InvokeCommandOnSelected(const String& command) {
  TListItem* selected = Selected();
  if (!selected) return false;
  if (SelCount() == 1 && ItemData(selected) && ItemData(selected)->parentFolder) {
    if (host::UpperCase(command) == "DEFAULT") GoUp();
    return true;
  }
  PrepareNavigatorForCommand();
  const bool paste = IsVerb(command, "paste");
  const bool remove = IsVerb(command, "delete");
  std::unique_ptr<host::TStrings> files = paste    ? ClipboardFiles()
                                          : remove ? SelectedPaths()
                                                   : nullptr;
  // A paste into the one selected folder lands there, else in the shown folder.
  String destination = Navigator()->Folder();

  bool done = false;
  if (SelCount() == 1) {
    PointNavigatorAt(selected);
    if (paste) destination = GetFullPath(selected);
    if (!IsVerb(command, "default") && !IsVerb(command, "open")) {
      done = Navigator()->InvokeContextMenuCommand(command);
    } else {
      const String target = Navigator()->IsLinkToFolder();
      if (Navigator()->IsFolder()) {
        done = Navigator()->BrowseObject();
        if (done) {
          InformPathChanged();
          Refresh();
        }
      } else if (!target.empty() && host::DirectoryExists(target)) {
        Navigator()->SetDirectory(target);
        Refresh();
        InformPathChanged();
        done = true;
      } else {
        done = Navigator()->InvokeContextMenuCommand(command);
      }
    }
  } else {
    PrepareMultiObjects();
    done = Navigator()->InvokeContextMenuCommand(command);
  }
  if (!done) return false;

  if (remove) {
    Operation(ShellOperations({sopDelete, sopRemove}), std::move(files), {});
    if (!automaticRefresh_) FileChange(this);
  } else if (paste) {
    const TKivShellOperations operations = PasteOperations(files.get());
    Operation(operations, std::move(files), destination);
  } else if (IsVerb(command, "cut")) {
    MarkSelectedCut();
  } else if (IsVerb(command, "copy")) {
    ClearCutMarks();
  }
  return true;
}

bool TKivShellList::InvokeCommandOnFolder(const String& command) {
  const bool paste = IsVerb(command, "paste");
  std::unique_ptr<host::TStrings> files = paste ? ClipboardFiles() : nullptr;
  bool done = false;
  {
    // The shown folder as an item of its parent.
    TZelnor folder;
    folder.SetShowErrorMessages(Navigator()->ShowErrorMessages());
    folder.Initialize();
    folder.OnContextMenuSelect = OnContextMenuSelect;
    // A folder that cannot be bound again runs nothing.
    if (folder.TrySetFolderIdList(GetFolderIdList())) {
      folder.SelectParent();
      done = folder.InvokeContextMenuCommand(command);
    }
  }
  if (done && paste && files && files->Count() > 0) {
    const TKivShellOperations operations = PasteOperations(files.get());
    Operation(operations, std::move(files), Navigator()->Folder());
  }
  FileChange(this);
  return done;
}

// ---- Context menus

void TKivShellList::ShowContextMenu(POINT point, String& command) {
  command.clear();
  TListItem* selected = Selected();
  if (!PrepareMultiObjects()) return;
  PrepareNavigatorForCommand();
  std::unique_ptr<host::TStrings> clipboard = ClipboardFiles();
  std::unique_ptr<host::TStrings> paths = SelectedPaths();
  // A paste chosen on the menu of one folder item lands in that folder.
  const String destination =
      SelCount() == 1 && selected ? GetFullPath(selected) : Navigator()->Folder();
  command = Navigator()->ShowContextMenu(point, PopupMenu());
  if (IsVerb(command, "delete")) {
    Operation(ShellOperations({sopDelete, sopRemove}), std::move(paths), {});
  } else if (IsVerb(command, "undelete")) {
    FileChange(this);
  } else if (IsVerb(command, "paste")) {
    const TKivShellOperations operations = PasteOperations(clipboard.get());
    Operation(operations, std::move(clipboard), destination);
  } else if (IsVerb(command, "cut")) {
    MarkSelectedCut();
  } else if (IsVerb(command, "copy")) {
    ClearCutMarks();
  }
}

bool TKivShellList::ShowBackgroundMenu(POINT point) {
  if (!backgroundPopupMenu_) return false;
  backgroundPopupMenu_->SetPopupComponent(this);
  backgroundPopupMenu_->Popup(point.x, point.y);
  return true;
}

void TKivShellList::SetBackgroundPopupMenu(host::TPopupMenu* menu) {
  if (menu == backgroundPopupMenu_) return;
  if (backgroundPopupMenu_) backgroundPopupMenu_->RemoveFreeNotification(this);
  backgroundPopupMenu_ = menu;
  if (menu) menu->FreeNotification(this);
}

POINT TKivShellList::BottomRightOfSelection() { return TKivShellViewCore::ListSelectionCorner(*this); }

void TKivShellList::WMContextMenu(host::TMessage& message) {
  POINT point{};
  TListItem* item = TKivShellViewCore::ListMenuItem(*this, message, point, [this](POINT client) {
    MouseUp(host::mbRight, host::KeyboardShiftState(), client.x, client.y);
  });
  if (item && shellContextMenu_) {
    String command;
    ShowContextMenu(point, command);
    message.Result = 1;
    return;
  }
  if (!item && ShowBackgroundMenu(point)) {
    message.Result = 1;
    return;
  }
  host::TCustomListView::WndProc(message);
}

// ---- Reports

void TKivShellList::Operation(TKivShellOperations operations, std::unique_ptr<host::TStrings> files,
                              const String& destination) {
  if (HasShellOperation(operations, sopDelete)) {
    host::UpdateGuard update(*Items());
    for (int i = Items()->Count() - 1; i >= 0; --i) {
      TListItem* item = Items()->Item(i);
      TKivShellListItem* data = ItemData(item);
      if (item->Selected() && data && !data->parentFolder) DeleteGoneItem(item);
    }
  }
  if (files && files->Count() > 0 && OnOperation)
    OnOperation(this, operations, files.get(), destination);
  files.reset();
  const TKivShellOperations changing = ShellOperations({sopMove, sopDelete, sopRemove, sopRename});
  if ((operations & changing) && ShellLink()) ShellLink()->SmartRefresh(this);
}

// ---- Renaming in place

bool TKivShellList::CanEdit(TListItem* item) {
  bool allow = host::TCustomListView::CanEdit(item);
  TKivShellListItem* data = ItemData(item);
  if (allow) {
    if (!data || data->parentFolder) {
      allow = false;
    } else {
      PointNavigatorAt(item);
      allow = Navigator()->CanRename();
    }
  }
  editingItem_ = allow ? item : nullptr;
  if (allow && HandleAllocated())
    TKivShellViewCore::SelectNameOnly(HWND(SendMessageW(Handle(), LVM_GETEDITCONTROL, 0, 0)),
                                      data->folder);
  return allow;
}

void TKivShellList::Edit(const LVITEMW& record) {
  TListItem* item =
      (record.mask & LVIF_PARAM) && record.lParam
          ? reinterpret_cast<TListItem*>(record.lParam)
          : (record.iItem >= 0 && record.iItem < Items()->Count() ? Items()->Item(record.iItem)
                                                                  : nullptr);
  // Only the item whose edit began takes the text: an item that moved up into its place
  // is not renamed.
  const bool ours = item && item == editingItem_;
  editingItem_ = nullptr;
  TKivShellListItem* data = ItemData(item);
  if (!ours || !data || data->parentFolder) return;
  PointNavigatorAt(item);
  host::TCustomListView::Edit(record);
  if (!record.pszText || item->Index() < 0) return;

  PointNavigatorAt(item);
  const String oldPath = GetFullPath(item);
  const String typed = item->Caption();
  String name = typed, why;
  const bool accepted = Navigator()->TryRenameObject(name, &why);
  // The shell's name, which may differ from the typed one (a hidden extension).
  item->SetCaption(name);
  if (!accepted) {
    core_.RenameRefused(Handle(), why, [this, parsingName = data->parsingName, typed] {
      TListItem* again = FindItemByParsingName(parsingName, 1);
      if (!again || !again->EditCaption()) return;
      TKivShellViewCore::RestoreEditText(HWND(SendMessageW(Handle(), LVM_GETEDITCONTROL, 0, 0)),
                                         typed);
    });
    return;
  }
  UniquePidl after = Navigator()->GetItemIdList();
  if (!after) return;
  data->idList = std::move(after);
  data->parsingName = Navigator()->GetObjectName();
  data->sortKey.clear();  // made from the old name
  // Only a new name is a rename: the shell may have refused it, or it may be the old one.
  const String newPath = GetFullPath(item);
  if (newPath == oldPath) return;
  Change(item, LVIF_TEXT);
  Operation(ShellOperations({sopRename}), OneFile(oldPath), newPath);
  if (ViewStyle() == host::vsIcon) Refresh();
}

// ---- New folders

bool TKivShellList::CreateDir(const String& name, bool edit) {
  const String folder = Navigator()->Folder();
  // Only a file-system folder holds new folders.
  if (folder.empty()) return false;
  const String leaf = name.empty() ? String(kNewFolderName) : name;
  const String path = folder + leaf;
  const WideString wide = host::ToWide(path);
  if (!CreateDirectoryW(wide.c_str(), nullptr)) return false;
  SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW, wide.c_str(), nullptr);
  if (!edit) return true;
  SmartRefresh();
  for (int i = 0; i < Items()->Count(); ++i) {
    TListItem* item = Items()->Item(i);
    TKivShellListItem* data = ItemData(item);
    if (!data || data->parentFolder || data->parsingName != leaf) continue;
    SetSelected(item);
    item->SetFocused(true);
    item->MakeVisible(false);
    item->EditCaption();
    break;
  }
  return true;
}

}  // namespace zelnor
