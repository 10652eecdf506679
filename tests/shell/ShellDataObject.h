// The shell's data object of files in one folder, as a drag from the explorer hands it over.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "host/core/Raii.h"
#include "shell/ShellGlobals.h"
#include "shell/ShellRoutines.h"

namespace testing_support {

// Nil when the folder or one of the names cannot be found.
inline host::ComPtr<IDataObject> ShellDataObject(const zelnor::String& folderPath,
                                                 const std::vector<zelnor::String>& names) {
  zelnor::InitializeShell();
  host::ComPtr<IShellFolder> folder;
  host::ComPtr<IDataObject> data;
  zelnor::UniquePidl folderList = zelnor::GetIdListFromPath(nullptr, folderPath);
  if (!folderList || FAILED(zelnor::BindFolderIdList(folderList.get(), folder))) return data;
  std::vector<zelnor::UniquePidl> children;
  std::vector<PCUITEMID_CHILD> raw;
  for (const zelnor::String& name : names) {
    children.push_back(zelnor::GetIdListFromPath(folder.Get(), name));
    if (!children.back()) return data;
    raw.push_back(reinterpret_cast<PCUITEMID_CHILD>(children.back().get()));
  }
  folder->GetUIObjectOf(nullptr, UINT(raw.size()), raw.data(), IID_IDataObject, nullptr,
                        reinterpret_cast<void**>(data.GetAddressOf()));
  return data;
}

}  // namespace testing_support
