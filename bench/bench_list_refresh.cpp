// The shell list's incremental refresh of a 300-item folder (the largest it refreshes item by
// item) after 10 files were added and 10 removed, against the platform's floor: a raw
// EnumObjects + Next of the same folder, and beside it that enumeration plus what the list view
// control alone costs to take a changed folder (its layout once the drawing resumes). The
// unchanged items must keep what they had read: their display names stay unread and their icons
// stay as they were.
#include "bench/BenchSupport.h"
#include "controls/ShellList.h"
#include "host/forms/Forms.h"
#include "shell/ShellGlobals.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace host;
using namespace zelnor;
using bench::RawEnumeration;
using bench::NowMs;
using bench::RemoveFolder;

namespace {

constexpr int kItems = 300;
constexpr int kChanged = 10;
constexpr int kRounds = 15;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void MakeFile(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

std::wstring FileName(const std::wstring& folder, int n) {
  static const wchar_t* const kExtensions[] = {L".txt", L".doc", L".png", L".dat", L".log"};
  return folder + L"\\file" + std::to_wstring(100000 + n) + kExtensions[n % 5];
}

// What the list view control itself costs when told of a changed folder: its drawing held off,
// the item count set, its drawing let go again (it lays out and sets its scroll bars).
double ControlUpdate(HWND list, int count) {
  const double start = NowMs();
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_SETITEMCOUNT, WPARAM(count), LVSICF_NOSCROLL);
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  return NowMs() - start;
}

}  // namespace

int main() {
  CoInitializeGuard com;
  InitializeShell();
  TForm form;
  form.SetBounds(10, 10, 800, 600);
  form.Show();

  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring folder = std::wstring(temp) + L"zelnor-bench-list-refresh";
  RemoveFolder(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  for (int i = 0; i < kItems; ++i) MakeFile(FileName(folder, i));

  auto list = std::make_unique<TKivShellList>(&form);
  list->SetParent(&form);
  list->SetBounds(0, 0, 780, 560);
  list->SetAutomaticRefresh(false);
  list->SetPath(ToUtf8(folder));
  RedrawWindow(list->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);

  std::vector<double> ours, floor, control;
  int next = kItems, oldest = 0, rawCount = 0;
  bool kept = true, right = true;
  int readAgain = 0;
  for (int round = 0; round < kRounds; ++round) {
    // Ten objects go and ten come, made outside the measured time.
    for (int i = 0; i < kChanged; ++i) {
      DeleteFileW(FileName(folder, oldest++).c_str());
      MakeFile(FileName(folder, next++));
    }
    // What the items that stay have read: their display name (pending or not) and their icon.
    struct Before {
      TListItem* item;
      unsigned pending;
      int image;
      std::string name;
    };
    std::vector<Before> before;
    for (int i = 0; i < list->Items()->Count(); ++i) {
      TListItem* item = list->Items()->Item(i);
      const std::string name = TKivShellList::ItemData(item)->parsingName;
      const int n = std::stoi(name.substr(4, 6)) - 100000;
      if (n >= oldest) before.push_back({item, item->TextPending(), item->ImageIndex(), name});
    }

    floor.push_back(RawEnumeration(folder, rawCount));
    control.push_back(ControlUpdate(list->Handle(), list->Items()->Count()));
    const double start = NowMs();
    list->SmartRefresh();
    ours.push_back(NowMs() - start);

    right = right && list->Items()->Count() == kItems && rawCount == kItems;
    for (const Before& b : before) {
      bool found = false;
      for (int i = 0; i < list->Items()->Count() && !found; ++i)
        found = list->Items()->Item(i) == b.item;
      kept = kept && found;
      if (found && (b.item->TextPending() != b.pending || b.item->ImageIndex() != b.image))
        ++readAgain;
    }
    // The new items are drawn, as the user would see them, before the next round.
    RedrawWindow(list->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  }

  // A report that changed nothing (a file written in place): the walk alone.
  std::vector<double> still, stillFloor;
  for (int round = 0; round < kRounds; ++round) {
    stillFloor.push_back(RawEnumeration(folder, rawCount));
    const double start = NowMs();
    list->SmartRefresh();
    still.push_back(NowMs() - start);
  }

  std::printf("%d items, %d added and %d removed per round, %d rounds: items right %s, unchanged "
              "items kept %s, unchanged items that read their name or icon again: %d\n",
              kItems, kChanged, kChanged, kRounds, right ? "yes" : "NO", kept ? "yes" : "NO",
              readAgain);
  const double a = Median(ours), b = Median(floor), c = Median(control);
  std::printf("ratio incremental refresh of %d items after %d added and %d removed, against the "
              "raw enumeration (goal 1.5): %.2f (ours %.1f ms, floor %.1f ms)\n",
              kItems, kChanged, kChanged, b > 0 ? a / b : 0.0, a, b);
  std::printf("ratio incremental refresh of %d items after %d added and %d removed, against the "
              "raw enumeration and the list view's own update: %.2f (ours %.1f ms, floor %.1f ms)\n",
              kItems, kChanged, kChanged, b + c > 0 ? a / (b + c) : 0.0, a, b + c);
  const double d = Median(still), e = Median(stillFloor);
  std::printf("ratio incremental refresh of %d items that finds nothing changed, against the raw "
              "enumeration (goal 1.5): %.2f (ours %.1f ms, floor %.1f ms)\n",
              kItems, e > 0 ? d / e : 0.0, d, e);
  list.reset();
  RemoveFolder(folder);
  return right && kept && readAgain == 0 ? 0 : 1;
}
