// The host combo box over the platform's combo box.
//   TComboBoxStyle     simple, drop-down, drop-down list, owner-drawn fixed and variable
//   TComboBoxStrings   the items with their objects, kept here and mirrored in the window
//   TCustomComboBox    the control: items, ItemIndex, drop-down, owner drawing, item height
//
// The items live here, so the window can be re-created (a style change does so) without losing
// them or the selection. Setting ItemIndex never fires OnChange; only the user's choice does.
// Keys typed into the edit child of the simple and drop-down styles reach KeyDown/KeyPress.
// Every item that leaves the list (Delete, Clear) is reported to ItemDeleted with its object, so a
// combo that hangs owned objects on its items can free them.
#pragma once

#include "host/core/StringList.h"
#include "host/core/TypeInfo.h"
#include "host/forms/Controls.h"
#include "host/forms/Subclass.h"
#include "host/views/ComCtrls.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

namespace host {

class TCustomComboBox;

enum TComboBoxStyle {
  csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable
};
inline const TEnumInfo ComboBoxStyleInfo{"csDropDown", "csSimple", "csDropDownList",
                                         "csOwnerDrawFixed", "csOwnerDrawVariable"};

using TDrawItemEvent = std::function<void(TWinControl* control, int index, const RECT& rect,
                                          TOwnerDrawState state)>;
using TMeasureItemEvent = std::function<void(TWinControl* control, int index, int& height)>;

class TComboBoxStrings : public TStrings {
 public:
  explicit TComboBoxStrings(TCustomComboBox* combo) : combo_(combo) {}
  String ClassName() const override { return "TComboBoxStrings"; }

  int Count() const override { return int(items_.size()); }
  String Strings(int index) const override;
  void SetStrings(int index, const String& s) override;
  TObject* Objects(int index) const override;
  void SetObjects(int index, TObject* object) override;
  int Add(const String& s) override { return AddObject(s, nullptr); }
  int AddObject(const String& s, TObject* object) override;
  void Insert(int index, const String& s) override { InsertObject(index, s, nullptr); }
  void InsertObject(int index, const String& s, TObject* object) override;
  void Delete(int index) override;
  void Clear() override;

 protected:
  void SetUpdateState(bool updating) override;

 private:
  friend class TCustomComboBox;
  struct Entry {
    String text;
    TObject* object;
  };
  void CheckIndex(int index) const;
  void InsertNative(int index) const;

  TCustomComboBox* combo_;
  std::vector<Entry> items_;
};

class TCustomComboBox : public TWinControl {
  HOST_CLASS(TCustomComboBox, TWinControl)
  explicit TCustomComboBox(TComponent* owner = nullptr);
  ~TCustomComboBox() override;

  TStrings* Items() const { return items_.get(); }
  TComboBoxStyle Style() const { return style_; }
  // A new style re-creates the window; items and selection stay.
  void SetStyle(TComboBoxStyle style);
  // The selected item, -1 for none. Setting it fires no OnChange.
  int ItemIndex() const;
  void SetItemIndex(int index);
  bool DroppedDown() const;
  void SetDroppedDown(bool dropped);
  // Items shown in the dropped-down list before it scrolls.
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int count);
  // Height of the list items (and of owner-drawn faces); 0 for the platform's own.
  int ItemHeight() const;
  void SetItemHeight(int height);
  // Scales a given ItemHeight, and has the items of an owner-drawn combo measured again.
  void ChangeScale(int m, int d) override;
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int length);
  void SelectAll();
  // The edit child of the simple and drop-down styles, the list window, or nullptr.
  HWND EditHandle() const;
  HWND ListHandle() const;

  TCanvas* Canvas() { return &canvas_; }

  TNotifyEvent OnChange, OnSelect, OnDropDown, OnCloseUp;
  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& message) override;

  // The user changed the selection or the text; fires OnChange.
  virtual void Change();
  // The user chose an item; fires OnSelect.
  virtual void Select();
  virtual void DropDown();
  virtual void CloseUp();
  // Draws item `index` on Canvas (the context, font and brush of the item are set, selected
  // items in the highlight colours); fires OnDrawItem, or draws the text.
  virtual void DrawItem(int index, const RECT& rect, TOwnerDrawState state);
  // Asks the height of item `index` (variable owner draw); fires OnMeasureItem.
  virtual void MeasureItem(int index, int& height);
  // Item `index` has left the list (already gone from the window); `object` was its object.
  virtual void ItemDeleted(int index, TObject* object);

 private:
  friend class TComboBoxStrings;
  LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
  bool OwnerDrawn() const { return style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable; }
  void ApplyItemHeight();
  void CNCommand(TMessage& message);
  void CNDrawItem(TMessage& message);
  void CNMeasureItem(TMessage& message);
  // Routes the edit child's keys through KeyDown, KeyUp and KeyPress.
  void HookEdit();
  void EditMessage(TMessage& message);

  std::unique_ptr<TComboBoxStrings> items_;
  TComboBoxStyle style_ = csDropDown;
  int itemIndex_ = -1;  // kept while there is no window
  int dropDownCount_ = 8;
  int itemHeight_ = 0;
  int givenItemHeight_ = 0, givenItemPpi_ = 0;  // ItemHeight as given, once scaled
  int givenFace_ = 0, givenFacePpi_ = 0;        // the face's own height, once scaled
  int maxLength_ = 0;
  TSubclass editHook_{this};
  TCanvas canvas_;
};

}  // namespace host
