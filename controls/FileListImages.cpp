// TKivFileList: the rows' icons and thumbnails (over TKivListThumbnails, as the shell list has
// them) and the check boxes bound to the link's selection list.
#include "controls/FileList.h"

#include "host/forms/Application.h"
#include "selection/KivSelectionList.h"

namespace zelnor {

using host::TListItem;

// ---- Icons and thumbnails

// A plain folder and a plain file of a known extension share the icon looked up once, from what
// the walk found; only the others cost the shell a lookup by their lists.
int TKivFileList::IconOfRow(TListItem* item) {
  const TKivFileListItem* data = ItemData(item);
  if (!data) return -1;
  const String name = host::ExtractFileName(data->fullPath);
  const int shared = sharedIcons_.IconOfFound(name, data->file.attributes, false);
  if (shared >= 0) return shared;
  if (MakeItemIdLists(item)) {
    const int icon = Navigator()->GetIconNumber();
    if (icon >= 0) return icon;
  }
  // A path the shell cannot find shows the icon of its extension.
  return smallImages_->GetFileInfo(name, false, data->file.IsFolder() ? FILE_ATTRIBUTE_DIRECTORY
                                                                       : FILE_ATTRIBUTE_NORMAL);
}

void TKivFileList::GetImageIndex(TListItem* item) {
  // An application's own handler replaces the list's: the list then completes no images.
  if (OnGetImageIndex) {
    host::TCustomListView::GetImageIndex(item);
    return;
  }
  if (item->ImageIndex() >= 0 || !ItemData(item)) return;
  const int icon = IconOfRow(item);
  if (thumbnailsOn_ && ViewStyle() == host::vsIcon) {
    // The navigator is on the row's object when its lists could be made.
    const bool found = MakeItemIdLists(item);
    thumbnails_.Request(item, largeImages_->Handle(), icon, found ? Navigator() : nullptr);
  } else {
    item->SetImageIndex(icon);
  }
  ReadCheckState(item);
}

void TKivFileList::ResetImages() {
  for (int i = 0; i < Items()->Count(); ++i) Items()->Item(i)->SetImageIndex(-1);
  Invalidate();
}

void TKivFileList::SetThumbnails(bool value) {
  if (value == thumbnailsOn_) return;
  if (value) {
    // Only switching on saves the style: switching off goes back to it.
    savedViewStyle_ = ViewStyle();
    SetLargeImages(thumbnails_.Images());
    thumbnailsOn_ = true;
    SetViewStyle(host::vsIcon);
  } else {
    thumbnailsOn_ = false;
    SetLargeImages(largeImages_.get());
    SetViewStyle(savedViewStyle_);
  }
  // Pictures of the other setting are dropped, also those still being made.
  thumbnails_.Clear();
  ResetImages();
}

// ---- Check boxes

void TKivFileList::SetCheckboxes(bool value) {
  core_.ShowCheckBoxImages(value, StateImages(),
                           [this](host::TCustomImageList* images) { SetStateImages(images); });
  checkboxes_ = core_.CheckBoxesAllowed(value);
  for (int i = 0; i < Items()->Count(); ++i) {
    TListItem* item = Items()->Item(i);
    if (checkboxes_)
      ReadCheckState(item);
    else
      item->SetStateIndex(-1);
  }
  Invalidate();
}

TKivSelectionState TKivFileList::GetItemSelectionState(int index) const {
  return TKivShellViewCore::ListItemSelectionState(*this, index);
}

void TKivFileList::ReadCheckState(TListItem* item) {
  TKivSelectionList* list = CheckedPaths();
  const TKivFileListItem* data = ItemData(item);
  if (list && data) item->SetStateIndex(list->IsPathSelected(data->fullPath));
}

TListItem* TKivFileList::CheckBoxAt(int x, int y) {
  return CheckedPaths() ? TKivShellViewCore::ListCheckBoxAt(*this, x, y) : nullptr;
}

void TKivFileList::ClickOnCheckBox(TListItem* item) {
  TKivSelectionList* list = CheckedPaths();
  TKivFileListItem* data = ItemData(item);
  if (!list || !data) return;
  if (item->StateIndex() < 0) ReadCheckState(item);
  const TKivSelectionState state = GetItemSelectionState(item->Index());
  if (state == ssNone || state == ssUnused || !MakeItemIdLists(item) || !data->absoluteIdList) return;
  host::CursorGuard cursor;
  const String path = data->fullPath;
  core_.ToggleChecked(*list, data->absoluteIdList.get(), state,
                      [this, item] { ReadCheckState(item); });
  if (OnCheckStateChanged) OnCheckStateChanged(this, item->Index(), path, list->IsPathSelected(path));
}

void TKivFileList::MouseDown(host::TMouseButton button, host::TShiftState shift, int x, int y) {
  host::TCustomListView::MouseDown(button, shift, x, y);
  const bool twice = (shift & host::ssDouble) != 0;
  // A double click opens (unless the application takes it); a single one may be on a box.
  if (button == host::mbLeft && twice && (!OnDblClick || !Owner())) InvokeContextMenuCommand("default");
  TListItem* box = button == host::mbLeft && !twice ? CheckBoxAt(x, y) : nullptr;
  if (box) ClickOnCheckBox(box);
}

}  // namespace zelnor
