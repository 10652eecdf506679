// Icons that many objects share, each looked up once.
//   TKivSharedIcons   plain folders (closed and open) and plain files by extension
//
// Asking the shell for an object's icon by its list costs milliseconds; a plain folder shows the
// folder icon and a plain file the icon of its extension, which the shell answers by name and
// attributes alone. Objects that may carry an icon of their own (drives, special and customised
// folders, links, programs, icon files) are left to the caller.
#pragma once

#include <utility>
#include <vector>

#include "host/core/SysUtils.h"

namespace zelnor {

class TZelnor;

class TKivSharedIcons {
 public:
  // The small-list icon of the navigator's current item when it shares its icon, else -1.
  // `open` asks for the open form (a folder's selected image).
  int IconOf(TZelnor& navigator, bool open);
  // The same for a file-system object by its name and find attributes, without asking the
  // shell about the object itself.
  int IconOfFound(const host::String& name, DWORD attributes, bool open);
  // Forgets what was looked up (the system list may have been rebuilt).
  void Clear();

 private:
  int folder_[2] = {-1, -1};  // closed, open
  std::vector<std::pair<host::String, int>> byExtension_;
};

}  // namespace zelnor
