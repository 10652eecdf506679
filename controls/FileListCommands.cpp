// TKivFileList: the shell's context menu and verbs on the selected rows, the reports of what
// they did, and the refresh the link asks for.
#include "controls/FileList.h"

#include "selection/KivSelectionList.h"

namespace zelnor {

using host::TListItem;

namespace {

constexpr int kMostBoxesRead = 300;

bool IsVerb(const String& verb, const char* name) { return host::SameText(verb, name); }

std::unique_ptr<host::TStrings> ClipboardFiles() {
  return std::unique_ptr<host::TStrings>(GetFilenamesFromClipboard());
}

}  // namespace

std::unique_ptr<host::TStrings> TKivFileList::SelectedPaths() const {
  auto paths = std::make_unique<host::TStringList>();
  const host::TItemStates selected = host::ItemStateBit(host::isSelected);
  for (TListItem* item = GetNextItem(nullptr, host::sdAll, selected); item;
       item = GetNextItem(item, host::sdAll, selected))
    if (const TKivFileListItem* data = ItemData(item)) paths->Add(data->fullPath);
  return paths;
}

bool TKivFileList::PrepareSelection() {
  TListItem* focused = ItemFocused();
  if (!focused || !focused->Selected()) focused = Selected();
  if (!focused || !MakeItemIdLists(focused)) return false;
  // Rows of several folders: the navigator refuses them rather than act on other files.
  if (SelCount() > 1) {
    std::unique_ptr<host::TStrings> paths = SelectedPaths();
    for (int i = 0; i < paths->Count(); ++i) Navigator()->MultiObjects()->Add(paths->Strings(i));
  }
  core_.PrepareNavigatorForCommand(ReadOnly(), [] {}, OnContextMenuSelect);
  return true;
}

String TKivFileList::ShowContextMenu(POINT point) {
  TListItem* selected = Selected();
  if (!selected) return {};
  std::unique_ptr<host::TStrings> clipboard = ClipboardFiles();
  std::unique_ptr<host::TStrings> paths = SelectedPaths();
  const String destination = GetFullPath(selected);
  if (!PrepareSelection()) return {};
  const String verb = Navigator()->ShowContextMenu(point, PopupMenu());
  if (IsVerb(verb, "delete")) {
    Operation(ShellOperations({sopDelete, sopRemove}), paths.get(), {});
  } else if (IsVerb(verb, "paste")) {
    Operation(PasteOperations(clipboard.get()), clipboard.get(), destination);
  } else if (IsVerb(verb, "rename")) {
    Operation(ShellOperations({sopRename}), paths.get(), destination);
  } else if (IsVerb(verb, "cut")) {
    for (TListItem* item = Selected(); item;
         item = GetNextItem(item, host::sdAll, host::ItemStateBit(host::isSelected)))
      item->SetCut(true);
  }
  return verb;
}

bool TKivFileList::InvokeContextMenuCommand(const String& verb) {
  if (!Selected() || !PrepareSelection()) return false;
  return Navigator()->InvokeContextMenuCommand(verb);
}

void TKivFileList::WMContextMenu(host::TMessage& message) {
  POINT point{};
  TListItem* item = TKivShellViewCore::ListMenuItem(*this, message, point, [this](POINT client) {
    MouseUp(host::mbRight, host::KeyboardShiftState(), client.x, client.y);
  });
  if (item && shellContextMenu_) {
    ShowContextMenu(point);
    message.Result = 1;
    return;
  }
  host::TCustomListView::WndProc(message);
}

void TKivFileList::Operation(TKivShellOperations operations, host::TStrings* files,
                             const String& destination) {
  if (HasShellOperation(operations, sopDelete)) {
    host::UpdateGuard update(*Items());
    for (int i = Items()->Count() - 1; i >= 0; --i)
      if (Items()->Item(i)->Selected()) Items()->Item(i)->Delete();
  }
  if (files && files->Count() > 0 && OnOperation) OnOperation(this, operations, files, destination);
  const TKivShellOperations changing = ShellOperations({sopMove, sopDelete, sopRemove, sopRename});
  if ((operations & changing) && ShellLink()) ShellLink()->SmartRefresh(this);
}

void TKivFileList::SmartRefresh() {
  if (Loading() || !Enabled()) return;
  if (Items()->Count() <= kMostBoxesRead) {
    if (CheckedPaths())
      for (int i = 0; i < Items()->Count(); ++i) ReadCheckState(Items()->Item(i));
    return;
  }
  if (IsEditing()) return;
  // Too many rows to read every box: the rows are completed again as they are drawn (thumbnails
  // keep their pictures and are only repainted).
  TListItem* keep = Selected();
  if (!keep) keep = Items()->Item(0);
  if (thumbnailsOn_)
    Invalidate();
  else
    ResetImages();
  keep->SetSelected(true);
  keep->MakeVisible(false);
}

}  // namespace zelnor
