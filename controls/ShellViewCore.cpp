// TKivShellViewCore: the navigator, the link, the show options, change reports, check boxes, the
// command set-up that every shell view shares, and what the list views draw alike.
#include "controls/ShellViewCore.h"

#include <commctrl.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cwchar>

#include "extras/ShellChangeNotifier.h"
#include "host/forms/Application.h"
#include "host/forms/MessageDialogs.h"
#include "host/views/ListView.h"
#include "selection/KivSelectionList.h"

namespace zelnor {

namespace {

// The sort arrow's size at 96 DPI.
constexpr int kArrowSize = 8;

// Version 6 of the common controls (loaded side by side, which its version number under some
// platforms does not tell) places the state image of an icon further from the icon.
bool CommonControlsSix() {
  static const bool six = [] {
    HMODULE module = GetModuleHandleW(L"comctl32.dll");
    if (!module) return false;
    using VersionOf = HRESULT(CALLBACK*)(DLLVERSIONINFO*);
    auto get = reinterpret_cast<VersionOf>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetVersion")));
    DLLVERSIONINFO info{};
    info.cbSize = sizeof info;
    if (get && SUCCEEDED(get(&info)) && info.dwMajorVersion >= 6) return true;
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    _wcslwr(path);
    return std::wcsstr(path, L"common-controls") != nullptr;
  }();
  return six;
}

}  // namespace

TKivShellViewCore::TKivShellViewCore(host::TComponent& view, IKivShellControl& control,
                                     TKivShellShowOptions options)
    : view_(view), control_(control), navigator_(std::make_unique<TZelnor>()), options_(options) {
  // The shell shows its error boxes only when the view's ShowErrorMessages asks for them.
  navigator_->SetShowErrorMessages(false);
  navigator_->SetFileSystemOnly(false);
}

TKivShellViewCore::~TKivShellViewCore() {
  // Views leave their link in their own destructors, while they are whole; this is for a view
  // whose construction failed half-way.
  if (link_) AttachShellControl(&control_, link_, nullptr);
}

// ---- Link

bool TKivShellViewCore::SetShellLink(TKivShellLink* link) {
  if (link == link_) return false;
  if (link_) link_->RemoveFreeNotification(&view_);
  AttachShellControl(&control_, link_, link);
  if (link_) link_->FreeNotification(&view_);
  return true;
}

void TKivShellViewCore::Notification(host::TComponent* component, host::TOperation operation) {
  if (operation == host::opRemove && component == link_) link_ = nullptr;
}

// ---- Show options

bool TKivShellViewCore::StoreShowOptions(TKivShellShowOptions options) {
  if (options == options_) return false;
  options_ = options;
  navigator_->SetShowErrorMessages(options.Contains(soShowErrorMessages));
  return true;
}

void TKivShellViewCore::SetUseSystemFont(bool value, host::TFont& font) {
  useSystemFont_ = value;
  if (value) ApplyExplorerFont(font);
}

// ---- Change reports

TKivShellChangeNotifier& TKivShellViewCore::WatchChanges(TReportPolicy policy,
                                                         TReportHandler handler) {
  policy_ = policy;
  handler_ = std::move(handler);
  notifier_ = std::make_unique<TKivShellChangeNotifier>();
  notifier_->OnChangePIDL = [this](host::TObject*, TNotificationEvent event, PItemIDList first,
                                   PItemIDList second) { handler_(event, first, second); };
  return *notifier_;
}

TKivShellViewCore::THold TKivShellViewCore::Busy() {
  ++busyDepth_;
  return THold([this] {
    if (--busyDepth_ > 0) return;
    // Replayed reports are handled as if they came now: the view is no longer busy.
    std::vector<HeldReport> reports = std::move(heldReports_);
    heldReports_.clear();
    for (HeldReport& report : reports)
      if (handler_) handler_(report.event, report.first.get(), report.second.get());
  });
}

bool TKivShellViewCore::HoldReport(int event, PCItemIDList first, PCItemIDList second) {
  if (busyDepth_ == 0) return false;
  if (policy_ == TReportPolicy::Replay)
    heldReports_.push_back(HeldReport{event, CopyItemIdList(first), CopyItemIdList(second)});
  return true;
}

// ---- Check boxes

bool TKivShellViewCore::CheckBoxesAllowed(bool wanted) const {
  if (!wanted || link_ || Loading()) return wanted;
  if (Designing()) host::ShowMessage(kNeedsALink);
  return false;
}

TKivSelectionList* TKivShellViewCore::CheckedPaths(bool checkBoxes) const {
  return checkBoxes && link_ ? link_->SelectionList() : nullptr;
}

void TKivShellViewCore::ShowCheckBoxImages(
    bool on, host::TCustomImageList* shown,
    const std::function<void(host::TCustomImageList*)>& set) {
  if (on) {
    if (!shown) {
      auto* control = dynamic_cast<host::TControl*>(&view_);
      set(new TKivSelectionStateImageList(&view_, control ? control->CurrentPpi() : 0));
    }
    return;
  }
  if (shown && shown->Owner() == &view_) {
    set(nullptr);
    delete shown;
  }
}

void TKivShellViewCore::ScaleImages(int ppi, std::initializer_list<TKivSystemImageList*> systemLists,
                                    host::TCustomImageList* stateImages) {
  for (TKivSystemImageList* list : systemLists)
    if (list) list->SetPixelsPerInch(ppi);
  if (auto* boxes = dynamic_cast<TKivSelectionStateImageList*>(stateImages);
      boxes && boxes->Owner() == &view_)
    boxes->SetPixelsPerInch(ppi);
}

void TKivShellViewCore::ToggleChecked(TKivSelectionList& list, PCItemIDList absolute,
                                      TKivSelectionState state, const std::function<void()>& show) {
  if (state == ssNone) return;
  list.BeginUpdate();
  auto endUpdate = host::ScopeExit([&list] { list.EndUpdate(); });
  if (state == ssChecked) {
    list.RemovePIDLFromSelection(absolute);
  } else if (state == ssUnChecked || state == ssGrayed) {
    list.AddPIDLToSelection(absolute);
    // The item may complete its folder (or one above): that folder's entry replaces them.
    if (UniquePidl complete = list.CompletePIDLSelected(absolute))
      list.AddPIDLToSelection(complete.get());
  }
  show();
}

// ---- Commands

void TKivShellViewCore::PrepareNavigatorForCommand(bool readOnly, std::function<void()> rename,
                                                   const TOnContextMenuSelectEvent& onSelect) {
  if (readOnly)
    navigator_->OnRename = nullptr;
  else
    navigator_->OnRename = [rename = std::move(rename)](host::TObject*) { rename(); };
  navigator_->OnContextMenuSelect = onSelect;
  navigator_->SetRestrictedVerbs(readOnly);
  navigator_->SetShowContextMenuOnTop(ShowOption(soShowContextMenuOnTop));
}

bool TKivShellViewCore::CommandKey(WORD& key, host::TShiftState shift, bool readOnly,
                                   bool hasSelection,
                                   const std::function<bool(const String&)>& runVerb) {
  const bool ctrl = (shift & host::ssCtrl) != 0;
  switch (key) {
    case VK_DELETE:
      if (!readOnly) runVerb("delete");
      return true;
    case 'C':
      if (!ctrl) return false;
      runVerb("copy");
      key = 0;
      return true;
    case 'X':
      if (!ctrl) return false;
      if (!readOnly) {
        runVerb("cut");
        key = 0;
      }
      return true;
    case VK_F2:
      if (hasSelection) runVerb("rename");
      return true;
    case VK_F5:
      control_.Refresh();
      if (link_) link_->Refresh(&control_);
      return true;
    default:
      return false;
  }
}

void TKivShellViewCore::RenameRefused(HWND view, const String& why,
                                      std::function<void()> editAgain) {
  if (!ShowOption(soShowErrorMessages)) return;
  host::MessageDlg(why, host::mtError, host::MsgButtons({host::mbOK}));
  editAgain_ = std::move(editAgain);
  if (view) PostMessageW(view, CM_EDITAGAIN, 0, 0);
}

void TKivShellViewCore::EditAgain() {
  if (std::function<void()> again = std::exchange(editAgain_, nullptr)) again();
}

void TKivShellViewCore::RestoreEditText(HWND edit, const String& typed) {
  if (!edit) return;
  SetWindowTextW(edit, host::ToWide(typed).c_str());
  SendMessageW(edit, EM_SETSEL, 0, -1);
}

void TKivShellViewCore::SelectNameOnly(HWND edit, bool folder) {
  if (!edit || folder) return;
  const int length = GetWindowTextLengthW(edit);
  host::WideString text(size_t(length) + 1, L'\0');
  GetWindowTextW(edit, text.data(), length + 1);
  text.resize(size_t(length));
  const size_t dot = text.rfind(L'.');
  if (dot != host::WideString::npos && dot > 0) PostMessageW(edit, EM_SETSEL, 0, LPARAM(dot));
}

// ---- Check boxes of a list view

host::TListItem* TKivShellViewCore::ListCheckBoxAt(host::TCustomListView& view, int x, int y) {
  host::TCustomImageList* images = view.StateImages();
  if (!images || !view.HandleAllocated()) return nullptr;
  host::TListItem* item = view.GetItemAt(x, y);
  if (!item) return nullptr;
  RECT icon = item->DisplayRect(host::drIcon);
  if (view.ViewStyle() == host::vsIcon) icon.left += CommonControlsSix() ? 20 + images->Width() : 6;
  const bool onBox = x < icon.left && y >= icon.bottom - images->Height();
  return onBox ? item : nullptr;
}

TKivSelectionState TKivShellViewCore::ListItemSelectionState(const host::TCustomListView& view,
                                                             int index) {
  if (index < 0 || index >= view.Items()->Count()) return ssUnused;
  const int state = view.Items()->Item(index)->StateIndex();
  return state >= ssUnused && state <= ssGrayed ? TKivSelectionState(state) : ssUnused;
}

POINT TKivShellViewCore::ListSelectionCorner(host::TCustomListView& view) {
  host::TListItem* item = view.Selected();
  if (!item) return POINT{1, 1};
  const RECT bounds = item->DisplayRect(host::drSelectBounds);
  return view.ClientToScreen(POINT{bounds.right, bounds.bottom});
}

host::TListItem* TKivShellViewCore::ListMenuItem(host::TCustomListView& view,
                                                 const host::TMessage& message, POINT& point,
                                                 const std::function<void(POINT)>& mouseUp) {
  point = POINT{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
  if (point.x < 0) {
    point = ListSelectionCorner(view);
    return view.Selected();
  }
  const POINT client = view.ScreenToClient(point);
  if (mouseUp) mouseUp(client);
  LVHITTESTINFO hit{};
  hit.pt = client;
  const int index = int(SendMessageW(view.Handle(), LVM_HITTEST, 0, LPARAM(&hit)));
  if (index < 0 || (hit.flags & LVHT_NOWHERE) || index >= view.Items()->Count()) return nullptr;
  return view.Items()->Item(index);
}

// ---- Header arrows

HBITMAP TKivShellViewCore::MakeSortArrow(bool up, int ppi) {
  const int scale = std::max(1, (ppi + 48) / 96);  // whole pixels stay sharp
  const int size = kArrowSize * scale;
  HBITMAP bitmap;
  host::UniqueDC dc;
  {
    host::WindowDC screen;
    dc.reset(CreateCompatibleDC(screen.get()));
    bitmap = CreateCompatibleBitmap(screen.get(), size, size);
  }
  host::SelectedObject select(dc.get(), bitmap);
  RECT all{0, 0, size, size};
  FillRect(dc.get(), &all, GetSysColorBrush(COLOR_BTNFACE));
  HBRUSH arrow = GetSysColorBrush(COLOR_BTNTEXT);
  for (int row = 0; row < 4; ++row) {
    // Row 0 is the tip: one pixel pair wide, the base four pairs.
    const int y = up ? 2 + row : 5 - row;
    // Whole pixels of the 96-DPI arrow, each `scale` pixels square.
    RECT line{(3 - row) * scale, y * scale, (5 + row) * scale, (y + 1) * scale};
    FillRect(dc.get(), &line, arrow);
  }
  return bitmap;
}

}  // namespace zelnor
