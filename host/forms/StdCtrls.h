// Standard controls.
//   TTextLayout, TBorderStyle     text placement and frames
//   TCustomLabel, TLabel      text painted on the parent; measured on a device context (AutoSize)
//   TCustomEdit, TEdit        a native single-line edit: Text, OnChange, MaxLength, ReadOnly
//   TButton                   a native push button: Default, Cancel, ModalResult
#pragma once

#include "host/forms/Controls.h"

namespace host {

enum TTextLayout { tlTop, tlCenter, tlBottom };
inline const TEnumInfo TextLayoutInfo{"tlTop", "tlCenter", "tlBottom"};
enum TBorderStyle { bsNoBorder, bsSingleBorder };
// Form files name the frames bsNone and bsSingle.
inline const TEnumInfo BorderStyleInfo{{"bsNone", 0}, {"bsSingle", 1}};

// The size of `text` drawn with `font` (DrawTextW with DT_CALCRECT on a screen context): one
// line per line break, or wrapped at `wrapWidth` when it is above 0.
SIZE MeasureText(TFont* font, const String& text, int wrapWidth = 0, bool showAccelChar = true);

class TCustomLabel : public TGraphicControl {
  HOST_CLASS(TCustomLabel, TGraphicControl)
  explicit TCustomLabel(TComponent* owner = nullptr);

  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout layout);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wordWrap);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool show);
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* control);

  // Sets the size to the text's when AutoSize is on (the right edge stays for right-aligned
  // text, the centre for centred text).
  void AdjustBounds();
  void Loaded() override;
  void WndProc(TMessage& m) override;

 protected:
  void Paint() override;
  void Notification(TComponent* component, TOperation operation) override;
  UINT DrawTextFlags() const;

 private:
  bool autoSize_ = true;
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool wordWrap_ = false;
  bool transparent_ = false;
  bool showAccelChar_ = true;
  TWinControl* focusControl_ = nullptr;
};

class TLabel : public TCustomLabel {
  HOST_CLASS(TLabel, TCustomLabel)
  using TCustomLabel::TCustomLabel;
};

class TCustomEdit : public TWinControl {
  HOST_CLASS(TCustomEdit, TWinControl)
  explicit TCustomEdit(TComponent* owner = nullptr);

  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int length);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle style);
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool autoSelect) { autoSelect_ = autoSelect; }
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);
  wchar_t PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(wchar_t ch);
  bool Modified() const;
  void SetModified(bool modified);

  // Selection in UTF-16 positions, as the native control counts.
  int SelStart();
  void SetSelStart(int start);
  int SelLength();
  void SetSelLength(int length);
  String SelText();
  void SetSelText(const String& text);
  void SelectAll();
  void Clear() { SetText(String{}); }

  void WndProc(TMessage& m) override;
  void Loaded() override;
  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  virtual void Change();
  void AdjustHeight();

 private:
  int maxLength_ = 0;
  bool readOnly_ = false;
  TBorderStyle borderStyle_ = bsSingleBorder;
  bool autoSelect_ = true;
  bool autoSize_ = true;
  wchar_t passwordChar_ = 0;
  bool modified_ = false;
  DWORD savedSelStart_ = 0, savedSelEnd_ = 0;
};

class TEdit : public TCustomEdit {
  HOST_CLASS(TEdit, TCustomEdit)
  using TCustomEdit::TCustomEdit;
};

class TButton : public TWinControl {
  HOST_CLASS(TButton, TWinControl)
  explicit TButton(TComponent* owner = nullptr);

  bool Default() const { return default_; }
  void SetDefault(bool isDefault);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool cancel) { cancel_ = cancel; }
  // Clicking sets the form's ModalResult to this (when not mrNone).
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }

  // Presses the button by program: OnClick, then the modal result.
  void Click() override;
  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& params) override;

 private:
  bool default_ = false;
  bool cancel_ = false;
  int modalResult_ = 0;
};

// Registers the standard controls with the form reader.
void RegisterStdControls();

}  // namespace host
