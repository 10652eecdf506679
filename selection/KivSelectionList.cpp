// The selection list: entry keys, states, merging and splitting, totals, enumeration, ini form.
#include "selection/KivSelectionList.h"

#include "host/core/IniFiles.h"
#include "host/core/Raii.h"
#include "shell/ShellGlobals.h"
#include "shell/ShellRoutines.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

namespace zelnor {

using host::String;

namespace {

// The form in which entries are compared: upper-cased in the user's locale. The mapping keeps
// every backslash, colon and asterisk where it was, so paths can be cut after folding.
String Fold(const String& s) { return host::AnsiUpperCase(s); }

bool IsFolderEntry(const String& entry) { return !entry.empty() && entry.back() == '*'; }

// The folder part of `path` without its trailing backslash: C:\A\b.txt gives C:\A, C:\A gives C:.
String FolderPart(const String& path) {
  return host::ExcludeTrailingBackslash(host::ExtractFilePath(path));
}

// The file-system search of `pattern`; empty when nothing can be listed.
host::FindHandle FindFirst(const String& pattern, WIN32_FIND_DATAW& data) {
  host::ErrorModeGuard errorMode;
  return host::FindHandle{FindFirstFileW(host::ToWide(pattern).c_str(), &data)};
}

// Calls `visit(name, isFolder, size)` for each name in `folder` (no trailing backslash) but "."
// and ".."; a false answer ends the walk. False when the folder cannot be listed.
template <class F>
bool ForEachName(const String& folder, F visit) {
  WIN32_FIND_DATAW data;
  host::FindHandle search = FindFirst(folder + "\\*", data);
  if (!search) return false;
  do {
    const String name = host::ToUtf8(data.cFileName);
    if (IsFolderToIgnore(name)) continue;
    const int64_t size = int64_t((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    if (!visit(name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, size)) break;
  } while (FindNextFileW(search.get(), &data));
  return true;
}

// What one attribute query tells of a path (without a trailing "*").
struct PathFacts {
  bool exists = false;
  bool folder = false;
  int64_t size = 0;
};

PathFacts FactsOf(const String& path) {
  PathFacts facts;
  if (path.empty()) return facts;
  host::ErrorModeGuard errorMode;
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExW(host::ToWide(path).c_str(), GetFileExInfoStandard, &info)) return facts;
  facts.exists = true;
  facts.folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.size = int64_t((uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  return facts;
}

String WithoutStar(const String& path) {
  return !path.empty() && path.back() == '*' ? path.substr(0, path.size() - 1) : path;
}

// True when the paths `a` and `b`, whose folded forms are equal, name one object: spelt alike,
// or one identity on disk. A folder may hold names that differ only in case as different
// objects (a case-sensitive folder; under Wine, names made from the Unix side): those stay
// apart. When either cannot be opened the folded forms decide.
bool SameObject(const String& a, const String& b) {
  if (a == b) return true;
  auto bare = [](const String& path) {
    String p = WithoutStar(path);
    if (p.size() > 3 && p.back() == '\\') p.pop_back();
    return p;
  };
  return SameFileSystemObject(bare(a), bare(b)).value_or(true);
}

// `path` up to and with its `count`-th backslash (all of it when it has fewer): folding keeps
// every backslash, so a prefix of a folded key is the folded form of the same prefix of its text.
String UpToBackslash(const String& path, size_t count) {
  size_t at = 0;
  for (size_t seen = 0; seen < count; ++seen) {
    at = path.find('\\', at);
    if (at == String::npos) return path;
    ++at;
  }
  return path.substr(0, at);
}

size_t Backslashes(std::string_view s) { return size_t(std::count(s.begin(), s.end(), '\\')); }

// The facts of many paths, with one listing of each folder that holds many of them: the platform
// answers a listing of thousands of names faster than as many single questions. A name the
// listing does not hold (a short alias, a change since) is asked about alone.
class FactsCache {
 public:
  // Folders named by at least kListed of `paths` are listed when first asked about.
  explicit FactsCache(const std::vector<String>& paths) {
    std::unordered_map<String, int> counts;
    for (const String& path : paths) {
      String parent, name;
      if (Split(WithoutStar(path), parent, name)) ++counts[parent];
    }
    for (auto& [parent, count] : counts)
      if (count >= kListed) listings_.emplace(parent, std::nullopt);
  }

  PathFacts Of(const String& path) {
    String parent, name;
    if (Split(path, parent, name)) {
      if (auto it = listings_.find(parent); it != listings_.end()) {
        if (!it->second) it->second = List(parent);
        if (auto found = it->second->find(name); found != it->second->end()) return found->second;
      }
    }
    return FactsOf(path);
  }

 private:
  static constexpr int kListed = 16;
  using Listing = std::unordered_map<String, PathFacts>;

  // "C:\A\B\" and "C:\A\B" give the folder "C:\A", folded, and the name "B" as spelt: a folder
  // may hold names that differ only in case as different objects. A name spelt otherwise than
  // the folder spells it is asked about alone.
  static bool Split(const String& path, String& parent, String& name) {
    String p = path;
    while (!p.empty() && p.back() == '\\') p.pop_back();
    const size_t slash = p.find_last_of('\\');
    if (slash == String::npos || slash + 1 >= p.size() || p.find_first_of("?*") != String::npos)
      return false;
    parent = Fold(p.substr(0, slash));
    name = p.substr(slash + 1);
    return true;
  }
  static Listing List(const String& folder) {
    Listing listing;
    host::ErrorModeGuard errorMode;
    WIN32_FIND_DATAW data;
    host::FindHandle find{FindFirstFileExW(host::ToWide(folder + "\\*").c_str(), FindExInfoBasic,
                                           &data, FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH)};
    if (!find) return listing;
    do {
      PathFacts facts;
      facts.exists = true;
      facts.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      facts.size = int64_t((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
      listing.emplace(host::ToUtf8(data.cFileName), facts);
    } while (FindNextFileW(find.get(), &data));
    return listing;
  }

  std::unordered_map<String, std::optional<Listing>> listings_;
};

// True when two of `paths` spell one folded folder or name otherwise: the index of SetPaths
// compares folded forms only, so such a list is added one path at a time.
bool SpellingsDiffer(const std::vector<String>& paths) {
  std::unordered_map<String, String> spelt;  // folded prefix to its first spelling
  for (const String& path : paths) {
    const String p = WithoutStar(path);
    const String folded = Fold(p);
    const size_t parts = Backslashes(p) + 1;
    for (size_t count = 1; count <= parts; ++count) {
      String a = UpToBackslash(p, count);
      const auto [it, added] = spelt.emplace(UpToBackslash(folded, count), a);
      if (!added && it->second != a) return true;
    }
  }
  return false;
}

// FormatSelectionPath with the facts of the path already known.
bool Canonical(String& path, const PathFacts& facts) {
  if (path.empty() || path == "." || path == "..") return false;
  String candidate = WithoutStar(path);
  if (candidate.empty() || !facts.exists) return false;
  path = facts.folder ? host::IncludeTrailingBackslash(candidate) + "*" : candidate;
  return true;
}

}  // namespace

// ---- TKivSelectionPaths

void TKivSelectionPaths::Rebuild() const {
  keys_.clear();
  keys_.reserve(size_t(Count()));
  for (int i = 0; i < Count(); ++i) keys_.push_back(Fold(Strings(i)));
  stale_ = false;
}

const String& TKivSelectionPaths::Key(int index) const {
  if (stale_ || int(keys_.size()) != Count()) Rebuild();
  return keys_.at(size_t(index));
}

int TKivSelectionPaths::IndexOfKey(const String& key, const String& text) const {
  if (stale_ || int(keys_.size()) != Count()) Rebuild();
  int other = -1;  // spelt otherwise; confirmed only when no entry is spelt alike
  for (size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] != key) continue;
    if (text.empty() || Strings(int(i)) == text) return int(i);
    if (other < 0 && SameObject(Strings(int(i)), text)) other = int(i);
  }
  return other;
}

TKivSelectionPaths::Match TKivSelectionPaths::Search(const String& key, const String& text) const {
  if (stale_ || int(keys_.size()) != Count()) Rebuild();
  Match match;
  if (key.empty()) return match;
  // What lies below the item starts with this: C:\DATA\* gives C:\DATA\, a file C:\A.TXT gives
  // C:\A.TXT\ (which holds nothing). Entries are full paths, so a prefix test finds them.
  const String belowKey = IsFolderEntry(key) ? key.substr(0, key.size() - 1) : key + "\\";
  // The item's own path; the entry F\* of a folder above it makes F\ a prefix of it.
  const std::string_view item = std::string_view(belowKey).substr(0, belowKey.size() - 1);
  // A match whose spelling differs is confirmed on disk, over the parts the two share.
  auto confirmed = [&](int i, size_t backslashes) {
    if (text.empty()) return true;
    const String& entry = Strings(i);
    const String a = UpToBackslash(entry, backslashes), b = UpToBackslash(text, backslashes);
    return a == b || SameObject(a, b);
  };
  const size_t textParts = Backslashes(belowKey);
  for (size_t i = 0; i < keys_.size(); ++i) {
    const String& k = keys_[i];
    if (k == key) {
      if (!confirmed(int(i), size_t(-1))) continue;
      match.own = true;
      match.ancestor = match.below = false;
      return match;
    }
    if (match.ancestor) continue;
    if (IsFolderEntry(k) && item.starts_with(std::string_view(k).substr(0, k.size() - 1))) {
      if (confirmed(int(i), Backslashes(k))) match.ancestor = true;
      continue;
    }
    if (!match.below && k.starts_with(belowKey) && confirmed(int(i), textParts)) match.below = true;
  }
  return match;
}

void TKivSelectionPaths::Expect(Edit edit, int index, String key) {
  edit_ = edit;
  editIndex_ = index;
  editKey_ = std::move(key);
}

int TKivSelectionPaths::AddObject(const String& s, host::TObject* object) {
  if (!Sorted()) Expect(Edit::Insert, Count(), Fold(s));
  auto forget = host::ScopeExit([this] { edit_ = Edit::None; });
  return host::TStringList::AddObject(s, object);
}

void TKivSelectionPaths::InsertObject(int index, const String& s, host::TObject* object) {
  Expect(Edit::Insert, index, Fold(s));
  auto forget = host::ScopeExit([this] { edit_ = Edit::None; });
  host::TStringList::InsertObject(index, s, object);
}

void TKivSelectionPaths::Delete(int index) {
  Expect(Edit::Delete, index);
  auto forget = host::ScopeExit([this] { edit_ = Edit::None; });
  host::TStringList::Delete(index);
}

void TKivSelectionPaths::Clear() {
  Expect(Edit::Clear, 0);
  auto forget = host::ScopeExit([this] { edit_ = Edit::None; });
  host::TStringList::Clear();
}

void TKivSelectionPaths::SetStrings(int index, const String& s) {
  Expect(Edit::Set, index, Fold(s));
  auto forget = host::ScopeExit([this] { edit_ = Edit::None; });
  host::TStringList::SetStrings(index, s);
}

void TKivSelectionPaths::Changed() {
  // The keys follow the edit before anyone hears of the change.
  const Edit edit = std::exchange(edit_, Edit::None);
  const size_t at = size_t(editIndex_);
  if (stale_) {
  } else if (edit == Edit::Insert && at <= keys_.size()) {
    keys_.insert(keys_.begin() + std::ptrdiff_t(at), std::move(editKey_));
  } else if (edit == Edit::Delete && at < keys_.size()) {
    keys_.erase(keys_.begin() + std::ptrdiff_t(at));
  } else if (edit == Edit::Set && at < keys_.size()) {
    keys_[at] = std::move(editKey_);
  } else if (edit == Edit::Clear) {
    keys_.clear();
  } else {
    stale_ = true;
  }
  if (int(keys_.size()) != Count()) stale_ = true;
  host::TStringList::Changed();
}

// ---- TKivBaseSelectionList

HOST_PROPERTIES(TKivBaseSelectionList) {
  p.Strings("Paths", &TKivBaseSelectionList::Paths, &TKivBaseSelectionList::SetPaths);
}

TKivBaseSelectionList::TKivBaseSelectionList(host::TComponent* owner)
    : host::TComponent(owner),
      paths_(std::make_unique<TKivSelectionPaths>()),
      pool_(std::make_unique<TThreadPool>()) {
  paths_->OnChange = [this](host::TObject*) { Changed(); };
}

TKivBaseSelectionList::~TKivBaseSelectionList() {
  Destroying();
  paths_->OnChange = nullptr;
  pool_->OnThreadTerminated = nullptr;
  pool_.reset();
}

String TKivBaseSelectionList::GetListItem(int index) const { return paths_->Strings(index); }

void TKivBaseSelectionList::SetPaths(const host::TStrings* strings) {
  // Copied first: `strings` may be this list's own entries.
  std::vector<String> wanted;
  if (strings) {
    wanted.reserve(size_t(strings->Count()));
    for (int i = 0; i < strings->Count(); ++i) wanted.push_back(strings->Strings(i));
  }
  AbortSizeCalculation();
  paths_->Clear();
  host::UpdateGuard<host::TStrings> update{*paths_};
  for (const String& path : wanted) AddPathToSelection(path);
}

void TKivBaseSelectionList::Assign(const host::TPersistent* source) {
  if (const auto* list = dynamic_cast<const TKivBaseSelectionList*>(source)) {
    if (list != this) SetPaths(list->Paths());
    return;
  }
  host::TComponent::Assign(source);
}

void TKivBaseSelectionList::AbortSizeCalculation() {
  heldJobs_.clear();
  pool_->TerminateThreads(false);
  ForgetShares();
  size_ = 0;
  fileCount_ = 0;
}

void TKivBaseSelectionList::StopSizeCalculation() {
  heldJobs_.clear();
  pool_->TerminateThreads(false);
  for (auto& [job, entry] : std::exchange(pendingJobs_, {}))
    if (auto it = shares_.find(entry); it != shares_.end()) it->second.job = -1;
}

void TKivBaseSelectionList::HoldJob(TKivThread* job) { heldJobs_.emplace_back(job); }

void TKivBaseSelectionList::StartHeldJobs() {
  for (std::unique_ptr<TKivThread>& job : std::exchange(heldJobs_, {})) pool_->Add(job.release());
}

void TKivBaseSelectionList::Credit(const String& entry, int64_t bytes, int files) {
  TakeBack(entry);  // an entry counts once, however often it is credited
  shares_[entry] = Share{bytes, files, -1};
  size_ += bytes;
  fileCount_ += files;
}

void TKivBaseSelectionList::CreditLater(const String& entry, int jobID) {
  TakeBack(entry);
  shares_[entry] = Share{0, 0, jobID};
  pendingJobs_[jobID] = entry;
}

void TKivBaseSelectionList::JobCounted(int jobID, int64_t bytes, int files) {
  const auto pending = pendingJobs_.find(jobID);
  if (pending == pendingJobs_.end()) return;
  const auto it = shares_.find(pending->second);
  pendingJobs_.erase(pending);
  if (it == shares_.end() || it->second.job != jobID) return;
  it->second = Share{bytes, files, -1};
  size_ += bytes;
  fileCount_ += files;
}

void TKivBaseSelectionList::TakeBack(const String& entry) {
  const auto it = shares_.find(entry);
  if (it == shares_.end()) return;
  const Share share = it->second;
  shares_.erase(it);
  if (share.job >= 0) {
    pendingJobs_.erase(share.job);
    CancelJob(share.job);
    return;
  }
  // What was added is what goes; the floor only guards against an edit of the entries behind
  // the list's back.
  size_ = std::max<int64_t>(0, size_ - share.bytes);
  fileCount_ = std::max(0, fileCount_ - share.files);
}

void TKivBaseSelectionList::CancelJob(int jobID) {
  for (auto it = heldJobs_.begin(); it != heldJobs_.end(); ++it)
    if ((*it)->ID() == jobID) {
      heldJobs_.erase(it);
      return;
    }
  // A job stays in the pool until its end has been reported here, so it is alive while found.
  for (int i = 0; i < pool_->Count(); ++i)
    if (TKivThread* job = pool_->Items(i); job && job->ID() == jobID) {
      job->Terminate();
      return;
    }
}

void TKivBaseSelectionList::ForgetShares() {
  shares_.clear();
  pendingJobs_.clear();
}

TKivSelectionState TKivBaseSelectionList::IsPathSelected(const String& path) {
  bool fullSelected = false;
  return PathSelected(path, fullSelected);
}

void TKivBaseSelectionList::Clear() {
  AbortSizeCalculation();
  paths_->Clear();
  size_ = 0;
  fileCount_ = 0;
}

// ---- TKivSelectionList: construction and bookkeeping

HOST_PROPERTIES(TKivSelectionList) { p.Event("OnChange", &TKivSelectionList::OnChange); }

TKivSelectionList::TKivSelectionList(host::TComponent* owner) : TKivBaseSelectionList(owner) {
  pool_->OnThreadTerminated = [this](TKivThread* thread) { OnCompletedFolderSizeThread(thread); };
}

TKivSelectionList::~TKivSelectionList() {
  Destroying();
  paths_->OnChange = nullptr;
  CloseSearches();
  pool_->OnThreadTerminated = nullptr;
}

void TKivSelectionList::EndUpdate() {
  updating_ = false;
  Changed();
}

void TKivSelectionList::Changed() {
  // Searches opened before the change would return files of entries that may be gone.
  CloseSearches();
  folderCursor_ = 0;
  fileCursor_ = 0;
  if (OnChange) OnChange(this);
  if (updating_ || Has(host::TComponentStateFlag::csDestroying)) return;
  if (OnUpdated) OnUpdated(this);
  // The size jobs of the change start once the views have caught up: a job's listing of a big
  // folder competes with the views' own listings (under Wine they wait for one another).
  StartHeldJobs();
}

void TKivSelectionList::StartSizeJob(const String& entry) {
  // A folder entry ends in "\*"; the job measures the folder itself.
  auto* job = new TKivFolderSizeThread(entry.substr(0, entry.size() - 2));
  CreditLater(entry, job->ID());
  HoldJob(job);
}

bool TKivSelectionList::DriveReady(const String& path) {
  const String drive = host::UpperCase(host::ExtractFileDrive(path));
  const uint64_t now = GetTickCount64();
  auto it = drives_.find(drive);
  if (it == drives_.end() || now - it->second.asked >= 1000)
    it = drives_.insert_or_assign(drive, DriveState{IsDriveReady(path), now}).first;
  return it->second.ready;
}

void TKivSelectionList::AccountFile(const String& path) {
  // A canonical entry names one file: its attributes give the size without a directory search.
  host::ErrorModeGuard errorMode;
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExW(host::ToWide(path).c_str(), GetFileExInfoStandard, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return;
  Credit(path, int64_t((uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow), 1);
}

void TKivSelectionList::OnCompletedFolderSizeThread(host::TObject* sender) {
  auto* job = dynamic_cast<TKivFolderSizeThread*>(sender);
  if (!job) return;
  if (job->Terminated()) {
    // Stopped: its entry stays uncounted, and no longer waits.
    JobCounted(job->ID(), 0, 0);
    return;
  }
  JobCounted(job->ID(), job->Sign() * job->ByteTotal(), job->Sign() * job->FileCount());
}

// ---- Re-adding a whole list

void TKivSelectionList::SetPaths(const host::TStrings* strings) {
  // Copied first: `strings` may be this list's own entries.
  std::vector<String> wanted;
  if (strings) {
    wanted.reserve(size_t(strings->Count()));
    for (int i = 0; i < strings->Count(); ++i) wanted.push_back(strings->Strings(i));
  }
  if (SpellingsDiffer(wanted)) {
    TKivBaseSelectionList::SetPaths(strings);
    return;
  }
  AbortSizeCalculation();
  paths_->Clear();

  // The entries made so far, and the living ones by key: in key order, the entries below a folder
  // are one range.
  struct Entry {
    String text;
    PathFacts facts;
    bool alive;
  };
  std::vector<Entry> entries;
  std::map<String, size_t> byKey;
  // IsItemSelected against the index.
  auto stateOf = [&](const String& key) {
    if (byKey.count(key)) return ssChecked;
    const String below = IsFolderEntry(key) ? key.substr(0, key.size() - 1) : key + "\\";
    const String item = below.substr(0, below.size() - 1);
    for (size_t slash = item.find('\\'); slash != String::npos; slash = item.find('\\', slash + 1))
      if (byKey.count(item.substr(0, slash + 1) + "*")) return ssChecked;
    const auto next = byKey.lower_bound(below);
    return next != byKey.end() && next->first.starts_with(below) ? ssGrayed : ssUnChecked;
  };

  // The steps of AddPathToSelection, each probe of the file system made once.
  FactsCache known(wanted);
  for (const String& path : wanted) {
    String entry = path;
    PathFacts facts = known.Of(WithoutStar(entry));
    bool resolved = false;
    if (resolveLinkedPaths_ && facts.folder && IsLinkedPath(entry)) {
      entry = GetLinkedPathTarget(entry);
      facts = FactsOf(WithoutStar(entry));
      resolved = true;
    }
    if (!Canonical(entry, facts)) continue;
    // PathSelected of the canonical entry.
    TKivSelectionState state = ssNone;
    String drivePath = entry;
    if (const size_t star = drivePath.find('*'); star != String::npos) drivePath.erase(star, 1);
    if (DriveReady(drivePath)) {
      String target = entry;
      PathFacts targetFacts = facts;
      bool usable = true;
      // An entry that is not a resolved target was seen not to be a shortcut folder above.
      const bool linked = (resolved || !resolveLinkedPaths_) && facts.folder && IsLinkedPath(target);
      if (linked && !resolveLinkedPaths_) {
        usable = false;
      } else if (linked) {
        target = GetLinkedPathTarget(target);
        targetFacts = FactsOf(WithoutStar(target));
      }
      if (usable && Canonical(target, targetFacts)) state = stateOf(Fold(target));
    }
    if (state == ssChecked) continue;
    if (state == ssGrayed) {
      // RemoveSubFolders of the entry.
      const String key = host::IncludeTrailingBackslash(Fold(WithoutStar(entry)));
      auto it = byKey.lower_bound(key);
      while (it != byKey.end() && it->first.starts_with(key)) {
        entries[it->second].alive = false;
        it = byKey.erase(it);
      }
    }
    byKey[Fold(entry)] = entries.size();
    entries.push_back({std::move(entry), facts, true});
  }

  host::UpdateGuard<host::TStrings> update{*paths_};
  for (const Entry& e : entries) {
    if (!e.alive) continue;
    if (calculateSize_) {
      if (IsFolderEntry(e.text))
        StartSizeJob(e.text);
      else if (!e.facts.folder)
        Credit(e.text, e.facts.size, 1);
    }
    paths_->Add(e.text);
  }
}

// ---- Queries

int TKivSelectionList::IndexOfEntry(const String& entry) const {
  return paths_->IndexOfKey(Fold(entry), entry);
}

bool TKivSelectionList::IsLinkedPath(const String& path) {
  String folder = path;
  if (!folder.empty() && folder.back() == '*') folder.pop_back();
  if (folder.empty()) return false;
  folder = host::IncludeTrailingBackslash(folder);
  const String link = folder + "target.lnk";
  // Adding or removing a name changes a folder's write time, so an answer stays good while the
  // time does: Wine answers a question about a missing name by reading the whole folder.
  host::ErrorModeGuard errorMode;
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExW(host::ToWide(folder).c_str(), GetFileExInfoStandard, &info))
    return host::FileExists(link);
  if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  struct Known {
    FILETIME written;
    bool linked;
  };
  static std::mutex guard;
  static std::unordered_map<String, Known> known;
  const String key = Fold(folder);
  {
    std::lock_guard lock(guard);
    auto it = known.find(key);
    if (it != known.end() && CompareFileTime(&it->second.written, &info.ftLastWriteTime) == 0)
      return it->second.linked;
  }
  const bool linked = host::FileExists(link);
  std::lock_guard lock(guard);
  if (known.size() >= 4096) known.clear();
  known.insert_or_assign(key, Known{info.ftLastWriteTime, linked});
  return linked;
}

String TKivSelectionList::GetLinkedPathTarget(const String& path) {
  String folder = path;
  if (!folder.empty() && folder.back() == '*') folder.pop_back();
  if (folder.empty()) return {};
  return GetLinkTarget(host::IncludeTrailingBackslash(folder) + "target.lnk");
}

bool TKivSelectionList::FormatSelectionPath(String& path) {
  if (path.empty() || path == "." || path == "..") return false;
  String candidate = path;
  if (candidate.back() == '*') candidate.pop_back();
  if (candidate.empty()) return false;
  host::ErrorModeGuard errorMode;
  const DWORD attributes = GetFileAttributesW(host::ToWide(candidate).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    path = host::IncludeTrailingBackslash(candidate) + "*";
  else
    path = std::move(candidate);
  return true;
}

TKivSelectionState TKivSelectionList::PathSelected(const String& path, bool& fullSelected) {
  fullSelected = false;
  if (path.empty()) return ssNone;
  String target = path;
  String drivePath = path;
  if (const size_t star = drivePath.find('*'); star != String::npos) drivePath.erase(star, 1);
  bool ready = DriveReady(drivePath);
  if (ready && IsLinkedPath(target)) {
    if (!resolveLinkedPaths_) return ssNone;
    target = GetLinkedPathTarget(target);
  }
  if (ready) ready = FormatSelectionPath(target);
  return ready ? IsItemSelected(target, fullSelected) : ssNone;
}

TKivSelectionState TKivSelectionList::IsPIDLSelected(PCItemIDList idList, bool& fullSelected) {
  fullSelected = false;
  if (!idList) return ssNone;
  // The two virtual parents are fixed for the process: looked up once. Each is one item below
  // the desktop, so a longer list is neither (and the desktop's comparison is not asked).
  static const UniquePidl network = GetIdListFromSpecialFolder(SF_NETWORK);
  static const UniquePidl drives = GetIdListFromSpecialFolder(SF_DRIVES);
  const bool oneItem = GetItemIdListDepth(idList) == 1;
  if (oneItem && SameItemIdList(idList, network.get()))
    return GetIsUNCPathSelected() ? ssGrayed : ssNone;
  if (oneItem && SameItemIdList(idList, drives.get()))
    return GetIsLocalPathSelected() ? ssGrayed : ssNone;
  return PathSelected(GetPathFromPidl(idList), fullSelected);
}

TKivSelectionState TKivSelectionList::IsPIDLSelected(PCItemIDList idList) {
  bool fullSelected = false;
  return IsPIDLSelected(idList, fullSelected);
}

TKivSelectionState TKivSelectionList::IsChildSelected(IShellFolder* folder, PCItemIDList item,
                                                      PCItemIDList absolute) {
  const String path = GetFileSystemPathOf(folder, item);
  return path.empty() ? IsPIDLSelected(absolute) : IsPathSelected(path);
}

TKivSelectionState TKivSelectionList::IsItemSelected(const String& entry, bool& fullSelected) {
  fullSelected = false;
  const TKivSelectionPaths::Match match = paths_->Search(Fold(entry), entry);
  if (match.own) return ssChecked;
  if (match.ancestor) {
    fullSelected = true;
    return ssChecked;
  }
  return match.below ? ssGrayed : ssUnChecked;
}

bool TKivSelectionList::IsItemFullSelected(const String& entry) {
  const TKivSelectionPaths::Match match = paths_->Search(Fold(entry), entry);
  return match.own || match.ancestor;
}

bool TKivSelectionList::GetIsLocalPathSelected() const {
  for (int i = 0; i < Count(); ++i) {
    const String& key = paths_->Key(i);
    if (key.size() >= 2 && key[1] == ':') return true;
  }
  return false;
}

bool TKivSelectionList::GetIsUNCPathSelected() const {
  for (int i = 0; i < Count(); ++i)
    if (paths_->Key(i).starts_with("\\\\")) return true;
  return false;
}

bool TKivSelectionList::DifferentDrivesSelected() const {
  if (Count() < 2) return false;
  const String first = paths_->Strings(0).substr(0, 2);
  for (int i = 1; i < Count(); ++i)
    if (paths_->Strings(i).substr(0, 2) != first) return true;
  return false;
}

// ---- Changes

void TKivSelectionList::AddPathToSelection(const String& path) {
  String entry = path;
  if (resolveLinkedPaths_ && IsLinkedPath(entry)) entry = GetLinkedPathTarget(entry);
  if (!FormatSelectionPath(entry)) return;
  bool fullSelected = false;
  const TKivSelectionState state = PathSelected(entry, fullSelected);
  if (state == ssChecked) return;
  // The new entry and the removal of those below it reach the controls as one change.
  host::UpdateGuard<host::TStrings> update{*paths_};
  if (state == ssGrayed) RemoveSubFolders(entry);
  if (calculateSize_) {
    if (IsFolderEntry(entry))
      StartSizeJob(entry);
    else
      AccountFile(entry);
  }
  paths_->Add(entry);
}

void TKivSelectionList::AddPIDLToSelection(PCItemIDList idList) {
  AddPathToSelection(GetPathFromPidl(idList));
}

void TKivSelectionList::RemovePathFromSelection(const String& path) {
  String target = path;
  if (resolveLinkedPaths_ && IsLinkedPath(target)) target = GetLinkedPathTarget(target);
  bool fullSelected = false;
  const TKivSelectionState state = PathSelected(target, fullSelected);
  if (state == ssChecked && !fullSelected) {
    if (!FormatSelectionPath(target)) return;
    const int index = IndexOfEntry(target);
    if (index >= 0) DeleteEntry(index, true);
  } else if (state == ssChecked) {
    // A folder above is selected as a whole: its entry gives way to the entries of everything
    // below it but the path down to the removed item. Split and deletion are one change.
    if (!FormatSelectionPath(target)) return;
    const String item = IsFolderEntry(target) ? target.substr(0, target.size() - 2) : target;
    host::UpdateGuard<host::TStrings> update{*paths_};
    String covering;
    AddAllExclude(FolderPart(item) + "\\", item, covering);
    if (!covering.empty() && FormatSelectionPath(covering)) {
      const int index = IndexOfEntry(covering);
      if (index >= 0) DeleteEntry(index, true);
    }
  } else if (state == ssGrayed) {
    RemoveSubFolders(target);
  }
}

void TKivSelectionList::RemovePIDLFromSelection(PCItemIDList idList) {
  RemovePathFromSelection(GetPathFromPidl(idList));
}

void TKivSelectionList::RemoveSubFolders(const String& folder) {
  if (folder.empty()) return;
  String path = folder;
  if (path.back() == '*') path.pop_back();
  const String folderText = host::IncludeTrailingBackslash(path);
  const String key = host::IncludeTrailingBackslash(Fold(path));
  const size_t parts = Backslashes(key);
  host::UpdateGuard<host::TStrings> update{*paths_};
  for (int i = Count() - 1; i >= 0; --i) {
    if (!paths_->Key(i).starts_with(key)) continue;
    const String above = UpToBackslash(paths_->Strings(i), parts);
    if (above == folderText || SameObject(above, folderText)) DeleteEntry(i, true);
  }
}

void TKivSelectionList::DeleteEntry(int index, bool recalculate) {
  // The entry's share leaves as it came, never measured again: what is on disk now may differ.
  if (recalculate) TakeBack(paths_->Strings(index));
  paths_->Delete(index);
}

void TKivSelectionList::AddAllExclude(const String& folder, const String& exclude,
                                      String& covering) {
  covering.clear();
  std::vector<Sibling> entries;
  // Nothing is committed unless the covering entry is found: a half split would select less
  // than before without removing the entry that covers it.
  if (!CollectSplit(folder, exclude, entries, covering)) {
    covering.clear();
    return;
  }
  host::UpdateGuard<host::TStrings> update{*paths_};
  for (const Sibling& sibling : entries) {
    // Counted afresh, each on its own: taking the removed item's size off the covering share
    // would measure it twice, at two moments, and any change in between would stay in the totals.
    if (calculateSize_) {
      if (sibling.size < 0)
        StartSizeJob(sibling.entry);
      else
        Credit(sibling.entry, sibling.size, 1);
    }
    paths_->Add(sibling.entry);
  }
}

bool TKivSelectionList::CollectSplit(const String& folder, const String& exclude,
                                     std::vector<Sibling>& entries, String& covering) {
  const String dir = host::ExcludeTrailingBackslash(folder);
  if (host::AnsiSameText(dir, exclude)) return false;
  const String excludeKey = Fold(exclude);
  const bool listed = ForEachName(dir, [&](const String& name, bool isFolder, int64_t size) {
    const String full = dir + "\\" + name;
    if (Fold(full) != excludeKey || !SameObject(full, exclude))
      entries.push_back(isFolder ? Sibling{full + "\\*", -1} : Sibling{full, size});
    return true;
  });
  if (!listed) return false;
  String own = dir + "\\*";
  FormatSelectionPath(own);
  if (IndexOfEntry(own) >= 0) {
    covering = own;
    return true;
  }
  // One level up, so that the siblings of this folder become entries too.
  const String parent = FolderPart(dir);
  if (parent == dir) return false;
  return CollectSplit(parent + "\\", dir, entries, covering);
}

// ---- Completeness

void TKivSelectionList::CompletePathSelected(const String& path, String& result) {
  result.clear();
  if (path.empty()) return;
  String item = path;
  if (IsFolderEntry(item)) item.pop_back();
  item = host::ExcludeTrailingBackslash(item);
  CompletePathSelectedExclude(FolderPart(item) + "\\", item, result);
}

UniquePidl TKivSelectionList::CompletePIDLSelected(PCItemIDList idList) {
  String result;
  CompletePathSelected(GetPathFromPidl(idList), result);
  // An empty path would parse as My Computer.
  if (result.empty()) return nullptr;
  return GetIdListFromPath(nullptr, result);
}

void TKivSelectionList::CompletePathSelectedExclude(const String& folder, const String& exclude,
                                                    String& result) {
  const String dir = host::ExcludeTrailingBackslash(folder);
  result.clear();
  bool allSelected = true;
  const bool listed = ForEachName(dir, [&](const String& name, bool, int64_t) {
    const String full = dir + "\\" + name;
    if (host::AnsiSameText(full, exclude) && SameObject(full, exclude)) return true;
    allSelected = CompleteChildPathSelected(full);
    return allSelected;
  });
  if (!listed) return;
  if (!allSelected) {
    result = exclude;
    return;
  }
  if (dir != exclude) {
    const String parent = FolderPart(dir);
    if (parent == dir) {
      // The drive level ("C:" is its own parent): the whole drive is complete.
      result = dir + "\\";
      return;
    }
    CompletePathSelectedExclude(parent + "\\", dir, result);
  } else {
    result = exclude + "\\";
  }
}

bool TKivSelectionList::CompleteChildPathSelected(const String& path) {
  if (path.empty()) return false;
  const String dir = host::ExcludeTrailingBackslash(path);
  const String key = Fold(dir);
  if (paths_->IndexOfKey(key, dir) >= 0 || paths_->IndexOfKey(key + "\\*", dir + "\\*") >= 0)
    return true;
  // With nothing ticked below it a folder is not complete, whatever it holds: no listing, which
  // for a big folder costs the platform the whole directory before the first name.
  if (!paths_->Search(key, dir).below) return false;
  bool any = false;
  bool complete = true;
  const bool listed = ForEachName(dir, [&](const String& name, bool isFolder, int64_t) {
    any = true;
    const String full = dir + "\\" + name;
    if (isFolder)
      complete = paths_->IndexOfKey(Fold(full) + "\\*", full + "\\*") >= 0 ||
                 CompleteChildPathSelected(full);
    else
      complete = paths_->IndexOfKey(Fold(full), full) >= 0;
    return complete;
  });
  return listed && any && complete;
}

// ---- Enumeration

void TKivSelectionList::CloseSearches() {
  fileSearch_.reset();
  fileFirstPending_ = false;
  folderStack_.Clear();
  levels_.clear();
}

bool TKivSelectionList::NextFound(HANDLE search, bool& firstPending, WIN32_FIND_DATAW& data) {
  if (firstPending) {
    firstPending = false;
    return true;
  }
  return FindNextFileW(search, &data) != FALSE;
}

bool TKivSelectionList::EnterFolder(const String& name) {
  WIN32_FIND_DATAW data;
  const String folder = host::IncludeTrailingBackslash(folderStack_.CurrentPath() + name);
  host::FindHandle search = FindFirst(folder + "*", data);
  if (!search) return false;
  folderStack_.Push(std::move(search), name);
  levels_.push_back(Level{folder, data});
  fileSearch_ = FindFirst(folder + "*", fileData_);
  fileFirstPending_ = bool(fileSearch_);
  return true;
}

bool GetFolderIdentity(const String& folder, FolderIdentity& identity) {
  host::ErrorModeGuard errorMode;
  host::UniqueFile handle{CreateFileW(host::ToWide(folder).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  if (!handle) return false;
  FILE_ID_INFO idInfo;
  BY_HANDLE_FILE_INFORMATION info;
  identity = FolderIdentity{};
  if (GetFileInformationByHandleEx(handle.get(), FileIdInfo, &idInfo, sizeof idInfo)) {
    identity.volume = idInfo.VolumeSerialNumber;
    std::memcpy(&identity.idLow, idInfo.FileId.Identifier, 8);
    std::memcpy(&identity.idHigh, idInfo.FileId.Identifier + 8, 8);
    return true;
  }
  if (!GetFileInformationByHandle(handle.get(), &info)) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.idLow = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

bool TKivSelectionList::LeadsBackUp(const String& folder) {
  FolderIdentity target;
  if (!GetFolderIdentity(folder, target)) return false;
  for (Level& level : levels_) {
    if (!level.identityKnown) level.identityKnown = GetFolderIdentity(level.folder, level.identity);
    if (level.identityKnown && level.identity == target) return true;
  }
  return false;
}

String TKivSelectionList::FindNext() {
  const int count = Count();
  if (folderCursor_ >= count && folderStack_.Count() == 0) folderCursor_ = 0;
  // File entries first.
  while (fileCursor_ < count) {
    String entry = paths_->Strings(fileCursor_++);
    if (!IsFolderEntry(entry)) return entry;
  }
  for (;;) {
    // The files of the current folder, one per call.
    if (fileSearch_) {
      while (NextFound(fileSearch_.get(), fileFirstPending_, fileData_))
        if (!(fileData_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
          return folderStack_.CurrentPath() + host::ToUtf8(fileData_.cFileName);
      fileSearch_.reset();
    }
    // Then its next subfolder, depth first; an exhausted folder gives way to its parent.
    if (folderStack_.Count() > 0) {
      Level& level = levels_.back();
      String next;
      while (NextFound(folderStack_.Top(), level.firstPending, level.data)) {
        if (!(level.data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        next = host::ToUtf8(level.data.cFileName);
        if (!IsFolderToIgnore(next) &&
            !((level.data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
              LeadsBackUp(level.folder + next)))
          break;
        next.clear();
      }
      if (!next.empty()) {
        EnterFolder(next);
      } else {
        (void)folderStack_.Pop();  // closes the exhausted search
        levels_.pop_back();
      }
      continue;
    }
    // Then the next folder entry; one that cannot be listed is skipped.
    if (folderCursor_ < count) {
      const String entry = paths_->Strings(folderCursor_++);
      if (!IsFolderEntry(entry)) continue;
      folderStack_.SetCurrentPath(String{});
      EnterFolder(entry.substr(0, entry.size() - 1));
      continue;
    }
    fileCursor_ = 0;
    return {};
  }
}

// ---- Persistence

void TKivSelectionList::SaveToIniFile(const String& fileName, const String& section) {
  host::TIniFile ini(fileName);
  host::TStringList lines;
  for (int i = 0; i < Count(); ++i) {
    const String& entry = paths_->Strings(i);
    // A key ends at its first "=": such an entry would come back as another path.
    if (entry.find('=') != String::npos) continue;
    lines.Add(entry + "=");
  }
  if (lines.Count() == 0) {
    try {
      ini.EraseSection(section);
    } catch (const host::EIniFileException&) {
      // A file that cannot be written holds no section of ours to erase.
    }
  } else {
    // The whole section in one write: the platform rewrites the file once, not once per entry.
    ini.WriteSectionValues(section, &lines);
  }
  ini.UpdateFile();
}

void TKivSelectionList::LoadFromIniFile(const String& fileName, const String& section) {
  host::TIniFile ini(fileName);
  Clear();
  host::TStringList keys;
  ini.ReadSection(section, &keys);
  SetPaths(&keys);
}

}  // namespace zelnor
