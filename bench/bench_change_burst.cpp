// A burst of 5,000 new files in a folder that a shell list shows, written by another thread as
// fast as it can: how long after the burst's last file the list shows them all, and the longest
// gap between the user-interface thread's 10 ms timer messages (a stall of the window) while the
// burst lasts and from its end until the list shows it all.
// Floors in the same run: the same burst into a folder nobody watches (the gaps of a window that
// only waits), and the platform's raw enumeration of the finished folder (the least any view needs
// to show it).
#include "bench/BenchSupport.h"
#include "controls/ShellList.h"
#include "extras/ShellChangeNotifier.h"
#include "host/core/Messages.h"
#include "host/forms/Forms.h"
#include "shell/ShellGlobals.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

using namespace host;
using namespace zelnor;
using bench::RawEnumeration;
using bench::NowMs;
using bench::RemoveFolder;

namespace {

constexpr int kFiles = 5000;

std::wstring FreshFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring folder = std::wstring(temp) + name + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

// The longest gap between the 10 ms timer messages of a hidden window, from Reset on.
class StallMeter {
 public:
  StallMeter() {
    window_ = AllocateHWnd([this](TMessage& m) {
      if (m.Msg == WM_TIMER) {
        const double now = NowMs();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
        m.Result = 0;
        return;
      }
      DefaultHandler(m);
    });
    SetTimer(window_, 1, 10, nullptr);
    Reset();
  }
  ~StallMeter() {
    KillTimer(window_, 1);
    DeallocateHWnd(window_);
  }
  void Reset() {
    last_ = NowMs();
    longest_ = 0;
  }
  // The longest gap, counting the one still open.
  double Longest() const { return std::max(longest_, NowMs() - last_); }

 private:
  HWND window_ = nullptr;
  double last_ = 0, longest_ = 0;
};

// Runs the message loop until `done` holds; false after `boundMs`.
template <class F>
bool PumpUntil(F done, double boundMs) {
  const double end = NowMs() + boundMs;
  while (!done()) {
    if (NowMs() > end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    Application().ProcessMessages();
  }
  return true;
}

struct Burst {
  double lastingMs = 0;    // from the first file to the last
  double endMs = 0;        // when the last file was made
  double longestGap = 0;   // the longest timer gap while the files were made
};

// Makes kFiles files in `folder` on another thread while this one runs its messages.
Burst MakeBurst(const std::wstring& folder, StallMeter& meter) {
  std::atomic<bool> finished{false};
  std::atomic<double> end{0};
  meter.Reset();
  const double start = NowMs();
  std::thread writer([&] {
    for (int i = 0; i < kFiles; ++i) {
      const std::wstring name = folder + L"\\burst" + std::to_wstring(100000 + i) + L".txt";
      HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    end = NowMs();
    finished = true;
  });
  PumpUntil([&] { return finished.load(); }, 600000);
  writer.join();
  Burst burst;
  burst.endMs = end;
  burst.lastingMs = end - start;
  burst.longestGap = meter.Longest();
  return burst;
}


}  // namespace

int main() {
  CoInitializeGuard com;
  InitializeShell();
  TForm form;
  form.SetBounds(10, 10, 800, 600);
  form.Show();
  StallMeter meter;

  // Floor: the same burst where nobody watches, and a raw enumeration of what it made.
  const std::wstring quiet = FreshFolder(L"zelnor-bench-burst-quiet-");
  const Burst floorBurst = MakeBurst(quiet, meter);
  int rawCount = 0;
  RawEnumeration(quiet, rawCount);
  const double raw = RawEnumeration(quiet, rawCount);

  // Ours: a shell list that shows the folder and follows its changes.
  const std::wstring watched = FreshFolder(L"zelnor-bench-burst-watched-");
  double shownAfter = -1, gapUntilShown = 0;
  Burst burst;
  {
    auto list = std::make_unique<TKivShellList>(&form);
    list->SetParent(&form);
    list->SetBounds(0, 0, 780, 560);
    list->HandleNeeded();
    list->SetPath(ToUtf8(watched));
    PumpUntil([] { return false; }, 300);
    burst = MakeBurst(watched, meter);
    // From the burst's end on: the stalls of the list catching up, apart from those while the
    // writer kept Wine's server busy.
    meter.Reset();
    const bool shown = PumpUntil([&] { return list->Items()->Count() >= kFiles; }, 120000);
    if (shown) shownAfter = NowMs() - burst.endMs;
    // The list draws what it added on a later tick: its stalls count until it has drawn them.
    PumpUntil([] { return false; }, 300);
    gapUntilShown = meter.Longest();
    std::printf("burst of %d files made in %.0f ms (%.0f ms with nobody watching); the list shows "
                "%d items %s\n",
                kFiles, burst.lastingMs, floorBurst.lastingMs, list->Items()->Count(),
                shown ? "(all)" : "(not all within 120 s)");
  }
  std::printf("longest timer gap while the burst lasted: %.0f ms (nobody watching: %.0f ms); "
              "from the burst's end until all were shown: %.0f ms\n",
              burst.longestGap, floorBurst.longestGap, gapUntilShown);
  std::printf("all %d files shown %.0f ms after the burst's end (goal: within 1000 ms); raw "
              "enumeration of %d items %.1f ms\n",
              kFiles, shownAfter, rawCount, raw);
  std::printf("ratio burst shown after its end: %.2f (ours %.1f ms, floor %.1f ms)\n",
              shownAfter / raw, shownAfter, raw);
  std::printf("ratio longest stall during the burst: %.2f (ours %.1f ms, floor %.1f ms)\n",
              burst.longestGap / floorBurst.longestGap, burst.longestGap, floorBurst.longestGap);
  std::printf("ratio longest stall from the burst's end until all were shown / longest stall of "
              "the burst without a watcher [goal ours<=100 ms]: %.2f (ours %.1f ms, floor %.1f "
              "ms)\n",
              gapUntilShown / floorBurst.longestGap, gapUntilShown, floorBurst.longestGap);

  RemoveFolder(watched);
  RemoveFolder(quiet);
  return 0;
}
