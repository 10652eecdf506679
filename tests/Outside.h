// What another program does to the file system, behind this process's back.
//   RunOutside                runs a Unix program on Windows paths, until a condition holds
//   RemoveFolderFromOutside   removes an empty folder as another program would
//   LinkFromOutside           a Unix symbolic link, which Wine shows as a reparse point
//   FilesFromOutside          files made by name exactly as given (case and all)
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// The Unix name of `path` under Wine; empty elsewhere or when it has none.
inline std::string UnixName(const std::wstring& path) {
  using UnixFileName = char*(CDECL*)(LPCWSTR);
  const auto unixName = reinterpret_cast<UnixFileName>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  if (!unixName) return {};
  char* name = unixName(path.c_str());
  if (!name) return {};
  std::string out = name;
  HeapFree(GetProcessHeap(), 0, name);
  return out;
}

// Runs the Unix program `program` (a Unix path) with `arguments` (already Unix names), then
// waits up to 10 s for `done`: Wine hands out no handle for a Unix program, so what it leaves
// behind tells the outcome. False when it could not be started or `done` never held.
inline bool RunOutside(const std::string& program, const std::vector<std::string>& arguments,
                       const std::function<bool()>& done) {
  std::wstring command = L"\"" + std::wstring(program.begin(), program.end()) + L"\"";
  for (const std::string& argument : arguments) {
    command += L" \"";
    for (char c : argument) command += wchar_t(static_cast<unsigned char>(c));
    command += L'"';
  }
  const std::wstring image = L"Z:" + std::wstring(program.begin(), program.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(image.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return false;
  if (process.hProcess) {
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
  }
  if (process.hThread) CloseHandle(process.hThread);
  for (int waited = 0; waited < 10000; waited += 20) {
    if (done()) return true;
    Sleep(20);
  }
  return false;
}

// Removes the empty folder `folder` as a program other than this one would. Under Wine the
// folder's Unix twin is removed by the system's own rmdir, so that Wine's handles on the folder do
// not keep it waiting to be deleted; elsewhere the platform removes it. False when it could not.
inline bool RemoveFolderFromOutside(const std::wstring& folder) {
  const std::string unixFolder = UnixName(folder);
  if (unixFolder.empty()) return RemoveDirectoryW(folder.c_str()) != FALSE;
  return RunOutside("/bin/rmdir", {unixFolder}, [&] {
    return GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
  });
}

// A symbolic link `link` to the folder `target`, made by the system's ln; false without Wine.
inline bool LinkFromOutside(const std::wstring& link, const std::wstring& target) {
  const std::string unixTarget = UnixName(target);
  const std::string unixLink = UnixName(link);
  if (unixTarget.empty() || unixLink.empty()) return false;
  return RunOutside("/bin/ln", {"-s", unixTarget, unixLink}, [&] {
    return GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
  });
}

// Files in `folder`, each made under its name as given with its text (plain letters and digits):
// Wine opens a name that differs from an existing one only in case as that one, the system's
// shell does not. False without Wine.
inline bool FilesFromOutside(const std::wstring& folder,
                             const std::vector<std::pair<std::string, std::string>>& files) {
  const std::string unixFolder = UnixName(folder);
  if (unixFolder.empty()) return false;
  std::string script;
  for (const auto& [name, text] : files)
    script += "printf '" + text + "' > '" + unixFolder + "/" + name + "'; ";
  script += "touch '" + unixFolder + "/.made'";
  const std::wstring marker = folder + L"\\.made";
  const bool made = RunOutside("/bin/sh", {"-c", script}, [&] {
    return GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
  });
  DeleteFileW(marker.c_str());
  return made;
}

}  // namespace testing_support
