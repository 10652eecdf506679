// Selection list queries and merges against floors that do the same work raw.
//   PathSelected for the 40 visible items of a folder, with 1,000 and 10,000 entries in the list,
//     against the same file-system questions asked raw and a plain linear compare of the entries;
//     the list search alone against the plain compare
//   AddPathToSelection of a folder whose entry replaces 1,000 entries below it, against the same
//     removal from a plain vector (with totals, plus one raw attribute lookup per removed file)
// The folders are made once under the temporary folder and reused by later runs.
#include "selection/KivSelectionList.h"

#include "bench/BenchSupport.h"
#include "host/core/Raii.h"
#include "shell/ShellRoutines.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using host::String;

constexpr int kVisible = 40;
constexpr int kBelow = 1000;

using bench::NowMs;

void MakeFile(const std::wstring& name) {
  host::UniqueFile f{CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr)};
  DWORD written = 0;
  WriteFile(f.get(), "data", 4, &written, nullptr);
}

// Root\Visible\ with 40 files and Root\Big\ with 1,000; a marker file is written last so that a
// half-made tree is made again.
String EnsureTree() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring root = std::wstring(temp) + L"zelnor-bench-selection\\";
  const std::wstring marker = std::wstring(temp) + L"zelnor-bench-selection.done";
  if (GetFileAttributesW(marker.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::printf("making the folders (once)...\n");
    std::fflush(stdout);
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW((root + L"Visible").c_str(), nullptr);
    CreateDirectoryW((root + L"Big").c_str(), nullptr);
    for (int i = 0; i < kVisible; ++i) MakeFile(root + L"Visible\\item" + std::to_wstring(i) + L".txt");
    for (int i = 0; i < kBelow; ++i) MakeFile(root + L"Big\\file" + std::to_wstring(i) + L".dat");
    MakeFile(marker);
  }
  return host::ToUtf8(root);
}

// `count` entries elsewhere on the drive, in canonical form (a tenth of them folder entries),
// so that none covers the visible items and every search runs through the whole list.
std::vector<String> OtherEntries(const String& root, int count) {
  std::vector<String> entries;
  entries.reserve(size_t(count));
  for (int i = 0; i < count; ++i) {
    const String folder = root + "Elsewhere\\group" + std::to_string(i / 100) + "\\";
    entries.push_back(i % 10 == 0 ? folder + "folder" + std::to_string(i) + "\\*"
                                  : folder + "file" + std::to_string(i) + ".txt");
  }
  return entries;
}

// The floor of one lookup: a plain case-sensitive compare of the item against every entry
// (contents first, as strcmp does, so entries of another length still cost their common prefix).
bool PlainSearch(const std::vector<String>& entries, const String& item) {
  for (const String& e : entries)
    if (e.compare(item) == 0) return true;
  return false;
}

// The floor of the file-system work of one PathSelected: the same three platform questions
// (the drive's free space, a shortcut folder's "target.lnk", the object's attributes), asked raw.
void PlainProbes(const String& item) {
  const std::wstring path = host::ToWide(item);
  ULARGE_INTEGER a, b, c;
  GetDiskFreeSpaceExW(path.substr(0, 3).c_str(), &a, &b, &c);
  GetFileAttributesW((path + L"\\target.lnk").c_str());
  GetFileAttributesW(path.c_str());
}

struct QueryTimes {
  double pathSelectedUs;  // per PathSelected call (file system checks and list search)
  double probesUs;        // of which the file system: drive ready, shortcut folder, file or folder
  double itemSelectedUs;  // per IsItemSelected call on the canonical item (list search only)
  double floorUs;         // per plain linear compare over the same entries
  double plainProbesUs;   // per raw asking of the same file-system questions
  int unchecked;          // sanity: items found unchecked
};

QueryTimes TimeQueries(const String& root, int entryCount) {
  zelnor::TKivSelectionList list;
  const std::vector<String> entries = OtherEntries(root, entryCount);
  for (const String& e : entries) list.Paths()->Add(e);
  std::vector<String> items;
  for (int i = 0; i < kVisible; ++i) items.push_back(root + "Visible\\item" + std::to_string(i) + ".txt");

  QueryTimes t{1e30, 1e30, 1e30, 1e30, 1e30, 0};
  for (int round = 0; round < 3; ++round) {
    bool full = false;
    int unchecked = 0;
    double start = NowMs();
    for (const String& item : items) unchecked += list.PathSelected(item, full) == zelnor::ssUnChecked;
    t.pathSelectedUs = std::min(t.pathSelectedUs, (NowMs() - start) * 1000.0 / kVisible);
    t.unchecked = unchecked;

    start = NowMs();
    for (String item : items) {
      zelnor::IsDriveReady(item);
      zelnor::TKivSelectionList::IsLinkedPath(item);
      list.FormatSelectionPath(item);
    }
    t.probesUs = std::min(t.probesUs, (NowMs() - start) * 1000.0 / kVisible);

    start = NowMs();
    for (const String& item : items) PlainProbes(item);
    t.plainProbesUs = std::min(t.plainProbesUs, (NowMs() - start) * 1000.0 / kVisible);

    start = NowMs();
    for (const String& item : items) list.IsItemSelected(item, full);
    t.itemSelectedUs = std::min(t.itemSelectedUs, (NowMs() - start) * 1000.0 / kVisible);

    start = NowMs();
    int found = 0;
    for (const String& item : items) found += PlainSearch(entries, item);
    t.floorUs = std::min(t.floorUs, (NowMs() - start) * 1000.0 / kVisible);
    if (found) std::printf("(unexpected hit)\n");
  }
  return t;
}

struct MergeTimes {
  double addMs;    // AddPathToSelection of the folder
  double floorMs;  // the same removal done on a plain vector with prefix compares (and, with
                   // totals, one raw attribute lookup per removed file)
  int entriesAfter;
};

MergeTimes TimeMerge(const String& root, int otherCount, bool calculateSize) {
  MergeTimes t{1e30, 1e30, 0};
  const String big = root + "Big";
  const std::vector<String> others = OtherEntries(root, otherCount);
  std::vector<String> below;
  for (int i = 0; i < kBelow; ++i) below.push_back(big + "\\file" + std::to_string(i) + ".dat");
  for (int round = 0; round < 3; ++round) {
    zelnor::TKivSelectionList list;
    list.SetCalculateSize(calculateSize);
    for (const String& e : others) list.Paths()->Add(e);
    for (const String& e : below) list.Paths()->Add(e);
    double start = NowMs();
    list.AddPathToSelection(big);
    t.addMs = std::min(t.addMs, NowMs() - start);
    t.entriesAfter = list.Count();

    std::vector<String> plain = others;
    plain.insert(plain.end(), below.begin(), below.end());
    const String key = big + "\\";
    start = NowMs();
    WIN32_FILE_ATTRIBUTE_DATA data;
    for (size_t i = plain.size(); i-- > 0;) {
      if (!plain[i].starts_with(key)) continue;
      if (calculateSize)
        GetFileAttributesExW(host::ToWide(plain[i]).c_str(), GetFileExInfoStandard, &data);
      plain.erase(plain.begin() + std::ptrdiff_t(i));
    }
    plain.push_back(big + "\\*");
    t.floorMs = std::min(t.floorMs, NowMs() - start);
  }
  return t;
}

}  // namespace

int main() {
  host::CoInitializeGuard com;
  const String root = EnsureTree();

  for (int count : {1000, 10000}) {
    const QueryTimes t = TimeQueries(root, count);
    std::printf("PathSelected, %d visible items, %5d entries: %8.1f us/call  (file system probes "
                "%6.1f us; list search alone %7.1f us/call; plain linear compare %6.1f us/call; "
                "%d of %d unchecked)\n",
                kVisible, count, t.pathSelectedUs, t.probesUs, t.itemSelectedUs, t.floorUs,
                t.unchecked, kVisible);
    // Against a floor that does the same file-system work and the plain compare.
    bench::PrintRatio("PathSelected / (raw probes + plain compare), " + std::to_string(count) +
                          " entries (per 1,000 calls)",
                      t.pathSelectedUs, t.plainProbesUs + t.floorUs);
    bench::PrintRatio("list search / plain compare, " + std::to_string(count) +
                          " entries (per 1,000 calls)",
                      t.itemSelectedUs, t.floorUs);
  }

  // With totals, each removed file entry leaves them at once (one directory lookup each) and the
  // folder gets one size job; without, only the entry list is worked on.
  for (bool calculate : {true, false}) {
    for (int others : {0, 9000}) {
      const MergeTimes m = TimeMerge(root, others, calculate);
      std::printf("AddPathToSelection of a folder replacing %d entries (%4d others, totals %s): "
                  "%8.2f ms/call (plain vector %6.2f ms; %d entries after)\n",
                  kBelow, others, calculate ? "on " : "off", m.addMs, m.floorMs, m.entriesAfter);
      bench::PrintRatio("AddPathToSelection / plain vector" +
                            std::string(calculate ? " with raw lookups" : "") + " (" +
                            std::to_string(others) + " others, totals " +
                            (calculate ? "on" : "off") + ")",
                        m.addMs, m.floorMs);
    }
  }
  return 0;
}
