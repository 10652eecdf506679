// TSplitter: the control it resizes, the drag and its limits.
#include "host/forms/Splitter.h"

#include <algorithm>

#include "host/core/Streaming.h"
#include "host/forms/Application.h"

namespace host {

TSplitter::TSplitter(TComponent* owner) : TGraphicControl(owner) {
  SetAlign(alLeft);
  SetBounds(0, 0, 3, 100);
  SetCursor(crHSplit);
}

TControl* TSplitter::ResizedControl() const {
  TWinControl* parent = Parent();
  if (!parent) return nullptr;
  const RECT me = BoundsRect();
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (c == this || !c->Visible() || c->Align() != Align()) continue;
    const RECT r = c->BoundsRect();
    const bool touches = (Align() == alLeft && r.right == me.left) ||
                         (Align() == alRight && r.left == me.right) ||
                         (Align() == alTop && r.bottom == me.top) ||
                         (Align() == alBottom && r.top == me.bottom);
    if (touches) return c;
  }
  return nullptr;
}

int TSplitter::Clamped(TControl* control, int size) const {
  TWinControl* parent = Parent();
  const int whole = Vertical() ? parent->ClientWidth() : parent->ClientHeight();
  // What the other aligned controls of the parent take, the control itself apart.
  int others = 0;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (c == control || !c->Visible()) continue;
    const bool across = Vertical() ? (c->Align() == alLeft || c->Align() == alRight)
                                   : (c->Align() == alTop || c->Align() == alBottom);
    if (across) others += Vertical() ? c->Width() : c->Height();
  }
  const int most = std::max(whole - others - minSize_, minSize_);
  return std::clamp(size, minSize_, most);
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  dragged_ = ResizedControl();
  if (!dragged_) return;
  start_ = POINT{Left() + x, Top() + y};
  startSize_ = Vertical() ? dragged_->Width() : dragged_->Height();
}

void TSplitter::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (!dragged_) return;
  // Towards the control shrinks it on the left and top, grows it on the right and bottom.
  const int moved = Vertical() ? Left() + x - start_.x : Top() + y - start_.y;
  const bool grows = Align() == alLeft || Align() == alTop;
  const int size = Clamped(dragged_, startSize_ + (grows ? moved : -moved));
  if (Vertical()) {
    if (size == dragged_->Width()) return;
    dragged_->SetWidth(size);
  } else {
    if (size == dragged_->Height()) return;
    dragged_->SetHeight(size);
  }
  if (Parent()) Parent()->Update();
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (!dragged_ || button != mbLeft) return;
  dragged_ = nullptr;
  if (OnMoved) OnMoved(this);
}

void TSplitter::Paint() {
  TCanvas* canvas = Canvas();
  canvas->Brush()->SetColor(Color());
  const RECT all{0, 0, Width(), Height()};
  canvas->FillRect(all);
}

HOST_PROPERTIES(TSplitter) {
  p.Enum(
      "Align", AlignInfo, &TSplitter::Align,
      [](TSplitter* s, TAlign align) {
        s->SetAlign(align);
        s->SetCursor(align == alTop || align == alBottom ? crVSplit : crHSplit);
      },
      alLeft);
  p.Int("MinSize", &TSplitter::MinSize, &TSplitter::SetMinSize, 30);
  p.Event("OnMoved", &TSplitter::OnMoved);
}

}  // namespace host
