// Texts and tables shared by the shell controls.
//   TAlignment       left, right or centred text of a column
//   TKivColumnData   caption, alignment and default width of one column
//   ColData          the four columns shown when a folder offers no column provider
#pragma once

#include <array>

#include "host/core/Classes.h"
#include "host/core/SysUtils.h"

namespace zelnor {

// Text alignment of a column: the host's own.
using host::TAlignment;
using host::taCenter;
using host::taLeftJustify;
using host::taRightJustify;

struct TKivColumnData {
  const char* Caption;
  TAlignment Alignment;
  int Width;  // pixels
};

inline constexpr int COLDATA_COUNT = 4;
// Name, Size, Type, Changed.
extern const std::array<TKivColumnData, COLDATA_COUNT> ColData;

}  // namespace zelnor
