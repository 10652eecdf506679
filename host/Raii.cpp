// The COM apartment guard and the objects released before the thread leaves its apartment.
#include "host/Raii.h"

#include <vector>

namespace host {

namespace {

struct Apartment {
  int guards = 0;  // live guards of the thread whose join succeeded
  std::vector<std::function<void()>> releases;
};

thread_local Apartment apartment;

}  // namespace

CoInitializeGuard::CoInitializeGuard(DWORD model) : result_(CoInitializeEx(nullptr, model)) {
  if (Joined()) ++apartment.guards;
}

CoInitializeGuard::~CoInitializeGuard() {
  if (!Joined()) return;
  if (--apartment.guards == 0) {
    // A release may register another one; each runs once.
    while (!apartment.releases.empty()) {
      std::function<void()> release = std::move(apartment.releases.back());
      apartment.releases.pop_back();
      release();
    }
  }
  CoUninitialize();
}

bool AtApartmentExit(std::function<void()> release) {
  if (apartment.guards == 0) return false;
  apartment.releases.push_back(std::move(release));
  return true;
}

}  // namespace host
