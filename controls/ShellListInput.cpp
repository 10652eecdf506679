// TKivShellList: keys, mouse clicks and the check boxes that edit the link's selection list.
#include "controls/ShellList.h"

#include <windowsx.h>
#include <shlwapi.h>

#include <cwchar>

#include "host/forms/Application.h"
#include "selection/KivSelectionList.h"

namespace zelnor {

using host::TListItem;

// ---- Keys

void TKivShellList::KeyDown(WORD& key, host::TShiftState shift) {
  host::TCustomListView::KeyDown(key, shift);
  if (IsEditing()) return;
  if (core_.CommandKey(key, shift, ReadOnly(), Selected() != nullptr,
                       [this](const String& verb) { return InvokeCommandOnSelected(verb); }))
    return;
  const bool ctrl = (shift & host::ssCtrl) != 0;
  switch (key) {
    case VK_RETURN:
      InvokeCommandOnSelected((shift & host::ssAlt) ? "properties" : "default");
      key = 0;
      break;
    case 'A':
      if (ctrl) {
        SelectAll();
        key = 0;
      }
      break;
    case 'V':
      if (ctrl && !ReadOnly()) {
        InvokeCommandOnFolder("paste");
        key = 0;
      }
      break;
    case VK_F10:
      if ((shift & host::ssShift) && shellContextMenu_ && Selected()) {
        String command;
        ShowContextMenu(BottomRightOfSelection(), command);
        // The platform would open the same menu once more for the key.
        key = 0;
      }
      break;
    default:
      break;
  }
}

void TKivShellList::KeyPress(wchar_t& key) {
  host::TCustomListView::KeyPress(key);
  if (IsEditing()) return;
  switch (key) {
    case 8:
      if (!ShellLink() || ShellLink()->ShowParentFolderItem()) GoUp();
      key = 0;
      break;
    case 1:   // Ctrl+A
    case 3:   // Ctrl+C
    case 13:  // Enter
    case 22:  // Ctrl+V
    case 24:  // Ctrl+X
      // Commands, not characters to look for among the items.
      key = 0;
      break;
    default:
      break;
  }
}

// ---- Mouse

void TKivShellList::MouseDown(host::TMouseButton button, host::TShiftState shift, int x, int y) {
  host::TCustomListView::MouseDown(button, shift, x, y);
  if (button != host::mbLeft) return;
  if (shift & host::ssDouble) {
    if (!OnDblClick || !Owner()) InvokeCommandOnSelected("default");
    return;
  }
  if (TListItem* item = CheckBoxAt(x, y)) ClickOnCheckBox(item);
}

// ---- Check boxes

TKivSelectionList* TKivShellList::CheckedPaths() const { return core_.CheckedPaths(checkboxes_); }

void TKivShellList::SetCheckboxes(bool value) {
  core_.ShowCheckBoxImages(value, StateImages(),
                           [this](host::TCustomImageList* images) { SetStateImages(images); });
  checkboxes_ = core_.CheckBoxesAllowed(value);
  Refresh();
}

TKivSelectionState TKivShellList::GetItemSelectionState(int index) const {
  return TKivShellViewCore::ListItemSelectionState(*this, index);
}

void TKivShellList::ReadCheckState(TListItem* item) {
  TKivSelectionList* list = CheckedPaths();
  TKivShellListItem* data = ItemData(item);
  if (!list || !data || data->parentFolder || !data->idList) return;
  UniquePidl joined = ConcatItemIdLists(GetFolderIdList(), data->idList.get());
  item->SetStateIndex(
      list->IsChildSelected(Navigator()->ShellFolder(), data->idList.get(), joined.get()));
}

TListItem* TKivShellList::CheckBoxAt(int x, int y) {
  return CheckedPaths() ? TKivShellViewCore::ListCheckBoxAt(*this, x, y) : nullptr;
}

void TKivShellList::ClickOnCheckBox(TListItem* item) {
  TKivSelectionList* list = CheckedPaths();
  TKivShellListItem* data = ItemData(item);
  if (!list || !data || !data->idList) return;
  // An item not drawn yet has not read its state.
  if (item->StateIndex() < 0) ReadCheckState(item);
  const TKivSelectionState state = GetItemSelectionState(item->Index());
  if (state == ssNone) return;
  host::CursorGuard cursor;
  UniquePidl joined = ConcatItemIdLists(GetFolderIdList(), data->idList.get());
  {
    // The link's refresh at the end of the update must not refill this list.
    host::ScopedValue refreshing{refreshing_, true};
    core_.ToggleChecked(*list, joined.get(), state, [item, list, &joined] {
      item->SetStateIndex(list->IsPIDLSelected(joined.get()));
    });
  }
  if (OnCheckStateChanged)
    OnCheckStateChanged(this, item->Index(), GetFullPath(item), list->IsPIDLSelected(joined.get()));
}

}  // namespace zelnor
