// TKivShellTreeChanges: the tree's watched folders and its change reports.
#include "controls/ShellTreeChanges.h"

#include <algorithm>
#include <cstring>

#include "controls/ShellTree.h"
#include "extras/ShellChangeNotifier.h"
#include "shell/ShellGlobals.h"

namespace zelnor {

using host::TTreeNode;

namespace {

// A file-system path as the notifier keeps its directories: no trailing backslash but a root's.
String DirectoryOf(const String& folder) {
  if (folder.size() <= 3) return folder;
  return host::ExcludeTrailingBackslash(folder);
}

bool SameBytes(PCItemIDList a, PCItemIDList b) {
  const int size = GetPidlSize(a);
  return a && b && size == GetPidlSize(b) && std::memcmp(a, b, size_t(size)) == 0;
}

// `path` is `folder` or lies below it.
bool AtOrBelow(const String& path, const String& folder) {
  if (host::SameText(path, folder)) return true;
  const String prefix = host::IncludeTrailingBackslash(folder);
  return path.size() > prefix.size() && host::SameText(path.substr(0, prefix.size()), prefix);
}

}  // namespace

TKivShellTreeChanges::TKivShellTreeChanges(TKivShellTree& tree) : tree_(tree) {
  timer_.SetEnabled(false);
  timer_.SetInterval(1);
  timer_.SetOnTimer([this](host::TObject*) { Tick(); });
}

TKivShellTreeChanges::~TKivShellTreeChanges() { Stop(); }

void TKivShellTreeChanges::Stop() {
  timer_.SetEnabled(false);
  queue_.clear();
}

// ---- Watches

void TKivShellTreeChanges::Watch(const String& folder) {
  if (folder.empty()) return;
  if (holdDepth_ > 0) {
    if (std::find(held_.begin(), held_.end(), folder) == held_.end()) held_.push_back(folder);
    return;
  }
  WatchFolders({folder});
}

void TKivShellTreeChanges::WatchFolders(const std::vector<String>& folders) {
  host::TStrings* directories = tree_.Notifier()->Directories();
  // The roots are watched by their lists only while no folder is: they join the folders.
  // Names only: the registrations of the present ones end and begin again.
  host::TStringList wanted;
  for (int i = 0; i < directories->Count(); ++i) wanted.Add(directories->Strings(i));
  const int present = wanted.Count();
  auto want = [&](const String& path) {
    if (!path.empty() && wanted.IndexOf(DirectoryOf(path)) < 0) wanted.Add(DirectoryOf(path));
  };
  for (const String& folder : folders) want(folder);
  if (wanted.Count() == present) return;
  for (int i = 0; i < tree_.Items()->RootCount(); ++i)
    if (TKivShellTreeItem* root = tree_.ShellItem(tree_.Items()->Root(i)))
      want(GetPathFromPidl(root->absoluteIdList.get()));
  tree_.Notifier()->SetDirectories(&wanted);
}

host::ScopeExitGuard<std::function<void()>> TKivShellTreeChanges::Hold() {
  ++holdDepth_;
  return host::ScopeExitGuard<std::function<void()>>([this] {
    if (--holdDepth_ > 0 || held_.empty()) return;
    WatchFolders(std::exchange(held_, {}));
  });
}

void TKivShellTreeChanges::WatchOpen(TTreeNode* node) {
  auto hold = Hold();
  if (TKivShellTreeItem* item = tree_.ShellItem(node); item && node->Level() > 0)
    Watch(GetPathFromPidl(item->absoluteIdList.get()));
  for (int i = 0; i < node->Count(); ++i)
    if (node->Item(i)->Expanded()) WatchOpen(node->Item(i));
}

void TKivShellTreeChanges::Unwatch(TTreeNode* node) {
  TKivShellTreeItem* item = tree_.ShellItem(node);
  if (!item || node->Level() == 0) return;
  host::TStrings* directories = tree_.Notifier()->Directories();
  if (directories->Count() == 0) return;
  const String folder = DirectoryOf(GetPathFromPidl(item->absoluteIdList.get()));
  if (folder.empty()) return;
  std::vector<String> roots;
  for (int i = 0; i < tree_.Items()->RootCount(); ++i)
    if (TKivShellTreeItem* root = tree_.ShellItem(tree_.Items()->Root(i)))
      roots.push_back(DirectoryOf(GetPathFromPidl(root->absoluteIdList.get())));
  host::TStringList wanted;
  for (int i = 0; i < directories->Count(); ++i) {
    const String& path = directories->Strings(i);
    const bool root = std::any_of(roots.begin(), roots.end(),
                                  [&](const String& r) { return host::SameText(r, path); });
    if (root || !AtOrBelow(path, folder)) wanted.Add(path);
  }
  held_.erase(
      std::remove_if(held_.begin(), held_.end(),
                     [&](const String& path) { return AtOrBelow(DirectoryOf(path), folder); }),
      held_.end());
  if (wanted.Count() != directories->Count()) tree_.Notifier()->SetDirectories(&wanted);
}

// ---- Reports

void TKivShellTreeChanges::Report(int event, PCItemIDList first, PCItemIDList second) {
  switch (event) {
    case neFileDelete:
    case neDriveRemove:
    case neFolderDelete:
      Add(gaDelete, first);
      break;
    case neFolderUpdate:
      Add(gaRefresh, first);
      break;
    case neFolderRename:
    case neFileRename:
      // The old name's folder and the new one's (a move changes the folder).
      Add(gaRefreshParent, first);
      Add(gaRefreshParent, second);
      break;
    default:
      Add(gaRefreshParent, first);
      break;
  }
}

void TKivShellTreeChanges::Add(TGotoFolderIdAction action, PCItemIDList list) {
  if (!list) return;
  const TClock::time_point start = TClock::now();
  // A burst is reports that leave the window no quiet slice between them.
  if (start - lastEnd_ > kSlice) spent_ = {};
  if (queue_.empty() && spent_ < kSlice) {
    Run(action, list);
    lastEnd_ = TClock::now();
    spent_ += lastEnd_ - start;
    return;
  }
  // One step per node: a refresh of a folder covers the refreshes of its children's parent.
  UniquePidl parent;
  if (action == gaRefreshParent || action == gaRefresh) {
    const int depth = GetItemIdListDepth(list);
    if (action == gaRefreshParent && depth > 0) parent = GetItemIdListStart(list, depth - 1);
    PCItemIDList node = parent ? parent.get() : list;
    for (const TStep& step : queue_) {
      if (step.action == action && SameBytes(step.list.get(), list)) return;
      if (step.action == gaRefresh && SameBytes(step.list.get(), node)) return;
      if (step.action == gaRefreshParent && depth > 0 &&
          GetItemIdListDepth(step.list.get()) == depth) {
        const UniquePidl other = GetItemIdListStart(step.list.get(), depth - 1);
        if (SameBytes(other.get(), node)) return;
      }
    }
  } else {
    for (const TStep& step : queue_)
      if (step.action == action && SameBytes(step.list.get(), list)) return;
  }
  queue_.push_back({action, UniquePidl{CopyItemIdList(list)}});
  timer_.SetEnabled(true);
  lastEnd_ = TClock::now();
}

void TKivShellTreeChanges::Run(TGotoFolderIdAction action, PCItemIDList list) {
  tree_.GotoFolderIdList(list, action);
  RunOnAliases(action, list);
}

// A report names an object by its path (C:\users\...\Documents\new), while the tree may show
// its folder as a special folder too (the desktop, Documents), whose nodes a walk by the
// report's list never reaches: the report is told to them in their own terms. Only the roots
// and their children can be such nodes.
void TKivShellTreeChanges::RunOnAliases(TGotoFolderIdAction action, PCItemIDList list) {
  if (action == gaSelect) return;
  String path;
  auto tell = [&](TTreeNode* node) {
    TKivShellTreeItem* item = tree_.ShellItem(node);
    if (!item || !node->Expanded()) return;
    // A node the report's own list passes through was reached by the walk (the desktop's
    // own children are not: a report's list reaches them through My Computer).
    const int depth = GetItemIdListDepth(item->absoluteIdList.get());
    const UniquePidl start = GetItemIdListStart(list, depth);
    if (depth > 0 && SameBytes(start.get(), item->absoluteIdList.get())) return;
    if (path.empty()) path = GetPathFromPidl(list);
    const String folder = GetPathFromPidl(item->absoluteIdList.get());
    if (path.empty() || folder.empty() || !AtOrBelow(path, folder)) return;
    if (host::SameText(path, folder)) {
      if (action == gaRefresh) tree_.RefreshNode(node, false, true);
      return;
    }
    const String rest = path.substr(host::IncludeTrailingBackslash(folder).size());
    host::ComPtr<IShellFolder> shown;
    if (FAILED(BindFolderIdList(item->absoluteIdList.get(), shown)) || !shown) return;
    // The object itself when it is there, else its folder (it went away).
    for (String part = rest; !part.empty(); part = host::ExtractFileDir(part)) {
      host::WideString wide = host::ToWide(part);
      PIDLIST_RELATIVE relative = nullptr;
      if (FAILED(shown->ParseDisplayName(nullptr, nullptr, wide.data(), nullptr, &relative,
                                         nullptr)) ||
          !relative)
        continue;
      const UniquePidl owned{relative};
      const UniquePidl alias = ConcatItemIdLists(item->absoluteIdList.get(), owned.get());
      tree_.GotoFolderIdList(alias.get(), part == rest ? action : gaRefresh);
      return;
    }
    tree_.RefreshNode(node, false, true);
  };
  for (int r = 0; r < tree_.Items()->RootCount(); ++r) {
    TTreeNode* root = tree_.Items()->Root(r);
    tell(root);
    if (root->Expanded())
      for (int i = 0; i < root->Count(); ++i) tell(root->Item(i));
  }
}

void TKivShellTreeChanges::Tick() {
  timer_.SetEnabled(false);
  const TClock::time_point start = TClock::now();
  while (!queue_.empty() && TClock::now() - start < kSlice) {
    TStep step = std::move(queue_.front());
    queue_.pop_front();
    Run(step.action, step.list.get());
  }
  if (!queue_.empty()) timer_.SetEnabled(true);
  lastEnd_ = TClock::now();
  spent_ = queue_.empty() ? TClock::duration{} : kSlice;
}

}  // namespace zelnor
