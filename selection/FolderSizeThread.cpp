// Background folder sizes and the stack of open directory searches.
//   TKivFolderSizeThread   construction, the walk, folder identities once links appear
//   TKivStack              push, pop, clean-up
#include "selection/FolderSizeThread.h"

#include "host/core/Raii.h"

#include <cstring>

namespace zelnor {

namespace {

bool IsDotFolder(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

int64_t EntrySize(const WIN32_FIND_DATAW& data) {
  return int64_t((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

// One directory search with the platform's cheapest listing: no short names, large buffers.
host::FindHandle FindFirst(const host::WideString& pattern, WIN32_FIND_DATAW& data) {
  return host::FindHandle{FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH)};
}

}  // namespace

// ---- TKivFolderSizeThread

TKivFolderSizeThread::TKivFolderSizeThread(const host::String& path) : path_(path) {
  SetPriority(host::tpHigher);
}

void TKivFolderSizeThread::Execute() {
  host::ErrorModeGuard noErrorBoxes;
  const host::WideString wide = host::ToWide(path_);
  if (wide.empty()) return;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;  // vanished: nothing is counted
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    if (path_.back() != '\\') path_ += '\\';
    ScanFolder(path_);
    return;
  }
  WIN32_FIND_DATAW data;
  host::FindHandle search = FindFirst(wide, data);
  if (!search) return;
  byteTotal_ += EntrySize(data);
  fileCount_ += 1;
}

void TKivFolderSizeThread::ScanFolder(const host::String& folder) { ScanFolderW(host::ToWide(folder)); }

bool TKivFolderSizeThread::EnterFolder(const host::WideString& folder) {
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

void TKivFolderSizeThread::WatchForRevisits() {
  if (watching_) return;
  watching_ = true;
  for (const host::WideString& folder : walking_) EnterFolder(folder);
}

void TKivFolderSizeThread::ScanFolderW(const host::WideString& folder) {
  if (watching_ && !EnterFolder(folder)) return;
  walking_.push_back(folder);
  WIN32_FIND_DATAW data;
  host::FindHandle search = FindFirst(folder + L'*', data);
  if (search) {
    do {
      if (Terminated()) break;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (!IsDotFolder(data.cFileName)) {
          if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) WatchForRevisits();
          host::WideString sub = folder;
          sub += data.cFileName;
          sub += L'\\';
          ScanFolder(host::ToUtf8(sub));
        }
      } else {
        byteTotal_ += EntrySize(data);
        fileCount_ += 1;
      }
    } while (FindNextFileW(search.get(), &data));
  }
  walking_.pop_back();
}

// ---- TKivStack

TKivStack::~TKivStack() = default;

void TKivStack::Push(host::FindHandle handle, const host::String& name) {
  if (!handle) return;
  currentPath_ += name;
  if (currentPath_.empty() || currentPath_.back() != '\\') currentPath_ += '\\';
  handles_.push_back(std::move(handle));
}

host::FindHandle TKivStack::Pop() {
  // The last folder is everything after the last backslash before the final character.
  const size_t cut = currentPath_.size() >= 2 ? currentPath_.rfind('\\', currentPath_.size() - 2)
                                              : host::String::npos;
  if (cut == host::String::npos) {
    currentPath_.clear();
  } else {
    currentPath_.resize(cut + 1);
  }
  if (handles_.empty()) {
    currentPath_.clear();
    return {};
  }
  host::FindHandle top = std::move(handles_.back());
  handles_.pop_back();
  if (handles_.empty()) currentPath_.clear();
  return top;
}

void TKivStack::Clear() {
  handles_.clear();
  currentPath_.clear();
}

}  // namespace zelnor
