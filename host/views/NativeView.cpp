// TCustomNativeView: the shared part of the list view and the tree view.
#include "host/views/NativeView.h"

#include <algorithm>
#include <cstddef>

namespace host {

static_assert(offsetof(NMLVCUSTOMDRAW, clrText) == sizeof(NMCUSTOMDRAW) &&
                  offsetof(NMTVCUSTOMDRAW, clrText) == sizeof(NMCUSTOMDRAW) &&
                  offsetof(NMLVCUSTOMDRAW, clrTextBk) == offsetof(NMTVCUSTOMDRAW, clrTextBk),
              "the views' custom-draw records share their first fields");

namespace {

// The custom-draw item states the handlers see.
constexpr UINT kItemStates = 0x1FF;

// A colour of the record, or `fallback` where the control leaves it to the default.
COLORREF OrDefault(COLORREF color, COLORREF fallback) {
  return color == CLR_DEFAULT || color == CLR_NONE ? fallback : color;
}

}  // namespace

HOST_PROPERTIES(TCustomNativeView) {}

TCustomNativeView::TCustomNativeView(TComponent* owner, int width, int height)
    : TWinControl(owner) {
  SetBounds(0, 0, width, height);
  SetColor(clWindow);
  SetTabStop(true);
}

// ---- Window

void TCustomNativeView::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, NativeClassName());
  params.Style = (params.Style & ~ManagedStyles()) | WS_TABSTOP | StyleBits();
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomNativeView::CreateWnd() {
  TWinControl::CreateWnd();
  Send(CCM_SETUNICODEFORMAT, TRUE);
  ApplyImages();
}

void TCustomNativeView::UpdateStyle() {
  HWND wnd = HandleIfAllocated();
  if (!wnd) return;
  const DWORD old = DWORD(GetWindowLongPtrW(wnd, GWL_STYLE));
  const DWORD style = (old & ~ManagedStyles()) | StyleBits();
  if (style == old) return;
  SetWindowLongPtrW(wnd, GWL_STYLE, LONG_PTR(style));
  SetWindowPos(wnd, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  InvalidateRect(wnd, nullptr, TRUE);
}

LRESULT TCustomNativeView::Send(UINT msg, WPARAM wParam, LPARAM lParam) const {
  HWND wnd = HandleIfAllocated();
  return wnd ? SendMessageW(wnd, msg, wParam, lParam) : 0;
}

// ---- Image lists

void TCustomNativeView::ApplyImages() {
  for (TViewImages* slot : imageSlots_) slot->Apply();
}

void TCustomNativeView::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  for (TViewImages* slot : imageSlots_) slot->Removed(component, operation);
}

// ---- Notifications

void TCustomNativeView::WndProc(TMessage& message) {
  if (message.Msg != CN_NOTIFY) {
    TWinControl::WndProc(message);
    return;
  }
  auto* header = reinterpret_cast<NMHDR*>(message.LParam);
  if (header->code == NM_CUSTOMDRAW) {
    message.Result = CustomDrawNotify(*reinterpret_cast<CustomDrawInfo*>(header));
    return;
  }
  CNNotify(message);
}

void TCustomNativeView::CNNotify(TMessage& message) { TWinControl::WndProc(message); }

// ---- Custom draw

LRESULT TCustomNativeView::CustomDrawNotify(CustomDrawInfo& draw) {
  NMCUSTOMDRAW& cd = draw.nmcd;
  const COLORREF fontColor = ColorToRGB(Font()->Color());
  const COLORREF color = ColorToRGB(Color());
  switch (cd.dwDrawStage) {
    case CDDS_PREPAINT: {
      if (IsCustomDrawn(dtControl, cdPrePaint)) {
        CustomDrawCanvas loan(&canvas_, cd.hdc, Font(), fontColor, color);
        if (!CustomDraw(cd.rc, cdPrePaint)) return CDRF_SKIPDEFAULT;
      }
      LRESULT result = CDRF_DODEFAULT;
      if (IsCustomDrawn(dtItem, cdPrePaint) || IsCustomDrawn(dtItem, cdPostPaint))
        result |= CDRF_NOTIFYITEMDRAW;
      if (IsCustomDrawn(dtControl, cdPostPaint)) result |= CDRF_NOTIFYPOSTPAINT;
      return result;
    }
    case CDDS_POSTPAINT:
      if (IsCustomDrawn(dtControl, cdPostPaint)) {
        CustomDrawCanvas loan(&canvas_, cd.hdc, Font(), fontColor, color);
        CustomDraw(cd.rc, cdPostPaint);
      }
      return CDRF_DODEFAULT;
    case CDDS_ITEMPREPAINT: {
      LRESULT result = CDRF_DODEFAULT;
      if (IsCustomDrawn(dtItem, cdPrePaint)) {
        const COLORREF text = OrDefault(draw.clrText, fontColor);
        const COLORREF back = OrDefault(draw.clrTextBk, color);
        CustomDrawCanvas loan(&canvas_, cd.hdc, Font(), text, back);
        bool paintImages = true;
        bool found = true;
        const bool defaultDraw =
            CustomDrawItemOf(cd, cd.uItemState & kItemStates, cdPrePaint, paintImages, found);
        if (!found) return CDRF_DODEFAULT;
        if (!paintImages) result |= TVCDRF_NOIMAGES;
        if (loan.TextColor() != text) draw.clrText = loan.TextColor();
        if (loan.BackColor() != back) draw.clrTextBk = loan.BackColor();
        if (loan.Release()) result |= CDRF_NEWFONT;
        if (!defaultDraw) return CDRF_SKIPDEFAULT;
      }
      if (IsCustomDrawn(dtItem, cdPostPaint)) result |= CDRF_NOTIFYPOSTPAINT;
      return result;
    }
    case CDDS_ITEMPOSTPAINT:
      if (IsCustomDrawn(dtItem, cdPostPaint)) {
        CustomDrawCanvas loan(&canvas_, cd.hdc, Font(), fontColor, color);
        bool paintImages = true;
        bool found = true;
        CustomDrawItemOf(cd, cd.uItemState & kItemStates, cdPostPaint, paintImages, found);
      }
      return CDRF_DODEFAULT;
    default:
      return CDRF_DODEFAULT;
  }
}

// ---- Buffered painting

COLORREF TCustomNativeView::BufferBackground() const { return ColorToRGB(Color()); }

void TCustomNativeView::PaintBuffered(TMessage& message) {
  HWND wnd = HandleIfAllocated();
  RECT client{}, update{};
  GetClientRect(wnd, &client);
  // Handed a context, the control draws every row it shows (Wine's tree view takes 25-40 ms for
  // a screenful); left to paint itself it draws only the rows that need it. A band of a few rows
  // is cleared and painted in place, where a flicker would not show.
  if (GetUpdateRect(wnd, &update, FALSE) && 4 * (update.bottom - update.top) < client.bottom) {
    // The whole band is cleared, so the whole band is painted again.
    InvalidateRect(wnd, &update, FALSE);
    if (WindowDC dc{wnd}) {
      UniqueGdiObject brush{CreateSolidBrush(BufferBackground())};
      FillRect(dc.get(), &update, HBRUSH(brush.get()));
    }
    DefaultHandler(message);
    return;
  }
  PaintDC paint(wnd);
  const int width = std::max<int>(client.right, 1), height = std::max<int>(client.bottom, 1);
  UniqueDC memory{CreateCompatibleDC(paint.get())};
  UniqueGdiObject bitmap{CreateCompatibleBitmap(paint.get(), width, height)};
  message.Result = 0;
  if (!memory || !bitmap) {
    TMessage direct{WM_PAINT, WPARAM(paint.get()), 0, 0};
    DefaultHandler(direct);
    return;
  }
  SelectedObject select(memory.get(), bitmap.get());
  UniqueGdiObject brush{CreateSolidBrush(BufferBackground())};
  FillRect(memory.get(), &client, HBRUSH(brush.get()));
  TMessage buffered{WM_PAINT, WPARAM(memory.get()), 0, 0};
  DefaultHandler(buffered);
  const RECT& dirty = paint.Rect();
  BitBlt(paint.get(), dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top,
         memory.get(), dirty.left, dirty.top, SRCCOPY);
}

// ---- Hit tests

THitTests TCustomNativeView::HitTestsOf(UINT flags,
                                        std::initializer_list<std::pair<UINT, THitTest>> table) {
  THitTests result = 0;
  for (const auto& [flag, test] : table)
    if (flags & flag) result |= HitBit(test);
  return result;
}

}  // namespace host
