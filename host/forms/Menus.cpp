// Menus: the item tree, command identifiers, menu handles, popping up, owner drawing and the
// popup-list window.
#include "host/forms/Menus.h"

#include "host/core/Streaming.h"
#include "host/forms/Application.h"
#include "host/graphics/ImageList.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace host {

namespace {

// Command identifiers in use, from kFirstMenuCommand; each new item takes the lowest free one.
std::vector<bool>& UsedCommands() {
  static auto* used = new std::vector<bool>(kLastMenuCommand - kFirstMenuCommand + 1, false);
  return *used;
}

std::unordered_map<UINT, TMenuItem*>& ItemsByCommand() {
  static auto* map = new std::unordered_map<UINT, TMenuItem*>;
  return *map;
}

// Items alive now: item data of owner-drawn entries is checked against it before use.
std::unordered_set<TMenuItem*>& LiveItems() {
  static auto* set = new std::unordered_set<TMenuItem*>;
  return *set;
}

UINT TakeCommand() {
  auto& used = UsedCommands();
  auto it = std::find(used.begin(), used.end(), false);
  if (it == used.end()) throw EOutOfResources("No free menu command identifiers");
  *it = true;
  return kFirstMenuCommand + UINT(it - used.begin());
}

void ReleaseCommand(UINT command) {
  if (command >= kFirstMenuCommand && command <= kLastMenuCommand)
    UsedCommands()[command - kFirstMenuCommand] = false;
}

TMenuItem* LiveItem(ULONG_PTR data) {
  auto* item = reinterpret_cast<TMenuItem*>(data);
  return LiveItems().count(item) ? item : nullptr;
}

TMenuItem* ItemBySubmenu(HMENU submenu) {
  if (!submenu) return nullptr;
  for (TMenuItem* item : LiveItems())
    if (item->HandleIfAllocated() == submenu) return item;
  return nullptr;
}

// The identifier of the entry at `pos` whatever its kind (GetMenuItemID answers -1 for submenus).
UINT EntryCommand(HMENU menu, int pos) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID;
  return GetMenuItemInfoW(menu, UINT(pos), TRUE, &info) ? info.wID : 0;
}

// Made once and kept for the process; the owners delete them at its end.
HFONT MenuFont(bool bold) {
  static UniqueGdiObject fonts[2];
  UniqueGdiObject& font = fonts[bold ? 1 : 0];
  if (!font) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    if (bold) metrics.lfMenuFont.lfWeight = FW_BOLD;
    font.reset(CreateFontIndirectW(&metrics.lfMenuFont));
  }
  return HFONT(font.get());
}

}  // namespace

String ShortCutToText(TShortCut shortCut) {
  const WORD key = shortCut & 0xFF;
  if (!key) return String{};
  String text;
  if (shortCut & scShift) text += "Shift+";
  if (shortCut & scCtrl) text += "Ctrl+";
  if (shortCut & scAlt) text += "Alt+";
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return text + char(key);
  if (key >= VK_F1 && key <= VK_F24) return text + "F" + IntToStr(key - VK_F1 + 1);
  switch (key) {
    case VK_BACK: return text + "BkSp";
    case VK_TAB: return text + "Tab";
    case VK_RETURN: return text + "Enter";
    case VK_ESCAPE: return text + "Esc";
    case VK_SPACE: return text + "Space";
    case VK_PRIOR: return text + "PgUp";
    case VK_NEXT: return text + "PgDn";
    case VK_END: return text + "End";
    case VK_HOME: return text + "Home";
    case VK_LEFT: return text + "Left";
    case VK_UP: return text + "Up";
    case VK_RIGHT: return text + "Right";
    case VK_DOWN: return text + "Down";
    case VK_INSERT: return text + "Ins";
    case VK_DELETE: return text + "Del";
    default: break;
  }
  wchar_t name[64] = {};
  const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
  if (GetKeyNameTextW(LONG(scan << 16), name, 64) > 0) return text + ToUtf8(name);
  return text + "$" + IntToStr(key);
}

// Section: TMenuItem

HOST_PROPERTIES(TMenuItem) {
  p.Component("Action", &TMenuItem::Action, &TMenuItem::SetAction);
  p.Bool("AutoCheck", &TMenuItem::AutoCheck, &TMenuItem::SetAutoCheck, false);
  p.Enum("Break", MenuBreakInfo, &TMenuItem::Break, &TMenuItem::SetBreak, mbNone);
  p.Str("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption);
  p.Bool("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked, false);
  p.Bool("Default", &TMenuItem::Default, &TMenuItem::SetDefault, false);
  p.Bool("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled, true);
  p.Int("GroupIndex", &TMenuItem::GroupIndex, &TMenuItem::SetGroupIndex, 0);
  p.Int("HelpContext", &TMenuItem::HelpContext, &TMenuItem::SetHelpContext, 0);
  p.Str("Hint", &TMenuItem::Hint, &TMenuItem::SetHint);
  p.Int("ImageIndex", &TMenuItem::ImageIndex, &TMenuItem::SetImageIndex, -1);
  p.Bool("RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem, false);
  p.Int("ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut, 0);
  p.Bool("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible, true);
  p.Event("OnClick", &TMenuItem::OnClick);
  p.Event("OnDrawItem", &TMenuItem::OnDrawItem);
  p.Event("OnMeasureItem", &TMenuItem::OnMeasureItem);
}

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), command_(TakeCommand()) {
  ItemsByCommand()[command_] = this;
  LiveItems().insert(this);
}

TMenuItem::~TMenuItem() {
  Destroying();
  while (!items_.empty()) delete items_.back();
  if (parent_) parent_->Remove(this);
  SetAction(nullptr);
  LiveItems().erase(this);
  ItemsByCommand().erase(command_);
  ReleaseCommand(command_);
  handle_.reset();
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : int(it - items_.begin());
}

int TMenuItem::MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }

void TMenuItem::SetMenuIndex(int index) {
  if (!parent_) return;
  TMenuItem* parent = parent_;
  parent->Remove(this);
  parent->Insert(std::clamp(index, 0, parent->Count()), this);
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item || item->parent_ == this) return;
  for (TMenuItem* p = this; p; p = p->parent_)
    if (p == item) throw EComponentError("A menu item cannot contain itself");
  if (item->parent_) item->parent_->Remove(item);
  index = std::clamp(index, 0, Count());
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
  dirty_ = true;
  Changed();
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  item->DetachFromParentHandle();
  items_.erase(it);
  item->parent_ = nullptr;
  dirty_ = true;
  Changed();
}

void TMenuItem::Delete(int index) { delete items_.at(size_t(index)); }

void TMenuItem::Clear() {
  while (!items_.empty()) delete items_.back();
}

TMenuItem* TMenuItem::Find(const String& caption) const {
  auto plain = [](String s) {
    s.erase(std::remove(s.begin(), s.end(), '&'), s.end());
    return s;
  };
  for (TMenuItem* item : items_)
    if (SameText(plain(item->caption_), plain(caption))) return item;
  return nullptr;
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* root = this;
  while (root->parent_) root = root->parent_;
  return root->menu_;
}

void TMenuItem::DetachFromParentHandle() {
  if (!parent_ || !parent_->handle_) return;
  const int n = GetMenuItemCount(parent_->handle_.get());
  for (int pos = n - 1; pos >= 0; --pos) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_DATA;
    if (GetMenuItemInfoW(parent_->handle_.get(), UINT(pos), TRUE, &info) &&
        info.dwItemData == reinterpret_cast<ULONG_PTR>(this))
      RemoveMenu(parent_->handle_.get(), UINT(pos), MF_BYPOSITION);
  }
}

void TMenuItem::Changed() {
  // The parent's entry for this item, and every menu up to the root, are rebuilt on next use.
  for (TMenuItem* p = parent_; p; p = p->parent_) p->dirty_ = true;
  if (TMenu* menu = GetParentMenu()) menu->MenuChanged();
}

HMENU TMenuItem::Handle() {
  if (!handle_) {
    handle_.reset(menuBar_ ? CreateMenu() : CreatePopupMenu());
    if (!handle_) RaiseLastOSError();
    dirty_ = true;
  }
  if (dirty_) Rebuild();
  return handle_.get();
}

bool TMenuItem::IsOwnerDrawn() const {
  if (menuBar_ || (parent_ && parent_->menuBar_ && !OnDrawItem)) return false;
  if (OnDrawItem) return true;
  TMenu* menu = GetParentMenu();
  return menu && (menu->OwnerDraw() || (menu->Images() && imageIndex_ >= 0));
}

void TMenuItem::FillItemInfo(MENUITEMINFOW& info, std::wstring& text) {
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA | MIIM_SUBMENU | MIIM_STRING;
  info.fType = 0;
  if (IsLine()) info.fType |= MFT_SEPARATOR;
  if (break_ == mbBreak) info.fType |= MFT_MENUBREAK;
  if (break_ == mbBarBreak) info.fType |= MFT_MENUBARBREAK;
  if (radioItem_) info.fType |= MFT_RADIOCHECK;
  if (IsOwnerDrawn()) info.fType |= MFT_OWNERDRAW;
  info.fState = (checked_ ? MFS_CHECKED : 0) | (enabled_ ? 0 : MFS_DISABLED) |
                (default_ ? MFS_DEFAULT : 0);
  info.wID = command_;
  info.dwItemData = reinterpret_cast<ULONG_PTR>(this);
  info.hSubMenu = items_.empty() ? nullptr : Handle();
  text = ToWide(caption_);
  if (shortCut_) text += L"\t" + ToWide(ShortCutToText(shortCut_));
  info.dwTypeData = text.data();
  info.cch = UINT(text.size());
}

void TMenuItem::Rebuild() {
  dirty_ = false;
  // Take our own entries out without destroying submenus (each child owns its own handle).
  // Entries someone else put into the handle (the shell's context-menu items) stay where they
  // are; ours go back as one block where the first of them was.
  std::unordered_set<UINT> own;
  for (TMenuItem* item : items_) own.insert(item->command_);
  int first = -1;
  for (int i = GetMenuItemCount(handle_.get()) - 1; i >= 0; --i) {
    if (!own.count(EntryCommand(handle_.get(), i))) continue;
    RemoveMenu(handle_.get(), UINT(i), MF_BYPOSITION);
    first = i;
  }
  if (first >= 0) ownStart_ = first;
  UINT pos = UINT(std::min(ownStart_, std::max(GetMenuItemCount(handle_.get()), 0)));
  for (TMenuItem* item : items_) {
    if (!item->visible_) continue;
    MENUITEMINFOW info{};
    std::wstring text;
    item->FillItemInfo(info, text);
    InsertMenuItemW(handle_.get(), pos++, TRUE, &info);
  }
}

void TMenuItem::SetCaption(const String& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  Changed();
}
void TMenuItem::SetShortCut(TShortCut shortCut) {
  if (shortCut_ == shortCut) return;
  shortCut_ = shortCut;
  Changed();
}
void TMenuItem::SetBreak(TMenuBreak value) {
  if (break_ == value) return;
  break_ = value;
  Changed();
}

void TMenuItem::TurnSiblingsOff() {
  if (!parent_) return;
  for (TMenuItem* sibling : parent_->items_)
    if (sibling != this && sibling->radioItem_ && sibling->groupIndex_ == groupIndex_ &&
        sibling->checked_) {
      sibling->checked_ = false;
      sibling->Changed();
    }
}

void TMenuItem::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  if (checked && radioItem_) TurnSiblingsOff();
  Changed();
}
void TMenuItem::SetDefault(bool isDefault) {
  if (default_ == isDefault) return;
  default_ = isDefault;
  Changed();
}
void TMenuItem::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Changed();
}
void TMenuItem::SetRadioItem(bool radio) {
  if (radioItem_ == radio) return;
  radioItem_ = radio;
  if (radio && checked_) TurnSiblingsOff();
  Changed();
}
void TMenuItem::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Changed();
}
void TMenuItem::SetImageIndex(int index) {
  if (imageIndex_ == index) return;
  imageIndex_ = index;
  Changed();
}

void TMenuItem::SetAction(TComponent* action) {
  if (action_ == action) return;
  if (action_) action_->RemoveFreeNotification(this);
  action_ = action;
  if (action) action->FreeNotification(this);
}

void TMenuItem::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == action_) action_ = nullptr;
}

void TMenuItem::Click() {
  if (!enabled_) return;
  if (autoCheck_) SetChecked(!checked_ || radioItem_);
  if (OnClick) OnClick(this);
}

void TMenuItem::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
  for (TMenuItem* item : std::vector<TMenuItem*>(items_))
    if (item->Owner() == root && !item->Name().empty()) proc(item);
}

void TMenuItem::SetParentComponent(TComponent* parent) {
  if (auto* menu = dynamic_cast<TMenu*>(parent))
    menu->Items()->Add(this);
  else if (auto* item = dynamic_cast<TMenuItem*>(parent))
    item->Add(this);
}

TMenuItem* CopyMenuItem(const TMenuItem* source, TComponent* owner) {
  auto copy = std::make_unique<TMenuItem>(owner);
  copy->SetCaption(source->Caption());
  copy->SetShortCut(source->ShortCut());
  copy->SetName(source->Name());
  copy->OnClick = source->OnClick;
  copy->SetHint(source->Hint());
  copy->SetBreak(source->Break());
  copy->SetRadioItem(source->RadioItem());
  copy->SetGroupIndex(source->GroupIndex());
  copy->SetChecked(source->Checked());
  copy->SetDefault(source->Default());
  copy->SetEnabled(source->Enabled());
  copy->SetHelpContext(source->HelpContext());
  copy->SetTag(source->Tag());
  copy->SetVisible(source->Visible());
  copy->SetImageIndex(source->ImageIndex());
  copy->SetAction(source->Action());
  copy->SetAutoCheck(source->AutoCheck());
  copy->OnDrawItem = source->OnDrawItem;
  copy->OnMeasureItem = source->OnMeasureItem;
  for (int i = 0; i < source->Count(); ++i) copy->Add(CopyMenuItem(source->Items(i), owner));
  return copy.release();
}

// Section: owner drawing

void TMenuItem::MeasureItem(HDC dc, int& width, int& height) {
  if (OnMeasureItem) {
    TCanvas canvas;
    canvas.SetHandle(dc);
    width = 0;
    height = 0;
    OnMeasureItem(this, &canvas, width, height);
    canvas.SetHandle(nullptr);
    return;
  }
  if (IsLine()) {
    width = 10;
    height = GetSystemMetrics(SM_CYMENU) / 2;
    return;
  }
  TMenu* menu = GetParentMenu();
  const int imageW = menu && menu->Images() ? menu->Images()->Width() : 0;
  const int imageH = menu && menu->Images() ? menu->Images()->Height() : 0;
  SelectedObject font(dc, MenuFont(default_));
  SIZE text{}, shortcut{};
  std::wstring caption = ToWide(caption_);
  caption.erase(std::remove(caption.begin(), caption.end(), L'&'), caption.end());
  GetTextExtentPoint32W(dc, caption.c_str(), int(caption.size()), &text);
  if (shortCut_) {
    const std::wstring sc = ToWide(ShortCutToText(shortCut_));
    GetTextExtentPoint32W(dc, sc.c_str(), int(sc.size()), &shortcut);
  }
  const int box = std::max(imageW, GetSystemMetrics(SM_CXMENUCHECK)) + 8;
  width = box + text.cx + (shortCut_ ? 24 + shortcut.cx : 0) + 8;
  height = std::max<int>(text.cy + 6, imageH + 4);
}

void TMenuItem::DrawItem(HDC dc, const RECT& rect, bool selected) {
  if (OnDrawItem) {
    TCanvas canvas;
    canvas.SetHandle(dc);
    OnDrawItem(this, &canvas, rect, selected);
    canvas.SetHandle(nullptr);
    return;
  }
  RECT r = rect;
  FillRect(dc, &r, GetSysColorBrush(selected && enabled_ ? COLOR_HIGHLIGHT : COLOR_MENU));
  if (IsLine()) {
    RECT line{r.left + 2, (r.top + r.bottom) / 2 - 1, r.right - 2, (r.top + r.bottom) / 2 + 1};
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    return;
  }
  TMenu* menu = GetParentMenu();
  TCustomImageList* images = menu ? menu->Images() : nullptr;
  const int imageW = images ? images->Width() : 0;
  const int box = std::max(imageW, GetSystemMetrics(SM_CXMENUCHECK)) + 8;
  if (images && imageIndex_ >= 0 && imageIndex_ < images->Count()) {
    TCanvas canvas;
    canvas.SetHandle(dc);
    images->Draw(&canvas, r.left + (box - imageW) / 2,
                 (r.top + r.bottom - images->Height()) / 2, imageIndex_, enabled_);
    canvas.SetHandle(nullptr);
    if (checked_) {
      RECT frame{r.left + 1, r.top + 1, r.left + box - 1, r.bottom - 1};
      DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
    }
  } else if (checked_) {
    const int cx = GetSystemMetrics(SM_CXMENUCHECK), cy = GetSystemMetrics(SM_CYMENUCHECK);
    RECT check{r.left + (box - cx) / 2, (r.top + r.bottom - cy) / 2, 0, 0};
    check.right = check.left + cx;
    check.bottom = check.top + cy;
    DrawFrameControl(dc, &check, DFC_MENU, radioItem_ ? DFCS_MENUBULLET : DFCS_MENUCHECK);
  }
  SelectedObject font(dc, MenuFont(default_));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(!enabled_ ? COLOR_GRAYTEXT
                               : selected ? COLOR_HIGHLIGHTTEXT
                                          : COLOR_MENUTEXT));
  RECT textRect{r.left + box, r.top, r.right - 8, r.bottom};
  const std::wstring caption = ToWide(caption_);
  DrawTextW(dc, caption.c_str(), int(caption.size()), &textRect,
            DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  if (shortCut_) {
    const std::wstring sc = ToWide(ShortCutToText(shortCut_));
    DrawTextW(dc, sc.c_str(), int(sc.size()), &textRect, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
  }
}

// Section: TMenu

HOST_PROPERTIES(TMenu) {
  p.Component("Images", &TMenu::Images, &TMenu::SetImages);
  p.Bool("OwnerDraw", &TMenu::OwnerDraw, &TMenu::SetOwnerDraw, false);
}

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(nullptr)) {
  items_->menu_ = this;
}

TMenu::~TMenu() {
  Destroying();
  SetImages(nullptr);
  delete items_;
}

void TMenu::SetImages(TCustomImageList* images) {
  if (images_ == images) return;
  if (images_) images_->RemoveFreeNotification(this);
  images_ = images;
  if (images) images->FreeNotification(this);
  // Every entry's owner drawing may change.
  std::function<void(TMenuItem*)> mark = [&](TMenuItem* item) {
    item->dirty_ = true;
    for (TMenuItem* child : item->items_) mark(child);
  };
  mark(items_);
  MenuChanged();
}

void TMenu::SetOwnerDraw(bool ownerDraw) {
  if (ownerDraw_ == ownerDraw) return;
  ownerDraw_ = ownerDraw;
  std::function<void(TMenuItem*)> mark = [&](TMenuItem* item) {
    item->dirty_ = true;
    for (TMenuItem* child : item->items_) mark(child);
  };
  mark(items_);
  MenuChanged();
}

void TMenu::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == images_) SetImages(nullptr);
}

TMenuItem* TMenu::FindItem(UINT_PTR value, TFindItemKind kind) const {
  std::function<TMenuItem*(TMenuItem*)> search = [&](TMenuItem* item) -> TMenuItem* {
    for (TMenuItem* child : item->items_) {
      switch (kind) {
        case fkCommand:
          if (child->command_ == value) return child;
          break;
        case fkHandle:
          if (child->handle_ && reinterpret_cast<UINT_PTR>(child->handle_.get()) == value)
            return child;
          break;
        case fkShortCut:
          if (child->shortCut_ && child->shortCut_ == value) return child;
          break;
      }
      if (TMenuItem* found = search(child)) return found;
    }
    return nullptr;
  };
  if (kind == fkHandle && items_->handle_ &&
      reinterpret_cast<UINT_PTR>(items_->handle_.get()) == value)
    return items_;
  return search(items_);
}

bool TMenu::DispatchCommand(UINT command) {
  TMenuItem* item = FindItem(command, fkCommand);
  if (!item) return false;
  item->Click();
  return true;
}

bool TMenu::DispatchPopup(HMENU submenu) {
  TMenuItem* item = FindItem(reinterpret_cast<UINT_PTR>(submenu), fkHandle);
  if (!item) return false;
  if (item != items_) item->Click();
  item->Handle();  // brings the entries up to date before they show
  return true;
}

void TMenu::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
  items_->GetChildren(proc, root);
}

// Section: TPopupMenu

HOST_PROPERTIES(TPopupMenu) {
  p.Enum("Alignment", PopupAlignmentInfo, &TPopupMenu::Alignment, &TPopupMenu::SetAlignment,
         paLeft);
  p.Bool("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup, true);
  p.Event("OnPopup", &TPopupMenu::OnPopup);
}

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}

void TPopupMenu::SetPopupComponent(TComponent* component) {
  if (popupComponent_ == component) return;
  if (popupComponent_) popupComponent_->RemoveFreeNotification(this);
  popupComponent_ = component;
  if (component) component->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
  TMenu::Notification(component, operation);
  if (operation == opRemove && component == popupComponent_) popupComponent_ = nullptr;
}

void TPopupMenu::DoPopup() {
  if (OnPopup) OnPopup(this);
}

void TPopupMenu::Popup(int x, int y) { TrackPopup(x, y); }

TMenuItem* TPopupMenu::TrackPopup(int x, int y) {
  popupPoint_ = POINT{x, y};
  DoPopup();
  HMENU menu = Handle();
  UINT flags = TPM_RETURNCMD | TPM_RIGHTBUTTON;
  flags |= alignment_ == paRight ? TPM_RIGHTALIGN : alignment_ == paCenter ? TPM_CENTERALIGN
                                                                           : TPM_LEFTALIGN;
  HWND owner = PopupListWindow();
  const UINT command = UINT(TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr));
  PostMessageW(owner, WM_NULL, 0, 0);
  TMenuItem* item = command ? FindItem(command, fkCommand) : nullptr;
  if (item) item->Click();
  return item;
}

// Section: TMainMenu

HOST_PROPERTIES(TMainMenu) {}

TMainMenu::TMainMenu(TComponent* owner) : TMenu(owner) { Items()->menuBar_ = true; }

void TMainMenu::MenuChanged() {
  if (window_ && IsWindow(window_) && GetMenu(window_) == Items()->handle_.get()) {
    Items()->Handle();
    DrawMenuBar(window_);
  }
}

// Section: the popup-list window

bool DispatchMenuMessage(TMessage& m) {
  switch (m.Msg) {
    case WM_COMMAND: {
      if (HIWORD(m.WParam) != 0 || m.LParam != 0) return false;
      auto it = ItemsByCommand().find(LOWORD(m.WParam));
      if (it == ItemsByCommand().end()) return false;
      it->second->Click();
      m.Result = 0;
      return true;
    }
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      if (mis->CtlType != ODT_MENU) return false;
      TMenuItem* item = LiveItem(mis->itemData);
      if (!item) return false;
      WindowDC screen;
      int w = 0, h = 0;
      item->MeasureItem(screen.get(), w, h);
      mis->itemWidth = UINT(std::max(w, 0));
      mis->itemHeight = UINT(std::max(h, 0));
      m.Result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
      if (dis->CtlType != ODT_MENU) return false;
      TMenuItem* item = LiveItem(dis->itemData);
      if (!item) return false;
      const int saved = SaveDC(dis->hDC);
      item->DrawItem(dis->hDC, dis->rcItem, (dis->itemState & ODS_SELECTED) != 0);
      RestoreDC(dis->hDC, saved);
      m.Result = TRUE;
      return true;
    }
    case WM_INITMENUPOPUP: {
      TMenuItem* item = ItemBySubmenu(reinterpret_cast<HMENU>(m.WParam));
      if (!item) return false;
      if (item->Parent()) item->Click();
      item->Handle();
      m.Result = 0;
      return true;
    }
    case WM_MENUSELECT: {
      const UINT id = LOWORD(m.WParam), flags = HIWORD(m.WParam);
      auto menu = reinterpret_cast<HMENU>(m.LParam);
      if (flags == 0xFFFF && !menu) {
        Application().SetHint(String{});
        return false;
      }
      TMenuItem* item = nullptr;
      if (flags & MF_POPUP)
        item = ItemBySubmenu(GetSubMenu(menu, int(id)));
      else if (auto it = ItemsByCommand().find(id); it != ItemsByCommand().end())
        item = it->second;
      if (!item) return false;
      Application().SetHint(GetLongHint(item->Hint()));
      m.Result = 0;
      return true;
    }
    default: return false;
  }
}

// Made on first use and kept for the process.
HWND PopupListWindow() {
  static UniqueHiddenWindow window{AllocateHWnd([](TMessage& m) {
    if (!DispatchMenuMessage(m)) DefaultHandler(m);
  })};
  return window.get();
}

void RegisterMenuClasses() {
  RegisterClasses({ComponentClass<TMenuItem>(), ComponentClass<TPopupMenu>(),
                   ComponentClass<TMainMenu>()});
}

}  // namespace host
