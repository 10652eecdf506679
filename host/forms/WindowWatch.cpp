// TWindowWatch: the watches of the main thread, and the announcements TWinControl makes.
#include "host/forms/WindowWatch.h"

#include <algorithm>
#include <vector>

namespace host {

namespace {

// Every watch that has a control. Few objects watch windows, so a list serves.
std::vector<TWindowWatch*>& Watches() {
  static auto* watches = new std::vector<TWindowWatch*>;
  return *watches;
}

bool IsWatching(const TWindowWatch* watch) {
  const auto& all = Watches();
  return std::find(all.begin(), all.end(), watch) != all.end();
}

}  // namespace

TWindowWatch::TWindowWatch(THandler handler) : handler_(std::move(handler)) {}

TWindowWatch::~TWindowWatch() { Watch(nullptr); }

void TWindowWatch::Watch(TWinControl* control) {
  auto& all = Watches();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  control_ = control;
  announcedGone_ = nullptr;
  if (control) all.push_back(this);
}

void TWindowWatch::Announce(TWinControl* control, TWindowOperation operation) {
  HWND window = control->HandleIfAllocated();
  if (!window) return;
  std::vector<TWindowWatch*> told;
  for (TWindowWatch* watch : Watches())
    if (watch->control_ == control) told.push_back(watch);
  for (TWindowWatch* watch : told) {
    // A handler may have ended this watch, or pointed it elsewhere.
    if (!IsWatching(watch) || watch->control_ != control) continue;
    if (operation == woDestroying) {
      if (watch->announcedGone_ == window) continue;
      watch->announcedGone_ = window;
    } else {
      watch->announcedGone_ = nullptr;
    }
    try {
      if (watch->handler_) watch->handler_(control, window, operation);
    } catch (...) {
      // The window comes or goes whatever the watcher thinks of it.
      Application().HandleException(std::current_exception(), control);
    }
  }
}

namespace detail {

void WindowCreated(TWinControl* control) {
  if (!Watches().empty()) TWindowWatch::Announce(control, woCreated);
}

void WindowDestroying(TWinControl* control) {
  if (!Watches().empty()) TWindowWatch::Announce(control, woDestroying);
}

void ControlDestroyed(TWinControl* control) {
  auto& all = Watches();
  for (auto it = all.begin(); it != all.end();) {
    if ((*it)->control_ == control) {
      (*it)->control_ = nullptr;
      it = all.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace detail

}  // namespace host
