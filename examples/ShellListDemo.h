// The shell list demo: a form with a link and a shell list on the Documents folder.
#pragma once

#include "host/SysUtils.h"

// Puts a few sample files and folders into the Documents folder when it is empty.
void SeedDocuments();
// The shell list's form file in the examples folder.
host::String ShellListDemoFormFile();
// Registers the shell components with the form reader.
void RegisterShellDemoClasses();
