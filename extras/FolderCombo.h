// A combo box of file-system folders with their system icons.
//   TKivFolderCombo                  the drives of My Computer and My Documents on request, and
//                                    any folder the program selects; plain paths, owner-drawn
//   TKivFolderCombo::TKivComboItem   the object of each entry (not the shell combo's entry of
//                                    the same name, controls/ShellCombo.h)
//
// Each entry's string is its path. The combo owns the entry objects: one leaves with its entry
// (Delete, Clear, switching IncludeDrives off, destruction). A string put into Items directly
// becomes an entry of its own the first time it is drawn.
#pragma once

#include "host/views/ComboBox.h"
#include "shell/SystemImageList.h"
#include "shell/Zelnor.h"

#include <windows.h>

#include <memory>

namespace zelnor {

class TKivFolderCombo : public host::TCustomComboBox {
  HOST_CLASS(TKivFolderCombo, host::TCustomComboBox)

  class TKivComboItem : public host::TObject {
   public:
    String ClassName() const override { return "TKivComboItem"; }

    String path;
    String displayName;  // the shell's
    int level = 0;       // indent, in steps of IndentStep pixels
    int iconIndex = -1;  // in the small system image list
    // Shows the display name instead of the path: drives ("C:\") and My Documents.
    bool showDisplayName = false;
    // The entry IncludeMyDocuments keeps at the top.
    bool myDocuments = false;
  };

  explicit TKivFolderCombo(host::TComponent* owner = nullptr);
  ~TKivFolderCombo() override;

  // ---- Settings
  bool IncludeDrives() const { return includeDrives_; }
  // Switching it off removes every entry (the program's too); then Refresh.
  void SetIncludeDrives(bool value);
  bool IncludeMyDocuments() const { return includeMyDocuments_; }
  void SetIncludeMyDocuments(bool value);
  // Enabling refreshes the entries and gives back the colour; disabling keeps the colour and
  // shows clBtnFace.
  void SetEnabled(bool enabled) override;
  bool UseSystemFont() const { return useSystemFont_; }
  // True gives the combo the explorer's icon-title font.
  void SetUseSystemFont(bool value);
  String Version() const { return ClassName() + " V4.2"; }
  int IndentStep() const { return indentStep_; }

  // ---- Entries
  // Inserts an entry (a negative index or one beyond the count appends); answers its index.
  int InsertItem(int index, const String& path, const String& displayName, int icon, int level);
  int AddComboItem(const String& path, const String& displayName, int icon, int level) {
    return InsertItem(-1, path, displayName, icon, level);
  }
  // Appends the path with the shell's display name and small icon; -1 when an entry has this
  // path already (in any letter case).
  int AddFolder(const String& path, int level);
  // Selects the entry of `path`, adding it when missing, and fires OnChange. False when the combo
  // is disabled.
  bool SelectFolder(const String& path);
  // Adds the drives (with IncludeDrives) that are missing, and adds or removes My Documents as
  // IncludeMyDocuments says. Only while enabled, at run time and not while loading.
  void Refresh();
  // The entry object of item `index`; nullptr for a plain string or outside the list.
  TKivComboItem* ItemData(int index) const;

  TZelnor* Navigator() const { return navigator_.get(); }
  TKivSystemImageList* Images() const { return images_.get(); }

  void Loaded() override;
  // Icons of the new DPI.
  void ChangeScale(int m, int d) override;

 protected:
  // Refreshes, then selects C:\ (else the second entry, or the only one) and fires OnChange.
  // A window made again keeps the selection it had.
  void CreateWnd() override;
  void WndProc(host::TMessage& message) override;
  void DrawItem(int index, const RECT& rect, host::TOwnerDrawState state) override;
  void ItemDeleted(int index, host::TObject* object) override;

  // The shell's context menu of the selected folder, unless a PopupMenu is set.
  void WMRButtonDown(host::TMessage& message);

 private:
  bool Designing() const { return Has(host::TComponentStateFlag::csDesigning); }
  int IndexOfMyDocuments() const;
  // The entry of a string put into Items directly, hung on it in place; nullptr when the item
  // holds an object of someone else's.
  TKivComboItem* AdoptPlainItem(int index);

  std::unique_ptr<TZelnor> navigator_;
  std::unique_ptr<TKivSystemImageList> images_;
  int indentStep_ = 5;
  bool includeDrives_ = false;
  bool includeMyDocuments_ = false;
  host::TColor savedColor_ = host::clWindow;  // the colour to give back when enabled again
  bool useSystemFont_ = true;
  bool hadWindow_ = false;
};

}  // namespace zelnor
