// The shown-object test of the shell controls.
#include "shell/ShowOptions.h"

#include "shell/Zelnor.h"

namespace zelnor {

bool IsShownObject(TZelnor& navigator, TKivShellShowOptions options) {
  if (!options.Contains(soShowHidden) && navigator.IsHidden()) return false;
  // IsSpecialObject compares against every special folder: ask it once, only when needed.
  const bool needSpecial =
      !options.Contains(soShowNethood) || !options.Contains(soShowRecycleBin);
  const TKivShellFolder special = needSpecial ? navigator.IsSpecialObject() : SF_FILESYSTEMFOLDER;
  if (!options.Contains(soShowNethood) && (special == SF_NETHOOD || special == SF_NETWORK))
    return false;
  if (!options.Contains(soShowRecycleBin)) {
    if (special == SF_BITBUCKET) return false;
    const String name = navigator.GetObjectName();
    if (name.size() >= 6 && host::SameText(std::string_view(name).substr(0, 6), "RECYCL") &&
        navigator.IsHidden())
      return false;
  }
  return options.Contains(soShowFiles) || navigator.IsFolder();
}

}  // namespace zelnor
