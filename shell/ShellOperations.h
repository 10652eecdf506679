// The small types with which the shell controls describe copy modes, shell operations, drops and
// context-menu choices.
//   TKivCopyMode, KivCopyModeInfo            default, copy, move, link
//   KivCopyMode2dwEffect, KivCopyMode2DragFlags   drop effects of a copy mode (target, source)
//   TKivShellOperation, TKivShellOperations   what a control did (a set: bit n = member n)
//   PasteOperations                          what a paste did: copy or move
//   TOnOperation                             reports an operation with its files and destination
//   TOnBeforeShellDropEvent                  lets the application veto a drop
//   TOnContextMenuSelectEvent                lets the application veto a context-menu verb
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <initializer_list>

#include "host/core/StringList.h"
#include "host/core/SysUtils.h"
#include "host/core/TypeInfo.h"

namespace zelnor {

using host::String;

enum TKivCopyMode { cmDefault, cmCopy, cmMove, cmLink };
inline const host::TEnumInfo KivCopyModeInfo{"cmDefault", "cmCopy", "cmMove", "cmLink"};

// DROPEFFECT_COPY | MOVE | LINK for the default mode, else the one effect; indexed by the mode.
inline constexpr std::array<DWORD, 4> KivCopyMode2dwEffect{7, 1, 2, 4};
// The effects a drag source offers in each mode (the same values).
inline constexpr std::array<DWORD, 4> KivCopyMode2DragFlags{7, 1, 2, 4};

enum TKivShellOperation {
  sopCopy,
  sopMove,
  sopDrag,
  sopDrop,
  sopCut,
  sopPaste,
  sopDelete,
  sopRemove,
  sopAdd,
  sopRename,
};
inline const host::TEnumInfo KivShellOperationInfo{"sopCopy",   "sopMove",   "sopDrag", "sopDrop",
                                                   "sopCut",    "sopPaste",  "sopDelete",
                                                   "sopRemove", "sopAdd",    "sopRename"};
using TKivShellOperations = unsigned;  // set of TKivShellOperation: bit n = member n

constexpr TKivShellOperations ShellOperations(std::initializer_list<TKivShellOperation> members) {
  TKivShellOperations set = 0;
  for (TKivShellOperation m : members) set |= 1u << m;
  return set;
}
constexpr bool HasShellOperation(TKivShellOperations set, TKivShellOperation member) {
  return (set & (1u << member)) != 0;
}

// What a paste of `files` did: a copy while the first source is still there, else a move.
inline TKivShellOperations PasteOperations(const host::TStrings* files) {
  const bool copied = !files || files->Count() == 0 ||
                      GetFileAttributesW(host::ToWide(files->Strings(0)).c_str()) !=
                          INVALID_FILE_ATTRIBUTES;
  return ShellOperations({sopPaste, sopAdd, copied ? sopCopy : sopMove});
}

// Sender, what was done, the full paths it was done to, and the destination folder (empty when
// the operation has none).
using TOnOperation = std::function<void(host::TObject* sender, TKivShellOperations operation,
                                        host::TStrings* files, const String& destination)>;
// Sender, the object dropped on, the full paths dropped; executeDrop comes in true.
using TOnBeforeShellDropEvent = std::function<void(
    host::TObject* sender, host::TObject* dropTarget, host::TStrings* droppedFiles,
    bool& executeDrop)>;
// The verb about to run ("open", "delete"...); execute comes in true.
using TOnContextMenuSelectEvent = std::function<void(const String& command, bool& execute)>;

}  // namespace zelnor
