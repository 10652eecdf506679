// Standard controls: label, edit, button.
#include "host/forms/StdCtrls.h"

#include "host/core/Streaming.h"
#include "host/forms/Forms.h"

#include <algorithm>

namespace host {

SIZE MeasureText(TFont* font, const String& text, int wrapWidth, bool showAccelChar) {
  WindowDC screen;
  SelectedObject select(screen.get(), font->Handle());
  std::wstring w = ToWide(text);
  // An empty text still takes one line's height.
  if (w.empty()) w = L" ";
  RECT r{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
  UINT flags = DT_CALCRECT | DT_EXPANDTABS | (wrapWidth > 0 ? DT_WORDBREAK : 0) |
               (showAccelChar ? 0 : DT_NOPREFIX);
  DrawTextW(screen.get(), w.c_str(), int(w.size()), &r, flags);
  SIZE size{r.right - r.left, r.bottom - r.top};
  if (text.empty()) size.cx = 0;
  return size;
}

// Section: TCustomLabel

HOST_PROPERTIES(TCustomLabel) {
  p.Bool("ParentColor", &TCustomLabel::ParentColor, &TCustomLabel::SetParentColor, true);
  p.Str("Caption", &TCustomLabel::Caption, &TCustomLabel::SetCaption);
  p.Enum("Alignment", AlignmentInfo, &TCustomLabel::Alignment, &TCustomLabel::SetAlignment,
         taLeftJustify);
  p.Bool("AutoSize", &TCustomLabel::AutoSize, &TCustomLabel::SetAutoSize, true);
  p.Enum("Layout", TextLayoutInfo, &TCustomLabel::Layout, &TCustomLabel::SetLayout, tlTop);
  p.Bool("WordWrap", &TCustomLabel::WordWrap, &TCustomLabel::SetWordWrap, false);
  p.Bool("Transparent", &TCustomLabel::Transparent, &TCustomLabel::SetTransparent, false);
  p.Bool("ShowAccelChar", &TCustomLabel::ShowAccelChar, &TCustomLabel::SetShowAccelChar, true);
  p.Component("FocusControl", &TCustomLabel::FocusControl, &TCustomLabel::SetFocusControl);
}

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  SetParentColor(true);
  controlStyle_ |= csOpaque;
  width_ = 65;
  height_ = 17;
}

void TCustomLabel::SetAutoSize(bool autoSize) {
  if (autoSize_ == autoSize) return;
  autoSize_ = autoSize;
  AdjustBounds();
}

void TCustomLabel::SetAlignment(TAlignment alignment) {
  if (alignment_ == alignment) return;
  alignment_ = alignment;
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout layout) {
  if (layout_ == layout) return;
  layout_ = layout;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool wordWrap) {
  if (wordWrap_ == wordWrap) return;
  wordWrap_ = wordWrap;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool transparent) {
  if (transparent_ == transparent) return;
  transparent_ = transparent;
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool show) {
  if (showAccelChar_ == show) return;
  showAccelChar_ = show;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* control) {
  if (focusControl_ == control) return;
  if (focusControl_) focusControl_->RemoveFreeNotification(this);
  focusControl_ = control;
  if (control) control->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TCustomLabel::AdjustBounds() {
  if (!autoSize_ || Loading()) return;
  const SIZE size = MeasureText(Font(), Caption(), wordWrap_ ? std::max(width_, 1) : 0,
                                showAccelChar_);
  int left = left_;
  const int width = wordWrap_ ? width_ : size.cx;
  if (!wordWrap_) {
    if (alignment_ == taRightJustify) left = left_ + width_ - width;
    if (alignment_ == taCenter) left = left_ + (width_ - width) / 2;
  }
  SetComputedBounds(left, top_, width, size.cy);
}

UINT TCustomLabel::DrawTextFlags() const {
  UINT flags = DT_EXPANDTABS | (wordWrap_ ? DT_WORDBREAK : 0) | (showAccelChar_ ? 0 : DT_NOPREFIX);
  switch (alignment_) {
    case taRightJustify: flags |= DT_RIGHT; break;
    case taCenter: flags |= DT_CENTER; break;
    default: flags |= DT_LEFT; break;
  }
  return flags;
}

void TCustomLabel::Paint() {
  HDC dc = Canvas()->Handle();
  RECT r = ClientRect();
  if (!transparent_) {
    UniqueGdiObject brush{CreateSolidBrush(ColorToRGB(Color()))};
    FillRect(dc, &r, HBRUSH(brush.get()));
  }
  const std::wstring text = ToWide(Caption());
  if (text.empty()) return;
  SelectedObject select(dc, Font()->Handle());
  SetBkMode(dc, TRANSPARENT);
  UINT flags = DrawTextFlags();
  if (layout_ != tlTop) {
    RECT calc = r;
    DrawTextW(dc, text.c_str(), int(text.size()), &calc, flags | DT_CALCRECT);
    const int h = calc.bottom - calc.top;
    r.top = layout_ == tlCenter ? (r.bottom - h) / 2 : r.bottom - h;
  }
  if (!Enabled()) {
    RECT shadow = r;
    OffsetRect(&shadow, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawTextW(dc, text.c_str(), int(text.size()), &shadow, flags);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
  } else {
    SetTextColor(dc, ColorToRGB(Font()->Color()));
  }
  DrawTextW(dc, text.c_str(), int(text.size()), &r, flags);
}

void TCustomLabel::WndProc(TMessage& m) {
  TGraphicControl::WndProc(m);
  switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
      AdjustBounds();
      Invalidate();
      break;
    default: break;
  }
}

HOST_PROPERTIES(TLabel) {}

// Section: TCustomEdit

HOST_PROPERTIES(TCustomEdit) {
  p.Int("Color", &TCustomEdit::Color, &TCustomEdit::SetColor, clWindow)
      .StoredIf(&TCustomEdit::IsColorStored)
      .Named(ColorIdents());
  p.Bool("TabStop", &TCustomEdit::TabStop, &TCustomEdit::SetTabStop, true);
  p.Str("Text", &TCustomEdit::Text, &TCustomEdit::SetText);
  p.Bool("AutoSelect", &TCustomEdit::AutoSelect, &TCustomEdit::SetAutoSelect, true);
  p.Bool("AutoSize", &TCustomEdit::AutoSize, &TCustomEdit::SetAutoSize, true);
  p.Enum("BorderStyle", BorderStyleInfo, &TCustomEdit::BorderStyle, &TCustomEdit::SetBorderStyle,
         bsSingleBorder);
  p.Int("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength, 0);
  p.Int("PasswordChar", [](const TCustomEdit* e) { return int(e->PasswordChar()); },
        [](TCustomEdit* e, int ch) { e->SetPasswordChar(wchar_t(ch)); }, 0);
  p.Bool("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly, false);
  p.Event("OnChange", &TCustomEdit::OnChange);
}

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  controlStyle_ = csSetCaption | csDoubleClicks;
  SetColor(clWindow);
  SetTabStop(true);
  width_ = 121;
  height_ = 21;
}

void TCustomEdit::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, L"EDIT");
  params.Style |= ES_AUTOHSCROLL | ES_LEFT;
  if (readOnly_) params.Style |= ES_READONLY;
  if (passwordChar_) params.Style |= ES_PASSWORD;
  if (borderStyle_ == bsSingleBorder) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomEdit::CreateWnd() {
  TWinControl::CreateWnd();
  HWND wnd = HandleIfAllocated();
  SendMessageW(wnd, EM_LIMITTEXT, WPARAM(maxLength_), 0);
  if (passwordChar_) SendMessageW(wnd, EM_SETPASSWORDCHAR, WPARAM(passwordChar_), 0);
  SendMessageW(wnd, EM_SETSEL, savedSelStart_, savedSelEnd_);
  SendMessageW(wnd, EM_SETMODIFY, modified_, 0);
}

void TCustomEdit::DestroyWnd() {
  if (HWND wnd = HandleIfAllocated()) {
    SendMessageW(wnd, EM_GETSEL, WPARAM(&savedSelStart_), LPARAM(&savedSelEnd_));
    modified_ = SendMessageW(wnd, EM_GETMODIFY, 0, 0) != 0;
  }
  TWinControl::DestroyWnd();
}

void TCustomEdit::Loaded() {
  TWinControl::Loaded();
  AdjustHeight();
}

void TCustomEdit::SetMaxLength(int length) {
  maxLength_ = std::max(length, 0);
  if (HandleAllocated()) SendMessageW(HandleIfAllocated(), EM_LIMITTEXT, WPARAM(maxLength_), 0);
}

void TCustomEdit::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  if (HandleAllocated()) SendMessageW(HandleIfAllocated(), EM_SETREADONLY, readOnly, 0);
}

void TCustomEdit::SetBorderStyle(TBorderStyle style) {
  if (borderStyle_ == style) return;
  borderStyle_ = style;
  RecreateWnd();
  AdjustHeight();
}

void TCustomEdit::SetAutoSize(bool autoSize) {
  if (autoSize_ == autoSize) return;
  autoSize_ = autoSize;
  AdjustHeight();
}

void TCustomEdit::SetPasswordChar(wchar_t ch) {
  if (passwordChar_ == ch) return;
  passwordChar_ = ch;
  RecreateWnd();
}

// The height of one line of the font with the frame around it.
void TCustomEdit::AdjustHeight() {
  if (!autoSize_ || Loading()) return;
  const SIZE size = MeasureText(Font(), "Wg");
  const int frame = borderStyle_ == bsSingleBorder ? 2 * GetSystemMetrics(SM_CYEDGE) + 4 : 4;
  SetComputedBounds(left_, top_, width_, size.cy + frame);
}

bool TCustomEdit::Modified() const {
  if (HWND wnd = HandleIfAllocated()) return SendMessageW(wnd, EM_GETMODIFY, 0, 0) != 0;
  return modified_;
}

void TCustomEdit::SetModified(bool modified) {
  modified_ = modified;
  if (HWND wnd = HandleIfAllocated()) SendMessageW(wnd, EM_SETMODIFY, modified, 0);
}

int TCustomEdit::SelStart() {
  DWORD start = 0, end = 0;
  SendMessageW(Handle(), EM_GETSEL, WPARAM(&start), LPARAM(&end));
  return int(start);
}

void TCustomEdit::SetSelStart(int start) { SendMessageW(Handle(), EM_SETSEL, start, start); }

int TCustomEdit::SelLength() {
  DWORD start = 0, end = 0;
  SendMessageW(Handle(), EM_GETSEL, WPARAM(&start), LPARAM(&end));
  return int(end - start);
}

void TCustomEdit::SetSelLength(int length) {
  const int start = SelStart();
  SendMessageW(Handle(), EM_SETSEL, start, start + length);
}

String TCustomEdit::SelText() {
  DWORD start = 0, end = 0;
  SendMessageW(Handle(), EM_GETSEL, WPARAM(&start), LPARAM(&end));
  const std::wstring all = ToWide(Text());
  if (start >= all.size()) return String{};
  return ToUtf8(std::wstring_view(all).substr(start, end - start));
}

void TCustomEdit::SetSelText(const String& text) {
  SendMessageW(Handle(), EM_REPLACESEL, TRUE, LPARAM(ToWide(text).c_str()));
}

void TCustomEdit::SelectAll() { SendMessageW(Handle(), EM_SETSEL, 0, -1); }

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      if (HIWORD(m.WParam) == EN_CHANGE && !Loading()) Change();
      return;
    case CM_TEXTCHANGED:
      // With a window the edit reports the change itself (EN_CHANGE).
      if (!HandleAllocated() && !Loading()) Change();
      break;
    case WM_SETFOCUS:
      TWinControl::WndProc(m);
      if (autoSelect_ && !(GetKeyState(VK_LBUTTON) < 0)) SendMessageW(HandleIfAllocated(), EM_SETSEL, 0, -1);
      return;
    case CM_FONTCHANGED:
      TWinControl::WndProc(m);
      AdjustHeight();
      return;
    default: break;
  }
  TWinControl::WndProc(m);
}

HOST_PROPERTIES(TEdit) {}

// Section: TButton

HOST_PROPERTIES(TButton) {
  p.Bool("TabStop", &TButton::TabStop, &TButton::SetTabStop, true);
  p.Str("Caption", &TButton::Caption, &TButton::SetCaption);
  p.Bool("Default", &TButton::Default, &TButton::SetDefault, false);
  p.Bool("Cancel", &TButton::Cancel, &TButton::SetCancel, false);
  p.Int("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, 0);
}

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  // The native button reports clicks (BN_CLICKED); mouse-up clicks would come twice.
  controlStyle_ = csSetCaption;
  SetTabStop(true);
  width_ = 75;
  height_ = 25;
}

void TButton::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, L"BUTTON");
  params.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool isDefault) {
  if (default_ == isDefault) return;
  default_ = isDefault;
  if (HWND wnd = HandleIfAllocated())
    SendMessageW(wnd, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
  if (auto* form = dynamic_cast<TForm*>(GetParentForm()); form && modalResult_ != mrNone)
    form->SetModalResult(modalResult_);
  TWinControl::Click();
}

void TButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      if (HIWORD(m.WParam) == BN_CLICKED) Click();
      return;
    case CM_DIALOGKEY:
      if (((m.WParam == VK_RETURN && default_) || (m.WParam == VK_ESCAPE && cancel_)) &&
          CanFocus()) {
        Click();
        m.Result = 1;
      }
      return;
    default: break;
  }
  TWinControl::WndProc(m);
}

// Section: registration

void RegisterStdControls() {
  RegisterClasses({ComponentClass<TLabel>(), ComponentClass<TEdit>(), ComponentClass<TButton>()});
}

}  // namespace host
