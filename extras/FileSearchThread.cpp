// TKivSearchResults and TKivFileSearchThread: the hand-over queue, the walk, folder identities.
#include "extras/FileSearchThread.h"

#include <cstring>

#include "host/core/Raii.h"
#include "shell/ShellRoutines.h"
#include "shell/Zelnor.h"

namespace zelnor {

namespace {

// A walk hands its records over when this many wait or the oldest has waited this long; the
// first of a search goes at once, so the list shows it while the walk goes on.
constexpr size_t kBatchRecords = 256;
constexpr ULONGLONG kBatchMs = 15;

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

}  // namespace

// ---- TKivFoundFile

TKivFoundFile TKivFoundFile::Of(const WIN32_FIND_DATAW& data) {
  TKivFoundFile file;
  file.attributes = data.dwFileAttributes;
  file.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  file.creation = data.ftCreationTime;
  file.access = data.ftLastAccessTime;
  file.write = data.ftLastWriteTime;
  return file;
}

// ---- TKivSearchResults

void TKivSearchResults::Connect(HWND window, UINT message) {
  std::unique_lock<std::mutex> lock(lock_);
  window_ = window;
  message_ = message;
  posted_ = false;
  PostIfIdle(lock);
}

void TKivSearchResults::Disconnect() {
  std::lock_guard<std::mutex> lock(lock_);
  window_ = nullptr;
  records_.clear();
}

void TKivSearchResults::PostIfIdle(std::unique_lock<std::mutex>&) {
  if (posted_ || records_.empty() || !window_) return;
  posted_ = PostMessageW(window_, message_, 0, 0) != FALSE;
}

bool TKivSearchResults::Take(std::vector<Record>& out, size_t most) {
  std::lock_guard<std::mutex> lock(lock_);
  while (most-- > 0 && !records_.empty()) {
    out.push_back(std::move(records_.front()));
    records_.pop_front();
  }
  return !records_.empty();
}

bool TKivSearchResults::Rest() {
  std::lock_guard<std::mutex> lock(lock_);
  if (!records_.empty()) return false;
  posted_ = false;
  return true;
}

void TKivSearchResults::Drop(int search) {
  std::lock_guard<std::mutex> lock(lock_);
  std::erase_if(records_,
                [search](const Record& r) { return r.search == search && r.kind != rkEnd; });
}

void TKivSearchResults::Append(Record record) {
  std::unique_lock<std::mutex> lock(lock_);
  records_.push_back(std::move(record));
  PostIfIdle(lock);
}

void TKivSearchResults::Hand(std::vector<Record>& batch) {
  if (batch.empty()) return;
  std::unique_lock<std::mutex> lock(lock_);
  for (Record& record : batch) records_.push_back(std::move(record));
  batch.clear();
  PostIfIdle(lock);
}

// ---- TKivFileSearchThread

TKivFileSearchThread::TKivFileSearchThread(const TKivSearchOptions& options,
                                           std::shared_ptr<TKivSearchResults> results,
                                           const String& path)
    : options_(std::make_unique<TKivSearchOptions>()), results_(std::move(results)), path_(path) {
  options_->Assign(&options);
}

void TKivFileSearchThread::Execute() {
  host::ErrorModeGuard noErrorBoxes;
  if (!results_) return;
  if (!path_.empty()) {
    Search(host::IncludeTrailingBackslash(path_));
  } else {
    // Drives show up again below other drives (Wine's Z: holds the whole Unix tree, C: too).
    WatchForRevisits();
    std::vector<String> drives;
    {
      // The thread's own navigator, over the desktop of its own apartment.
      TZelnor navigator;
      navigator.SetShowErrorMessages(false);
      navigator.Initialize();
      navigator.SetSpecialFolder(SF_DRIVES);
      while (!Terminated() && navigator.Next()) {
        const String name = navigator.GetObjectName();
        if (IsDrive(name) && IsDriveReady(name)) drives.push_back(host::IncludeTrailingBackslash(name));
      }
    }
    for (const String& drive : drives) {
      if (Terminated()) break;
      Search(drive);
    }
  }
  // A terminated search hands over nothing more.
  if (Terminated()) return;
  Flush(true);
}

void TKivFileSearchThread::Search(const String& directory) {
  SearchW(host::ToWide(directory), directory);
}

void TKivFileSearchThread::SearchW(const host::WideString& directory, const String& utf8) {
  if (watching_ && !EnterFolder(directory)) return;
  walking_.push_back(directory);
  auto leave = host::ScopeExit([this] { walking_.pop_back(); });
  progress_ = results_->WantsProgress();
  const bool recursive = options_->RecursiveSearch();
  const bool hiddenFolders = options_->IncludeHidden();
  // One listing serves both passes: the entries now, the subfolders after them, in its order.
  std::vector<host::WideString> subfolders;
  Flush(false);
  WIN32_FIND_DATAW data;
  host::FindHandle search{FindFirstFileExW((directory + L'*').c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH)};
  if (search) {
    do {
      if (Terminated()) return;
      const bool match = MatchsFileForSearchLimits(data, *options_, utf8);
      if (match || progress_) {
        const String path = utf8 + host::ToUtf8(data.cFileName);
        if (match) {
          Add(path, data);
        } else {
          Progress(path);
        }
      }
      Flush(false);
      const DWORD attributes = data.dwFileAttributes;
      if (recursive && (attributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDotEntry(data.cFileName) &&
          (hiddenFolders || !(attributes & FILE_ATTRIBUTE_HIDDEN))) {
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) WatchForRevisits();
        subfolders.emplace_back(data.cFileName);
      }
    } while (FindNextFileW(search.get(), &data));
  }
  search.reset();
  for (const host::WideString& name : subfolders) {
    if (Terminated()) return;
    Search(utf8 + host::ToUtf8(name) + '\\');
  }
}

void TKivFileSearchThread::Add(const String& path, const WIN32_FIND_DATAW& data) {
  if (batch_.empty()) batchStarted_ = GetTickCount64();
  batch_.push_back({ID(), TKivSearchResults::rkMatch, path, TKivFoundFile::Of(data)});
}

void TKivFileSearchThread::Progress(const String& path) {
  if (!progress_) return;
  if (batch_.empty()) batchStarted_ = GetTickCount64();
  batch_.push_back({ID(), TKivSearchResults::rkExamined, path, {}});
}

void TKivFileSearchThread::Flush(bool now) {
  if (batch_.empty()) return;
  if (!now && !firstBatch_ && batch_.size() < kBatchRecords &&
      GetTickCount64() - batchStarted_ < kBatchMs)
    return;
  firstBatch_ = false;
  results_->Hand(batch_);
}

bool TKivFileSearchThread::EnterFolder(const host::WideString& folder) {
  host::UniqueFile handle{CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  if (!handle) return true;  // no identity to compare; the listing decides
  uint64_t volume = 0, idLow = 0, idHigh = 0;
  FILE_ID_INFO idInfo;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandleEx(handle.get(), FileIdInfo, &idInfo, sizeof idInfo)) {
    volume = idInfo.VolumeSerialNumber;
    std::memcpy(&idLow, idInfo.FileId.Identifier, 8);
    std::memcpy(&idHigh, idInfo.FileId.Identifier + 8, 8);
  } else if (GetFileInformationByHandle(handle.get(), &info)) {
    volume = info.dwVolumeSerialNumber;
    idLow = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  } else {
    return true;
  }
  return visited_.insert({volume, {idLow, idHigh}}).second;
}

void TKivFileSearchThread::WatchForRevisits() {
  if (watching_) return;
  watching_ = true;
  for (const host::WideString& folder : walking_) EnterFolder(folder);
}

}  // namespace zelnor
