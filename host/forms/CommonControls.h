// Which common-controls library the process runs with.
//   UsesCommonControls6   true when version 6 (visual styles) is loaded
#pragma once

namespace host {

// Asked of the loaded module itself: under Wine the version resource says 5.81 even for the
// side-by-side version 6 that the manifest selects.
bool UsesCommonControls6();

}  // namespace host
