// An edit field for a path with a browse button beside it.
//   TKivPathEdit     a panel holding a one-line edit (the path) and a square "..." button that
//                    opens the file-open dialog, or in folder mode the folder picker
#pragma once

#include "host/forms/ExtCtrls.h"
#include "host/forms/StdCtrls.h"

namespace zelnor {

using host::String;

class TKivPathEdit : public host::TCustomPanel {
  HOST_CLASS(TKivPathEdit, host::TCustomPanel)
  explicit TKivPathEdit(host::TComponent* owner = nullptr);

  // ---- Settings
  // The edit's text.
  String Path() const { return edit_->Text(); }
  void SetPath(const String& path) { edit_->SetText(path); }
  // The button browses for a folder when true, for a file when false.
  bool FolderMode() const { return folderMode_; }
  void SetFolderMode(bool value) { folderMode_ = value; }
  // The title of the file dialog (the folder picker keeps its own).
  const String& DialogTitle() const { return dialogTitle_; }
  void SetDialogTitle(const String& title) { dialogTitle_ = title; }
  // The file dialog's filter: "Text files (*.txt)|*.txt|All files|*.*".
  const String& FileFilter() const { return fileFilter_; }
  void SetFileFilter(const String& filter) { fileFilter_ = filter; }
  // In folder mode whether the text names an existing folder, otherwise an existing file.
  bool IsValidPath() const;
  bool UseSystemFont() const { return useSystemFont_; }
  // True gives the panel (and so the edit) the explorer's icon-title font.
  void SetUseSystemFont(bool value);
  String Version() const { return ClassName() + " V4.2"; }
  // Sets the button, the edit and the panel, in this order.
  void SetEnabled(bool enabled) override;

  // ---- Browsing
  // The file-open dialog, owned by the panel's owner; the chosen file becomes the path.
  void BrowseForFile();
  // The folder picker (file-system folders only), owned by the panel's owner; the chosen folder
  // becomes the path.
  void BrowseForFolder();

  // ---- Parts
  host::TEdit* Edit() const { return edit_; }
  host::TButton* Button() const { return button_; }

  // Every change of the edit's text, with the edit as Sender.
  host::TNotifyEvent OnChange;

  void Loaded() override;

 protected:
  void CreateParams(host::TCreateParams& params) override;
  void Resize() override;

 private:
  // The button stays square, as high as the edit.
  void FitButton();

  host::TEdit* edit_ = nullptr;      // owned by the panel
  host::TButton* button_ = nullptr;  // owned by the panel
  bool folderMode_ = false;
  String dialogTitle_;
  String fileFilter_;
  bool useSystemFont_ = true;
};

}  // namespace zelnor
