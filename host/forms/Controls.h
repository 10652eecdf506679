// Controls of the host class library: the visual base classes.
//   TAlign, TShiftState, TMouseButton     layout and input vocabulary
//   mouse, key and context events         TMouseEvent, TKeyEvent, ...
//   CM_ and CN_ messages                   control messages and notifications reflected by parents
//   THintInfo                              what CM_HINTSHOW hands a control
//   TCreateParams                          how a windowed control describes its window
//   TControl                               bounds, alignment, font, colour, hint, mouse, Perform,
//                                          scaling to another DPI (ChangeScale)
//   TWinControl                            a window: creation, re-creation, children, focus, keys
//   TCustomControl, TGraphicControl        controls that paint themselves (in a window / on the parent)
//
// Sources: Controls.cpp the control base and window creation, ControlMessages.cpp the window
// procedure and message dispatch, ControlInput.cpp mouse, keys and focus, ControlStreaming.cpp
// the published properties; ControlsInternal.h what they share.
//
// A control's window is tied to it at WM_NCCREATE, as every window of the host is (TiedObject in
// host/core/Messages.h); TCreateParams::Param still reaches the window's class as its creation data.
//
// Message handling: every control has one WndProc that dispatches by message number. A derived
// control overrides WndProc, handles what it wants (setting m.Result) and hands the rest to
// Inherited::WndProc; a message it does not pass on never reaches the native window procedure.
// A parent that gets WM_NOTIFY, WM_COMMAND, WM_DRAWITEM, WM_MEASUREITEM (and the other child
// notifications) from the window of one of our controls hands it to that control as
// CN_BASE + the message number, with the same WParam and LParam; the control's Result is the
// parent's answer.
#pragma once

#include "host/core/Classes.h"
#include "host/core/Messages.h"
#include "host/core/TypeInfo.h"
#include "host/forms/Application.h"
#include "host/graphics/Dpi.h"
#include "host/graphics/Graphics.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace host {

class TControl;
class TWinControl;
class TPopupMenu;

// ---- Vocabulary

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
inline const TEnumInfo AlignInfo{"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"};

using TShiftState = unsigned;
constexpr unsigned ssShift = 1u << 0;
constexpr unsigned ssAlt = 1u << 1;
constexpr unsigned ssCtrl = 1u << 2;
constexpr unsigned ssLeft = 1u << 3;
constexpr unsigned ssRight = 1u << 4;
constexpr unsigned ssMiddle = 1u << 5;
constexpr unsigned ssDouble = 1u << 6;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
// The cursor names forms use ("crHandPoint", ...).
const TEnumInfo& CursorIdents();
enum TDragMode { dmManual, dmAutomatic };
inline const TEnumInfo DragModeInfo{"dmManual", "dmAutomatic"};

// The shift state of the mouse-message key flags, with Alt taken from the keyboard.
TShiftState KeysToShiftState(WPARAM keys);
// The shift state of the keyboard now (for key messages).
TShiftState KeyboardShiftState();

using TMouseEvent =
    std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, WORD& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, wchar_t& key)>;
using TContextPopupEvent = std::function<void(TObject* sender, POINT mousePos, bool& handled)>;

// ---- Control messages and reflected notifications

constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 3;
constexpr UINT CM_COLORCHANGED = CM_BASE + 4;
constexpr UINT CM_FONTCHANGED = CM_BASE + 5;
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr UINT CM_HITTEST = CM_BASE + 10;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;
constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 14;
constexpr UINT CM_PARENTSHOWHINTCHANGED = CM_BASE + 15;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
constexpr UINT CM_HINTSHOW = CM_BASE + 48;
constexpr UINT CM_RECREATEWND = CM_BASE + 51;
constexpr UINT CM_CONTROLCHANGE = CM_BASE + 54;  // WParam: the child, LParam: 1 inserted / 0 removed
constexpr UINT CM_RELEASE = CM_BASE + 33;        // a form frees itself
constexpr UINT CM_DIALOGKEY = CM_BASE + 60;      // WParam: VK_RETURN or VK_ESCAPE; 1 if taken

constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_CHARTOITEM = CN_BASE + WM_CHARTOITEM;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_COMPAREITEM = CN_BASE + WM_COMPAREITEM;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
constexpr UINT CN_DELETEITEM = CN_BASE + WM_DELETEITEM;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_VKEYTOITEM = CN_BASE + WM_VKEYTOITEM;
constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_KEYUP = CN_BASE + WM_KEYUP;
constexpr UINT CN_CHAR = CN_BASE + WM_CHAR;
constexpr UINT CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;

// Handed to a control by CM_HINTSHOW (LParam points to it). Result 0 shows the hint as filled in;
// non-zero shows none. Positions are screen coordinates except CursorPos (the control's client).
struct THintInfo {
  TControl* HintControl = nullptr;
  POINT CursorPos{};
  RECT CursorRect{};     // while the mouse stays inside, the hint stays; client coordinates
  POINT HintPos{};       // top-left corner of the hint window, screen coordinates
  int HintMaxWidth = 0;  // pixels
  String HintStr;
  int ReshowTimeout = 0;  // ms; non-zero asks for the hint again after this time
  int HideTimeout = 0;    // ms; 0 uses the application's default
  void* HintData = nullptr;
};

// ---- Control style and state

using TControlStyle = unsigned;
constexpr unsigned csAcceptsControls = 1u << 0;  // a container: clips its children
constexpr unsigned csCaptureMouse = 1u << 1;     // captures the mouse while a button is down
constexpr unsigned csClickEvents = 1u << 2;      // a left click (down and up inside) calls Click
constexpr unsigned csDoubleClicks = 1u << 3;     // a left double click calls DblClick
constexpr unsigned csOpaque = 1u << 4;           // paints its whole client area
constexpr unsigned csSetCaption = 1u << 5;       // the component name becomes the text when empty

// ---- TControl

class TControl : public TComponent {
  HOST_CLASS(TControl, TComponent)
  explicit TControl(TComponent* owner = nullptr);
  ~TControl() override;

  // Parent
  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  bool HasParent() const { return parent_ != nullptr; }

  // Bounds: relative to the parent's client area (screen coordinates for a top-level window).
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  void SetBoundsRect(const RECT& r) { SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top); }
  // The client rectangle (origin 0, 0).
  virtual RECT ClientRect() const;
  int ClientWidth() const;
  int ClientHeight() const;
  virtual void SetClientSize(int width, int height);
  void SetClientWidth(int w) { SetClientSize(w, ClientHeight()); }
  void SetClientHeight(int h) { SetClientSize(ClientWidth(), h); }
  POINT ClientToScreen(POINT pt) const;
  POINT ScreenToClient(POINT pt) const;
  // The offset of this control's client origin in the nearest window's client area.
  virtual POINT ClientOrigin() const;

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible itself and every parent up to a visible top-level window.
  bool Showing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  // Text (Caption of labels, buttons, panels, forms; Text of edits).
  String Text() const { return GetText(); }
  void SetText(const String& text);
  String Caption() const { return GetText(); }
  void SetCaption(const String& text) { SetText(text); }

  TFont* Font() const { return font_.get(); }
  void SetFont(const TFont* font) { font_->Assign(font); }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool parentFont);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool parentColor);

  const String& Hint() const { return hint_; }
  void SetHint(const String& hint) { hint_ = hint; }
  bool ShowHint() const;
  void SetShowHint(bool show);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool parentShowHint);

  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  TDragMode DragMode() const { return dragMode_; }
  void SetDragMode(TDragMode mode) { dragMode_ = mode; }

  TControlStyle ControlStyle() const { return controlStyle_; }
  void SetControlStyle(TControlStyle style) { controlStyle_ = style; }

  // Sends a message straight to WndProc (no window needed) and answers its Result.
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  // The one message procedure; see the top of this file.
  virtual void WndProc(TMessage& m);
  // What happens to a message no handler took: a windowed control calls its window's default
  // (native) procedure; any other control leaves Result as it is.
  virtual void DefaultHandler(TMessage& m);

  // Repaints: Invalidate marks the control for painting, Repaint paints now.
  virtual void Invalidate();
  void Update();
  void Repaint();
  void BringToFront();
  void SendToBack();

  // The top-level control (normally the form) this control sits on, or nullptr.
  TWinControl* GetParentForm() const;

  // DPI scaling. CurrentPpi is the DPI the bounds and the font are for now: the one the control
  // was last scaled to, else its parent's, else the screen's.
  int CurrentPpi() const;
  // Takes the control from DPI d to DPI m (m = new, d = old): its bounds from the values given
  // at design time or by code (never from an earlier result, so repeated changes do not drift),
  // its font, and a windowed control's children. A control that sizes other things in pixels
  // (image lists, indents, item heights) overrides it and calls the base.
  virtual void ChangeScale(int m, int d);

  // Form streaming: a control nested in another's block is parented by it.
  void SetParentComponent(TComponent* parent) override;
  void Loaded() override;

  TNotifyEvent OnClick, OnDblClick, OnResize;
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TContextPopupEvent OnContextPopup;

 protected:
  friend class TWinControl;

  virtual String GetText() const { return text_; }
  virtual void SetTextRaw(const String& text) { text_ = text; }

  virtual void Click();
  virtual void DblClick();
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void Resize();
  virtual void DoContextPopup(POINT mousePos, bool& handled);
  // Asks the parent to lay out its aligned children again.
  void RequestAlign();
  // The nearest windowed control: itself for a windowed one, else its parent.
  virtual TWinControl* WindowedSelfOrParent() const;
  bool Loading() const { return Has(TComponentStateFlag::csLoading); }
  void Notification(TComponent* component, TOperation operation) override;
  bool IsColorStored() const { return !parentColor_; }
  // The bounds a form file stores: the values given at design time (or by code) once the
  // control has been scaled, the current ones before.
  int StoredLeft() const { return StoredBound(0, left_); }
  int StoredTop() const { return StoredBound(1, top_); }
  int StoredWidth() const { return StoredBound(2, width_); }
  int StoredHeight() const { return StoredBound(3, height_); }
  // Records a change of bounds by the program (not by scaling or by the window) as given values.
  void NoteGivenBounds(int left, int top, int width, int height);
  // Bounds a control works out itself (from its text or its font): the given ones stay, so that
  // the control is scaled, and written, from them.
  void SetComputedBounds(int left, int top, int width, int height) {
    ScopedValue computed{scaling_, true};
    SetBounds(left, top, width, height);
  }
  // False for a top-level form, whose window size follows its client size or the system.
  virtual bool ScalesOwnBounds() const { return parent_ != nullptr; }
  // The DPI the control was last scaled to; 0 when it never was.
  int ScaledPpi() const { return ppi_; }
  void SetScaledPpi(int ppi) { ppi_ = ppi; }
  bool IsFontStored() const { return !parentFont_; }
  bool IsShowHintStored() const { return !parentShowHint_; }

  // Named handlers of the messages every control understands.
  void WMMouseButton(TMessage& m, TMouseButton button, bool down, bool dbl);
  void WMMouseMove(TMessage& m);
  void WMContextMenu(TMessage& m);
  void CMHintShow(TMessage& m);
  void CMParentFontChanged(TMessage& m);
  void CMParentColorChanged(TMessage& m);

  TControlStyle controlStyle_ = csCaptureMouse | csClickEvents | csDoubleClicks | csSetCaption;
  String text_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool mouseDownInside_ = false;

 private:
  void FontChanged();

  TWinControl* parent_ = nullptr;
  TAlign align_ = alNone;
  bool visible_ = true;
  bool enabled_ = true;
  std::unique_ptr<TFont> font_;
  bool parentFont_ = true;
  bool syncingFont_ = false;
  int StoredBound(int index, int current) const;
  // Keeps the current bounds (at DPI d) as the given ones, here and in every child, where none
  // are kept yet.
  void KeepGivenBounds(int d);
  // The bounds as given (left, top, width, height) at givenPpi_; kept from the first scaling on.
  int given_[4] = {};
  int givenPpi_ = 0;
  int ppi_ = 0;
  bool scaling_ = false;
  TColor color_ = clBtnFace;
  bool parentColor_ = false;
  String hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TPopupMenu* popupMenu_ = nullptr;
  TCursor cursor_ = crDefault;
  TDragMode dragMode_ = dmManual;
};

// ---- TWinControl

// How a windowed control's window is made; filled by CreateParams.
struct TCreateParams {
  std::wstring Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  void* Param = nullptr;
  // The class registered for the control: its procedure is the default handler of the window.
  WNDCLASSEXW WindowClass{};
  std::wstring WinClassName;
};

class TWinControl : public TControl {
  HOST_CLASS(TWinControl, TControl)
  explicit TWinControl(TComponent* owner = nullptr);
  ~TWinControl() override;

  // The window, made when first asked for (with the parents' windows).
  HWND Handle();
  HWND HandleIfAllocated() const { return handle_; }
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded();
  // Destroys the window and makes a new one, keeping text, bounds, state and children.
  void RecreateWnd();
  // The control whose window this is; nullptr for a window no control of ours made.
  static TWinControl* FindControl(HWND wnd);
  // How many windows our controls own right now (for leak checks).
  static int WindowCount();

  // A foreign window as parent (for controls placed in windows that are not our controls).
  HWND ParentWindow() const { return parentWindow_; }
  void SetParentWindow(HWND wnd);

  // Children in z-order (first is bottom-most).
  int ControlCount() const { return int(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(size_t(index)); }
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  bool ContainsControl(const TControl* control) const;
  // The visible child (graphic or windowed) at a client point, or nullptr.
  TControl* ControlAtPos(POINT pt, bool allowDisabled = false, bool allowWinControls = false) const;

  int TabOrder() const;
  void SetTabOrder(int order);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool tabStop);
  virtual bool CanFocus() const;
  virtual void SetFocus();
  bool Focused() const;
  // The next (or previous) focusable child in tab order after `current`, through nested children.
  TWinControl* FindNextControl(TWinControl* current, bool forward, bool checkTabStop) const;
  void SelectNext(TWinControl* current, bool forward, bool checkTabStop);
  // Offers Return or Escape to every control inside (CM_DIALOGKEY) until one takes it.
  bool BroadcastDialogKey(WORD key);

  // Lays out the aligned children again (DisableAlign/EnableAlign bracket many changes).
  void Realign();
  void DisableAlign() { ++alignDisabled_; }
  void EnableAlign();

  void SetParent(TWinControl* parent) override;
  void SetBounds(int left, int top, int width, int height) override;
  void ChangeScale(int m, int d) override;
  RECT ClientRect() const override;
  POINT ClientOrigin() const override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void Invalidate() override;
  void WndProc(TMessage& m) override;
  void DefaultHandler(TMessage& m) override;
  void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;

  TKeyEvent OnKeyDown, OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter, OnExit;

 protected:
  friend class TControl;
  friend LRESULT CALLBACK HostWndProc(HWND, UINT, WPARAM, LPARAM);

  TWinControl* WindowedSelfOrParent() const override { return const_cast<TWinControl*>(this); }

  virtual void CreateParams(TCreateParams& params);
  // Makes the control a wrapper of a native window class (WC_TREEVIEWW, L"EDIT", ...): its
  // procedure becomes the default handler of our window.
  void CreateSubClass(TCreateParams& params, const wchar_t* nativeClassName);
  // Registers the class if needed and creates the window; a derived control restores what it
  // saved in DestroyWnd after calling the base.
  virtual void CreateWnd();
  // Saves what the window holds (text) and destroys it; a derived control saves its content
  // first, then calls the base.
  virtual void DestroyWnd();
  // Creates the window (CreateWnd), then the children's windows, and applies font and state.
  void CreateHandle();
  // Destroys the children's windows, then this one (DestroyWnd).
  void DestroyHandle();
  // Called once the window and its children exist.
  virtual void CreateWindowHandle(const TCreateParams& params);

  String GetText() const override;
  void SetTextRaw(const String& text) override;

  // Lays out the aligned children inside `rect` (the client rectangle minus AdjustClientRect).
  virtual void AlignControls(TControl* control, RECT& rect);
  // Shrinks the rectangle aligned children may use (a panel's border).
  virtual void AdjustClientRect(RECT& rect) const;
  // Paints the window (WM_PAINT on a control that is not subclassed): fills nothing by default.
  virtual void PaintWindow(HDC dc);
  // Paints the graphic children on a device context of this window.
  void PaintControls(HDC dc, TControl* first = nullptr);
  // True when the window is a native control (made by CreateSubClass).
  bool IsSubclassed() const { return subclassed_; }

  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyUp(WORD& key, TShiftState shift);
  virtual void KeyPress(wchar_t& key);
  virtual void DoEnter();
  virtual void DoExit();

  // Named handlers.
  void WMPaint(TMessage& m);
  void WMEraseBkgnd(TMessage& m);
  void WMSize(TMessage& m);
  void WMWindowPosChanged(TMessage& m);
  void WMSetCursor(TMessage& m);
  void WMKeyDown(TMessage& m);
  void WMKeyUp(TMessage& m);
  void WMChar(TMessage& m);
  void WMMouseLeave(TMessage& m);
  bool ReflectNotification(TMessage& m);
  bool ForwardMouseToGraphic(TMessage& m);
  void CMRecreateWnd(TMessage& m);
  void CMFontChanged(TMessage& m);
  void CMColorChanged(TMessage& m);

  // The brush of Color for WM_ERASEBKGND and WM_CTLCOLOR answers; rebuilt when Color changes.
  HBRUSH ColorBrush();
  // Takes each child from its own DPI (d when it has none yet) to m; children already at m
  // (a frame scaled as it was read) are left as they are.
  void ScaleControls(int m, int d);

 private:
  void UpdateBoundsFromWindow();
  void ApplyFont();
  void ReleaseCapturedGraphic();

  HWND handle_ = nullptr;
  const TWindowCreation* creation_ = nullptr;  // while CreateWindowEx makes the window
  WNDPROC defWndProc_ = nullptr;
  bool subclassed_ = false;
  HWND parentWindow_ = nullptr;
  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tabList_;
  bool tabStop_ = false;
  int alignDisabled_ = 0;
  bool aligning_ = false;
  bool recreating_ = false;
  bool mouseTracking_ = false;
  TControl* captureControl_ = nullptr;  // a graphic child that has the mouse captured
  UniqueGdiObject brush_;
  TColor brushColor_ = clNone;
};

// ---- TCustomControl, TGraphicControl

// A windowed control of our own class that paints itself on Canvas in Paint.
class TCustomControl : public TWinControl {
  HOST_CLASS(TCustomControl, TWinControl)
  explicit TCustomControl(TComponent* owner = nullptr);
  ~TCustomControl() override;
  TCanvas* Canvas() { return canvas_.get(); }

 protected:
  virtual void Paint();
  void PaintWindow(HDC dc) override;

 private:
  std::unique_ptr<TCanvas> canvas_;
};

// A control without a window: it paints on its parent's window, in its own bounds.
class TGraphicControl : public TControl {
  HOST_CLASS(TGraphicControl, TControl)
  explicit TGraphicControl(TComponent* owner = nullptr);
  ~TGraphicControl() override;
  TCanvas* Canvas() { return canvas_.get(); }
  void Invalidate() override;

 protected:
  friend class TWinControl;
  virtual void Paint();

 private:
  std::unique_ptr<TCanvas> canvas_;
};

// Registers TControl ... TGraphicControl with the form reader (done once; harmless to repeat).
void RegisterControlClasses();

namespace detail {
// Tells the hints which control is under the mouse now.
void MouseControlChanged(TControl* control);
}  // namespace detail

}  // namespace host
