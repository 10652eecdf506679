// The data object of a drag whose objects lie in several folders.
//   ItemsDataObject    the shell's data object when one folder holds every object; else one of
//                      our own with CF_HDROP (the paths) and "Shell IDList Array" (the deepest
//                      folder above them all, and each object's list below it), which drop
//                      targets take as they take the shell's
//
// The shell's data objects take the children of one folder (Wine's keeps only the first element
// of a longer list), so objects of several folders need one made here. Formats a drop target
// sets on it (its preferred or performed effect) are kept and handed back.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <vector>

#include "host/core/Raii.h"
#include "shell/ShellWin32.h"

namespace zelnor {

// Nil for no objects, or when the shell cannot make its data object of one folder's objects.
host::ComPtr<IDataObject> ItemsDataObject(HWND owner, const std::vector<UniquePidl>& absolute);

}  // namespace zelnor
