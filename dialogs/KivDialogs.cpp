// Registration of the dialog components with the form reader.
#include "dialogs/KivDialogs.h"

#include "host/core/Streaming.h"

namespace zelnor {

void RegisterDialogComponents() {
  host::RegisterClasses({host::ComponentClass<TKivBrowseForFolder>(),
                         host::ComponentClass<TKivFileOperation>(),
                         host::ComponentClass<TKivNetConnectionDialog>(),
                         host::ComponentClass<TKivNetDisconnectDialog>()});
}

}  // namespace zelnor
