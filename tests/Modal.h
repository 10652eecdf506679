// Driving the platform's modal loops in tests: dialogs answered from a watchdog thread, menus
// read and closed from a timer.
//   ModalWatchdog      posts a button's command to every dialog box of the process that appears
//   AfterDelay         runs an action once from a thread timer (inside a menu's modal loop too)
//   FindThreadDialog   the calling thread's visible dialog box (class #32770), or null
//   OpenMenu, MenuEntries   the menu on screen and its entries (text, identifier, submenu)
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

inline HWND FindThreadDialog() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND wnd, LPARAM lp) -> BOOL {
        wchar_t cls[32] = {};
        GetClassNameW(wnd, cls, 32);
        if (wcscmp(cls, L"#32770") == 0 && IsWindowVisible(wnd)) {
          *reinterpret_cast<HWND*>(lp) = wnd;
          return FALSE;
        }
        return TRUE;
      },
      LPARAM(&found));
  return found;
}

class ModalWatchdog {
 public:
  // `button` is IDYES, IDNO, IDOK, IDCANCEL...; a box without that button gets IDCANCEL, then
  // IDOK, then WM_CLOSE.
  explicit ModalWatchdog(int button) : button_(button), thread_([this] { Watch(); }) {}
  ~ModalWatchdog() {
    stop_ = true;
    thread_.join();
  }
  ModalWatchdog(const ModalWatchdog&) = delete;
  ModalWatchdog& operator=(const ModalWatchdog&) = delete;

  // How many boxes were answered, and the texts they showed (all static texts joined).
  int Answered() const { return answered_; }
  std::vector<std::wstring> Texts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }

 private:
  struct Found {
    std::vector<HWND> boxes;
  };

  static BOOL CALLBACK Collect(HWND wnd, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    wchar_t cls[64] = {};
    GetClassNameW(wnd, cls, 64);
    if (pid == GetCurrentProcessId() && IsWindowVisible(wnd) && std::wstring(cls) == L"#32770")
      reinterpret_cast<Found*>(param)->boxes.push_back(wnd);
    return TRUE;
  }

  static BOOL CALLBACK CollectText(HWND child, LPARAM param) {
    wchar_t cls[32] = {}, text[512] = {};
    GetClassNameW(child, cls, 32);
    if (_wcsicmp(cls, L"Static") == 0 && GetWindowTextW(child, text, 512) > 0) {
      auto* all = reinterpret_cast<std::wstring*>(param);
      if (!all->empty()) *all += L" ";
      *all += text;
    }
    return TRUE;
  }

  void Answer(HWND box) {
    std::wstring text;
    EnumChildWindows(box, CollectText, LPARAM(&text));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      texts_.push_back(text);
    }
    ++answered_;
    for (int id : {button_, int(IDCANCEL), int(IDOK)}) {
      if (HWND control = GetDlgItem(box, id)) {
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(control));
        return;
      }
    }
    PostMessageW(box, WM_CLOSE, 0, 0);
  }

  void Watch() {
    std::set<HWND> answered;
    while (!stop_) {
      Found found;
      EnumWindows(Collect, LPARAM(&found));
      for (HWND box : found.boxes) {
        if (answered.insert(box).second) Answer(box);
      }
      // Forget boxes that went away (handles may be used again).
      for (auto it = answered.begin(); it != answered.end();)
        it = IsWindow(*it) ? std::next(it) : answered.erase(it);
      Sleep(40);
    }
  }

  int button_;
  std::atomic<bool> stop_{false};
  std::atomic<int> answered_{0};
  mutable std::mutex mutex_;
  std::vector<std::wstring> texts_;
  std::thread thread_;
};

// Runs `action` once from a thread timer after `ms` milliseconds; modal loops dispatch it too.
inline std::function<void()>& PendingTimerAction() {
  static std::function<void()> action;
  return action;
}
inline void CALLBACK RunPendingTimerAction(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  auto action = std::move(PendingTimerAction());
  PendingTimerAction() = nullptr;
  if (action) action();
}
inline void AfterDelay(UINT ms, std::function<void()> action) {
  PendingTimerAction() = std::move(action);
  SetTimer(nullptr, 0, ms, RunPendingTimerAction);
}

// The popup menu on screen (the top one), or nullptr.
inline HMENU OpenMenu(HWND* window = nullptr) {
  HWND menuWindow = FindWindowW(L"#32768", nullptr);
  if (window) *window = menuWindow;
  return menuWindow ? reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0))
                    : nullptr;
}

struct MenuEntry {
  std::wstring text;
  UINT id = 0;
  HMENU submenu = nullptr;
};

inline std::vector<MenuEntry> MenuEntries(HMENU menu) {
  std::vector<MenuEntry> entries;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_FTYPE;
    wchar_t text[256] = {};
    info.dwTypeData = text;
    info.cch = 255;
    GetMenuItemInfoW(menu, UINT(i), TRUE, &info);
    entries.push_back({(info.fType & MFT_OWNERDRAW) ? L"" : text, info.wID, info.hSubMenu});
  }
  return entries;
}

// Types a character into the open menu (chooses the entry with that mnemonic).
inline void TypeIntoMenu(wchar_t c) {
  HWND window = FindWindowW(L"#32768", nullptr);
  PostMessageW(window, WM_CHAR, c, 1);
}

}  // namespace testing_support
