// One owner type per platform resource.
//   ComPtr<T>            COM interface pointer (WRL)
//   CoTaskMemPtr<T>      block from the COM task allocator
//   UniqueHandle         kernel handle closed with CloseHandle
//   FindHandle           search handle closed with FindClose
//   ErrorModeGuard       thread error mode set for a scope, restored on every path
//   CoInitializeGuard    COM apartment for the calling thread
#pragma once

#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>

#include <memory>
#include <utility>

namespace host {

using Microsoft::WRL::ComPtr;

struct CoTaskMemFree_ {
  void operator()(void* p) const noexcept { CoTaskMemFree(p); }
};
template <typename T>
using CoTaskMemPtr = std::unique_ptr<T, CoTaskMemFree_>;

template <typename Traits>
class UniqueAny {
 public:
  using Type = typename Traits::Type;
  UniqueAny() = default;
  explicit UniqueAny(Type value) : value_(value) {}
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(std::exchange(other.value_, Traits::Invalid())) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, Traits::Invalid()));
    return *this;
  }
  ~UniqueAny() { reset(); }

  Type get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Invalid(); }
  void reset(Type value = Traits::Invalid()) {
    if (value_ != Traits::Invalid()) Traits::Close(value_);
    value_ = value;
  }
  [[nodiscard]] Type release() { return std::exchange(value_, Traits::Invalid()); }
  Type* put() {
    reset();
    return &value_;
  }

 private:
  Type value_ = Traits::Invalid();
};

struct HandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { CloseHandle(h); }
};
struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { CloseHandle(h); }
};
struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { FindClose(h); }
};
struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DeleteObject(h); }
};

using UniqueHandle = UniqueAny<HandleTraits>;
using UniqueFile = UniqueAny<FileHandleTraits>;
using FindHandle = UniqueAny<FindHandleTraits>;
using UniqueGdiObject = UniqueAny<GdiObjectTraits>;

// Switches the calling thread's critical-error boxes off (or to `mode`) for a scope.
class [[nodiscard]] ErrorModeGuard {
 public:
  explicit ErrorModeGuard(DWORD mode = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX) {
    SetThreadErrorMode(mode, &previous_);
  }
  ~ErrorModeGuard() { SetThreadErrorMode(previous_, nullptr); }
  ErrorModeGuard(const ErrorModeGuard&) = delete;
  ErrorModeGuard& operator=(const ErrorModeGuard&) = delete;

 private:
  DWORD previous_ = 0;
};

// Joins the calling thread to a COM apartment; leaves it at scope end if joining succeeded.
class [[nodiscard]] CoInitializeGuard {
 public:
  explicit CoInitializeGuard(DWORD model = COINIT_APARTMENTTHREADED)
      : ok_(SUCCEEDED(CoInitializeEx(nullptr, model))) {}
  ~CoInitializeGuard() {
    if (ok_) CoUninitialize();
  }
  CoInitializeGuard(const CoInitializeGuard&) = delete;
  CoInitializeGuard& operator=(const CoInitializeGuard&) = delete;

 private:
  bool ok_;
};

// Brackets a collection's changes: BeginUpdate now, EndUpdate on every path out.
template <typename T>
class [[nodiscard]] UpdateGuard {
 public:
  explicit UpdateGuard(T& target) : target_(&target) { target_->BeginUpdate(); }
  ~UpdateGuard() { target_->EndUpdate(); }
  UpdateGuard(const UpdateGuard&) = delete;
  UpdateGuard& operator=(const UpdateGuard&) = delete;

 private:
  T* target_;
};

}  // namespace host
