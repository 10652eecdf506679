// The shell tree's part in OLE drag and drop (TKivShellDragDrop, ShellViewDragDrop.h): a node is
// what lies under the mouse, it shows the drop highlight even when its target refuses the data,
// it opens once the mouse has stayed on it for AUTOEXPAND_DELAY_MS, and it is refreshed after a
// drop; a drag takes one node below a root and refreshes that node's parent afterwards.
#pragma once

#include "controls/ShellViewDragDrop.h"

namespace host {
class TTreeNode;
}

namespace zelnor {

class TKivShellTree;

class TKivShellTreeDragDrop final : public TKivShellDragDrop {
 public:
  explicit TKivShellTreeDragDrop(TKivShellTree& tree);

  // The node the next drag takes (the begin-drag notification's); nullptr takes the selected.
  void SetDragNode(host::TTreeNode* node) { dragNode_ = node; }
  // A node that goes.
  void NodeDeleted(host::TTreeNode* node);

 protected:
  TSpot SpotAt(POINT client) override;
  host::ComPtr<IDropTarget> SpotTarget(TSpot spot) override;
  void Highlight(TSpot spot, bool on) override;
  bool HighlightsRefusedSpot() const override { return true; }
  void HoverElapsed(TSpot spot) override;
  String Destination(TSpot spot) override;
  void Dropped(TSpot spot) override;
  bool ReadOnly() const override;
  void BeforeDrop(host::TObject* target, host::TStrings* files, bool& execute) override;
  void Report(TKivShellOperations operations, std::unique_ptr<host::TStrings> files,
              const String& destination) override;
  bool DragItems(TDragItems& items) override;
  void DragEnded() override;

 private:
  TKivShellTree& tree_;
  host::TTreeNode* dragNode_ = nullptr;
  // The dragged node's parent: the messages of the drag may delete nodes, so it is found again
  // by its list when the drag has ended.
  UniquePidl refreshList_;
};

}  // namespace zelnor
