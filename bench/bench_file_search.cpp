// The file list searching a tree of 50,000 files in 500 folders for a pattern that matches 10%,
// against a raw FindFirstFileExW walk of the same tree on one thread (FindExInfoBasic, large
// fetch), in interleaved rounds (medians):
//   search         Search until the last hit is a row of the list, against the raw walk;
//   first hit      Search until the first hit is a row, against the raw walk finding it;
//   UI stall       the longest gap between the ticks of a 10 ms timer meanwhile;
//   sorts          5,000 rows by Name, Size and In Folder, each against a sort of the same
//                  texts as plain strings with the locale's comparison (what sorting a list by
//                  its texts costs).
// The tree is made once per build folder by ./run bench (from the Linux side: made through Wine
// it takes minutes); a tree found missing is made here.
#include "bench/BenchSupport.h"
#include "controls/FileList.h"
#include "host/core/Raii.h"
#include "host/forms/Forms.h"
#include "shell/ShellGlobals.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace host;
using namespace zelnor;
using bench::NowMs;
using bench::PrintRatio;
using bench::TSamples;

namespace {

constexpr int kFolders = 500;
constexpr int kFilesPerFolder = 100;
constexpr int kHits = kFolders * kFilesPerFolder / 10;
const wchar_t* const kExtensions[] = {L".txt", L".dat", L".log", L".doc", L".png",
                                      L".bin", L".csv", L".xml", L".ini", L".tmp"};

// As ./run bench makes it: 25 group folders with 19 part folders each.
std::wstring EnsureTree() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring root = std::wstring(temp) + L"zelnor-bench-search";
  const std::wstring marker = root + L".done";
  if (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return root;
  std::printf("making the tree of %d files (once per build folder)...\n", kFolders * kFilesPerFolder);
  std::fflush(stdout);
  CreateDirectoryW(root.c_str(), nullptr);
  for (int k = 0; k < kFolders; ++k) {
    std::wstring folder = root + L"\\group" + std::to_wstring(k / 20);
    CreateDirectoryW(folder.c_str(), nullptr);
    if (k % 20) {
      folder += L"\\part" + std::to_wstring(k % 20);
      CreateDirectoryW(folder.c_str(), nullptr);
    }
    for (int i = k * kFilesPerFolder; i < (k + 1) * kFilesPerFolder; ++i) {
      const std::wstring name = folder + L"\\file" + std::to_wstring(i) + kExtensions[i % 10];
      UniqueFile f{CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr)};
    }
  }
  UniqueFile done{CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)};
  return root;
}

bool EndsWithTxt(const wchar_t* name) {
  const size_t n = wcslen(name);
  return n >= 4 && _wcsicmp(name + n - 4, L".txt") == 0;
}

// The floor: one recursive walk on the calling thread; the time its first .txt was seen.
void RawWalk(const std::wstring& folder, int& hits, double start, double& first) {
  WIN32_FIND_DATAW data;
  FindHandle search{FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH)};
  if (!search) return;
  std::vector<std::wstring> folders;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      const std::wstring name = data.cFileName;
      if (name != L"." && name != L"..") folders.push_back(folder + name + L"\\");
    } else if (EndsWithTxt(data.cFileName)) {
      if (hits++ == 0) first = NowMs() - start;
    }
  } while (FindNextFileW(search.get(), &data));
  search.reset();
  for (const std::wstring& sub : folders) RawWalk(sub, hits, start, first);
}

struct Walked {
  double ms = 0, first = 0;
  int hits = 0;
};

Walked TimeRawWalk(const std::wstring& root) {
  Walked w;
  const double start = NowMs();
  RawWalk(root + L"\\", w.hits, start, w.first);
  w.ms = NowMs() - start;
  return w;
}

struct Searched {
  double ms = 0, first = 0, stall = 0;
  int rows = 0;
};

Searched TimeSearch(TForm& form, const std::wstring& root, bench::TStallMeter& meter,
                    std::unique_ptr<TKivFileList>& keep) {
  auto list = std::make_unique<TKivFileList>(&form);
  list->SetParent(&form);
  list->SetBounds(0, 0, 780, 560);
  list->HandleNeeded();
  list->SearchOptions()->SetFilter("*.txt");
  Searched s;
  double start = 0;
  list->OnAddPath = [&](const String&, bool&) {
    if (s.first == 0) s.first = NowMs() - start;
  };
  s.stall = meter.Measure(
      [&] {
        start = NowMs();
        list->Search(ToUtf8(root));
      },
      [&] { return list->Items()->Count() >= kHits; }, &s.ms);
  // The walk's end, after its last hit.
  while (list->Searching()) {
    Application().ProcessMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  s.rows = list->Items()->Count();
  list->OnAddPath = nullptr;
  keep = std::move(list);
  return s;
}

int ColumnCaptioned(TKivFileList& list, const char* caption) {
  for (int i = 0; i < list.Columns()->Count(); ++i)
    if (list.Columns()->Items(i)->Caption() == caption) return i;
  return -1;
}

// The texts a plain list would sort by, for the column.
std::vector<String> ColumnTexts(TKivFileList& list, int column) {
  std::vector<String> texts;
  for (int i = 0; i < list.Items()->Count(); ++i) {
    TListItem* item = list.Items()->Item(i);
    texts.push_back(column == 0 ? item->Caption()
                                : item->SubItemText(column) + (column == 1 ? item->Caption() : ""));
  }
  return texts;
}

double TimePlainSort(std::vector<String> texts) {
  const double start = NowMs();
  std::stable_sort(texts.begin(), texts.end(),
                   [](const String& a, const String& b) { return AnsiCompareText(a, b) < 0; });
  return NowMs() - start;
}

double TimeListSort(TKivFileList& list, int column) {
  // Each sort ascending, from the order another column gave.
  if (list.SortColumn() == column) list.SetSortColumn(column == 0 ? 1 : 0);
  const double start = NowMs();
  list.SetSortColumn(column);
  return NowMs() - start;
}

}  // namespace

int main(int argc, char** argv) {
  CoInitializeGuard com;
  InitializeShell();
  const int rounds = bench::BenchRounds(argc, argv, 5);
  const std::wstring root = EnsureTree();
  TForm form;
  form.SetBounds(10, 10, 800, 600);
  form.Show();
  double idleGap = 0;
  {
    bench::TStallMeter meter;
    idleGap = meter.Idle(300);
  }
  TimeRawWalk(root);  // warm the directory caches for both

  bench::TStallMeter meter;
  TSamples raw, rawFirst, ours, first, stall;
  std::unique_ptr<TKivFileList> list;
  int rawHits = 0, rows = 0;
  for (int r = 0; r < rounds; ++r) {
    const Walked w = TimeRawWalk(root);
    raw.Add(w.ms);
    rawFirst.Add(w.first);
    rawHits = w.hits;
    list.reset();
    const Searched s = TimeSearch(form, root, meter, list);
    ours.Add(s.ms);
    first.Add(s.first);
    stall.Add(s.stall);
    rows = s.rows;
  }
  std::printf("tree: %d hits by the raw walk, %d rows in the list\n", rawHits, rows);
  PrintRatio("search 50k files until the last hit is a row / raw FindFirstFileExW walk "
             "[goal <=1.3]",
             ours.Median(), raw.Median());
  bench::PrintSpread("search", ours, "raw walk", raw);
  PrintRatio("first hit a row / the raw walk finding it [goal ours within 100 ms of it]",
             first.Median(), rawFirst.Median());
  PrintRatio("longest UI stall while searching / idle timer gap [goal ours<=50 ms]",
             stall.Median(), idleGap);

  // Sorting the rows of the last search.
  const int size = ColumnCaptioned(*list, "Size");
  if (size < 0 || list->Items()->Count() != kHits) {
    std::printf("no Size column or not %d rows (%d)\n", kHits, list->Items()->Count());
    return 1;
  }
  // The texts are read once, as a plain list would hold them.
  const std::vector<String> names = ColumnTexts(*list, 0), folders = ColumnTexts(*list, 1),
                            sizes = ColumnTexts(*list, size);
  struct Sort {
    const char* what;
    int column;
    const std::vector<String>* texts;
    TSamples ours, plain;
  } sorts[] = {{"Name", 0, &names, {}, {}},
               {"Size", size, &sizes, {}, {}},
               {"In Folder", 1, &folders, {}, {}}};
  for (int r = 0; r < rounds; ++r)
    for (Sort& sort : sorts) {
      sort.plain.Add(TimePlainSort(*sort.texts));
      sort.ours.Add(TimeListSort(*list, sort.column));
    }
  for (const Sort& sort : sorts)
    PrintRatio(String("sort 5,000 rows by ") + sort.what +
                   " / plain sort of their texts [goal <=2]",
               sort.ours.Median(), sort.plain.Median());
  list.reset();
  return rows == rawHits ? 0 : 1;
}
