// The package: every component of the library on the designer palette.
//   KivPalettePage             the palette page the components are listed on
//   RegisterZelnorComponents   makes every component known to the form reader and the palette
//   ZelnorPaletteClasses       the page's class names, in the order the palette lists them
//
// An application calls RegisterZelnorComponents once before it reads a form that holds any of
// the components; calling it again is harmless.
#pragma once

#include "host/core/SysUtils.h"

#include <vector>

namespace zelnor {

inline constexpr const char* KivPalettePage = "KIV Software";

void RegisterZelnorComponents();
std::vector<host::String> ZelnorPaletteClasses();

}  // namespace zelnor
