// Telling an object about the windows of a control it does not own.
//   TWindowOperation   woCreated (the window and its children's exist), woDestroying (it still
//                      exists, and goes next)
//   TWindowWatch       one watch on one control's windows; it ends with the watch or the control
//   detail::Window...  the calls TWinControl makes as its window comes and goes
//
// Free notification tells a component that another goes away; a watch tells it about the
// windows in between. An object that registers something with another control's window (a drop
// target) does so for each window the control gets, and takes it back while the window is still
// there: windows may be re-created, and once destroyed the platform has forgotten them. Each
// window is announced once on each side: woDestroying comes before the control destroys its
// window, or from WM_DESTROY when the window goes another way (destroyed with a parent window).
// A window the control has when the watch starts is not announced: the watcher looks at it.
// Watches and windows belong to the main thread.
#pragma once

#include "host/forms/Controls.h"

#include <windows.h>

#include <functional>

namespace host {

enum TWindowOperation { woCreated, woDestroying };

namespace detail {
// The control's window and its children's have been made.
void WindowCreated(TWinControl* control);
// The control's window is about to be destroyed (told once per window). A handler that raises
// is reported to the application: the window goes anyway.
void WindowDestroying(TWinControl* control);
// The control is being destroyed: its watches end.
void ControlDestroyed(TWinControl* control);
}  // namespace detail

class TWindowWatch {
 public:
  using THandler = std::function<void(TWinControl* control, HWND window, TWindowOperation operation)>;

  explicit TWindowWatch(THandler handler);
  ~TWindowWatch();
  TWindowWatch(const TWindowWatch&) = delete;
  TWindowWatch& operator=(const TWindowWatch&) = delete;

  // Watches `control`'s windows from now on, instead of the last control's (nullptr: none).
  void Watch(TWinControl* control);
  // The watched control; nullptr once it has been destroyed.
  TWinControl* Control() const { return control_; }

 private:
  friend void detail::WindowCreated(TWinControl* control);
  friend void detail::WindowDestroying(TWinControl* control);
  friend void detail::ControlDestroyed(TWinControl* control);
  static void Announce(TWinControl* control, TWindowOperation operation);

  TWinControl* control_ = nullptr;
  HWND announcedGone_ = nullptr;  // the window woDestroying was told for
  THandler handler_;
};

}  // namespace host
