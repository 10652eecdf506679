// TKivShellListChanges: the shell list's change reports and incremental refresh.
#include "controls/ShellListChanges.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

#include "controls/ShellList.h"
#include "controls/ShellNameOrder.h"
#include "extras/DirectoryWatch.h"
#include "extras/ShellChangeNotifier.h"

namespace zelnor {

using host::TListItem;

namespace {

constexpr int kSmartRefreshLimit = 300;
// A timer's refresh that finds this many new objects adds them a tick after its walk.
constexpr size_t kApplyLaterCount = 1000;

}  // namespace

TKivShellListChanges::TKivShellListChanges(TKivShellList& list)
    : list_(list), timer_(std::make_unique<host::TTimer>()) {
  timer_->SetEnabled(false);
  timer_->SetInterval(kRefreshDelayMs);
  timer_->SetOnTimer([this](host::TObject*) { Tick(); });
}

TKivShellListChanges::~TKivShellListChanges() { Stop(); }

void TKivShellListChanges::Stop() {
  StopWalk();
  timer_->SetEnabled(false);
}

void TKivShellListChanges::FileChange() {
  if (walk_) {
    // The walk under way may have passed this report's object: another follows it.
    walkReported_ = true;
    return;
  }
  if (pending_.pending && timer_->Enabled()) {
    // The walk's new objects are added first; this report's walk follows.
    pending_.reported = true;
    return;
  }
  DropPending();
  timer_->SetEnabled(false);
  timer_->SetEnabled(true);
}

void TKivShellListChanges::DropPending() {
  if (std::exchange(pending_, {}).pending) timer_->SetInterval(kRefreshDelayMs);
}

void TKivShellListChanges::Report(int event, PItemIDList pidl1) {
  switch (event) {
    case neNetShare:
    case neNetUnShare:
      timer_->SetEnabled(false);
      DropPending();
      list_.Refresh();
      return;
    case neFileDelete:
    case neFolderDelete: {
      if (IsShownFolderOrAncestor(pidl1)) {
        // The shown folder itself, or a folder above it: the timer finds out where to go.
        FileChange();
        return;
      }
      // Only an object of the shown folder can be one of the items.
      UniquePidl parent = GetItemIdListStart(pidl1, GetItemIdListDepth(pidl1) - 1);
      const bool here =
          GetItemIdListDepth(pidl1) > 0 && SameItemIdList(parent.get(), list_.GetFolderIdList());
      // By name first: a report made from a path alone may call a folder a file, and comparing
      // names is cheaper than asking the folder about every item.
      TListItem* item =
          here ? list_.FindItemByParsingName(host::ExtractFileName(GetPathFromPidl(pidl1)), 1)
               : nullptr;
      UniquePidl relative = here && !item ? GetRelativePIDL(pidl1) : UniquePidl{};
      if (relative) item = list_.ItemOfPIDL(relative.get());
      if (item && TKivShellList::ItemData(item)->cutToClipboard) {
        // Objects cut here leave together after a paste: the refresh reports them at once.
        FileChange();
      } else if (item) {
        list_.DeleteGoneItem(item);
      } else if (here) {
        // Not found by its list (a report built from a name alone): the refresh settles it.
        FileChange();
      }
      return;
    }
    default:
      FileChange();
  }
}

bool TKivShellListChanges::IsShownFolderOrAncestor(PCItemIDList idList) {
  PCItemIDList folder = list_.GetFolderIdList();
  if (!idList || !folder) return false;
  if (SameItemIdList(idList, folder)) return true;
  // By path where both have one: a report made from a path names it the shell's way.
  const String path = host::ExcludeTrailingBackslash(GetPathFromPidl(idList));
  const String shown = host::ExcludeTrailingBackslash(GetPathFromPidl(folder));
  if (!path.empty() && !shown.empty())
    return shown.size() > path.size() && host::AnsiSameText(shown.substr(0, path.size()), path) &&
           (shown[path.size()] == '\\' || path.back() == '\\');
  return ILIsParent(idList, folder, FALSE) != FALSE;
}

void TKivShellListChanges::Tick() {
  timer_->SetEnabled(false);
  if (pending_.pending) {
    PendingChanges pending = std::exchange(pending_, {});
    timer_->SetInterval(kRefreshDelayMs);
    // A refill, navigation or refresh since the walk has made its findings void.
    if (pending.stamp == list_.refreshStamp_ && !list_.Loading() && list_.Enabled() &&
        !list_.refreshing_) {
      Apply(std::move(pending.fresh));
      // Adding a burst takes most of a tick, and so does drawing it.
      list_.PaintLater();
    }
    if (pending.reported) FileChange();
    return;
  }
  const String path = list_.GetPath();
  // The cheap test first: which special folder is shown may take Wine tens of milliseconds to
  // find out.
  if (!path.empty() && DirectoryGoneOrPending(host::ToWide(path)) &&
      list_.GetSpecialFolder() == SF_FILESYSTEMFOLDER &&
      !host::FileExists(host::ExcludeTrailingBackslash(path))) {
    // The shown folder has vanished.
    list_.SetSpecialFolder(SF_DRIVES);
    return;
  }
  // Through the list's SmartRefresh, which a descendant may extend.
  host::ScopedValue fromTimer{fromTimer_, true};
  list_.SmartRefresh();
}

void TKivShellListChanges::Refresh() {
  if (list_.Loading() || !list_.Enabled() || list_.refreshing_) return;
  // A walk of the timer, under way or waiting to be applied, is overtaken by this one.
  DropPending();
  StopWalk();
  if (list_.Items()->Count() > kSmartRefreshLimit) {
    // A full refill is cheaper here; the selected object is selected again.
    if (list_.IsEditing()) return;
    TListItem* selected = list_.Selected();
    TKivShellListItem* data = TKivShellList::ItemData(selected);
    const String name = data ? data->parsingName : String{};
    list_.Refresh();
    if (list_.fill_) {
      list_.pendingSelection_ = name;
    } else {
      list_.SelectByParsingName(name);
    }
    return;
  }
  if (fromTimer_ && list_.GetFolderIdList()) {
    // Walking a big folder takes the window many ticks: a worker does it, and the window
    // matches what it found.
    StartWalk();
    return;
  }
  std::vector<TKivShellListFill::Record> fresh;
  Walk(fresh);
  Apply(std::move(fresh));
}

namespace {

// The list's items by parsing name, as the folder spells it: the display names are not read for
// this. Names that differ in case alone are two objects in a folder that tells them apart (a
// case-sensitive folder, or one made from the Unix side under Wine). A walk finds each item
// once; those it does not find are left unmarked.
class TItemsByName {
 public:
  explicit TItemsByName(host::TListItems& items) {
    byName_.reserve(size_t(items.Count()));
    for (int i = 0; i < items.Count(); ++i) {
      TListItem* item = items.Item(i);
      TKivShellListItem* data = TKivShellList::ItemData(item);
      if (!data || data->parentFolder) continue;
      data->seen = 0;
      byName_.emplace(Key(data->parsingName), item);
    }
  }
  // The item of the child of that name, marked as found; nullptr for a new child.
  TListItem* Find(const String& name) {
    const auto found = byName_.find(Key(name));
    if (found == byName_.end()) return nullptr;
    TKivShellListItem* data = TKivShellList::ItemData(found->second);
    if (data->seen != 0) return nullptr;
    data->seen = 1;
    return found->second;
  }

 private:
  static const String& Key(const String& name) { return name; }
  std::unordered_map<String, TListItem*> byName_;
};

}  // namespace

void TKivShellListChanges::Walk(std::vector<TKivShellListFill::Record>& fresh) {
  host::CursorGuard cursor;
  TItemsByName items(*list_.Items());
  // New children are added after the walk: a refresh that finds nothing new and nothing gone
  // leaves the control alone, whose layout costs more than the walk.
  while (list_.Navigator()->Next()) {
    if (!list_.showFolders_ && list_.Navigator()->IsFolder()) continue;
    if (!IsShownObject(*list_.Navigator(), list_.ShowOptions())) continue;
    if (!items.Find(list_.Navigator()->GetObjectName()))
      fresh.push_back(TKivShellListFill::Child(*list_.Navigator()));
  }
}

void TKivShellListChanges::StartWalk() {
  TKivShellListFill::Settings settings = list_.ShownChildren();
  settings.wholeAtEnd = true;
  // The worker makes the name keys that order the new items among the others.
  if (list_.sorter_.SortsByNameKeys()) {
    settings.order = TKivShellListFill::orKeys;
    settings.nameOrder =
        ProbeNameOrder(list_.Navigator()->ShellFolder(), host::ToWide(list_.Navigator()->Folder()));
  }
  walkReported_ = false;
  walk_ = std::make_unique<TKivShellListFill>(std::move(settings), [this] { WalkReady(); });
}

void TKivShellListChanges::StopWalk() {
  walk_.reset();
  walkReported_ = false;
}

void TKivShellListChanges::WalkReady() {
  if (!walk_) return;
  std::vector<TKivShellListFill::Record> children, batch;
  bool last = false;
  while (walk_->TakeBatch(batch, last)) {
    std::move(batch.begin(), batch.end(), std::back_inserter(children));
    batch.clear();
  }
  if (!last) {
    walk_->ContinueLater();
    return;
  }
  const bool failed = walk_->Failed();
  const bool reported = std::exchange(walkReported_, false);
  walk_.reset();
  // A folder that could not be walked to its end would look as if its objects had gone: the
  // findings are dropped (a folder that vanished is reported itself).
  if (failed || list_.Loading() || !list_.Enabled() || list_.refreshing_) {
    if (reported) FileChange();
    return;
  }
  TItemsByName items(*list_.Items());
  std::vector<TKivShellListFill::Record> fresh;
  for (TKivShellListFill::Record& child : children) {
    if (TListItem* item = items.Find(child.parsingName)) {
      TKivShellList::ItemData(item)->sortKey = std::move(child.key);
    } else {
      fresh.push_back(std::move(child));
    }
  }
  if (fresh.size() >= kApplyLaterCount) {
    // Many new objects (a burst of new files): the timer adds them on its next tick, so the
    // window takes its input and timers between the matching and the adding.
    pending_ = {std::move(fresh), list_.refreshStamp_, true, reported};
    timer_->SetInterval(USER_TIMER_MINIMUM);
    timer_->SetEnabled(true);
    return;
  }
  Apply(std::move(fresh));
  if (reported) FileChange();
}

void TKivShellListChanges::Apply(std::vector<TKivShellListFill::Record> fresh) {
  host::CursorGuard cursor;
  const auto isGone = [](TListItem* item) {
    TKivShellListItem* data = TKivShellList::ItemData(item);
    return data && !data->parentFolder && data->seen == 0;
  };
  bool anyGone = false;
  for (int i = 0; i < list_.Items()->Count() && !anyGone; ++i)
    anyGone = isGone(list_.Items()->Item(i));

  std::unique_ptr<host::TStrings> cutAway;
  if (!fresh.empty() || anyGone) {
    // The control takes the changes at the end and draws them when the loop paints.
    host::TListItems* items = list_.Items();
    items->BeginBatch();
    const auto end = host::ScopeExit([items] { items->EndBatch(); });
    const int before = list_.Items()->Count();
    for (TKivShellListFill::Record& child : fresh) list_.AddChild(std::move(child), list_.details_);
    const bool added = list_.Items()->Count() != before;
    for (int i = 0; i < list_.Items()->Count();) {
      TListItem* item = list_.Items()->Item(i);
      if (!isGone(item)) {
        ++i;
        continue;
      }
      // Objects cut here and now gone were pasted elsewhere.
      if (TKivShellListItem* data = TKivShellList::ItemData(item); data->cutToClipboard) {
        if (!cutAway) cutAway = std::make_unique<host::TStringList>();
        cutAway->Add(list_.Navigator()->Folder() + data->parsingName);
      }
      list_.DeleteGoneItem(item);
    }
    // New objects were appended: put them in their place.
    if (added) list_.Resort();
  }
  // The walk's sort keys have served.
  for (int i = 0; i < list_.Items()->Count(); ++i)
    if (TKivShellListItem* data = TKivShellList::ItemData(list_.Items()->Item(i)))
      data->sortKey = std::string();
  // States of items not drawn yet are read when they are.
  if (list_.CheckedPaths()) {
    for (int i = 0; i < list_.Items()->Count(); ++i) {
      TListItem* item = list_.Items()->Item(i);
      TKivShellListItem* data = TKivShellList::ItemData(item);
      if (data && !data->parentFolder && item->ImageIndex() >= 0) list_.ReadCheckState(item);
    }
  }
  if (cutAway) list_.Operation(ShellOperations({sopCut, sopRemove}), std::move(cutAway), {});
}

}  // namespace zelnor
