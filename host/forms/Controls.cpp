// The visual base classes: TControl, TWinControl, TCustomControl, TGraphicControl, the window
// procedure shared by all our windows, notification reflection, alignment and mouse tracking.
#include "host/forms/Controls.h"

#include "host/core/Streaming.h"
#include "host/forms/Menus.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <unordered_map>

namespace host {

namespace {

// How many windows are tied to our controls. Controls live on the main thread only.
int liveWindows = 0;

// The default procedure of each class we registered, by class atom: used for messages that
// reach a window before it is bound to its control or after the control let go of it.
std::unordered_map<ATOM, WNDPROC>& ClassProcs() {
  static auto* procs = new std::unordered_map<ATOM, WNDPROC>;
  return *procs;
}

// The control under the mouse (graphic controls included), for CM_MOUSEENTER/CM_MOUSELEAVE.
TControl* mouseControl = nullptr;

// A Tab key press that moved the focus; its WM_CHAR is swallowed.
bool tabMovedFocus = false;

// Child window identifiers; WM_MEASUREITEM names its control only by identifier.
UINT nextChildId = 0x100;

void InitCommonControlsOnce() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES |
                                             ICC_USEREX_CLASSES | ICC_LINK_CLASS};
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)done;
}

void SetMouseControl(TControl* control) {
  if (control == mouseControl) return;
  TControl* old = mouseControl;
  mouseControl = control;
  if (old) old->Perform(CM_MOUSELEAVE, 0, 0);
  if (control && mouseControl == control) control->Perform(CM_MOUSEENTER, 0, 0);
  detail::MouseControlChanged(mouseControl);
}

RECT Normalised(int left, int top, int width, int height) {
  return RECT{left, top, left + std::max(width, 0), top + std::max(height, 0)};
}

}  // namespace

// Section: the window procedure

// Every window of our controls has this class procedure, native classes' superclasses too: it
// sees WM_NCCREATE, where the window is tied to its control (see TiedObject).
LRESULT CALLBACK HostWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* control = static_cast<TWinControl*>(TiedObject(wnd, msg, lp));
  if (!control) {
    auto& procs = ClassProcs();
    auto p = procs.find(ATOM(GetClassLongPtrW(wnd, GCW_ATOM)));
    return CallWindowProcW(p != procs.end() ? p->second : DefWindowProcW, wnd, msg, wp, lp);
  }
  TMessage m{msg, wp, lp, 0};
  CREATESTRUCTW forClass;
  if (msg == WM_NCCREATE || msg == WM_CREATE) {
    if (msg == WM_NCCREATE && !control->handle_) {
      control->handle_ = wnd;
      ++liveWindows;
    }
    // The class reads the creation data the control asked for, not the tie.
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
    if (control->creation_ && create->lpCreateParams == control->creation_) {
      forClass = *create;
      forClass.lpCreateParams = control->creation_->classParam;
      m.LParam = reinterpret_cast<LPARAM>(&forClass);
    }
  }
  try {
    control->WndProc(m);
  } catch (...) {
    // An exception must not unwind through the platform's dispatcher.
    Application().HandleException(std::current_exception(), control);
  }
  if (msg == WM_NCDESTROY) {
    if (UntieWindow(wnd)) --liveWindows;
    if (control->handle_ == wnd) control->handle_ = nullptr;
  }
  return m.Result;
}

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

// Section: TControl

const TEnumInfo& CursorIdents() {
  static const TEnumInfo names{
      {"crDefault", crDefault},   {"crNone", crNone},         {"crArrow", crArrow},
      {"crCross", crCross},       {"crIBeam", crIBeam},       {"crSizeNESW", crSizeNESW},
      {"crSizeNS", crSizeNS},     {"crSizeNWSE", crSizeNWSE}, {"crSizeWE", crSizeWE},
      {"crUpArrow", crUpArrow},   {"crHourGlass", crHourGlass}, {"crDrag", crDrag},
      {"crNoDrop", crNoDrop},     {"crHSplit", crHSplit},     {"crVSplit", crVSplit},
      {"crMultiDrag", crMultiDrag}, {"crSQLWait", crSQLWait}, {"crNo", crNo},
      {"crAppStart", crAppStart}, {"crHelp", crHelp},         {"crHandPoint", crHandPoint},
      {"crSizeAll", crSizeAll}};
  return names;
}

HOST_PROPERTIES(TControl) {
  p.Int("Left", &TControl::Left, &TControl::SetLeft, 0).NoDefault();
  p.Int("Top", &TControl::Top, &TControl::SetTop, 0).NoDefault();
  p.Int("Width", &TControl::Width, &TControl::SetWidth, 0).NoDefault();
  p.Int("Height", &TControl::Height, &TControl::SetHeight, 0).NoDefault();
  p.Enum("Align", AlignInfo, &TControl::Align, &TControl::SetAlign, alNone);
  p.Int("Cursor", &TControl::Cursor, &TControl::SetCursor, crDefault).Named(CursorIdents());
  p.Enum("DragMode", DragModeInfo, &TControl::DragMode, &TControl::SetDragMode, dmManual);
  p.Bool("Enabled", &TControl::Enabled, &TControl::SetEnabled, true);
  p.Bool("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, false);
  p.Int("Color", &TControl::Color, &TControl::SetColor, clBtnFace)
      .StoredIf(&TControl::IsColorStored)
      .Named(ColorIdents());
  p.Bool("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true);
  p.Object("Font", [](TControl* c) { return c->Font(); }).StoredIf(&TControl::IsFontStored);
  p.Str("Hint", &TControl::Hint, &TControl::SetHint);
  p.Component("PopupMenu", &TControl::PopupMenu, &TControl::SetPopupMenu);
  p.Bool("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint, true);
  p.Bool("ShowHint", &TControl::ShowHint, &TControl::SetShowHint, false)
      .StoredIf(&TControl::IsShowHintStored);
  p.Bool("Visible", &TControl::Visible, &TControl::SetVisible, true);
  p.Event("OnClick", &TControl::OnClick);
  p.Event("OnDblClick", &TControl::OnDblClick);
  p.Event("OnResize", &TControl::OnResize);
  p.Event("OnMouseDown", &TControl::OnMouseDown);
  p.Event("OnMouseUp", &TControl::OnMouseUp);
  p.Event("OnMouseMove", &TControl::OnMouseMove);
  p.Event("OnContextPopup", &TControl::OnContextPopup);
}

TControl::TControl(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>()) {
  font_->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
  Destroying();
  if (mouseControl == this) mouseControl = nullptr;
  detail::MouseControlChanged(mouseControl);
  if (parent_) parent_->RemoveControl(this);
  SetPopupMenu(nullptr);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw EComponentError("A control cannot have itself as its parent");
  if (parent_) parent_->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

void TControl::SetParentComponent(TComponent* parent) {
  if (auto* wc = dynamic_cast<TWinControl*>(parent)) SetParent(wc);
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (parent_ && align_ != alNone) parent_->Realign();
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == popupMenu_) popupMenu_ = nullptr;
}

// Section: TControl bounds and layout

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const bool resized = width != width_ || height != height_;
  Invalidate();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Invalidate();
  RequestAlign();
  if (resized) Resize();
}

RECT TControl::ClientRect() const { return RECT{0, 0, std::max(width_, 0), std::max(height_, 0)}; }
int TControl::ClientWidth() const {
  RECT r = ClientRect();
  return r.right - r.left;
}
int TControl::ClientHeight() const {
  RECT r = ClientRect();
  return r.bottom - r.top;
}

void TControl::SetClientSize(int width, int height) {
  const RECT r = ClientRect();
  SetBounds(left_, top_, width_ + width - (r.right - r.left), height_ + height - (r.bottom - r.top));
}

POINT TControl::ClientOrigin() const {
  if (!parent_) return POINT{left_, top_};
  POINT o = parent_->ClientOrigin();
  return POINT{o.x + left_, o.y + top_};
}

POINT TControl::ClientToScreen(POINT pt) const {
  const POINT o = ClientOrigin();
  return POINT{pt.x + o.x, pt.y + o.y};
}

POINT TControl::ScreenToClient(POINT pt) const {
  const POINT o = ClientOrigin();
  return POINT{pt.x - o.x, pt.y - o.y};
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  RequestAlign();
}

void TControl::RequestAlign() {
  if (parent_ && !Loading()) parent_->Realign();
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

// Section: TControl visibility, state, text

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  if (!visible) Invalidate();
  visible_ = visible;
  if (visible) Invalidate();
  Perform(CM_VISIBLECHANGED, visible, 0);
  if (parent_ && !Loading()) parent_->Realign();
}

bool TControl::Showing() const {
  if (!visible_) return false;
  if (parent_) return parent_->Showing();
  auto* self = dynamic_cast<const TWinControl*>(this);
  return self && self->HandleAllocated() && IsWindowVisible(self->HandleIfAllocated());
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Perform(CM_ENABLEDCHANGED, 0, 0);
  Invalidate();
}

void TControl::SetText(const String& text) {
  if (GetText() == text) return;
  SetTextRaw(text);
  Perform(CM_TEXTCHANGED, 0, 0);
  Invalidate();
}

// Section: TControl font, colour, hint

void TControl::FontChanged() {
  if (!syncingFont_) parentFont_ = false;
  Perform(CM_FONTCHANGED, 0, 0);
  Invalidate();
}

void TControl::SetParentFont(bool parentFont) {
  if (parentFont_ == parentFont) return;
  parentFont_ = parentFont;
  if (parentFont) Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TControl::CMParentFontChanged(TMessage&) {
  if (!parentFont_ || !parent_) return;
  ScopedValue syncing{syncingFont_, true};
  font_->Assign(parent_->Font());
}

void TControl::SetColor(TColor color) {
  parentColor_ = false;
  if (color == color_) return;
  color_ = color;
  Perform(CM_COLORCHANGED, 0, 0);
  Invalidate();
}

void TControl::SetParentColor(bool parentColor) {
  if (parentColor_ == parentColor) return;
  parentColor_ = parentColor;
  if (parentColor) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::CMParentColorChanged(TMessage&) {
  if (!parentColor_ || !parent_) return;
  if (color_ == parent_->Color()) return;
  color_ = parent_->Color();
  Perform(CM_COLORCHANGED, 0, 0);
  Invalidate();
}

bool TControl::ShowHint() const {
  if (parentShowHint_ && parent_) return parent_->ShowHint();
  return showHint_;
}

void TControl::SetShowHint(bool show) {
  showHint_ = show;
  parentShowHint_ = false;
}

void TControl::SetParentShowHint(bool parentShowHint) {
  parentShowHint_ = parentShowHint;
  if (parentShowHint && parent_) showHint_ = parent_->ShowHint();
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
  if (menu == popupMenu_) return;
  if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
  popupMenu_ = menu;
  if (menu) menu->FreeNotification(this);
}

void TControl::SetCursor(TCursor cursor) {
  if (cursor == cursor_) return;
  cursor_ = cursor;
  // Let the window under the mouse choose its cursor again.
  if (TWinControl* w = WindowedSelfOrParent(); w && w->HandleAllocated()) {
    POINT pt;
    GetCursorPos(&pt);
    if (WindowFromPoint(pt) == w->HandleIfAllocated())
      SendMessageW(w->HandleIfAllocated(), WM_SETCURSOR, WPARAM(w->HandleIfAllocated()),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  }
}

// Section: TControl messages

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  WndProc(m);
  return m.Result;
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN: WMMouseButton(m, mbLeft, true, false); break;
    case WM_LBUTTONUP: WMMouseButton(m, mbLeft, false, false); break;
    case WM_LBUTTONDBLCLK: WMMouseButton(m, mbLeft, true, true); break;
    case WM_RBUTTONDOWN: WMMouseButton(m, mbRight, true, false); break;
    case WM_RBUTTONUP: WMMouseButton(m, mbRight, false, false); break;
    case WM_RBUTTONDBLCLK: WMMouseButton(m, mbRight, true, true); break;
    case WM_MBUTTONDOWN: WMMouseButton(m, mbMiddle, true, false); break;
    case WM_MBUTTONUP: WMMouseButton(m, mbMiddle, false, false); break;
    case WM_MBUTTONDBLCLK: WMMouseButton(m, mbMiddle, true, true); break;
    case WM_MOUSEMOVE: WMMouseMove(m); break;
    case WM_CONTEXTMENU: WMContextMenu(m); break;
    case CM_HINTSHOW: CMHintShow(m); break;
    case CM_PARENTFONTCHANGED: CMParentFontChanged(m); break;
    case CM_PARENTCOLORCHANGED: CMParentColorChanged(m); break;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
    case CM_COLORCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_VISIBLECHANGED: break;
    default: DefaultHandler(m);
  }
}

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

// Section: TControl painting and z-order

void TControl::Invalidate() {}

void TControl::Update() {
  if (TWinControl* w = WindowedSelfOrParent(); w && w->HandleAllocated())
    UpdateWindow(w->HandleIfAllocated());
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::BringToFront() {
  if (!parent_) return;
  auto& list = parent_->controls_;
  list.erase(std::find(list.begin(), list.end(), this));
  list.push_back(this);
  if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
    SetWindowPos(w->HandleIfAllocated(), HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

void TControl::SendToBack() {
  if (!parent_) return;
  auto& list = parent_->controls_;
  list.erase(std::find(list.begin(), list.end(), this));
  list.insert(list.begin(), this);
  if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
    SetWindowPos(w->HandleIfAllocated(), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

TWinControl* TControl::WindowedSelfOrParent() const { return parent_; }

TWinControl* TControl::GetParentForm() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return const_cast<TWinControl*>(dynamic_cast<const TWinControl*>(c));
}

// Section: TWinControl construction

HOST_PROPERTIES(TWinControl) {
  p.Int("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder, -1)
      .StoredIf(&TWinControl::HasParent);
  p.Bool("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, false);
  p.Event("OnKeyDown", &TWinControl::OnKeyDown);
  p.Event("OnKeyUp", &TWinControl::OnKeyUp);
  p.Event("OnKeyPress", &TWinControl::OnKeyPress);
  p.Event("OnEnter", &TWinControl::OnEnter);
  p.Event("OnExit", &TWinControl::OnExit);
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  Destroying();
  // A windowed control takes the controls it parents with it.
  while (!controls_.empty()) {
    TControl* child = controls_.back();
    RemoveControl(child);
    delete child;
  }
  DestroyHandle();
}

TWinControl* TWinControl::FindControl(HWND wnd) {
  return static_cast<TWinControl*>(TiedObjectOf(wnd, HostWndProc));
}

int TWinControl::WindowCount() { return liveWindows; }

// Section: TWinControl window creation

HWND TWinControl::Handle() {
  HandleNeeded();
  return handle_;
}

void TWinControl::HandleNeeded() {
  if (handle_) return;
  if (parent_) parent_->HandleNeeded();
  if (!handle_) CreateHandle();
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.Caption = ToWide(text_);
  params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (controlStyle_ & csAcceptsControls) params.Style |= WS_CLIPCHILDREN;
  if (Visible()) params.Style |= WS_VISIBLE;
  if (tabStop_) params.Style |= WS_TABSTOP;
  if (!Enabled()) params.Style |= WS_DISABLED;
  params.X = left_;
  params.Y = top_;
  params.Width = std::max(width_, 0);
  params.Height = std::max(height_, 0);
  params.WndParent = Parent() ? Parent()->Handle() : parentWindow_;
  params.WindowClass.cbSize = sizeof(WNDCLASSEXW);
  params.WindowClass.style = CS_DBLCLKS;
  params.WindowClass.lpfnWndProc = DefWindowProcW;
  params.WindowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  params.WinClassName = ToWide(ClassName());
}

void TWinControl::CreateSubClass(TCreateParams& params, const wchar_t* nativeClassName) {
  InitCommonControlsOnce();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExW(GetModuleHandleW(nullptr), nativeClassName, &wc) &&
      !GetClassInfoExW(nullptr, nativeClassName, &wc))
    throw EOSError("Window class " + ToUtf8(nativeClassName) + " not found", ERROR_CLASS_DOES_NOT_EXIST);
  wc.cbSize = sizeof wc;
  wc.lpszClassName = nullptr;
  wc.lpszMenuName = nullptr;
  params.WindowClass = wc;
  subclassed_ = true;
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  if (params.Style & WS_CHILD) {
    if (!params.WndParent)
      throw EComponentError("Control '" + Name() + "' has no parent window");
  }
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const WNDPROC nativeProc =
      params.WindowClass.lpfnWndProc ? params.WindowClass.lpfnWndProc : DefWindowProcW;
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (!GetClassInfoExW(instance, params.WinClassName.c_str(), &existing) ||
      existing.lpfnWndProc != HostWndProc) {
    WNDCLASSEXW wc = params.WindowClass;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = HostWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = params.WinClassName.c_str();
    wc.style &= ~UINT(CS_GLOBALCLASS);
    const ATOM atom = RegisterClassExW(&wc);
    if (!atom) RaiseLastOSError();
    ClassProcs()[atom] = nativeProc;
  }
  defWndProc_ = nativeProc;

  HMENU id = nullptr;
  if (params.Style & WS_CHILD) {
    id = reinterpret_cast<HMENU>(UINT_PTR(nextChildId));
    nextChildId = nextChildId >= 0xFFF0 ? 0x100 : nextChildId + 1;
  }
  TWindowCreation creation{this, params.Param};
  creation_ = &creation;
  HWND wnd = CreateWindowExW(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(),
                             params.Style, params.X, params.Y, params.Width, params.Height,
                             params.WndParent, id, instance, &creation);
  const DWORD error = GetLastError();
  creation_ = nullptr;
  if (!wnd) RaiseLastOSError(error);
  if (!handle_) {
    // A window whose WM_NCCREATE did not reach our procedure (none does, but be safe).
    handle_ = wnd;
    TieWindow(wnd, this);
    ++liveWindows;
  }
}

void TWinControl::CreateWindowHandle(const TCreateParams&) {}

void TWinControl::CreateHandle() {
  if (handle_) return;
  CreateWnd();
  ApplyFont();
  UpdateBoundsFromWindow();
  for (TControl* c : std::vector<TControl*>(controls_))
    if (auto* w = dynamic_cast<TWinControl*>(c); w && !w->handle_) w->CreateHandle();
  // Stack the children's windows in list order (first bottom-most).
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->handle_)
      SetWindowPos(w->handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Realign();
}

void TWinControl::DestroyWnd() {
  if (handle_) ::DestroyWindow(handle_);
  if (handle_) {
    // The window outlived DestroyWindow (another thread's): it lets go of this control.
    if (UntieWindow(handle_)) --liveWindows;
    handle_ = nullptr;
  }
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  for (TControl* c : std::vector<TControl*>(controls_))
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
  ReleaseCapturedGraphic();
  if (mouseControl == this ||
      (mouseControl && mouseControl->Parent() == this && !dynamic_cast<TWinControl*>(mouseControl)))
    SetMouseControl(nullptr);
  mouseTracking_ = false;
  DestroyWnd();
}

void TWinControl::RecreateWnd() {
  if (handle_) Perform(CM_RECREATEWND, 0, 0);
}

void TWinControl::CMRecreateWnd(TMessage&) {
  if (!handle_ || recreating_) return;
  const bool focused = Focused();
  {
    ScopedValue recreating{recreating_, true};
    DestroyHandle();
    CreateHandle();
  }
  if (focused && CanFocus()) ::SetFocus(handle_);
}

void TWinControl::SetParentWindow(HWND wnd) {
  if (parentWindow_ == wnd) return;
  parentWindow_ = wnd;
  if (handle_ && !Parent()) {
    if (wnd)
      ::SetParent(handle_, wnd);
    else
      DestroyHandle();
  }
}

void TWinControl::ApplyFont() {
  if (handle_) SendMessageW(handle_, WM_SETFONT, WPARAM(Font()->Handle()), TRUE);
}

void TWinControl::UpdateBoundsFromWindow() {
  if (!handle_) return;
  RECT r;
  GetWindowRect(handle_, &r);
  if (HWND parentWnd = GetParent(handle_); parentWnd && (GetWindowLongW(handle_, GWL_STYLE) & WS_CHILD))
    MapWindowPoints(HWND_DESKTOP, parentWnd, reinterpret_cast<POINT*>(&r), 2);
  const int w = r.right - r.left, h = r.bottom - r.top;
  const bool resized = w != width_ || h != height_;
  left_ = r.left;
  top_ = r.top;
  width_ = w;
  height_ = h;
  if (resized) {
    Realign();
    if (Parent() && Align() != alNone) Parent()->Realign();
    Resize();
  }
}

// Section: TWinControl text, bounds, state

String TWinControl::GetText() const {
  if (!handle_) return text_;
  const int n = GetWindowTextLengthW(handle_);
  std::wstring buf(size_t(n) + 1, L'\0');
  const int got = GetWindowTextW(handle_, buf.data(), n + 1);
  buf.resize(size_t(std::max(got, 0)));
  return ToUtf8(buf);
}

void TWinControl::SetTextRaw(const String& text) {
  text_ = text;
  if (handle_) SetWindowTextW(handle_, ToWide(text).c_str());
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (handle_) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    SetWindowPos(handle_, nullptr, left, top, std::max(width, 0), std::max(height, 0),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    // The window may refuse a size (minimum track size of top-level windows).
    UpdateBoundsFromWindow();
    if (Parent() && Align() != alNone && !Loading()) Parent()->Realign();
    return;
  }
  const bool resized = width != width_ || height != height_;
  TControl::SetBounds(left, top, width, height);
  if (resized) Realign();
}

RECT TWinControl::ClientRect() const {
  if (handle_) {
    RECT r;
    GetClientRect(handle_, &r);
    return r;
  }
  return TControl::ClientRect();
}

POINT TWinControl::ClientOrigin() const {
  if (handle_) {
    POINT pt{0, 0};
    ::ClientToScreen(handle_, &pt);
    return pt;
  }
  return TControl::ClientOrigin();
}

void TWinControl::SetVisible(bool visible) {
  if (visible == Visible()) return;
  TControl::SetVisible(visible);
  if (handle_)
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                     (visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void TWinControl::SetEnabled(bool enabled) {
  if (enabled == Enabled()) return;
  TControl::SetEnabled(enabled);
  if (handle_) EnableWindow(handle_, enabled);
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

// Section: TWinControl children

void TWinControl::InsertControl(TControl* control) {
  if (!control || control->parent_ == this) return;
  control->parent_ = this;
  controls_.push_back(control);
  auto* wc = dynamic_cast<TWinControl*>(control);
  if (wc) tabList_.push_back(wc);
  if (control->parentFont_) control->Perform(CM_PARENTFONTCHANGED, 0, 0);
  if (control->parentColor_) control->Perform(CM_PARENTCOLORCHANGED, 0, 0);
  if (control->parentShowHint_) control->showHint_ = ShowHint();
  if (wc && handle_) {
    if (wc->handle_)
      ::SetParent(wc->handle_, handle_);
    else
      wc->CreateHandle();
  }
  Perform(CM_CONTROLCHANGE, WPARAM(control), 1);
  control->Invalidate();
  if (control->Align() != alNone && !control->Loading()) Realign();
}

void TWinControl::RemoveControl(TControl* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end()) return;
  control->Invalidate();
  controls_.erase(it);
  if (auto* wc = dynamic_cast<TWinControl*>(control))
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), wc), tabList_.end());
  if (captureControl_ == control) ReleaseCapturedGraphic();
  if (mouseControl == control) SetMouseControl(nullptr);
  control->parent_ = nullptr;
  if (!Has(TComponentStateFlag::csDestroying)) {
    Perform(CM_CONTROLCHANGE, WPARAM(control), 0);
    if (control->Align() != alNone) Realign();
  }
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == Parent()) return;
  if (handle_ && !(parent && parent->HandleAllocated())) DestroyHandle();
  TControl::SetParent(parent);
}

bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* c = control; c; c = c->Parent())
    if (c == this) return true;
  return false;
}

TControl* TWinControl::ControlAtPos(POINT pt, bool allowDisabled, bool allowWinControls) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (!c->Visible() || (!allowDisabled && !c->Enabled())) continue;
    if (!allowWinControls && dynamic_cast<TWinControl*>(c)) continue;
    const RECT r = c->BoundsRect();
    if (PtInRect(&r, pt)) return c;
  }
  return nullptr;
}

void TWinControl::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
  if (root == this) {
    // Components that are not controls of a parent come first, then the controls.
    for (int i = 0; i < ComponentCount(); ++i) {
      TComponent* c = Components(i);
      // Controls with a parent and menu items are written inside their parent's block.
      auto* control = dynamic_cast<TControl*>(c);
      auto* item = dynamic_cast<TMenuItem*>(c);
      if (!c->Name().empty() && !(control && control->Parent()) && !(item && item->Parent()))
        proc(c);
    }
  }
  for (TControl* c : std::vector<TControl*>(controls_))
    if (c->Owner() == root && !c->Name().empty()) proc(c);
}

// Section: TWinControl alignment

void TWinControl::EnableAlign() {
  if (alignDisabled_ > 0 && --alignDisabled_ == 0) Realign();
}

void TWinControl::Realign() {
  if (alignDisabled_ || aligning_ || Loading() || Has(TComponentStateFlag::csDestroying)) return;
  ScopedValue aligning{aligning_, true};
  RECT r = ClientRect();
  AlignControls(nullptr, r);
}

void TWinControl::AdjustClientRect(RECT&) const {}

void TWinControl::AlignControls(TControl*, RECT& rect) {
  AdjustClientRect(rect);
  auto collect = [&](TAlign align) {
    std::vector<TControl*> list;
    for (TControl* c : controls_)
      if (c->Align() == align && c->Visible()) list.push_back(c);
    // Aligned controls keep the order of their positions, so a form reads back as designed.
    std::stable_sort(list.begin(), list.end(), [align](TControl* a, TControl* b) {
      switch (align) {
        case alTop: return a->Top() < b->Top();
        case alBottom: return a->Top() + a->Height() > b->Top() + b->Height();
        case alLeft: return a->Left() < b->Left();
        case alRight: return a->Left() + a->Width() > b->Left() + b->Width();
        default: return false;
      }
    });
    return list;
  };
  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* c : collect(align)) {
      const int w = std::max<int>(rect.right - rect.left, 0);
      const int h = std::max<int>(rect.bottom - rect.top, 0);
      switch (align) {
        case alTop:
          c->SetBounds(rect.left, rect.top, w, c->Height());
          rect.top += c->Height();
          break;
        case alBottom:
          c->SetBounds(rect.left, rect.bottom - c->Height(), w, c->Height());
          rect.bottom -= c->Height();
          break;
        case alLeft:
          c->SetBounds(rect.left, rect.top, c->Width(), h);
          rect.left += c->Width();
          break;
        case alRight:
          c->SetBounds(rect.right - c->Width(), rect.top, c->Width(), h);
          rect.right -= c->Width();
          break;
        default:
          c->SetBounds(rect.left, rect.top, w, h);
          break;
      }
      if (rect.bottom < rect.top) rect.bottom = rect.top;
      if (rect.right < rect.left) rect.right = rect.left;
    }
  }
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

// Section: TWinControl message dispatch

void TWinControl::DefaultHandler(TMessage& m) {
  if (!handle_) return;
  // Reflected notifications nobody took answer 0; the native control never sees them.
  if (m.Msg >= CN_BASE && m.Msg < CN_BASE + 0x400) {
    switch (m.Msg) {
      case CN_CTLCOLORBTN:
      case CN_CTLCOLOREDIT:
      case CN_CTLCOLORLISTBOX:
      case CN_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        SetTextColor(dc, ColorToRGB(Font()->Color()));
        SetBkColor(dc, ColorToRGB(Color()));
        m.Result = reinterpret_cast<LRESULT>(ColorBrush());
        return;
      }
      default: return;
    }
  }
  if (m.Msg >= CM_BASE && m.Msg < CN_BASE) return;
  m.Result = CallWindowProcW(defWndProc_ ? defWndProc_ : DefWindowProcW, handle_, m.Msg, m.WParam,
                             m.LParam);
}

bool TWinControl::ReflectNotification(TMessage& m) {
  HWND child = nullptr;
  switch (m.Msg) {
    case WM_NOTIFY: child = reinterpret_cast<NMHDR*>(m.LParam)->hwndFrom; break;
    case WM_COMMAND:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM: child = reinterpret_cast<HWND>(m.LParam); break;
    case WM_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
      if (d->CtlType == ODT_MENU) return false;
      child = d->hwndItem;
      break;
    }
    case WM_MEASUREITEM: {
      auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      if (mi->CtlType == ODT_MENU) return false;
      child = GetDlgItem(handle_, int(mi->CtlID));
      break;
    }
    case WM_DELETEITEM: child = reinterpret_cast<DELETEITEMSTRUCT*>(m.LParam)->hwndItem; break;
    case WM_COMPAREITEM: child = reinterpret_cast<COMPAREITEMSTRUCT*>(m.LParam)->hwndItem; break;
    default: return false;
  }
  if (!child) return false;
  TWinControl* target = FindControl(child);
  if (!target || target == this) return false;
  m.Result = target->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
  return true;
}

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

HBRUSH TWinControl::ColorBrush() {
  if (!brush_ || brushColor_ != Color()) {
    brush_.reset(CreateSolidBrush(ColorToRGB(Color())));
    brushColor_ = Color();
  }
  return HBRUSH(brush_.get());
}

void TWinControl::WMEraseBkgnd(TMessage& m) {
  if (subclassed_) {
    DefaultHandler(m);
    return;
  }
  RECT r;
  GetClientRect(handle_, &r);
  FillRect(reinterpret_cast<HDC>(m.WParam), &r, ColorBrush());
  m.Result = 1;
}

void TWinControl::PaintWindow(HDC) {}

void TWinControl::PaintControls(HDC dc, TControl* first) {
  bool started = first == nullptr;
  for (TControl* c : controls_) {
    if (!started) {
      started = c == first;
      if (!started) continue;
    }
    auto* g = dynamic_cast<TGraphicControl*>(c);
    if (!g || !g->Visible()) continue;
    const RECT bounds = Normalised(g->Left(), g->Top(), g->Width(), g->Height());
    if (!RectVisible(dc, &bounds)) continue;
    const int saved = SaveDC(dc);
    POINT org;
    GetViewportOrgEx(dc, &org);
    SetViewportOrgEx(dc, org.x + g->Left(), org.y + g->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, g->Width(), g->Height());
    auto restore = ScopeExit([&] {
      g->Canvas()->SetHandle(nullptr);
      RestoreDC(dc, saved);
    });
    g->Canvas()->SetHandle(dc);
    g->Canvas()->Font()->Assign(g->Font());
    g->Paint();
  }
}

void TWinControl::WMPaint(TMessage& m) {
  if (subclassed_) {
    DefaultHandler(m);
    return;
  }
  // A context in WParam is the caller's (WM_PRINTCLIENT-style painting); else paint the update area.
  if (HDC given = reinterpret_cast<HDC>(m.WParam)) {
    PaintWindow(given);
    PaintControls(given);
    return;
  }
  PaintDC paint(handle_);
  PaintWindow(paint.get());
  PaintControls(paint.get());
}

void TWinControl::CMFontChanged(TMessage&) {
  ApplyFont();
  for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TWinControl::CMColorChanged(TMessage&) {
  for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TWinControl::WMSize(TMessage& m) {
  DefaultHandler(m);
  UpdateBoundsFromWindow();
}

void TWinControl::WMWindowPosChanged(TMessage& m) {
  DefaultHandler(m);
  UpdateBoundsFromWindow();
}

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
      if (ReflectNotification(m)) return;
      if ((m.Msg == WM_DRAWITEM || m.Msg == WM_MEASUREITEM) && DispatchMenuMessage(m)) return;
      break;
    case WM_COMMAND:
      if (ReflectNotification(m)) return;
      if (m.LParam == 0 && DispatchMenuMessage(m)) return;
      break;
    case WM_INITMENUPOPUP:
    case WM_MENUSELECT:
      if (DispatchMenuMessage(m)) return;
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_MOUSEMOVE:
      if (ForwardMouseToGraphic(m)) return;
      if ((controlStyle_ & csCaptureMouse) && !subclassed_ && handle_) {
        if (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK) SetCapture(handle_);
        if (m.Msg == WM_LBUTTONUP && GetCapture() == handle_) ReleaseCapture();
      }
      break;
    case WM_CONTEXTMENU: {
      // A graphic child under the point has the first say.
      POINT pt{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
      if (handle_ && !(pt.x == -1 && pt.y == -1)) {
        ::ScreenToClient(handle_, &pt);
        if (TControl* g = ControlAtPos(pt, false, false)) {
          m.Result = g->Perform(m.Msg, m.WParam, m.LParam);
          if (m.Result) return;
        }
      }
      break;
    }
    case WM_MOUSELEAVE: WMMouseLeave(m); return;
    case WM_PAINT: WMPaint(m); return;
    case WM_ERASEBKGND: WMEraseBkgnd(m); return;
    case WM_SIZE: WMSize(m); return;
    case WM_WINDOWPOSCHANGED: WMWindowPosChanged(m); return;
    case WM_SETCURSOR: WMSetCursor(m); return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: WMKeyDown(m); return;
    case WM_KEYUP:
    case WM_SYSKEYUP: WMKeyUp(m); return;
    case WM_CHAR: WMChar(m); return;
    case WM_SETFOCUS:
      DefaultHandler(m);
      DoEnter();
      return;
    case WM_KILLFOCUS:
      DefaultHandler(m);
      DoExit();
      return;
    case WM_DESTROY:
      // Keep the text for a window made again later.
      text_ = GetText();
      DefaultHandler(m);
      return;
    case CM_RECREATEWND: CMRecreateWnd(m); return;
    case CM_FONTCHANGED: CMFontChanged(m); return;
    case CM_COLORCHANGED: CMColorChanged(m); return;
    default: break;
  }
  TControl::WndProc(m);
}

// Section: TCustomControl

HOST_PROPERTIES(TCustomControl) {}

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), canvas_(std::make_unique<TCanvas>()) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC dc) {
  canvas_->SetHandle(dc);
  auto release = ScopeExit([this] { canvas_->SetHandle(nullptr); });
  canvas_->Font()->Assign(Font());
  canvas_->Brush()->SetColor(Color());
  Paint();
}

void TCustomControl::Paint() {}

// Section: TGraphicControl

HOST_PROPERTIES(TGraphicControl) {}

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), canvas_(std::make_unique<TCanvas>()) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Invalidate() {
  if (!Parent() || !Parent()->HandleAllocated() || !Visible()) return;
  const RECT r = Normalised(left_, top_, width_, height_);
  InvalidateRect(Parent()->HandleIfAllocated(), &r, TRUE);
}

void TGraphicControl::Paint() {}

// Section: hints

void detail::MouseControlChanged(TControl* control) {
  Application().SetHint(control ? control->Hint() : String{});
}

// Section: registration

void RegisterControlClasses() {
  RegisterClasses({ComponentClass<TControl>(), ComponentClass<TWinControl>(),
                   ComponentClass<TCustomControl>(), ComponentClass<TGraphicControl>()});
}

}  // namespace host
