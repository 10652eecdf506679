#include "controls/SelectionStateImageList.h"

#include "host/graphics/Dpi.h"

namespace zelnor {

HOST_PROPERTIES(TKivSelectionStateImageList) {}

TKivSelectionStateImageList::TKivSelectionStateImageList(host::TComponent* owner, int ppi)
    : TCustomImageList(owner), ppi_(ppi > 0 ? ppi : host::ScreenPixelsPerInch()) {
  const int size = host::ScaleByDpi(16, UINT(ppi_));
  SetSize(size, size);
  AddBoxes();
}

void TKivSelectionStateImageList::SetPixelsPerInch(int ppi) {
  if (ppi <= 0) ppi = host::ScreenPixelsPerInch();
  if (ppi == ppi_) return;
  ppi_ = ppi;
  BeginUpdate();
  auto end = host::ScopeExit([this] { EndUpdate(); });
  Clear();
  const int size = host::ScaleByDpi(16, UINT(ppi_));
  SetSize(size, size);
  AddBoxes();
}

void TKivSelectionStateImageList::AddBoxes() {
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
    auto bitmap = GetCheckBoxBitmap(look.checked, false, look.grayed, look.ground, ppi_);
    AddMasked(bitmap.get(), look.ground);
  }
}

std::unique_ptr<host::TBitmap> TKivSelectionStateImageList::GetCheckBoxBitmap(
    bool checked, bool /*flag*/, bool grayed, host::TColor color, int ppi) {
  const int size = host::ScaleByDpi(16, UINT(ppi));
  // The box of a check box at this DPI, one pixel off the right and bottom edges.
  const int boxSize = host::ScaleByDpi(13, UINT(ppi));
  auto bitmap = std::make_unique<host::TBitmap>(size, size);
  host::TCanvas* canvas = bitmap->Canvas();
  canvas->Brush()->SetColor(color);
  RECT box = canvas->ClipRect();
  canvas->FillRect(box);
  box.right = size - 1;
  box.bottom = size - 1;
  box.left = box.right - boxSize;
  box.top = box.bottom - boxSize;
  UINT state = DFCS_BUTTONCHECK;
  if (checked) state |= DFCS_CHECKED;
  if (grayed) state |= DFCS_INACTIVE;
  DrawFrameControl(canvas->Handle(), &box, DFC_BUTTON, state);
  return bitmap;
}

}  // namespace zelnor
