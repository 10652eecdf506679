// TKivShellCombo: construction, settings, the entries and how a location is shown, the user's
// choice, the edit field, drawing and the shell's context menu.
#include "controls/ShellCombo.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

#include "host/core/Raii.h"
#include "host/core/Streaming.h"
#include "host/forms/Application.h"
#include "host/forms/MessageDialogs.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

namespace {

// Left and top of the edit field on the combo's face.
constexpr int kEditLeft = 24;
constexpr int kEditTop = 3;

bool IsEmptyList(PCItemIDList list) { return list && list->mkid.cb == 0; }

// The desktop's answer to whether two absolute lists name the same object.
bool SameIdList(PCItemIDList a, PCItemIDList b) {
  if (!a || !b) return false;
  if (IsEmptyList(a) || IsEmptyList(b)) return IsEmptyList(a) == IsEmptyList(b);
  return SameItemIdList(a, b);
}

bool IsDriveName(const String& name) {
  return (name.size() == 2 || name.size() == 3) && name[1] == ':';
}

// Display name and small icon of a path, as the shell gives them.
void PathInfo(const String& path, String& displayName, int& iconIndex) {
  SHFILEINFOW info{};
  host::ErrorModeGuard mode;
  if (SHGetFileInfoW(host::ToWide(path).c_str(), 0, &info, sizeof info,
                     SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_SMALLICON)) {
    displayName = host::ToUtf8(info.szDisplayName);
    iconIndex = info.iIcon;
  } else {
    displayName.clear();
    iconIndex = -1;
  }
}

}  // namespace

// ---- The edit field

TKivComboEdit::TKivComboEdit(TKivShellCombo* combo) : host::TEdit(nullptr), combo_(combo) {
  SetBorderStyle(host::bsNoBorder);
  SetAutoSize(false);
}

void TKivComboEdit::KeyDown(WORD& key, host::TShiftState shift) {
  host::TEdit::KeyDown(key, shift);
  if (key == VK_RETURN) {
    combo_->SetSelectedFolder(Text());
    key = 0;
    if (combo_->OnKeyUp) {
      WORD enter = VK_RETURN;
      combo_->OnKeyUp(combo_, enter, shift);
    }
    return;
  }
  if (key == VK_ESCAPE) {
    // What was typed goes: the box shows the current location again.
    combo_->ShowCurrentText();
    SelectAll();
  }
  if (key != 0 && combo_->OnKeyUp) combo_->OnKeyUp(combo_, key, shift);
}

void TKivComboEdit::KeyPress(wchar_t& key) {
  if (key == L'\r') {
    key = 0;
    return;
  }
  if (combo_->OnKeyPress) combo_->OnKeyPress(combo_, key);
  if (key != 0) host::TEdit::KeyPress(key);
}

// ---- Construction

TKivShellCombo::TKivShellCombo(host::TComponent* owner)
    : host::TCustomComboBox(owner),
      TKivShellView(*this, KivComboShowOptions),
      images_(std::make_unique<TKivSystemImageList>()) {
  SetStyle(host::csOwnerDrawVariable);
  edit_ = std::make_unique<TKivComboEdit>(this);
  edit_->SetBounds(kEditLeft, kEditTop, Width() - kEditLeft - 20, Height() - kEditTop - 2);
  edit_->SetParent(this);
  SetParentFont(false);
}

TKivShellCombo::~TKivShellCombo() {
  Destroying();
  SetShellLink(nullptr);
  // Entries are freed through ItemDeleted, which only this class knows.
  Items()->Clear();
  edit_.reset();
}

// ---- Settings

void TKivShellCombo::SetShellLink(TKivShellLink* link) { core_.SetShellLink(link); }

void TKivShellCombo::Notification(host::TComponent* component, host::TOperation operation) {
  host::TCustomComboBox::Notification(component, operation);
  core_.Notification(component, operation);
}

void TKivShellCombo::SetShowOptions(TKivShellShowOptions options) {
  if (options == ShowOptions()) return;
  // The combo shows folders only.
  core_.StoreShowOptions(options.Exclude(soShowFiles));
  if (ShowOption(soNoFillOnStartup) && !initialized_ && !Designing()) return;
  Refresh();
}

void TKivShellCombo::SetEditable(bool value) {
  editable_ = value;
  edit_->SetVisible(value);
  Invalidate();
}

void TKivShellCombo::SetShowFullPath(bool value) {
  showFullPath_ = value;
  Invalidate();
}

String TKivShellCombo::OwnText() const {
  const int index = ItemIndex();
  return index >= 0 && index < Items()->Count() ? Items()->Strings(index) : String{};
}

String TKivShellCombo::GetText2() const {
  if (editable_) {
    const String typed = edit_->Text();
    if (!typed.empty()) return typed;
  }
  return OwnText();
}

void TKivShellCombo::SetText2(const String& text) {
  givenText_ = text;
  edit_->SetText(text);
}

// ---- Window and loading

void TKivShellCombo::CreateWnd() {
  host::TCustomComboBox::CreateWnd();
  if (ShellLink()) ShellLink()->RegisterShellControl(this);
  Initialize();
  AdjustEditFieldSize();
}

void TKivShellCombo::Loaded() {
  host::TCustomComboBox::Loaded();
  Change();
  if (UseSystemFont()) ApplyExplorerFont(*Font());
}

void TKivShellCombo::Initialize() {
  if (initialized_) {
    if (Items()->Count() == 0) Refresh();
    return;
  }
  Items()->Clear();
  Navigator()->Initialize();
  Navigator()->SetFolderIdList(DesktopIdList());
  if (Designing()) return;
  if (!ShowOption(soNoFillOnStartup)) Refresh();
  initialized_ = true;
}

void TKivShellCombo::Resize() {
  host::TCustomComboBox::Resize();
  AdjustEditFieldSize();
}

void TKivShellCombo::AdjustEditFieldSize() {
  // The face of a drop-down combo is its window; Height() may be the extent of the open list.
  int faceHeight = Height();
  if (HWND wnd = HandleIfAllocated()) {
    RECT r{};
    GetWindowRect(wnd, &r);
    faceHeight = r.bottom - r.top;
  }
  const int edge = GetSystemMetrics(SM_CXEDGE);
  edit_->SetBounds(kEditLeft, kEditTop,
                   std::max(Width() - kEditLeft - 2 * edge - GetSystemMetrics(SM_CXVSCROLL), 0),
                   std::max(faceHeight - kEditTop - edge, 0));
}

// ---- Entries

TKivComboItem* TKivShellCombo::ItemData(int index) const {
  if (index < 0 || index >= Items()->Count()) return nullptr;
  return dynamic_cast<TKivComboItem*>(Items()->Objects(index));
}

TKivComboItem* TKivShellCombo::Entry(int index) {
  if (index < 0 || index >= Items()->Count()) return nullptr;
  if (TKivComboItem* entry = ItemData(index)) return entry;
  // A plain string becomes an entry of its path, in place.
  auto entry = std::make_unique<TKivComboItem>();
  entry->name = Items()->Strings(index);
  PathInfo(entry->name, entry->text, entry->iconIndex);
  if (entry->text.empty()) entry->text = entry->name;
  entry->drive = IsDriveName(entry->name);
  entry->persistent = true;
  Items()->SetObjects(index, entry.get());
  return entry.release();
}

int TKivShellCombo::InsertItem(int index, const String& name, const String& text, int iconIndex,
                               int indent, UniquePidl idList, bool persistent) {
  if (name.empty() && text.empty()) return -1;
  auto entry = std::make_unique<TKivComboItem>();
  entry->name = name.empty() ? text : name;
  entry->text = text;
  entry->iconIndex = iconIndex;
  entry->indent = indent;
  entry->drive = IsDriveName(entry->name);
  entry->persistent = persistent;
  entry->idList = std::move(idList);
  const int count = Items()->Count();
  if (index < 0 || index > count) index = count;
  Items()->InsertObject(index, entry->name, entry.get());
  entry.release();
  return index;
}

void TKivShellCombo::AddFolder(const String& path, int indent, bool persistent) {
  for (int i = 0; i < Items()->Count(); ++i)
    if (host::SameText(Items()->Strings(i), path)) return;
  String displayName;
  int icon = -1;
  PathInfo(path, displayName, icon);
  InsertItem(-1, path, displayName, icon, indent, nullptr, persistent);
}

void TKivShellCombo::Delete(int index) {
  // The entry goes with the item (ItemDeleted).
  if (index >= 0 && index < Items()->Count()) Items()->Delete(index);
}

void TKivShellCombo::Clear() {
  for (int i = Items()->Count() - 1; i >= 0; --i) Delete(i);
  Items()->Clear();
}

void TKivShellCombo::ItemDeleted(int index, host::TObject* object) {
  delete dynamic_cast<TKivComboItem*>(object);
  host::TCustomComboBox::ItemDeleted(index, object);
}

void TKivShellCombo::DeleteNonPersistentFolders(int index) {
  for (int i = Items()->Count() - 1; i > index && i >= 0; --i) {
    TKivComboItem* entry = ItemData(i);
    if (entry && !entry->persistent) Delete(i);
  }
}

int TKivShellCombo::IndexOfIdList(PCItemIDList idList) const {
  // Entries without a list have nothing to compare.
  for (int i = 0; i < Items()->Count(); ++i) {
    TKivComboItem* entry = ItemData(i);
    if (entry && entry->idList && SameIdList(entry->idList.get(), idList)) return i;
  }
  return -1;
}

PCItemIDList TKivShellCombo::EntryIdList(int index) {
  TKivComboItem* entry = Entry(index);
  if (!entry) return nullptr;
  // A path that cannot be opened navigates nowhere.
  if (!entry->idList && !entry->name.empty() && Navigator()->TrySetDirectory(entry->name))
    entry->idList = Navigator()->GetFolderIdList();
  return entry->idList.get();
}

// ---- Building the entries

void TKivShellCombo::Refresh() {
  if (Loading()) return;
  UniquePidl kept;
  if (TKivComboItem* selected = ItemData(ItemIndex()); selected && selected->idList)
    kept = CopyItemIdList(selected->idList.get());
  auto repaintEdit = host::ScopeExit([this] { edit_->Invalidate(); });
  Clear();
  const String desktopName = Navigator()->GetDesktopName();
  InsertItem(0, desktopName, desktopName, Navigator()->GetDesktopIconIndex(), 0,
             UniquePidl{CopyItemIdList(DesktopIdList())}, true);
  Navigator()->SetSpecialFolder(SF_DESKTOP);
  AddToComboList(1, 1);
  if (Items()->Count() < 2) return;
  // My Computer comes first among the desktop's folders: its children follow it.
  Navigator()->SetSpecialFolder(SF_DRIVES);
  AddToComboList(2, 2);
  if (kept) {
    // Showing the old place again is no navigation of the linked controls.
    TKivShellLink* link = ShellLink();
    const bool wasEnabled = link && link->Enabled();
    if (link) link->SetEnabled(false);
    auto enableAgain = host::ScopeExit([link, wasEnabled] {
      if (link) link->SetEnabled(wasEnabled);
    });
    if (!ShowLocation(kept.get())) KivSetItemIndex(0);
  } else if (!ShellLink()) {
    KivSetItemIndex(1);
  }
}

void TKivShellCombo::AddToComboList(int index, int indent) {
  int drivePosition = index;
  int position = index;
  while (Navigator()->Next()) {
    if (!Navigator()->IsFolder() || !IsShownObject(*Navigator(), ShowOptions())) continue;
    const String name = Navigator()->GetObjectName();
    const bool driveRoot = name.size() == 3 && name[1] == ':';
    UniquePidl list{CopyItemIdList(Navigator()->GetAbsoluteItemIdList())};
    const String text = Navigator()->GetShellObjectName();
    const int icon = Navigator()->GetIconNumber();
    if (driveRoot) {
      InsertItem(drivePosition++, name, text, icon, indent, std::move(list), true);
    } else {
      InsertItem(position, name, text, icon, indent, std::move(list), true);
    }
    ++position;
  }
}

// ---- Showing a location

void TKivShellCombo::SelectPidl(PCItemIDList idList) {
  String why;
  if (!ShowLocation(idList, &why)) throw EZelnorError(why);
}

bool TKivShellCombo::ShowLocation(PCItemIDList idList, String* why) {
  if (!idList) return true;
  Initialize();
  const String path = GetPathFromPidl(idList);
  if (!path.empty() && !IsEmptyList(idList) && !SameIdList(DesktopIdList(), idList) &&
      path[0] != '\\') {
    AddPathToCombo(path);
  } else {
    DeleteNonPersistentFolders(-1);
    const int found = IndexOfIdList(idList);
    if (found >= 0) {
      KivSetItemIndex(found);
      Change();
      return true;
    }
    if (!ShowAncestors(idList, why)) return false;
  }
  Change();
  return true;
}

void TKivShellCombo::AddPathToCombo(const String& path) {
  DeleteNonPersistentFolders(-1);
  const String root = path.substr(0, 3);
  int rootIndex = -1;
  for (int i = 0; i < Items()->Count(); ++i) {
    if (Items()->Strings(i) == root) {
      rootIndex = i;
      break;
    }
  }
  TKivComboItem* rootEntry = Entry(rootIndex);
  if (!rootEntry) return;
  const int rootIndent = rootEntry->indent;
  const bool bound = rootEntry->idList ? Navigator()->TrySetFolderIdList(rootEntry->idList.get())
                                       : Navigator()->TrySetDirectory(rootEntry->name);
  if (!bound) return;
  // The rest may be longer than MAX_PATH: every folder of it is added.
  String rest = path.size() > 3 ? path.substr(3) : String{};
  int position = rootIndex + 1;
  int indent = rootIndent + 1;
  int last = -1;
  while (!rest.empty()) {
    const size_t slash = rest.find('\\');
    const String part = rest.substr(0, slash);
    rest = slash == String::npos ? String{} : rest.substr(slash + 1);
    if (part.empty()) continue;
    // A folder the shell does not find by name ends the chain where it is.
    if (!Navigator()->TrySetObjectName(part)) break;
    const int icon = Navigator()->GetIconNumber();
    if (!Navigator()->TryBrowseObject()) break;
    last = InsertItem(position, part, part, icon, indent, Navigator()->GetFolderIdList(), false);
    ++position;
    ++indent;
  }
  if (last < 0) {
    // The drive itself is the location.
    SetItemIndex(rootIndex);
    return;
  }
  SetItemIndex(last);
  Navigator()->SelectParent();
  if (TKivComboItem* selected = ItemData(last))
    selected->iconIndex = Navigator()->GetSelectedIconNumber();
  Invalidate();
}

void TKivShellCombo::AddIdListToCombo(PCItemIDList idList) {
  String why;
  if (!ShowAncestors(idList, &why)) throw EZelnorError(why);
}

bool TKivShellCombo::ShowAncestors(PCItemIDList idList, String* why) {
  DeleteNonPersistentFolders(-1);
  if (!idList || Items()->Count() == 0) return true;
  const int depth = GetItemIdListDepth(idList);
  int anchor = 0;
  int next = 1;
  for (int d = 1; d <= depth; ++d) {
    UniquePidl ancestor{GetItemIdListStart(idList, d)};
    const int found = IndexOfIdList(ancestor.get());
    if (found >= 0) {
      anchor = found;
      next = d + 1;
    }
  }
  TKivComboItem* anchorEntry = ItemData(anchor);
  if (!Navigator()->TrySetFolderIdList(anchorEntry ? anchorEntry->idList.get() : DesktopIdList(),
                                       why))
    return false;
  for (int d = next; d <= depth; ++d) {
    UniquePidl ancestor{GetItemIdListStart(idList, d)};
    if (!Navigator()->TrySetAbsoluteItemIdList(ancestor.get(), why)) return false;
    const int indent = (ItemData(anchor) ? ItemData(anchor)->indent : 0) + 1;
    const String name = Navigator()->GetShellObjectName();
    const int at =
        InsertItem(anchor + 1, name, name, Navigator()->GetIconNumber(), indent,
                   UniquePidl{CopyItemIdList(Navigator()->GetAbsoluteItemIdList())}, false);
    if (at >= 0) anchor = at;
  }
  SetItemIndex(anchor);
  return true;
}

// ---- Choosing an entry

void TKivShellCombo::ShowCurrentText() {
  if (ItemIndex() < 0) return;
  if (showFullPath_) {
    edit_->SetText(GetSelectedFolder());
    if (edit_->Text().empty()) edit_->SetText(GetText2());
    SetText2(edit_->Text());
  } else {
    edit_->SetText(OwnText());
  }
  edit_->Invalidate();
}

void TKivShellCombo::Change() {
  const int index = ItemIndex();
  if (index < 0) return;
  DeleteNonPersistentFolders(index);
  ShowCurrentText();
  if (ShellLink() && !Loading()) {
    // An entry made from a path navigates once its path is parsed; one that cannot be does not.
    if (PCItemIDList list = EntryIdList(index)) ShellLink()->PathChanged(this, list);
  }
  host::TCustomComboBox::Change();
}

void TKivShellCombo::KivSetItemIndex(int i) {
  if (i == ItemIndex() || i < 0) return;
  SetItemIndex(i);
  Change();
  if (ShellLink() && !Loading()) {
    if (PCItemIDList list = EntryIdList(ItemIndex())) ShellLink()->PathChanged(this, list);
  }
}

String TKivShellCombo::GetSelectedFolder() {
  TKivComboItem* entry = ItemData(ItemIndex());
  if (!entry || !entry->idList) return {};
  return GetPathFromPidl(entry->idList.get());
}

void TKivShellCombo::SetSelectedFolder(const String& path) {
  String why;
  if (!Navigator()->TrySetDirectory(path, &why)) {
    if (ShowOption(soShowErrorMessages)) host::ShowMessage(why);
    // The views stay where they were, and so does the box.
    ShowCurrentText();
    return;
  }
  UniquePidl list{CopyItemIdList(Navigator()->GetAbsoluteItemIdList())};
  SelectPidl(list.get());
}

void TKivShellCombo::DropDown() {
  if (!Focused() && CanFocus()) SetFocus();
  host::TCustomComboBox::DropDown();
}

// ---- Drawing

void TKivShellCombo::MeasureItem(int index, int& height) {
  height = std::max(std::abs(Font()->Height()) + host::ScaleByDpi(5, UINT(CurrentPpi())),
                    images_->Height());
  host::TCustomComboBox::MeasureItem(index, height);
}

void TKivShellCombo::DrawItem(int index, const RECT& rect, host::TOwnerDrawState state) {
  drawingInList_ = (state & host::odComboBoxEdit) == 0;
  if (!ItemData(index)) {
    // A plain string: it becomes an entry now and is drawn as one next time.
    Entry(index);
    Invalidate();
    return;
  }
  TKivComboItem* entry = ItemData(index);
  host::TCanvas* canvas = Canvas();
  const host::TColor textBrush = canvas->Brush()->Color();
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(rect);
  const bool selected = (state & host::odSelected) != 0;
  const int indent =
      drawingInList_ ? entry->indent * host::ScaleByDpi(indentWidth_, UINT(CurrentPpi())) : 0;
  if (entry->iconIndex >= 0) {
    const int y = (rect.top + rect.bottom - images_->Height()) / 2;
    const int x = rect.left + 2 + indent;
    if (selected) {
      canvas->Brush()->SetColor(host::clHighlight);
      images_->SetBlendColor(drawingInList_ ? host::clHighlight : host::clNone);
      images_->Draw(canvas, x, y, entry->iconIndex,
                    drawingInList_ ? host::dsSelected : host::dsNormal, host::itImage);
    } else {
      images_->Draw(canvas, x, y, entry->iconIndex, host::dsTransparent, host::itImage);
    }
  }
  canvas->Brush()->SetColor(textBrush);
  String text;
  if (drawingInList_) {
    text = entry->text;
  } else if (editable_) {
    // The edit field shows the text.
    edit_->Invalidate();
    return;
  } else if (showFullPath_) {
    text = GetSelectedFolder();
    if (text.empty()) text = entry->name;
  } else {
    text = entry->text;
  }
  const int x = rect.left + (entry->iconIndex >= 0 ? images_->Width() + 6 : 6) + indent;
  const int y = rect.top + (rect.bottom - rect.top - canvas->TextHeight(text)) / 2;
  canvas->TextOut(x, y, text);
}

// ---- Messages

void TKivShellCombo::WndProc(host::TMessage& message) {
  if (!ViewMessage(message)) host::TCustomComboBox::WndProc(message);
}

void TKivShellCombo::WMContextMenu(host::TMessage& message) {
  host::TCustomComboBox::WndProc(message);
  // OnContextPopup may have taken the message; an assigned PopupMenu has been shown.
  if (message.Result != 0 || PopupMenu() || !showContextMenu_) return;
  const int index = ItemIndex();
  PCItemIDList list = EntryIdList(index);
  if (!list) return;
  POINT at{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
  if (at.x == -1 && at.y == -1) {
    // From the keyboard: below the face.
    RECT face{};
    GetWindowRect(Handle(), &face);
    at = POINT{face.left, face.bottom};
  }
  host::CursorGuard keepCursor(host::Screen().Cursor());
  Navigator()->SetFolderIdList(list);
  Navigator()->SelectParent();
  Navigator()->SetShowContextMenuOnTop(ShowOption(soShowContextMenuOnTop));
  Navigator()->ShowContextMenu(at, nullptr);
}

void TKivShellCombo::ChangeScale(int m, int d) {
  host::TCustomComboBox::ChangeScale(m, d);
  core_.ScaleImages(m, {images_.get()}, nullptr);
}

// ---- Published properties

HOST_PROPERTIES(TKivShellCombo) {
  p.Enum("Style", host::ComboBoxStyleInfo, &TKivShellCombo::Style, &TKivShellCombo::SetStyle,
         host::csOwnerDrawVariable);
  p.Int("ItemIndex", &TKivShellCombo::KivGetItemIndex, &TKivShellCombo::KivSetItemIndex, -1)
      .NoDefault();
  p.Component("ShellLink", &TKivShellCombo::ShellLink, &TKivShellCombo::SetShellLink);
  p.Bool("FileSystemOnly", &TKivShellCombo::FileSystemOnly, &TKivShellCombo::SetFileSystemOnly,
         false);
  p.Bool("ShowContextMenu", &TKivShellCombo::ShowContextMenu, &TKivShellCombo::SetShowContextMenu,
         true);
  PublishShowOptions(p, KivComboShowOptions);
  p.Str("Version", &TKivShellCombo::Version, nullptr).NeverStored();
  p.Bool("UseSystemFont", &TKivShellCombo::UseSystemFont, &TKivShellCombo::SetUseSystemFont, true);
  p.Str("Text", &TKivShellCombo::GetText2, &TKivShellCombo::SetText2).NoDefault();
  p.Bool("Editable", &TKivShellCombo::Editable, &TKivShellCombo::SetEditable, true);
  p.Bool("ShowFullPath", &TKivShellCombo::ShowFullPath, &TKivShellCombo::SetShowFullPath, false);
  p.Event<host::TNotifyEvent>("OnChange", &TKivShellCombo::OnChange);
  p.Event<host::TDrawItemEvent>("OnDrawItem", &TKivShellCombo::OnDrawItem);
  p.Event<host::TNotifyEvent>("OnDropDown", &TKivShellCombo::OnDropDown);
}

}  // namespace zelnor
