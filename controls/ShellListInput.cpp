// TKivShellList: keys, mouse clicks and the check boxes that edit the link's selection list.
#include "controls/ShellList.h"

#include <windowsx.h>
#include <shlwapi.h>

#include <cwchar>

#include "host/forms/Application.h"
#include "host/forms/MessageDialogs.h"
#include "selection/KivSelectionList.h"

namespace zelnor {

using host::TListItem;

namespace {

constexpr char kNeedsALink[] =
    "You must now assign a TKIvShellLink to the ShellLink property of this components for the "
    "checkboxes to work!";

// Version 6 of the common controls (loaded side by side, which its version number under some
// platforms does not tell) places the state image of an icon further from the icon.
bool CommonControlsSix() {
  static const bool six = [] {
    HMODULE module = GetModuleHandleW(L"comctl32.dll");
    if (!module) return false;
    using VersionOf = HRESULT(CALLBACK*)(DLLVERSIONINFO*);
    auto get = reinterpret_cast<VersionOf>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetVersion")));
    DLLVERSIONINFO info{};
    info.cbSize = sizeof info;
    if (get && SUCCEEDED(get(&info)) && info.dwMajorVersion >= 6) return true;
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    _wcslwr(path);
    return std::wcsstr(path, L"common-controls") != nullptr;
  }();
  return six;
}

}  // namespace

// ---- Keys

void TKivShellList::KeyDown(WORD& key, host::TShiftState shift) {
  host::TCustomListView::KeyDown(key, shift);
  if (IsEditing()) return;
  const bool ctrl = (shift & host::ssCtrl) != 0;
  switch (key) {
    case VK_RETURN:
      InvokeCommandOnSelected((shift & host::ssAlt) ? "properties" : "default");
      key = 0;
      break;
    case VK_DELETE:
      if (!ReadOnly()) InvokeCommandOnSelected("delete");
      break;
    case 'A':
      if (ctrl) {
        SelectAll();
        key = 0;
      }
      break;
    case 'C':
      if (ctrl) {
        InvokeCommandOnSelected("copy");
        key = 0;
      }
      break;
    case 'V':
      if (ctrl && !ReadOnly()) {
        InvokeCommandOnFolder("paste");
        key = 0;
      }
      break;
    case 'X':
      if (ctrl && !ReadOnly()) {
        InvokeCommandOnSelected("cut");
        key = 0;
      }
      break;
    case VK_F2:
      if (Selected()) InvokeCommandOnSelected("rename");
      break;
    case VK_F5:
      Refresh();
      if (shellLink_) shellLink_->Refresh(this);
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
      if (!shellLink_ || shellLink_->ShowParentFolderItem()) GoUp();
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

TKivSelectionList* TKivShellList::CheckedPaths() const {
  return checkboxes_ && shellLink_ ? shellLink_->SelectionList() : nullptr;
}

void TKivShellList::SetCheckboxes(bool value) {
  checkboxes_ = value;
  host::TCustomImageList* images = StateImages();
  if (!value) {
    if (dynamic_cast<TKivSelectionStateImageList*>(images)) {
      SetStateImages(nullptr);
      delete images;
    }
  } else if (!images) {
    SetStateImages(new TKivSelectionStateImageList(this));
  }
  if (checkboxes_ && !shellLink_ && !Loading()) {
    if (Designing()) host::ShowMessage(kNeedsALink);
    checkboxes_ = false;
  }
  Refresh();
}

TKivSelectionState TKivShellList::GetItemSelectionState(int index) const {
  if (index < 0 || index >= Items()->Count()) return ssUnused;
  const int state = Items()->Item(index)->StateIndex();
  return state >= ssUnused && state <= ssGrayed ? TKivSelectionState(state) : ssUnused;
}

void TKivShellList::ReadCheckState(TListItem* item) {
  TKivSelectionList* list = CheckedPaths();
  TKivShellListItem* data = ItemData(item);
  if (!list || !data || data->parentFolder || !data->idList) return;
  UniquePidl joined = ConcatItemIdLists(GetFolderIdList(), data->idList.get());
  item->SetStateIndex(
      list->IsChildSelected(navigator_->ShellFolder(), data->idList.get(), joined.get()));
}

TListItem* TKivShellList::CheckBoxAt(int x, int y) {
  host::TCustomImageList* images = StateImages();
  if (!CheckedPaths() || !images || !HandleAllocated()) return nullptr;
  TListItem* item = GetItemAt(x, y);
  if (!item) return nullptr;
  RECT icon = item->DisplayRect(host::drIcon);
  if (ViewStyle() == host::vsIcon) icon.left += CommonControlsSix() ? 20 + images->Width() : 6;
  const bool onBox = x < icon.left && y >= icon.bottom - images->Height();
  return onBox ? item : nullptr;
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
    list->BeginUpdate();
    // The link's refresh at the end of the update must not refill this list.
    auto endUpdate = host::ScopeExit([this, list] {
      host::ScopedValue refreshing{refreshing_, true};
      list->EndUpdate();
    });
    if (state == ssChecked) {
      list->RemovePIDLFromSelection(joined.get());
    } else if (state == ssUnChecked || state == ssGrayed) {
      list->AddPIDLToSelection(joined.get());
      // The item may complete its folder (or one above): that folder's entry replaces them.
      if (UniquePidl complete = list->CompletePIDLSelected(joined.get()))
        list->AddPIDLToSelection(complete.get());
    }
    item->SetStateIndex(list->IsPIDLSelected(joined.get()));
  }
  if (OnCheckStateChanged)
    OnCheckStateChanged(this, item->Index(), GetFullPath(item), list->IsPIDLSelected(joined.get()));
}

}  // namespace zelnor
