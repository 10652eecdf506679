// Frames.
#include "host/forms/Frames.h"

#include "host/core/Streaming.h"

namespace host {

HOST_PROPERTIES(TFrame) {
  p.Int("PixelsPerInch", &TFrame::PixelsPerInch, &TFrame::SetPixelsPerInch, 96);
  p.Bool("Scaled", &TFrame::Scaled, &TFrame::SetScaled, true);
}

TFrame::TFrame(TComponent* owner) : TCustomControl(owner), pixelsPerInch_(ScreenPixelsPerInch()) {
  controlStyle_ = csAcceptsControls | csCaptureMouse | csClickEvents | csDoubleClicks;
  width_ = 320;
  height_ = 240;
}

void TFrame::ReadState(TReader& reader) {
  pixelsPerInch_ = int(DefaultDpi);  // what a file without the line was designed at
  TCustomControl::ReadState(reader);
  const int screen = reader.PixelsPerInch() > 0 ? reader.PixelsPerInch() : ScreenPixelsPerInch();
  if (!scaled_ || screen == pixelsPerInch_) return;
  if (reader.Root() == this) {
    ChangeScale(screen, pixelsPerInch_);
    return;
  }
  // The parent scales the frame itself; its controls are at `screen` from now on.
  DisableAlign();
  ScaleControls(screen, pixelsPerInch_);
  EnableAlign();
}

}  // namespace host
