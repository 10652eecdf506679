// Panels, images and splitters.
#include "host/forms/ExtCtrls.h"

#include "host/core/Streaming.h"
#include "host/forms/Forms.h"
#include "host/forms/Splitter.h"

#include <algorithm>

namespace host {

// Section: TCustomPanel

HOST_PROPERTIES(TCustomPanel) {
  p.Bool("TabStop", &TCustomPanel::TabStop, &TCustomPanel::SetTabStop, false);
  p.Str("Caption", &TCustomPanel::Caption, &TCustomPanel::SetCaption);
  p.Enum("Alignment", AlignmentInfo, &TCustomPanel::Alignment, &TCustomPanel::SetAlignment,
         taCenter);
  p.Enum("BevelInner", BevelCutInfo, &TCustomPanel::BevelInner, &TCustomPanel::SetBevelInner,
         bvNone);
  p.Enum("BevelOuter", BevelCutInfo, &TCustomPanel::BevelOuter, &TCustomPanel::SetBevelOuter,
         bvRaised);
  p.Int("BevelWidth", &TCustomPanel::BevelWidth, &TCustomPanel::SetBevelWidth, 1);
  p.Int("BorderWidth", &TCustomPanel::BorderWidth, &TCustomPanel::SetBorderWidth, 0);
  p.Enum("BorderStyle", BorderStyleInfo, &TCustomPanel::BorderStyle, &TCustomPanel::SetBorderStyle,
         bsNoBorder);
}

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  controlStyle_ = csAcceptsControls | csCaptureMouse | csClickEvents | csDoubleClicks |
                  csSetCaption | csOpaque;
  width_ = 185;
  height_ = 41;
}

void TCustomPanel::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.WindowClass.style |= CS_HREDRAW | CS_VREDRAW;
  if (borderStyle_ == bsSingleBorder) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomPanel::Changed() {
  Realign();
  Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment alignment) {
  if (alignment_ == alignment) return;
  alignment_ = alignment;
  Invalidate();
}
void TCustomPanel::SetBevelInner(TBevelCut cut) {
  if (bevelInner_ == cut) return;
  bevelInner_ = cut;
  Changed();
}
void TCustomPanel::SetBevelOuter(TBevelCut cut) {
  if (bevelOuter_ == cut) return;
  bevelOuter_ = cut;
  Changed();
}
void TCustomPanel::SetBevelWidth(int width) {
  width = std::max(width, 1);
  if (bevelWidth_ == width) return;
  bevelWidth_ = width;
  Changed();
}
void TCustomPanel::SetBorderWidth(int width) {
  width = std::max(width, 0);
  if (borderWidth_ == width) return;
  borderWidth_ = width;
  Changed();
}
void TCustomPanel::SetBorderStyle(TBorderStyle style) {
  if (borderStyle_ == style) return;
  borderStyle_ = style;
  RecreateWnd();
  Changed();
}

void TCustomPanel::AdjustClientRect(RECT& rect) const {
  int inset = borderWidth_;
  if (bevelOuter_ != bvNone) inset += bevelWidth_;
  if (bevelInner_ != bvNone) inset += bevelWidth_;
  InflateRect(&rect, -inset, -inset);
}

void TCustomPanel::Paint() {
  HDC dc = Canvas()->Handle();
  RECT r = ClientRect();
  auto bevel = [&](TBevelCut cut) {
    if (cut == bvNone) return;
    for (int i = 0; i < bevelWidth_; ++i) {
      if (cut == bvSpace) {
        InflateRect(&r, -1, -1);
        continue;
      }
      DrawEdge(dc, &r, cut == bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    }
  };
  bevel(bevelOuter_);
  InflateRect(&r, -borderWidth_, -borderWidth_);
  bevel(bevelInner_);
  {
    UniqueGdiObject brush{CreateSolidBrush(ColorToRGB(Color()))};
    FillRect(dc, &r, HBRUSH(brush.get()));
  }
  const std::wstring text = ToWide(Caption());
  if (text.empty()) return;
  SelectedObject font(dc, Font()->Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Enabled() ? Font()->Color() : clGrayText));
  UINT flags = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
  flags |= alignment_ == taCenter ? DT_CENTER : alignment_ == taRightJustify ? DT_RIGHT : DT_LEFT;
  DrawTextW(dc, text.c_str(), int(text.size()), &r, flags);
}

void TCustomPanel::WndProc(TMessage& m) {
  TCustomControl::WndProc(m);
  if (m.Msg == CM_TEXTCHANGED || m.Msg == CM_COLORCHANGED || m.Msg == CM_FONTCHANGED) Invalidate();
}

HOST_PROPERTIES(TPanel) {}

// Section: TImage

HOST_PROPERTIES(TImage) {
  p.Str("PictureFile", &TImage::PictureFile, &TImage::SetPictureFile);
  p.Bool("AutoSize", &TImage::AutoSize, &TImage::SetAutoSize, false);
  p.Bool("Center", &TImage::Center, &TImage::SetCenter, false);
  p.Bool("Proportional", &TImage::Proportional, &TImage::SetProportional, false);
  p.Bool("Stretch", &TImage::Stretch, &TImage::SetStretch, false);
  p.Bool("Transparent", &TImage::Transparent, &TImage::SetTransparent, false);
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner), picture_(std::make_unique<TPicture>()) {
  picture_->OnChange = [this](TObject*) { PictureChanged(); };
  width_ = 105;
  height_ = 105;
}

TImage::~TImage() { picture_->OnChange = nullptr; }

void TImage::SetPictureFile(const String& fileName) {
  pictureFile_ = fileName;
  if (fileName.empty()) {
    picture_->SetGraphic(nullptr);
    return;
  }
  String path = fileName;
  const bool relative = !(path.size() > 1 && (path[1] == ':' || (path[0] == '\\' && path[1] == '\\')));
  if (relative && !detail::FormFileFolder().empty() &&
      FileExists(detail::FormFileFolder() + path))
    path = detail::FormFileFolder() + path;
  picture_->LoadFromFile(path);
}

void TImage::PictureChanged() {
  if (autoSize_ && picture_->Width() > 0 && picture_->Height() > 0)
    SetBounds(left_, top_, picture_->Width(), picture_->Height());
  if (TGraphic* g = picture_->Graphic()) g->SetTransparent(transparent_);
  Invalidate();
}

void TImage::SetStretch(bool stretch) {
  stretch_ = stretch;
  Invalidate();
}
void TImage::SetCenter(bool center) {
  center_ = center;
  Invalidate();
}
void TImage::SetProportional(bool proportional) {
  proportional_ = proportional;
  Invalidate();
}
void TImage::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  PictureChanged();
}
void TImage::SetTransparent(bool transparent) {
  transparent_ = transparent;
  PictureChanged();
}

RECT TImage::DestRect() const {
  const int pw = picture_->Width(), ph = picture_->Height();
  const int cw = width_, ch = height_;
  int w = pw, h = ph;
  if (pw > 0 && ph > 0 && (stretch_ || (proportional_ && (pw > cw || ph > ch)))) {
    if (proportional_) {
      // Fit inside the client area, keeping the aspect ratio.
      if (int64_t(cw) * ph > int64_t(ch) * pw) {
        h = ch;
        w = int(int64_t(ch) * pw / ph);
      } else {
        w = cw;
        h = int(int64_t(cw) * ph / pw);
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  RECT r{0, 0, w, h};
  if (center_) OffsetRect(&r, (cw - w) / 2, (ch - h) / 2);
  return r;
}

void TImage::Paint() {
  TGraphic* g = picture_->Graphic();
  if (!g || g->Empty()) return;
  Canvas()->StretchDraw(DestRect(), g);
}

// Section: registration

void RegisterExtControls() {
  RegisterClasses({ComponentClass<TPanel>(), ComponentClass<TImage>(), ComponentClass<TSplitter>()});
}

}  // namespace host
