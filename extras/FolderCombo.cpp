// TKivFolderCombo: entries and their objects, the drives and My Documents, drawing and the menu.
#include "extras/FolderCombo.h"

#include "host/core/Raii.h"
#include "host/forms/Application.h"
#include "shell/ShellRoutines.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

namespace zelnor {

namespace {

// "C:" and "C:\": paths of one to three characters with ":" second.
bool IsDrivePath(const String& path) { return path.size() >= 2 && path.size() <= 3 && path[1] == ':'; }

// Display name and small icon of a path, as the shell gives them; empty and -1 when it has none.
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

// ---- Construction

TKivFolderCombo::TKivFolderCombo(host::TComponent* owner)
    : host::TCustomComboBox(owner),
      navigator_(std::make_unique<TZelnor>()),
      images_(std::make_unique<TKivSystemImageList>()) {
  // Drives that are not ready answer without a box.
  navigator_->SetShowErrorMessages(false);
  navigator_->Initialize();
  SetStyle(host::csOwnerDrawFixed);
}

TKivFolderCombo::~TKivFolderCombo() {
  Destroying();
  // The entry objects go with their items (ItemDeleted), which only this class knows.
  Items()->Clear();
}

// ---- Settings

void TKivFolderCombo::SetIncludeDrives(bool value) {
  const bool dropAll = includeDrives_ && !value;
  includeDrives_ = value;
  if (dropAll) Items()->Clear();
  Refresh();
}

void TKivFolderCombo::SetIncludeMyDocuments(bool value) {
  includeMyDocuments_ = value;
  Refresh();
}

void TKivFolderCombo::SetEnabled(bool enabled) {
  if (enabled == Enabled()) return;
  host::TCustomComboBox::SetEnabled(enabled);
  if (enabled) {
    Refresh();
    SetColor(savedColor_);
  } else {
    savedColor_ = Color();
    SetColor(host::clBtnFace);
  }
}

void TKivFolderCombo::SetUseSystemFont(bool value) {
  useSystemFont_ = value;
  if (value) ApplyExplorerFont(*Font());
}

void TKivFolderCombo::Loaded() {
  host::TCustomComboBox::Loaded();
  if (useSystemFont_) ApplyExplorerFont(*Font());
}

// ---- Entries

TKivFolderCombo::TKivComboItem* TKivFolderCombo::ItemData(int index) const {
  if (index < 0 || index >= Items()->Count()) return nullptr;
  return dynamic_cast<TKivComboItem*>(Items()->Objects(index));
}

int TKivFolderCombo::InsertItem(int index, const String& path, const String& displayName, int icon,
                                int level) {
  auto item = std::make_unique<TKivComboItem>();
  item->path = path;
  item->displayName = displayName;
  item->iconIndex = icon;
  item->level = level;
  item->showDisplayName = IsDrivePath(path);
  const int count = Items()->Count();
  if (index < 0 || index > count) index = count;
  Items()->InsertObject(index, path, item.get());
  item.release();  // the entry's now: freed in ItemDeleted
  return index;
}

int TKivFolderCombo::AddFolder(const String& path, int level) {
  if (Items()->IndexOf(path) >= 0) return -1;
  String displayName;
  int icon = -1;
  PathInfo(path, displayName, icon);
  return AddComboItem(path, displayName, icon, level);
}

bool TKivFolderCombo::SelectFolder(const String& path) {
  if (!Enabled()) return false;
  int index = Items()->IndexOf(path);
  if (index < 0) index = AddFolder(path, 0);
  SetItemIndex(index);
  Change();
  return true;
}

void TKivFolderCombo::ItemDeleted(int index, host::TObject* object) {
  delete dynamic_cast<TKivComboItem*>(object);
  host::TCustomComboBox::ItemDeleted(index, object);
}

int TKivFolderCombo::IndexOfMyDocuments() const {
  for (int i = 0; i < Items()->Count(); ++i)
    if (TKivComboItem* item = ItemData(i); item && item->myDocuments) return i;
  return -1;
}

TKivFolderCombo::TKivComboItem* TKivFolderCombo::AdoptPlainItem(int index) {
  if (Items()->Objects(index)) return nullptr;
  auto item = std::make_unique<TKivComboItem>();
  item->path = Items()->Strings(index);
  PathInfo(item->path, item->displayName, item->iconIndex);
  item->showDisplayName = IsDrivePath(item->path);
  // Hung on the item where it stands: replacing the item would reach the window while it draws.
  Items()->SetObjects(index, item.get());
  return item.release();
}

void TKivFolderCombo::Refresh() {
  if (!Enabled() || Designing() || Loading()) return;
  host::UpdateGuard update(*Items());
  // The drives, after the entries there are, in My Computer's order.
  navigator_->SetFileSystemOnly(true);
  navigator_->SetSpecialFolder(SF_DRIVES);
  int position = Items()->Count();
  while (navigator_->Next()) {
    const String name = navigator_->GetObjectName();
    if (name.size() < 2 || Items()->IndexOf(name) >= 0) continue;
    if (name[1] == ':' && includeDrives_)
      InsertItem(position++, name, navigator_->GetShellObjectName(), navigator_->GetIconNumber(), 0);
  }
  // My Documents at the top: the entry marked as such, wherever it stands, is the one to remove.
  const int existing = IndexOfMyDocuments();
  if (!includeMyDocuments_) {
    if (existing >= 0) Items()->Delete(existing);
    return;
  }
  if (existing >= 0) return;
  // Its icon and name are those of an item of its parent folder.
  UniquePidl documents = GetIdListFromSpecialFolder(SF_PERSONAL);
  if (!documents || !navigator_->TrySetAbsoluteItemIdList(documents.get())) return;
  const int index = InsertItem(0, GetPathFromSpecialFolder(SF_PERSONAL),
                               navigator_->GetShellObjectName(), navigator_->GetIconNumber(), 0);
  ItemData(index)->showDisplayName = true;
  ItemData(index)->myDocuments = true;
}

// ---- Window

void TKivFolderCombo::CreateWnd() {
  const bool again = hadWindow_;
  host::TCustomComboBox::CreateWnd();
  hadWindow_ = true;
  Refresh();
  if (again && ItemIndex() >= 0) return;
  const int drive = Items()->IndexOf("C:\\");
  SetItemIndex(drive >= 0 ? drive : std::min(1, Items()->Count() - 1));
  Change();
}

void TKivFolderCombo::WndProc(host::TMessage& message) {
  if (message.Msg == WM_RBUTTONDOWN) {
    WMRButtonDown(message);
    return;
  }
  host::TCustomComboBox::WndProc(message);
}

void TKivFolderCombo::WMRButtonDown(host::TMessage& message) {
  host::TCustomComboBox::WndProc(message);
  if (PopupMenu() || Designing()) return;
  const int index = ItemIndex();
  if (index < 0) return;
  // The folder as an item of its parent, so that its own menu shows.
  if (!navigator_->TrySetDirectory(Items()->Strings(index))) return;
  navigator_->SelectParent();
  const POINT at = ClientToScreen(POINT{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)});
  auto resetCursor = host::ScopeExit([] { host::Screen().SetCursor(host::crDefault); });
  navigator_->ShowContextMenu(at, nullptr);
}

// ---- Drawing

void TKivFolderCombo::DrawItem(int index, const RECT& rect, host::TOwnerDrawState state) {
  TKivComboItem* item = ItemData(index);
  if (!item) item = AdoptPlainItem(index);
  if (!item) {
    host::TCustomComboBox::DrawItem(index, rect, state);
    return;
  }
  host::TCanvas* canvas = Canvas();
  // The brush of the text: the highlight for a selected entry.
  const host::TColor textBrush = canvas->Brush()->Color();
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(rect);
  const bool selected = (state & host::odSelected) != 0;
  const bool inList = (state & host::odComboBoxEdit) == 0;
  const int indent = item->level * indentStep_;
  if (item->iconIndex >= 0) {
    const int x = rect.left + 2 + indent;
    const int y = (rect.top + rect.bottom - images_->Height()) / 2;
    if (selected && inList) {
      images_->SetBlendColor(host::clHighlight);
      images_->Draw(canvas, x, y, item->iconIndex, host::dsSelected, host::itImage);
    } else {
      images_->Draw(canvas, x, y, item->iconIndex, host::dsNormal, host::itImage);
    }
  }
  // The text follows the icon's indent, so that an indented icon never covers it.
  const String& text = item->showDisplayName ? item->displayName : item->path;
  canvas->Brush()->SetColor(textBrush);
  const int x = rect.left + images_->Width() + 6 + indent;
  const int y = rect.top + (rect.bottom - rect.top - canvas->TextHeight(text)) / 2;
  canvas->TextOut(x, y, text);
}

// ---- Published properties

HOST_PROPERTIES(TKivFolderCombo) {
  p.Enum("Style", host::ComboBoxStyleInfo, &TKivFolderCombo::Style, &TKivFolderCombo::SetStyle,
         host::csOwnerDrawFixed);
  p.Bool("IncludeDrives", &TKivFolderCombo::IncludeDrives, &TKivFolderCombo::SetIncludeDrives,
         false)
      .NoDefault();
  p.Bool("IncludeMyDocuments", &TKivFolderCombo::IncludeMyDocuments,
         &TKivFolderCombo::SetIncludeMyDocuments, false)
      .NoDefault();
  p.Bool("UseSystemFont", &TKivFolderCombo::UseSystemFont, &TKivFolderCombo::SetUseSystemFont,
         true);
  p.Str("Version", &TKivFolderCombo::Version, nullptr).NeverStored();
  p.Event<host::TNotifyEvent>("OnChange", &TKivFolderCombo::OnChange);
  p.Event<host::TDrawItemEvent>("OnDrawItem", &TKivFolderCombo::OnDrawItem);
  p.Event<host::TNotifyEvent>("OnDropDown", &TKivFolderCombo::OnDropDown);
}

void TKivFolderCombo::ChangeScale(int m, int d) {
  host::TCustomComboBox::ChangeScale(m, d);
  images_->SetPixelsPerInch(m);
}

}  // namespace zelnor
