// The model of checked paths behind the check boxes of the shell controls.
//   TKivSelectionState      state of a path: none, checked, unchecked, grayed
//   TKivSelectionPaths      the entry list, with the upper-cased form of each entry kept alongside
//   TKivBaseSelectionList   entries, size totals (each entry's share) and the pool of size jobs
//   TKivSelectionList       states, merging and splitting of folder entries, enumeration, ini files
//
// Entries are full paths in canonical form: a file as itself (C:\Data\a.txt), a folder selected
// as a whole with a backslash and an asterisk (C:\Data\*, a drive root C:\*). The list is kept
// minimal: a folder entry replaces the entries below it, and removing one item from a selected
// folder replaces the folder entry by the entries of what remains. It is unsorted and searched
// linearly; a whole folder is a single entry, which keeps it short. Re-adding a whole list
// (SetPaths, loading) works over an index instead.
#pragma once

#include "host/core/StringList.h"
#include "host/core/TypeInfo.h"
#include "selection/FolderSizeThread.h"
#include "shell/ShellWin32.h"
#include "threads/ThreadPool.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace zelnor {

enum TKivSelectionState { ssUnused, ssNone, ssChecked, ssUnChecked, ssGrayed };
inline const host::TEnumInfo KivSelectionStateInfo{"ssUnused", "ssNone", "ssChecked",
                                                   "ssUnChecked", "ssGrayed"};

// Volume and file ID of a folder: the same folder under every spelling and through every link.
struct FolderIdentity {
  uint64_t volume = 0, idLow = 0, idHigh = 0;
  bool operator==(const FolderIdentity&) const = default;
};
// False when the folder cannot be opened or the system gives no identity.
bool GetFolderIdentity(const host::String& folder, FolderIdentity& identity);

// A string list that keeps the upper-cased form of every entry next to it, so that the linear
// searches of the selection list compare plain strings instead of mapping each entry's case on
// every query. Edits through the list's own operations update the one key they touch; anything
// else (sorting, exchanging) marks the keys stale and they are rebuilt on the next lookup.
class TKivSelectionPaths : public host::TStringList {
 public:
  host::String ClassName() const override { return "TKivSelectionPaths"; }

  // The upper-cased form of entry `index` (index must be valid).
  const host::String& Key(int index) const;
  // Index of the first entry whose upper-cased form equals `key`, or -1. With `text` (the
  // spelling `key` was folded from), an entry spelt otherwise must name the same object: a
  // folder may hold names that differ only in case as different objects.
  int IndexOfKey(const host::String& key, const host::String& text = {}) const;
  // What one pass over the entries finds for the upper-cased canonical `key`: the key itself, a
  // folder entry above it, an entry below it. Once the key itself is found the others are unset.
  // With `text`, matches spelt otherwise are confirmed as for IndexOfKey.
  struct Match {
    bool own = false;
    bool ancestor = false;
    bool below = false;
  };
  Match Search(const host::String& key, const host::String& text = {}) const;

  int AddObject(const host::String& s, host::TObject* object) override;
  void InsertObject(int index, const host::String& s, host::TObject* object) override;
  void Delete(int index) override;
  void Clear() override;
  void SetStrings(int index, const host::String& s) override;

 protected:
  void Changed() override;

 private:
  enum class Edit { None, Insert, Delete, Set, Clear };
  // Records the key edit that the coming change makes; Changed applies it before anyone hears.
  // Each edit forgets its expectation on the way out, in case the list raised or changed nothing.
  void Expect(Edit edit, int index, host::String key = {});
  void Rebuild() const;

  mutable std::vector<host::String> keys_;
  mutable bool stale_ = false;
  Edit edit_ = Edit::None;
  int editIndex_ = 0;
  host::String editKey_;
};

// Entries, size totals and the pool that computes folder sizes in the background.
class TKivBaseSelectionList : public host::TComponent {
  HOST_CLASS(TKivBaseSelectionList, host::TComponent)
  explicit TKivBaseSelectionList(host::TComponent* owner = nullptr);
  ~TKivBaseSelectionList() override;

  // ---- Entries
  int Count() const { return paths_->Count(); }
  virtual host::String GetListItem(int index) const;
  // The live entry list.
  host::TStrings* Paths() const { return paths_.get(); }
  // Re-adds every string one by one, so missing paths are dropped and folder entries absorb the
  // entries below them; totals restart. Giving the list its own entries keeps them.
  virtual void SetPaths(const host::TStrings* strings);
  // Copies the entries of another selection list; anything else cannot be assigned.
  void Assign(const host::TPersistent* source) override;

  // ---- Totals (complete once no size job is pending)
  // The sum of the shares of the entries counted so far: a file's when it is added, a folder's
  // when its size job ends. An entry that goes takes back exactly the share it brought, and a
  // folder whose job has not ended brings nothing, so the totals never go below zero.
  int64_t Size() const { return size_; }
  int FileCount() const { return fileCount_; }
  // True while a size job of a current entry is waiting or running.
  bool SizeCalculationRunning() const { return !pendingJobs_.empty(); }
  // Stops every size job; the totals keep what has been counted, the folders whose jobs were
  // stopped stay uncounted.
  void StopSizeCalculation();
  // Stops the pending size jobs (their results are dropped) and zeroes the totals.
  void AbortSizeCalculation();
  // The pool of folder-size jobs, for waiting on them.
  TThreadPool& Pool() const { return *pool_; }

  // ---- Queries and changes
  virtual TKivSelectionState PathSelected(const host::String& path, bool& fullSelected) = 0;
  TKivSelectionState IsPathSelected(const host::String& path);
  virtual void AddPathToSelection(const host::String& path) = 0;
  virtual void RemovePathFromSelection(const host::String& path) = 0;
  virtual void Clear();
  // The highest folder that has become selected as a whole after `path` was added (the drive
  // root with a backslash when the whole drive is); `path` itself when a sibling is not.
  virtual void CompletePathSelected(const host::String& path, host::String& result) = 0;

 protected:
  // Told after every change of the entry list.
  virtual void Changed() {}

  // Keeps `job` back until StartHeldJobs hands it to the pool.
  void HoldJob(TKivThread* job);
  void StartHeldJobs();

  // ---- Shares of the entries in the totals
  // Entry `entry` brings `bytes` and `files` into the totals, at once.
  void Credit(const host::String& entry, int64_t bytes, int files);
  // Entry `entry` will bring what size job `jobID` counts, once the job ends.
  void CreditLater(const host::String& entry, int jobID);
  // The job `jobID` has counted `bytes` and `files`: the entry waiting for it takes them, once.
  // Nothing happens for a job no entry waits for (stopped, or its entry gone or re-added).
  void JobCounted(int jobID, int64_t bytes, int files);
  // Entry `entry` leaves the totals: its share is taken back, or its job stopped.
  void TakeBack(const host::String& entry);
  // Stops the size job `jobID`, whether held back, waiting in the pool or running.
  void CancelJob(int jobID);
  void ForgetShares();

  std::unique_ptr<TKivSelectionPaths> paths_;
  int64_t size_ = 0;
  int fileCount_ = 0;
  std::unique_ptr<TThreadPool> pool_;
  std::vector<std::unique_ptr<TKivThread>> heldJobs_;

 private:
  struct Share {
    int64_t bytes = 0;
    int files = 0;
    int job = -1;  // the size job still to bring the share; -1 once it has (or was stopped)
  };
  std::unordered_map<host::String, Share> shares_;  // by entry, as the list spells it
  std::unordered_map<int, host::String> pendingJobs_;  // job ID to the entry that waits for it
};

// The selection list of a link: the states of paths and item identifier lists, the rules that
// keep the entries minimal, the running totals, the enumeration of every selected file, and the
// ini form. Every change fires OnChange and, unless between BeginUpdate and EndUpdate, OnUpdated,
// through which the owning link refreshes its controls.
class TKivSelectionList : public TKivBaseSelectionList {
  HOST_CLASS(TKivSelectionList, TKivBaseSelectionList)
  explicit TKivSelectionList(host::TComponent* owner = nullptr);
  // Closes the searches of the enumeration and stops the size jobs.
  ~TKivSelectionList() override;

  // ---- Switches (both on; nothing in the package changes them)
  // A shortcut folder (see IsLinkedPath) stands for the folder its "target.lnk" points to.
  bool ResolveLinkedPaths() const { return resolveLinkedPaths_; }
  void SetResolveLinkedPaths(bool resolve) { resolveLinkedPaths_ = resolve; }
  // Size and file count follow every change.
  bool CalculateSize() const { return calculateSize_; }
  void SetCalculateSize(bool calculate) { calculateSize_ = calculate; }

  // ---- Update bracket: holds back OnUpdated (the link's refresh); OnChange still fires on each
  // change.
  void BeginUpdate() { updating_ = true; }
  void EndUpdate();

  // Re-adds every string in one pass over an index of the entries: the same entries, in the same
  // order and with the same totals as adding the strings one by one, with one attribute query per
  // file (two per folder) and one drive query per drive.
  void SetPaths(const host::TStrings* strings) override;

  // ---- Queries
  TKivSelectionState PathSelected(const host::String& path, bool& fullSelected) override;
  using TKivBaseSelectionList::IsPathSelected;
  // The state of an absolute list; Network and My Computer are grayed while anything below
  // them is selected, else ssNone. `idList` is only read.
  TKivSelectionState IsPIDLSelected(PCItemIDList idList, bool& fullSelected);
  TKivSelectionState IsPIDLSelected(PCItemIDList idList);
  // IsPIDLSelected of `absolute`, the list of `item` within `folder`: the path of a file-system
  // object is asked of its folder, which costs far less than reading it from the absolute list.
  TKivSelectionState IsChildSelected(IShellFolder* folder, PCItemIDList item,
                                     PCItemIDList absolute);
  // State of a path already in canonical form.
  virtual TKivSelectionState IsItemSelected(const host::String& entry, bool& fullSelected);
  // True when the entry or a folder above it is in the list as a folder entry.
  virtual bool IsItemFullSelected(const host::String& entry);
  bool GetIsLocalPathSelected() const;
  bool GetIsUNCPathSelected() const;
  // More than one entry and not all on the drive of the first (first two characters, exactly).
  bool DifferentDrivesSelected() const;
  // True when the folder `path` holds a file "target.lnk": a shell shortcut folder. The answer
  // is kept per folder until the folder's write time changes.
  static bool IsLinkedPath(const host::String& path);
  // The folder a shortcut folder points to; empty when its "target.lnk" cannot be resolved.
  static host::String GetLinkedPathTarget(const host::String& path);
  // Brings `path` into canonical form; false (path unchanged) when it is neither an existing
  // file nor an existing folder.
  virtual bool FormatSelectionPath(host::String& path);

  // ---- Changes
  void AddPathToSelection(const host::String& path) override;
  void AddPIDLToSelection(PCItemIDList idList);
  void RemovePathFromSelection(const host::String& path) override;
  void RemovePIDLFromSelection(PCItemIDList idList);
  // Deletes every entry below `folder`.
  virtual void RemoveSubFolders(const host::String& folder);
  // Deletes entry `index`; with `recalculate` its share leaves the totals.
  void DeleteEntry(int index, bool recalculate);
  // Splits the folder entry that covers `exclude`: from `folder` (the parent of `exclude`) up to
  // the covering entry, every sibling on the way becomes an entry of its own, and `covering`
  // receives the covering entry, which the caller deletes. Nothing is added when no covering
  // entry is found. Each new entry is counted on its own (a file at once from the listing, a
  // folder by a size job); the covering entry's share leaves when it is deleted.
  virtual void AddAllExclude(const host::String& folder, const host::String& exclude,
                             host::String& covering);

  // ---- Completeness (lists the file system; for an explicit check by the user)
  void CompletePathSelected(const host::String& path, host::String& result) override;
  // New absolute list of CompletePathSelected of the list's path; nil when there is none.
  UniquePidl CompletePIDLSelected(PCItemIDList idList);
  virtual void CompletePathSelectedExclude(const host::String& folder, const host::String& exclude,
                                           host::String& result);
  virtual bool CompleteChildPathSelected(const host::String& path);

  // ---- Enumeration
  // The next selected file: file entries first, then every file below the folder entries, depth
  // first; the empty string at the end, after which it starts over. A change starts it over.
  host::String FindNext();

  // ---- Persistence: one key per entry, with an empty value; the section is written at once.
  // Entries holding "=" cannot be stored as keys and are left out.
  void SaveToIniFile(const host::String& fileName, const host::String& section);
  // Replaces the entries by the section's keys, re-validated (SetPaths); totals are computed
  // afresh.
  void LoadFromIniFile(const host::String& fileName, const host::String& section);

  // ---- Size jobs
  // The pool's report of an ended job: its totals become its entry's share, unless it was
  // stopped or its entry has gone since.
  void OnCompletedFolderSizeThread(host::TObject* sender);

  host::TNotifyEvent OnChange;
  // After OnChange, for each change outside the update bracket and at EndUpdate: the views of the
  // list bring themselves up to date. The link that owns the list subscribes; not published.
  host::TNotifyEvent OnUpdated;

 protected:
  void Changed() override;

 private:
  // A size job counting the folder entry `entry`, started once the change that asked for it has
  // been told.
  void StartSizeJob(const host::String& entry);
  // IsDriveReady, asked again after a second.
  bool DriveReady(const host::String& path);
  // Takes the share of the file entry `path` into the totals at once.
  void AccountFile(const host::String& path);
  // Index of `entry` (canonical form), or -1.
  int IndexOfEntry(const host::String& entry) const;
  // The siblings met from `folder` up to the entry that covers `exclude`, with the size of each
  // file (-1 for a folder); true when found.
  struct Sibling {
    host::String entry;
    int64_t size;
  };
  bool CollectSplit(const host::String& folder, const host::String& exclude,
                    std::vector<Sibling>& entries, host::String& covering);
  // Closes the enumeration's open searches.
  void CloseSearches();
  // Next directory entry of a search whose first entry may still be pending.
  static bool NextFound(HANDLE search, bool& firstPending, WIN32_FIND_DATAW& data);
  // Pushes the subfolder `name` of the stack's current path and opens the search of its files;
  // false when it cannot be listed.
  bool EnterFolder(const host::String& name);
  // True when the linked folder `folder` is one of the folders being walked, so that entering it
  // would walk the same tree again without end.
  bool LeadsBackUp(const host::String& folder);

  host::FindHandle fileSearch_;
  bool fileFirstPending_ = false;
  WIN32_FIND_DATAW fileData_{};
  TKivStack folderStack_;
  // Per level of the folder stack: the folder, its search's current entry (the first one may not
  // have been taken yet), and its identity once a link has asked for it.
  struct Level {
    host::String folder;
    WIN32_FIND_DATAW data;
    bool firstPending = true;
    bool identityKnown = false;
    FolderIdentity identity{};
  };
  std::vector<Level> levels_;
  int folderCursor_ = 0;
  int fileCursor_ = 0;
  struct DriveState {
    bool ready;
    uint64_t asked;
  };
  std::unordered_map<host::String, DriveState> drives_;
  bool updating_ = false;
  bool resolveLinkedPaths_ = true;
  bool calculateSize_ = true;
};

}  // namespace zelnor
