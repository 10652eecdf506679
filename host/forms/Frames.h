// Frames: a group of controls placed on a form, or on another frame, as one control.
//   TFrame   a container control; the components it owns take its window as their owner
#pragma once

#include "host/forms/Controls.h"

namespace host {

// A container whose children are laid out inside it like on a form. Non-visual components
// owned by a frame (dialogs, for instance) use the frame's window as their owner window.
class TFrame : public TCustomControl {
  HOST_CLASS(TFrame, TCustomControl)
  explicit TFrame(TComponent* owner = nullptr);
};

}  // namespace host
