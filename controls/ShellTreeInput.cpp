// TKivShellTree: keys, mouse messages and the colours of compressed and
// encrypted objects.
#include "controls/ShellTree.h"

#include <windowsx.h>

#include "host/core/Messages.h"
#include "host/core/StringList.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

using host::TTreeNode;

namespace {

constexpr host::TColor kCompressedColor = host::TColor(0xFF0000);  // blue
constexpr host::TColor kEncryptedColor = host::TColor(0x008000);   // green

}  // namespace

// ---- Messages

void TKivShellTree::WndProc(host::TMessage& message) {
  if (ViewMessage(message)) return;
  switch (message.Msg) {
    case WM_LBUTTONDOWN:
      // A press on a check box is the box's alone: the native control never sees it.
      if (checkBoxes_.ClickOnCheckBox(GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam))) {
        message.Result = 0;
        return;
      }
      break;
    default:
      break;
  }
  host::TCustomTreeView::WndProc(message);
}

// ---- Keys

void TKivShellTree::KeyDown(WORD& key, host::TShiftState shift) {
  const bool ctrl = (shift & host::ssCtrl) != 0;
  if (!IsEditing() &&
      !core_.CommandKey(key, shift, ReadOnly(), Selected() != nullptr,
                        [this](const String& verb) { return InvokeCommandOnSelected(verb); })) {
    switch (key) {
      case VK_RETURN:
        if (shift & host::ssAlt) {
          InvokeCommandOnSelected("properties");
          key = 0;
        }
        break;
      case 'V':
        if (ctrl && !ReadOnly()) {
          std::unique_ptr<host::TStrings> files(GetFilenamesFromClipboard());
          // The key's own report follows the verb's, and only a paste that happened.
          if (InvokeCommandOnSelected("paste"))
            Operation(ShellOperations({sopPaste, sopAdd}), std::move(files),
                      GetFullPath(Selected()));
          key = 0;
        }
        break;
      case VK_F10:
        if ((shift & host::ssShift) && shellContextMenu_ && Selected()) {
          String command;
          ShowContextMenu(ClientToScreen(BottomRightOfText(Selected())), command);
        }
        break;
      case 'A':
        if (ctrl && ShellLink()) {
          ShellLink()->SelectAll(this);
          key = 0;
        }
        break;
      default:
        break;
    }
  }
  SetChangeDelay(600);
  host::TCustomTreeView::KeyDown(key, shift);
}

void TKivShellTree::KeyPress(wchar_t& key) {
  // Ctrl+C, Ctrl+V and Ctrl+X are commands, not characters.
  if (key == 3 || key == 22 || key == 24) key = 0;
  SetChangeDelay(600);
  host::TCustomTreeView::KeyPress(key);
}

// ---- Drawing

bool TKivShellTree::IsCustomDrawn(host::TCustomDrawTarget target, host::TCustomDrawStage stage) {
  if (target == host::dtItem && stage == host::cdPrePaint) return true;
  return host::TCustomTreeView::IsCustomDrawn(target, stage);
}

bool TKivShellTree::CustomDrawItem(TTreeNode* node, host::TCustomDrawState state,
                                   host::TCustomDrawStage stage, bool& paintImages) {
  if (stage == host::cdPrePaint) {
    if (TKivShellTreeItem* item = ShellItem(node)) {
      // Encrypted wins over compressed.
      if (ShowOption(soColorCompressed) && item->compressed)
        Canvas()->Font()->SetColor(kCompressedColor);
      if (ShowOption(soColorEncrypted) && item->encrypted)
        Canvas()->Font()->SetColor(kEncryptedColor);
    }
  }
  return host::TCustomTreeView::CustomDrawItem(node, state, stage, paintImages);
}

}  // namespace zelnor
