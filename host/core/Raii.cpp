// The COM apartment guard and the objects released before the thread leaves its apartment.
#include "host/core/Raii.h"

#include <vector>

namespace host {

namespace {

struct Apartment {
  int guards = 0;  // live guards of the thread whose join succeeded
  std::vector<std::function<void()>> releases;
};

// A plain pointer: with the emulated thread-local storage of this tool chain, a thread-local
// object with a destructor is destroyed after its storage was freed when the thread ends, which
// corrupts the heap. The record lives while the thread has a joined guard.
thread_local Apartment* apartment = nullptr;

}  // namespace

CoInitializeGuard::CoInitializeGuard(DWORD model) : result_(CoInitializeEx(nullptr, model)) {
  if (!Joined()) return;
  if (!apartment) apartment = new Apartment;
  ++apartment->guards;
}

CoInitializeGuard::~CoInitializeGuard() {
  if (!Joined()) return;
  if (--apartment->guards == 0) {
    // A release may register another one; each runs once.
    while (!apartment->releases.empty()) {
      std::function<void()> release = std::move(apartment->releases.back());
      apartment->releases.pop_back();
      release();
    }
    delete apartment;
    apartment = nullptr;
  }
  CoUninitialize();
}

bool AtApartmentExit(std::function<void()> release) {
  if (!apartment || apartment->guards == 0) return false;
  apartment->releases.push_back(std::move(release));
  return true;
}

}  // namespace host
