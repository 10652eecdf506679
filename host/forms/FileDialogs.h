// The platform's file dialogs as components.
//   TOpenOption, TOpenOptions   dialog options (ofAllowMultiSelect, ofFileMustExist, ...)
//   TOpenDialog                 Filter, FilterIndex, Title, FileName, Files, InitialDir, Execute
//   TSaveDialog                 the same for saving
#pragma once

#include "host/core/StringList.h"
#include "host/forms/Dialogs.h"

#include <windows.h>

#include <memory>

namespace host {

enum TOpenOption {
  ofReadOnly,
  ofOverwritePrompt,
  ofHideReadOnly,
  ofNoChangeDir,
  ofShowHelp,
  ofNoValidate,
  ofAllowMultiSelect,
  ofExtensionDifferent,
  ofPathMustExist,
  ofFileMustExist,
  ofCreatePrompt,
  ofShareAware,
  ofNoReadOnlyReturn,
  ofNoTestFileCreate,
  ofNoNetworkButton,
  ofNoLongNames,
  ofOldStyleDialog,
  ofNoDereferenceLinks,
  ofEnableIncludeNotify,
  ofEnableSizing,
  ofDontAddToRecent,
  ofForceShowHidden
};
using TOpenOptions = unsigned;  // set of TOpenOption: bit n = member n
inline const TEnumInfo OpenOptionInfo{
    "ofReadOnly",        "ofOverwritePrompt",   "ofHideReadOnly",        "ofNoChangeDir",
    "ofShowHelp",        "ofNoValidate",        "ofAllowMultiSelect",    "ofExtensionDifferent",
    "ofPathMustExist",   "ofFileMustExist",     "ofCreatePrompt",        "ofShareAware",
    "ofNoReadOnlyReturn", "ofNoTestFileCreate", "ofNoNetworkButton",     "ofNoLongNames",
    "ofOldStyleDialog",  "ofNoDereferenceLinks", "ofEnableIncludeNotify", "ofEnableSizing",
    "ofDontAddToRecent", "ofForceShowHidden"};
constexpr TOpenOptions kDefaultOpenOptions = (1u << ofHideReadOnly) | (1u << ofEnableSizing);

class TOpenDialog : public TCommonDialog {
  HOST_CLASS(TOpenDialog, TCommonDialog)
  explicit TOpenDialog(TComponent* owner = nullptr);
  ~TOpenDialog() override;

  // "Text files (*.txt)|*.txt|All files|*.*": description and pattern pairs.
  const String& Filter() const { return filter_; }
  void SetFilter(const String& filter) { filter_ = filter; }
  // 1-based, as the platform counts; updated by Execute.
  int FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(int index) { filterIndex_ = index; }
  const String& Title() const { return title_; }
  void SetTitle(const String& title) { title_ = title; }
  const String& FileName() const { return fileName_; }
  void SetFileName(const String& name) { fileName_ = name; }
  const String& InitialDir() const { return initialDir_; }
  void SetInitialDir(const String& dir) { initialDir_ = dir; }
  const String& DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const String& ext) { defaultExt_ = ext; }
  TOpenOptions Options() const { return options_; }
  void SetOptions(TOpenOptions options) { options_ = options; }
  // The chosen files (full paths): several with ofAllowMultiSelect, else FileName alone.
  TStringList* Files() const { return files_.get(); }
  // The dialog's window while it is shown, else nullptr.
  HWND Handle() const { return handle_; }

  bool Execute() override;

 protected:
  // Runs GetOpenFileNameW (or, for a save dialog, GetSaveFileNameW).
  virtual BOOL RunDialog(OPENFILENAMEW& ofn);

 private:
  static UINT_PTR CALLBACK HookProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);

  String filter_;
  int filterIndex_ = 1;
  String title_;
  String fileName_;
  String initialDir_;
  String defaultExt_;
  TOpenOptions options_ = kDefaultOpenOptions;
  std::unique_ptr<TStringList> files_;
  HWND handle_ = nullptr;
  bool shown_ = false;
};

class TSaveDialog : public TOpenDialog {
  HOST_CLASS(TSaveDialog, TOpenDialog)
  using TOpenDialog::TOpenDialog;

 protected:
  BOOL RunDialog(OPENFILENAMEW& ofn) override;
};

}  // namespace host
