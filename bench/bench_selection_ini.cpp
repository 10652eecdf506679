// Saving and loading a selection list of 20,000 file entries to and from an ini file, against
// writing and reading the same text file directly (UTF-16, one WriteFile / ReadFile and the split
// into lines). Loading also checks every entry against the file system, as it must.
// The 20,000 files (200 folders of 100) are made once under the temporary folder and reused.
#include "bench/BenchSupport.h"
#include "selection/KivSelectionList.h"

#include "host/core/Raii.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using bench::NowMs;

namespace {

using host::String;

constexpr int kFolders = 200;
constexpr int kPerFolder = 100;

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return temp;
}

// The files, in canonical form; made when the marker of a finished tree is missing.
std::vector<String> EnsureFiles() {
  const std::wstring root = TempFolder() + L"zelnor-bench-selection-ini\\";
  const std::wstring marker = TempFolder() + L"zelnor-bench-selection-ini.done";
  const bool make = GetFileAttributesW(marker.c_str()) == INVALID_FILE_ATTRIBUTES;
  if (make) {
    std::printf("making %d files (once)...\n", kFolders * kPerFolder);
    std::fflush(stdout);
    CreateDirectoryW(root.c_str(), nullptr);
  }
  std::vector<String> files;
  for (int f = 0; f < kFolders; ++f) {
    const std::wstring folder = root + L"folder" + std::to_wstring(1000 + f) + L"\\";
    if (make) CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 0; i < kPerFolder; ++i) {
      const std::wstring name = folder + L"entry file " + std::to_wstring(10000 + i) + L".dat";
      if (make) {
        host::UniqueFile h{CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr)};
      }
      files.push_back(host::ToUtf8(name));
    }
  }
  if (make) host::UniqueFile done{CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
  return files;
}

// The floor of saving: the section's text written as one UTF-16 file.
double WriteDirectly(const std::wstring& file, const std::vector<String>& entries) {
  const double start = NowMs();
  std::wstring text = L"\xFEFF[Selection]\r\n";
  for (const String& e : entries) text += host::ToWide(e) + L"=\r\n";
  host::UniqueFile h{CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr)};
  DWORD written = 0;
  WriteFile(h.get(), text.data(), DWORD(text.size() * sizeof(wchar_t)), &written, nullptr);
  return NowMs() - start;
}

// The floor of loading: the file read at once and split into its keys.
double ReadDirectly(const std::wstring& file, size_t& keys) {
  const double start = NowMs();
  host::UniqueFile h{CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr)};
  std::wstring text(size_t(GetFileSize(h.get(), nullptr)) / sizeof(wchar_t), L'\0');
  DWORD read = 0;
  ReadFile(h.get(), text.data(), DWORD(text.size() * sizeof(wchar_t)), &read, nullptr);
  std::vector<String> lines;
  size_t begin = 0;
  for (size_t end; (end = text.find(L"\r\n", begin)) != std::wstring::npos; begin = end + 2) {
    const size_t equals = text.find(L'=', begin);
    if (equals < end) lines.push_back(host::ToUtf8(text.substr(begin, equals - begin)));
  }
  keys = lines.size();
  return NowMs() - start;
}

}  // namespace

int main() {
  host::CoInitializeGuard com;
  const std::vector<String> files = EnsureFiles();
  const std::wstring folder = TempFolder();
  const std::wstring ini = folder + L"zelnor-bench-selection.ini";
  const std::wstring plain = folder + L"zelnor-bench-selection-plain.ini";

  double save = 1e30, load = 1e30, write = 1e30, read = 1e30;
  int loaded = 0;
  size_t keys = 0;
  for (int round = 0; round < 2; ++round) {
    zelnor::TKivSelectionList list;
    for (const String& f : files) list.Paths()->Add(f);
    DeleteFileW(ini.c_str());
    double start = NowMs();
    list.SaveToIniFile(host::ToUtf8(ini), "Selection");
    save = std::min(save, NowMs() - start);

    zelnor::TKivSelectionList back;
    start = NowMs();
    back.LoadFromIniFile(host::ToUtf8(ini), "Selection");
    load = std::min(load, NowMs() - start);
    loaded = back.Count();

    write = std::min(write, WriteDirectly(plain, files));
    read = std::min(read, ReadDirectly(plain, keys));
  }
  std::printf("%zu entries: SaveToIniFile %.1f ms, LoadFromIniFile %.1f ms (%d entries back); "
              "the same text written directly %.1f ms, read and split %.1f ms (%zu keys); "
              "goal: each under 1000 ms\n",
              files.size(), save, load, loaded, write, read, keys);
  std::printf("ratio SaveToIniFile: %.2f (ours %.1f ms, floor %.1f ms)\n", save / write, save, write);
  std::printf("ratio LoadFromIniFile: %.2f (ours %.1f ms, floor %.1f ms)\n", load / read, load, read);
  DeleteFileW(ini.c_str());
  DeleteFileW(plain.c_str());
  return 0;
}
