// Copy, move, rename and delete with the shell's progress and confirmations.
//   TKivOperationType           otCopy, otDelete, otMove, otRename
//   TKivShowOption(s)           the shell's operation flags (soAllowUndo ...)
//   TKivFileOperation           SourceFiles, Destination, Operation, Options, Title; Execute
#pragma once

#include "host/core/StringList.h"
#include "host/core/TypeInfo.h"

#include <memory>

namespace zelnor {

enum TKivOperationType { otCopy, otDelete, otMove, otRename };
inline const host::TEnumInfo KivOperationTypeInfo{"otCopy", "otDelete", "otMove", "otRename"};

enum TKivShowOption {
  soAllowUndo,
  soFilesOnly,
  soNoConfirmation,
  soNoConfirmMkDir,
  soNoErrorUI,
  soRenameCollision,
  soSilent,
  soSimpleProgress
};
using TKivShowOptions = unsigned;  // set of TKivShowOption: bit n = member n
inline const host::TEnumInfo KivShowOptionInfo{
    "soAllowUndo",  "soFilesOnly",       "soNoConfirmation", "soNoConfirmMkDir",
    "soNoErrorUI",  "soRenameCollision", "soSilent",         "soSimpleProgress"};

// Runs one shell file operation on SourceFiles. The shell shows its own progress, confirmations
// and error messages as Options allow, over the window of the owner rule.
class TKivFileOperation : public host::TComponent {
  HOST_CLASS(TKivFileOperation, host::TComponent)
  explicit TKivFileOperation(host::TComponent* owner = nullptr);
  ~TKivFileOperation() override;

  // True when the shell reports success (0). On failure the shell's result is left as the last
  // error; a path of MAX_PATH characters or more, which the shell cannot take, fails with
  // ERROR_FILENAME_EXCED_RANGE before anything is done. OperationsAborted tells whether the user
  // cancelled any part of it.
  bool Execute();
  bool OperationsAborted() const { return operationsAborted_; }

  // The folder (or, for otRename, the new name) the operation goes to.
  const host::String& Destination() const { return destination_; }
  void SetDestination(const host::String& destination) { destination_ = destination; }
  // The paths to act on; owned. Setting copies the given list.
  host::TStringList* SourceFiles() const { return sourceFiles_.get(); }
  void SetSourceFiles(const host::TStrings* files);
  TKivOperationType Operation() const { return operation_; }
  void SetOperation(TKivOperationType operation) { operation_ = operation; }
  TKivShowOptions Options() const { return options_; }
  void SetOptions(TKivShowOptions options) { options_ = options; }
  // The progress dialog's title (shown with soSimpleProgress).
  const host::String& Title() const { return title_; }
  void SetTitle(const host::String& title) { title_ = title; }

 private:
  host::String destination_;
  std::unique_ptr<host::TStringList> sourceFiles_;
  TKivOperationType operation_ = otCopy;
  TKivShowOptions options_ = 0;
  host::String title_;
  bool operationsAborted_ = false;
};

}  // namespace zelnor
