// Frames: a group of controls placed on a form, or on another frame, as one control.
//   TFrame   a container control; the components it owns take its window as their owner
#pragma once

#include "host/forms/Controls.h"

namespace host {

// A container whose children are laid out inside it like on a form. Non-visual components
// owned by a frame (dialogs, for instance) use the frame's window as their owner window.
// Like a form, a Scaled frame designed at another DPI than the one it is read for scales its
// controls as it is read; its own bounds are its parent's to scale.
class TFrame : public TCustomControl {
  HOST_CLASS(TFrame, TCustomControl)
  explicit TFrame(TComponent* owner = nullptr);

  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi) { if (ppi > 0) pixelsPerInch_ = ppi; }
  bool Scaled() const { return scaled_; }
  void SetScaled(bool scaled) { scaled_ = scaled; }

  void ReadState(TReader& reader) override;

 private:
  int pixelsPerInch_;
  bool scaled_ = true;
};

}  // namespace host
