// The host combo box: the item model, its mirror in the window, and owner drawing.
#include "host/views/ComboBox.h"

#include <algorithm>

namespace host {

// ---- Items

void TComboBoxStrings::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
}

String TComboBoxStrings::Strings(int index) const {
  CheckIndex(index);
  return items_[size_t(index)].text;
}

TObject* TComboBoxStrings::Objects(int index) const {
  CheckIndex(index);
  return items_[size_t(index)].object;
}

void TComboBoxStrings::InsertNative(int index) const {
  if (!combo_ || !combo_->HandleAllocated()) return;
  const WideString text = ToWide(items_[size_t(index)].text);
  const LRESULT at = combo_->Send(CB_INSERTSTRING, WPARAM(index), LPARAM(text.c_str()));
  if (at >= 0) combo_->Send(CB_SETITEMDATA, WPARAM(at), LPARAM(items_[size_t(index)].object));
}

void TComboBoxStrings::SetStrings(int index, const String& s) {
  CheckIndex(index);
  items_[size_t(index)].text = s;
  if (!combo_ || !combo_->HandleAllocated()) return;
  const LRESULT selected = combo_->Send(CB_GETCURSEL);
  combo_->Send(CB_DELETESTRING, WPARAM(index));
  InsertNative(index);
  if (selected == index) combo_->Send(CB_SETCURSEL, WPARAM(index));
}

void TComboBoxStrings::SetObjects(int index, TObject* object) {
  CheckIndex(index);
  items_[size_t(index)].object = object;
  if (combo_ && combo_->HandleAllocated())
    combo_->Send(CB_SETITEMDATA, WPARAM(index), LPARAM(object));
}

int TComboBoxStrings::AddObject(const String& s, TObject* object) {
  InsertObject(Count(), s, object);
  return Count() - 1;
}

void TComboBoxStrings::InsertObject(int index, const String& s, TObject* object) {
  if (index < 0 || index > Count()) IndexError(index);
  items_.insert(items_.begin() + index, Entry{s, object});
  if (combo_ && !combo_->HandleAllocated() && combo_->itemIndex_ >= index) ++combo_->itemIndex_;
  InsertNative(index);
}

void TComboBoxStrings::Delete(int index) {
  CheckIndex(index);
  TObject* object = items_[size_t(index)].object;
  items_.erase(items_.begin() + index);
  if (!combo_) return;
  if (combo_->HandleAllocated()) {
    combo_->Send(CB_DELETESTRING, WPARAM(index));
  } else if (combo_->itemIndex_ == index) {
    combo_->itemIndex_ = -1;
  } else if (combo_->itemIndex_ > index) {
    --combo_->itemIndex_;
  }
  combo_->ItemDeleted(index, object);
}

void TComboBoxStrings::Clear() {
  std::vector<Entry> gone;
  gone.swap(items_);
  if (!combo_) return;
  combo_->itemIndex_ = -1;
  if (combo_->HandleAllocated()) combo_->Send(CB_RESETCONTENT);
  // The last item first, as deleting them one by one would.
  for (size_t i = gone.size(); i-- > 0;) combo_->ItemDeleted(int(i), gone[i].object);
}

void TComboBoxStrings::SetUpdateState(bool updating) {
  if (!combo_ || !combo_->HandleAllocated()) return;
  combo_->Send(WM_SETREDRAW, updating ? FALSE : TRUE);
  if (!updating) InvalidateRect(combo_->HandleIfAllocated(), nullptr, TRUE);
}

// ---- The control

HOST_PROPERTIES(TCustomComboBox) {
  p.Enum("Style", ComboBoxStyleInfo, &TCustomComboBox::Style, &TCustomComboBox::SetStyle,
         csDropDown);
  p.Int("DropDownCount", &TCustomComboBox::DropDownCount, &TCustomComboBox::SetDropDownCount, 8);
  p.Int("ItemHeight", &TCustomComboBox::ItemHeight, &TCustomComboBox::SetItemHeight, 16);
  p.Int("MaxLength", &TCustomComboBox::MaxLength, &TCustomComboBox::SetMaxLength, 0);
  p.Strings("Items", &TCustomComboBox::Items);
}

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TWinControl(owner), items_(std::make_unique<TComboBoxStrings>(this)) {
  SetBounds(0, 0, 145, 24);
  SetColor(clWindow);
  SetTabStop(true);
}

TCustomComboBox::~TCustomComboBox() {
  Destroying();
  if (HandleAllocated()) DestroyHandle();
  items_->combo_ = nullptr;
}

LRESULT TCustomComboBox::Send(UINT msg, WPARAM wParam, LPARAM lParam) const {
  HWND wnd = HandleIfAllocated();
  return wnd ? SendMessageW(wnd, msg, wParam, lParam) : 0;
}

void TCustomComboBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, L"COMBOBOX");
  static constexpr DWORD kStyles[] = {
      CBS_DROPDOWN, CBS_SIMPLE, CBS_DROPDOWNLIST, CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED,
      CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE};
  params.Style |= WS_TABSTOP | WS_VSCROLL | WS_CLIPCHILDREN | CBS_AUTOHSCROLL | CBS_HASSTRINGS |
                  kStyles[style_];
  if (style_ == csSimple) {
    params.Style |= CBS_NOINTEGRALHEIGHT;
  } else {
    // A drop-down combo's window height is the extent of its open list; the face keeps its own.
    const int item = itemHeight_ > 0 ? itemHeight_ : 18;
    params.Height = std::max(params.Height, item * (dropDownCount_ + 1) + 8);
  }
}

void TCustomComboBox::CreateWnd() {
  TWinControl::CreateWnd();
  const int keep = itemIndex_;
  for (int i = 0; i < items_->Count(); ++i) items_->InsertNative(i);
  ApplyItemHeight();
  Send(CB_SETMINVISIBLE, WPARAM(dropDownCount_));
  if (maxLength_ > 0) Send(CB_LIMITTEXT, WPARAM(maxLength_));
  if (keep >= 0 && keep < items_->Count()) Send(CB_SETCURSEL, WPARAM(keep));
  itemIndex_ = -1;
  HookEdit();
}

void TCustomComboBox::DestroyWnd() {
  // The items are here already; the selection is kept for the next window.
  itemIndex_ = int(Send(CB_GETCURSEL));
  editHook_.Unhook();
  TWinControl::DestroyWnd();
}

// ---- The edit child's keys

void TCustomComboBox::HookEdit() {
  HWND edit = EditHandle();
  if (!edit || edit == HandleIfAllocated()) return;
  editHook_.Hook(edit, [this](TMessage& message) { EditMessage(message); });
}

void TCustomComboBox::EditMessage(TMessage& message) {
  switch (message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      // A handler that zeroes the key consumes it; one that changes it passes the new key on.
      WORD key = WORD(message.WParam);
      if (message.Msg == WM_KEYDOWN || message.Msg == WM_SYSKEYDOWN)
        KeyDown(key, KeyboardShiftState());
      else
        KeyUp(key, KeyboardShiftState());
      if (key == 0) return;
      message.WParam = key;
      break;
    }
    case WM_CHAR: {
      wchar_t ch = wchar_t(message.WParam);
      KeyPress(ch);
      if (ch == 0) return;
      message.WParam = WPARAM(ch);
      break;
    }
    default:
      break;
  }
  editHook_.CallDefault(message);
}

void TCustomComboBox::ApplyItemHeight() {
  if (itemHeight_ <= 0 || !HandleAllocated()) return;
  if (OwnerDrawn()) Send(CB_SETITEMHEIGHT, WPARAM(-1), LPARAM(itemHeight_));
  if (style_ != csOwnerDrawVariable) Send(CB_SETITEMHEIGHT, 0, LPARAM(itemHeight_));
}

void TCustomComboBox::SetStyle(TComboBoxStyle style) {
  if (style_ == style) return;
  style_ = style;
  if (HandleAllocated()) RecreateWnd();
}

int TCustomComboBox::ItemIndex() const {
  return HandleAllocated() ? int(Send(CB_GETCURSEL)) : itemIndex_;
}

void TCustomComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= items_->Count()) index = -1;
  if (HandleAllocated())
    Send(CB_SETCURSEL, WPARAM(index));
  else
    itemIndex_ = index;
}

bool TCustomComboBox::DroppedDown() const { return Send(CB_GETDROPPEDSTATE) != 0; }

void TCustomComboBox::SetDroppedDown(bool dropped) {
  if (HandleAllocated()) Send(CB_SHOWDROPDOWN, dropped ? TRUE : FALSE);
}

void TCustomComboBox::SetDropDownCount(int count) {
  dropDownCount_ = std::max(count, 1);
  Send(CB_SETMINVISIBLE, WPARAM(dropDownCount_));
}

int TCustomComboBox::ItemHeight() const {
  if (itemHeight_ > 0) return itemHeight_;
  if (HandleAllocated()) return int(Send(CB_GETITEMHEIGHT, 0));
  return 16;
}

void TCustomComboBox::ChangeScale(int m, int d) {
  TWinControl::ChangeScale(m, d);
  if (itemHeight_ > 0) {
    if (!givenItemPpi_) {
      givenItemHeight_ = itemHeight_;
      givenItemPpi_ = d;
    }
    itemHeight_ = ScaleBy(givenItemHeight_, m, givenItemPpi_);
  }
  if (!HandleAllocated() || !OwnerDrawn()) return;
  // The face and the items were measured at the old DPI, when they came: the face's height is
  // scaled from the one it had when first scaled, the items are measured again.
  if (!givenFacePpi_) {
    givenFace_ = int(Send(CB_GETITEMHEIGHT, WPARAM(-1)));
    givenFacePpi_ = d;
  }
  const int face = itemHeight_ > 0 ? itemHeight_ : ScaleBy(givenFace_, m, givenFacePpi_);
  Send(CB_SETITEMHEIGHT, WPARAM(-1), LPARAM(face));
  if (style_ != csOwnerDrawVariable) {
    Send(CB_SETITEMHEIGHT, 0, LPARAM(face));
    return;
  }
  for (int i = 0; i < items_->Count(); ++i) {
    int height = face;
    MeasureItem(i, height);
    Send(CB_SETITEMHEIGHT, WPARAM(i), LPARAM(std::max(height, 1)));
  }
}

void TCustomComboBox::SetItemHeight(int height) {
  givenItemPpi_ = 0;
  itemHeight_ = std::max(height, 0);
  ApplyItemHeight();
}

void TCustomComboBox::SetMaxLength(int length) {
  maxLength_ = std::max(length, 0);
  Send(CB_LIMITTEXT, WPARAM(maxLength_));
}

void TCustomComboBox::SelectAll() { Send(CB_SETEDITSEL, 0, MAKELPARAM(0, 0xFFFF)); }

HWND TCustomComboBox::EditHandle() const {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  HWND wnd = HandleIfAllocated();
  return wnd && GetComboBoxInfo(wnd, &info) ? info.hwndItem : nullptr;
}

HWND TCustomComboBox::ListHandle() const {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  HWND wnd = HandleIfAllocated();
  return wnd && GetComboBoxInfo(wnd, &info) ? info.hwndList : nullptr;
}

// ---- Overridables

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

void TCustomComboBox::Select() {
  if (OnSelect) OnSelect(this);
}

void TCustomComboBox::DropDown() {
  if (OnDropDown) OnDropDown(this);
}

void TCustomComboBox::CloseUp() {
  if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::DrawItem(int index, const RECT& rect, TOwnerDrawState state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  canvas_.FillRect(rect);
  if (index >= 0 && index < items_->Count())
    canvas_.TextOut(rect.left + 2, rect.top, items_->Strings(index));
}

void TCustomComboBox::MeasureItem(int index, int& height) {
  if (OnMeasureItem) OnMeasureItem(this, index, height);
}

void TCustomComboBox::ItemDeleted(int, TObject*) {}

// ---- Messages

void TCustomComboBox::WndProc(TMessage& message) {
  switch (message.Msg) {
    case CN_COMMAND:
      CNCommand(message);
      return;
    case CN_DRAWITEM:
      CNDrawItem(message);
      return;
    case CN_MEASUREITEM:
      CNMeasureItem(message);
      return;
    default:
      TWinControl::WndProc(message);
  }
}

void TCustomComboBox::CNCommand(TMessage& message) {
  message.Result = 0;
  switch (HIWORD(message.WParam)) {
    case CBN_SELCHANGE:
      Select();
      Change();
      return;
    case CBN_EDITCHANGE:
      Change();
      return;
    case CBN_DROPDOWN:
      DropDown();
      return;
    case CBN_CLOSEUP:
      CloseUp();
      return;
    default:
      return;
  }
}

void TCustomComboBox::CNDrawItem(TMessage& message) {
  const auto& draw = *reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
  const TOwnerDrawState state = GetOwnerDrawState(draw.itemState);
  const bool selected = (state & odSelected) != 0;
  canvas_.SetFont(Font());
  canvas_.Font()->SetColor(selected ? clHighlightText : Font()->Color());
  canvas_.Brush()->SetColor(selected ? clHighlight : Color());
  {
    canvas_.SetHandle(draw.hDC);
    auto release = ScopeExit([this] { canvas_.SetHandle(nullptr); });
    if (int(draw.itemID) < 0)
      canvas_.FillRect(draw.rcItem);
    else
      DrawItem(int(draw.itemID), draw.rcItem, state);
  }
  if ((state & odFocused) && !(state & odNoFocusRect)) DrawFocusRect(draw.hDC, &draw.rcItem);
  message.Result = TRUE;
}

void TCustomComboBox::CNMeasureItem(TMessage& message) {
  auto& measure = *reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam);
  int height = itemHeight_ > 0 ? itemHeight_ : int(measure.itemHeight);
  if (style_ == csOwnerDrawVariable && int(measure.itemID) >= 0) MeasureItem(int(measure.itemID), height);
  measure.itemHeight = UINT(std::max(height, 1));
  message.Result = TRUE;
}

}  // namespace host
