// What the shell list's tests share: item lookups, announcing changes, a list that counts its
// refreshes, a linked control that records what the link tells it, and real input.
//   Names, NameSet, ItemNamed    the items by parsing name
//   Announce, PumpFor            shell reports of a path; running the queue for a while
//   CountingList, Recorder       the list with its navigator and notifier shown; a link peer
//   PressKeys, ClickAt           keys and mouse clicks sent as input to the focused window
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <initializer_list>
#include <set>
#include <vector>

#include "Pump.h"
#include "controls/ShellList.h"

namespace testing_support {

using zelnor::String;
using zelnor::TKivShellList;
using zelnor::TKivShellListItem;

// Parsing names of the items, in list order (".." for the parent-folder item).
inline std::vector<String> Names(TKivShellList& list) {
  std::vector<String> names;
  for (int i = 0; i < list.Items()->Count(); ++i) {
    TKivShellListItem* data = TKivShellList::ItemData(list.Items()->Item(i));
    names.push_back(data->parentFolder ? String("..") : data->parsingName);
  }
  return names;
}

inline std::set<String> NameSet(TKivShellList& list) {
  const auto names = Names(list);
  return {names.begin(), names.end()};
}

inline host::TListItem* ItemNamed(TKivShellList& list, const String& name) {
  for (int i = 0; i < list.Items()->Count(); ++i) {
    TKivShellListItem* data = TKivShellList::ItemData(list.Items()->Item(i));
    if (name == ".." ? data->parentFolder
                     : !data->parentFolder && host::SameText(data->parsingName, name))
      return list.Items()->Item(i);
  }
  return nullptr;
}

inline void Announce(LONG event, const String& path) {
  SHChangeNotify(event, SHCNF_PATHW | SHCNF_FLUSH, host::ToWide(path).c_str(), nullptr);
}

// Runs the message queue for `ms` milliseconds: for checking that something does NOT happen.
inline void PumpFor(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  PumpMessagesUntil([&] { return GetTickCount64() >= end; }, ms + 1000);
}

// A list that counts its incremental refreshes and shows its navigator and notifier.
class CountingList : public TKivShellList {
 public:
  using TKivShellList::ChangeNotification;
  using TKivShellList::KeyPress;
  using TKivShellList::Navigator;
  using TKivShellList::Notifier;
  using TKivShellList::TimerChange;
  using TKivShellList::TKivShellList;
  int smartRefreshes = 0;
  void SmartRefresh() override {
    ++smartRefreshes;
    TKivShellList::SmartRefresh();
  }
};

// A linked control that records what the link tells it.
class Recorder : public zelnor::TKivShellControlBase {
 public:
  zelnor::TKivShellLink* link = nullptr;
  std::vector<String> paths;
  int refreshes = 0;
  int smartRefreshes = 0;
  void setShellLink(zelnor::TKivShellLink* l) override {
    zelnor::AttachShellControl(this, link, l);
  }
  zelnor::TKivShellLink* getShellLink() override { return link; }
  void PathChanged(zelnor::PCItemIDList idList) override {
    paths.push_back(zelnor::GetPathFromPidl(idList));
  }
  void FileChanged(zelnor::PCItemIDList, zelnor::PCItemIDList) override {}
  void SelectAll() override {}
  void Refresh() override { ++refreshes; }
  void SmartRefresh() override { ++smartRefreshes; }
  bool GoUp() override { return false; }
};

// Presses the keys in order and lets them go in reverse order (a modifier first makes a
// combination), as input to the focused window of the foreground thread.
inline void PressKeys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> input;
  for (WORD key : keys) {
    INPUT down{};
    down.type = INPUT_KEYBOARD;
    down.ki.wVk = key;
    input.push_back(down);
  }
  for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) {
    INPUT up{};
    up.type = INPUT_KEYBOARD;
    up.ki.wVk = *it;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    input.push_back(up);
  }
  SendInput(UINT(input.size()), input.data(), sizeof(INPUT));
  PumpFor(150);
}

// A click (or a double click) of a mouse button at a screen point.
inline void ClickAt(POINT screen, bool right = false, int clicks = 1) {
  SetCursorPos(screen.x, screen.y);
  std::vector<INPUT> input;
  for (int i = 0; i < clicks; ++i) {
    INPUT down{}, up{};
    down.type = up.type = INPUT_MOUSE;
    down.mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    up.mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    input.push_back(down);
    input.push_back(up);
  }
  SendInput(UINT(input.size()), input.data(), sizeof(INPUT));
}

}  // namespace testing_support
