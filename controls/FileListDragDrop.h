// The file list's part in OLE drag and drop (TKivShellDragDrop, ShellViewDragDrop.h): files
// dropped on the list are only listed (the source keeps them), the row under the mouse shows the
// drop highlight; a drag takes the selected rows, which may lie in many folders.
#pragma once

#include "controls/ShellViewDragDrop.h"

namespace zelnor {

class TKivFileList;

class TKivFileListDragDrop final : public TKivShellDragDrop {
 public:
  explicit TKivFileListDragDrop(TKivFileList& list);

 protected:
  TSpot SpotAt(POINT client) override;
  host::ComPtr<IDropTarget> SpotTarget(TSpot) override { return nullptr; }
  void Highlight(TSpot spot, bool on) override;
  String Destination(TSpot) override { return String{}; }
  bool ReadOnly() const override { return false; }
  void BeforeDrop(host::TObject* target, host::TStrings* files, bool& execute) override;
  bool TakesDrops() const override { return true; }
  void TakeDrop(host::TStrings& files) override;
  void Report(TKivShellOperations operations, std::unique_ptr<host::TStrings> files,
              const String& destination) override;
  bool DragItems(TDragItems& items) override;

 private:
  TKivFileList& list_;
};

}  // namespace zelnor
