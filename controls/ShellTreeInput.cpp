// TKivShellTree: keys, mouse messages, label editing and the colours of compressed and
// encrypted objects.
#include "controls/ShellTree.h"

#include "host/Messages.h"

namespace zelnor {

using host::TTreeNode;

namespace {

constexpr host::TColor kCompressedColor = host::TColor(0xFF0000);  // blue
constexpr host::TColor kEncryptedColor = host::TColor(0x008000);   // green

}  // namespace

// ---- Messages

void TKivShellTree::WndProc(host::TMessage& message) {
  switch (message.Msg) {
    case host::CM_MOUSEENTER:
      DoMouseEnter();
      break;
    case host::CM_MOUSELEAVE:
      DoMouseLeave();
      break;
    default:
      break;
  }
  host::TCustomTreeView::WndProc(message);
}

void TKivShellTree::DoMouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TKivShellTree::DoMouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

// ---- Keys

void TKivShellTree::KeyDown(WORD& key, host::TShiftState shift) {
  if (!IsEditing()) {
    switch (key) {
      case 'A':
        if ((shift & host::ssCtrl) && shellLink_) {
          shellLink_->SelectAll(this);
          key = 0;
        }
        break;
      case VK_F5:
        Refresh();
        if (shellLink_) shellLink_->Refresh(this);
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

// ---- Editing

bool TKivShellTree::CanEdit(TTreeNode* node) {
  bool allow = host::TCustomTreeView::CanEdit(node);
  if (allow && IsValidKivShellTreeItem(node)) {
    PointNavigatorAt(node);
    allow = (navigator_->GetAttributes(SFGAO_CANRENAME) & SFGAO_CANRENAME) != 0;
  }
  return allow;
}

void TKivShellTree::Edit(const TVITEMW& item) {
  auto* node = reinterpret_cast<TTreeNode*>(item.lParam);
  if (!item.pszText) {
    if (OnEditCanceled) OnEditCanceled(this, node);
    return;
  }
  host::TCustomTreeView::Edit(item);
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
