// The shell combo box: the usual places of the namespace in a drop-down list, as an address box.
//   TKivComboItem     the entry hung on every combo item: key, display name, depth, icon, list
//   TKivShellCombo    the desktop, its folders, My Computer's drives and folders and the chain
//                     down to the current location, indented with small icons; an edit field over
//                     the face for typed paths; navigation of the linked controls; the shell's
//                     context menu of the chosen entry
//
// Entries built by Refresh (and AddFolder) are persistent; those added to show the current
// location are not, and go again when the location changes. Each entry owns its absolute list;
// it is freed whenever the host combo lets go of the item (Delete, Clear, destruction).
#pragma once

#include <windows.h>

#include <memory>

#include "host/forms/StdCtrls.h"
#include "controls/ShellViewCore.h"
#include "host/views/ComboBox.h"
#include "link/ShellLink.h"
#include "shell/ShowOptions.h"
#include "shell/SystemImageList.h"
#include "shell/Zelnor.h"

namespace zelnor {

class TKivShellCombo;

// The object of every combo item.
class TKivComboItem : public host::TObject {
 public:
  String ClassName() const override { return "TKivComboItem"; }

  // The key of the entry and the string of its combo item: the parsing name of an enumerated
  // folder ("C:\" for a drive), a folder's own name on the path chain, the path for AddFolder.
  String name;
  String text;         // the display name drawn in the list
  int indent = 0;      // depth: the desktop 0, its folders 1, My Computer's 2, and so on
  int iconIndex = -1;  // in the small system image list
  bool drive = false;  // name is "C:" or "C:\"
  bool persistent = true;
  UniquePidl idList;  // absolute; nil for entries made from a path until they are chosen
};

// The edit field laid over the combo's face.
class TKivComboEdit : public host::TEdit {
 public:
  explicit TKivComboEdit(TKivShellCombo* combo);

 protected:
  // Enter navigates to the typed path; every key down is offered to the combo's OnKeyUp.
  void KeyDown(WORD& key, host::TShiftState shift) override;
  // Enter is swallowed; other characters go to the combo's OnKeyPress.
  void KeyPress(wchar_t& key) override;

 private:
  TKivShellCombo* combo_;
};

class TKivShellCombo : public host::TCustomComboBox, public TKivShellView<TKivShellCombo> {
  HOST_CLASS(TKivShellCombo, host::TCustomComboBox)
  explicit TKivShellCombo(host::TComponent* owner = nullptr);
  ~TKivShellCombo() override;

  // ---- Settings (the link, show options, FileSystemOnly, UseSystemFont and Version come with
  // TKivShellView)
  void SetShellLink(TKivShellLink* link);
  bool ShowContextMenu() const { return showContextMenu_; }
  void SetShowContextMenu(bool value) { showContextMenu_ = value; }
  // soShowFiles is always taken out: the combo lists folders.
  void SetShowOptions(TKivShellShowOptions options);
  bool Editable() const { return editable_; }
  void SetEditable(bool value);
  bool ShowFullPath() const { return showFullPath_; }
  void SetShowFullPath(bool value);
  // Text: the edit field's text (when shown and not empty), else the selected entry's name.
  String GetText2() const;
  // Remembers the text and puts it into the edit field.
  void SetText2(const String& text);

  // ---- Selection
  int KivGetItemIndex() const { return ItemIndex(); }
  // Selects entry `i`, runs Change and tells the link; nothing for the current or a negative one.
  void KivSetItemIndex(int i);
  // File-system path of the selected entry; empty for virtual folders or without a selection.
  String GetSelectedFolder();
  // Binds the navigator to `path` and shows it; a path that cannot be opened changes nothing
  // (its error is shown when ShowErrorMessages is on).
  void SetSelectedFolder(const String& path);
  // Shows the location of the absolute list: the path chain for file-system folders, else the
  // chain of its ancestors. Nil does nothing.
  void SelectPidl(PCItemIDList idList);

  // ---- Entries
  // Inserts an entry that takes `idList`; an empty Name becomes Text, and when both are empty
  // nothing is inserted (the list is freed). An index above the count or negative appends.
  // Answers the index of the new entry, -1 when none was inserted.
  int InsertItem(int index, const String& name, const String& text, int iconIndex, int indent,
                 UniquePidl idList, bool persistent);
  int AddShellItem(const String& name, const String& text, int iconIndex, int indent,
                   UniquePidl idList, bool persistent) {
    return InsertItem(-1, name, text, iconIndex, indent, std::move(idList), persistent);
  }
  // Appends an entry for a path unless an item has that string already.
  void AddFolder(const String& path, int indent, bool persistent);
  // Inserts the folders among the navigator's children from `index` on: drives first.
  void AddToComboList(int index, int indent);
  // Shows a file-system path as the chain of its folders below its drive's entry.
  void AddPathToCombo(const String& path);
  // Shows a list as the chain of its ancestors below the deepest one already listed.
  void AddIdListToCombo(PCItemIDList idList);
  // Deletes the non-persistent entries after `index` (-1: all of them).
  void DeleteNonPersistentFolders(int index);
  void Delete(int index);
  void Clear();
  // The entry of item `index`; a plain string item (added through Items) becomes an entry here,
  // once. Nil outside the list.
  TKivComboItem* Entry(int index);
  // The entry of item `index` as it stands; nil for a plain string or outside the list.
  TKivComboItem* ItemData(int index) const;

  // ---- Parts
  using TKivShellView::Navigator;
  TKivSystemImageList* Images() const { return images_.get(); }
  host::TCustomEdit* EditField() const { return edit_.get(); }
  int IndentWidth() const { return indentWidth_; }
  // Fills the combo unless it has been filled (or the designer shows it).
  void Initialize();
  void FullRefresh() { Refresh(); }

  // IKivShellControl
  void PathChanged(PCItemIDList idList) override { SelectPidl(idList); }
  void FileChanged(PCItemIDList, PCItemIDList) override {}
  void SelectAll() override { host::TCustomComboBox::SelectAll(); }
  // Rebuilds every entry, keeping the location shown.
  void Refresh() override;
  void SmartRefresh() override {}
  bool GoUp() override { return false; }

  void Loaded() override;
  // Icons and check boxes of the new DPI.
  void ChangeScale(int m, int d) override;

 protected:
  friend class TKivComboEdit;
  void CreateWnd() override;
  void WndProc(host::TMessage& message) override;
  void Notification(host::TComponent* component, host::TOperation operation) override;
  void Resize() override;
  // The user chose an entry: drop the path entries below it, show it, navigate the link.
  void Change() override;
  void DropDown() override;
  void DrawItem(int index, const RECT& rect, host::TOwnerDrawState state) override;
  void MeasureItem(int index, int& height) override;
  void ItemDeleted(int index, host::TObject* object) override;

  void WMContextMenu(host::TMessage& message) override;
  void AdjustEditFieldSize();

 private:
  bool Loading() const { return Has(host::TComponentStateFlag::csLoading); }
  bool Designing() const { return Has(host::TComponentStateFlag::csDesigning); }
  // The entry's list; an entry without one gets it by parsing its name. Nil when that fails.
  PCItemIDList EntryIdList(int index);
  // SelectPidl and AddIdListToCombo without raising: false, with EZelnorError's message in `why`,
  // where a folder on the way cannot be bound.
  bool ShowLocation(PCItemIDList idList, String* why = nullptr);
  // The edit field shows the current entry again (what was typed goes).
  void ShowCurrentText();
  bool ShowAncestors(PCItemIDList idList, String* why);
  // The first entry with a list equal to `idList`, or -1.
  int IndexOfIdList(PCItemIDList idList) const;
  // The combo's own text: the selected entry's name.
  String OwnText() const;

  bool initialized_ = false;
  std::unique_ptr<TKivSystemImageList> images_;
  int indentWidth_ = 10;
  std::unique_ptr<TKivComboEdit> edit_;
  bool showFullPath_ = false;
  bool showContextMenu_ = true;
  String givenText_;  // the text last given through Text
  bool drawingInList_ = false;
  bool editable_ = true;
};

}  // namespace zelnor
