// The package's dialog components and their registration.
//   TKivBrowseForFolder                                dialogs/BrowseForFolder.h
//   TKivFileOperation                                  dialogs/FileOperation.h
//   TKivNetConnectionDialog, TKivNetDisconnectDialog   dialogs/NetDialogs.h
//   GetDialogParentWindow                              dialogs/DialogOwner.h
//   RegisterDialogComponents                           makes them known to the form reader
#pragma once

#include "dialogs/BrowseForFolder.h"
#include "dialogs/DialogOwner.h"
#include "dialogs/FileOperation.h"
#include "dialogs/NetDialogs.h"

namespace zelnor {

// Makes the four dialog components known to the form reader (harmless to repeat). The package's
// registration puts them on the designer palette.
void RegisterDialogComponents();

}  // namespace zelnor
