// One owner type per platform resource, and scope guards that restore state on every path.
//   ComPtr<T>            COM interface pointer (WRL)
//   CoTaskMemPtr<T>      block from the COM task allocator (UniquePidl is one)
//   UniqueAny<Traits>    owner of one handle with a close policy:
//     UniqueHandle, UniqueFile, FindHandle, UniqueGdiObject, UniqueDC (CreateCompatibleDC),
//     UniqueImageList, UniqueHiddenWindow (AllocateHWnd), UniqueMenu (CreatePopupMenu),
//     UniqueIcon
//   WindowDC             GetDC / ReleaseDC of a window (the screen for nullptr)
//   PaintDC              BeginPaint / EndPaint
//   SelectedObject       SelectObject for a scope, the previous object selected back
//   HeldSelection        an object kept selected into a context until let go (a canvas's font)
//   ScopeExit            runs a callable when the scope ends
//   ScopedValue<T>       a variable set for a scope (flags, re-entrance counters, events)
//   SuppressEvents       events emptied for a scope and given back
//   ErrorModeGuard       thread error mode set for a scope, restored on every path
//   CoInitializeGuard    COM apartment for the calling thread, AtApartmentExit its objects
//   UpdateGuard<T>       BeginUpdate / EndUpdate of a collection
//
// Guards run their restore on every path. On a normal exit an exception thrown by the restore
// propagates; while another exception is already unwinding the scope, the restore's own error is
// dropped so that the first one reaches the caller.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <commctrl.h>
#include <wrl/client.h>

#include <exception>
#include <functional>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>

#include "host/core/Messages.h"

namespace host {

using Microsoft::WRL::ComPtr;

struct CoTaskMemDeleter {
  void operator()(void* p) const noexcept { CoTaskMemFree(p); }
};
// The one owner of task-allocator memory: texts from the shell, item identifier lists.
template <typename T>
using CoTaskMemPtr = std::unique_ptr<T, CoTaskMemDeleter>;

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

struct DcTraits {
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DeleteDC(h); }
};
struct ImageListTraits {
  using Type = HIMAGELIST;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ImageList_Destroy(h); }
};
struct HiddenWindowTraits {
  using Type = HWND;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DeallocateHWnd(h); }
};

struct MenuTraits {
  using Type = HMENU;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DestroyMenu(h); }
};
struct IconTraits {
  using Type = HICON;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DestroyIcon(h); }
};

using UniqueHandle = UniqueAny<HandleTraits>;
using UniqueFile = UniqueAny<FileHandleTraits>;
using FindHandle = UniqueAny<FindHandleTraits>;
using UniqueGdiObject = UniqueAny<GdiObjectTraits>;
// A memory context from CreateCompatibleDC.
using UniqueDC = UniqueAny<DcTraits>;
using UniqueImageList = UniqueAny<ImageListTraits>;
// A hidden window from AllocateHWnd; destroy it on the thread that made it.
using UniqueHiddenWindow = UniqueAny<HiddenWindowTraits>;
// A menu the caller made (destroyed with its submenus).
using UniqueMenu = UniqueAny<MenuTraits>;
// An icon the caller made or was handed as its own (ImageList_GetIcon, CopyIcon).
using UniqueIcon = UniqueAny<IconTraits>;

namespace detail {

// Runs `restore` as a guard's destructor does: see the file comment.
template <typename F>
void RunRestore(int uncaughtAtStart, F&& restore) {
  if (std::uncaught_exceptions() > uncaughtAtStart) {
    try {
      restore();
    } catch (...) {
      // The error already unwinding is the one the caller must see; this one would replace it.
    }
  } else {
    restore();
  }
}

}  // namespace detail

// ---- Device contexts

// The context of a window's client area (of the screen for nullptr), released at scope end.
class [[nodiscard]] WindowDC {
 public:
  explicit WindowDC(HWND window = nullptr) : window_(window), dc_(GetDC(window)) {}
  ~WindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;

  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint for WM_PAINT, EndPaint at scope end.
class [[nodiscard]] PaintDC {
 public:
  explicit PaintDC(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  ~PaintDC() { EndPaint(window_, &paint_); }
  PaintDC(const PaintDC&) = delete;
  PaintDC& operator=(const PaintDC&) = delete;

  HDC get() const { return dc_; }
  const PAINTSTRUCT& Paint() const { return paint_; }
  const RECT& Rect() const { return paint_.rcPaint; }

 private:
  HWND window_;
  HDC dc_ = nullptr;
  PAINTSTRUCT paint_{};
};

// Selects `object` (a font, brush, pen or bitmap) into `dc` and the previous one back at scope
// end. The guard does not own `object`: destroy it after the guard has gone.
class [[nodiscard]] SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

  HGDIOBJ Previous() const { return previous_; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// An object kept selected into a context beyond one scope: the object it first displaced is
// selected back when the holder lets go (Reset, or destruction). Selecting again into the same
// context keeps that first object; the holder does not own the objects it selects.
class HeldSelection {
 public:
  HeldSelection() = default;
  ~HeldSelection() { Reset(); }
  HeldSelection(const HeldSelection&) = delete;
  HeldSelection& operator=(const HeldSelection&) = delete;

  // Selects `object` into `dc` unless it is selected there already.
  void Select(HDC dc, HGDIOBJ object) {
    if (object == selected_ && dc == dc_) return;
    if (dc != dc_) Reset();
    HGDIOBJ displaced = SelectObject(dc, object);
    if (!previous_ && displaced != HGDI_ERROR) previous_ = displaced;
    dc_ = dc;
    selected_ = object;
  }
  HGDIOBJ Selected() const { return selected_; }
  // Selects the displaced object back and forgets the context.
  void Reset() {
    if (selected_ && previous_) SelectObject(dc_, previous_);
    dc_ = nullptr;
    previous_ = selected_ = nullptr;
  }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  HGDIOBJ selected_ = nullptr;
};

// ---- Scope guards

// Runs a callable when the scope ends, unless dismissed first:
//   auto restore = ScopeExit([&] { list->EndUpdate(); });
template <typename F>
class [[nodiscard]] ScopeExitGuard {
 public:
  explicit ScopeExitGuard(F action) : action_(std::move(action)) {}
  ~ScopeExitGuard() noexcept(false) {
    if (armed_) detail::RunRestore(uncaught_, action_);
  }
  ScopeExitGuard(const ScopeExitGuard&) = delete;
  ScopeExitGuard& operator=(const ScopeExitGuard&) = delete;

  // The action will not run.
  void Dismiss() { armed_ = false; }

 private:
  F action_;
  int uncaught_ = std::uncaught_exceptions();
  bool armed_ = true;
};

template <typename F>
[[nodiscard]] ScopeExitGuard<std::decay_t<F>> ScopeExit(F&& action) {
  return ScopeExitGuard<std::decay_t<F>>(std::forward<F>(action));
}

// Gives a variable a value for a scope and the old value back at its end:
//   ScopedValue busy{busy_, true};
//   ScopedValue depth{depth_, depth_ + 1};
template <typename T>
class [[nodiscard]] ScopedValue {
 public:
  ScopedValue(T& target, std::type_identity_t<T> value)
      : target_(target), saved_(std::exchange(target, std::move(value))) {}
  ~ScopedValue() noexcept(false) {
    detail::RunRestore(uncaught_, [this] { target_ = std::move(saved_); });
  }
  ScopedValue(const ScopedValue&) = delete;
  ScopedValue& operator=(const ScopedValue&) = delete;

  // The value the variable had before the scope.
  const T& Saved() const { return saved_; }

 private:
  T& target_;
  T saved_;
  int uncaught_ = std::uncaught_exceptions();
};

// Silences events (std::function slots) for a scope: each is emptied now and given back at the
// end, so changes made meanwhile report to nobody.
//   auto quiet = SuppressEvents(list->OnChanging, list->OnChange);
template <typename... Events>
class [[nodiscard]] EventSuppression {
 public:
  explicit EventSuppression(Events&... events)
      : targets_(events...), saved_(std::exchange(events, Events{})...) {}
  ~EventSuppression() noexcept(false) {
    detail::RunRestore(uncaught_, [this] { Restore(std::index_sequence_for<Events...>{}); });
  }
  EventSuppression(const EventSuppression&) = delete;
  EventSuppression& operator=(const EventSuppression&) = delete;

 private:
  template <size_t... I>
  void Restore(std::index_sequence<I...>) {
    ((std::get<I>(targets_) = std::move(std::get<I>(saved_))), ...);
  }

  std::tuple<Events&...> targets_;
  std::tuple<Events...> saved_;
  int uncaught_ = std::uncaught_exceptions();
};

template <typename... Events>
[[nodiscard]] EventSuppression<Events...> SuppressEvents(Events&... events) {
  return EventSuppression<Events...>(events...);
}

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
// When the outermost guard of the thread leaves, the objects registered with AtApartmentExit are
// released first, while the apartment still exists.
class [[nodiscard]] CoInitializeGuard {
 public:
  explicit CoInitializeGuard(DWORD model = COINIT_APARTMENTTHREADED);
  ~CoInitializeGuard();
  CoInitializeGuard(const CoInitializeGuard&) = delete;
  CoInitializeGuard& operator=(const CoInitializeGuard&) = delete;

  // CoInitializeEx's answer: S_OK for the thread's first join, S_FALSE for a nested one.
  HRESULT Result() const { return result_; }
  bool Joined() const { return SUCCEEDED(result_); }

 private:
  HRESULT result_;
};

// Hands `release` to the calling thread's apartment: it runs (last registered first) when the
// outermost CoInitializeGuard of the thread leaves, before CoUninitialize. Per-thread COM objects
// (a thread's own desktop folder) register their release here. False when no guard is active on
// the thread: the caller then keeps its object until the thread ends.
bool AtApartmentExit(std::function<void()> release);

// Brackets a collection's changes: BeginUpdate now, EndUpdate on every path out.
template <typename T>
class [[nodiscard]] UpdateGuard {
 public:
  explicit UpdateGuard(T& target) : target_(&target) { target_->BeginUpdate(); }
  ~UpdateGuard() noexcept(false) {
    detail::RunRestore(uncaught_, [this] { target_->EndUpdate(); });
  }
  UpdateGuard(const UpdateGuard&) = delete;
  UpdateGuard& operator=(const UpdateGuard&) = delete;

 private:
  T* target_;
  int uncaught_ = std::uncaught_exceptions();
};

}  // namespace host
