// The shell list's part in OLE drag and drop (TKivShellDragDrop, ShellViewDragDrop.h): an item is
// what lies under the mouse and shows the drop highlight while its target takes the data; the
// list's background (and any item whose target refuses) drops into the shown folder; a drag takes
// the selected objects of the folder.
#pragma once

#include "controls/ShellViewDragDrop.h"

namespace host {
class TListItem;
}

namespace zelnor {

class TKivShellList;

class TKivShellListDragDrop final : public TKivShellDragDrop {
 public:
  explicit TKivShellListDragDrop(TKivShellList& list);

 protected:
  TSpot SpotAt(POINT client) override;
  host::ComPtr<IDropTarget> SpotTarget(TSpot spot) override;
  host::ComPtr<IDropTarget> BackgroundTarget() override;
  void Highlight(TSpot spot, bool on) override;
  String Destination(TSpot spot) override;
  bool ReadOnly() const override;
  void BeforeDrop(host::TObject* target, host::TStrings* files, bool& execute) override;
  void Report(TKivShellOperations operations, std::unique_ptr<host::TStrings> files,
              const String& destination) override;
  bool DragItems(TDragItems& items) override;

 private:
  TKivShellList& list_;
};

}  // namespace zelnor
