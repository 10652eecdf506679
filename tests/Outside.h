// What another program does to the file system, behind this process's back.
//   RemoveFolderFromOutside   removes an empty folder as another program would
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// Removes the empty folder `folder` as a program other than this one would. Under Wine the
// folder's Unix twin is removed by the system's own rmdir, so that Wine's handles on the folder do
// not keep it waiting to be deleted; elsewhere the platform removes it. False when it could not.
inline bool RemoveFolderFromOutside(const std::wstring& folder) {
  using UnixFileName = char*(CDECL*)(LPCWSTR);
  const auto unixName = reinterpret_cast<UnixFileName>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  if (!unixName) return RemoveDirectoryW(folder.c_str()) != FALSE;
  char* path = unixName(folder.c_str());
  if (!path) return false;
  std::wstring command = L"/bin/rmdir \"";
  for (const char* p = path; *p; ++p) command += wchar_t(static_cast<unsigned char>(*p));
  command += L'"';
  HeapFree(GetProcessHeap(), 0, path);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(L"Z:\\bin\\rmdir", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process))
    return false;
  // Wine hands out no handle for a Unix program: the folder's disappearance tells the outcome.
  if (process.hProcess) {
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
  }
  if (process.hThread) CloseHandle(process.hThread);
  for (int waited = 0; waited < 10000; waited += 20) {
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    Sleep(20);
  }
  return false;
}

}  // namespace testing_support
