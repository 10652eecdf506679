// The shell list sorting 10,000 files by Size against sorting them by name, in interleaved rounds
// (medians). Sizes and dates are spread so that neither follows the names; by name the keys and
// the folder's own check decide, by size the values read once per sort.
// The folder is made once per build folder (creating a file under Wine costs milliseconds).
#include "bench/BenchSupport.h"
#include "controls/ShellList.h"
#include "host/forms/Forms.h"
#include "shell/ShellGlobals.h"

#include <cstdio>
#include <memory>
#include <string>

using namespace host;
using namespace zelnor;
using bench::NowMs;
using bench::PrintRatio;
using bench::TSamples;

namespace {

// zelnor-bench-sized-<count>: files of sizes and dates in an order of their own.
std::wstring EnsureSizedFolder(int count) {
  return bench::EnsureMadeFolder(L"zelnor-bench-sized-" + std::to_wstring(count), count,
                                 [count](const std::wstring& folder, int i) {
    const std::wstring name = folder + L"\\file" + std::to_wstring(100000 + i) + L".dat";
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER size{};
    size.QuadPart = int64_t(i) * 7919 % 1000003;
    SetFilePointerEx(h, size, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    ULARGE_INTEGER when{};
    when.QuadPart = 133000000000000000ULL - uint64_t(i * 104729 % count) * 600000000ULL;
    const FILETIME written{when.LowPart, when.HighPart};
    SetFileTime(h, nullptr, nullptr, &written);
    CloseHandle(h);
  });
}

int ColumnCaptioned(TKivShellList& list, const char* caption) {
  for (int i = 0; i < list.Columns()->Count(); ++i)
    if (list.Columns()->Items(i)->Caption() == caption) return i;
  return -1;
}

double TimeSort(TKivShellList& list, int column) {
  const double start = NowMs();
  list.SetSortColumn(column);
  return NowMs() - start;
}

}  // namespace

int main(int argc, char** argv) {
  CoInitializeGuard com;
  InitializeShell();
  const int rounds = bench::BenchRounds(argc, argv, 7);
  const std::wstring folder = EnsureSizedFolder(10000);
  TForm form;
  form.SetBounds(10, 10, 800, 600);
  form.Show();
  auto list = std::make_unique<TKivShellList>(&form);
  list->SetParent(&form);
  list->SetBounds(0, 0, 780, 560);
  list->SetAutomaticRefresh(false);
  list->HandleNeeded();
  list->SetPath(ToUtf8(folder));
  const int size = ColumnCaptioned(*list, "Size");
  if (size < 0 || list->Items()->Count() < 10000) {
    std::printf("no Size column or too few items (%d)\n", list->Items()->Count());
    return 1;
  }
  // The first sort by size also finds out what the folder does with the column.
  const double first = TimeSort(*list, size);
  TSamples bySize, byName;
  for (int round = 0; round < rounds; ++round) {
    byName.Add(TimeSort(*list, 0));
    bySize.Add(TimeSort(*list, size));
  }
  PrintRatio("size sort vs name sort [goal <=1.5]", bySize.Median(), byName.Median());
  bench::PrintSpread("size", bySize, "name", byName);
  std::printf("  first sort by size in this folder: %.1f ms\n", first);
  list->SetParent(nullptr);
  return 0;
}
