// The shell tree on real folders: roots, lazy filling and completion, finding nodes by their
// lists, selection by path and special folder, the link, the history, refreshes and change
// reports, keys and clicks sent to its window, colours and form streaming; verbs, the context
// menu, new folders and renaming in place while the shell reports the changes.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Modal.h"
#include "Pump.h"
#include "controls/ShellList.h"
#include "controls/ShellTree.h"
#include "extras/ShellChangeNotifier.h"
#include "host/core/Streaming.h"
#include "host/forms/Forms.h"
#include "host/forms/Menus.h"
#include "package/ZelnorComponents.h"
#include "shell/PidlHistory.h"
#include "shell/ShellRoutines.h"
#include "shell/TempDir.h"

using namespace zelnor;
using host::TTreeNode;
using testing_support::PumpMessagesUntil;
using testing_support::TempDir;

namespace {

UniquePidl ListOf(const String& path) { return UniquePidl{GetIdListFromPath(Desktop(), path)}; }

void Announce(LONG event, const String& path, const String& path2 = {}) {
  const host::WideString a = host::ToWide(path), b = host::ToWide(path2);
  SHChangeNotify(event, SHCNF_PATHW | SHCNF_FLUSH, a.c_str(), path2.empty() ? nullptr : b.c_str());
}

// The display texts of a node's children, in order.
std::vector<String> Texts(TTreeNode* node) {
  std::vector<String> texts;
  for (int i = 0; node && i < node->Count(); ++i) texts.push_back(node->Item(i)->Text());
  return texts;
}

TTreeNode* ChildNamed(TTreeNode* node, const String& name) {
  for (int i = 0; node && i < node->Count(); ++i)
    if (host::SameText(node->Item(i)->Text(), name)) return node->Item(i);
  return nullptr;
}

// A linked control that records what the link tells it.
class Recorder : public TKivShellControlBase {
 public:
  TKivShellLink* link = nullptr;
  std::vector<String> paths;
  int refreshes = 0, selectAlls = 0;
  void setShellLink(TKivShellLink* l) override { AttachShellControl(this, link, l); }
  TKivShellLink* getShellLink() override { return link; }
  void PathChanged(PCItemIDList idList) override { paths.push_back(GetPathFromPidl(idList)); }
  void FileChanged(PCItemIDList, PCItemIDList) override {}
  void SelectAll() override { ++selectAlls; }
  void Refresh() override { ++refreshes; }
  void SmartRefresh() override {}
  bool GoUp() override { return false; }
};

struct ShellTreeTest : ::testing::Test {
  // One form for the suite: a shown top-level window takes Wine seconds to destroy.
  static inline std::unique_ptr<host::TForm> form;
  TempDir dir;
  std::unique_ptr<TKivShellTree> tree;

  static void SetUpTestSuite() {
    form = std::make_unique<host::TForm>();
    form->SetBounds(40, 40, 440, 520);
    form->Show();
  }
  static void TearDownTestSuite() { form.reset(); }
  void TearDown() override { tree.reset(); }

  // A tree on the form, rooted at `root` (the desktop when empty).
  TKivShellTree* MakeTree(const String& root = {}) {
    tree = std::make_unique<TKivShellTree>();
    if (!root.empty()) tree->SetRootedAtFileSystemFolder(root);
    tree->SetParent(form.get());
    tree->SetBounds(0, 0, 420, 480);
    tree->HandleNeeded();
    return tree.get();
  }
  TTreeNode* Root() const { return tree->Items()->GetFirstNode(); }
  void Paint() {
    RedrawWindow(tree->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  }
};

}  // namespace

TEST_F(ShellTreeTest, DesktopRootShowsTheDesktopAndFillsChildrenOnlyWhenExpanded) {
  MakeTree();
  EXPECT_EQ(tree->Version(), "TKivShellTree V4.2");
  EXPECT_EQ(tree->RootedAt(), SF_DESKTOP);
  EXPECT_TRUE(tree->DoubleBuffered());
  EXPECT_FALSE(tree->HideSelection());
  EXPECT_TRUE(tree->RightClickSelect());
  EXPECT_FALSE(tree->ShowRoot());
  EXPECT_EQ(tree->DragMode(), host::dmAutomatic);
  EXPECT_EQ(tree->ChangeDelay(), 100u);
  EXPECT_FALSE(tree->ShowOption(soShowFiles));
  EXPECT_TRUE(tree->ShowOption(soShowNethood));
  EXPECT_TRUE(tree->AutomaticRefresh());
  EXPECT_EQ(tree->Filter(), "*");

  ASSERT_EQ(tree->Items()->RootCount(), 1);
  TTreeNode* root = Root();
  EXPECT_EQ(root->Text(), tree->Navigator()->GetDesktopName());
  EXPECT_EQ(root->ImageIndex(), tree->Navigator()->GetDesktopIconIndex());
  EXPECT_EQ(tree->Selected(), root);
  ASSERT_TRUE(root->Expanded());
  ASSERT_GT(root->Count(), 0);
  // My Computer is there, not yet filled.
  UniquePidl drives{GetIdListFromSpecialFolder(SF_DRIVES)};
  TTreeNode* computer = nullptr;
  for (int i = 0; i < root->Count(); ++i) {
    TKivShellTreeItem* item = tree->ShellItem(root->Item(i));
    ASSERT_NE(item, nullptr);
    if (Desktop()->CompareIDs(0, item->absoluteIdList.get(), drives.get()) == S_OK)
      computer = root->Item(i);
  }
  ASSERT_NE(computer, nullptr);
  EXPECT_EQ(computer->Count(), 0);
  EXPECT_TRUE(computer->HasChildren());
  EXPECT_EQ(tree->IsSpecialObject(computer), SF_DRIVES);
  EXPECT_EQ(tree->GetRootNode(computer), root);
  EXPECT_TRUE(tree->IsValidKivShellTreeItem(computer));
  EXPECT_FALSE(tree->IsValidKivShellTreeItem(nullptr));
}

TEST_F(ShellTreeTest, FolderRootListsFoldersInTheShellsOrderAndFilesOnlyWhenShown) {
  dir.Folder("beta");
  dir.Folder("Alpha");
  dir.Folder("gamma\\inner");
  dir.File("notes.txt", "x");
  MakeTree(dir.Path());
  TTreeNode* root = Root();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(tree->RootedAt(), SF_FILESYSTEMFOLDER);
  EXPECT_EQ(root->Text(), host::ExtractFileName(dir.Path()));
  EXPECT_TRUE(host::SameText(tree->GetFullPath(root), dir.Path()));
  EXPECT_EQ(Texts(root), (std::vector<String>{"Alpha", "beta", "gamma"}));
  EXPECT_FALSE(ChildNamed(root, "beta")->HasChildren() && ChildNamed(root, "beta")->Count() > 0);

  tree->SetShowOption(soShowFiles, true);
  EXPECT_EQ(Texts(root), (std::vector<String>{"Alpha", "beta", "gamma", "notes.txt"}));
  EXPECT_FALSE(tree->ShellItem(ChildNamed(root, "notes.txt"))->isFolder);

  // A folder that does not exist changes nothing.
  tree->SetRootedAtFileSystemFolder(dir.Path() + "\\missing");
  ASSERT_EQ(tree->Items()->RootCount(), 1);
  EXPECT_TRUE(host::SameText(tree->GetFullPath(Root()), dir.Path()));
}

TEST_F(ShellTreeTest, MultipleRootsAddsARootEachTimeAndSwitchingKeepsTheFirst) {
  const String a = dir.Folder("a"), b = dir.Folder("b");
  MakeTree(a);
  tree->SetMultipleRoots(true);
  tree->SetRootedAtFileSystemFolder(b);
  tree->SetRootedAt(SF_PERSONAL);
  ASSERT_EQ(tree->Items()->RootCount(), 3);
  EXPECT_TRUE(host::SameText(tree->GetFullPath(tree->Items()->Root(1)), b));
  EXPECT_EQ(tree->IsSpecialObject(tree->Items()->Root(2)), SF_PERSONAL);
  EXPECT_TRUE(tree->RootedAtFileSystemFolder().empty());

  tree->SetMultipleRoots(false);
  ASSERT_EQ(tree->Items()->RootCount(), 1);
  EXPECT_TRUE(host::SameText(tree->GetFullPath(Root()), a));
  // Without several roots a new root replaces the old.
  tree->SetRootedAtFileSystemFolder(b);
  ASSERT_EQ(tree->Items()->RootCount(), 1);
  EXPECT_TRUE(host::SameText(tree->GetFullPath(Root()), b));
}

TEST_F(ShellTreeTest, GotoFolderIdListFindsDeepNodesAndTreatsRootsAndMissingItems) {
  const String deep = dir.Folder("a\\b\\c");
  dir.Folder("a\\b2");
  MakeTree(dir.Path());
  TTreeNode* a = ChildNamed(Root(), "a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Count(), 0) << "not filled before it is needed";

  UniquePidl list = ListOf(deep);
  EXPECT_TRUE(tree->GotoFolderIdList(list.get(), gaSelect));
  ASSERT_NE(tree->Selected(), nullptr);
  EXPECT_TRUE(host::SameText(tree->GetSelectedFolder(), deep));
  EXPECT_TRUE(a->Expanded());
  EXPECT_EQ(tree->ChangeDelay(), 100u) << "the selection was reported at once, then reset";
  UniquePidl selected = tree->SelectedItemIdList();
  EXPECT_EQ(Desktop()->CompareIDs(0, selected.get(), list.get()), S_OK);

  // The root itself: selected, but not "found".
  UniquePidl root = ListOf(dir.Path());
  EXPECT_FALSE(tree->GotoFolderIdList(root.get(), gaSelect));
  EXPECT_EQ(tree->Selected(), Root());

  // Outside the root: nothing found, the selection stays.
  TempDir other;
  UniquePidl outside = ListOf(other.Folder("a"));
  EXPECT_FALSE(tree->GotoFolderIdList(outside.get(), gaSelect));
  EXPECT_EQ(tree->Selected(), Root());
  EXPECT_FALSE(tree->GotoFolderIdList(nullptr, gaSelect));

  // Deleting what the tree does not hold refreshes the deepest node it has on the way.
  const String gone = dir.Folder("a\\gone");
  UniquePidl goneList = ListOf(gone);
  RemoveDirectoryW(host::ToWide(gone).c_str());
  dir.Folder("a\\fresh");
  ASSERT_EQ(ChildNamed(a, "fresh"), nullptr);
  Paint();  // completes the nodes on screen: only those are refreshed
  EXPECT_FALSE(tree->GotoFolderIdList(goneList.get(), gaDelete));
  EXPECT_NE(ChildNamed(a, "fresh"), nullptr);

  // Deleting a node the tree holds.
  UniquePidl b2 = ListOf(dir.Path() + "\\a\\b2");
  EXPECT_TRUE(tree->GotoFolderIdList(b2.get(), gaDelete));
  EXPECT_EQ(ChildNamed(a, "b2"), nullptr);
}

TEST_F(ShellTreeTest, OnAddFolderSeesThePathAndCanRefuseANode) {
  dir.Folder("keep");
  dir.Folder("secret");
  std::vector<String> asked;
  tree = std::make_unique<TKivShellTree>();
  tree->OnAddFolder = [&](TTreeNode* node, const String& path, bool& canAdd) {
    EXPECT_TRUE(canAdd);
    EXPECT_GE(node->ImageIndex(), 0) << "completed before it is shown to the handler";
    asked.push_back(host::ExtractFileName(path));
    canAdd = host::ExtractFileName(path) != "secret";
  };
  tree->SetRootedAtFileSystemFolder(dir.Path());
  tree->SetParent(form.get());
  tree->HandleNeeded();
  std::sort(asked.begin(), asked.end());
  EXPECT_EQ(asked, (std::vector<String>{"keep", "secret"}));
  EXPECT_EQ(Texts(Root()), (std::vector<String>{"keep"}));
  EXPECT_EQ(tree->Items()->Count(), 2);
}

TEST_F(ShellTreeTest, InTheDesignerOnlyFirstLevelNodesExpand) {
  dir.Folder("a\\b");
  tree = std::make_unique<TKivShellTree>();
  tree->SetDesigning(true);
  tree->SetRootedAtFileSystemFolder(dir.Path());
  tree->SetParent(form.get());
  tree->HandleNeeded();
  ASSERT_TRUE(Root()->Expanded());
  TTreeNode* a = ChildNamed(Root(), "a");
  ASSERT_NE(a, nullptr);
  a->Expand(false);
  EXPECT_FALSE(a->Expanded());
  EXPECT_EQ(a->Count(), 0);
}

TEST_F(ShellTreeTest, TextsAndIconsAreReadOnlyForNodesOnScreen) {
  for (int i = 0; i < 300; ++i) dir.Folder("folder" + host::IntToStr(1000 + i));
  std::set<TTreeNode*> completed;
  tree = std::make_unique<TKivShellTree>();
  tree->OnUpdatedFolder = [&](host::TObject*, TTreeNode* node) { completed.insert(node); };
  tree->SetRootedAtFileSystemFolder(dir.Path());
  tree->SetParent(form.get());
  tree->SetBounds(0, 0, 420, 480);
  tree->HandleNeeded();
  ASSERT_EQ(Root()->Count(), 300);
  Paint();
  ASSERT_FALSE(completed.empty());
  EXPECT_LT(completed.size(), 45u);
  for (TTreeNode* node : completed) EXPECT_LT(node->Index(), 45);
  TTreeNode* last = Root()->Item(299);
  EXPECT_TRUE(last->TextPending());
  EXPECT_EQ(last->ImageIndex(), -1);
  EXPECT_EQ(last->Text(), "folder1299");
  EXPECT_EQ(last->ImageIndex(), -1) << "reading the text does not complete the node";

  // Plain folders share the folder icons; they are the icons the shell gives each.
  TTreeNode* first = Root()->Item(0);
  ASSERT_GE(first->ImageIndex(), 0);
  tree->Navigator()->SetAbsoluteItemIdList(tree->ShellItem(first)->absoluteIdList.get());
  EXPECT_EQ(first->ImageIndex(), tree->Navigator()->GetIconNumber());
  EXPECT_EQ(first->SelectedIndex(), tree->Navigator()->GetSelectedIconNumber());
}

TEST_F(ShellTreeTest, SelectedFolderAndSpecialFolderSelectAndReport) {
  const String deep = dir.Folder("x\\y");
  MakeTree();
  tree->SetSelectedFolder(deep);
  EXPECT_TRUE(host::SameText(tree->GetSelectedFolder(), deep));
  EXPECT_EQ(tree->GetSpecialFolder(), SF_FILESYSTEMFOLDER);

  tree->SetSpecialFolder(SF_PERSONAL);
  EXPECT_EQ(tree->GetSpecialFolder(), SF_PERSONAL);
  EXPECT_TRUE(host::SameText(tree->GetSelectedFolder(), GetPathFromSpecialFolder(SF_PERSONAL)));

  // An empty path on a desktop tree selects My Computer, whose path is empty.
  tree->SetSelectedFolder("");
  EXPECT_EQ(tree->GetSpecialFolder(), SF_DRIVES);
  EXPECT_EQ(tree->GetSelectedFolder(), "");

  // A path that cannot be parsed selects nothing (and, without ShowErrorMessages, says nothing).
  tree->SetSelectedFolder(dir.Path() + "\\no such folder");
  EXPECT_EQ(tree->GetSpecialFolder(), SF_DRIVES);

  tree->SetSpecialFolder(SF_DESKTOP);
  EXPECT_EQ(tree->Selected(), Root());
  EXPECT_EQ(tree->GetSpecialFolder(), SF_DESKTOP);
}

TEST_F(ShellTreeTest, LinkedTreeAndListFollowEachOther) {
  dir.Folder("a\\inside");
  dir.Folder("b");
  dir.File("b\\file.txt");
  TKivShellLink link;
  MakeTree(dir.Path());
  tree->SetShellLink(&link);
  TKivShellList list(nullptr);
  list.SetParent(form.get());
  list.SetShellLink(&link);
  EXPECT_EQ(tree->ShellLink(), &link);

  // The user's selection reaches the list after the change delay.
  TTreeNode* a = ChildNamed(Root(), "a");
  tree->SetSelected(a);
  EXPECT_TRUE(PumpMessagesUntil([&] { return list.Items()->Count() == 1; }, 5000));
  EXPECT_TRUE(host::SameText(list.GetPath(), dir.Path() + "\\a\\"));
  EXPECT_TRUE(link.ShowParentFolderItem());
  tree->SetSelected(Root());
  EXPECT_TRUE(PumpMessagesUntil([&] { return list.Items()->Count() == 2; }, 5000));
  EXPECT_FALSE(link.ShowParentFolderItem()) << "the root has no parent to show";

  // The list moves: the tree follows at once and does not report back.
  list.SetPath(dir.Path() + "\\b");
  ASSERT_NE(tree->Selected(), nullptr);
  EXPECT_EQ(tree->Selected()->Text(), "b");
  EXPECT_TRUE(host::SameText(list.GetPath(), dir.Path() + "\\b\\"));

  // GoUp takes the tree to the parent and tells the list.
  EXPECT_TRUE(tree->GoUp());
  EXPECT_EQ(tree->Selected(), Root());
  EXPECT_EQ(list.Items()->Count(), 2);
  EXPECT_FALSE(tree->GoUp());
  list.SetShellLink(nullptr);
  tree->SetShellLink(nullptr);
}

TEST_F(ShellTreeTest, ACollapseThatMovesTheSelectionMovesTheLinkedViews) {
  dir.Folder("a\\b");
  TKivShellLink link;
  Recorder peer;
  peer.setShellLink(&link);
  MakeTree(dir.Path());
  tree->SetShellLink(&link);
  TTreeNode* a = ChildNamed(Root(), "a");
  a->Expand(false);
  tree->SetChangeDelay(0);
  tree->SetSelected(ChildNamed(a, "b"));
  ASSERT_FALSE(peer.paths.empty());
  ASSERT_TRUE(host::SameText(peer.paths.back(), dir.Path() + "\\a\\b"));

  a->Collapse(false);
  PumpMessagesUntil([&] { return host::SameText(peer.paths.back(), dir.Path() + "\\a"); }, 2000);
  EXPECT_EQ(tree->Selected(), a);
  EXPECT_TRUE(host::SameText(peer.paths.back(), dir.Path() + "\\a"));
  peer.setShellLink(nullptr);
  tree->SetShellLink(nullptr);
}

TEST_F(ShellTreeTest, HistoryMovesBackAndForwardWithoutRecordingItsOwnMoves) {
  dir.Folder("a");
  dir.Folder("b");
  MakeTree(dir.Path());
  // Nothing recorded yet: there is nowhere to go.
  tree->SetSelected(nullptr);
  EXPECT_EQ(tree->History()->Count(), 0);
  EXPECT_FALSE(tree->MoveInHistory(-1));
  EXPECT_EQ(tree->Selected(), nullptr);
  EXPECT_FALSE(tree->IsMovePossible(-1));

  for (const char* name : {"a", "b"}) {
    tree->SetChangeDelay(0);
    tree->SetSelected(ChildNamed(Root(), name));
  }
  tree->SetChangeDelay(0);
  tree->SetSelected(Root());
  ASSERT_EQ(tree->History()->Count(), 3);
  EXPECT_TRUE(tree->IsMovePossible(-2));
  EXPECT_FALSE(tree->IsMovePossible(-3));
  EXPECT_FALSE(tree->IsMovePossible(1));

  EXPECT_TRUE(tree->MoveInHistory(-1));
  EXPECT_EQ(tree->Selected()->Text(), "b");
  EXPECT_TRUE(tree->MoveInHistory(-1));
  EXPECT_EQ(tree->Selected()->Text(), "a");
  EXPECT_EQ(tree->History()->Count(), 3);
  EXPECT_TRUE(tree->IsMovePossible(2));
  EXPECT_TRUE(tree->MoveInHistory(1));
  EXPECT_EQ(tree->Selected()->Text(), "b");
  // Moving to the root selects it; the root is not a node "found" below a root.
  EXPECT_FALSE(tree->MoveInHistory(5));
  EXPECT_EQ(tree->Selected(), Root());
}

TEST_F(ShellTreeTest, RefreshNodeKeepsWhatItHasAddsNewAndDropsGoneObjects) {
  dir.Folder("stay");
  const String leaving = dir.Folder("leaving");
  MakeTree(dir.Path());
  tree->SetAutomaticRefresh(false);
  Paint();
  TTreeNode* stay = ChildNamed(Root(), "stay");
  ASSERT_NE(stay, nullptr);
  const int icon = stay->ImageIndex();
  ASSERT_GE(icon, 0);
  RemoveDirectoryW(host::ToWide(leaving).c_str());
  dir.Folder("arrived");
  tree->RefreshNode(Root(), true, true);
  EXPECT_EQ(Texts(Root()), (std::vector<String>{"arrived", "stay"}));
  EXPECT_EQ(ChildNamed(Root(), "stay"), stay);
  EXPECT_EQ(stay->ImageIndex(), icon);
}

TEST_F(ShellTreeTest, RefreshKeepsSiblingsThatShowTheSameName) {
  // A shortcut shows without its extension: the folder and the shortcut both show "report".
  dir.Folder("report");
  {
    host::ComPtr<IShellLinkW> link;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)),
              S_OK);
    link->SetPath(host::ToWide(dir.Path()).c_str());
    host::ComPtr<IPersistFile> file;
    ASSERT_EQ(link.As(&file), S_OK);
    ASSERT_EQ(file->Save(host::ToWide(dir.Path() + "\\report.lnk").c_str(), TRUE), S_OK);
  }
  MakeTree(dir.Path());
  tree->SetAutomaticRefresh(false);
  tree->SetShowOption(soShowFiles, true);
  Paint();
  ASSERT_EQ(Root()->Count(), 2);
  if (Root()->Item(0)->Text() != Root()->Item(1)->Text())
    GTEST_SKIP() << "the shell shows the shortcut with its extension here";
  TTreeNode* first = Root()->Item(0);
  TTreeNode* second = Root()->Item(1);
  tree->RefreshNode(Root(), false, true);
  ASSERT_EQ(Root()->Count(), 2);
  EXPECT_EQ(Root()->Item(0), first);
  EXPECT_EQ(Root()->Item(1), second);
}

TEST_F(ShellTreeTest, FoldersOpenedToSelectADeepFolderAreWatchedAndItShowsOnScreen) {
  const String deep = dir.Folder("a\\b\\c\\d");
  for (int i = 0; i < 40; ++i) dir.Folder("a\\sibling" + host::IntToStr(100 + i));
  MakeTree(dir.Path());
  tree->SetSelectedFolder(deep);
  ASSERT_TRUE(host::SameText(tree->GetSelectedFolder(), deep));
  EXPECT_TRUE(tree->IsNodeVisible(tree->Selected()));
  Paint();

  // Every folder opened on the way is watched, with the root.
  host::TStrings* watched = tree->Notifier()->Directories();
  auto isWatched = [&](const String& folder) {
    for (int i = 0; i < watched->Count(); ++i)
      if (host::SameText(watched->Strings(i), folder)) return true;
    return false;
  };
  for (const String& folder :
       {dir.Path(), dir.Path() + "\\a", dir.Path() + "\\a\\b", dir.Path() + "\\a\\b\\c"})
    EXPECT_TRUE(isWatched(host::ExcludeTrailingBackslash(folder))) << folder;

  // A folder made beside the path without telling the shell appears all the same.
  TTreeNode* bNode = tree->Selected()->Parent()->Parent();
  ASSERT_TRUE(host::SameText(tree->GetFullPath(bNode), dir.Path() + "\\a\\b"));
  ASSERT_TRUE(CreateDirectoryW(host::ToWide(dir.Path() + "\\a\\b\\made").c_str(), nullptr));
  EXPECT_TRUE(PumpMessagesUntil([&] { return ChildNamed(bNode, "made") != nullptr; }, 8000));

  // Opening a node by hand still has its folder watched at once.
  TTreeNode* sibling = ChildNamed(tree->Selected()->Parent()->Parent()->Parent(), "sibling100");
  ASSERT_NE(sibling, nullptr);
  dir.Folder("a\\sibling100\\inner");
  sibling->Expand(false);
  EXPECT_TRUE(isWatched(dir.Path() + "\\a\\sibling100"));
}

TEST_F(ShellTreeTest, AClosedNodesFoldersAreLetGoAndReadAgainWhenItOpens) {
  dir.Folder("a\\inner\\deep");
  dir.Folder("b\\inner");
  MakeTree(dir.Path());
  TTreeNode* a = ChildNamed(Root(), "a");
  TTreeNode* b = ChildNamed(Root(), "b");
  a->Expand(false);
  ChildNamed(a, "inner")->Expand(false);
  b->Expand(false);
  auto watched = [&](const String& folder) {
    host::TStrings* directories = tree->Notifier()->Directories();
    for (int i = 0; i < directories->Count(); ++i)
      if (host::SameText(directories->Strings(i), dir.Path() + "\\" + folder)) return true;
    return false;
  };
  ASSERT_TRUE(watched("a") && watched("a\\inner") && watched("b"));

  // Closing a lets go of it and of what is open below it; b stays watched.
  a->Collapse(false);
  EXPECT_FALSE(watched("a"));
  EXPECT_FALSE(watched("a\\inner"));
  EXPECT_TRUE(watched("b"));

  // What was made while it was closed, unannounced, shows when it opens again.
  dir.Folder("a\\made while closed");
  a->Expand(false);
  EXPECT_NE(ChildNamed(a, "made while closed"), nullptr);
  EXPECT_TRUE(watched("a"));
  EXPECT_TRUE(watched("a\\inner"));

  // A node deleted by a report lets go of its folder, so that the folder can go from the disk.
  Announce(SHCNE_RMDIR, dir.Path() + "\\b");
  EXPECT_EQ(ChildNamed(Root(), "b"), nullptr);
  EXPECT_FALSE(watched("b"));
}

TEST_F(ShellTreeTest, AWatchedFolderDeletedByAnotherCallerGoesFromTheDisk) {
  const String a = dir.Folder("a");
  dir.Folder("a\\inner");
  dir.File("a\\inner\\f.txt", "x");
  MakeTree(dir.Path());
  TTreeNode* aNode = ChildNamed(Root(), "a");
  aNode->Expand(false);
  ChildNamed(aNode, "inner")->Expand(false);
  Paint();
  // Deleted by another caller through the shell while the tree watches both folders: the inner
  // one holds no handle of the watch (else its removal would wait for it and the outer one's
  // fail), the outer one's handle goes once the folder is seen waiting to be deleted.
  const host::WideString from = host::ToWide(a) + L'\0';
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  ASSERT_EQ(SHFileOperationW(&op), 0);
  EXPECT_TRUE(PumpMessagesUntil(
      [&] { return GetFileAttributesW(host::ToWide(a).c_str()) == INVALID_FILE_ATTRIBUTES; }, 5000));
  EXPECT_TRUE(PumpMessagesUntil([&] { return ChildNamed(Root(), "a") == nullptr; }, 5000));
}

TEST_F(ShellTreeTest, ABurstOfReportsIsMergedAndWorkedOffInSlices) {
  dir.Folder("a\\first");
  MakeTree(dir.Path());
  TTreeNode* a = ChildNamed(Root(), "a");
  a->Expand(false);
  Paint();
  int refreshesOfA = 0;
  tree->OnUpdatedFolder = [&](host::TObject*, TTreeNode* node) {
    if (node == a) ++refreshesOfA;
  };
  constexpr int kMade = 150;
  for (int i = 0; i < kMade; ++i) Announce(SHCNE_MKDIR, dir.Folder("a\\f" + host::IntToStr(i)));
  // Each report refreshes a while the burst is young; the rest wait as one step.
  EXPECT_LT(refreshesOfA, kMade / 2);
  ASSERT_TRUE(a->Expanded());
  EXPECT_TRUE(PumpMessagesUntil([&] { return a->Count() == kMade + 1; }, 8000));
  tree->OnUpdatedFolder = nullptr;
}

TEST_F(ShellTreeTest, AReportByPathReachesTheSpecialFolderNodeThatShowsTheFolder) {
  wchar_t documents[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents), S_OK);
  MakeTree();
  Root()->Expand(false);
  TTreeNode* shown = nullptr;
  for (int i = 0; i < Root()->Count() && !shown; ++i)
    if (host::SameText(tree->GetFullPath(Root()->Item(i)), host::ToUtf8(documents)))
      shown = Root()->Item(i);
  if (!shown) GTEST_SKIP() << "the desktop shows no Documents here";
  shown->Expand(false);
  Paint();
  const String made =
      host::ToUtf8(documents) + "\\zelnor-made-" + host::IntToStr(int(GetCurrentProcessId()));
  ASSERT_TRUE(CreateDirectoryW(host::ToWide(made).c_str(), nullptr));
  auto removeMade = host::ScopeExit([&] { RemoveDirectoryW(host::ToWide(made).c_str()); });
  Announce(SHCNE_MKDIR, made);
  EXPECT_NE(ChildNamed(shown, host::ExtractFileName(made)), nullptr);
}

TEST_F(ShellTreeTest, ShellReportsReachTheTreeAtOnce) {
  const String a = dir.Folder("a");
  dir.Folder("a\\old name");
  TKivShellLink link;
  Recorder peer;
  peer.setShellLink(&link);
  MakeTree(dir.Path());
  tree->SetShellLink(&link);
  TTreeNode* aNode = ChildNamed(Root(), "a");
  aNode->Expand(false);
  Paint();

  // A folder made and announced appears before the announcement returns.
  const String made = dir.Folder("a\\made");
  Announce(SHCNE_MKDIR, made);
  EXPECT_NE(ChildNamed(aNode, "made"), nullptr);

  // A folder renamed by a file operation is shown under its new name at once, though the tree
  // (showing no files) does not ask for renamed files.
  EXPECT_FALSE(tree->Notifier()->GetNotificationEvent(neFileRename));
  EXPECT_FALSE(tree->Notifier()->GetNotificationEvent(neFileCreate));
  host::WideString from = host::ToWide(a + "\\old name") + L'\0';
  host::WideString to = host::ToWide(a + "\\new name") + L'\0';
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_RENAME;
  op.pFrom = from.c_str();
  op.pTo = to.c_str();
  op.fFlags = FOF_NO_UI;
  ASSERT_EQ(SHFileOperationW(&op), 0);
  EXPECT_EQ(ChildNamed(aNode, "old name"), nullptr);
  EXPECT_NE(ChildNamed(aNode, "new name"), nullptr);

  // The selected folder deleted: the selection moves and the link hears of it at once.
  TTreeNode* madeNode = ChildNamed(aNode, "made");
  tree->SetChangeDelay(0);
  tree->SetSelected(madeNode);
  const size_t told = peer.paths.size();
  RemoveDirectoryW(host::ToWide(made).c_str());
  Announce(SHCNE_RMDIR, made);
  EXPECT_EQ(ChildNamed(aNode, "made"), nullptr);
  ASSERT_NE(tree->Selected(), nullptr);
  EXPECT_GT(peer.paths.size(), told);
  peer.setShellLink(nullptr);
  tree->SetShellLink(nullptr);
}

TEST_F(ShellTreeTest, KeysAndClicksSentToTheWindowAct) {
  dir.Folder("a\\b");
  TKivShellLink link;
  Recorder peer;
  peer.setShellLink(&link);
  MakeTree(dir.Path());
  tree->SetShellLink(&link);
  Paint();

  // A click on the button opens and fills the node.
  TTreeNode* a = ChildNamed(Root(), "a");
  const RECT label = a->DisplayRect(true);
  const int y = (label.top + label.bottom) / 2;
  int buttonX = -1;
  for (int x = 0; x < label.left && buttonX < 0; ++x)
    if (tree->GetHitTestInfoAt(x, y) & host::HitBit(host::htOnButton)) buttonX = x;
  ASSERT_GE(buttonX, 0);
  PostMessageW(tree->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(buttonX, y));
  PostMessageW(tree->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(buttonX, y));
  EXPECT_TRUE(PumpMessagesUntil([&] { return a->Expanded(); }, 5000));
  EXPECT_EQ(Texts(a), (std::vector<String>{"b"}));

  // F5 refreshes the tree, then every other control of the link.
  dir.Folder("c");
  SetFocus(tree->Handle());
  PostMessageW(tree->Handle(), WM_KEYDOWN, VK_F5, 0);
  EXPECT_TRUE(PumpMessagesUntil([&] { return peer.refreshes > 0; }, 5000));
  EXPECT_EQ(peer.refreshes, 1);
  EXPECT_NE(ChildNamed(Root(), "c"), nullptr);
  EXPECT_EQ(tree->ChangeDelay(), 600u) << "a key makes the next report wait longer";

  // Ctrl+A selects all in the linked controls.
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  SendMessageW(tree->Handle(), WM_KEYDOWN, 'A', 0);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(peer.selectAlls, 1);

  // The pointer entering and leaving the window.
  int entered = 0, left = 0;
  tree->OnMouseEnter = [&](host::TObject*) { ++entered; };
  tree->OnMouseLeave = [&](host::TObject*) { ++left; };
  SendMessageW(tree->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
  EXPECT_EQ(entered, 1);
  SendMessageW(tree->Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(left, 1);
  peer.setShellLink(nullptr);
  tree->SetShellLink(nullptr);
}

TEST_F(ShellTreeTest, CompressedAndEncryptedNodesAreColoured) {
  dir.Folder("packed");
  dir.Folder("secret");
  dir.Folder("both");
  MakeTree(dir.Path());
  Paint();
  // The platform cannot set these attributes: the nodes get them as if it had.
  tree->ShellItem(ChildNamed(Root(), "packed"))->compressed = true;
  tree->ShellItem(ChildNamed(Root(), "secret"))->encrypted = true;
  tree->ShellItem(ChildNamed(Root(), "both"))->compressed = true;
  tree->ShellItem(ChildNamed(Root(), "both"))->encrypted = true;
  auto colourOf = [&](const String& name) {
    Paint();
    const RECT label = ChildNamed(Root(), name)->DisplayRect(true);
    HDC dc = GetDC(tree->Handle());
    COLORREF found = CLR_NONE;
    for (int y = label.top; y < label.bottom && found == CLR_NONE; ++y)
      for (int x = label.left; x < label.right && found == CLR_NONE; ++x) {
        const COLORREF c = GetPixel(dc, x, y);
        if (GetRValue(c) < 60 && (GetGValue(c) > 100 || GetBValue(c) > 150)) found = c;
      }
    ReleaseDC(tree->Handle(), dc);
    return found;
  };
  EXPECT_EQ(colourOf("packed"), CLR_NONE) << "only with the option on";
  tree->SetShowOption(soColorCompressed, true);
  tree->SetShowOption(soColorEncrypted, true);
  tree->ShellItem(ChildNamed(Root(), "packed"))->compressed = true;
  tree->ShellItem(ChildNamed(Root(), "secret"))->encrypted = true;
  tree->ShellItem(ChildNamed(Root(), "both"))->compressed = true;
  tree->ShellItem(ChildNamed(Root(), "both"))->encrypted = true;
  EXPECT_EQ(colourOf("packed"), RGB(0, 0, 255));
  EXPECT_EQ(colourOf("secret"), RGB(0, 128, 0));
  EXPECT_EQ(colourOf("both"), RGB(0, 128, 0));
}

TEST_F(ShellTreeTest, ReadFromAFormTextWithItsLinkAndWrittenBackWithItsSettings) {
  dir.Folder("a\\b");
  RegisterZelnorComponents();
  String quoted;
  for (char c : dir.Path() + "\\a") quoted += c == '\'' ? String("''") : String(1, c);
  auto formText = [&](const String& treeLines) {
    return "object TreeForm: TForm\n"
           "  ClientWidth = 600\n"
           "  ClientHeight = 400\n"
           "  object Link: TKivShellLink\n"
           "  end\n"
           "  object Folders: TKivShellTree\n"
           "    Align = alLeft\n"
           "    ShellLink = Link\n" +
           treeLines +
           "  end\n"
           "  object Files: TKivShellList\n"
           "    Align = alClient\n"
           "    ShellLink = Link\n"
           "    NoFillOnStartup = True\n"
           "  end\n"
           "end\n";
  };
  {
    std::unique_ptr<host::TForm> loaded(host::TForm::CreateFromText(
        formText("    ShowHidden = True\n    SelectedFolder = '" + quoted + "'\n")));
    auto* folders = dynamic_cast<TKivShellTree*>(loaded->FindComponent("Folders"));
    auto* files = dynamic_cast<TKivShellList*>(loaded->FindComponent("Files"));
    ASSERT_NE(folders, nullptr);
    EXPECT_EQ(folders->ShellLink(), loaded->FindComponent("Link"));
    EXPECT_TRUE(folders->ShowOption(soShowHidden));
    EXPECT_TRUE(host::SameText(folders->GetSelectedFolder(), dir.Path() + "\\a"));
    // The selection was told to the list when loading ended.
    EXPECT_TRUE(host::SameText(files->GetPath(), dir.Path() + "\\a\\"));
    const String written = host::WriteComponentText(loaded.get());
    EXPECT_NE(written.find("ShowHidden = True"), String::npos);
    EXPECT_NE(written.find("SelectedFolder = "), String::npos);
    EXPECT_EQ(written.find("Version"), String::npos);
    EXPECT_EQ(written.find("ChangeDelay"), String::npos);
    EXPECT_EQ(written.find("DoubleBuffered"), String::npos);
  }
  {
    // Without SelectedFolder or SpecialFolder: My Computer.
    std::unique_ptr<host::TForm> loaded(host::TForm::CreateFromText(formText("")));
    auto* folders = dynamic_cast<TKivShellTree*>(loaded->FindComponent("Folders"));
    EXPECT_EQ(folders->GetSpecialFolder(), SF_DRIVES);
    // The desktop selected is written and read back as the desktop.
    folders->SetSpecialFolder(SF_DESKTOP);
    const String written = host::WriteComponentText(loaded.get());
    EXPECT_NE(written.find("SpecialFolder = SF_DESKTOP"), String::npos);
    std::unique_ptr<host::TForm> again(host::TForm::CreateFromText(written));
    auto* reloaded = dynamic_cast<TKivShellTree*>(again->FindComponent("Folders"));
    EXPECT_EQ(reloaded->GetSpecialFolder(), SF_DESKTOP);
  }
}

// ---- Commands and editing

namespace {

struct Reported {
  TKivShellOperations operations;
  std::vector<String> files;
  String destination;
};

// Records what the tree tells OnOperation.
std::vector<Reported>* RecordOperations(TKivShellTree* tree) {
  auto* reports = new std::vector<Reported>;
  tree->OnOperation = [reports](host::TObject*, TKivShellOperations ops, host::TStrings* files,
                                const String& destination) {
    Reported r{ops, {}, destination};
    for (int i = 0; i < files->Count(); ++i) r.files.push_back(files->Strings(i));
    reports->push_back(r);
  };
  return reports;
}

bool Exists(const String& path) {
  return GetFileAttributesW(host::ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Types `text` into the label editor of `node` and ends the editing as Enter would.
void EditLabel(TKivShellTree* tree, TTreeNode* node, const String& text) {
  ASSERT_TRUE(node->EditText());
  HWND edit = HWND(SendMessageW(tree->Handle(), TVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, host::ToWide(text).c_str());
  node->EndEdit(false);
}

void SetCtrl(bool down) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = down ? 0x80 : 0;
  SetKeyboardState(keys);
}

}  // namespace

TEST_F(ShellTreeTest, RenameInPlaceKeepsTheNodeWhileTheShellReportsItAndTellsOnce) {
  const String a = dir.Folder("a");
  dir.Folder("a\\inner");
  dir.Folder("m");
  TKivShellLink link;
  Recorder peer;
  peer.setShellLink(&link);
  MakeTree(dir.Path());
  tree->SetShellLink(&link);
  std::unique_ptr<std::vector<Reported>> ops(RecordOperations(tree.get()));
  Paint();
  TTreeNode* node = ChildNamed(Root(), "a");
  ASSERT_NE(node, nullptr);
  node->Expand(false);
  ASSERT_EQ(Texts(node), (std::vector<String>{"inner"}));
  tree->SetChangeDelay(0);
  tree->SetSelected(node);

  // The shell announces the rename while it runs; the node survives it under its new name.
  EditLabel(tree.get(), node, "z");
  EXPECT_TRUE(Exists(dir.Path() + "\\z"));
  EXPECT_EQ(ChildNamed(Root(), "a"), nullptr);
  ASSERT_EQ(ChildNamed(Root(), "z"), node);
  EXPECT_EQ(Texts(Root()), (std::vector<String>{"m", "z"})) << "it moved to its new place";
  EXPECT_TRUE(host::SameText(tree->GetFullPath(node), dir.Path() + "\\z"));
  EXPECT_TRUE(node->Expanded());
  EXPECT_EQ(Texts(node), (std::vector<String>{"inner"}));
  EXPECT_TRUE(host::SameText(tree->GetFullPath(node->Item(0)), dir.Path() + "\\z\\inner"));
  ASSERT_EQ(ops->size(), 1u);
  EXPECT_EQ((*ops)[0].operations, ShellOperations({sopRename}));
  EXPECT_EQ((*ops)[0].files, (std::vector<String>{a}));
  EXPECT_TRUE(host::SameText((*ops)[0].destination, dir.Path() + "\\z"));
  ASSERT_FALSE(peer.paths.empty());
  EXPECT_TRUE(host::SameText(peer.paths.back(), dir.Path() + "\\z"));

  // A name the shell refuses (a sibling has it): the old name comes back, nothing is told.
  EditLabel(tree.get(), node, "m");
  EXPECT_EQ(node->Text(), "z");
  EXPECT_TRUE(Exists(dir.Path() + "\\z"));
  EXPECT_EQ(ops->size(), 1u);

  // Cancelled editing tells OnEditCanceled only.
  TTreeNode* cancelled = nullptr;
  tree->OnEditCanceled = [&](host::TObject*, TTreeNode* n) { cancelled = n; };
  ASSERT_TRUE(node->EditText());
  node->EndEdit(true);
  EXPECT_EQ(cancelled, node);
  EXPECT_EQ(ops->size(), 1u);
  peer.setShellLink(nullptr);
  tree->SetShellLink(nullptr);
}

TEST_F(ShellTreeTest, RenameToANameTheShellChangesShowsTheShellsName) {
  dir.File("note.txt", "x");
  MakeTree(dir.Path());
  tree->SetShowOption(soShowFiles, true);
  Root()->Expand(false);
  Paint();
  ASSERT_EQ(Root()->Count(), 1);
  TTreeNode* node = Root()->Item(0);
  const String shown = node->Text();
  const bool hidesExtension = shown == "note";
  EditLabel(tree.get(), node, hidesExtension ? "memo" : "memo.txt");
  EXPECT_TRUE(Exists(dir.Path() + "\\memo.txt"));
  EXPECT_EQ(node->Text(), hidesExtension ? "memo" : "memo.txt");
  EXPECT_EQ(node->Text(), tree->Navigator()->GetShellObjectName());
}

TEST_F(ShellTreeTest, DeleteThroughTheTreeRemovesTheNodeAndReportsIt) {
  const String gone = dir.Folder("gone");
  dir.Folder("stays");
  MakeTree(dir.Path());
  std::unique_ptr<std::vector<Reported>> ops(RecordOperations(tree.get()));
  Paint();
  // Nothing selected, or a node that is not the shell's: nothing runs, nothing is told.
  tree->SetSelected(nullptr);
  EXPECT_FALSE(tree->InvokeCommandOnSelected("delete"));
  TTreeNode* stranger = tree->Items()->AddChild(Root(), "stranger");
  tree->SetSelected(stranger);
  EXPECT_FALSE(tree->InvokeCommandOnSelected("delete"));
  stranger->Delete();
  EXPECT_TRUE(ops->empty());

  TTreeNode* node = ChildNamed(Root(), "gone");
  tree->SetSelected(node);
  {
    testing_support::ModalWatchdog yes(IDYES);
    EXPECT_TRUE(tree->InvokeCommandOnSelected("delete"));
  }
  EXPECT_FALSE(Exists(gone));
  EXPECT_EQ(ChildNamed(Root(), "gone"), nullptr);
  EXPECT_NE(ChildNamed(Root(), "stays"), nullptr);
  EXPECT_EQ(tree->ChangeDelay(), 0u);
  ASSERT_EQ(ops->size(), 1u);
  EXPECT_EQ((*ops)[0].operations, ShellOperations({sopDelete, sopRemove}));
  EXPECT_EQ((*ops)[0].files, (std::vector<String>{gone}));
  EXPECT_EQ((*ops)[0].destination, "");

  // Refused by the user: nothing happened, nothing is told.
  tree->SetSelected(ChildNamed(Root(), "stays"));
  {
    testing_support::ModalWatchdog no(IDNO);
    EXPECT_FALSE(tree->InvokeCommandOnSelected("delete"));
  }
  EXPECT_TRUE(Exists(dir.Path() + "\\stays"));
  EXPECT_EQ(ops->size(), 1u);
}

TEST_F(ShellTreeTest, KeysRunTheirVerbsAndAFailedPasteIsNotReported) {
  dir.Folder("a");
  dir.File("a\\f.txt", "x");
  dir.Folder("b");
  MakeTree(dir.Path());
  std::unique_ptr<std::vector<Reported>> ops(RecordOperations(tree.get()));
  Paint();
  tree->SetChangeDelay(0);
  tree->SetSelected(ChildNamed(Root(), "a"));
  SetFocus(tree->Handle());

  // Ctrl+C puts the folder on the clipboard.
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
  SetCtrl(true);
  SendMessageW(tree->Handle(), WM_KEYDOWN, 'C', 0);
  SetCtrl(false);
  std::unique_ptr<host::TStringList> copied = GetFilenamesFromClipboard();
  ASSERT_TRUE(copied);
  ASSERT_EQ(copied->Count(), 1);
  EXPECT_TRUE(host::SameText(copied->Strings(0), dir.Path() + "\\a")) << copied->Strings(0);

  // Ctrl+V on b: a paste the shell cannot carry out reports nothing, neither the verb's report
  // nor the key's.
  tree->SetSelected(ChildNamed(Root(), "b"));
  SetCtrl(true);
  SendMessageW(tree->Handle(), WM_KEYDOWN, 'V', 0);
  SetCtrl(false);
  if (Exists(dir.Path() + "\\b\\a")) {
    // Where the shell can paste: the verb's report, then the key's.
    ASSERT_EQ(ops->size(), 2u);
    EXPECT_EQ((*ops)[1].operations, ShellOperations({sopPaste, sopAdd}));
    ops->clear();
  } else {
    EXPECT_TRUE(ops->empty());
  }

  // F2 opens the selected node's label for editing.
  TTreeNode* b = ChildNamed(Root(), "b");
  tree->SetSelected(b);
  SendMessageW(tree->Handle(), WM_KEYDOWN, VK_F2, 0);
  EXPECT_EQ(tree->EditingNode(), b);
  b->EndEdit(true);

  // Ctrl+X marks the node cut; Delete removes it (the shell asks first).
  SetCtrl(true);
  SendMessageW(tree->Handle(), WM_KEYDOWN, 'X', 0);
  SetCtrl(false);
  EXPECT_TRUE(b->Cut());
  {
    testing_support::ModalWatchdog yes(IDYES);
    SendMessageW(tree->Handle(), WM_KEYDOWN, VK_DELETE, 0);
  }
  EXPECT_FALSE(Exists(dir.Path() + "\\b"));
  EXPECT_EQ(ChildNamed(Root(), "b"), nullptr);
  ASSERT_FALSE(ops->empty());
  EXPECT_EQ(ops->back().operations, ShellOperations({sopDelete, sopRemove}));

  // A read-only tree deletes nothing.
  tree->SetReadOnly(true);
  tree->SetSelected(ChildNamed(Root(), "a"));
  SendMessageW(tree->Handle(), WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_TRUE(Exists(dir.Path() + "\\a"));
}

TEST_F(ShellTreeTest, CreateDirMakesNewFolderBelowTheParentAndOpensItsLabel) {
  dir.Folder("p");
  MakeTree(dir.Path());
  Paint();
  tree->CreateDir("", "x", false);
  EXPECT_EQ(Texts(ChildNamed(Root(), "p")), std::vector<String>{});
  tree->CreateDir(dir.Path() + "\\p", "", true);
  EXPECT_TRUE(Exists(dir.Path() + "\\p\\New Folder"));
  TTreeNode* p = ChildNamed(Root(), "p");
  EXPECT_EQ(tree->Selected(), p);
  EXPECT_TRUE(p->Expanded());
  EXPECT_EQ(Texts(p), (std::vector<String>{"New Folder"}));
  ASSERT_NE(tree->EditingNode(), nullptr);
  EXPECT_EQ(tree->EditingNode(), p->Item(0));
  tree->EditingNode()->EndEdit(true);
  // A deeper one with missing parents, no editing.
  tree->CreateDir(dir.Path() + "\\q\\r", "s", false);
  EXPECT_TRUE(Exists(dir.Path() + "\\q\\r\\s"));
  EXPECT_FALSE(tree->IsEditing());
}

TEST_F(ShellTreeTest, RightClickShowsTheShellsMenuOfTheNodeUnderTheMouse) {
  const String gone = dir.Folder("gone");
  dir.Folder("other");
  MakeTree(dir.Path());
  std::unique_ptr<std::vector<Reported>> ops(RecordOperations(tree.get()));
  host::TPopupMenu popup;
  auto* own = new host::TMenuItem(&popup);
  own->SetCaption("Own item");
  popup.Items()->Add(own);
  tree->SetPopupMenu(&popup);
  Paint();
  TTreeNode* node = ChildNamed(Root(), "gone");
  const RECT label = node->DisplayRect(true);
  const POINT at{(label.left + label.right) / 2, (label.top + label.bottom) / 2};

  // The control follows the mouse for a while before it asks for the menu: the menu is looked
  // for until it is there.
  static std::vector<testing_support::MenuEntry> entries;
  entries.clear();
  const UINT_PTR reader = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
    if (HMENU menu = testing_support::OpenMenu()) {
      entries = testing_support::MenuEntries(menu);
      KillTimer(nullptr, id);
      EndMenu();
    }
  });
  SetForegroundWindow(form->Handle());
  const POINT screen = tree->ClientToScreen(at);
  SetCursorPos(screen.x, screen.y);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  input[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  ASSERT_EQ(SendInput(2, input, sizeof(INPUT)), 2u);
  EXPECT_TRUE(PumpMessagesUntil([&] { return !entries.empty(); }, 8000));
  KillTimer(nullptr, reader);
  ASSERT_EQ(tree->Selected(), node) << "a menu on anything else would act on it";
  bool open = false, mine = false;
  for (const auto& e : entries) {
    open = open || e.text == L"&Open";
    mine = mine || e.text == L"Own item";
  }
  EXPECT_TRUE(open);
  EXPECT_TRUE(mine);

  // Shift+F10 opens it below the node; choosing Delete there removes the node and reports.
  testing_support::AfterDelay(300, [] { testing_support::TypeIntoMenu(L'd'); });
  const UINT_PTR fallback = SetTimer(nullptr, 0, 6000, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EndMenu();
  });
  {
    testing_support::ModalWatchdog yes(IDYES);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(tree->Handle(), WM_KEYDOWN, VK_F10, 0);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
  }
  KillTimer(nullptr, fallback);
  EXPECT_FALSE(Exists(gone));
  EXPECT_EQ(ChildNamed(Root(), "gone"), nullptr);
  ASSERT_EQ(ops->size(), 1u);
  EXPECT_EQ((*ops)[0].operations, ShellOperations({sopDelete, sopRemove}));
  EXPECT_EQ((*ops)[0].files, (std::vector<String>{gone}));
  tree->SetPopupMenu(nullptr);
}

// ---- Check boxes

namespace {

// The left edge of a node's check box, where the control draws it.
int BoxLeft(TKivShellTree* tree, TTreeNode* node) {
  const RECT row = node->DisplayRect(false);
  return (tree->ShowRoot() ? node->Level() + 1 : node->Level()) * tree->Indent() + int(row.left);
}

// A real press and release of the left button at a client point.
void ClickAt(TKivShellTree* tree, int x, int y) {
  PostMessageW(tree->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageW(tree->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  host::Application().ProcessMessages();
}

void ClickBox(TKivShellTree* tree, TTreeNode* node) {
  const RECT row = node->DisplayRect(false);
  ClickAt(tree, BoxLeft(tree, node) + 4, int(row.top + 4));
}

TKivSelectionState StateOf(TKivShellTree* tree, TTreeNode* node) {
  return tree->GetItemSelectionState(node->AbsoluteIndex());
}

std::vector<String> Entries(TKivSelectionList* list) {
  std::vector<String> entries;
  for (int i = 0; i < list->Count(); ++i) entries.push_back(list->Paths()->Strings(i));
  return entries;
}

}  // namespace

TEST_F(ShellTreeTest, CheckBoxesStayOffWithoutALinkAndTheDesignerSaysWhyOnce) {
  MakeTree(dir.Path());
  tree->SetCheckBoxes(true);
  EXPECT_FALSE(tree->CheckBoxes());
  {
    testing_support::ModalWatchdog ok(IDOK);
    tree->SetDesigning(true);
    tree->SetCheckBoxes(true);
    tree->SetDesigning(false);
    EXPECT_TRUE(PumpMessagesUntil([&] { return ok.Answered() > 0; }, 3000) || ok.Answered() > 0);
    EXPECT_EQ(ok.Answered(), 1);
    const auto texts = ok.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find(L"You must now assign a TKIvShellLink to the ShellLink property of "
                            L"this components for the checkboxes to work!"),
              std::wstring::npos);
  }
  EXPECT_FALSE(tree->CheckBoxes());
}

TEST_F(ShellTreeTest, ClicksOnBoxesCheckFilesAndFoldersInTheLinksSelection) {
  dir.Folder("f");
  const String one = dir.File("f\\1.txt", "1");
  const String two = dir.File("f\\2.txt", "22");
  dir.Folder("g");
  TKivShellLink link;
  MakeTree(dir.Path());
  tree->SetShellLink(&link);
  tree->SetShowOption(soShowFiles, true);
  tree->SetCheckBoxes(true);
  ASSERT_TRUE(tree->CheckBoxes());
  ASSERT_NE(tree->StateImages(), nullptr);
  TKivSelectionList* list = link.SelectionList();
  std::vector<std::pair<String, TKivSelectionState>> told;
  tree->OnCheckStateChanged = [&](host::TObject*, int index, const String& path,
                                  TKivSelectionState state) {
    EXPECT_EQ(tree->Items()->Item(index)->Text().empty(), false);
    told.emplace_back(path, state);
  };
  TTreeNode* f = ChildNamed(Root(), "f");
  f->Expand(false);
  Paint();
  TTreeNode* n1 = f->Item(0);
  TTreeNode* n2 = f->Item(1);
  ASSERT_TRUE(host::SameText(tree->GetFullPath(n1), one));
  EXPECT_EQ(StateOf(tree.get(), n1), ssUnChecked);
  EXPECT_EQ(StateOf(tree.get(), f), ssUnChecked);
  TTreeNode* selected = tree->Selected();

  // A file ticked: its folder and the root show grayed; the selected node stays.
  ClickBox(tree.get(), n1);
  EXPECT_EQ(Entries(list), (std::vector<String>{one}));
  EXPECT_EQ(StateOf(tree.get(), n1), ssChecked);
  EXPECT_EQ(StateOf(tree.get(), f), ssGrayed);
  EXPECT_EQ(StateOf(tree.get(), Root()), ssGrayed);
  EXPECT_EQ(tree->Selected(), selected);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_TRUE(host::SameText(told[0].first, one));
  EXPECT_EQ(told[0].second, ssChecked);

  // Unticked again.
  ClickBox(tree.get(), n1);
  EXPECT_TRUE(Entries(list).empty());
  EXPECT_EQ(StateOf(tree.get(), n1), ssUnChecked);
  EXPECT_EQ(StateOf(tree.get(), f), ssUnChecked);

  // The last unticked file completes its folder: one folder entry replaces the files.
  ClickBox(tree.get(), n1);
  ClickBox(tree.get(), n2);
  ASSERT_EQ(list->Count(), 1);
  EXPECT_TRUE(host::SameText(list->Paths()->Strings(0), dir.Path() + "\\f\\*"));
  EXPECT_EQ(StateOf(tree.get(), f), ssChecked);
  EXPECT_EQ(StateOf(tree.get(), n1), ssChecked);
  EXPECT_EQ(StateOf(tree.get(), n2), ssChecked);

  // A grayed folder ticked becomes whole; the entries below it go.
  ClickBox(tree.get(), f);
  EXPECT_TRUE(Entries(list).empty());
  ClickBox(tree.get(), n2);
  EXPECT_EQ(StateOf(tree.get(), f), ssGrayed);
  ClickBox(tree.get(), f);
  ASSERT_EQ(list->Count(), 1);
  EXPECT_TRUE(host::SameText(list->Paths()->Strings(0), dir.Path() + "\\f\\*"));
  EXPECT_EQ(StateOf(tree.get(), n1), ssChecked);

  // Just right of the box is an ordinary click: it selects, it does not tick.
  TTreeNode* g = ChildNamed(Root(), "g");
  const RECT row = g->DisplayRect(false);
  tree->SetChangeDelay(0);
  ClickAt(tree.get(), BoxLeft(tree.get(), g) + tree->StateImages()->Width(), int(row.top + 4));
  EXPECT_EQ(StateOf(tree.get(), g), ssUnChecked);
  EXPECT_EQ(list->Count(), 1);

  // An inactive box takes no part, not even in the selection of nodes.
  tree->SetSelected(f);
  g->SetStateIndex(ssNone);
  const size_t before = told.size();
  ClickBox(tree.get(), g);
  EXPECT_EQ(StateOf(tree.get(), g), ssNone);
  EXPECT_EQ(list->Count(), 1);
  EXPECT_EQ(tree->Selected(), f);
  EXPECT_EQ(told.size(), before);

  // Saved and loaded into the list of a new link, a new tree shows the same boxes.
  const String ini = dir.Path() + "\\sel.ini";
  list->SaveToIniFile(ini, "Selection");
  tree->SetCheckBoxes(false);
  EXPECT_EQ(tree->StateImages(), nullptr);
  tree->SetShellLink(nullptr);
  tree.reset();
  TKivShellLink other;
  other.SelectionList()->LoadFromIniFile(ini, "Selection");
  MakeTree(dir.Path());
  tree->SetShellLink(&other);
  tree->SetShowOption(soShowFiles, true);
  tree->SetCheckBoxes(true);
  TTreeNode* f2 = ChildNamed(Root(), "f");
  f2->Expand(false);
  Paint();
  EXPECT_EQ(StateOf(tree.get(), f2), ssChecked);
  EXPECT_EQ(StateOf(tree.get(), f2->Item(0)), ssChecked);
  EXPECT_EQ(StateOf(tree.get(), ChildNamed(Root(), "g")), ssUnChecked);
  tree->SetShellLink(nullptr);
}

TEST_F(ShellTreeTest, BoxesAreHitWhereTheControlDrawsThemWithTheTreeScrolledSideways) {
  const String deep = dir.Folder(
      "a long folder name that needs room\\another long folder name\\"
      "the deepest folder with the longest name of all");
  TKivShellLink link;
  MakeTree(dir.Path());
  tree->SetBounds(0, 0, 200, 300);
  tree->SetShellLink(&link);
  tree->SetCheckBoxes(true);
  tree->SetSelectedFolder(deep);
  Paint();
  TTreeNode* node = tree->Selected();
  ASSERT_TRUE(host::SameText(tree->GetFullPath(node), deep));
  SendMessageW(tree->Handle(), WM_HSCROLL, SB_LINERIGHT, 0);
  Paint();
  SCROLLINFO scroll{sizeof scroll, SIF_POS};
  ASSERT_TRUE(GetScrollInfo(tree->Handle(), SB_HORZ, &scroll));
  ASSERT_GT(scroll.nPos, 0);

  // Where the control's own hit test finds the box and the icon on the node's row.
  const RECT row = node->DisplayRect(false);
  const int y = int(row.top + row.bottom) / 2;
  int box = -1, icon = -1;
  for (int x = 0; x < 200 && icon < 0; ++x) {
    const host::THitTests hit = tree->GetHitTestInfoAt(x, y);
    if (box < 0 && (hit & (1u << host::htOnStateIcon))) box = x;
    if (box >= 0 && (hit & (1u << host::htOnIcon))) icon = x;
  }
  ASSERT_GE(box, 0);
  ASSERT_GT(icon, box);
  ClickAt(tree.get(), box + 3, y);
  EXPECT_EQ(StateOf(tree.get(), node), ssChecked);
  EXPECT_EQ(link.SelectionList()->Count(), 1);
  // The icon beside the box is an ordinary click.
  ClickAt(tree.get(), icon + 3, y);
  EXPECT_EQ(StateOf(tree.get(), node), ssChecked);
  ClickAt(tree.get(), icon - 3, y);
  EXPECT_EQ(StateOf(tree.get(), node), ssUnChecked);
  EXPECT_EQ(link.SelectionList()->Count(), 0);
  tree->SetShellLink(nullptr);
}

TEST_F(ShellTreeTest, TheDesktopRootShowsGrayedOnceALocalPathIsChecked) {
  TKivShellLink link;
  MakeTree();
  tree->SetShellLink(&link);
  tree->SetCheckBoxes(true);
  Paint();
  EXPECT_EQ(StateOf(tree.get(), Root()), ssNone);
  ClickBox(tree.get(), Root());
  EXPECT_EQ(link.SelectionList()->Count(), 0) << "the desktop cannot be checked";
  link.SelectionList()->AddPathToSelection(dir.Path());
  tree->SetChangeDelay(0);
  tree->SetSelected(Root());
  tree->SmartRefresh();
  EXPECT_EQ(StateOf(tree.get(), Root()), ssGrayed);
  tree->SetShellLink(nullptr);
}

TEST_F(ShellTreeTest, BoxesOutsideTheChangedBranchFollowTheListOnScreenAndWhenScrolledTo) {
  TKivShellLink link;
  MakeTree();
  tree->SetShellLink(&link);
  tree->SetCheckBoxes(true);
  Paint();
  UniquePidl drives = GetIdListFromSpecialFolder(SF_DRIVES);
  TTreeNode* computer = nullptr;
  TTreeNode* elsewhere = nullptr;
  for (int i = 0; i < Root()->Count(); ++i) {
    auto* item = static_cast<TKivShellTreeItem*>(Root()->Item(i)->Data());
    if (item && SameItemIdList(item->absoluteIdList.get(), drives.get()))
      computer = Root()->Item(i);
    else if (!elsewhere)
      elsewhere = Root()->Item(i);
  }
  ASSERT_TRUE(computer && elsewhere);
  EXPECT_EQ(StateOf(tree.get(), computer), ssNone);
  // A path below My Computer checked through the link while another branch is selected.
  tree->SetChangeDelay(0);
  tree->SetSelected(elsewhere);
  link.SelectionList()->AddPathToSelection(dir.Path());
  EXPECT_EQ(StateOf(tree.get(), computer), ssGrayed);

  // A node drawn before a change, below an opened folder never drawn, reads its box again as it
  // comes back into view: the refresh from the root stops at the folder never drawn.
  for (int i = 0; i < 40; ++i) {
    dir.Folder("folder " + std::to_string(100 + i));
    dir.Folder("zfolder\\folder " + std::to_string(100 + i));
  }
  const String inner = dir.Folder("zfolder\\zz\\inner");
  link.SelectionList()->Clear();
  tree->SetCheckBoxes(false);
  tree->SetShellLink(nullptr);
  MakeTree(dir.Path());
  tree->SetShellLink(&link);
  tree->SetCheckBoxes(true);
  Paint();
  tree->SetSelectedFolder(inner);
  Paint();
  TTreeNode* node = tree->Selected();
  ASSERT_TRUE(host::SameText(tree->GetFullPath(node), inner));
  TTreeNode* zfolder = ChildNamed(Root(), "zfolder");
  ASSERT_LT(zfolder->ImageIndex(), 0) << "the opened folder was drawn";
  EXPECT_EQ(StateOf(tree.get(), node), ssUnChecked);
  tree->SetSelected(Root());
  Paint();
  ASSERT_FALSE(tree->IsNodeVisible(node));
  link.SelectionList()->AddPathToSelection(inner);
  node->MakeVisible();
  Paint();
  EXPECT_EQ(StateOf(tree.get(), node), ssChecked);
  tree->SetShellLink(nullptr);
}

TEST_F(ShellTreeTest, RecycleBinExpandsAndTheProgramGoesOn) {
  // Something in the bin: a file and a folder deleted with undo.
  const String binnedFolder = dir.Folder("binned-folder");
  dir.File("binned-folder\\inside.txt", "x");
  const std::wstring binned =
      host::ToWide(dir.File("binned.txt", "x")) + L'\0' + host::ToWide(binnedFolder) + L'\0';
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = binned.c_str();
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  ASSERT_EQ(SHFileOperationW(&op), 0);

  MakeTree();
  tree->SetShowOption(soShowFiles, true);
  tree->SetRootedAt(SF_BITBUCKET);
  EXPECT_EQ(tree->RootedAt(), SF_BITBUCKET);
  TTreeNode* bin = Root();
  ASSERT_NE(bin, nullptr);
  EXPECT_EQ(tree->GetFullPath(bin), "") << "the bin has no file-system path";
  bin->Expand(false);
  EXPECT_GE(bin->Count(), 1) << "the deleted objects are listed";
  for (int i = 0; i < bin->Count(); ++i) {
    bin->Item(i)->Expand(false);
    tree->GetFullPath(bin->Item(i));
  }
  Paint();
  PumpMessagesUntil([] { return false; }, 100);
  EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));

  // The tree goes on with an ordinary folder, and back to the bin.
  dir.Folder("after");
  tree->SetRootedAtFileSystemFolder(dir.Path());
  EXPECT_EQ(Texts(Root()), (std::vector<String>{"after"}));
  tree->SetRootedAt(SF_BITBUCKET);
  Root()->Expand(false);
  Paint();
  EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
  SHEmptyRecycleBinW(nullptr, nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
}
