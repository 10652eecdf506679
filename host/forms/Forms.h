// Forms: top-level windows holding controls.
//   TPosition, TFormBorderStyle, TCloseAction, TModalResult values (mrOk ...)
//   TForm            caption, position, client size, Show/ShowModal/Close, form files, DPI
//   ScreenWidth/ScreenHeight   size of the primary screen
#pragma once

#include "host/core/Streaming.h"
#include "host/forms/Controls.h"

namespace host {

enum TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
inline const TEnumInfo PositionInfo{"poDesigned",      "poDefault",        "poDefaultPosOnly",
                                    "poDefaultSizeOnly", "poScreenCenter", "poDesktopCenter",
                                    "poMainFormCenter", "poOwnerFormCenter"};

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
inline const TEnumInfo FormBorderStyleInfo{"bsNone",   "bsSingle",     "bsSizeable",
                                           "bsDialog", "bsToolWindow", "bsSizeToolWin"};

enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT,
                       mrRetry = IDRETRY, mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO,
                       mrClose = IDCLOSE, mrHelp = IDHELP, mrAll = 12, mrNoToAll = 13,
                       mrYesToAll = 14;

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

class TForm : public TWinControl {
  HOST_CLASS(TForm, TWinControl)
  explicit TForm(TComponent* owner = nullptr);
  ~TForm() override;

  // A form of the class the file names (a registered TForm class) read from a form file, with
  // its controls; OnCreate runs once it is read. Raises EFilerError / EReadError.
  // `pixelsPerInch` is the DPI of the screen to read for (0: the screen's own).
  static TForm* CreateFromFile(const String& fileName, TComponent* owner = nullptr,
                               const TEventHandlers& handlers = EventHandlers(),
                               int pixelsPerInch = 0);
  static TForm* CreateFromText(const String& text, TComponent* owner = nullptr,
                               const TEventHandlers& handlers = EventHandlers(),
                               int pixelsPerInch = 0);

  // The DPI the form was designed at (form files store it when it is not 96; a form made by
  // code has the screen's). A Scaled form read on a screen of another DPI scales its controls,
  // client size and fonts given in pixels to it, once, before Loaded; it scales again when its
  // window moves to a monitor of another DPI. Written back, it stores the designed values.
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi) { if (ppi > 0) pixelsPerInch_ = ppi; }
  bool Scaled() const { return scaled_; }
  void SetScaled(bool scaled) { scaled_ = scaled; }
  // The form's OnKeyDown hears the keys (Alt's too) of its controls before they do; a handler
  // that sets the key to 0 keeps it from the control.
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool value) { keyPreview_ = value; }
  // Takes a Scaled form to `dpi`, from the DPI it is at now: its controls and fonts, then its
  // window to `windowRect` (screen coordinates) when given, else the client size to the
  // designed one at `dpi`. What WM_DPICHANGED does.
  void ChangeDpi(int dpi, const RECT* windowRect = nullptr);

  TPosition Position() const { return position_; }
  void SetPosition(TPosition position) { position_ = position; }
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);

  RECT ClientRect() const override;
  void SetClientSize(int width, int height) override;
  int StoredClientWidth() const { return StoredClient(ClientWidth(), designClient_.cx); }
  int StoredClientHeight() const { return StoredClient(ClientHeight(), designClient_.cy); }

  void SetVisible(bool visible) override;
  // Shows the form and brings it to the front.
  void Show();
  // Shows the form, disables the thread's other top-level windows and runs the message loop
  // until ModalResult is set (Close sets mrCancel); answers ModalResult.
  int ShowModal();
  bool Modal() const { return modal_; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult result) { modalResult_ = result; }
  // Asks OnCloseQuery, then OnClose decides: hide (default), free, minimise or nothing. The main
  // form's closing ends the application's loop.
  void Close();
  // Frees the form once the messages being handled are done.
  void Release();

  // The control that gets the focus when the form is activated.
  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* control);

  void Loaded() override;
  void ReadState(TReader& reader) override;
  // Runs OnCreate; done once after a form file is read (or by code that builds a form).
  void DoCreate();

  TNotifyEvent OnCreate, OnShow, OnHide, OnDestroy, OnActivate, OnDeactivate;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& m) override;
  void Notification(TComponent* component, TOperation operation) override;
  virtual bool CloseQuery();
  bool ScalesOwnBounds() const override { return false; }
  void WMDpiChanged(TMessage& m);

 private:
  void PlaceOnFirstShow();
  // Puts the window of a form whose Visible is set on the screen, in front, and fires OnShow.
  void ShowWindowNow();
  // The client size a form file stores: the designed one while the form is at another DPI.
  int StoredClient(int current, int designed) const;
  // The DPI the form's controls are at now.
  int PpiNow() const { return ScaledPpi() ? ScaledPpi() : pixelsPerInch_; }

  TPosition position_ = poDesigned;
  TFormBorderStyle borderStyle_ = bsSizeable;
  bool modal_ = false;
  bool placed_ = false;
  bool created_ = false;
  TModalResult modalResult_ = mrNone;
  TWinControl* activeControl_ = nullptr;
  int pixelsPerInch_;
  bool scaled_ = true;
  bool keyPreview_ = false;
  SIZE designClient_{0, 0};  // the client size at pixelsPerInch_, once the form has been scaled
};

int ScreenWidth();
int ScreenHeight();

// Registers TForm, TFrame, the visual base classes and the host's standard controls and native
// views with the form reader. Defined with the class library's registry (host/HostClasses.cpp),
// the one place that knows every layer.
void RegisterFormClasses();

namespace detail {
// The folder (with a trailing backslash) of the form file being read on this thread, or empty:
// relative file names in the form are taken from there.
String& FormFileFolder();
}  // namespace detail

}  // namespace host
