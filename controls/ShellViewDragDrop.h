// OLE drag and drop of the shell views with the shell's own data objects and drop targets,
// written once for the tree, the list and the file list.
//   AUTOSCROLL_DELAY_MS, AUTOSCROLL_THRESHOLD_X, AUTOSCROLL_THRESHOLD_Y, AUTOEXPAND_DELAY_MS
//   AutoScrollThreshold     the edge zones of a window that scroll while dragging
//   AutoScrollStep          one line of scrolling towards the edge the point lies in
//   CopyModeEffects         the drop effects a copy mode allows
//   DragOperations, DropOperations   what a drag from a view or a drop onto it reports
//   ShellDropTarget, ShellDropTargetOf   the shell's drop target of an object
//   TKivShellDragDrop       the IDropTarget and IDropSource of one view: the kept data object, the
//                           target under the mouse, the effects, hover and scroll times, the
//                           registration with the view's windows, the drag out of the view. What
//                           the views do differently (what lies under the mouse, its highlight,
//                           what is refreshed after, whether a drop is the view's own) are its
//                           hooks.
//
// The views never copy or move anything themselves: a drop goes to the shell's target of the
// object under the mouse (or, in a view that takes drops itself, only names the files to it), a
// drag hands the shell's data object of the dragged objects to DoDragDrop. Effects never exceed
// both what the source offers and what CopyMode allows.
#pragma once

#include <windows.h>
#include <oleidl.h>
#include <shlobj.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "host/core/Raii.h"
#include "host/core/StringList.h"
#include "host/forms/Controls.h"
#include "host/forms/DropTargetRegistration.h"
#include "shell/ShellOperations.h"
#include "shell/Zelnor.h"

namespace zelnor {

// Minimum time between two auto-scroll steps while dragging over a view.
inline constexpr int32_t AUTOSCROLL_DELAY_MS = 100;
// Width of the left and right edge zones that scroll horizontally (pixels at 96 DPI).
inline constexpr int32_t AUTOSCROLL_THRESHOLD_X = 25;
// Height of the top and bottom edge zones that scroll vertically (pixels at 96 DPI).
inline constexpr int32_t AUTOSCROLL_THRESHOLD_Y = 20;
// Time the mouse stays over one node before the node opens.
inline constexpr int32_t AUTOEXPAND_DELAY_MS = 2000;

// The edge zones of `window` (cx horizontal, cy vertical), the thresholds scaled to the window's
// DPI; every use of the thresholds goes through here.
SIZE AutoScrollThreshold(HWND window);
// Scrolls `window` one line on each axis whose edge zone holds the client point, when that axis
// can scroll. True when it scrolled.
bool AutoScrollStep(HWND window, POINT client);

// DROPEFFECT_COPY | MOVE | LINK for cmDefault, else the mode's one effect.
DWORD CopyModeEffects(TKivCopyMode mode);
// {sopCopy, sopDrag}, {sopMove, sopDrag, sopRemove} or {sopDrag}; none for DROPEFFECT_NONE.
TKivShellOperations DragOperations(DWORD effect);
// {sopCopy, sopDrop}, {sopMove, sopDrop} or {sopDrop}; none for DROPEFFECT_NONE.
TKivShellOperations DropOperations(DWORD effect);

// The shell's IDropTarget of `child` in `folder`; nil when the folder has none for it.
host::ComPtr<IDropTarget> ShellDropTarget(HWND owner, IShellFolder* folder, PCItemIDList child);
// The shell's IDropTarget of the object at an absolute list; the desktop's is the desktop
// directory's.
host::ComPtr<IDropTarget> ShellDropTargetOf(HWND owner, PCItemIDList absolute);

class TKivShellDragDrop : public IDropTarget, public IDropSource {
 public:
  // What lies under the mouse: a node or an item of the view; nullptr is the view's background.
  using TSpot = host::TObject*;
  using TClock = std::function<DWORD()>;
  // The objects of a drag out of the view: relative lists of one folder, or (`absolute`)
  // absolute lists of any folders, whose attributes each parent folder answers and whose data
  // object is ItemsDataObject's.
  struct TDragItems {
    host::ComPtr<IShellFolder> folder;  // unused for absolute lists
    std::vector<UniquePidl> lists;
    bool absolute = false;
  };

  explicit TKivShellDragDrop(host::TWinControl& view);
  virtual ~TKivShellDragDrop();
  TKivShellDragDrop(const TKivShellDragDrop&) = delete;
  TKivShellDragDrop& operator=(const TKivShellDragDrop&) = delete;

  // ---- Settings
  bool OleDragDrop() const { return oleDragDrop_; }
  // Outside the designer and loading: registers the view's windows as a drop target (once per
  // window, again with each new window) or revokes them; a window that refuses turns it off.
  // The view's DragMode follows: automatic while on.
  void SetOleDragDrop(bool value);
  TKivCopyMode CopyMode() const { return copyMode_; }
  // cmLink is stored instead while CreateLinkOnDrop is on.
  void SetCopyMode(TKivCopyMode mode);
  bool CreateLinkOnDrop() const { return createLinkOnDrop_; }
  void SetCreateLinkOnDrop(bool value) { createLinkOnDrop_ = value; }
  // The view's window came or loading ended: the registration follows OleDragDrop.
  void UpdateRegistration();
  bool Registered() const { return registration_.Registered(); }
  // Milliseconds of the hover and scroll times (GetTickCount unless a test sets its own).
  void SetClock(TClock clock) { clock_ = std::move(clock); }

  // ---- State of a drag over the view
  IDataObject* DataObject() const { return dataObject_.Get(); }
  TSpot DropSpot() const { return spot_; }
  DWORD LastEffect() const { return lastEffect_; }
  // MK_LBUTTON, MK_RBUTTON or MK_MBUTTON while the view is the source of a drag, else 0.
  DWORD DragButton() const { return dragButton_; }
  // A spot that goes (deleted node or item): its highlight and target are let go at once, its
  // target told DragLeave.
  void Forget(TSpot spot);

  // ---- The view as drag source
  // Drags the view's objects (DragItems) with the effects of CopyMode that the folder allows.
  void BeginOleDrag(host::TMouseButton button);

  // ---- IUnknown: the view's lifetime is its owner's; counting never frees it.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // ---- IDropTarget: points in screen coordinates.
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* dataObject, DWORD keyState, POINTL point,
                                      DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* dataObject, DWORD keyState, POINTL point,
                                 DWORD* effect) override;
  // ---- IDropSource
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

 protected:
  // ---- Hooks: what the views do differently
  // The node or item at a client point; nullptr for none.
  virtual TSpot SpotAt(POINT client) = 0;
  // The shell's target of a spot; nil when it has none.
  virtual host::ComPtr<IDropTarget> SpotTarget(TSpot spot) = 0;
  // The target of the view's background (the folder it shows); nil by default.
  virtual host::ComPtr<IDropTarget> BackgroundTarget() { return nullptr; }
  virtual void Highlight(TSpot spot, bool on) = 0;
  // Whether a spot whose target refuses keeps its highlight (else the background takes over).
  virtual bool HighlightsRefusedSpot() const { return false; }
  // The mouse has stayed over the spot for AUTOEXPAND_DELAY_MS.
  virtual void HoverElapsed(TSpot) {}
  // The path a drop onto the spot reports (nullptr: the background).
  virtual String Destination(TSpot spot) = 0;
  // After a drop onto the spot (nullptr when it went meanwhile).
  virtual void Dropped(TSpot) {}
  virtual bool ReadOnly() const = 0;
  // OnBeforeShellDrop of the view: `target` is the spot, or the view for its background (a
  // view that takes drops itself: the spot, nullptr for none).
  virtual void BeforeDrop(host::TObject* target, host::TStrings* files, bool& execute) = 0;
  // A view that takes drops itself: while dragging it answers one effect the source offers and
  // highlights the spot under the mouse; a drop hands it the files (after BeforeDrop) and
  // answers DROPEFFECT_NONE, so the source keeps them. No shell target is asked.
  virtual bool TakesDrops() const { return false; }
  virtual void TakeDrop(host::TStrings&) {}
  // The view's Operation.
  virtual void Report(TKivShellOperations operations, std::unique_ptr<host::TStrings> files,
                      const String& destination) = 0;
  // The objects to drag; false when there are none.
  virtual bool DragItems(TDragItems& items) = 0;
  // After DoDragDrop has returned and the messages meanwhile were handled.
  virtual void DragEnded() {}

  host::TWinControl& View() const { return view_; }

 private:
  bool Designing() const { return view_.Has(host::TComponentStateFlag::csDesigning); }
  bool Loading() const { return view_.Has(host::TComponentStateFlag::csLoading); }
  DWORD Now() const { return clock_(); }
  // Follows the mouse: the spot under it and its target, auto-scroll, the hover; the effect the
  // target under it answers within `allowed`.
  DWORD Track(DWORD keyState, POINTL point, DWORD allowed);
  void MoveTo(TSpot spot, DWORD keyState, POINTL point, DWORD allowed);
  // The target that takes the drop now: the spot's, else the background's unless the view's own
  // objects would be dropped into their own folder with the left or middle button.
  IDropTarget* CurrentTarget() const;
  // Lets go of the spot's target (DragLeave when it had DragEnter) and its highlight.
  void LeaveSpot();
  void LeaveAll();
  // A drop the view takes itself.
  HRESULT TakeOwnDrop(IDataObject* dataObject, DWORD* effect);
  // SFGAO_CANCOPY | CANMOVE | CANLINK of all the items, ANDed.
  static SFGAOF DragAttributes(const TDragItems& items);
  HRESULT DoDrop(IDataObject* dataObject, DWORD keyState, POINTL point, DWORD* effect);

  host::TWinControl& view_;
  bool oleDragDrop_ = true;
  TKivCopyMode copyMode_ = cmDefault;
  bool createLinkOnDrop_ = false;
  host::TDropTargetRegistration registration_;
  TClock clock_;
  LONG references_ = 0;

  host::ComPtr<IDataObject> dataObject_;
  host::ComPtr<IDropTarget> background_;  // had DragEnter while set
  host::ComPtr<IDropTarget> spotTarget_;  // had DragEnter while set
  TSpot spot_ = nullptr;
  bool highlighted_ = false;
  DWORD keys_ = 0;  // mouse buttons of the last DragOver
  DWORD lastEffect_ = DROPEFFECT_NONE;
  DWORD lastScroll_ = 0;
  DWORD hoverStart_ = 0;
  bool hoverElapsed_ = false;
  DWORD dragButton_ = 0;
};

}  // namespace zelnor
