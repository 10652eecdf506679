// The explorer: the demo's main form (examples/Explorer.form) and the handlers it names.
//   SeedDocuments              a few sample files and folders in an empty Documents folder
//   RegisterExplorerClasses    the shell components and the form's event handlers
#pragma once

#include "host/SysUtils.h"

// Puts a few sample files and folders into the Documents folder when it is empty.
void SeedDocuments();
// Registers the shell components and the explorer's handlers with the form reader.
void RegisterExplorerClasses();
