// TKivShellListFill: the worker's enumeration, its batches and the final order.
#include "controls/ShellListFill.h"

#include <shlobj.h>

#include <algorithm>
#include <utility>

#include "host/core/KeySort.h"
#include "host/core/Messages.h"
#include "host/core/Raii.h"

namespace zelnor {

namespace {

constexpr UINT WM_FILLREADY = WM_APP + 1;
// The first batch goes as soon as it fills a screen, so the list shows something at once; the
// others every 50 ms, and at most so many children that the main thread adds a batch within a
// short slice of its time.
constexpr size_t kFirstBatch = 100;
constexpr ULONGLONG kBatchMs = 50;
constexpr size_t kMaxBatch = 500;

}  // namespace

TKivShellListFill::TKivShellListFill(Settings settings, std::function<void()> ready)
    : host::TThread(true), settings_(std::move(settings)), ready_(std::move(ready)) {
  window_.reset(host::AllocateMessageHWnd([this](host::TMessage& message) {
    if (message.Msg == WM_TIMER) KillTimer(window_.get(), 1);
    if (message.Msg != WM_FILLREADY && message.Msg != WM_TIMER) {
      host::DefaultHandler(message);
      return;
    }
    // A copy: the call may end this fill, and its members with it.
    if (const std::function<void()> ready = ready_) ready();
  }));
  Start();
}

TKivShellListFill::~TKivShellListFill() {
  Terminate();
  WaitFor();
  ready_ = nullptr;
  window_.reset();
}

bool TKivShellListFill::TakeBatch(std::vector<Record>& batch, bool& last) {
  std::lock_guard<std::mutex> guard(lock_);
  last = complete_ && batches_.size() <= 1;
  if (batches_.empty()) return false;  // `last` then tells whether the fill has ended
  batch = std::move(batches_.front());
  batches_.erase(batches_.begin());
  return true;
}

TKivShellListFill::Record TKivShellListFill::Child(TZelnor& navigator) {
  Record record;
  record.idList = navigator.GetItemIdList();
  record.parsingName = navigator.GetObjectName();
  record.folder = IsSortedAsFolder(navigator);
  return record;
}

void TKivShellListFill::ContinueLater() { SetTimer(window_.get(), 1, USER_TIMER_MINIMUM, nullptr); }

std::vector<uint32_t> TKivShellListFill::TakeOrder() {
  std::lock_guard<std::mutex> guard(lock_);
  return std::exchange(order_, {});
}

void TKivShellListFill::Hand(std::vector<Record>& batch, bool last) {
  if (settings_.order == orNames) {
    std::sort(batch.begin(), batch.end(), [&](const Record& a, const Record& b) {
      const int c = a.key.compare(b.key);
      if (c != 0) return settings_.descending ? c > 0 : c < 0;
      return a.sequence < b.sequence;
    });
  }
  bool post = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!batch.empty()) batches_.push_back(std::move(batch));
    if (last) complete_ = true;
    post = !std::exchange(posted_, true);
  }
  batch.clear();
  if (post) PostMessageW(window_.get(), WM_FILLREADY, 0, 0);
}

std::vector<uint32_t> TKivShellListFill::FinalOrder(IShellFolder* folder,
                                                    std::vector<UniquePidl>& ids,
                                                    std::vector<std::string>& keys) {
  if (settings_.order == orNone || settings_.order == orKeys || !folder || ids.empty()) return {};
  std::vector<uint32_t> order(ids.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = uint32_t(i);
  const int direction = settings_.descending ? -1 : 1;
  const LPARAM column = LPARAM(settings_.folderColumn);
  // Once the fill is stopped every answer is "not before": the sort runs out at once.
  const std::function<bool(const uint32_t&, const uint32_t&)> before = [&](uint32_t a, uint32_t b) {
    if (Stopping()) return false;
    const HRESULT hr = folder->CompareIDs(column, ids[a].get(), ids[b].get());
    return SUCCEEDED(hr) && int(short(HRESULT_CODE(hr))) * direction < 0;
  };
  if (settings_.order == orNames) {
    host::SortByKeys(order, keys, settings_.descending, before);
  } else {
    std::stable_sort(order.begin(), order.end(), before);
  }
  return order;
}

void TKivShellListFill::Execute() {
  host::CoInitializeGuard com;
  std::vector<UniquePidl> ids;  // the worker's own copies, for the final order
  std::vector<std::string> keys;
  std::vector<Record> batch;

  // The navigator binds the folder through this thread's own desktop, once.
  TZelnor navigator;
  navigator.SetShowErrorMessages(false);
  navigator.Initialize();
  host::ComPtr<IShellFolder> folder;
  if (navigator.TrySetFolderIdList(settings_.folder.get())) folder = navigator.ShellFolder();
  if (folder) Enumerate(navigator, batch, ids, keys);
  if (!folder) failed_ = true;
  if (Stopping()) return;
  std::vector<uint32_t> order = FinalOrder(folder.Get(), ids, keys);
  {
    std::lock_guard<std::mutex> guard(lock_);
    order_ = std::move(order);
  }
  Hand(batch, true);
}

void TKivShellListFill::Enumerate(TZelnor& navigator, std::vector<Record>& batch,
                                  std::vector<UniquePidl>& ids, std::vector<std::string>& keys) {
  ULONGLONG handed = GetTickCount64();
  bool first = true;
  navigator.SetFilter(settings_.filter);
  navigator.SetFileSystemOnly(settings_.fileSystemOnly);
  const bool keyed = settings_.order == orKeys || settings_.order == orNames;
  const bool ordered = settings_.order == orNames || settings_.order == orFolder;
  uint32_t sequence = 0;
  while (!Stopping() && navigator.Next()) {
    if (!settings_.showFolders && navigator.IsFolder()) continue;
    if (!IsShownObject(navigator, settings_.showOptions)) continue;
    Record record = Child(navigator);
    record.sequence = sequence++;
    if (keyed)
      record.key = NameSortKey(host::ToWide(record.parsingName), record.folder, settings_.nameOrder);
    if (ordered) {
      ids.push_back(navigator.GetItemIdList());
      keys.push_back(record.key);
    }
    if (first && batch.empty()) handed = GetTickCount64();
    batch.push_back(std::move(record));
    if (settings_.wholeAtEnd) continue;
    if ((first && batch.size() >= kFirstBatch) || batch.size() >= kMaxBatch ||
        GetTickCount64() - handed >= kBatchMs) {
      Hand(batch, false);
      handed = GetTickCount64();
      first = false;
    }
  }
}

}  // namespace zelnor
