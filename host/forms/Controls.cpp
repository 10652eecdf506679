// The control base and window creation: TControl's parent, bounds, visibility, text, font,
// colour, hint and painting; TWinControl's window (class registration, creation, re-creation,
// destruction), children and alignment; TCustomControl and TGraphicControl. The window
// procedure and message dispatch are in ControlMessages.cpp, mouse, keys and focus in
// ControlInput.cpp, the published properties and streaming in ControlStreaming.cpp.
#include "host/forms/Controls.h"

#include "host/core/Streaming.h"
#include "host/forms/ControlsInternal.h"
#include "host/forms/Menus.h"
#include "host/forms/WindowWatch.h"

#include <commctrl.h>

#include <algorithm>
#include <unordered_map>

namespace host {

using namespace detail;

int detail::liveWindows = 0;

std::unordered_map<ATOM, WNDPROC>& detail::ClassProcs() {
  static auto* procs = new std::unordered_map<ATOM, WNDPROC>;
  return *procs;
}

namespace {

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

}  // namespace

// Section: TControl

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

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == popupMenu_) popupMenu_ = nullptr;
}

// Section: TControl bounds and layout

void TControl::SetBounds(int left, int top, int width, int height) {
  NoteGivenBounds(left, top, width, height);
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

// Section: TControl scaling

int TControl::CurrentPpi() const {
  if (ppi_) return ppi_;
  return parent_ ? parent_->CurrentPpi() : ScreenPixelsPerInch();
}

void TControl::NoteGivenBounds(int left, int top, int width, int height) {
  if (scaling_ || !givenPpi_) return;
  const int values[4] = {left, top, width, height};
  const int current[4] = {left_, top_, width_, height_};
  const int ppi = CurrentPpi();
  // Only what changes is the program's: a size the window chose itself (a combo box's height
  // from its font) stays what was given.
  for (int i = 0; i < 4; ++i)
    if (values[i] != current[i]) given_[i] = ScaleBy(values[i], givenPpi_, ppi);
}

int TControl::StoredBound(int index, int current) const {
  return givenPpi_ && Has(TComponentStateFlag::csWriting) ? given_[index] : current;
}

void TControl::KeepGivenBounds(int d) {
  if (!givenPpi_) {
    given_[0] = left_;
    given_[1] = top_;
    given_[2] = width_;
    given_[3] = height_;
    givenPpi_ = d;
  }
  if (auto* container = dynamic_cast<TWinControl*>(this))
    for (TControl* c : container->controls_) c->KeepGivenBounds(c->ppi_ ? c->ppi_ : d);
}

void TControl::ChangeScale(int m, int d) {
  if (m <= 0 || d <= 0) return;
  // Kept for the whole tree first: a new font changes sizes the children work out themselves.
  KeepGivenBounds(d);
  if (ScalesOwnBounds()) {
    ScopedValue scaling{scaling_, true};
    SetBounds(ScaleBy(given_[0], m, givenPpi_), ScaleBy(given_[1], m, givenPpi_),
              ScaleBy(given_[2], m, givenPpi_), ScaleBy(given_[3], m, givenPpi_));
  }
  ppi_ = m;
  // A font of the parent's follows the parent's font.
  if (!parentFont_) font_->ChangeScale(m, d);
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
  detail::ControlDestroyed(this);
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
  detail::WindowCreated(this);
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
  detail::WindowDestroying(this);
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
  NoteGivenBounds(left, top, width, height);
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

// Section: TWinControl scaling

void TWinControl::ChangeScale(int m, int d) {
  if (m <= 0 || d <= 0) return;
  KeepGivenBounds(d);
  DisableAlign();
  auto enable = ScopeExit([this] { EnableAlign(); });
  TControl::ChangeScale(m, d);
  ScaleControls(m, d);
}

void TWinControl::ScaleControls(int m, int d) {
  for (TControl* c : std::vector<TControl*>(controls_)) {
    const int from = c->ScaledPpi() ? c->ScaledPpi() : d;
    if (from != m) c->ChangeScale(m, from);
  }
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

// Section: TCustomControl

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

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), canvas_(std::make_unique<TCanvas>()) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Invalidate() {
  if (!Parent() || !Parent()->HandleAllocated() || !Visible()) return;
  const RECT r = Normalised(left_, top_, width_, height_);
  InvalidateRect(Parent()->HandleIfAllocated(), &r, TRUE);
}

void TGraphicControl::Paint() {}

}  // namespace host
