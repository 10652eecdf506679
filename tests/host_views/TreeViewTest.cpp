// Tree view: lazy filling on expansion, change delay, lazy images, editing, sorting, hit tests.
#include "host/forms/Forms.h"
#include "host/views/TreeView.h"

#include "Pump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

using namespace host;

namespace {

// A tree that fills a node's children when it is first expanded and records what it is asked.
class TProbeTree : public TCustomTreeView {
 public:
  using TCustomTreeView::TCustomTreeView;
  int canExpand = 0, expanded = 0, changes = 0, edits = 0, drags = 0;
  bool refuseExpand = false, lastEditCancelled = false;
  TTreeNode* changed = nullptr;
  std::set<TTreeNode*> imageAsked;
  std::vector<TTreeNode*> textAsked;
  std::vector<String> deleted;

 protected:
  bool CanExpand(TTreeNode* node) override {
    ++canExpand;
    if (refuseExpand) return false;
    if (node->Count() == 0 && node->HasChildren())
      for (const char* name : {"c", "a", "b"}) Items()->AddChild(node, name);
    return TCustomTreeView::CanExpand(node);
  }
  void Expand(TTreeNode* node) override {
    ++expanded;
    TCustomTreeView::Expand(node);
  }
  void Change(TTreeNode* node) override {
    ++changes;
    changed = node;
    TCustomTreeView::Change(node);
  }
  void GetImageIndex(TTreeNode* node) override {
    imageAsked.insert(node);
    if (node->ImageIndex() < 0) node->SetImageIndex(0);
    TCustomTreeView::GetImageIndex(node);
  }
  void GetNodeText(TTreeNode* node) override {
    textAsked.push_back(node);
    node->SetText("name " + std::to_string(node->Index()));
    TCustomTreeView::GetNodeText(node);
  }
  void Edit(const TVITEMW& item) override {
    ++edits;
    lastEditCancelled = item.pszText == nullptr;
    TCustomTreeView::Edit(item);
  }
  void Delete(TTreeNode* node) override {
    deleted.push_back(node->Text());
    TCustomTreeView::Delete(node);
  }
  void BeginNodeDrag(TTreeNode*, TMouseButton) override { ++drags; }
};

struct TreeViewTest : ::testing::Test {
  // One form for the suite: a shown top-level window takes Wine seconds to destroy.
  static inline std::unique_ptr<TForm> form;
  TProbeTree* tree = nullptr;
  std::unique_ptr<TCustomImageList> images = std::make_unique<TCustomImageList>(16, 16);

  static void SetUpTestSuite() {
    form = std::make_unique<TForm>();
    form->SetBounds(60, 60, 360, 360);
    form->Show();
  }
  static void TearDownTestSuite() { form.reset(); }

  void SetUp() override {
    TBitmap bitmap(16, 16);
    images->Add(&bitmap, nullptr);
    images->Add(&bitmap, nullptr);
    tree = new TProbeTree(form.get());
    tree->SetParent(form.get());
    tree->SetBounds(0, 0, 340, 320);
    tree->SetImages(images.get());
    tree->HandleNeeded();
  }
  void TearDown() override { delete tree; }

  void Paint() {
    InvalidateRect(tree->Handle(), nullptr, TRUE);
    UpdateWindow(tree->Handle());
  }
  // The native children of `node` in the control's order.
  std::vector<TTreeNode*> NativeChildren(TTreeNode* node) {
    std::vector<TTreeNode*> result;
    HTREEITEM item = HTREEITEM(SendMessageW(tree->Handle(), TVM_GETNEXTITEM, TVGN_CHILD,
                                            LPARAM(node->ItemId())));
    while (item) {
      TVITEMW it{};
      it.mask = TVIF_HANDLE | TVIF_PARAM;
      it.hItem = item;
      SendMessageW(tree->Handle(), TVM_GETITEMW, 0, LPARAM(&it));
      result.push_back(reinterpret_cast<TTreeNode*>(it.lParam));
      item = HTREEITEM(SendMessageW(tree->Handle(), TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(item)));
    }
    return result;
  }
};

TEST_F(TreeViewTest, ExpandingNodeWithChildrenFlagAsksCanExpandAndExpandOnce) {
  TTreeNode* root = tree->Items()->Add(nullptr, "root");
  root->SetHasChildren(true);
  EXPECT_EQ(root->Count(), 0);

  // The user opens it from the keyboard.
  tree->SetSelected(root);
  SendMessageW(tree->Handle(), WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(tree->canExpand, 1);
  EXPECT_EQ(tree->expanded, 1);
  EXPECT_TRUE(root->Expanded());
  ASSERT_EQ(root->Count(), 3);
  EXPECT_EQ(NativeChildren(root).size(), 3u);

  // Closed and opened again by the program: asked once more, nothing added twice.
  root->Collapse(false);
  EXPECT_FALSE(root->Expanded());
  root->Expand(false);
  EXPECT_EQ(tree->canExpand, 2);
  EXPECT_EQ(tree->expanded, 2);
  EXPECT_EQ(root->Count(), 3);
  EXPECT_TRUE(root->Expanded());

  // A refusal keeps a fresh node closed and empty.
  TTreeNode* other = tree->Items()->Add(nullptr, "other");
  other->SetHasChildren(true);
  tree->refuseExpand = true;
  other->Expand(false);
  EXPECT_FALSE(other->Expanded());
  EXPECT_EQ(other->Count(), 0);
  EXPECT_EQ(tree->expanded, 2);
}

TEST_F(TreeViewTest, ChangeDelayZeroReportsAtOnceOtherwiseAfterTheDelay) {
  TTreeNode* a = tree->Items()->Add(nullptr, "a");
  TTreeNode* b = tree->Items()->Add(nullptr, "b");
  TTreeNode* c = tree->Items()->Add(nullptr, "c");
  tree->SetChangeDelay(0);
  tree->SetSelected(a);
  EXPECT_EQ(tree->changes, 1);
  EXPECT_EQ(tree->changed, a);

  tree->SetChangeDelay(100);
  tree->SetSelected(b);
  tree->SetSelected(c);
  EXPECT_EQ(tree->changes, 1);  // not yet
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return tree->changes > 1; }, 5000));
  EXPECT_EQ(tree->changed, c);
  // Two selections within the delay make one report, of the last.
  testing_support::PumpMessagesUntil([] { return false; }, 300);
  EXPECT_EQ(tree->changes, 2);
  EXPECT_EQ(tree->Selected(), c);
}

TEST_F(TreeViewTest, ImagesAreAskedOnlyForDrawnNodes) {
  tree->Items()->BeginUpdate();
  std::vector<TTreeNode*> roots;
  for (int i = 0; i < 300; ++i) roots.push_back(tree->Items()->Add(nullptr, "n" + std::to_string(i)));
  TTreeNode* hidden = tree->Items()->AddChild(roots[0], "hidden child");
  tree->Items()->EndUpdate();
  Paint();

  ASSERT_FALSE(tree->imageAsked.empty());
  EXPECT_EQ(tree->imageAsked.count(hidden), 0u);
  EXPECT_EQ(tree->imageAsked.count(roots[299]), 0u);
  EXPECT_LT(tree->imageAsked.size(), 40u);
  for (TTreeNode* node : tree->imageAsked) EXPECT_LT(node->Index(), 40);
  EXPECT_EQ(roots[0]->ImageIndex(), 0);
  EXPECT_EQ(roots[299]->ImageIndex(), -1);
}

TEST_F(TreeViewTest, PendingTextsAreAskedOnceWhenReadOrDrawnOnScreen) {
  TTreeNode* root = tree->Items()->Add(nullptr, "root");
  std::vector<TTreeNode*> children;
  {
    UpdateGuard<TTreeNodes> update(*tree->Items());
    for (int i = 0; i < 300; ++i) {
      TTreeNode* child = tree->Items()->AddChild(root, String());
      child->SetTextPending(true);
      children.push_back(child);
    }
  }
  EXPECT_TRUE(tree->textAsked.empty());
  // Opening measures every child; only those on screen are asked.
  root->Expand(false);
  Paint();
  ASSERT_FALSE(tree->textAsked.empty());
  EXPECT_LT(tree->textAsked.size(), 40u);
  for (TTreeNode* node : tree->textAsked) EXPECT_LT(node->Index(), 40);
  EXPECT_FALSE(children[0]->TextPending());
  EXPECT_TRUE(children[299]->TextPending());
  const RECT label = children[0]->DisplayRect(true);
  EXPECT_GT(label.right - label.left, 20) << "the drawn node is measured with its text";

  // The program reads a text: asked once, then kept.
  const size_t before = tree->textAsked.size();
  EXPECT_EQ(children[299]->Text(), "name 299");
  EXPECT_EQ(children[299]->Text(), "name 299");
  EXPECT_EQ(tree->textAsked.size(), before + 1);

  // Drawn after scrolling: its text comes from the node, and a text set later is drawn too.
  children[250]->SetText("set by the program");
  children[250]->MakeVisible();
  Paint();
  EXPECT_FALSE(children[250]->TextPending());
  EXPECT_EQ(children[250]->Text(), "set by the program");
  EXPECT_EQ(std::count(tree->textAsked.begin(), tree->textAsked.end(), children[250]), 0);
  const RECT set = children[250]->DisplayRect(true);
  EXPECT_GT(set.right - set.left, 60);

  // A pending text survives a new window.
  children[120]->SetTextPending(true);
  tree->RecreateWnd();
  tree->HandleNeeded();
  EXPECT_TRUE(children[120]->TextPending());
  EXPECT_EQ(children[120]->Text(), "name 120");
}

TEST_F(TreeViewTest, NodeIsVisibleOnlyWhereItHasAPlaceOnScreen) {
  TTreeNode* root = tree->Items()->Add(nullptr, "root");
  for (int i = 0; i < 100; ++i) tree->Items()->AddChild(root, "child " + std::to_string(i));
  EXPECT_TRUE(tree->IsNodeVisible(root));
  EXPECT_FALSE(tree->IsNodeVisible(root->Item(0))) << "below a collapsed parent";
  root->Expand(false);
  EXPECT_TRUE(tree->IsNodeVisible(root->Item(0)));
  EXPECT_TRUE(root->Item(99)->IsVisible());
  EXPECT_FALSE(tree->IsNodeVisible(root->Item(99))) << "below the bottom of the window";
  root->Item(99)->MakeVisible();
  EXPECT_TRUE(tree->IsNodeVisible(root->Item(99)));
  EXPECT_FALSE(tree->IsNodeVisible(root));
  EXPECT_FALSE(tree->IsNodeVisible(nullptr));
}

// Dark pixels of a node's label as the window shows it.
int LetterPixels(TCustomTreeView* tree, TTreeNode* node) {
  const RECT label = node->DisplayRect(true);
  HDC dc = GetDC(tree->Handle());
  int dark = 0;
  for (int y = label.top; y < label.bottom; ++y)
    for (int x = label.left; x < label.right; ++x) {
      const COLORREF c = GetPixel(dc, x, y);
      if (GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100) ++dark;
    }
  ReleaseDC(tree->Handle(), dc);
  return dark;
}

TEST_F(TreeViewTest, DoubleBufferedPaintingDrawsTheNodes) {
  EXPECT_FALSE(tree->DoubleBuffered());
  TTreeNode* node = tree->Items()->Add(nullptr, "buffered node text");
  tree->SetDoubleBuffered(true);
  EXPECT_TRUE(tree->DoubleBuffered());
  const bool native =
      (SendMessageW(tree->Handle(), TVM_GETEXTENDEDSTYLE, 0, 0) & TVS_EX_DOUBLEBUFFER) != 0;
  if (!native) {
    // Our own buffer: the background is filled with the picture, never erased alone.
    HDC dc = GetDC(tree->Handle());
    EXPECT_NE(SendMessageW(tree->Handle(), WM_ERASEBKGND, WPARAM(dc), 0), 0);
    ReleaseDC(tree->Handle(), dc);
  }
  Paint();
  EXPECT_GT(LetterPixels(tree, node), 10) << "the label's letters";
  HDC dc = GetDC(tree->Handle());
  const COLORREF outside = GetPixel(dc, 300, 300);
  ReleaseDC(tree->Handle(), dc);
  EXPECT_EQ(outside, ColorToRGB(tree->Color()));
  // The window comes back buffered.
  tree->RecreateWnd();
  tree->HandleNeeded();
  EXPECT_TRUE(tree->DoubleBuffered());
  tree->SetDoubleBuffered(false);
  Paint();
}

TEST_F(TreeViewTest, BufferedTreeRepaintsTwoRowsWithoutLosingTheOneBetween) {
  std::vector<TTreeNode*> nodes;
  for (int i = 0; i < 12; ++i)
    nodes.push_back(tree->Items()->Add(nullptr, "row text " + std::to_string(i)));
  tree->SetDoubleBuffered(true);
  Paint();
  ASSERT_GT(LetterPixels(tree, nodes[3]), 10);
  // Two rows with one between them: a band small enough to be painted in place.
  nodes[2]->SetText("changed row two");
  const RECT two = nodes[2]->DisplayRect(false);
  const RECT four = nodes[4]->DisplayRect(false);
  InvalidateRect(tree->Handle(), &two, TRUE);
  InvalidateRect(tree->Handle(), &four, TRUE);
  UpdateWindow(tree->Handle());
  EXPECT_GT(LetterPixels(tree, nodes[2]), 10);
  EXPECT_GT(LetterPixels(tree, nodes[3]), 10) << "the row between them was cleared, not drawn";
  EXPECT_GT(LetterPixels(tree, nodes[4]), 10);
  tree->SetDoubleBuffered(false);
}

TEST_F(TreeViewTest, CancelledEditIsSeenByEditAndKeepsText) {
  TTreeNode* node = tree->Items()->Add(nullptr, "old");
  String edited;
  tree->OnEdited = [&](TObject*, TTreeNode*, String& s) { edited = s; };

  ASSERT_TRUE(node->EditText());
  EXPECT_TRUE(tree->IsEditing());
  HWND edit = HWND(SendMessageW(tree->Handle(), TVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, L"new");
  SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
  testing_support::PumpMessagesUntil([&] { return tree->edits > 0; }, 3000);
  EXPECT_EQ(tree->edits, 1);
  EXPECT_TRUE(tree->lastEditCancelled);
  EXPECT_EQ(node->Text(), "old");
  EXPECT_TRUE(edited.empty());

  // Ended by the program: one report with the text, which becomes the node's.
  ASSERT_TRUE(node->EditText());
  edit = HWND(SendMessageW(tree->Handle(), TVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextW(edit, L"new");
  node->EndEdit(false);
  testing_support::PumpMessagesUntil([] { return false; }, 100);
  EXPECT_EQ(tree->edits, 2);
  EXPECT_FALSE(tree->lastEditCancelled);
  EXPECT_EQ(edited, "new");
  EXPECT_EQ(node->Text(), "new");
  EXPECT_FALSE(tree->IsEditing());
}

TEST_F(TreeViewTest, CustomSortWithDataOrdersModelAndControl) {
  TTreeNode* root = tree->Items()->Add(nullptr, "root");
  for (int i = 0; i < 5; ++i) {
    TTreeNode* child = tree->Items()->AddChild(root, "c" + std::to_string(i));
    child->SetData(reinterpret_cast<void*>(intptr_t((i * 3) % 5)));  // 0 3 1 4 2
  }
  const LPARAM wide = LPARAM(0x0FEDCBA987654321LL);
  LPARAM seen = 0;
  root->CustomSort(
      [&](TTreeNode* a, TTreeNode* b, LPARAM data) {
        seen = data;
        return int(reinterpret_cast<intptr_t>(a->Data()) - reinterpret_cast<intptr_t>(b->Data()));
      },
      wide);
  EXPECT_EQ(seen, wide);
  std::vector<String> order;
  for (int i = 0; i < root->Count(); ++i) order.push_back(root->Item(i)->Text());
  EXPECT_EQ(order, (std::vector<String>{"c0", "c2", "c4", "c1", "c3"}));
  const auto native = NativeChildren(root);
  ASSERT_EQ(native.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(native[size_t(i)], root->Item(i));
  EXPECT_EQ(root->Item(1)->Index(), 1);
  EXPECT_EQ(root->Item(1)->AbsoluteIndex(), 2);

  root->AlphaSort();
  EXPECT_EQ(root->getFirstChild()->Text(), "c0");
  EXPECT_EQ(root->GetLastChild()->Text(), "c4");
  EXPECT_EQ(NativeChildren(root).back(), root->GetLastChild());
}

TEST_F(TreeViewTest, HitTestsFindLabelButtonAndStateIcon) {
  auto states = std::make_unique<TCustomImageList>(16, 16);
  TBitmap bitmap(16, 16);
  for (int i = 0; i < 3; ++i) states->Add(&bitmap, nullptr);
  tree->SetStateImages(states.get());
  TTreeNode* root = tree->Items()->Add(nullptr, "root with a label");
  root->SetHasChildren(true);
  root->SetStateIndex(1);
  Paint();

  const RECT label = root->DisplayRect(true);
  const POINT p{(label.left + label.right) / 2, (label.top + label.bottom) / 2};
  EXPECT_EQ(tree->GetNodeAt(p.x, p.y), root);
  EXPECT_TRUE(tree->GetHitTestInfoAt(p.x, p.y) & HitBit(htOnLabel));

  // Left of the label: image, then state image (16 px each), then the button.
  EXPECT_TRUE(tree->GetHitTestInfoAt(label.left - 8, p.y) & HitBit(htOnIcon));
  EXPECT_TRUE(tree->GetHitTestInfoAt(label.left - 24, p.y) & HitBit(htOnStateIcon));
  EXPECT_EQ(tree->GetNodeAt(label.left - 24, p.y), root);
  EXPECT_TRUE(tree->GetHitTestInfoAt(label.left - 40, p.y) & HitBit(htOnButton));

  EXPECT_EQ(tree->GetNodeAt(p.x, label.bottom + 60), nullptr);
  EXPECT_TRUE(tree->GetHitTestInfoAt(p.x, label.bottom + 60) & HitBit(htNowhere));
}

TEST_F(TreeViewTest, DeletionTellsChildrenFirstAndClearsChildrenFlag) {
  TTreeNode* root = tree->Items()->Add(nullptr, "root");
  TTreeNode* mid = tree->Items()->AddChild(root, "mid");
  tree->Items()->AddChild(mid, "leaf");
  EXPECT_EQ(tree->Items()->Count(), 3);
  EXPECT_TRUE(root->HasChildren());
  EXPECT_EQ(tree->Items()->Item(2)->Level(), 2);

  mid->Delete();
  EXPECT_EQ(tree->deleted, (std::vector<String>{"leaf", "mid"}));
  EXPECT_EQ(tree->Items()->Count(), 1);
  EXPECT_EQ(root->Count(), 0);
  EXPECT_FALSE(root->HasChildren());
  EXPECT_EQ(SendMessageW(tree->Handle(), TVM_GETCOUNT, 0, 0), 1);

  tree->Items()->AddChild(root, "x");
  tree->Items()->AddChild(root, "y");
  root->DeleteChildren();
  EXPECT_EQ(root->Count(), 0);
  tree->Items()->Clear();
  EXPECT_EQ(tree->Items()->Count(), 0);
  EXPECT_EQ(tree->deleted.size(), 5u);
}

TEST_F(TreeViewTest, RecreatedWindowKeepsNodesExpansionAndSelection) {
  TTreeNode* root = tree->Items()->Add(nullptr, "root");
  root->SetHasChildren(true);
  root->Expand(false);
  TTreeNode* child = root->Item(1);
  tree->SetSelected(child);
  const int changes = tree->changes;
  HWND before = tree->Handle();
  tree->RecreateWnd();
  tree->HandleNeeded();
  EXPECT_NE(tree->Handle(), before);
  EXPECT_EQ(SendMessageW(tree->Handle(), TVM_GETCOUNT, 0, 0), 4);
  EXPECT_TRUE(root->Expanded());
  EXPECT_EQ(tree->Selected(), child);
  EXPECT_EQ(tree->changes, changes);  // putting things back is no user change
}

TEST_F(TreeViewTest, CustomDrawItemColourIsUsedForTheNode) {
  TTreeNode* node = tree->Items()->Add(nullptr, "coloured node text");
  tree->Items()->Add(nullptr, "plain");
  std::set<TTreeNode*> drawn;
  tree->OnCustomDrawItem = [&](TCustomTreeView* sender, TTreeNode* n, TCustomDrawState,
                               bool& defaultDraw) {
    drawn.insert(n);
    if (n == node) sender->Canvas()->Font()->SetColor(clBlue);
    defaultDraw = true;
  };
  Paint();
  EXPECT_EQ(drawn.size(), 2u);
  const RECT label = node->DisplayRect(true);
  HDC dc = GetDC(tree->Handle());
  bool blue = false;
  for (int y = label.top; y < label.bottom && !blue; ++y)
    for (int x = label.left; x < label.right && !blue; ++x) {
      const COLORREF c = GetPixel(dc, x, y);
      blue = GetBValue(c) > 150 && GetRValue(c) < 90 && GetGValue(c) < 90;
    }
  ReleaseDC(tree->Handle(), dc);
  EXPECT_TRUE(blue);
}

TEST_F(TreeViewTest, BeginDragReachesTheHook) {
  TTreeNode* node = tree->Items()->Add(nullptr, "drag me");
  NMTREEVIEWW nm{};
  nm.hdr.hwndFrom = tree->Handle();
  nm.hdr.idFrom = UINT_PTR(GetDlgCtrlID(tree->Handle()));
  nm.hdr.code = TVN_BEGINDRAGW;
  nm.itemNew.hItem = node->ItemId();
  nm.itemNew.lParam = LPARAM(node);
  SendMessageW(form->Handle(), WM_NOTIFY, nm.hdr.idFrom, LPARAM(&nm));
  EXPECT_EQ(tree->drags, 1);
}

}  // namespace

namespace {

TEST_F(TreeViewTest, ViewFollowsTheImageListsNewHandle) {
  auto shown = [&] { return HIMAGELIST(SendMessageW(tree->Handle(), TVM_GETIMAGELIST, TVSIL_NORMAL, 0)); };
  EXPECT_EQ(shown(), images->Handle());
  images->SetMasked(false);
  EXPECT_EQ(shown(), images->Handle());

  // A shared list is never resized: a new size lets go of it for a fresh own list.
  HIMAGELIST foreign = ImageList_Create(16, 16, ILC_COLOR32, 1, 1);
  images->SetShareImages(true);
  images->SetHandle(foreign);
  EXPECT_EQ(shown(), foreign);
  images->SetSize(24, 24);
  EXPECT_NE(images->Handle(), foreign);
  EXPECT_EQ(shown(), images->Handle());
  ImageList_Destroy(foreign);

  // A link registered elsewhere is moved, and unregisters itself when destroyed.
  TCustomImageList other(16, 16);
  int told = 0;
  {
    TChangeLink link;
    link.OnChange = [&](TCustomImageList*) { ++told; };
    images->RegisterChanges(&link);
    other.RegisterChanges(&link);
    EXPECT_EQ(link.Sender(), &other);
    images->SetMasked(true);
    EXPECT_EQ(told, 0);
    other.SetMasked(false);
    EXPECT_EQ(told, 1);
  }
  other.SetMasked(true);
  EXPECT_EQ(told, 1);
}

}  // namespace
