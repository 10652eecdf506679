// Types shared by the host's common-control views (list view, tree view, combo box).
//   TCustomDrawTarget/Stage/State  what a custom-draw handler is asked about
//   THitTest, THitTests            where a point lies relative to an item
//   TOwnerDrawState, GetOwnerDrawState  the state of an owner-drawn item
//   CustomDrawCanvas               a canvas lent to custom-draw handlers for one paint stage
//   TViewImages                    one image list a view shows, followed through its changes
#pragma once

#include "host/forms/Controls.h"
#include "host/graphics/Graphics.h"
#include "host/graphics/ImageList.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>

namespace host {

enum TCustomDrawTarget { dtControl, dtItem, dtSubItem };
enum TCustomDrawStage { cdPrePaint, cdPostPaint, cdPreErase, cdPostErase };

// Set of custom-draw item states; the bits are those of the platform's CDIS_ values.
using TCustomDrawState = unsigned;
constexpr unsigned cdsSelected = CDIS_SELECTED, cdsGrayed = CDIS_GRAYED,
                   cdsDisabled = CDIS_DISABLED, cdsChecked = CDIS_CHECKED,
                   cdsFocused = CDIS_FOCUS, cdsDefault = CDIS_DEFAULT, cdsHot = CDIS_HOT,
                   cdsMarked = CDIS_MARKED, cdsIndeterminate = CDIS_INDETERMINATE;

// Where a point lies; a THitTests value is a set with bit (1 << THitTest).
enum THitTest {
  htAbove, htBelow, htNowhere, htOnItem, htOnButton, htOnIcon, htOnIndent, htOnLabel,
  htOnRight, htOnStateIcon, htToLeft, htToRight
};
using THitTests = unsigned;
constexpr THitTests HitBit(THitTest test) { return 1u << unsigned(test); }

// Set of owner-draw states; the bits are those of the platform's ODS_ values.
using TOwnerDrawState = unsigned;
constexpr unsigned odSelected = ODS_SELECTED, odGrayed = ODS_GRAYED, odDisabled = ODS_DISABLED,
                   odChecked = ODS_CHECKED, odFocused = ODS_FOCUS, odDefault = ODS_DEFAULT,
                   odHotLight = ODS_HOTLIGHT, odInactive = ODS_INACTIVE, odNoAccel = ODS_NOACCEL,
                   odNoFocusRect = ODS_NOFOCUSRECT, odComboBoxEdit = ODS_COMBOBOXEDIT;
// The owner-draw state of a DRAWITEMSTRUCT's itemState.
inline TOwnerDrawState GetOwnerDrawState(UINT itemState) {
  return itemState & (odSelected | odGrayed | odDisabled | odChecked | odFocused | odDefault |
                      odHotLight | odInactive | odNoAccel | odNoFocusRect | odComboBoxEdit);
}

// Lends `canvas` the paint stage's device context for the lifetime of the guard. Its font starts
// as `font` with the stage's text colour and its brush as the text background; afterwards
// Changed() tells whether a handler changed the font face or style (the control must then select
// the canvas font and ask for it to be used) and TextColor/BackColor give the colours to draw
// with.
class CustomDrawCanvas {
 public:
  CustomDrawCanvas(TCanvas* canvas, HDC dc, TFont* font, COLORREF text, COLORREF back);
  ~CustomDrawCanvas();
  CustomDrawCanvas(const CustomDrawCanvas&) = delete;
  CustomDrawCanvas& operator=(const CustomDrawCanvas&) = delete;

  bool FontChanged() const;
  COLORREF TextColor() const;
  COLORREF BackColor() const;
  // Releases the context; with a changed font, selects the canvas font into it and answers true.
  bool Release();

 private:
  TCanvas* canvas_;
  HDC dc_;
  LOGFONTW before_;
  bool released_ = false;
};

// One image-list slot of a view (small, large, state...). It holds a free notification and a
// change link on the list, and hands the list's current handle (or none) to the view's window
// through `apply` whenever the list, its handle or its size changes. The view forwards its
// Notification calls to Removed.
class TViewImages {
 public:
  TViewImages(TWinControl* view, std::function<void(HIMAGELIST)> apply);
  ~TViewImages();
  TViewImages(const TViewImages&) = delete;
  TViewImages& operator=(const TViewImages&) = delete;

  TCustomImageList* Get() const { return images_; }
  void Set(TCustomImageList* images);
  // Hands the current handle to the window, when there is one (a new window asks for this).
  void Apply() const;
  // The view's Notification: a list going away is let go of.
  void Removed(TComponent* component, TOperation operation);

 private:
  TWinControl* view_;
  std::function<void(HIMAGELIST)> apply_;
  TCustomImageList* images_ = nullptr;
  TChangeLink link_;
};

}  // namespace host
