#include "controls/SelectionStateImageList.h"

namespace zelnor {

HOST_PROPERTIES(TKivSelectionStateImageList) {}

TKivSelectionStateImageList::TKivSelectionStateImageList(host::TComponent* owner)
    : TCustomImageList(16, 16, owner) {
  struct Look {
    bool checked, grayed;
    host::TColor ground;
  };
  // White ground masked white leaves only the box frame of the unused state.
  static constexpr Look kLooks[] = {{false, false, host::clWhite},
                                    {false, true, host::clRed},
                                    {true, false, host::clRed},
                                    {false, false, host::clRed},
                                    {true, true, host::clRed}};
  for (const Look& look : kLooks) {
    auto bitmap = GetCheckBoxBitmap(look.checked, false, look.grayed, look.ground);
    AddMasked(bitmap.get(), look.ground);
  }
}

std::unique_ptr<host::TBitmap> TKivSelectionStateImageList::GetCheckBoxBitmap(
    bool checked, bool /*flag*/, bool grayed, host::TColor color) {
  auto bitmap = std::make_unique<host::TBitmap>(16, 16);
  host::TCanvas* canvas = bitmap->Canvas();
  canvas->Brush()->SetColor(color);
  RECT box = canvas->ClipRect();
  canvas->FillRect(box);
  box.left += 2;
  box.top += 2;
  box.right -= 1;
  box.bottom -= 1;
  UINT state = DFCS_BUTTONCHECK;
  if (checked) state |= DFCS_CHECKED;
  if (grayed) state |= DFCS_INACTIVE;
  DrawFrameControl(canvas->Handle(), &box, DFC_BUTTON, state);
  return bitmap;
}

}  // namespace zelnor
