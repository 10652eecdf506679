// Folder-size job against a plain directory walk of the same tree (20,000 files in 200 folders),
// in nine or more interleaved rounds (--rounds=N): medians and spreads. The tree is made once
// under the temporary folder and reused by later runs.
#include "selection/FolderSizeThread.h"

#include "bench/BenchSupport.h"

#include "host/core/Raii.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

namespace {

constexpr int kGroups = 20;
constexpr int kSubfoldersPerGroup = 9;  // a group folder and its subfolders: 200 folders in all
constexpr int kFilesPerFolder = 100;

using bench::NowMs;

void MakeFiles(const std::wstring& folder, int seed) {
  CreateDirectoryW(folder.c_str(), nullptr);
  for (int i = 0; i < kFilesPerFolder; ++i) {
    const std::wstring name = folder + L"f" + std::to_wstring(i) + L".dat";
    host::UniqueFile f{CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr)};
    const std::string data(size_t((seed * 31 + i) % 64), 'z');
    DWORD written = 0;
    if (!data.empty()) WriteFile(f.get(), data.data(), DWORD(data.size()), &written, nullptr);
  }
}

// The tree, with a marker file written last so that a half-made tree is made again.
std::wstring EnsureTree() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring root = std::wstring(temp) + L"zelnor-bench-folder-size\\";
  const std::wstring marker = std::wstring(temp) + L"zelnor-bench-folder-size.done";
  if (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return root;
  std::printf("making the tree (once)...\n");
  std::fflush(stdout);
  CreateDirectoryW(root.c_str(), nullptr);
  int seed = 0;
  for (int g = 0; g < kGroups; ++g) {
    const std::wstring group = root + L"g" + std::to_wstring(g) + L"\\";
    MakeFiles(group, seed++);
    for (int s = 0; s < kSubfoldersPerGroup; ++s)
      MakeFiles(group + L"s" + std::to_wstring(s) + L"\\", seed++);
  }
  host::UniqueFile done{CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr)};
  return root;
}

// The platform's floor: one recursive FindFirstFileExW walk on the calling thread.
void PlainWalk(const std::wstring& folder, int64_t& bytes, int& files) {
  WIN32_FIND_DATAW data;
  host::FindHandle search{FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH)};
  if (!search) return;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      const std::wstring name = data.cFileName;
      if (name != L"." && name != L"..") PlainWalk(folder + name + L"\\", bytes, files);
    } else {
      bytes += int64_t((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
      ++files;
    }
  } while (FindNextFileW(search.get(), &data));
}

struct Result {
  double ms;
  int64_t bytes;
  int files;
};

// From handing the job to the pool to its end being reported on the main thread.
Result TimeJob(const std::wstring& root) {
  std::optional<Result> result;
  zelnor::TThreadPool pool;
  double start = 0;
  pool.OnThreadTerminated = [&](zelnor::TKivThread* t) {
    auto* job = dynamic_cast<zelnor::TKivFolderSizeThread*>(t);
    result = Result{NowMs() - start, job->ByteTotal(), job->FileCount()};
  };
  auto* job = new zelnor::TKivFolderSizeThread(host::ToUtf8(root));
  start = NowMs();
  pool.Add(job);
  while (!result) host::CheckSynchronize(1);
  return *result;
}

Result TimeWalk(const std::wstring& root) {
  Result r{0, 0, 0};
  const double start = NowMs();
  PlainWalk(root, r.bytes, r.files);
  r.ms = NowMs() - start;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const std::wstring root = EnsureTree();
  const int rounds = std::max(9, bench::BenchRounds(argc, argv, 9));
  TimeWalk(root);  // warm the directory caches for both

  // The two alternate, so a change of the machine's load falls on both alike.
  bench::TSamples job, walk;
  Result lastJob{}, lastWalk{};
  for (int i = 0; i < rounds; ++i) {
    lastJob = TimeJob(root);
    lastWalk = TimeWalk(root);
    job.Add(lastJob.ms);
    walk.Add(lastWalk.ms);
  }
  std::printf("tree: %d files, %lld bytes (walk: %d files, %lld bytes)\n", lastJob.files,
              (long long)lastJob.bytes, lastWalk.files, (long long)lastWalk.bytes);
  bench::PrintRatio("folder-size job / plain FindFirstFileExW walk [goal: nothing measurable "
                    "beyond the walk]",
                    job.Median(), walk.Median());
  bench::PrintSpread("job", job, "walk", walk);
  return lastJob.files == lastWalk.files && lastJob.bytes == lastWalk.bytes ? 0 : 1;
}
