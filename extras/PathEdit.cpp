// TKivPathEdit: the edit and its button, settings, and the two dialogs.
#include "extras/PathEdit.h"

#include "dialogs/BrowseForFolder.h"
#include "host/forms/FileDialogs.h"
#include "shell/ShellRoutines.h"

#include <memory>

namespace zelnor {

// ---- Construction

TKivPathEdit::TKivPathEdit(host::TComponent* owner) : host::TCustomPanel(owner) {
  // The panel is the edit and its button: it takes no other controls, and has no caption.
  controlStyle_ &= ~(host::csAcceptsControls | host::csSetCaption);
  SetBevelOuter(host::bvNone);
  edit_ = new host::TEdit(this);
  edit_->OnChange = [this](host::TObject* sender) {
    if (OnChange) OnChange(sender);
  };
  button_ = new host::TButton(this);
  button_->SetCaption("...");
  button_->OnClick = [this](host::TObject*) {
    if (folderMode_)
      BrowseForFolder();
    else
      BrowseForFile();
  };
  SetHeight(edit_->Height());
  button_->SetAlign(host::alRight);
  FitButton();
  button_->SetParent(this);
  edit_->SetAlign(host::alClient);
  edit_->SetParent(this);
}

void TKivPathEdit::CreateParams(host::TCreateParams& params) {
  host::TCustomPanel::CreateParams(params);
  // The edit and the button cover the panel: it never paints over them.
  params.Style |= WS_CLIPCHILDREN;
}

// ---- Settings

bool TKivPathEdit::IsValidPath() const {
  const String path = Path();
  return folderMode_ ? host::DirectoryExists(path) : host::FileExists(path);
}

void TKivPathEdit::SetUseSystemFont(bool value) {
  useSystemFont_ = value;
  if (value) ApplyExplorerFont(*Font());
}

void TKivPathEdit::SetEnabled(bool enabled) {
  button_->SetEnabled(enabled);
  edit_->SetEnabled(enabled);
  host::TCustomPanel::SetEnabled(enabled);
}

void TKivPathEdit::Loaded() {
  host::TCustomPanel::Loaded();
  if (useSystemFont_) ApplyExplorerFont(*Font());
}

// ---- Layout

void TKivPathEdit::FitButton() {
  const int side = edit_->Height();
  button_->SetBounds(button_->Left(), button_->Top(), side, side);
}

void TKivPathEdit::Resize() {
  host::TCustomPanel::Resize();
  if (button_) FitButton();
}

// ---- Browsing

void TKivPathEdit::BrowseForFile() {
  auto dialog = std::make_unique<host::TOpenDialog>(Owner());
  dialog->SetFilter(fileFilter_);
  dialog->SetTitle(dialogTitle_);
  if (dialog->Execute()) SetPath(dialog->FileName());
}

void TKivPathEdit::BrowseForFolder() {
  auto dialog = std::make_unique<TKivBrowseForFolder>(Owner());
  dialog->SetOptions(1u << bfFileSystemOnly);
  if (dialog->Execute()) SetPath(dialog->Path());
}

// ---- Published properties

HOST_PROPERTIES(TKivPathEdit) {
  p.Enum("BevelOuter", host::BevelCutInfo, &TKivPathEdit::BevelOuter, &TKivPathEdit::SetBevelOuter,
         host::bvNone);
  p.Str("Path", &TKivPathEdit::Path, &TKivPathEdit::SetPath);
  p.Bool("FolderMode", &TKivPathEdit::FolderMode, &TKivPathEdit::SetFolderMode, false).NoDefault();
  p.Str("DialogTitle", &TKivPathEdit::DialogTitle, &TKivPathEdit::SetDialogTitle);
  p.Bool("IsValidPath", &TKivPathEdit::IsValidPath, nullptr).NeverStored();
  p.Event("OnChange", &TKivPathEdit::OnChange);
  p.Str("FileFilter", &TKivPathEdit::FileFilter, &TKivPathEdit::SetFileFilter);
  p.Bool("UseSystemFont", &TKivPathEdit::UseSystemFont, &TKivPathEdit::SetUseSystemFont, true);
  p.Str("Version", &TKivPathEdit::Version, nullptr).NeverStored();
}

}  // namespace zelnor
