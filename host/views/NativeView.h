// The base of the host's views over a common control (list view, tree view).
//   TCustomNativeView   what every such view does the same way: its defaults (window colour,
//                       Tab stop), the window class and the style bits it manages, messages to
//                       the control, its image-list slots, custom draw through a lent canvas,
//                       painting through an off-screen bitmap, and the platform's hit-test
//                       flags as THitTests
#pragma once

#include "host/forms/Controls.h"
#include "host/graphics/Graphics.h"
#include "host/views/ComCtrls.h"

#include <windows.h>
#include <commctrl.h>

#include <initializer_list>
#include <utility>
#include <vector>

namespace host {

class TCustomNativeView : public TWinControl {
  HOST_CLASS(TCustomNativeView, TWinControl)
  // A view of `width` x `height` in the window colour that takes the focus with Tab.
  TCustomNativeView(TComponent* owner, int width, int height);

  // The canvas lent to custom-draw handlers while a paint stage runs.
  TCanvas* Canvas() { return &canvas_; }

 protected:
  // ---- Window
  // The common control's window class (WC_LISTVIEWW, WC_TREEVIEWW).
  virtual const wchar_t* NativeClassName() const = 0;
  // The style bits the view's properties decide, and their values now.
  virtual DWORD ManagedStyles() const = 0;
  virtual DWORD StyleBits() const = 0;
  // The control's class with the managed style bits, a Tab stop and a sunken edge.
  void CreateParams(TCreateParams& params) override;
  // Unicode notifications, then the image lists.
  void CreateWnd() override;
  // Puts changed managed style bits on an existing window and redraws it.
  void UpdateStyle();
  // Sends to the window; 0 when there is none.
  LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;

  // ---- Image lists
  // Makes `slot` (a member of the view) one of the lists handed to every new window and let go
  // of when its list is freed.
  void AddImageSlot(TViewImages& slot) { imageSlots_.push_back(&slot); }
  void ApplyImages();
  void Notification(TComponent* component, TOperation operation) override;

  // ---- Notifications reflected from the parent
  // CN_NOTIFY goes to CNNotify; NM_CUSTOMDRAW is answered here.
  void WndProc(TMessage& message) override;
  // Notifications other than custom draw; the default passes them on to TWinControl.
  virtual void CNNotify(TMessage& message);

  // ---- Custom draw
  // The parts of NM_CUSTOMDRAW the views share: NMLVCUSTOMDRAW and NMTVCUSTOMDRAW begin with it.
  struct CustomDrawInfo {
    NMCUSTOMDRAW nmcd;
    COLORREF clrText;
    COLORREF clrTextBk;
  };
  // Whether handlers want `target` drawn at `stage`.
  virtual bool IsCustomDrawn(TCustomDrawTarget target, TCustomDrawStage stage) = 0;
  // Custom drawing of the whole control; answers whether the control draws as usual.
  virtual bool CustomDraw(const RECT& rect, TCustomDrawStage stage) = 0;
  // Custom drawing of the item the stage is about, with the canvas lent; false in `found` when
  // the view knows no such item. Answers whether the control draws the item as usual; clearing
  // `paintImages` leaves its images out.
  virtual bool CustomDrawItemOf(const NMCUSTOMDRAW& draw, TCustomDrawState state,
                                TCustomDrawStage stage, bool& paintImages, bool& found) = 0;
  // The answer to one NM_CUSTOMDRAW; a view with more stages (sub-items) extends it.
  virtual LRESULT CustomDrawNotify(CustomDrawInfo& draw);

  // ---- Buffered painting
  // Answers WM_PAINT by letting the control paint the whole client area into a bitmap filled
  // with BufferBackground first, which then covers the invalid part in one copy; without the
  // bitmap the control paints straight onto the window.
  void PaintBuffered(TMessage& message);
  // The colour under the control's painting; the view's colour by default.
  virtual COLORREF BufferBackground() const;

  // ---- Hit tests
  // The THitTests of the platform's `flags`, through a table of flag and test.
  static THitTests HitTestsOf(UINT flags,
                              std::initializer_list<std::pair<UINT, THitTest>> table);

 private:
  TCanvas canvas_;
  std::vector<TViewImages*> imageSlots_;
};

}  // namespace host
