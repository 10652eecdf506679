// What the benchmarks share.
//   NowMs               a millisecond clock
//   TSamples            the times of interleaved rounds: median and spread
//   PrintRatio          the one line each figure is reported on
//   BenchRounds         the rounds asked for on the command line (--rounds=N), else a default
//   BindFolder          a path's shell folder, bound through the desktop
//   RawEnumeration      the floor of a fill: bind a folder and enumerate all its children raw
//   RemoveFolder        a folder of plain files and the files in it
//   EnsureFileFolder    a folder of n plain files, made once per build folder and kept
//   TStallMeter         the longest gap between the ticks of a 10 ms timer while an action runs
//                       from the message loop: how long the user interface stood still
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/core/Messages.h"
#include "host/forms/Application.h"
#include "shell/ShellGlobals.h"

namespace bench {

inline double NowMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return double(c.QuadPart) * 1000.0 / double(f.QuadPart);
}

class TSamples {
 public:
  void Add(double ms) { values_.push_back(ms); }
  size_t Count() const { return values_.size(); }
  double Median() const {
    if (values_.empty()) return 0;
    std::vector<double> v = values_;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }
  double Min() const { return values_.empty() ? 0 : *std::min_element(values_.begin(), values_.end()); }
  double Max() const { return values_.empty() ? 0 : *std::max_element(values_.begin(), values_.end()); }

 private:
  std::vector<double> values_;
};

// `what` names the figure and, in brackets, its goal.
inline void PrintRatio(const std::string& what, double ours, double floor) {
  std::printf("ratio %s: %.2f (ours %.1f ms, floor %.1f ms)\n", what.c_str(),
              floor > 0 ? ours / floor : 0.0, ours, floor);
  std::fflush(stdout);
}

// The medians and spreads of both sides, for the line below a ratio.
inline void PrintSpread(const char* ours, const TSamples& a, const char* floor, const TSamples& b) {
  std::printf("  %zu rounds: %s median %.1f ms (%.1f-%.1f); %s median %.1f ms (%.1f-%.1f)\n",
              a.Count(), ours, a.Median(), a.Min(), a.Max(), floor, b.Median(), b.Min(), b.Max());
  std::fflush(stdout);
}

inline int BenchRounds(int argc, char** argv, int fallback) {
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--rounds=", 9) == 0) return std::max(1, std::atoi(argv[i] + 9));
  return fallback;
}

// Deletes the files of `folder` (not its subfolders) and then the folder.
inline void RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name != L"." && name != L"..") DeleteFileW((folder + L"\\" + name).c_str());
    } while (FindNextFileW(h, &data));
    FindClose(h);
  }
  RemoveDirectoryW(folder.c_str());
}

// C:\users\...\Temp\<name>: a folder whose `count` files `make` writes (folder, i), made once:
// the prefix, and so the folder, belongs to the build folder; a marker written last makes a
// half-made folder be made again.
inline std::wstring EnsureMadeFolder(const std::wstring& name, int count,
                                     const std::function<void(const std::wstring&, int)>& make) {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring folder = std::wstring(temp) + name;
  const std::wstring marker = folder + L".done";
  if (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return folder;
  std::printf("making %d files (once per build folder)...\n", count);
  std::fflush(stdout);
  CreateDirectoryW(folder.c_str(), nullptr);
  for (int i = 0; i < count; ++i) make(folder, i);
  HANDLE done = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (done != INVALID_HANDLE_VALUE) CloseHandle(done);
  return folder;
}

// zelnor-bench-files-<count>: `count` empty files named file<100000 + i> with five extensions.
inline std::wstring EnsureFileFolder(int count) {
  return EnsureMadeFolder(L"zelnor-bench-files-" + std::to_wstring(count), count,
                          [](const std::wstring& folder, int i) {
    static const wchar_t* const kExtensions[] = {L".txt", L".doc", L".png", L".dat", L".log"};
    const std::wstring name = folder + L"\\file" + std::to_wstring(100000 + i) + kExtensions[i % 5];
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  });
}

class TStallMeter {
 public:
  TStallMeter() {
    window_ = host::AllocateHWnd([this](host::TMessage& m) {
      if (m.Msg == WM_TIMER) {
        ticks_.push_back(NowMs());
      } else if (m.Msg == WM_APP) {
        started_ = NowMs();
        if (action_) action_();
        action_ = nullptr;
        actionDone_ = true;
      } else {
        host::DefaultHandler(m);
      }
    });
    SetTimer(window_, 1, 10, nullptr);
  }
  ~TStallMeter() {
    KillTimer(window_, 1);
    host::DeallocateHWnd(window_);
  }
  TStallMeter(const TStallMeter&) = delete;
  TStallMeter& operator=(const TStallMeter&) = delete;

  // Runs `action` from the message loop and keeps the loop running until `done` holds and the
  // timer has ticked twice more; the longest gap between two ticks from the last one before the
  // action on. `ms` is when the action started and how long until `done` held.
  double Measure(const std::function<void()>& action, const std::function<bool()>& done,
                 double* ms = nullptr) {
    // Ticks from before (work done outside the loop since the last measure) do not count: the
    // gap is taken from a tick of a loop already running freely.
    ticks_.clear();
    Pump([&] { return ticks_.size() >= 2; });
    ticks_.erase(ticks_.begin(), ticks_.end() - 1);
    action_ = action;
    actionDone_ = false;
    PostMessageW(window_, WM_APP, 0, 0);
    double finished = 0;
    Pump([&] {
      if (!actionDone_ || !done()) return false;
      if (finished == 0) finished = NowMs();
      return std::count_if(ticks_.begin(), ticks_.end(), [&](double t) { return t > finished; }) >= 2;
    });
    if (ms) *ms = finished - started_;
    double longest = 0;
    for (size_t i = 1; i < ticks_.size(); ++i) longest = std::max(longest, ticks_[i] - ticks_[i - 1]);
    return longest;
  }

  // The longest gap while nothing but the loop runs for `ms`: the timer's own jitter.
  double Idle(double ms) {
    const double until = NowMs() + ms;
    return Measure([] {}, [&] { return NowMs() >= until; });
  }

 private:
  static void Pump(const std::function<bool()>& until) {
    while (!until()) {
      host::Application().ProcessMessages();
      if (until()) break;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    }
  }

  HWND window_ = nullptr;
  std::vector<double> ticks_;
  std::function<void()> action_;
  bool actionDone_ = false;
  double started_ = 0;
};

// The shell folder of a path, bound through the desktop.
inline host::ComPtr<IShellFolder> BindFolder(const std::wstring& folder) {
  PIDLIST_RELATIVE list = nullptr;
  std::wstring text = folder;
  zelnor::Desktop()->ParseDisplayName(nullptr, nullptr, text.data(), nullptr, &list, nullptr);
  host::ComPtr<IShellFolder> shellFolder;
  zelnor::Desktop()->BindToObject(list, nullptr, IID_PPV_ARGS(&shellFolder));
  CoTaskMemFree(list);
  return shellFolder;
}

// The floor of a fill: binding the folder and a raw EnumObjects + Next of all its children.
// With `keep` the item lists are handed back instead of freed.
inline double RawEnumeration(const std::wstring& folder, int& count,
                             std::vector<PITEMID_CHILD>* keep = nullptr) {
  const double start = NowMs();
  host::ComPtr<IShellFolder> shellFolder = BindFolder(folder);
  host::ComPtr<IEnumIDList> items;
  count = 0;
  if (shellFolder &&
      shellFolder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN,
                               &items) == S_OK) {
    PITEMID_CHILD child = nullptr;
    while (items->Next(1, &child, nullptr) == S_OK) {
      ++count;
      if (keep) {
        keep->push_back(child);
      } else {
        CoTaskMemFree(child);
      }
    }
  }
  return NowMs() - start;
}

}  // namespace bench
