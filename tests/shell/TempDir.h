// Temporary folder for a test: a unique subfolder of the user's temp folder, removed with all
// it holds when the object goes away; links inside it are removed, never followed.
//   TempDir dir;                       // C:\users\...\Temp\zt-<pid>-<n>\ (no trailing backslash)
//   dir.Path() / dir.PathW()           the folder itself
//   dir.File("a.txt", "text")          creates a file (UTF-8 name, relative), returns its full path
//   dir.Folder("sub\\deeper")          creates folders, returns the full path
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <string>

#include "host/core/SysUtils.h"
#include "Outside.h"

namespace testing_support {

class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp) + L"zt-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++);
    // Process ids come again in a reused prefix: what an earlier, killed run left goes first.
    Remove(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempDir() { Remove(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::wstring& PathW() const { return path_; }
  std::string Path() const { return host::ToUtf8(path_); }

  // Creates (or overwrites) a file below the folder; `relative` is UTF-8.
  std::string File(const std::string& relative, const std::string& content = {}) const {
    const std::wstring full = path_ + L"\\" + host::ToWide(relative);
    HANDLE h = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      if (!content.empty()) WriteFile(h, content.data(), DWORD(content.size()), &written, nullptr);
      CloseHandle(h);
    }
    return host::ToUtf8(full);
  }

  // Creates a folder chain below the folder; `relative` is UTF-8 with backslashes.
  std::string Folder(const std::string& relative) const {
    std::wstring full = path_;
    const std::wstring rest = host::ToWide(relative);
    size_t start = 0;
    while (start <= rest.size()) {
      size_t end = rest.find(L'\\', start);
      if (end == std::wstring::npos) end = rest.size();
      if (end > start) {
        full += L"\\" + rest.substr(start, end - start);
        CreateDirectoryW(full.c_str(), nullptr);
      }
      start = end + 1;
    }
    return host::ToUtf8(full);
  }

 private:
  static void Remove(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring full = folder + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
          // A link (a junction, or a Unix link under Wine) goes itself; what it points to stays,
          // and a link back up cannot make the walk loop.
          RemoveLink(full);
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          Remove(full);
        } else {
          SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileW(full.c_str());
        }
      } while (FindNextFileW(h, &data));
      FindClose(h);
    }
    RemoveDirectoryW(folder.c_str());
  }

  // Removes the link itself, by whichever way the platform takes: a junction as a folder, a
  // link opened as itself, and under Wine a Unix link by the system's rm.
  static void RemoveLink(const std::wstring& link) {
    if (RemoveDirectoryW(link.c_str()) || DeleteFileW(link.c_str())) return;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE h = CreateFileW(link.c_str(), DELETE, share, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT |
                               FILE_FLAG_DELETE_ON_CLOSE,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    const std::string unixLink = UnixName(link);
    if (!unixLink.empty())
      RunOutside("/bin/rm", {"-f", unixLink},
                 [&] { return GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; });
  }

  std::wstring path_;
};

}  // namespace testing_support
