// TTimer on a hidden window through SetTimer.
#include "host/core/Timer.h"

#include "host/core/Messages.h"

namespace host {

namespace {
constexpr UINT_PTR kTimerId = 1;
// Posted to itself when OnTimer was empty, to notice a plain assignment made right after.
constexpr UINT WM_TIMER_RECHECK = WM_APP + 0x3F10;
}  // namespace

HOST_PROPERTIES(TTimer) {
  p.Bool("Enabled", &TTimer::Enabled, &TTimer::SetEnabled, true);
  p.Int("Interval", &TTimer::Interval, &TTimer::SetInterval, 1000);
  p.Event("OnTimer", &TTimer::OnTimer);
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  window_.reset(AllocateMessageHWnd([this](TMessage& m) { WndProc(m); }));
}

TTimer::~TTimer() {
  Destroying();
  if (armed_) KillTimer(window_.get(), kTimerId);
  window_.reset();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned ms) {
  if (interval_ == ms) return;
  interval_ = ms;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  OnTimer = std::move(handler);
  UpdateTimer();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (armed_) {
    KillTimer(window_.get(), kTimerId);
    armed_ = false;
  }
  if (!enabled_ || interval_ == 0 || Has(TComponentStateFlag::csDesigning) ||
      Has(TComponentStateFlag::csDestroying)) {
    return;
  }
  if (!OnTimer) {
    if (!recheckPosted_) recheckPosted_ = PostMessageW(window_.get(), WM_TIMER_RECHECK, 0, 0) != FALSE;
    return;
  }
  if (!SetTimer(window_.get(), kTimerId, interval_, nullptr)) {
    throw EOutOfResources("Not enough timers available");
  }
  armed_ = true;
}

void TTimer::Timer() {
  if (OnTimer) OnTimer(this);
}

void TTimer::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_TIMER:
      if (m.WParam == kTimerId) {
        if (OnTimer) {
          Timer();
        } else {
          UpdateTimer();  // the handler was cleared by a plain assignment
        }
      }
      break;
    case WM_TIMER_RECHECK:
      recheckPosted_ = false;
      if (!armed_ && OnTimer) UpdateTimer();
      break;
    default:
      DefaultHandler(m);
  }
}

}  // namespace host
