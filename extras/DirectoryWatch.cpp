// TKivDirectoryWatch: overlapped ReadDirectoryChangesW on every directory, one worker for all.
#include "extras/DirectoryWatch.h"

#include "extras/ShellChangeNotifier.h"

#include <shlobj.h>

#include <algorithm>
#include <utility>

namespace zelnor {

namespace {

constexpr DWORD kBufferBytes = 64 * 1024;
constexpr int kMaxOpenedFolders = 2000;
// How often the watched directories are checked for a deletion that their pending reads do not
// report (under Wine a directory someone holds open only waits to be deleted).
constexpr DWORD kGoneCheckMs = 500;
constexpr DWORD kNotifyFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE |
                                FILE_NOTIFY_CHANGE_LAST_WRITE;

std::wstring Lower(std::wstring s) {
  if (!s.empty()) CharLowerBuffW(s.data(), DWORD(s.size()));
  return s;
}

// The directory without a trailing backslash, except for a drive root ("C:\").
std::wstring Normalized(std::wstring dir) {
  while (dir.size() > 3 && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
  return dir;
}

// The folder that holds `path`; empty for a root.
std::wstring ParentOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos || slash + 1 >= path.size() || slash < 2) return {};
  // "C:\x" lies in "C:\"; a share ("\\\\server\\share") lies in nothing here.
  if (slash == 2 && path[1] == L':') return path.substr(0, 3);
  if (path.compare(0, 2, L"\\\\") == 0 && path.find(L'\\', 2) == slash) return {};
  return path.substr(0, slash);
}

// Opens a folder and lets go of it at once: Wine extends a subtree watch to a folder that
// existed before only once that folder is opened.
void OpenOnce(const std::wstring& folder) {
  host::UniqueFile opened(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool IsFolderPath(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool DirectoryGoneOrPending(const std::wstring& directory) {
  const DWORD attributes = GetFileAttributesW(directory.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  host::UniqueFile probe(CreateFileW(directory.c_str(), FILE_LIST_DIRECTORY,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (probe) return false;
  const DWORD error = GetLastError();
  return error == ERROR_ACCESS_DENIED || error == ERROR_FILE_NOT_FOUND ||
         error == ERROR_PATH_NOT_FOUND;
}

struct TKivDirectoryWatch::Slot {
  std::wstring directory;
  host::UniqueFile handle;
  host::UniqueHandle event;
  OVERLAPPED overlapped{};
  std::unique_ptr<DWORD[]> buffer{new DWORD[kBufferBytes / sizeof(DWORD)]};
  bool pending = false;
  // Reads the whole subtree: for a recursive watch, or for one that also covers the watched
  // directories below this one, keeping only changes within a watched directory.
  bool subtree = false;
  std::wstring renamedFrom;  // the old name of a rename whose new name has not come yet
};

TKivDirectoryWatch::TKivDirectoryWatch(std::vector<std::wstring> directories, bool recursive,
                                       HWND window, UINT message, bool learnFolders,
                                       bool openSubfolders)
    : host::TThread(true),
      recursive_(recursive),
      learnFolders_(learnFolders),
      openSubfolders_(openSubfolders),
      window_(window),
      message_(message),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      armed_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  for (auto& d : directories) {
    if (d.empty()) continue;
    directories_.push_back(Normalized(std::move(d)));
    wanted_.insert(Lower(directories_.back()));
  }
  Start();
  // The worker opens and arms every directory before it signals; it never synchronises with
  // this thread, so the wait cannot deadlock.
  WaitForSingleObject(armed_.get(), 10000);
}

TKivDirectoryWatch::~TKivDirectoryWatch() {
  Terminate();
  SetEvent(stop_.get());
  WaitFor();
}

std::vector<TKivDirectoryWatch::Change> TKivDirectoryWatch::Take() {
  std::lock_guard<std::mutex> guard(lock_);
  posted_ = false;
  return std::exchange(changes_, {});
}

void TKivDirectoryWatch::Push(Change change) {
  bool post = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    changes_.push_back(std::move(change));
    post = !std::exchange(posted_, true);
  }
  if (post) PostMessageW(window_, message_, 0, 0);
}

std::wstring TKivDirectoryWatch::TopWatchedAbove(const std::wstring& directory) const {
  std::wstring top;
  for (std::wstring p = ParentOf(directory); !p.empty(); p = ParentOf(p))
    if (wanted_.count(Lower(p))) top = p;
  return top;
}

bool TKivDirectoryWatch::Kept(const Slot& slot, const std::wstring& path) const {
  return recursive_ || !slot.subtree || wanted_.count(Lower(ParentOf(path))) != 0;
}

bool TKivDirectoryWatch::IsKnownFolder(const std::wstring& path) const {
  return folders_.count(Lower(path)) != 0;
}

void TKivDirectoryWatch::RememberFolder(const std::wstring& path, bool folder) {
  if (folder) {
    folders_.insert(Lower(path));
  } else {
    folders_.erase(Lower(path));
  }
}

bool TKivDirectoryWatch::Stopping() const {
  return WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0;
}

bool TKivDirectoryWatch::LearnSubfolders(const std::wstring& directory) {
  WIN32_FIND_DATAW data;
  const std::wstring base = directory.back() == L'\\' ? directory : directory + L"\\";
  // "Directories only" is a hint: the platform may list every file, so a big directory takes a
  // while and the listing gives way as soon as the watch is told to stop.
  host::FindHandle find(FindFirstFileExW((base + L"*").c_str(), FindExInfoBasic, &data,
                                         FindExSearchLimitToDirectories, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH));
  if (!find) return true;
  unsigned seen = 0;
  do {
    if ((++seen & 255) == 0 && Stopping()) return false;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    folders_.insert(Lower(base + name));
  } while (FindNextFileW(find.get(), &data));
  return true;
}

void TKivDirectoryWatch::OpenSubfolders(const std::wstring& directory, int& budget) {
  WIN32_FIND_DATAW data;
  const std::wstring base = directory.back() == L'\\' ? directory : directory + L"\\";
  std::vector<std::wstring> children;
  {
    host::FindHandle find(FindFirstFileExW((base + L"*").c_str(), FindExInfoBasic, &data,
                                           FindExSearchLimitToDirectories, nullptr, 0));
    if (!find) return;
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
      // Links to folders elsewhere would lead out of the tree, or round in a loop.
      if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      children.push_back(base + name);
    } while (FindNextFileW(find.get(), &data));
  }
  for (const auto& child : children) {
    if (budget-- <= 0 || Terminated()) return;
    folders_.insert(Lower(child));
    OpenOnce(child);
    OpenSubfolders(child, budget);
  }
}

void TKivDirectoryWatch::Drop(Slot& slot) {
  if (slot.pending) {
    CancelIo(slot.handle.get());
    DWORD bytes = 0;
    GetOverlappedResult(slot.handle.get(), &slot.overlapped, &bytes, TRUE);
    slot.pending = false;
  }
  ResetEvent(slot.event.get());
  slot.handle.reset();
  Push({SHCNE_RMDIR, slot.directory, {}});
}

void TKivDirectoryWatch::Read(Slot& slot) {
  ResetEvent(slot.event.get());
  slot.overlapped = OVERLAPPED{};
  slot.overlapped.hEvent = slot.event.get();
  slot.pending = ReadDirectoryChangesW(slot.handle.get(), slot.buffer.get(), kBufferBytes,
                                       slot.subtree, kNotifyFilter, nullptr, &slot.overlapped,
                                       nullptr) != FALSE;
}

void TKivDirectoryWatch::Parse(Slot& slot, DWORD bytes) {
  if (bytes == 0) {
    // The buffer overflowed: everything below the directory may have changed.
    Push({SHCNE_UPDATEDIR, slot.directory, {}});
    return;
  }
  const auto* base = reinterpret_cast<const BYTE*>(slot.buffer.get());
  DWORD offset = 0;
  for (;;) {
    const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + offset);
    const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
    const std::wstring path =
        slot.directory.back() == L'\\' ? slot.directory + name : slot.directory + L"\\" + name;
    // A rename counts when either of its names lies in a watched directory; its old name waits
    // for the new one in any case.
    const DWORD action = info->Action;
    const bool kept = action == FILE_ACTION_RENAMED_OLD_NAME || Kept(slot, path) ||
                      (action == FILE_ACTION_RENAMED_NEW_NAME && !slot.renamedFrom.empty() &&
                       Kept(slot, slot.renamedFrom));
    if (!kept && action == FILE_ACTION_RENAMED_NEW_NAME) slot.renamedFrom.clear();
    switch (kept ? action : 0) {
      case FILE_ACTION_ADDED: {
        const bool folder = IsFolderPath(path);
        RememberFolder(path, folder);
        Push({folder ? SHCNE_MKDIR : SHCNE_CREATE, path, {}});
        break;
      }
      case FILE_ACTION_REMOVED: {
        const bool folder = IsKnownFolder(path);
        RememberFolder(path, false);
        Push({folder ? SHCNE_RMDIR : SHCNE_DELETE, path, {}});
        break;
      }
      case FILE_ACTION_MODIFIED: {
        const bool folder = IsFolderPath(path);
        if (folder) RememberFolder(path, true);
        Push({folder ? SHCNE_UPDATEDIR : SHCNE_UPDATEITEM, path, {}});
        break;
      }
      case FILE_ACTION_RENAMED_OLD_NAME:
        slot.renamedFrom = path;
        break;
      case FILE_ACTION_RENAMED_NEW_NAME: {
        const bool folder = IsFolderPath(path);
        RememberFolder(path, folder);
        if (slot.renamedFrom.empty()) {
          // The old name lay outside the watched tree: the object has arrived.
          Push({folder ? SHCNE_MKDIR : SHCNE_CREATE, path, {}});
        } else {
          RememberFolder(slot.renamedFrom, false);
          Push({folder ? SHCNE_RENAMEFOLDER : SHCNE_RENAMEITEM, std::move(slot.renamedFrom), path});
          slot.renamedFrom.clear();
        }
        break;
      }
      default:
        break;
    }
    if (info->NextEntryOffset == 0) break;
    offset += info->NextEntryOffset;
  }
}

void TKivDirectoryWatch::Execute() {
  // A directory below another watched one gets no handle of its own: under Wine a handle keeps
  // a deleted folder waiting to go, and the deletion of the folder that holds it then fails
  // ("directory not empty") before any check could let go. The topmost watched directory reads
  // its subtree instead.
  std::vector<std::wstring> tops;
  std::vector<std::pair<std::wstring, std::wstring>> below;  // a directory and its top, lower case
  std::set<std::wstring> covering;  // tops with watched directories below them, lower case
  for (const auto& dir : directories_) {
    const std::wstring top = recursive_ ? std::wstring() : Lower(TopWatchedAbove(dir));
    if (top.empty()) {
      tops.push_back(dir);
    } else {
      below.emplace_back(dir, top);
      covering.insert(top);
    }
  }
  std::vector<std::unique_ptr<Slot>> slots;
  for (const auto& dir : tops) {
    if (slots.size() >= MAXIMUM_WAIT_OBJECTS - 1) break;
    auto slot = std::make_unique<Slot>();
    slot->directory = dir;
    slot->subtree = recursive_ || covering.count(Lower(dir)) != 0;
    slot->handle.reset(CreateFileW(dir.c_str(), FILE_LIST_DIRECTORY,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                                   nullptr));
    if (!slot->handle) continue;
    slot->event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Read(*slot);
    if (slot->pending) slots.push_back(std::move(slot));
  }
  // The directories below a top that could not be read are not watched.
  std::set<std::wstring> armed;
  for (const auto& slot : slots) armed.insert(Lower(slot->directory));
  std::erase_if(below, [&](const auto& entry) { return armed.count(entry.second) == 0; });
  if (!ShellReportsFileSystemChanges()) {
    // From the top down, so that each folder's parent is already in the subtree watch.
    std::sort(below.begin(), below.end(),
              [](const auto& a, const auto& b) { return a.first.size() < b.first.size(); });
    for (const auto& entry : below) OpenOnce(entry.first);
  }
  watched_ = int(slots.size() + below.size());
  if (recursive_ && openSubfolders_ && !ShellReportsFileSystemChanges()) {
    // Wine extends a subtree watch to a folder that existed before only once that folder is
    // opened; open each (up to a bound) before reporting the watch ready.
    int budget = kMaxOpenedFolders;
    for (const auto& slot : slots) OpenSubfolders(slot->directory, budget);
  }
  SetEvent(armed_.get());

  if (learnFolders_ && (!recursive_ || ShellReportsFileSystemChanges())) {
    bool going = true;
    for (const auto& slot : slots)
      if (going) going = LearnSubfolders(slot->directory);
    for (const auto& entry : below)
      if (going) going = LearnSubfolders(entry.first);
  }

  std::vector<HANDLE> waits{stop_.get()};
  for (const auto& slot : slots) waits.push_back(slot->event.get());
  // Reports the directory of slot i as deleted and stops reading it.
  auto release = [&](size_t i) {
    Drop(*slots[i]);
    slots.erase(slots.begin() + std::ptrdiff_t(i));
    waits.erase(waits.begin() + std::ptrdiff_t(i) + 1);
  };
  while (!Terminated()) {
    const DWORD r = WaitForMultipleObjects(DWORD(waits.size()), waits.data(), FALSE, kGoneCheckMs);
    if (r == WAIT_TIMEOUT) {
      // A watched directory that is deleted or waiting to be deleted: report it and let go of it.
      for (size_t i = slots.size(); i-- > 0;)
        if (DirectoryGoneOrPending(slots[i]->directory)) release(i);
      continue;
    }
    if (r == WAIT_OBJECT_0 || r < WAIT_OBJECT_0 || r >= WAIT_OBJECT_0 + waits.size()) break;
    const size_t index = r - WAIT_OBJECT_0 - 1;
    Slot& slot = *slots[index];
    DWORD bytes = 0;
    const bool ok = GetOverlappedResult(slot.handle.get(), &slot.overlapped, &bytes, FALSE) != FALSE;
    slot.pending = false;
    if (ok) Parse(slot, bytes);
    Read(slot);
    // The directory went away or cannot be read any longer (a deleted directory completes its
    // read with an error): let go of it, so that its deletion can end.
    if (!slot.pending) release(index);
  }
  for (const auto& slot : slots) {
    if (!slot->pending || !slot->handle) continue;
    CancelIo(slot->handle.get());
    DWORD bytes = 0;
    GetOverlappedResult(slot->handle.get(), &slot->overlapped, &bytes, TRUE);
  }
}

}  // namespace zelnor
