// A bar between aligned controls that the user drags to share their room.
//   TSplitter   aligned like its neighbour (alLeft, alRight, alTop or alBottom); dragging it
//               resizes the control aligned on the same side just before it, never below
//               MinSize, and leaves at least MinSize to the room beyond it
#pragma once

#include "host/forms/Controls.h"

namespace host {

class TSplitter : public TGraphicControl {
  HOST_CLASS(TSplitter, TGraphicControl)
  explicit TSplitter(TComponent* owner = nullptr);

  // The smallest size, in pixels, of the control it resizes and of the room left beyond it.
  int MinSize() const { return minSize_; }
  void SetMinSize(int size) { minSize_ = size > 0 ? size : 1; }
  // The control the splitter resizes now: aligned on its side and touching it, else nullptr.
  TControl* ResizedControl() const;

  TNotifyEvent OnMoved;

 protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Paint() override;

 private:
  bool Vertical() const { return Align() == alLeft || Align() == alRight; }
  // The size `control` may take: at least MinSize, and MinSize left to the room beyond.
  int Clamped(TControl* control, int size) const;

  int minSize_ = 30;
  TControl* dragged_ = nullptr;
  POINT start_{};     // in the parent's client coordinates
  int startSize_ = 0;
};

}  // namespace host
