// The check boxes of the tree, the list and the file list.
//   TOnCheckStateChanged          a click on a box changed the link's selection list
//   TKivSelectionStateImageList   five boxes (16 x 16 at 96 DPI) in the order of TKivSelectionState
#pragma once

#include "host/graphics/ImageList.h"
#include "selection/KivSelectionList.h"

#include <functional>
#include <memory>

namespace zelnor {

// A click on a check box changed the selection: the item's index (a tree node's absolute index),
// its path and the item's state after the change.
using TOnCheckStateChanged = std::function<void(host::TObject* sender, int itemIndex,
                                                const host::String& path, TKivSelectionState state)>;

// Images by index: 0 unused (empty box on a transparent ground), 1 none (inactive empty box),
// 2 checked, 3 unchecked, 4 grayed (inactive checked box).
class TKivSelectionStateImageList : public host::TCustomImageList {
  HOST_CLASS(TKivSelectionStateImageList, host::TCustomImageList)
  // The boxes are drawn for `ppi` (0: the screen's DPI).
  explicit TKivSelectionStateImageList(host::TComponent* owner = nullptr, int ppi = 0);

  // Draws the boxes again at the size for `ppi` (0: the screen's DPI).
  void SetPixelsPerInch(int ppi);
  int PixelsPerInch() const { return ppi_; }

  // A new bitmap of a check box on a ground of `color`, 16 x 16 with a 13-pixel box at 96 DPI,
  // scaled for `ppi`; `flag` has no effect.
  static std::unique_ptr<host::TBitmap> GetCheckBoxBitmap(bool checked, bool flag, bool grayed,
                                                          host::TColor color, int ppi = 96);

 private:
  void AddBoxes();
  int ppi_ = 0;
};

}  // namespace zelnor
