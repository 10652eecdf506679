// Forms: creation from form files, placement, showing, modal loops and closing.
#include "host/forms/Forms.h"

#include "host/core/Streaming.h"

#include <algorithm>
#include <vector>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace host {

namespace {

DWORD StyleOf(TFormBorderStyle border) {
  switch (border) {
    case bsNone: return WS_POPUP;
    case bsSingle: return WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_BORDER;
    case bsDialog:
    case bsToolWindow: return WS_CAPTION | WS_SYSMENU | WS_BORDER;
    case bsSizeToolWin:
    case bsSizeable: break;
  }
  return WS_OVERLAPPEDWINDOW;
}

DWORD ExStyleOf(TFormBorderStyle border) {
  switch (border) {
    case bsDialog: return WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    case bsToolWindow:
    case bsSizeToolWin: return WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
    case bsNone: return WS_EX_CONTROLPARENT;
    default: return WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;
  }
}

// The frame around the client area of a window of these styles.
RECT FrameOf(DWORD style, DWORD exStyle) {
  RECT r{0, 0, 0, 0};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  return r;
}

}  // namespace

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

HOST_PROPERTIES(TForm) {
  p.Int("Width", &TForm::Width, &TForm::SetWidth, 0).NeverStored();
  p.Int("Height", &TForm::Height, &TForm::SetHeight, 0).NeverStored();
  p.Bool("Visible", &TForm::Visible, &TForm::SetVisible, false);
  p.Str("Caption", &TForm::Caption, &TForm::SetCaption);
  p.Int("ClientWidth", &TForm::StoredClientWidth, &TForm::SetClientWidth, 0).NoDefault();
  p.Int("ClientHeight", &TForm::StoredClientHeight, &TForm::SetClientHeight, 0).NoDefault();
  p.Enum("Position", PositionInfo, &TForm::Position, &TForm::SetPosition, poDesigned);
  p.Enum("BorderStyle", FormBorderStyleInfo, &TForm::BorderStyle, &TForm::SetBorderStyle,
         bsSizeable);
  p.Component("ActiveControl", &TForm::ActiveControl, &TForm::SetActiveControl);
  p.Int("PixelsPerInch", &TForm::PixelsPerInch, &TForm::SetPixelsPerInch, 96);
  p.Bool("Scaled", &TForm::Scaled, &TForm::SetScaled, true);
  p.Bool("KeyPreview", &TForm::KeyPreview, &TForm::SetKeyPreview, false);
  p.Event("OnCreate", &TForm::OnCreate);
  p.Event("OnShow", &TForm::OnShow);
  p.Event("OnHide", &TForm::OnHide);
  p.Event("OnClose", &TForm::OnClose);
  p.Event("OnCloseQuery", &TForm::OnCloseQuery);
  p.Event("OnDestroy", &TForm::OnDestroy);
  p.Event("OnActivate", &TForm::OnActivate);
  p.Event("OnDeactivate", &TForm::OnDeactivate);
}

// Section: construction

TForm::TForm(TComponent* owner) : TWinControl(owner), pixelsPerInch_(ScreenPixelsPerInch()) {
  controlStyle_ = csAcceptsControls | csSetCaption;
  // A form starts hidden; Show or Visible = True shows it.
  TControl::SetVisible(false);
  SetParentFont(false);
  left_ = 100;
  top_ = 100;
  width_ = 400;
  height_ = 300;
}

TForm::~TForm() {
  Destroying();
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
      Application().HandleException(std::current_exception(), this);
    }
  }
  if (Application().MainForm() == this) Application().SetMainForm(nullptr);
}

TForm* TForm::CreateFromText(const String& text, TComponent* owner,
                             const TEventHandlers& handlers, int pixelsPerInch) {
  RegisterFormClasses();
  TComponent* root = CreateComponentFromText(text, owner, handlers, pixelsPerInch);
  auto* form = dynamic_cast<TForm*>(root);
  if (!form) {
    delete root;
    throw EFilerError("The form text does not describe a form");
  }
  form->DoCreate();
  return form;
}

TForm* TForm::CreateFromFile(const String& fileName, TComponent* owner,
                             const TEventHandlers& handlers, int pixelsPerInch) {
  RegisterFormClasses();
  // Relative file names inside the form are taken from the form file's folder.
  ScopedValue folder{detail::FormFileFolder(), ExtractFilePath(ExpandFileName(fileName))};
  TComponent* root = CreateComponentFromFile(fileName, owner, handlers, pixelsPerInch);
  auto* form = dynamic_cast<TForm*>(root);
  if (!form) {
    delete root;
    throw EFilerError("The file " + fileName + " does not describe a form");
  }
  form->DoCreate();
  return form;
}

void TForm::DoCreate() {
  if (created_) return;
  created_ = true;
  if (OnCreate) OnCreate(this);
}

void TForm::Loaded() {
  TWinControl::Loaded();
  Realign();
  if (Visible() && !HandleAllocated()) Show();
}

void TForm::ReadState(TReader& reader) {
  pixelsPerInch_ = int(DefaultDpi);  // what a file without the line was designed at
  TWinControl::ReadState(reader);
  const int screen = reader.PixelsPerInch() > 0 ? reader.PixelsPerInch() : ScreenPixelsPerInch();
  if (!scaled_ || screen == pixelsPerInch_) return;
  designClient_ = SIZE{ClientWidth(), ClientHeight()};
  ChangeScale(screen, pixelsPerInch_);
  SetClientSize(ScaleBy(designClient_.cx, screen, pixelsPerInch_),
                ScaleBy(designClient_.cy, screen, pixelsPerInch_));
}

// Section: DPI

int TForm::StoredClient(int current, int designed) const {
  const int now = PpiNow();
  if (now == pixelsPerInch_) return current;
  // Unless the user resized the form, the designed size is what the form shows.
  if (designed && ScaleBy(designed, now, pixelsPerInch_) == current) return designed;
  return ScaleBy(current, pixelsPerInch_, now);
}

void TForm::ChangeDpi(int dpi, const RECT* windowRect) {
  const int old = PpiNow();
  if (scaled_ && dpi > 0 && dpi != old) {
    if (!designClient_.cx && !designClient_.cy) {
      designClient_ = SIZE{ScaleBy(ClientWidth(), pixelsPerInch_, old),
                           ScaleBy(ClientHeight(), pixelsPerInch_, old)};
    }
    DisableAlign();
    auto enable = ScopeExit([this] { EnableAlign(); });
    ChangeScale(dpi, old);
    if (!windowRect)
      SetClientSize(ScaleBy(designClient_.cx, dpi, pixelsPerInch_),
                    ScaleBy(designClient_.cy, dpi, pixelsPerInch_));
  }
  if (windowRect)
    SetBounds(windowRect->left, windowRect->top, windowRect->right - windowRect->left,
              windowRect->bottom - windowRect->top);
}

void TForm::WMDpiChanged(TMessage& m) {
  ChangeDpi(HIWORD(m.WParam), reinterpret_cast<const RECT*>(m.LParam));
  m.Result = 0;
}

void TForm::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == activeControl_) activeControl_ = nullptr;
}

// Section: window

void TForm::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style = StyleOf(borderStyle_) | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  params.ExStyle = ExStyleOf(borderStyle_);
  params.WndParent = ParentWindow();
  if (params.WndParent) params.Style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  params.WindowClass.style = CS_DBLCLKS;
  params.WindowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
}

void TForm::CreateWnd() {
  PlaceOnFirstShow();
  TWinControl::CreateWnd();
  // A window made on a monitor of another DPI than the one the form was read for is made at that
  // monitor's DPI, without WM_DPICHANGED.
  if (scaled_ && !ParentWindow())
    if (const int dpi = int(WindowDpi(HandleIfAllocated())); dpi != PpiNow()) ChangeDpi(dpi);
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
  if (style == borderStyle_) return;
  const RECT client = ClientRect();
  borderStyle_ = style;
  if (HandleAllocated()) RecreateWnd();
  SetClientSize(client.right - client.left, client.bottom - client.top);
}

RECT TForm::ClientRect() const {
  if (HandleIfAllocated()) return TWinControl::ClientRect();
  const RECT frame = FrameOf(StyleOf(borderStyle_), ExStyleOf(borderStyle_));
  return RECT{0, 0, std::max<int>(width_ - (frame.right - frame.left), 0),
              std::max<int>(height_ - (frame.bottom - frame.top), 0)};
}

void TForm::SetClientSize(int width, int height) {
  if (HandleIfAllocated()) {
    TWinControl::SetClientSize(width, height);
    return;
  }
  const RECT frame = FrameOf(StyleOf(borderStyle_), ExStyleOf(borderStyle_));
  SetBounds(left_, top_, width + frame.right - frame.left, height + frame.bottom - frame.top);
}

void TForm::PlaceOnFirstShow() {
  if (placed_) return;
  placed_ = true;
  int x = left_, y = top_;
  RECT work{0, 0, ScreenWidth(), ScreenHeight()};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  switch (position_) {
    case poScreenCenter:
    case poDesktopCenter:
      x = work.left + (work.right - work.left - width_) / 2;
      y = work.top + (work.bottom - work.top - height_) / 2;
      break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TControl* center = nullptr;
      if (position_ == poOwnerFormCenter) center = dynamic_cast<TForm*>(Owner());
      if (!center) center = dynamic_cast<TForm*>(Application().MainForm());
      if (center && center != this) {
        x = center->Left() + (center->Width() - width_) / 2;
        y = center->Top() + (center->Height() - height_) / 2;
      } else {
        x = work.left + (work.right - work.left - width_) / 2;
        y = work.top + (work.bottom - work.top - height_) / 2;
      }
      break;
    }
    default: break;
  }
  left_ = std::max<int>(x, work.left);
  top_ = std::max<int>(y, work.top);
}

// Section: showing and closing

void TForm::SetVisible(bool visible) {
  if (visible == Visible()) return;
  if (Loading()) {
    TControl::SetVisible(visible);
    return;
  }
  TWinControl::SetVisible(visible);
  if (visible) {
    ShowWindowNow();
  } else {
    if (HandleAllocated())
      SetWindowPos(HandleIfAllocated(), nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    if (OnHide) OnHide(this);
  }
}

void TForm::ShowWindowNow() {
  HWND wnd = Handle();
  // Shown first and activated after: a captionless form then stays unmanaged under an X
  // server without window manager, where hiding a managed window waits two seconds.
  SetWindowPos(wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
  SetForegroundWindow(wnd);
  if (activeControl_ && activeControl_->CanFocus()) activeControl_->SetFocus();
  if (OnShow) OnShow(this);
}

void TForm::Show() {
  if (!Visible()) {
    SetVisible(true);
    return;
  }
  // Visible already set (by a form file) while the window is not on the screen yet.
  if (!HandleAllocated() || !IsWindowVisible(HandleIfAllocated())) {
    ShowWindowNow();
    return;
  }
  if (HandleAllocated()) {
    SetWindowPos(HandleIfAllocated(), HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(HandleIfAllocated());
  }
}

int TForm::ShowModal() {
  if (Visible() || modal_) throw EComponentError("Cannot make a visible window modal");
  // The thread's other enabled top-level windows are disabled while the form is up.
  std::vector<HWND> disabled;
  HWND self = Handle();
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND wnd, LPARAM lp) -> BOOL {
        auto* list = reinterpret_cast<std::vector<HWND>*>(lp);
        if (IsWindowVisible(wnd) && IsWindowEnabled(wnd)) list->push_back(wnd);
        return TRUE;
      },
      LPARAM(&disabled));
  disabled.erase(std::remove(disabled.begin(), disabled.end(), self), disabled.end());
  for (HWND wnd : disabled) EnableWindow(wnd, FALSE);
  modalResult_ = mrNone;
  {
    auto enable = ScopeExit([&disabled] {
      for (HWND wnd : disabled)
        if (IsWindow(wnd)) EnableWindow(wnd, TRUE);
    });
    ScopedValue modal{modal_, true};
    Show();
    while (modalResult_ == mrNone && !Application().Terminated()) {
      Application().HandleMessage();
      if (modalResult_ != mrNone) {
        // Close gets its say; an OnClose answering caNone keeps the form up.
        TCloseAction action = caHide;
        if (!CloseQuery()) {
          modalResult_ = mrNone;
          continue;
        }
        if (OnClose) OnClose(this, action);
        if (action == caNone) modalResult_ = mrNone;
      }
    }
  }
  SetVisible(false);
  return modalResult_ == mrNone ? mrCancel : modalResult_;
}

bool TForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TForm::Close() {
  if (modal_) {
    // The modal loop asks CloseQuery and OnClose.
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (Application().MainForm() == this) {
    Application().Terminate();
    if (action == caFree) Release();
    return;
  }
  switch (action) {
    case caHide: SetVisible(false); break;
    case caMinimize:
      if (HandleAllocated()) ShowWindow(HandleIfAllocated(), SW_MINIMIZE);
      break;
    case caFree: Release(); break;
    default: break;
  }
}

void TForm::Release() {
  if (HandleAllocated())
    PostMessageW(HandleIfAllocated(), CM_RELEASE, 0, 0);
  else
    delete this;
}

void TForm::SetActiveControl(TWinControl* control) {
  if (control == activeControl_) return;
  if (activeControl_) activeControl_->RemoveFreeNotification(this);
  activeControl_ = control;
  if (control) control->FreeNotification(this);
  if (control && Visible() && !Loading() && control->CanFocus()) control->SetFocus();
}

void TForm::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_CLOSE: Close(); return;
    case CM_RELEASE: delete this; return;
    case WM_DPICHANGED: WMDpiChanged(m); return;
    case WM_ACTIVATE:
      DefaultHandler(m);
      if (LOWORD(m.WParam) != WA_INACTIVE) {
        if (activeControl_ && activeControl_->CanFocus()) activeControl_->SetFocus();
        if (OnActivate) OnActivate(this);
      } else if (OnDeactivate) {
        OnDeactivate(this);
      }
      return;
    case WM_SETFOCUS:
      // Hand the focus on to the active control, or the first that takes it.
      DefaultHandler(m);
      if (activeControl_ && activeControl_->CanFocus())
        activeControl_->SetFocus();
      else if (TWinControl* first = FindNextControl(nullptr, true, true))
        first->SetFocus();
      return;
    default: break;
  }
  TWinControl::WndProc(m);
}

String& detail::FormFileFolder() {
  thread_local String folder;
  return folder;
}

}  // namespace host
