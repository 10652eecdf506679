// Frames.
#include "host/forms/Frames.h"

namespace host {

HOST_PROPERTIES(TFrame) {}

TFrame::TFrame(TComponent* owner) : TCustomControl(owner) {
  controlStyle_ = csAcceptsControls | csCaptureMouse | csClickEvents | csDoubleClicks;
  width_ = 320;
  height_ = 240;
}

}  // namespace host
