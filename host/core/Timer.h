// TTimer: a component that fires OnTimer every Interval milliseconds on a hidden window.
#pragma once

#include "host/core/Classes.h"
#include "host/core/Messages.h"
#include "host/core/TypeInfo.h"

#include <windows.h>

namespace host {

// The platform timer runs only while Enabled is set, Interval is not 0 and OnTimer is assigned;
// changing any of them re-arms it. OnTimer runs on the thread that made the timer, which must
// pump messages. Assign OnTimer through SetOnTimer at run time; a plain assignment is noticed by
// the next change of Enabled or Interval, by Loaded, or when it is made before the thread next
// handles its messages.
// Published: Enabled (default true), Interval (default 1000), OnTimer.
class TTimer : public TComponent {
  HOST_CLASS(TTimer, TComponent)
  explicit TTimer(TComponent* owner = nullptr);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  void SetOnTimer(TNotifyEvent handler);

  TNotifyEvent OnTimer;

  void Loaded() override;

 protected:
  // Fires OnTimer.
  virtual void Timer();

 private:
  void UpdateTimer();
  void WndProc(TMessage& message);

  UniqueHiddenWindow window_;
  unsigned interval_ = 1000;
  bool enabled_ = true;
  bool armed_ = false;
  bool recheckPosted_ = false;
};

}  // namespace host
