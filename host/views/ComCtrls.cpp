// Shared pieces of the common-control views: the custom-draw canvas loan, image-list slots.
#include "host/views/ComCtrls.h"

#include <cstring>
#include <utility>

namespace host {

namespace {

bool SameFont(const LOGFONTW& a, const LOGFONTW& b) {
  return a.lfHeight == b.lfHeight && a.lfWeight == b.lfWeight && a.lfItalic == b.lfItalic &&
         a.lfUnderline == b.lfUnderline && a.lfStrikeOut == b.lfStrikeOut &&
         a.lfCharSet == b.lfCharSet && a.lfEscapement == b.lfEscapement &&
         wcscmp(a.lfFaceName, b.lfFaceName) == 0;
}

}  // namespace

CustomDrawCanvas::CustomDrawCanvas(TCanvas* canvas, HDC dc, TFont* font, COLORREF text,
                                   COLORREF back)
    : canvas_(canvas), dc_(dc) {
  if (font) canvas_->SetFont(font);
  canvas_->Font()->SetColor(TColor(text & 0xFFFFFF));
  canvas_->Brush()->SetColor(back == CLR_NONE || back == CLR_DEFAULT ? clWindow
                                                                     : TColor(back & 0xFFFFFF));
  before_ = canvas_->Font()->GetLogFont();
  canvas_->SetHandle(dc);
}

CustomDrawCanvas::~CustomDrawCanvas() { Release(); }

bool CustomDrawCanvas::FontChanged() const {
  return !SameFont(before_, canvas_->Font()->GetLogFont());
}

COLORREF CustomDrawCanvas::TextColor() const { return ColorToRGB(canvas_->Font()->Color()); }

COLORREF CustomDrawCanvas::BackColor() const { return ColorToRGB(canvas_->Brush()->Color()); }

bool CustomDrawCanvas::Release() {
  if (released_) return false;
  released_ = true;
  canvas_->SetHandle(nullptr);
  if (!FontChanged()) return false;
  // The font object stays alive in the canvas until the next stage, past the control's drawing.
  SelectObject(dc_, canvas_->Font()->Handle());
  return true;
}

// ---- Image-list slots

TViewImages::TViewImages(TWinControl* view, std::function<void(HIMAGELIST)> apply)
    : view_(view), apply_(std::move(apply)) {
  link_.OnChange = [this](TCustomImageList*) { Apply(); };
}

TViewImages::~TViewImages() {
  if (images_) images_->RemoveFreeNotification(view_);
}

void TViewImages::Set(TCustomImageList* images) {
  if (images_ == images) return;
  if (images_) {
    images_->UnRegisterChanges(&link_);
    images_->RemoveFreeNotification(view_);
  }
  images_ = images;
  if (images_) {
    images_->FreeNotification(view_);
    images_->RegisterChanges(&link_);
  }
  Apply();
}

void TViewImages::Apply() const {
  if (view_->HandleAllocated()) apply_(images_ ? images_->Handle() : nullptr);
}

void TViewImages::Removed(TComponent* component, TOperation operation) {
  if (operation == opRemove && component == images_) Set(nullptr);
}

}  // namespace host
