// Shell file operations over SHFileOperationW.
#include "dialogs/FileOperation.h"

#include "dialogs/DialogOwner.h"

#include <windows.h>
#include <shellapi.h>

#include <iterator>
#include <string>

namespace zelnor {

HOST_PROPERTIES(TKivFileOperation) {
  p.Str("Destination", &TKivFileOperation::Destination, &TKivFileOperation::SetDestination);
  p.Strings("SourceFiles", &TKivFileOperation::SourceFiles, &TKivFileOperation::SetSourceFiles);
  p.Enum("Operation", KivOperationTypeInfo, &TKivFileOperation::Operation,
         &TKivFileOperation::SetOperation, otCopy);
  p.Set("Options", KivShowOptionInfo, &TKivFileOperation::Options, &TKivFileOperation::SetOptions,
        0);
  p.Str("Title", &TKivFileOperation::Title, &TKivFileOperation::SetTitle);
}

namespace {

// SHFILEOPSTRUCT operations by TKivOperationType, and flags by TKivShowOption.
constexpr UINT kFunction[] = {FO_COPY, FO_DELETE, FO_MOVE, FO_RENAME};
constexpr FILEOP_FLAGS kFlag[] = {FOF_ALLOWUNDO,   FOF_FILESONLY,         FOF_NOCONFIRMATION,
                                  FOF_NOCONFIRMMKDIR, FOF_NOERRORUI,     FOF_RENAMEONCOLLISION,
                                  FOF_SILENT,      FOF_SIMPLEPROGRESS};

// Appends `path` and its terminating zero to a list of paths. False when the shell could not
// take the path whole.
bool AppendPath(std::wstring& list, const host::String& path) {
  const std::wstring wide = host::ToWide(path);
  list += wide;
  list += L'\0';
  return wide.size() < MAX_PATH;
}

}  // namespace

TKivFileOperation::TKivFileOperation(host::TComponent* owner)
    : host::TComponent(owner), sourceFiles_(std::make_unique<host::TStringList>()) {}

TKivFileOperation::~TKivFileOperation() = default;

void TKivFileOperation::SetSourceFiles(const host::TStrings* files) {
  if (files != sourceFiles_.get()) sourceFiles_->Assign(files);
}

bool TKivFileOperation::Execute() {
  // Both lists end with one more zero: "a\0b\0\0" (std::wstring adds the last one).
  std::wstring from, to;
  bool fits = true;
  // An empty entry would end the list early and hide the entries behind it: it names nothing.
  for (int i = 0; i < sourceFiles_->Count(); ++i)
    if (!sourceFiles_->Strings(i).empty()) fits &= AppendPath(from, sourceFiles_->Strings(i));
  from += L'\0';
  fits &= AppendPath(to, destination_);

  operationsAborted_ = false;
  if (!fits) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }

  const std::wstring title = host::ToWide(title_);
  SHFILEOPSTRUCTW op{};
  op.hwnd = GetDialogParentWindow(this);
  op.wFunc = kFunction[operation_];
  op.pFrom = from.c_str();
  op.pTo = to.c_str();
  for (size_t i = 0; i < std::size(kFlag); ++i)
    if (options_ & (1u << i)) op.fFlags |= kFlag[i];
  op.lpszProgressTitle = title.c_str();

  const int result = SHFileOperationW(&op);
  operationsAborted_ = op.fAnyOperationsAborted != FALSE;
  if (result != 0) SetLastError(DWORD(result));
  return result == 0;
}

}  // namespace zelnor
