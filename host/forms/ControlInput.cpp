// Mouse, keyboard and focus: shift states, mouse buttons and moves with clicks and context
// menus, graphic children under the mouse (capture, enter and leave, cursor, hints), focus and
// tab order, key messages with Tab, Return and Escape.
#include "host/forms/Controls.h"

#include "host/forms/ControlsInternal.h"
#include "host/forms/Forms.h"
#include "host/forms/Menus.h"

#include <windowsx.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace host {

using namespace detail;

TControl* detail::mouseControl = nullptr;

void detail::SetMouseControl(TControl* control) {
  if (control == mouseControl) return;
  TControl* old = mouseControl;
  mouseControl = control;
  if (old) old->Perform(CM_MOUSELEAVE, 0, 0);
  if (control && mouseControl == control) control->Perform(CM_MOUSEENTER, 0, 0);
  MouseControlChanged(mouseControl);
}

namespace {

// A Tab key press that moved the focus; its WM_CHAR is swallowed.
bool tabMovedFocus = false;

}  // namespace

// Section: shift states

TShiftState KeysToShiftState(WPARAM keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  if (keys & MK_MBUTTON) s |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

TShiftState KeyboardShiftState() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  if (GetKeyState(VK_LBUTTON) < 0) s |= ssLeft;
  if (GetKeyState(VK_RBUTTON) < 0) s |= ssRight;
  if (GetKeyState(VK_MBUTTON) < 0) s |= ssMiddle;
  return s;
}

// Section: TControl mouse and context menu

void TControl::WMMouseButton(TMessage& m, TMouseButton button, bool down, bool dbl) {
  const int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
  TShiftState shift = KeysToShiftState(m.WParam);
  if (dbl) shift |= ssDouble;
  if (down) {
    if (button == mbLeft) mouseDownInside_ = true;
    if (dbl && button == mbLeft && (controlStyle_ & csDoubleClicks)) DblClick();
    MouseDown(button, shift, x, y);
  } else {
    const bool click = button == mbLeft && mouseDownInside_;
    if (button == mbLeft) mouseDownInside_ = false;
    if (click && (controlStyle_ & csClickEvents) && x >= 0 && y >= 0 && x < width_ && y < height_)
      Click();
    MouseUp(button, shift, x, y);
  }
  DefaultHandler(m);
}

void TControl::WMMouseMove(TMessage& m) {
  MouseMove(KeysToShiftState(m.WParam), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
  DefaultHandler(m);
}

void TControl::WMContextMenu(TMessage& m) {
  POINT screen{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
  const bool keyboard = screen.x == -1 && screen.y == -1;
  POINT local = keyboard ? POINT{-1, -1} : ScreenToClient(screen);
  bool handled = false;
  DoContextPopup(local, handled);
  if (handled) {
    m.Result = 1;
    return;
  }
  if (popupMenu_ && popupMenu_->AutoPopup()) {
    if (keyboard) screen = ClientToScreen(POINT{0, 0});
    popupMenu_->SetPopupComponent(this);
    popupMenu_->Popup(screen.x, screen.y);
    m.Result = 1;
    return;
  }
  DefaultHandler(m);
}

void TControl::CMHintShow(TMessage&) {}

void TControl::Click() {
  if (OnClick) OnClick(this);
}
void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}
void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}
void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}
void TControl::DoContextPopup(POINT mousePos, bool& handled) {
  if (OnContextPopup) OnContextPopup(this, mousePos, handled);
}

// Section: TWinControl focus and tab order

int TWinControl::TabOrder() const {
  if (!Parent()) return -1;
  const auto& list = Parent()->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : int(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (!Parent()) return;
  auto& list = Parent()->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  list.erase(it);
  order = std::clamp(order, 0, int(list.size()));
  list.insert(list.begin() + order, this);
}

void TWinControl::SetTabStop(bool tabStop) {
  if (tabStop_ == tabStop) return;
  tabStop_ = tabStop;
  if (handle_) {
    LONG style = GetWindowLongW(handle_, GWL_STYLE);
    SetWindowLongW(handle_, GWL_STYLE, tabStop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
  }
}

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

void TWinControl::SetFocus() {
  if (!CanFocus()) return;
  ::SetFocus(Handle());
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool forward,
                                          bool checkTabStop) const {
  // The windowed descendants in tab order, depth first.
  std::vector<TWinControl*> order;
  std::function<void(const TWinControl*)> walk = [&](const TWinControl* parent) {
    for (TWinControl* c : parent->tabList_) {
      order.push_back(c);
      walk(c);
    }
  };
  walk(this);
  if (order.empty()) return nullptr;
  auto it = std::find(order.begin(), order.end(), current);
  size_t start = it == order.end() ? (forward ? order.size() - 1 : 0) : size_t(it - order.begin());
  for (size_t step = 1; step <= order.size(); ++step) {
    const size_t i = forward ? (start + step) % order.size()
                             : (start + order.size() - step % order.size()) % order.size();
    TWinControl* c = order[i];
    if (c == current) break;
    if ((!checkTabStop || c->TabStop()) && c->CanFocus()) return c;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool forward, bool checkTabStop) {
  if (TWinControl* next = FindNextControl(current, forward, checkTabStop)) next->SetFocus();
}

bool TWinControl::BroadcastDialogKey(WORD key) {
  for (TControl* c : std::vector<TControl*>(controls_)) {
    if (!c->Visible() || !c->Enabled()) continue;
    if (c->Perform(CM_DIALOGKEY, key, 0)) return true;
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->BroadcastDialogKey(key)) return true;
  }
  return false;
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}
void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

// Section: TWinControl keys

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}
void TWinControl::KeyUp(WORD& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}
void TWinControl::KeyPress(wchar_t& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::WMKeyDown(TMessage& m) {
  WORD key = WORD(m.WParam);
  const TShiftState shift = KeyboardShiftState();
  tabMovedFocus = false;
  // A form with KeyPreview hears its controls' keys first.
  if (auto* form = dynamic_cast<TForm*>(GetParentForm()); form && form != this && form->KeyPreview()) {
    static_cast<TWinControl*>(form)->KeyDown(key, shift);
    if (key == 0) return;
  }
  KeyDown(key, shift);
  if (key == 0) return;  // consumed by the handler
  if (m.Msg == WM_KEYDOWN && key == VK_TAB && !(shift & (ssCtrl | ssAlt))) {
    MSG msg{handle_, m.Msg, m.WParam, m.LParam, 0, {}};
    const LRESULT code = SendMessageW(handle_, WM_GETDLGCODE, m.WParam, LPARAM(&msg));
    if (!(code & (DLGC_WANTTAB | DLGC_WANTALLKEYS))) {
      if (TWinControl* form = GetParentForm(); form && form != this) {
        form->SelectNext(this, !(shift & ssShift), true);
        tabMovedFocus = true;
        return;
      }
    }
  }
  // Return and Escape go to the form's default and cancel buttons unless the control wants them.
  if (m.Msg == WM_KEYDOWN && (key == VK_RETURN || key == VK_ESCAPE) && !(shift & (ssCtrl | ssAlt))) {
    MSG msg{handle_, m.Msg, m.WParam, m.LParam, 0, {}};
    const LRESULT code = SendMessageW(handle_, WM_GETDLGCODE, m.WParam, LPARAM(&msg));
    if (!(code & DLGC_WANTALLKEYS)) {
      if (TWinControl* form = GetParentForm(); form && form->BroadcastDialogKey(key)) {
        tabMovedFocus = true;  // swallow the character that follows
        return;
      }
    }
  }
  m.WParam = key;
  DefaultHandler(m);
}

void TWinControl::WMKeyUp(TMessage& m) {
  WORD key = WORD(m.WParam);
  KeyUp(key, KeyboardShiftState());
  if (key == 0) return;
  m.WParam = key;
  DefaultHandler(m);
}

void TWinControl::WMChar(TMessage& m) {
  if (tabMovedFocus && (m.WParam == L'\t' || m.WParam == L'\r' || m.WParam == 27)) {
    tabMovedFocus = false;
    return;
  }
  wchar_t ch = wchar_t(m.WParam);
  KeyPress(ch);
  if (ch == 0) return;
  m.WParam = ch;
  DefaultHandler(m);
}

// Section: TWinControl mouse

void TWinControl::ReleaseCapturedGraphic() {
  if (!captureControl_) return;
  captureControl_ = nullptr;
  if (handle_ && GetCapture() == handle_) ReleaseCapture();
}

bool TWinControl::ForwardMouseToGraphic(TMessage& m) {
  const POINT pt{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
  TControl* target = captureControl_;
  if (!target) target = ControlAtPos(pt);
  if (m.Msg == WM_MOUSEMOVE) {
    if (!mouseTracking_ && handle_) {
      TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, handle_, 0};
      mouseTracking_ = TrackMouseEvent(&tme) != FALSE;
    }
    SetMouseControl(target ? target : this);
  }
  if (!target) return false;
  const bool down = m.Msg == WM_LBUTTONDOWN || m.Msg == WM_RBUTTONDOWN ||
                    m.Msg == WM_MBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK;
  const bool up = m.Msg == WM_LBUTTONUP || m.Msg == WM_RBUTTONUP || m.Msg == WM_MBUTTONUP;
  if (down && (target->ControlStyle() & csCaptureMouse) && !captureControl_) {
    captureControl_ = target;
    SetCapture(handle_);
  }
  TControl* keep = target;
  m.Result = target->Perform(
      m.Msg, m.WParam, MAKELPARAM(pt.x - keep->Left(), pt.y - keep->Top()));
  if (up && captureControl_ && !(m.WParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)))
    ReleaseCapturedGraphic();
  return true;
}

void TWinControl::WMMouseLeave(TMessage& m) {
  mouseTracking_ = false;
  if (mouseControl == this ||
      (mouseControl && mouseControl->Parent() == this && !dynamic_cast<TWinControl*>(mouseControl)))
    SetMouseControl(nullptr);
  DefaultHandler(m);
}

void TWinControl::WMSetCursor(TMessage& m) {
  if (Screen().Cursor() != crDefault) {
    ::SetCursor(Screen().Cursors(Screen().Cursor()));
    m.Result = TRUE;
    return;
  }
  if (reinterpret_cast<HWND>(m.WParam) == handle_ && LOWORD(m.LParam) == HTCLIENT) {
    POINT pt;
    GetCursorPos(&pt);
    ::ScreenToClient(handle_, &pt);
    TControl* c = captureControl_ ? captureControl_ : ControlAtPos(pt);
    TCursor cursor = c ? c->Cursor() : crDefault;
    if (cursor == crDefault) cursor = Cursor();
    if (cursor != crDefault) {
      ::SetCursor(Screen().Cursors(cursor));
      m.Result = TRUE;
      return;
    }
  }
  DefaultHandler(m);
}

// Section: hints

void detail::MouseControlChanged(TControl* control) {
  Application().SetHint(control ? control->Hint() : String{});
}

}  // namespace host
