// The shell list on folders of 10,000 and 100,000 plain files, against the platform's floors
// measured in the same run, in interleaved rounds (medians):
//   first screen   Path set until the first screen is painted with its icons and texts, and
//   populated      Path set until OnPopulated, both against a raw EnumObjects + Next of the folder;
//   100k / 10k     how the populated time grows;
//   refresh, navigate away, destroy   of a list showing 100,000 items, against letting go of the
//                  same number of item lists and a raw owner-data list view of that count;
//   UI stalls      the longest gap between the ticks of a 10 ms timer while the list fills, is
//                  refilled, navigates away or is destroyed, against the timer's gaps when idle.
//   BackgroundFill the same fill of 100,000 from a worker: longest stall, first items, populated.
// The folders are made once per build folder (creating a file under Wine costs milliseconds).
#include "bench/BenchSupport.h"
#include "controls/ShellList.h"
#include "host/forms/Forms.h"
#include "shell/ShellGlobals.h"

#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace host;
using namespace zelnor;
using bench::NowMs;
using bench::BindFolder;
using bench::RawEnumeration;
using bench::PrintRatio;
using bench::TSamples;

namespace {


// The floor of letting go of n items: a raw owner-data list view of n items destroyed and n item
// lists freed.
double RawRelease(TForm* form, const std::wstring& folder) {
  std::vector<PITEMID_CHILD> lists;
  int count = 0;
  RawEnumeration(folder, count, &lists);
  HWND wnd = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA,
                             0, 0, 780, 560, form->Handle(), nullptr, GetModuleHandleW(nullptr),
                             nullptr);
  SendMessageW(wnd, LVM_SETITEMCOUNT, WPARAM(count), 0);
  const double start = NowMs();
  DestroyWindow(wnd);
  for (PITEMID_CHILD child : lists) CoTaskMemFree(child);
  return NowMs() - start;
}

std::unique_ptr<TKivShellList> NewList(TForm* form) {
  auto list = std::make_unique<TKivShellList>(form);
  list->SetParent(form);
  list->SetBounds(0, 0, 780, 560);
  list->HandleNeeded();
  return list;
}

struct Fill {
  double populated = 0;  // Path set until OnPopulated
  double painted = 0;    // ... until the first screen has been painted
};

Fill FillList(TKivShellList& list, const std::wstring& folder) {
  Fill fill;
  const double start = NowMs();
  list.OnPopulated = [&](TObject*) { fill.populated = NowMs() - start; };
  list.SetPath(ToUtf8(folder));
  RedrawWindow(list.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  fill.painted = NowMs() - start;
  list.OnPopulated = nullptr;
  return fill;
}

struct Figures {
  TSamples raw, populated, painted;
};

// Interleaved rounds of a raw enumeration and a fill of a new list.
Figures MeasureFills(TForm* form, const std::wstring& folder, int rounds) {
  Figures f;
  int rawCount = 0;
  RawEnumeration(folder, rawCount);  // warm the folder's caches once
  for (int r = 0; r < rounds; ++r) {
    f.raw.Add(RawEnumeration(folder, rawCount));
    auto list = NewList(form);
    const Fill fill = FillList(*list, folder);
    if (list->Items()->Count() != rawCount)
      std::printf("  (the list shows %d items, the folder has %d)\n", list->Items()->Count(), rawCount);
    f.populated.Add(fill.populated);
    f.painted.Add(fill.painted);
  }
  return f;
}

void ReportFills(int files, const Figures& f, const char* screenGoal, const char* fillGoal) {
  const std::string n = files >= 100000 ? "100k" : files >= 10000 ? "10k" : std::to_string(files);
  PrintRatio("first screen " + n + " / raw enumeration " + screenGoal, f.painted.Median(),
             f.raw.Median());
  PrintRatio("populated " + n + " / raw enumeration " + fillGoal, f.populated.Median(),
             f.raw.Median());
  bench::PrintSpread("first screen", f.painted, "raw", f.raw);
  std::printf("  populated median %.1f ms (%.1f-%.1f)\n", f.populated.Median(), f.populated.Min(),
              f.populated.Max());
}

// Refresh, navigation away and destruction of a list showing the big folder, in rounds that
// alternate with the raw floors; each also measured for the longest stall of the UI thread.
void MeasureLettingGo(TForm* form, const std::wstring& big, const std::wstring& small, int rounds,
                      double idleGap) {
  bench::TStallMeter meter;
  TSamples refresh, teardown, away, destroy, rawFill, rawRelease, rawSmall;
  TSamples stallRefill, stallAway, stallDestroy;
  int count = 0;
  for (int r = 0; r < rounds; ++r) {
    rawFill.Add(RawEnumeration(big, count));
    rawRelease.Add(RawRelease(form, big));
    rawSmall.Add(RawEnumeration(small, count));

    auto list = NewList(form);
    FillList(*list, big);
    // Refresh: the whole refill, and the part that lets go of the old items (until the new
    // columns are made, right before the first new item).
    double refreshStart = 0, columnsMade = 0;
    list->OnCreateColumns = [&](TObject*) {
      if (columnsMade == 0) columnsMade = NowMs();
    };
    double ms = 0;
    stallRefill.Add(meter.Measure(
        [&] {
          refreshStart = NowMs();
          list->Refresh();
        },
        [] { return true; }, &ms));
    refresh.Add(ms);
    teardown.Add(columnsMade - refreshStart);
    list->OnCreateColumns = nullptr;

    stallAway.Add(meter.Measure([&] { list->SetPath(ToUtf8(small)); }, [] { return true; }, &ms));
    away.Add(ms);

    FillList(*list, big);
    stallDestroy.Add(meter.Measure([&] { list.reset(); }, [] { return true; }, &ms));
    destroy.Add(ms);
  }
  PrintRatio("refresh 100k / (raw enumeration + raw release)", refresh.Median(),
             rawFill.Median() + rawRelease.Median());
  PrintRatio("letting go of the old items in a refresh of 100k / raw release [goal ours<=100 ms]",
             teardown.Median(), rawRelease.Median());
  // Until the loop is idle again: the new folder's drawing, put off to later ticks, counts too.
  // The goal is the stall's, below.
  PrintRatio("navigate away from 100k, drawing included / (raw release + raw enumeration of the "
             "new folder)",
             away.Median(), rawRelease.Median() + rawSmall.Median());
  PrintRatio("destroy with 100k / raw release [goal ours<=100 ms]", destroy.Median(),
             rawRelease.Median());
  PrintRatio("longest UI stall refilling 100k / idle timer gap", stallRefill.Median(), idleGap);
  PrintRatio("longest UI stall navigating away from 100k / idle timer gap [goal ours<=100 ms]",
             stallAway.Median(), idleGap);
  PrintRatio("longest UI stall destroying with 100k / idle timer gap [goal ours<=100 ms]",
             stallDestroy.Median(), idleGap);
  bench::PrintSpread("refresh", refresh, "raw enumeration", rawFill);
  bench::PrintSpread("destroy", destroy, "raw release", rawRelease);
}

// The longest stall of the UI thread while the list fills the big folder from the message loop,
// filling synchronously and with BackgroundFill; with it, also how soon the first items are in
// and how long until OnPopulated, against the raw enumeration of the folder.
void MeasureFillStall(TForm* form, const std::wstring& big, int rounds, double idleGap) {
  bench::TStallMeter meter;
  TSamples stall, backgroundStall, firstItems, backgroundPopulated, raw;
  int count = 0;
  for (int r = 0; r < rounds; ++r) {
    raw.Add(RawEnumeration(big, count));
    for (const bool background : {false, true}) {
      auto list = NewList(form);
      list->SetBackgroundFill(background);
      bool populated = false;
      double start = 0, first = 0;
      list->OnPopulated = [&](TObject*) { populated = true; };
      double ms = 0;
      const double longest = meter.Measure(
          [&] {
            start = NowMs();
            list->SetPath(ToUtf8(big));
          },
          [&] {
            if (first == 0 && list->Items()->Count() > 0) first = NowMs();
            return populated;
          },
          &ms);
      if (!background) {
        stall.Add(longest);
        continue;
      }
      backgroundStall.Add(longest);
      firstItems.Add(first - start);
      backgroundPopulated.Add(ms);
    }
  }
  PrintRatio("longest UI stall filling 100k / idle timer gap", stall.Median(), idleGap);
  PrintRatio("longest UI stall filling 100k with BackgroundFill / idle timer gap "
             "[goal ours<=50 ms]",
             backgroundStall.Median(), idleGap);
  PrintRatio("first items in with BackgroundFill, 100k / raw enumeration [goal ours<=100 ms]",
             firstItems.Median(), raw.Median());
  PrintRatio("populated 100k with BackgroundFill / raw enumeration", backgroundPopulated.Median(),
             raw.Median());
}

}  // namespace

int main(int argc, char** argv) {
  CoInitializeGuard com;
  InitializeShell();
  const int rounds = bench::BenchRounds(argc, argv, 5);
  const std::wstring small = bench::EnsureFileFolder(100);
  const std::wstring folder10k = bench::EnsureFileFolder(10000);
  const std::wstring folder100k = bench::EnsureFileFolder(100000);
  TForm form;
  form.SetBounds(10, 10, 800, 600);
  form.Show();

  double idleGap = 0;
  {
    bench::TStallMeter meter;
    idleGap = meter.Idle(300);
  }
  const Figures f10k = MeasureFills(&form, folder10k, rounds);
  ReportFills(10000, f10k, "[goal <=2.5]", "[goal <=1.7]");
  const int bigRounds = std::max(3, (rounds + 1) / 2);
  const Figures f100k = MeasureFills(&form, folder100k, bigRounds);
  ReportFills(100000, f100k, "", "[goal <=1.6]");
  PrintRatio("populated 100k / populated 10k [goal <=11]", f100k.populated.Median(),
             f10k.populated.Median());
  MeasureLettingGo(&form, folder100k, small, bigRounds, idleGap);
  MeasureFillStall(&form, folder100k, bigRounds, idleGap);
  return 0;
}
