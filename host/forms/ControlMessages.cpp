// The window procedure shared by all our controls' windows and the message dispatch:
// TControl::Perform and WndProc, TWinControl::WndProc, the default handler, notifications
// reflected to the controls that sent them, painting and erasing, size and font changes.
#include "host/forms/Controls.h"

#include "host/forms/ControlsInternal.h"
#include "host/forms/Menus.h"
#include "host/forms/WindowWatch.h"

#include <windowsx.h>

#include <vector>

namespace host {

using namespace detail;

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
    // A window destroyed with its parent's is announced here, while it still exists.
    if (msg == WM_DESTROY) detail::WindowDestroying(control);
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

}  // namespace host
