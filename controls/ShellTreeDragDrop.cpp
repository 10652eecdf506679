// TKivShellTreeDragDrop: the tree's hooks of drag and drop; the tree's begin-drag notification
// and the shell's drop targets of its nodes.
#include "controls/ShellTreeDragDrop.h"

#include "controls/ShellTree.h"

namespace zelnor {

using host::TTreeNode;

namespace {

TTreeNode* NodeOf(TKivShellDragDrop::TSpot spot) { return static_cast<TTreeNode*>(spot); }

}  // namespace

// ---- The tree

void TKivShellTree::BeginNodeDrag(TTreeNode* node, host::TMouseButton button) {
  // Roots are not dragged.
  if (!OleDragDrop() || !node || !node->Parent()) return;
  dragDrop_.SetDragNode(node);
  auto clear = host::ScopeExit([this] { dragDrop_.SetDragNode(nullptr); });
  dragDrop_.BeginOleDrag(button);
}

host::ComPtr<IDropTarget> TKivShellTree::GetDropTarget(TTreeNode* node) {
  TKivShellTreeItem* item = ShellItem(node);
  if (!item) return nullptr;
  const HWND owner = HandleIfAllocated();
  if (node->Parent() && item->parentFolder)
    return ShellDropTarget(owner, item->parentFolder.Get(), item->relativeIdList.get());
  return ShellDropTargetOf(owner, item->absoluteIdList.get());
}

// ---- The hooks

TKivShellTreeDragDrop::TKivShellTreeDragDrop(TKivShellTree& tree)
    : TKivShellDragDrop(tree), tree_(tree) {}

void TKivShellTreeDragDrop::NodeDeleted(TTreeNode* node) {
  Forget(node);
  if (node == dragNode_) dragNode_ = nullptr;
}

TKivShellDragDrop::TSpot TKivShellTreeDragDrop::SpotAt(POINT client) {
  TTreeNode* node = tree_.GetNodeAt(client.x, client.y);
  return tree_.ShellItem(node) ? node : nullptr;
}

host::ComPtr<IDropTarget> TKivShellTreeDragDrop::SpotTarget(TSpot spot) {
  return tree_.GetDropTarget(NodeOf(spot));
}

void TKivShellTreeDragDrop::Highlight(TSpot spot, bool on) { NodeOf(spot)->SetDropTarget(on); }

void TKivShellTreeDragDrop::HoverElapsed(TSpot spot) { NodeOf(spot)->Expand(false); }

String TKivShellTreeDragDrop::Destination(TSpot spot) {
  return spot ? tree_.GetFullPath(NodeOf(spot)) : String{};
}

void TKivShellTreeDragDrop::Dropped(TSpot spot) {
  TTreeNode* node = NodeOf(spot);
  if (node && node->Count() > 0) tree_.RefreshNode(node, true, true);
}

bool TKivShellTreeDragDrop::ReadOnly() const { return tree_.ReadOnly(); }

void TKivShellTreeDragDrop::BeforeDrop(host::TObject* target, host::TStrings* files,
                                       bool& execute) {
  if (tree_.OnBeforeShellDrop) tree_.OnBeforeShellDrop(&tree_, target, files, execute);
}

void TKivShellTreeDragDrop::Report(TKivShellOperations operations,
                                   std::unique_ptr<host::TStrings> files,
                                   const String& destination) {
  tree_.Operation(operations, std::move(files), destination);
}

bool TKivShellTreeDragDrop::DragItems(TDragItems& items) {
  TTreeNode* node = dragNode_ ? dragNode_ : tree_.Selected();
  TKivShellTreeItem* item = tree_.ShellItem(node);
  // A root is not dragged.
  if (!item || !node->Parent() || !item->parentFolder) return false;
  items.folder = item->parentFolder;
  items.lists.push_back(CopyItemIdList(item->relativeIdList.get()));
  TKivShellTreeItem* parent = tree_.ShellItem(node->Parent());
  refreshList_ = parent ? CopyItemIdList(parent->absoluteIdList.get()) : nullptr;
  return true;
}

void TKivShellTreeDragDrop::DragEnded() {
  const UniquePidl list = std::move(refreshList_);
  if (TTreeNode* node = list ? tree_.FindNodeOfList(list.get()) : nullptr)
    tree_.RefreshNode(node, true, true);
}

}  // namespace zelnor
