// Menus of the host class library.
//   TShortCut, ShortCut, ShortCutToText      key and modifier of a menu item
//   TMenuBreak, TFindItemKind                column breaks; how FindItem looks
//   TMenuItem      one item and its subitems; a command identifier from 0x8000 up
//   CopyMenuItem   a copy of an item with its subitems, recursively
//   TMenu          the root item, images, owner drawing, lookup by command and by handle
//   TPopupMenu     Popup(x, y) at a screen point, OnPopup, PopupComponent
//   TMainMenu      a form's menu bar
//   PopupListWindow, DispatchMenuMessage     the hidden window that owns popped-up menus and
//                                            draws owner-drawn host items
//
// Command identifiers of host items start at 0x8000, so a menu that merges the shell's
// context-menu items can give the shell 1 to 0x7FFF. A menu handle may hold entries that others
// inserted (the shell's items): rebuilding the host's entries leaves them in place.
#pragma once

#include "host/core/Classes.h"
#include "host/core/Messages.h"
#include "host/core/Raii.h"
#include "host/core/TypeInfo.h"
#include "host/graphics/Graphics.h"

#include <windows.h>

#include <functional>
#include <vector>

namespace host {

class TMenu;
class TCustomImageList;

using TShortCut = WORD;  // virtual key | scShift | scCtrl | scAlt
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;
constexpr TShortCut ShortCut(WORD key, TShortCut modifiers) { return TShortCut(key | modifiers); }
// "Ctrl+S", "Shift+F10", "Del"; empty for scNone.
String ShortCutToText(TShortCut shortCut);

enum TMenuBreak { mbNone, mbBreak, mbBarBreak };
inline const TEnumInfo MenuBreakInfo{"mbNone", "mbBreak", "mbBarBreak"};
enum TFindItemKind { fkCommand, fkHandle, fkShortCut };

// The first and last command identifiers host items take.
constexpr UINT kFirstMenuCommand = 0x8000;
constexpr UINT kLastMenuCommand = 0xFFFF;

using TMenuDrawItemEvent =
    std::function<void(TObject* sender, TCanvas* canvas, const RECT& rect, bool selected)>;
using TMenuMeasureItemEvent =
    std::function<void(TObject* sender, TCanvas* canvas, int& width, int& height)>;

class TMenuItem : public TComponent {
  HOST_CLASS(TMenuItem, TComponent)
  explicit TMenuItem(TComponent* owner = nullptr);
  ~TMenuItem() override;

  // Subitems (owned: freed with this item).
  int Count() const { return int(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(size_t(index)); }
  TMenuItem* Parent() const { return parent_; }
  int MenuIndex() const;
  void SetMenuIndex(int index);
  int IndexOf(const TMenuItem* item) const;
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  // Takes the item out without freeing it.
  void Remove(TMenuItem* item);
  // Frees the item at `index`.
  void Delete(int index);
  void Clear();
  // The subitem with this caption (ignoring '&' and case), or nullptr.
  TMenuItem* Find(const String& caption) const;
  // The menu this item belongs to, or nullptr.
  TMenu* GetParentMenu() const;

  // The identifier WM_COMMAND and TrackPopupMenu report for this item.
  UINT Command() const { return command_; }
  // The submenu of this item's children (made on first use, rebuilt after changes).
  HMENU Handle();
  HMENU HandleIfAllocated() const { return handle_.get(); }
  bool IsLine() const { return caption_ == "-"; }

  const String& Caption() const { return caption_; }
  void SetCaption(const String& caption);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut shortCut);
  const String& Hint() const { return hint_; }
  void SetHint(const String& hint) { hint_ = hint; }
  TMenuBreak Break() const { return break_; }
  void SetBreak(TMenuBreak value);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  bool Default() const { return default_; }
  void SetDefault(bool isDefault);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int index) { groupIndex_ = index; }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int context) { helpContext_ = context; }
  bool RadioItem() const { return radioItem_; }
  void SetRadioItem(bool radio);
  bool AutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool autoCheck) { autoCheck_ = autoCheck; }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  // An action component whose execution the item stands for (kept and copied, not run).
  TComponent* Action() const { return action_; }
  void SetAction(TComponent* action);

  // Runs the item: AutoCheck toggles, OnClick fires.
  virtual void Click();
  // True when the menu draws this item itself (owner drawing or images).
  bool IsOwnerDrawn() const;

  TNotifyEvent OnClick;
  TMenuDrawItemEvent OnDrawItem;
  TMenuMeasureItemEvent OnMeasureItem;

  void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;
  void SetParentComponent(TComponent* parent) override;

  // Drawing of owner-drawn items, for the popup-list window (and the menus' owners).
  virtual void MeasureItem(HDC dc, int& width, int& height);
  virtual void DrawItem(HDC dc, const RECT& rect, bool selected);

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TMenu;
  friend class TMainMenu;
  void Changed();  // the menu handles that show this item must be rebuilt
  void Rebuild();
  void FillItemInfo(MENUITEMINFOW& info, std::wstring& text);
  void DetachFromParentHandle();
  void TurnSiblingsOff();

  std::vector<TMenuItem*> items_;
  int ownStart_ = 0;  // position of our first entry among entries others added to the handle
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;  // set on the root item
  UINT command_ = 0;
  UniqueMenu handle_;
  bool dirty_ = true;
  bool menuBar_ = false;
  String caption_;
  TShortCut shortCut_ = 0;
  String hint_;
  TMenuBreak break_ = mbNone;
  bool checked_ = false, default_ = false, enabled_ = true, radioItem_ = false,
       autoCheck_ = false, visible_ = true;
  int groupIndex_ = 0, helpContext_ = 0, imageIndex_ = -1;
  TComponent* action_ = nullptr;
};

// A new item with the attributes of `source` (caption, shortcut, name, click handler, hint, break,
// check mark, default, enabled, group index, help context, radio item, tag, visible, image index,
// action, auto check, drawing handlers) and copies of its subitems, recursively. The copies are
// owned by `owner` (the caller frees the returned item when there is none).
TMenuItem* CopyMenuItem(const TMenuItem* source, TComponent* owner = nullptr);

class TMenu : public TComponent {
  HOST_CLASS(TMenu, TComponent)
  explicit TMenu(TComponent* owner = nullptr);
  ~TMenu() override;

  TMenuItem* Items() const { return items_; }
  HMENU Handle() { return items_->Handle(); }
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* images);
  bool OwnerDraw() const { return ownerDraw_; }
  void SetOwnerDraw(bool ownerDraw);

  // The item with a command identifier, a submenu handle or a shortcut, searched through all
  // levels; nullptr when there is none.
  TMenuItem* FindItem(UINT_PTR value, TFindItemKind kind) const;
  // Clicks the item with this command identifier; false when the menu has none.
  bool DispatchCommand(UINT command);
  // Runs the OnClick of the submenu item whose submenu is about to open.
  bool DispatchPopup(HMENU submenu);

  void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  virtual void MenuChanged() {}

 private:
  friend class TMenuItem;
  TMenuItem* items_;
  TCustomImageList* images_ = nullptr;
  bool ownerDraw_ = false;
};

enum TPopupAlignment { paLeft, paRight, paCenter };
inline const TEnumInfo PopupAlignmentInfo{"paLeft", "paRight", "paCenter"};

class TPopupMenu : public TMenu {
  HOST_CLASS(TPopupMenu, TMenu)
  explicit TPopupMenu(TComponent* owner = nullptr);

  // Shows the menu at a screen point and runs the chosen item's Click.
  virtual void Popup(int x, int y);
  // As Popup, and answers the chosen item (nullptr when the menu was closed without a choice).
  TMenuItem* TrackPopup(int x, int y);
  // The control whose context menu this is, while it is shown (set by the control).
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* component);
  POINT PopupPoint() const { return popupPoint_; }
  TPopupAlignment Alignment() const { return alignment_; }
  void SetAlignment(TPopupAlignment alignment) { alignment_ = alignment; }
  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool autoPopup) { autoPopup_ = autoPopup; }

  TNotifyEvent OnPopup;

 protected:
  virtual void DoPopup();
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TComponent* popupComponent_ = nullptr;
  POINT popupPoint_{};
  TPopupAlignment alignment_ = paLeft;
  bool autoPopup_ = true;
};

class TMainMenu : public TMenu {
  HOST_CLASS(TMainMenu, TMenu)
  explicit TMainMenu(TComponent* owner = nullptr);
  // The window whose menu bar this is (set by the form), redrawn after changes.
  void SetWindow(HWND wnd) { window_ = wnd; }

 protected:
  void MenuChanged() override;

 private:
  HWND window_ = nullptr;
};

// The hidden window that owns popped-up host menus: it draws owner-drawn items and forwards
// WM_INITMENUPOPUP, WM_MENUSELECT and WM_COMMAND to the items' menus. Hand it the menu messages
// of a window that shows host items (as the shell's context menu does).
HWND PopupListWindow();
// Handles a menu message for host items: WM_COMMAND from a menu, WM_DRAWITEM/WM_MEASUREITEM of
// menu items, WM_INITMENUPOPUP, WM_MENUSELECT (sets the application hint). False when the
// message is not about a host item.
bool DispatchMenuMessage(TMessage& m);

// Registers the menu classes with the form reader.
void RegisterMenuClasses();

}  // namespace host
