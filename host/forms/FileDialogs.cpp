// File dialogs over GetOpenFileNameW / GetSaveFileNameW with an explorer-style hook that reports
// when the dialog's window is up.
#include "host/forms/FileDialogs.h"

#include "host/forms/Application.h"

#include <commdlg.h>

#include <vector>

namespace host {

HOST_PROPERTIES(TOpenDialog) {
  p.Str("DefaultExt", &TOpenDialog::DefaultExt, &TOpenDialog::SetDefaultExt);
  p.Str("FileName", &TOpenDialog::FileName, &TOpenDialog::SetFileName);
  p.Str("Filter", &TOpenDialog::Filter, &TOpenDialog::SetFilter);
  p.Int("FilterIndex", &TOpenDialog::FilterIndex, &TOpenDialog::SetFilterIndex, 1);
  p.Str("InitialDir", &TOpenDialog::InitialDir, &TOpenDialog::SetInitialDir);
  p.Set("Options", OpenOptionInfo, &TOpenDialog::Options, &TOpenDialog::SetOptions,
        kDefaultOpenOptions);
  p.Str("Title", &TOpenDialog::Title, &TOpenDialog::SetTitle);
  p.Event("OnShow", static_cast<TNotifyEvent TOpenDialog::*>(&TOpenDialog::OnShow));
  p.Event("OnClose", static_cast<TNotifyEvent TOpenDialog::*>(&TOpenDialog::OnClose));
}

HOST_PROPERTIES(TSaveDialog) {}

TOpenDialog::TOpenDialog(TComponent* owner)
    : TCommonDialog(owner), files_(std::make_unique<TStringList>()) {}

TOpenDialog::~TOpenDialog() = default;

UINT_PTR CALLBACK TOpenDialog::HookProc(HWND dlg, UINT msg, WPARAM, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    auto* ofn = reinterpret_cast<OPENFILENAMEW*>(lp);
    SetWindowLongPtrW(dlg, GWLP_USERDATA, LONG_PTR(ofn->lCustData));
    return 0;
  }
  if (msg == WM_NOTIFY) {
    auto* self = reinterpret_cast<TOpenDialog*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
    auto* note = reinterpret_cast<OFNOTIFYW*>(lp);
    if (self && note->hdr.code == CDN_INITDONE && !self->shown_) {
      self->handle_ = GetParent(dlg);
      self->shown_ = true;
      self->DoShow();
    }
  }
  return 0;
}

BOOL TOpenDialog::RunDialog(OPENFILENAMEW& ofn) { return GetOpenFileNameW(&ofn); }

BOOL TSaveDialog::RunDialog(OPENFILENAMEW& ofn) { return GetSaveFileNameW(&ofn); }

bool TOpenDialog::Execute() {
  // "a|b|c|d" becomes "a\0b\0c\0d\0\0".
  std::wstring filter = ToWide(filter_);
  for (wchar_t& c : filter)
    if (c == L'|') c = L'\0';
  if (!filter.empty()) filter.append(2, L'\0');

  const bool multi = options_ & (1u << ofAllowMultiSelect);
  std::vector<wchar_t> buffer(multi ? 65536 : MAX_PATH * 4, L'\0');
  const std::wstring initial = ToWide(fileName_);
  if (initial.size() < buffer.size()) std::copy(initial.begin(), initial.end(), buffer.begin());
  const std::wstring title = ToWide(title_), dir = ToWide(initialDir_), ext = ToWide(defaultExt_);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = GetActiveWindow();
  if (!ofn.hwndOwner) ofn.hwndOwner = Application().Handle();
  ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = DWORD(filterIndex_);
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = DWORD(buffer.size());
  ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  // Option n maps to the platform flag of the same meaning.
  static const DWORD flagOf[] = {OFN_READONLY,         OFN_OVERWRITEPROMPT,   OFN_HIDEREADONLY,
                                 OFN_NOCHANGEDIR,      OFN_SHOWHELP,          OFN_NOVALIDATE,
                                 OFN_ALLOWMULTISELECT, OFN_EXTENSIONDIFFERENT, OFN_PATHMUSTEXIST,
                                 OFN_FILEMUSTEXIST,    OFN_CREATEPROMPT,      OFN_SHAREAWARE,
                                 OFN_NOREADONLYRETURN, OFN_NOTESTFILECREATE,  OFN_NONETWORKBUTTON,
                                 OFN_NOLONGNAMES,      0,                     OFN_NODEREFERENCELINKS,
                                 OFN_ENABLEINCLUDENOTIFY, OFN_ENABLESIZING,   OFN_DONTADDTORECENT,
                                 OFN_FORCESHOWHIDDEN};
  ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK;
  for (size_t i = 0; i < std::size(flagOf); ++i)
    if (options_ & (1u << i)) ofn.Flags |= flagOf[i];
  ofn.lpfnHook = HookProc;
  ofn.lCustData = LPARAM(this);

  shown_ = false;
  handle_ = nullptr;
  const BOOL ok = RunDialog(ofn);
  handle_ = nullptr;
  if (shown_) DoClose();
  if (!ok) return false;

  filterIndex_ = int(ofn.nFilterIndex);
  files_->Clear();
  // Several names come as the folder, then each name, each ended by a zero, then one more zero.
  std::vector<std::wstring> parts;
  for (const wchar_t* p = buffer.data(); *p; p += wcslen(p) + 1) parts.emplace_back(p);
  if (multi && parts.size() > 1) {
    std::wstring folder = parts[0];
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    for (size_t i = 1; i < parts.size(); ++i) files_->Add(ToUtf8(folder + parts[i]));
  } else if (!parts.empty()) {
    files_->Add(ToUtf8(parts[0]));
  }
  fileName_ = files_->Count() > 0 ? files_->Strings(0) : String{};
  return true;
}

}  // namespace host
