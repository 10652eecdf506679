// The fallback column table.
#include "shell/ShellStrings.h"

namespace zelnor {

const std::array<TKivColumnData, COLDATA_COUNT> ColData{{
    {"Name", taLeftJustify, 150},
    {"Size", taRightJustify, 60},
    {"Type", taLeftJustify, 120},
    {"Changed", taLeftJustify, 100},
}};

}  // namespace zelnor
