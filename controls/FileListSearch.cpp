// TKivFileList: starting and stopping searches, taking what the walks hand over, and following
// change reports below the searched folder.
#include "controls/FileList.h"

#include <algorithm>

#include "extras/ShellChangeNotifier.h"
#include "host/core/Raii.h"
#include "threads/ThreadPool.h"

namespace zelnor {

using host::TListItem;

namespace {

// Posted by the results queue when records arrive, and by the list to go on draining.
constexpr UINT WM_SEARCHRESULTS = WM_APP + 0x60;
constexpr UINT_PTR kDrainTimer = 1;
constexpr UINT_PTR kCountTimer = 2;
// The main thread adds rows for at most this long at once.
constexpr double kSliceMs = 20;
constexpr size_t kTakeAtOnce = 1024;
// The control is told its growing count a few times a second while rows keep coming: each time
// it lays out its scroll bars, which costs tens of milliseconds under Wine.
constexpr ULONGLONG kCountMs = 200;
// A folder searched less than this long ago is not searched again for its update report.
constexpr DWORD kResearchMs = 5000;

double NowMs() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

std::wstring FoldedFolder(const String& path) {
  std::wstring folder = host::ToWide(host::IncludeTrailingBackslash(path));
  CharUpperBuffW(folder.data(), DWORD(folder.size()));
  return folder;
}

}  // namespace

// ---- Searching

void TKivFileList::ConnectResults() {
  results_->Connect(resultsWindow_.get(), WM_SEARCHRESULTS);
}

void TKivFileList::Search(const String& path) {
  notSearched_ = false;
  // The notifier watches the searched folder, My Computer for every drive.
  host::TStringList directories;
  if (!path.empty() && path != "*") directories.Add(path);
  Notifier()->SetDirectories(&directories);
  searchRoot_ = path;
  lastSearchPath_ = path;
  lastSearchTick_ = GetTickCount();
  StartSearch(*options_, path, true);
}

void TKivFileList::StartSearch(const TKivSearchOptions& options, const String& path, bool current) {
  if (!resultsWindow_) return;
  results_->SetWantsProgress(bool(OnSearchProgress));
  auto* thread = new TKivFileSearchThread(options, results_, path);
  runs_.emplace(thread->ID(), TSearchRun{});
  if (current) {
    currentThread_ = thread;
    currentRun_ = thread->ID();
  }
  pool_->Add(thread);
}

void TKivFileList::Stop() {
  for (auto& [id, run] : runs_) {
    run.dropped = true;
    results_->Drop(id);
  }
  std::erase_if(taken_, [this](const TKivSearchResults::Record& record) {
    const auto run = runs_.find(record.search);
    return record.kind != TKivSearchResults::rkEnd && run != runs_.end() && run->second.dropped;
  });
  pool_->TerminateThreads(false);
}

void TKivFileList::SearchEnded(TKivThread* thread) {
  if (thread == currentThread_) currentThread_ = nullptr;
  // Everything the walk handed over is in the queue by now: its end comes after it.
  TKivSearchResults::Record end;
  end.search = thread->ID();
  end.kind = TKivSearchResults::rkEnd;
  results_->Append(std::move(end));
}

// ---- The hand-over

void TKivFileList::ResultsMessage(host::TMessage& message) {
  switch (message.Msg) {
    case WM_SEARCHRESULTS:
      DrainResults();
      message.Result = 0;
      return;
    case WM_TIMER:
      if (message.WParam == kCountTimer) {
        KillTimer(resultsWindow_.get(), kCountTimer);
        countTimer_ = false;
        ShowCount();
        message.Result = 0;
        return;
      }
      if (message.WParam != kDrainTimer) break;
      KillTimer(resultsWindow_.get(), kDrainTimer);
      drainTimer_ = false;
      DrainResults();
      message.Result = 0;
      return;
    default:
      break;
  }
  host::DefaultHandler(message);
}

void TKivFileList::DrainResults() {
  const std::weak_ptr<int> alive = lifetime_;
  const double start = NowMs();
  bool waiting = false;  // records still in the queue
  host::TListItems* items = Items();
  items->BeginBatch();
  bool ended = false;  // the current search ended: the control hears its last rows now
  auto end = host::ScopeExit([&] {
    // Otherwise the control hears the count on a timer of its own, at most every kCountMs:
    // never in the same message as a slice of rows, so neither holds the window longer than it
    // takes alone.
    if (ended) countShown_ = GetTickCount64();
    items->EndBatch(!ended);
    if (!ended && !countTimer_ && resultsWindow_) {
      const ULONGLONG since = GetTickCount64() - countShown_;
      const UINT wait = since >= kCountMs ? USER_TIMER_MINIMUM : UINT(kCountMs - since);
      countTimer_ = SetTimer(resultsWindow_.get(), kCountTimer, wait, nullptr) != 0;
    }
  });
  for (;;) {
    if (taken_.empty()) {
      std::vector<TKivSearchResults::Record> records;
      waiting = results_->Take(records, kTakeAtOnce);
      for (auto& record : records) taken_.push_back(std::move(record));
      if (taken_.empty()) break;
    }
    TKivSearchResults::Record record = std::move(taken_.front());
    taken_.pop_front();
    const auto run = runs_.find(record.search);
    if (record.kind == TKivSearchResults::rkEnd) {
      if (run != runs_.end()) runs_.erase(run);
      // Only the current search's end is reported: a later Search, or the list's own
      // re-search of a changed folder, ends without a word.
      if (record.search == currentRun_) {
        currentRun_ = 0;
        ended = true;
        if (OnEndSearch) OnEndSearch();
      }
    } else if (run != runs_.end() && !run->second.dropped) {
      if (record.kind == TKivSearchResults::rkMatch) AddFound(record.path, record.file);
      if (!alive.expired() && OnSearchProgress) OnSearchProgress(record.path);
    }
    if (alive.expired()) {
      end.Dismiss();
      return;
    }
    if (NowMs() - start >= kSliceMs) break;
  }
  // Until everything is added, the list goes on by itself; walks post again only after that.
  if (!taken_.empty() || waiting || !results_->Rest()) ScheduleDrain();
}

void TKivFileList::ShowCount() {
  countShown_ = GetTickCount64();
  host::TListItems* items = Items();
  items->BeginBatch();
  items->EndBatch(false);
}

void TKivFileList::ScheduleDrain() {
  HWND window = resultsWindow_.get();
  if (!window || drainTimer_) return;
  // A posted message comes before input, painting and timers: input and painting that wait,
  // and every other slice in any case (a timer's expiry is not always seen waiting), let them
  // run first, the next slice waiting for a tick.
  yieldNext_ = !yieldNext_;
  if (yieldNext_ || HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT | QS_TIMER)) != 0) {
    drainTimer_ = SetTimer(window, kDrainTimer, USER_TIMER_MINIMUM, nullptr) != 0;
    if (drainTimer_) return;
  }
  PostMessageW(window, WM_SEARCHRESULTS, 0, 0);
}

// ---- Change reports

void TKivFileList::ChangeNotification(TNotificationEvent event, const String& path1,
                                      const String& path2) {
  switch (event) {
    case neFileDelete:
    case neFolderDelete:
      DeleteItem(path1);
      return;
    case neFileRename:
    case neFolderRename:
      // The row keeps its path, and shows the new name.
      if (TListItem* item = ItemOfPath(path1); item && !path2.empty()) {
        const size_t slash = path2.find_last_of('\\');
        item->SetCaption(slash == String::npos ? path2 : path2.substr(slash + 1));
        ItemData(item)->nameKey.clear();
      }
      return;
    case neFileCreate:
    case neFolderCreate: {
      if (notSearched_ || path1.empty() || IsItemInList(path1)) return;
      // What the walk would not have entered, a creation report does not add either.
      if (!WalkReaches(host::ExtractFilePath(path1))) return;
      WIN32_FIND_DATAW data;
      host::ErrorModeGuard noErrorBoxes;
      host::FindHandle find{FindFirstFileExW(host::ToWide(path1).c_str(), FindExInfoBasic, &data,
                                             FindExSearchNameMatch, nullptr, 0)};
      if (find && MatchsFileForSearchLimits(data, *options_, host::ExtractFilePath(path1)))
        AddFound(path1, TKivFoundFile::Of(data));
      return;
    }
    case neFolderUpdate:
      if (!notSearched_ && !path1.empty()) FolderUpdated(path1);
      return;
    default:
      return;
  }
}

void TKivFileList::FolderUpdated(const String& folder) {
  const std::wstring changed = FoldedFolder(folder);
  {
    host::TListItems* items = Items();
    items->BeginBatch();
    auto end = host::ScopeExit([items] { items->EndBatch(); });
    for (int i = items->Count() - 1; i >= 0; --i) {
      TListItem* item = items->Item(i);
      const TKivFileListItem* data = ItemData(item);
      if (!data || FoldedFolder(host::ExtractFilePath(data->fullPath)) != changed) continue;
      if (GetFileAttributesW(host::ToWide(data->fullPath).c_str()) == INVALID_FILE_ATTRIBUTES)
        item->Delete();
    }
  }
  const bool sameAsLast = FoldedFolder(lastSearchPath_) == changed;
  if (sameAsLast && GetTickCount() - lastSearchTick_ < kResearchMs) return;
  if (!WalkReaches(folder)) return;
  // The folder's own entries again; the notifier and the search root stay as they are.
  TKivSearchOptions options;
  options.Assign(options_.get());
  options.SetRecursiveSearch(false);
  lastSearchPath_ = folder;
  lastSearchTick_ = GetTickCount();
  StartSearch(options, folder, false);
}

bool TKivFileList::WalkReaches(const String& folder) const {
  const std::wstring target = FoldedFolder(folder);
  std::wstring root;
  if (searchRoot_.empty()) {
    // Every drive: the root of the folder's drive.
    if (target.size() < 3 || target[1] != L':' || target[2] != L'\\') return false;
    root = target.substr(0, 3);
  } else {
    root = FoldedFolder(searchRoot_);
  }
  if (target.compare(0, root.size(), root) != 0) return false;
  if (target.size() == root.size()) return true;
  if (!options_->RecursiveSearch()) return false;
  if (options_->IncludeHidden()) return true;
  // Hidden folders are not entered: none may lie between the root and the folder.
  const std::wstring original = host::ToWide(host::IncludeTrailingBackslash(folder));
  for (size_t slash = original.find(L'\\', root.size()); slash != std::wstring::npos;
       slash = original.find(L'\\', slash + 1)) {
    const DWORD attributes = GetFileAttributesW(original.substr(0, slash).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN)) return false;
  }
  return true;
}

}  // namespace zelnor
