// What every shell view does alike, written once: the shell tree, the shell list and the shell
// combo (and the file list) each own one core and take their common face from one base.
//   TKivShellViewCore    the view's navigator; its link (registration, free notification); its
//                        show options and the navigator's error messages; its change notifier
//                        and the reports that arrive while the view is busy with its own work;
//                        the check boxes' images, who frees them, and a click on a box; the
//                        navigator's set-up for a verb; the command keys the views share
//   TKivShellView<V>     the base of view V: the accessors every view publishes alike (link,
//                        show options, file-system-only, filter, system font, version), the
//                        events of commands, check boxes and the mouse, the messages every view
//                        answers alike, and the core as a member
//   PublishShowOptions, PublishCommandEvents, PublishMouseEvents
//                        those settings and events as published properties, one table for all
//
// A busy view: the shell announces what a command changed while the command still runs (a
// rename inside SetNameOf, a delete, a new folder), and a view that edits its own selection must
// neither refill nor tell its link meanwhile. The view marks such work with a Busy guard; its
// report handler asks HoldReport first, and a report that comes while the view is busy is kept
// and handed to the view again when the outermost guard ends (the tree: its node must hold its
// new lists first) or forgotten (the list, whose refresh finds the changes anyway).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "controls/SelectionStateImageList.h"
#include "shell/SystemImageList.h"
#include "host/core/Raii.h"
#include "host/core/TypeInfo.h"
#include "host/forms/Controls.h"
#include "link/ShellLink.h"
#include "shell/ShellRoutines.h"
#include "shell/ShowOptions.h"
#include "shell/Zelnor.h"

namespace host {
class TCustomListView;
class TListItem;
}  // namespace host

namespace zelnor {

class TKivShellChangeNotifier;
class TKivSelectionList;

// Shown in the form designer when check boxes are switched on without a link.
inline constexpr char kNeedsALink[] =
    "You must now assign a TKIvShellLink to the ShellLink property of this components for the "
    "checkboxes to work!";

class TKivShellViewCore {
 public:
  // What becomes of a report that arrives while the view holds reports.
  enum class TReportPolicy { Replay, Drop };
  using TReportHandler = std::function<void(int event, PItemIDList first, PItemIDList second)>;
  using THold = host::ScopeExitGuard<std::function<void()>>;

  // `view` is the control (free notification, loading and designing states); `control` the
  // same object as a linkable shell control.
  TKivShellViewCore(host::TComponent& view, IKivShellControl& control,
                    TKivShellShowOptions options);
  ~TKivShellViewCore();
  TKivShellViewCore(const TKivShellViewCore&) = delete;
  TKivShellViewCore& operator=(const TKivShellViewCore&) = delete;

  // ---- Navigator
  TZelnor& Navigator() const { return *navigator_; }

  // ---- Link
  TKivShellLink* ShellLink() const { return link_; }
  // Leaves the old link, registers with `link`; free notification keeps the reference from
  // outliving the link. False when it is the link already.
  bool SetShellLink(TKivShellLink* link);
  // The view's Notification: a link that goes drops its controls itself, only the reference
  // goes here.
  void Notification(host::TComponent* component, host::TOperation operation);

  // ---- Show options
  TKivShellShowOptions ShowOptions() const { return options_; }
  bool ShowOption(TKivShellShowOption option) const { return options_.Contains(option); }
  // Stores `options` and lets the navigator show the shell's error boxes by soShowErrorMessages;
  // false when they are the options already stored.
  bool StoreShowOptions(TKivShellShowOptions options);
  // Stores `options` as they are, the navigator untouched (a designer's or loader's change).
  void IncludeShowOption(TKivShellShowOption option) { options_.Include(option); }
  bool UseSystemFont() const { return useSystemFont_; }
  void SetUseSystemFont(bool value, host::TFont& font);

  // ---- Change reports
  // The view's own notifier, made by WatchChanges; nullptr for a view that watches nothing.
  TKivShellChangeNotifier* Notifier() const { return notifier_.get(); }
  // Makes the view's notifier, which hands every report to `handler`. With Replay, reports held
  // while the view was busy go to `handler` when the outermost Busy guard ends.
  TKivShellChangeNotifier& WatchChanges(TReportPolicy policy, TReportHandler handler);
  // The view is busy while the guard lives: HoldReport keeps or drops the reports that come in.
  [[nodiscard]] THold Busy();
  // Busy from now on, every report dropped (the view is being destroyed).
  void BusyForGood() { ++busyDepth_; }
  bool IsBusy() const { return busyDepth_ > 0; }
  // True when the report is held or dropped, and the handler must not act on it now.
  bool HoldReport(int event, PCItemIDList first, PCItemIDList second);

  // ---- Check boxes of the link's selection list
  // Whether check boxes asked for can be shown: only with a link (or while loading, when the
  // link may come later); in the designer a box without a link says why.
  bool CheckBoxesAllowed(bool wanted) const;
  // The link's selection list when the view shows check boxes, else nullptr.
  TKivSelectionList* CheckedPaths(bool checkBoxes) const;
  // The state images the view shows for its boxes: on gives the view its own boxes when it shows
  // none; off takes back only the boxes it made (images the application assigned stay), which
  // are freed once `set` has taken them from the view.
  void ShowCheckBoxImages(bool on, host::TCustomImageList* shown,
                          const std::function<void(host::TCustomImageList*)>& set);

  // ---- DPI
  // The view went to `ppi`: its system icon lists and the check boxes it made are taken there.
  void ScaleImages(int ppi, std::initializer_list<TKivSystemImageList*> systemLists,
                   host::TCustomImageList* stateImages);
  // A click on a box showing `state` for the object at the absolute list: checks or unchecks it
  // inside one update of `list` (an item that completes its folder gives way to the folder's
  // entry); `show`, called inside the update, brings the view's boxes up to date. An inactive
  // box (ssNone) changes nothing.
  void ToggleChecked(TKivSelectionList& list, PCItemIDList absolute, TKivSelectionState state,
                     const std::function<void()>& show);
  // The item of a list view whose check box (its state image) is at the client point, else
  // nullptr; none while the view shows no state images.
  static host::TListItem* ListCheckBoxAt(host::TCustomListView& view, int x, int y);
  // The state a list item's box shows (ssUnused for none, or for an index outside the items).
  static TKivSelectionState ListItemSelectionState(const host::TCustomListView& view, int index);
  // The screen point below and right of a list view's selected item; (1, 1) without one.
  static POINT ListSelectionCorner(host::TCustomListView& view);
  // The item a list view's WM_CONTEXTMENU is for, and in `point` the screen point to open at:
  // the item under the mouse (`mouseUp` hears the right button's release first, in client
  // coordinates, which the control kept to itself), or for the keyboard the selected item.
  // An 8 by 8 sort arrow (at 96 DPI, whole pixels scaled for `ppi`) on the button face, pointing
  // up or down, for a list view's header; the caller owns the bitmap.
  static HBITMAP MakeSortArrow(bool up, int ppi);
  static host::TListItem* ListMenuItem(host::TCustomListView& view, const host::TMessage& message,
                                       POINT& point, const std::function<void(POINT)>& mouseUp);

  // ---- Commands
  // Readies the navigator for a verb: the rename verb becomes editing in the view (none while
  // read-only, when delete, cut and paste are refused too), the application's veto of verbs,
  // the menu's order.
  void PrepareNavigatorForCommand(bool readOnly, std::function<void()> rename,
                                  const TOnContextMenuSelectEvent& onSelect);
  // The keys both views give the same command: Delete, Ctrl+C, Ctrl+X, F2 and F5 (the view and
  // its linked views refresh). `runVerb` runs a verb on the view's selection. True when the key
  // was one of them.
  bool CommandKey(WORD& key, host::TShiftState shift, bool readOnly, bool hasSelection,
                  const std::function<bool(const String&)>& runVerb);
  // A name the shell refused: with error messages shown, says why and opens the label again
  // (`editAgain`, posted to the view's window so that it runs once the ending edit is done) so
  // that the typed text can be corrected.
  static constexpr UINT CM_EDITAGAIN = WM_APP + 0x3A1;
  void RenameRefused(HWND view, const String& why, std::function<void()> editAgain);
  void EditAgain();
  // Puts the typed text back in a label's edit control and selects it.
  static void RestoreEditText(HWND edit, const String& typed);
  // A file's label being edited has the name selected without its extension (after the
  // control's own selection of the whole text).
  static void SelectNameOnly(HWND edit, bool folder);

 private:
  bool Loading() const { return view_.Has(host::TComponentStateFlag::csLoading); }
  bool Designing() const { return view_.Has(host::TComponentStateFlag::csDesigning); }

  struct HeldReport {
    int event;
    UniquePidl first, second;
  };

  host::TComponent& view_;
  IKivShellControl& control_;
  std::function<void()> editAgain_;
  std::unique_ptr<TZelnor> navigator_;
  TKivShellLink* link_ = nullptr;
  TKivShellShowOptions options_;
  bool useSystemFont_ = true;
  std::unique_ptr<TKivShellChangeNotifier> notifier_;
  TReportPolicy policy_ = TReportPolicy::Drop;
  TReportHandler handler_;
  int busyDepth_ = 0;
  std::vector<HeldReport> heldReports_;
};

// The base of every shell view: its common face over the core it owns. `View` is the control
// class itself (the host control it derives from gives Font and ClassName).
template <class View>
class TKivShellView : public TKivShellControlBase {
 public:
  TKivShellLink* ShellLink() const { return core_.ShellLink(); }
  TKivShellShowOptions ShowOptions() const { return core_.ShowOptions(); }
  bool ShowOption(TKivShellShowOption option) const { return core_.ShowOption(option); }
  // A Boolean show-option property: the view's SetShowOptions with one option changed.
  void SetShowOption(TKivShellShowOption option, bool on) {
    Self().SetShowOptions(core_.ShowOptions().With(option, on));
  }
  bool FileSystemOnly() const { return core_.Navigator().FileSystemOnly(); }
  void SetFileSystemOnly(bool value) {
    core_.Navigator().SetFileSystemOnly(value);
    Self().Refresh();
  }
  String Filter() const { return core_.Navigator().GetFilter(); }
  bool UseSystemFont() const { return core_.UseSystemFont(); }
  void SetUseSystemFont(bool value) { core_.SetUseSystemFont(value, *Self().Font()); }
  String Version() const { return Self().ClassName() + " V4.2"; }

  // Handed to the navigator for each command it runs.
  TOnContextMenuSelectEvent OnContextMenuSelect;
  // What a command of the view did.
  TOnOperation OnOperation;
  TOnCheckStateChanged OnCheckStateChanged;
  host::TNotifyEvent OnMouseEnter;
  host::TNotifyEvent OnMouseLeave;

  // IKivShellControl
  void setShellLink(TKivShellLink* link) override { Self().SetShellLink(link); }
  TKivShellLink* getShellLink() override { return core_.ShellLink(); }

 protected:
  // `view` is the control itself, whose host part is made by now.
  TKivShellView(host::TComponent& view, TKivShellShowOptions options)
      : core_(view, *this, options) {}
  ~TKivShellView() = default;

  // The view's navigator and change notifier: for the view and its descendants.
  TZelnor* Navigator() const { return &core_.Navigator(); }
  TKivShellChangeNotifier* Notifier() const { return core_.Notifier(); }

  // The mouse came over the view or left it; the window procedure hands on every message.
  virtual void DoMouseEnter() {
    if (OnMouseEnter) OnMouseEnter(&Self());
  }
  virtual void DoMouseLeave() {
    if (OnMouseLeave) OnMouseLeave(&Self());
  }
  // The view's menu for WM_CONTEXTMENU.
  virtual void WMContextMenu(host::TMessage& message) = 0;
  // The messages every view answers alike, first in its window procedure: the mouse's coming
  // and going (then handled on as usual) and the context menu. True when the message is done.
  bool ViewMessage(host::TMessage& message) {
    switch (message.Msg) {
      case host::CM_MOUSEENTER:
        DoMouseEnter();
        return false;
      case host::CM_MOUSELEAVE:
        DoMouseLeave();
        return false;
      case WM_CONTEXTMENU:
        WMContextMenu(message);
        return true;
      case TKivShellViewCore::CM_EDITAGAIN:
        core_.EditAgain();
        return true;
      default:
        return false;
    }
  }

  // A left press, or a quick second one, on a list view's check box is the box's alone: the
  // control neither selects for it nor takes it for a double click that opens the item. True
  // when the press was the box's (handed to the view's MouseDown).
  bool ListBoxPress(host::TMessage& message) {
    if (message.Msg != WM_LBUTTONDOWN && message.Msg != WM_LBUTTONDBLCLK) return false;
    const int x = short(LOWORD(message.LParam)), y = short(HIWORD(message.LParam));
    if (!Self().CheckBoxAt(x, y)) return false;
    Self().MouseDown(host::mbLeft, host::KeysToShiftState(message.WParam), x, y);
    message.Result = 0;
    return true;
  }

  TKivShellViewCore core_;

 private:
  View& Self() { return static_cast<View&>(*this); }
  const View& Self() const { return static_cast<const View&>(*this); }
};

// The nine show options as Boolean properties of a view, each with its default in `defaults`.
template <class View>
void PublishShowOptions(host::TPropertyTable<View>& p, TKivShellShowOptions defaults) {
  static const std::pair<const char*, TKivShellShowOption> kOptions[] = {
      {"ShowNethood", soShowNethood},
      {"ShowRecycleBin", soShowRecycleBin},
      {"ShowErrorMessages", soShowErrorMessages},
      {"ShowHidden", soShowHidden},
      {"ShowFiles", soShowFiles},
      {"ShowContextMenuOnTop", soShowContextMenuOnTop},
      {"ColorCompressed", soColorCompressed},
      {"ColorEncrypted", soColorEncrypted},
      {"NoFillOnStartup", soNoFillOnStartup}};
  for (const auto& [name, option] : kOptions) {
    p.Bool(
        name, [option = option](const View* v) { return v->ShowOption(option); },
        [option = option](View* v, bool on) { v->SetShowOption(option, on); },
        defaults.Contains(option));
  }
}

// A view's command events, in the order the views publish them.
template <class View>
void PublishCommandEvents(host::TPropertyTable<View>& p) {
  p.template Event<TOnOperation>("OnOperation", &View::OnOperation);
  p.template Event<TOnContextMenuSelectEvent>("OnContextMenuSelect", &View::OnContextMenuSelect);
}

template <class View>
void PublishMouseEvents(host::TPropertyTable<View>& p) {
  p.template Event<host::TNotifyEvent>("OnMouseEnter", &View::OnMouseEnter);
  p.template Event<host::TNotifyEvent>("OnMouseLeave", &View::OnMouseLeave);
}

}  // namespace zelnor
