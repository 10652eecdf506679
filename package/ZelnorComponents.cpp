// The package's registration: one table of the palette's components, in palette order.
#include "package/ZelnorComponents.h"

#include "controls/FileList.h"
#include "controls/ShellCombo.h"
#include "controls/ShellList.h"
#include "controls/ShellTree.h"
#include "dialogs/KivDialogs.h"
#include "extras/DropFiles.h"
#include "extras/FolderCombo.h"
#include "extras/PathEdit.h"
#include "extras/PathLabel.h"
#include "extras/ShellChangeNotifier.h"
#include "extras/ThumbnailImage.h"
#include "host/core/Streaming.h"
#include "link/ShellLink.h"
#include "shell/SystemImageList.h"
#include "shell/Zelnor.h"

namespace zelnor {

namespace {

using host::ComponentClass;

// One line per component. The palette lists the navigator and the system image list, the link,
// the shell tree, list and combo, the change notifier, the file list, the path, folder and
// thumbnail widgets, the drop target, and last the dialogs.
std::vector<host::TComponentClass> PaletteComponents() {
  return {
      ComponentClass<TZelnor>(),
      ComponentClass<TKivSystemImageList>(),
      ComponentClass<TKivShellLink>(),
      ComponentClass<TKivShellTree>(),
      ComponentClass<TKivShellList>(),
      ComponentClass<TKivShellCombo>(),
      ComponentClass<TKivShellChangeNotifier>(),
      ComponentClass<TKivFileList>(),
      ComponentClass<TKivPathLabel>(),
      ComponentClass<TKivPathEdit>(),
      ComponentClass<TKivFolderCombo>(),
      ComponentClass<TKivThumbnailImage>(),
      ComponentClass<TKivDropFiles>(),
      ComponentClass<TKivBrowseForFolder>(),
      ComponentClass<TKivFileOperation>(),
      ComponentClass<TKivNetConnectionDialog>(),
      ComponentClass<TKivNetDisconnectDialog>(),
  };
}

}  // namespace

void RegisterZelnorComponents() {
  for (const host::TComponentClass& c : PaletteComponents())
    host::RegisterComponents(KivPalettePage, {c});
}

std::vector<host::String> ZelnorPaletteClasses() {
  std::vector<host::String> names;
  for (const host::TComponentClass& c : PaletteComponents()) names.push_back(c.Name());
  return names;
}

}  // namespace zelnor
