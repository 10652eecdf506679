// OLE drag and drop of the shell tree and the shell list with the shell's own data objects and
// drop targets: what reaches the targets (recorded by wrapping the shell's), the effects, vetoes,
// reports, nodes and items that go during a drag, auto-expand and auto-scroll by their delays,
// the registration with the windows, drags out of the list through the platform's drag loop and
// one drag with the mouse.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "Pump.h"
#include "ShellListSupport.h"
#include "controls/FileList.h"
#include "controls/ShellList.h"
#include "controls/ShellTree.h"
#include "extras/DropFiles.h"
#include "host/forms/ExtCtrls.h"
#include "host/core/Streaming.h"
#include "host/forms/Forms.h"
#include "package/ZelnorComponents.h"
#include "shell/ShellGlobals.h"
#include "shell/ShellRoutines.h"
#include "shell/ShellDataObject.h"
#include "shell/TempDir.h"

using namespace zelnor;
using host::TListItem;
using host::TTreeNode;
using testing_support::ItemNamed;
using testing_support::PumpFor;
using testing_support::PumpMessagesUntil;
using testing_support::ShellDataObject;
using testing_support::TempDir;

namespace {

constexpr DWORD kAll = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

// The shell's target of an object, with every call written to a log ("enter 7", "over 1",
// "leave", "drop 1"). `answer` replaces the shell's Drop with a result and an effect.
struct TargetLog {
  std::vector<String> calls;
  IDataObject* dropped = nullptr;
  std::optional<std::pair<HRESULT, DWORD>> answer;
  bool Has(const String& call) const {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
  }
  bool Dropped() const {
    return std::any_of(calls.begin(), calls.end(),
                       [](const String& c) { return c.rfind("drop", 0) == 0; });
  }
};

class RecordingTarget final : public IDropTarget {
 public:
  RecordingTarget(host::ComPtr<IDropTarget> inner, TargetLog& log) : inner_(inner), log_(log) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid != IID_IUnknown && iid != IID_IDropTarget) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt,
                                      DWORD* effect) override {
    log_.calls.push_back("enter " + std::to_string(*effect));
    return inner_->DragEnter(data, keys, pt, effect);
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override {
    log_.calls.push_back("over " + std::to_string(*effect));
    return inner_->DragOver(keys, pt, effect);
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override {
    log_.calls.push_back("leave");
    return inner_->DragLeave();
  }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt,
                                 DWORD* effect) override {
    log_.calls.push_back("drop " + std::to_string(*effect));
    log_.dropped = data;
    if (log_.answer) {
      *effect = log_.answer->second;
      inner_->DragLeave();
      return log_.answer->first;
    }
    return inner_->Drop(data, keys, pt, effect);
  }

 private:
  host::ComPtr<IDropTarget> inner_;
  TargetLog& log_;
  ULONG references_ = 0;
};

host::ComPtr<IDropTarget> Recorded(host::ComPtr<IDropTarget> inner, TargetLog& log) {
  if (!inner) return inner;
  return host::ComPtr<IDropTarget>(new RecordingTarget(inner, log));
}

class RecordingTree : public TKivShellTree {
 public:
  TargetLog log;
  host::ComPtr<IDropTarget> GetDropTarget(TTreeNode* node) override {
    return Recorded(TKivShellTree::GetDropTarget(node), log);
  }
};

class RecordingList : public TKivShellList {
 public:
  TargetLog log;
  host::ComPtr<IDropTarget> GetDropTarget(TListItem* item) override {
    return Recorded(TKivShellList::GetDropTarget(item), log);
  }
};

struct Reported {
  TKivShellOperations operations;
  std::vector<String> files;
  String destination;
};

template <class View>
std::vector<Reported>& RecordOperations(View& view, std::vector<Reported>& out) {
  view.OnOperation = [&out](host::TObject*, TKivShellOperations ops, host::TStrings* files,
                            const String& destination) {
    Reported r{ops, {}, destination};
    for (int i = 0; i < files->Count(); ++i) r.files.push_back(files->Strings(i));
    out.push_back(r);
  };
  return out;
}

// A data object without any format: no file names at all.
class EmptyData : public IDataObject {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid != IID_IUnknown && iid != IID_IDataObject) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
};

TTreeNode* ChildNamed(TTreeNode* node, const String& name) {
  for (int i = 0; node && i < node->Count(); ++i)
    if (host::SameText(node->Item(i)->Text(), name)) return node->Item(i);
  return nullptr;
}

struct ShellDragDropTest : ::testing::Test {
  // One form for the suite: a shown top-level window takes Wine seconds to destroy.
  static inline std::unique_ptr<host::TForm> form;
  TempDir dir;
  std::unique_ptr<RecordingTree> tree;
  std::unique_ptr<RecordingList> list;
  std::vector<Reported> treeOps, listOps;

  static void SetUpTestSuite() {
    form = std::make_unique<host::TForm>();
    form->SetBounds(40, 40, 760, 420);
    form->Show();
  }
  static void TearDownTestSuite() { form.reset(); }
  void TearDown() override {
    list.reset();
    tree.reset();
  }

  // The tree on the right half of the form, rooted at the test's folder.
  RecordingTree& MakeTree(int height = 380) {
    tree = std::make_unique<RecordingTree>();
    tree->SetRootedAtFileSystemFolder(dir.Path());
    tree->SetParent(form.get());
    tree->SetBounds(380, 0, 360, height);
    tree->HandleNeeded();
    RecordOperations(*tree, treeOps);
    return *tree;
  }
  // The list on the left half, showing `folder`.
  RecordingList& MakeList(const String& folder) {
    list = std::make_unique<RecordingList>();
    list->SetParent(form.get());
    list->SetBounds(0, 0, 370, 380);
    list->HandleNeeded();
    list->SetPath(folder);
    RecordOperations(*list, listOps);
    return *list;
  }
  TTreeNode* Node(const String& name) { return ChildNamed(tree->Items()->GetFirstNode(), name); }
  // The screen point in the middle of a node's label.
  POINTL At(TTreeNode* node) {
    const RECT r = node->DisplayRect(true);
    const POINT p = tree->ClientToScreen(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    return POINTL{p.x, p.y};
  }
  POINTL At(TListItem* item) {
    const RECT r = item->DisplayRect(host::drLabel);
    const POINT p = list->ClientToScreen(POINT{r.left + 8, (r.top + r.bottom) / 2});
    return POINTL{p.x, p.y};
  }
};

}  // namespace

// ---- The tree as drop target

TEST_F(ShellDragDropTest, ADropOnANodeHandsTheDataToItsTargetWithTheEffectsBothSidesAllow) {
  dir.Folder("src");
  const String a = dir.File("src\\a.txt", "a"), b = dir.File("src\\b.txt", "b");
  dir.Folder("dst");
  MakeTree();
  host::ComPtr<IDataObject> data = ShellDataObject(dir.Path() + "\\src", {"a.txt", "b.txt"});
  ASSERT_TRUE(data);
  TKivShellDragDrop& dd = tree->DragDrop();
  TTreeNode* dst = Node("dst");
  ASSERT_NE(dst, nullptr);

  // Over the node: its target hears the source's offer, the node shows the highlight.
  DWORD effect = kAll;
  ASSERT_EQ(dd.DragEnter(data.Get(), 0, At(dst), &effect), S_OK);
  EXPECT_EQ(tree->log.calls.front(), "enter 7");
  EXPECT_TRUE(dst->DropTarget());
  EXPECT_EQ(dd.DropSpot(), dst);
  EXPECT_NE(effect & kAll, DWORD(DROPEFFECT_NONE));
  // Below the last node nothing takes the drop: no effect, whatever the source offers.
  const POINT empty = tree->ClientToScreen(POINT{20, 370});
  effect = kAll;
  ASSERT_EQ(dd.DragOver(0, POINTL{empty.x, empty.y}, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_FALSE(dst->DropTarget());
  EXPECT_EQ(tree->log.calls.back(), "leave");
  effect = kAll;
  EXPECT_EQ(dd.Drop(data.Get(), 0, POINTL{empty.x, empty.y}, &effect), E_UNEXPECTED);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));

  // A copy-only source: the target is offered the copy alone, however much the mode allows.
  tree->log.calls.clear();
  effect = DROPEFFECT_COPY;
  ASSERT_EQ(dd.DragEnter(data.Get(), 0, At(dst), &effect), S_OK);
  effect = DROPEFFECT_COPY;
  ASSERT_EQ(dd.Drop(data.Get(), 0, At(dst), &effect), S_OK);
  EXPECT_EQ(tree->log.calls, (std::vector<String>{"enter 1", "over 1", "drop 1"}));
  EXPECT_EQ(tree->log.dropped, data.Get()) << "the files' own data object";
  EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
  ASSERT_EQ(treeOps.size(), 1u);
  EXPECT_EQ(treeOps[0].operations, ShellOperations({sopCopy, sopDrop}));
  EXPECT_EQ(treeOps[0].files, (std::vector<String>{a, b}));
  EXPECT_TRUE(host::SameText(treeOps[0].destination, dir.Path() + "\\dst"));
  EXPECT_FALSE(dst->DropTarget());
  EXPECT_EQ(dd.DataObject(), nullptr);

  // The full offer with cmMove: the target is offered the move alone; a target that answers a
  // copy nobody allowed has done nothing to report.
  tree->SetCopyMode(cmMove);
  tree->log.calls.clear();
  tree->log.answer = {S_OK, DROPEFFECT_COPY};
  effect = kAll;
  ASSERT_EQ(dd.DragEnter(data.Get(), 0, At(dst), &effect), S_OK);
  effect = kAll;
  ASSERT_EQ(dd.Drop(data.Get(), 0, At(dst), &effect), S_OK);
  EXPECT_TRUE(tree->log.Has("drop 2"));
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_EQ(treeOps.size(), 1u);
  // A copy-only source and cmMove allow nothing together: the target is not asked to drop.
  tree->log.calls.clear();
  effect = DROPEFFECT_COPY;
  ASSERT_EQ(dd.DragEnter(data.Get(), 0, At(dst), &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(dd.Drop(data.Get(), 0, At(dst), &effect), E_UNEXPECTED);
  EXPECT_FALSE(tree->log.Dropped());
  EXPECT_EQ(tree->log.calls.back(), "leave");
  // CreateLinkOnDrop turns the next mode set into links.
  tree->SetCreateLinkOnDrop(true);
  tree->SetCopyMode(cmCopy);
  EXPECT_EQ(tree->CopyMode(), cmLink);
}

TEST_F(ShellDragDropTest, AVetoOrAFailingTargetDropsNothingAndReportsNothing) {
  dir.Folder("src");
  dir.File("src\\a.txt", "a");
  dir.Folder("dst");
  MakeTree();
  host::ComPtr<IDataObject> data = ShellDataObject(dir.Path() + "\\src", {"a.txt"});
  TKivShellDragDrop& dd = tree->DragDrop();
  TTreeNode* dst = Node("dst");
  host::TObject* askedAbout = nullptr;
  std::vector<String> askedFiles;
  tree->OnBeforeShellDrop = [&](host::TObject*, host::TObject* target, host::TStrings* files,
                                bool& execute) {
    askedAbout = target;
    for (int i = 0; i < files->Count(); ++i) askedFiles.push_back(files->Strings(i));
    execute = false;
  };
  DWORD effect = kAll;
  ASSERT_EQ(dd.DragEnter(data.Get(), 0, At(dst), &effect), S_OK);
  effect = kAll;
  EXPECT_EQ(dd.Drop(data.Get(), 0, At(dst), &effect), E_UNEXPECTED);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_EQ(askedAbout, dst);
  EXPECT_EQ(askedFiles, std::vector<String>{dir.Path() + "\\src\\a.txt"});
  EXPECT_FALSE(tree->log.Dropped());
  EXPECT_EQ(tree->log.calls.back(), "leave") << "the target that had DragEnter hears the end";
  EXPECT_TRUE(treeOps.empty());
  EXPECT_FALSE(dst->DropTarget());

  // The target fails: no effect, no report, its failure answered.
  tree->OnBeforeShellDrop = nullptr;
  tree->log.answer = {E_FAIL, DROPEFFECT_COPY};
  effect = kAll;
  ASSERT_EQ(dd.DragEnter(data.Get(), 0, At(dst), &effect), S_OK);
  effect = kAll;
  EXPECT_EQ(dd.Drop(data.Get(), 0, At(dst), &effect), E_FAIL);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_TRUE(treeOps.empty());

  // Read-only: nothing is taken.
  tree->log.answer.reset();
  tree->SetReadOnly(true);
  effect = kAll;
  ASSERT_EQ(dd.DragEnter(data.Get(), 0, At(dst), &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_EQ(dd.Drop(data.Get(), 0, At(dst), &effect), E_UNEXPECTED);
  EXPECT_TRUE(treeOps.empty());
}

TEST_F(ShellDragDropTest, TheDropNodeGoesWithItsFolderDuringTheDrag) {
  dir.Folder("src");
  dir.File("src\\a.txt", "a");
  const String gone = dir.Folder("gone");
  MakeTree();
  host::ComPtr<IDataObject> data = ShellDataObject(dir.Path() + "\\src", {"a.txt"});
  TKivShellDragDrop& dd = tree->DragDrop();
  TTreeNode* node = Node("gone");
  const POINTL at = At(node);
  DWORD effect = kAll;
  ASSERT_EQ(dd.DragEnter(data.Get(), 0, at, &effect), S_OK);
  ASSERT_EQ(dd.DropSpot(), node);
  ASSERT_TRUE(RemoveDirectoryW(host::ToWide(gone).c_str()));
  SHChangeNotify(SHCNE_RMDIR, SHCNF_PATHW | SHCNF_FLUSH, host::ToWide(gone).c_str(), nullptr);
  ASSERT_TRUE(PumpMessagesUntil([&] { return Node("gone") == nullptr; }, 5000));
  EXPECT_EQ(dd.DropSpot(), nullptr);
  EXPECT_EQ(tree->log.calls.back(), "leave");
  EXPECT_EQ(tree->DropTarget(), nullptr);
  effect = kAll;
  EXPECT_EQ(dd.Drop(data.Get(), 0, at, &effect), E_UNEXPECTED);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_TRUE(treeOps.empty());
}

TEST_F(ShellDragDropTest, ANodeOpensAfterTheHoverDelayAndTheEdgesScrollAtTheScrollDelay) {
  for (int i = 0; i < 40; ++i) {
    char name[16];
    snprintf(name, sizeof name, "f%02d\\inner", i);
    dir.Folder(name);
  }
  dir.Folder("src");
  dir.File("src\\a.txt", "a");
  MakeTree(200);
  host::ComPtr<IDataObject> data = ShellDataObject(dir.Path() + "\\src", {"a.txt"});
  TKivShellDragDrop& dd = tree->DragDrop();
  DWORD now = 10000;
  dd.SetClock([&now] { return now; });
  TTreeNode* f00 = Node("f00");
  TTreeNode* f01 = Node("f01");
  ASSERT_FALSE(f00->Expanded());
  DWORD effect = kAll;
  ASSERT_EQ(dd.DragEnter(data.Get(), 0, At(f00), &effect), S_OK);
  now += AUTOEXPAND_DELAY_MS;
  effect = kAll;
  dd.DragOver(0, At(f00), &effect);
  EXPECT_FALSE(f00->Expanded());
  now += 1;
  dd.DragOver(0, At(f00), &effect);
  EXPECT_TRUE(f00->Expanded());
  // Another node starts its own wait.
  f00->Collapse(false);
  dd.DragOver(0, At(f01), &effect);
  now += AUTOEXPAND_DELAY_MS;
  dd.DragOver(0, At(f01), &effect);
  EXPECT_FALSE(f01->Expanded());
  now += 1;
  dd.DragOver(0, At(f01), &effect);
  EXPECT_TRUE(f01->Expanded());
  f01->Collapse(false);

  // The bottom edge scrolls one line, at most once per AUTOSCROLL_DELAY_MS; the middle never.
  const HWND wnd = tree->Handle();
  RECT client;
  GetClientRect(wnd, &client);
  auto screen = [&](int x, int y) {
    const POINT p = tree->ClientToScreen(POINT{x, y});
    return POINTL{p.x, p.y};
  };
  const POINTL bottom = screen(60, client.bottom - AUTOSCROLL_THRESHOLD_Y / 2);
  const POINTL middle = screen(60, client.bottom / 2);
  ASSERT_EQ(GetScrollPos(wnd, SB_VERT), 0);
  now += AUTOSCROLL_DELAY_MS + 1;
  dd.DragOver(0, middle, &effect);
  EXPECT_EQ(GetScrollPos(wnd, SB_VERT), 0);
  now += AUTOSCROLL_DELAY_MS;
  dd.DragOver(0, bottom, &effect);
  EXPECT_EQ(GetScrollPos(wnd, SB_VERT), 0) << "not yet the delay";
  now += 1;
  dd.DragOver(0, bottom, &effect);
  EXPECT_EQ(GetScrollPos(wnd, SB_VERT), 1);
  now += AUTOSCROLL_DELAY_MS / 2;
  dd.DragOver(0, bottom, &effect);
  EXPECT_EQ(GetScrollPos(wnd, SB_VERT), 1);
  now += AUTOSCROLL_DELAY_MS;
  dd.DragOver(0, bottom, &effect);
  EXPECT_EQ(GetScrollPos(wnd, SB_VERT), 2);
  // The top edge scrolls back; the left edge does nothing where nothing scrolls sideways.
  now += AUTOSCROLL_DELAY_MS + 1;
  dd.DragOver(0, screen(AUTOSCROLL_THRESHOLD_X / 2, AUTOSCROLL_THRESHOLD_Y / 2), &effect);
  EXPECT_EQ(GetScrollPos(wnd, SB_VERT), 1);
  EXPECT_EQ(GetScrollPos(wnd, SB_HORZ), 0);
  dd.DragLeave();
}

// ---- The list as drop target

TEST_F(ShellDragDropTest, TheListDropsOnItsFolderOrOnAnItemAndKnowsItsParentsTarget) {
  dir.Folder("src");
  const String a = dir.File("src\\a.txt", "a");
  dir.Folder("dst\\inner");
  dir.File("dst\\note.txt", "n");
  MakeList(dir.Path() + "\\dst");
  host::ComPtr<IDataObject> data = ShellDataObject(dir.Path() + "\\src", {"a.txt"});
  TKivShellDragDrop& dd = list->DragDrop();
  std::vector<host::TObject*> asked;
  list->OnBeforeShellDrop = [&](host::TObject*, host::TObject* target, host::TStrings*, bool&) {
    asked.push_back(target);
  };
  // On the folder item: the item's target, its caption in the destination.
  TListItem* inner = ItemNamed(*list, "inner");
  DWORD effect = kAll;
  ASSERT_EQ(dd.DragEnter(data.Get(), 0, At(inner), &effect), S_OK);
  EXPECT_TRUE(inner->DropTarget());
  effect = DROPEFFECT_COPY;
  ASSERT_EQ(dd.Drop(data.Get(), 0, At(inner), &effect), S_OK);
  ASSERT_EQ(listOps.size(), 1u);
  EXPECT_EQ(listOps[0].operations, ShellOperations({sopCopy, sopDrop}));
  EXPECT_EQ(listOps[0].files, std::vector<String>{a});
  EXPECT_TRUE(host::SameText(listOps[0].destination, dir.Path() + "\\dst\\inner"));
  EXPECT_EQ(asked, std::vector<host::TObject*>{inner});
  EXPECT_FALSE(inner->DropTarget());

  // On the background: the folder's target, the list itself asked, the folder as destination.
  const POINT empty = list->ClientToScreen(POINT{200, 300});
  const POINTL background{empty.x, empty.y};
  effect = kAll;
  ASSERT_EQ(dd.DragEnter(data.Get(), 0, background, &effect), S_OK);
  EXPECT_NE(effect, DWORD(DROPEFFECT_NONE));
  effect = DROPEFFECT_COPY;
  ASSERT_EQ(dd.Drop(data.Get(), 0, background, &effect), S_OK);
  ASSERT_EQ(listOps.size(), 2u);
  EXPECT_TRUE(host::SameText(listOps[1].destination, dir.Path() + "\\dst"));
  EXPECT_EQ(asked.back(), list.get());

  // Data without file names, answered with no effect: nothing to read, nothing reported.
  EmptyData nothing;
  list->log.answer = {S_OK, DROPEFFECT_NONE};
  effect = kAll;
  ASSERT_EQ(dd.DragEnter(&nothing, 0, background, &effect), S_OK);
  effect = kAll;
  const HRESULT dropped = dd.Drop(&nothing, 0, background, &effect);
  EXPECT_TRUE(dropped == S_OK || dropped == E_UNEXPECTED);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_EQ(listOps.size(), 2u);

  // The parent-folder item drops into the folder above, also one level below the desktop (My
  // Computer's parent is the desktop: its directory takes the drop).
  list->SetShowParentFolder(true);
  TListItem* parent = ItemNamed(*list, "..");
  ASSERT_NE(parent, nullptr);
  EXPECT_TRUE(list->TKivShellList::GetDropTarget(parent));
  list->SetSpecialFolder(SF_DRIVES);
  parent = ItemNamed(*list, "..");
  ASSERT_NE(parent, nullptr);
  EXPECT_TRUE(list->TKivShellList::GetDropTarget(parent));
  list->SetSpecialFolder(SF_DESKTOP);
  EXPECT_TRUE(list->TKivShellList::GetDropTarget(nullptr)) << "the desktop directory's";
}

// ---- Registration and streaming

TEST_F(ShellDragDropTest, EachWindowIsRegisteredOnceAndAgainWhenItIsMadeAnew) {
  MakeList(dir.Path());
  MakeTree();
  for (host::TWinControl* view : {static_cast<host::TWinControl*>(list.get()),
                                  static_cast<host::TWinControl*>(tree.get())}) {
    TKivShellDragDrop& dd = view == list.get() ? list->DragDrop() : tree->DragDrop();
    EXPECT_TRUE(dd.Registered());
    EXPECT_EQ(RegisterDragDrop(view->Handle(), &dd), DRAGDROP_E_ALREADYREGISTERED);
    const HWND first = view->Handle();
    view->RecreateWnd();
    view->HandleNeeded();
    PumpFor(50);
    EXPECT_NE(view->Handle(), first);
    EXPECT_TRUE(dd.Registered());
    EXPECT_EQ(RegisterDragDrop(view->Handle(), &dd), DRAGDROP_E_ALREADYREGISTERED);
    // Off: revoked, and the window free for another target.
    dd.SetOleDragDrop(false);
    EXPECT_FALSE(dd.Registered());
    EXPECT_EQ(view->DragMode(), host::dmManual);
    ASSERT_EQ(RegisterDragDrop(view->Handle(), &dd), S_OK);
    EXPECT_EQ(RevokeDragDrop(view->Handle()), S_OK);
    dd.SetOleDragDrop(true);
    EXPECT_TRUE(dd.Registered());
    EXPECT_EQ(view->DragMode(), host::dmAutomatic);
  }

  // The settings are read from a form and written back.
  RegisterZelnorComponents();
  std::unique_ptr<host::TForm> loaded(host::TForm::CreateFromText(
      "object DragForm: TForm\n"
      "  object Folders: TKivShellTree\n"
      "    OleDragDrop = False\n"
      "    CopyMode = cmCopy\n"
      "  end\n"
      "  object Files: TKivShellList\n"
      "    OleDragDrop = False\n"
      "    CopyMode = cmLink\n"
      "    NoFillOnStartup = True\n"
      "  end\n"
      "end\n"));
  auto* folders = dynamic_cast<TKivShellTree*>(loaded->FindComponent("Folders"));
  auto* files = dynamic_cast<TKivShellList*>(loaded->FindComponent("Files"));
  ASSERT_TRUE(folders && files);
  folders->HandleNeeded();
  files->HandleNeeded();
  EXPECT_FALSE(folders->OleDragDrop());
  EXPECT_FALSE(folders->DragDrop().Registered());
  EXPECT_EQ(folders->CopyMode(), cmCopy);
  EXPECT_FALSE(files->DragDrop().Registered());
  EXPECT_EQ(files->CopyMode(), cmLink);
  const String written = host::WriteComponentText(loaded.get());
  EXPECT_NE(written.find("CopyMode = cmLink"), String::npos);
  EXPECT_NE(written.find("CopyMode = cmCopy"), String::npos);
  EXPECT_NE(written.find("OleDragDrop = False"), String::npos);
}

// ---- Drags out of the list with the mouse

namespace {

// Presses the left button at `from`, moves in steps to `to` and lets go there, from a thread
// timer (it runs inside the list view's own tracking loop and the platform's drag loop too);
// true when the drag loop has ended.
bool DragWithMouse(TKivShellDragDrop& source, POINTL from, POINTL to) {
  static POINTL start, end;
  static int step;
  constexpr int kSteps = 10;
  start = from;
  end = to;
  step = 0;
  auto mouse = [](DWORD flags, POINTL at) {
    SetCursorPos(at.x, at.y);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
  };
  static void (*move)(DWORD, POINTL) = nullptr;
  move = mouse;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    if (step > kSteps + 2) return;
    ++step;
    if (step <= kSteps)
      move(MOUSEEVENTF_MOVE, POINTL{start.x + (end.x - start.x) * step / kSteps,
                                    start.y + (end.y - start.y) * step / kSteps});
    else if (step == kSteps + 2)
      move(MOUSEEVENTF_LEFTUP, end);
  });
  mouse(MOUSEEVENTF_LEFTDOWN, from);
  const bool done = PumpMessagesUntil(
      [&] { return step > kSteps + 2 && source.DragButton() == 0; }, 8000);
  KillTimer(nullptr, timer);
  PumpFor(200);
  return done;
}

}  // namespace

TEST_F(ShellDragDropTest, ADragWithTheMouseFromTheListOntoATreeNodeIsReportedOnlyWhenItDropped) {
  dir.Folder("src");
  const String a = dir.File("src\\a.txt", "a");
  dir.Folder("dst");
  MakeList(dir.Path() + "\\src");
  MakeTree();
  TListItem* item = ItemNamed(*list, "a.txt");
  item->SetSelected(true);
  SetForegroundWindow(form->Handle());
  PumpFor(100);
  const POINTL from = At(item);
  ASSERT_TRUE(DragWithMouse(list->DragDrop(), from, At(Node("dst"))));
  // Wine's folder targets answer a move to any offer (so a copy-only tree would refuse them), its
  // drag loop drops with the source's whole offer, and the target leaves that as its answer: a
  // drop of no one effect.
  EXPECT_TRUE(tree->log.Has("drop 7"));
  ASSERT_EQ(treeOps.size(), 1u);
  EXPECT_EQ(treeOps[0].operations, DropOperations(kAll));
  EXPECT_EQ(treeOps[0].files, std::vector<String>{a});
  EXPECT_TRUE(host::SameText(treeOps[0].destination, dir.Path() + "\\dst"));
  ASSERT_EQ(listOps.size(), 1u);
  EXPECT_EQ(listOps[0].operations, DragOperations(kAll));
  EXPECT_EQ(listOps[0].files, std::vector<String>{a});
  EXPECT_EQ(listOps[0].destination, "");
  EXPECT_EQ(DropOperations(DROPEFFECT_MOVE), ShellOperations({sopMove, sopDrop}));
  EXPECT_EQ(DragOperations(DROPEFFECT_MOVE), ShellOperations({sopMove, sopDrag, sopRemove}));

  // Vetoed: the drop fails, and neither side reports.
  tree->OnBeforeShellDrop = [](host::TObject*, host::TObject*, host::TStrings*, bool& execute) {
    execute = false;
  };
  tree->log.calls.clear();
  ASSERT_TRUE(DragWithMouse(list->DragDrop(), from, At(Node("dst"))));
  EXPECT_FALSE(tree->log.calls.empty());
  EXPECT_FALSE(tree->log.Dropped());
  EXPECT_EQ(treeOps.size(), 1u);
  EXPECT_EQ(listOps.size(), 1u);
  // A move-only list over a copy-only tree: nothing is offered, moved or reported.
  tree->OnBeforeShellDrop = nullptr;
  tree->SetCopyMode(cmCopy);
  list->SetCopyMode(cmMove);
  tree->log.calls.clear();
  ASSERT_TRUE(DragWithMouse(list->DragDrop(), from, At(Node("dst"))));
  EXPECT_FALSE(tree->log.Dropped());
  EXPECT_EQ(treeOps.size(), 1u);
  EXPECT_EQ(listOps.size(), 1u);
  EXPECT_TRUE(host::FileExists(a));
  // The list's own objects are not dropped on its own background with the left button.
  list->SetCopyMode(cmDefault);
  list->log.calls.clear();
  const POINT empty = list->ClientToScreen(POINT{200, 300});
  ASSERT_TRUE(DragWithMouse(list->DragDrop(), from, POINTL{empty.x, empty.y}));
  EXPECT_FALSE(list->log.Dropped());
  EXPECT_EQ(listOps.size(), 1u);

  // The drag source's answers.
  IDropSource* source = list->OleDropSource();
  EXPECT_EQ(source->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL);
  EXPECT_EQ(source->QueryContinueDrag(FALSE, 0), DRAGDROP_S_DROP);
  EXPECT_EQ(source->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
}

// ---- The file list

namespace {

struct FileListDragDropTest : ShellDragDropTest {
  std::unique_ptr<TKivFileList> files;
  std::vector<Reported> fileOps;

  // The file list on the left half, with a row for each path.
  TKivFileList& MakeFileList(const std::vector<String>& paths) {
    files = std::make_unique<TKivFileList>();
    files->SetParent(form.get());
    files->SetBounds(0, 0, 370, 380);
    files->HandleNeeded();
    for (const String& path : paths) files->Add(path);
    RecordOperations(*files, fileOps);
    return *files;
  }
  void TearDown() override {
    files.reset();
    ShellDragDropTest::TearDown();
  }
  POINTL AtRow(const String& path) {
    const RECT r = files->ItemOfPath(path)->DisplayRect(host::drLabel);
    const POINT p = files->ClientToScreen(POINT{r.left + 8, (r.top + r.bottom) / 2});
    return POINTL{p.x, p.y};
  }
};

}  // namespace

TEST_F(FileListDragDropTest, FilesDroppedOnTheListAreOnlyListedAndTheSourceKeepsThem) {
  const String a = dir.File("a.txt", "a");
  const String b = dir.File("b.txt", "b");
  const String c = dir.File("c.txt", "c");
  MakeFileList({c});
  EXPECT_TRUE(files->OleDragDrop());
  EXPECT_TRUE(files->DragDrop().Registered());
  host::ComPtr<IDataObject> data = ShellDataObject(dir.Path(), {"a.txt", "b.txt"});
  ASSERT_TRUE(data);
  IDropTarget* target = files->OleDropTarget();
  const POINT empty = files->ClientToScreen(POINT{200, 300});
  const POINTL background{empty.x, empty.y};

  // Refused: nothing is listed; the handler heard the files and that no row was under the mouse.
  host::TObject* heardTarget = files.get();
  std::vector<String> heard;
  files->OnBeforeShellDrop = [&](host::TObject* sender, host::TObject* on, host::TStrings* dropped,
                                 bool& execute) {
    EXPECT_EQ(sender, files.get());
    heardTarget = on;
    for (int i = 0; i < dropped->Count(); ++i) heard.push_back(dropped->Strings(i));
    execute = false;
  };
  DWORD effect = kAll;
  EXPECT_EQ(target->DragEnter(data.Get(), MK_LBUTTON, background, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
  effect = kAll;
  EXPECT_EQ(target->Drop(data.Get(), 0, background, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_EQ(heardTarget, nullptr);
  EXPECT_EQ(heard, (std::vector<String>{a, b}));
  EXPECT_EQ(files->Items()->Count(), 1);

  // Allowed, dropped on row c: that row is highlighted while over it and named to the handler;
  // both files are listed, and both stay where they were.
  files->OnBeforeShellDrop = [&](host::TObject*, host::TObject* on, host::TStrings*, bool&) {
    heardTarget = on;
  };
  TListItem* row = files->ItemOfPath(c);
  effect = DROPEFFECT_MOVE;
  EXPECT_EQ(target->DragEnter(data.Get(), MK_LBUTTON, AtRow(c), &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_MOVE));
  EXPECT_TRUE(row->DropTarget());
  effect = DROPEFFECT_MOVE;
  EXPECT_EQ(target->Drop(data.Get(), 0, AtRow(c), &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_FALSE(row->DropTarget());
  EXPECT_EQ(heardTarget, row);
  EXPECT_TRUE(files->IsItemInList(a));
  EXPECT_TRUE(files->IsItemInList(b));
  EXPECT_EQ(files->Items()->Count(), 3);
  EXPECT_TRUE(host::FileExists(a) && host::FileExists(b));
  EXPECT_TRUE(fileOps.empty());

  // Leaving takes the highlight off; data without file names lists nothing, and the source still
  // hears an answer.
  effect = kAll;
  target->DragEnter(data.Get(), MK_LBUTTON, AtRow(c), &effect);
  EXPECT_TRUE(row->DropTarget());
  EXPECT_EQ(target->DragLeave(), S_OK);
  EXPECT_FALSE(row->DropTarget());
  EmptyData nothing;
  effect = kAll;
  target->DragEnter(&nothing, MK_LBUTTON, background, &effect);
  effect = kAll;
  EXPECT_EQ(target->Drop(&nothing, 0, background, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_EQ(files->Items()->Count(), 3);

  // Switched off, the window is no drop target.
  files->SetOleDragDrop(false);
  EXPECT_FALSE(files->DragDrop().Registered());
}

TEST_F(FileListDragDropTest, RowsOfTwoFoldersDragAsOneAndACopyModeOfCopyNeverOffersAMove) {
  dir.Folder("one");
  dir.Folder("two");
  const String a = dir.File("one\\a.txt", "a");
  const String b = dir.File("two\\b.txt", "b");
  MakeFileList({a, b});
  // The target on the right: it answers a move whenever the source offers one.
  auto* panel = new host::TPanel(form.get());
  panel->SetParent(form.get());
  panel->SetBounds(380, 0, 360, 380);
  TKivDropFiles target;
  target.SetControl(panel);
  target.SetEnabled(true);
  std::vector<String> dropped;
  auto move = [](host::TObject*, host::TShiftState, POINT, TKivDropEffect& effect) {
    effect = deMove;
  };
  target.OnDragEnter = target.OnDragOver = move;
  target.OnDrop = [&](host::TObject*, host::TShiftState, POINT, TKivDropEffect& effect) {
    for (int i = 0; i < target.DroppedFiles()->Count(); ++i)
      dropped.push_back(target.DroppedFiles()->Strings(i));
    effect = deMove;
  };
  files->SelectAll();
  SetForegroundWindow(form->Handle());
  PumpFor(100);
  const POINT over = panel->ClientToScreen(POINT{180, 190});

  // Each row's own folder allows a move: it is offered and reported; the rows stay.
  ASSERT_TRUE(DragWithMouse(files->DragDrop(), AtRow(a), POINTL{over.x, over.y}));
  EXPECT_EQ(dropped, (std::vector<String>{a, b}));
  ASSERT_EQ(fileOps.size(), 1u);
  EXPECT_EQ(fileOps[0].operations, DragOperations(DROPEFFECT_MOVE));
  EXPECT_EQ(fileOps[0].files, (std::vector<String>{a, b}));
  EXPECT_EQ(fileOps[0].destination, "");
  EXPECT_EQ(files->Items()->Count(), 2);

  // cmCopy: no move is offered, so the target has nothing it takes and nothing is reported.
  files->SetCopyMode(cmCopy);
  dropped.clear();
  ASSERT_TRUE(DragWithMouse(files->DragDrop(), AtRow(a), POINTL{over.x, over.y}));
  EXPECT_TRUE(dropped.empty());
  EXPECT_EQ(fileOps.size(), 1u);
  target.SetControl(nullptr);
  delete panel;
}

TEST(FileListPaste, APasteAfterACutIsAMoveAndAfterACopyACopy) {
  TempDir dir;
  host::TStringList clipboard;
  clipboard.Add(dir.File("cut.txt", "x"));
  EXPECT_EQ(PasteOperations(&clipboard), ShellOperations({sopPaste, sopAdd, sopCopy}));
  // The paste moved the clipboard's first file away: the cut is done.
  DeleteFileW(host::ToWide(clipboard.Strings(0)).c_str());
  EXPECT_EQ(PasteOperations(&clipboard), ShellOperations({sopPaste, sopAdd, sopMove}));
}
