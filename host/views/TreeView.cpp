// The host tree view: the node model and its mirror in the native tree control.
#include "host/views/TreeView.h"

#include "host/core/Raii.h"

#include <algorithm>
#include <cstring>

namespace host {

namespace {

constexpr UINT_PTR kChangeTimer = 0x7C15;
constexpr UINT kNodeStates =
    TVIS_CUT | TVIS_DROPHILITED | TVIS_OVERLAYMASK | TVIS_STATEIMAGEMASK;

UINT StatesOf(const TTreeNode& node) {
  UINT state = 0;
  if (node.Cut()) state |= TVIS_CUT;
  if (node.DropTarget()) state |= TVIS_DROPHILITED;
  if (node.OverlayIndex() >= 0) state |= INDEXTOOVERLAYMASK(unsigned(node.OverlayIndex()) + 1);
  if (node.StateIndex() > 0) state |= INDEXTOSTATEIMAGEMASK(unsigned(node.StateIndex()));
  return state;
}

int CountWithChildren(const TTreeNode* node) {
  int n = 1;
  for (int i = 0; i < node->Count(); ++i) n += CountWithChildren(node->Item(i));
  return n;
}

void DestroyTree(TTreeNode* node) {
  for (int i = 0; i < node->Count(); ++i) DestroyTree(node->Item(i));
  delete node;
}

// Orders the native children as the model has them.
int CALLBACK ByModelIndex(LPARAM a, LPARAM b, LPARAM) {
  return reinterpret_cast<TTreeNode*>(a)->Index() - reinterpret_cast<TTreeNode*>(b)->Index();
}

}  // namespace

// ---- TTreeNode

TTreeNode::TTreeNode(TTreeNodes* owner) : owner_(owner) {}

TTreeNode::~TTreeNode() = default;

TCustomTreeView* TTreeNode::TreeView() const { return owner_ ? owner_->owner_ : nullptr; }

void TTreeNode::UpdateNative(UINT mask) {
  TCustomTreeView* view = TreeView();
  if (!handle_ || !view || !view->HandleAllocated()) return;
  TVITEMW it{};
  it.mask = mask | TVIF_HANDLE;
  it.hItem = handle_;
  WideString text;
  if (mask & TVIF_TEXT) {
    text = ToWide(text_);
    it.pszText = text.data();
  }
  if (mask & TVIF_CHILDREN) it.cChildren = hasChildren_ ? 1 : 0;
  if (mask & TVIF_STATE) {
    it.stateMask = kNodeStates;
    it.state = StatesOf(*this);
  }
  view->Send(TVM_SETITEMW, 0, LPARAM(&it));
}

namespace {

void InvalidateNode(const TTreeNode* node) {
  TCustomTreeView* view = node->TreeView();
  if (!view || !view->HandleAllocated() || !node->ItemId()) return;
  const RECT rect = node->DisplayRect(false);
  InvalidateRect(view->HandleIfAllocated(), &rect, TRUE);
}

}  // namespace

const String& TTreeNode::Text() const {
  if (textPending_) {
    if (TCustomTreeView* view = TreeView())
      view->FetchText(this);
    else
      textPending_ = false;
  }
  return text_;
}

void TTreeNode::SetText(const String& text) {
  textPending_ = false;
  if (text_ == text) return;
  text_ = text;
  // A native item that asks for its text measures it again when it is drawn.
  if (callbackText_)
    InvalidateNode(this);
  else
    UpdateNative(TVIF_TEXT);
}

void TTreeNode::SetTextPending(bool pending) {
  textPending_ = pending;
  TCustomTreeView* view = TreeView();
  if (!pending || callbackText_ || !handle_ || !view || !view->HandleAllocated()) return;
  TVITEMW it{};
  it.mask = TVIF_HANDLE | TVIF_TEXT;
  it.hItem = handle_;
  it.pszText = LPSTR_TEXTCALLBACKW;
  view->Send(TVM_SETITEMW, 0, LPARAM(&it));
  callbackText_ = true;
}

void TTreeNode::SetImageIndex(int index) {
  if (imageIndex_ == index) return;
  imageIndex_ = index;
  InvalidateNode(this);
}

void TTreeNode::SetSelectedIndex(int index) {
  if (selectedIndex_ == index) return;
  selectedIndex_ = index;
  InvalidateNode(this);
}

void TTreeNode::SetStateIndex(int index) {
  if (stateIndex_ == index) return;
  stateIndex_ = index;
  UpdateNative(TVIF_STATE);
}

void TTreeNode::SetOverlayIndex(int index) {
  if (overlayIndex_ == index) return;
  overlayIndex_ = index;
  UpdateNative(TVIF_STATE);
}

void TTreeNode::SetCut(bool cut) {
  if (cut_ == cut) return;
  cut_ = cut;
  UpdateNative(TVIF_STATE);
}

void TTreeNode::SetDropTarget(bool dropTarget) {
  if (dropTarget_ == dropTarget) return;
  dropTarget_ = dropTarget;
  UpdateNative(TVIF_STATE);
}

void TTreeNode::SetHasChildren(bool hasChildren) {
  if (hasChildren_ == hasChildren) return;
  hasChildren_ = hasChildren;
  UpdateNative(TVIF_CHILDREN);
}

bool TTreeNode::Expanded() const {
  TCustomTreeView* view = TreeView();
  if (handle_ && view && view->HandleAllocated())
    return (view->Send(TVM_GETITEMSTATE, WPARAM(handle_), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
  return expanded_;
}

void TTreeNode::Expand(bool recursive) {
  TCustomTreeView* view = TreeView();
  if (view && !Expanded() && (hasChildren_ || !children_.empty()) && view->CanExpand(this)) {
    bool opened = true;
    if (handle_ && view->HandleAllocated()) {
      TTreeNode* outer = view->programExpand_;
      view->programExpand_ = this;
      view->Send(TVM_EXPAND, TVE_EXPAND, LPARAM(handle_));
      view->programExpand_ = outer;
      opened = Expanded();
    }
    if (opened) {
      expanded_ = true;
      view->Expand(this);
    }
  }
  if (recursive)
    for (size_t i = 0; i < children_.size(); ++i) children_[i]->Expand(true);
}

void TTreeNode::Collapse(bool recursive) {
  TCustomTreeView* view = TreeView();
  if (recursive)
    for (size_t i = 0; i < children_.size(); ++i) children_[i]->Collapse(true);
  if (!view || !Expanded() || !view->CanCollapse(this)) return;
  if (handle_ && view->HandleAllocated()) {
    TTreeNode* outer = view->programExpand_;
    view->programExpand_ = this;
    view->Send(TVM_EXPAND, TVE_COLLAPSE, LPARAM(handle_));
    view->programExpand_ = outer;
  }
  expanded_ = false;
  view->Collapse(this);
}

bool TTreeNode::Selected() const {
  TCustomTreeView* view = TreeView();
  return view && view->Selected() == this;
}

void TTreeNode::SetSelected(bool selected) {
  TCustomTreeView* view = TreeView();
  if (!view) return;
  if (selected)
    view->SetSelected(this);
  else if (Selected())
    view->SetSelected(nullptr);
}

int TTreeNode::Level() const {
  int level = 0;
  for (const TTreeNode* p = parent_; p; p = p->parent_) ++level;
  return level;
}

int TTreeNode::AbsoluteIndex() const {
  int index = parent_ ? parent_->AbsoluteIndex() + 1 : 0;
  const auto& siblings = parent_ ? parent_->children_ : owner_->roots_;
  for (int i = 0; i < index_; ++i) index += CountWithChildren(siblings[size_t(i)]);
  return index;
}

TTreeNode* TTreeNode::getNextSibling() const {
  const auto& siblings = parent_ ? parent_->children_ : owner_->roots_;
  return size_t(index_ + 1) < siblings.size() ? siblings[size_t(index_ + 1)] : nullptr;
}

TTreeNode* TTreeNode::getPrevSibling() const {
  const auto& siblings = parent_ ? parent_->children_ : owner_->roots_;
  return index_ > 0 ? siblings[size_t(index_ - 1)] : nullptr;
}

TTreeNode* TTreeNode::GetNext() const {
  if (!children_.empty()) return children_.front();
  for (const TTreeNode* node = this; node; node = node->parent_)
    if (TTreeNode* next = node->getNextSibling()) return next;
  return nullptr;
}

bool TTreeNode::HasAsParent(const TTreeNode* node) const {
  for (const TTreeNode* p = parent_; p; p = p->parent_)
    if (p == node) return true;
  return false;
}

bool TTreeNode::IsVisible() const {
  TCustomTreeView* view = TreeView();
  if (handle_ && view && view->HandleAllocated()) {
    RECT rect{};
    std::memcpy(&rect, &handle_, sizeof handle_);  // the control reads the item from the rectangle
    return view->Send(TVM_GETITEMRECT, FALSE, LPARAM(&rect)) != 0;
  }
  for (const TTreeNode* p = parent_; p; p = p->parent_)
    if (!p->expanded_) return false;
  return true;
}

RECT TTreeNode::DisplayRect(bool textOnly) const {
  RECT rect{};
  TCustomTreeView* view = TreeView();
  if (!handle_ || !view || !view->HandleAllocated()) return rect;
  std::memcpy(&rect, &handle_, sizeof handle_);  // the control reads the item from the rectangle
  if (!view->Send(TVM_GETITEMRECT, textOnly ? TRUE : FALSE, LPARAM(&rect))) rect = RECT{};
  return rect;
}

void TTreeNode::MakeVisible() {
  TCustomTreeView* view = TreeView();
  if (handle_ && view) view->Send(TVM_ENSUREVISIBLE, 0, LPARAM(handle_));
}

bool TTreeNode::EditText() {
  TCustomTreeView* view = TreeView();
  if (!handle_ || !view || !view->HandleAllocated()) return false;
  ::SetFocus(view->Handle());
  return view->Send(TVM_EDITLABELW, 0, LPARAM(handle_)) != 0;
}

void TTreeNode::EndEdit(bool cancel) {
  if (TCustomTreeView* view = TreeView()) view->Send(TVM_ENDEDITLABELNOW, cancel ? TRUE : FALSE);
}

void TTreeNode::Delete() { owner_->Delete(this); }

void TTreeNode::DeleteChildren() {
  UpdateGuard<TTreeNodes> guard(*owner_);
  while (!children_.empty()) owner_->Delete(children_.back());
}

namespace {

// Sorts `siblings` with the caller's comparison, the tree's OnCompare or the texts.
void SortSiblings(std::vector<TTreeNode*>& siblings, TCustomTreeView* view,
                  const TTVCompare& compare, LPARAM data, const TTVCompareEvent& onCompare) {
  auto less = [&](TTreeNode* a, TTreeNode* b) {
    if (compare) return compare(a, b, data) < 0;
    int result = AnsiCompareText(a->Text(), b->Text());
    if (onCompare) onCompare(view, a, b, data, result);
    return result < 0;
  };
  // A merge sort: a comparison that is not a strict order gives some order, never a fault.
  std::stable_sort(siblings.begin(), siblings.end(), less);
}

}  // namespace

bool TTreeNode::CustomSort(const TTVCompare& compare, LPARAM data, bool recurse) {
  TCustomTreeView* view = TreeView();
  if (!view) return false;
  SortSiblings(children_, view, compare, data, view->OnCompare);
  TTreeNodes::Renumber(children_, 0);
  view->SortNative(this);
  if (recurse)
    for (TTreeNode* child : children_) child->CustomSort(compare, data, true);
  return true;
}

bool TTreeNode::AlphaSort(bool recurse) { return CustomSort(nullptr, 0, recurse); }

// ---- TTreeNodes

TTreeNodes::~TTreeNodes() {
  for (TTreeNode* root : roots_) DestroyTree(root);
}

TTreeNode* TTreeNodes::Item(int index) const {
  if (index < 0) return nullptr;
  TTreeNode* node = GetFirstNode();
  for (int i = 0; node && i < index; ++i) node = node->GetNext();
  return node;
}

void TTreeNodes::Renumber(std::vector<TTreeNode*>& siblings, size_t from) {
  for (size_t i = from; i < siblings.size(); ++i) siblings[i]->index_ = int(i);
}

TTreeNode* TTreeNodes::InsertAt(TTreeNode* parent, size_t position, const String& text,
                                void* data, bool textPending) {
  auto& siblings = SiblingsOf(parent);
  position = std::min(position, siblings.size());
  auto node = std::make_unique<TTreeNode>(this);
  node->parent_ = parent;
  node->text_ = text;
  node->data_ = data;
  node->textPending_ = textPending;
  siblings.insert(siblings.begin() + ptrdiff_t(position), node.get());
  TTreeNode* added = node.release();
  Renumber(siblings, position);
  ++count_;
  if (parent && !parent->hasChildren_) parent->SetHasChildren(true);
  if (owner_ && owner_->HandleAllocated() && (!parent || parent->handle_)) {
    HTREEITEM after = position == 0 ? TVI_FIRST : siblings[position - 1]->handle_;
    owner_->InsertNative(added, after);
  }
  return added;
}

TTreeNode* TTreeNodes::Add(TTreeNode* sibling, const String& text) {
  return AddObject(sibling, text, nullptr);
}

TTreeNode* TTreeNodes::AddObject(TTreeNode* sibling, const String& text, void* data) {
  TTreeNode* parent = sibling ? sibling->parent_ : nullptr;
  return InsertAt(parent, SiblingsOf(parent).size(), text, data);
}

TTreeNode* TTreeNodes::AddFirst(TTreeNode* sibling, const String& text) {
  return InsertAt(sibling ? sibling->parent_ : nullptr, 0, text, nullptr);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const String& text) {
  return AddChildObject(parent, text, nullptr);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* parent, const String& text, void* data) {
  return InsertAt(parent, SiblingsOf(parent).size(), text, data);
}

TTreeNode* TTreeNodes::AddChildObjectPending(TTreeNode* parent, void* data) {
  return InsertAt(parent, SiblingsOf(parent).size(), String(), data, true);
}

TTreeNode* TTreeNodes::AddChildFirst(TTreeNode* parent, const String& text) {
  return InsertAt(parent, 0, text, nullptr);
}

TTreeNode* TTreeNodes::Insert(TTreeNode* sibling, const String& text) {
  if (!sibling) return Add(nullptr, text);
  return InsertAt(sibling->parent_, size_t(sibling->index_), text, nullptr);
}

void TTreeNodes::Free(TTreeNode* node) {
  for (size_t i = 0; i < node->children_.size(); ++i) Free(node->children_[i]);
  if (owner_) {
    owner_->Delete(node);
    if (owner_->editing_ == node) owner_->editing_ = nullptr;
    if (owner_->savedSelection_ == node) owner_->savedSelection_ = nullptr;
    if (owner_->programExpand_ == node) owner_->programExpand_ = nullptr;
  }
}

void TTreeNodes::Delete(TTreeNode* node) {
  if (!node || node->owner_ != this) return;
  Free(node);
  if (node->handle_ && owner_ && owner_->HandleAllocated())
    owner_->Send(TVM_DELETEITEM, 0, LPARAM(node->handle_));
  // The handlers may have moved nodes; the node's place is looked up now.
  TTreeNode* parent = node->parent_;
  auto& siblings = SiblingsOf(parent);
  auto at = std::find(siblings.begin(), siblings.end(), node);
  if (at == siblings.end()) return;
  const size_t position = size_t(at - siblings.begin());
  siblings.erase(at);
  Renumber(siblings, position);
  count_ -= CountWithChildren(node);
  DestroyTree(node);
  if (parent && siblings.empty()) parent->SetHasChildren(false);
}

void TTreeNodes::Clear() {
  if (roots_.empty()) return;
  UpdateGuard<TTreeNodes> guard(*this);
  for (size_t i = 0; i < roots_.size(); ++i) Free(roots_[i]);
  if (owner_ && owner_->HandleAllocated()) {
    ++owner_->quiet_;
    owner_->Send(TVM_DELETEITEM, 0, LPARAM(TVI_ROOT));
    --owner_->quiet_;
  }
  std::vector<TTreeNode*> gone;
  gone.swap(roots_);
  count_ = 0;
  for (TTreeNode* root : gone) DestroyTree(root);
}

void TTreeNodes::BeginUpdate() {
  if (updateCount_++ == 0 && owner_ && owner_->HandleAllocated())
    owner_->Send(WM_SETREDRAW, FALSE);
}

void TTreeNodes::EndUpdate() {
  if (updateCount_ == 0 || --updateCount_ > 0 || !owner_ || !owner_->HandleAllocated()) return;
  owner_->Send(WM_SETREDRAW, TRUE);
  InvalidateRect(owner_->HandleIfAllocated(), nullptr, TRUE);
}

// ---- TCustomTreeView

HOST_PROPERTIES(TCustomTreeView) {
  p.Int("ChangeDelay", &TCustomTreeView::ChangeDelay, &TCustomTreeView::SetChangeDelay, 0);
  p.Bool("HideSelection", &TCustomTreeView::HideSelection, &TCustomTreeView::SetHideSelection,
         true);
  p.Bool("HotTrack", &TCustomTreeView::HotTrack, &TCustomTreeView::SetHotTrack, false);
  p.Bool("DoubleBuffered", &TCustomTreeView::DoubleBuffered, &TCustomTreeView::SetDoubleBuffered,
         false);
  p.Component("Images", &TCustomTreeView::Images, &TCustomTreeView::SetImages);
  p.Bool("ReadOnly", &TCustomTreeView::ReadOnly, &TCustomTreeView::SetReadOnly, false);
  p.Bool("RightClickSelect", &TCustomTreeView::RightClickSelect,
         &TCustomTreeView::SetRightClickSelect, false);
  p.Bool("RowSelect", &TCustomTreeView::RowSelect, &TCustomTreeView::SetRowSelect, false);
  p.Bool("ShowButtons", &TCustomTreeView::ShowButtons, &TCustomTreeView::SetShowButtons, true);
  p.Bool("ShowLines", &TCustomTreeView::ShowLines, &TCustomTreeView::SetShowLines, true);
  p.Bool("ShowRoot", &TCustomTreeView::ShowRoot, &TCustomTreeView::SetShowRoot, true);
  p.Component("StateImages", &TCustomTreeView::StateImages, &TCustomTreeView::SetStateImages);
}

TCustomTreeView::TCustomTreeView(TComponent* owner)
    : TCustomNativeView(owner, 121, 97), nodes_(std::make_unique<TTreeNodes>(this)) {
  AddImageSlot(images_);
  AddImageSlot(stateImages_);
}

TCustomTreeView::~TCustomTreeView() {
  Destroying();
  // The window goes while the nodes it asks about still exist; the nodes then go untold
  // (a descendant that frees node data in Delete clears the nodes in its own destructor).
  if (HandleAllocated()) DestroyHandle();
  nodes_->owner_ = nullptr;
  SetImages(nullptr);
  SetStateImages(nullptr);
}

DWORD TCustomTreeView::StyleBits() const {
  DWORD style = 0;
  if (showButtons_) style |= TVS_HASBUTTONS;
  if (showLines_) style |= TVS_HASLINES;
  if (showRoot_) style |= TVS_LINESATROOT;
  if (!hideSelection_) style |= TVS_SHOWSELALWAYS;
  if (!readOnly_) style |= TVS_EDITLABELS;
  if (hotTrack_) style |= TVS_TRACKSELECT;
  if (rowSelect_) style |= TVS_FULLROWSELECT;
  return style;
}

DWORD TCustomTreeView::ManagedStyles() const {
  return TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_EDITLABELS |
         TVS_TRACKSELECT | TVS_FULLROWSELECT;
}

void TCustomTreeView::CreateWnd() {
  TCustomNativeView::CreateWnd();
  ApplyDoubleBuffered();
  if (indent_ >= 0) Send(TVM_SETINDENT, WPARAM(indent_));
  ++quiet_;
  // Without redrawing the control does not lay itself out again after every node.
  Send(WM_SETREDRAW, FALSE);
  for (TTreeNode* root : nodes_->roots_) InsertNative(root, TVI_LAST);
  if (nodes_->updateCount_ == 0) Send(WM_SETREDRAW, TRUE);
  if (savedSelection_ && savedSelection_->handle_)
    Send(TVM_SELECTITEM, TVGN_CARET, LPARAM(savedSelection_->handle_));
  savedSelection_ = nullptr;
  --quiet_;
}

void TCustomTreeView::DestroyWnd() {
  // The nodes stay; the window's expansion and selection are kept for the next window.
  savedSelection_ = Selected();
  for (TTreeNode* node = nodes_->GetFirstNode(); node; node = node->GetNext())
    node->expanded_ = node->Expanded();
  KillTimer(HandleIfAllocated(), kChangeTimer);
  ++quiet_;
  TCustomNativeView::DestroyWnd();
  --quiet_;
  for (TTreeNode* root : nodes_->roots_) ForgetNative(root);
}

void TCustomTreeView::InsertNative(TTreeNode* node, HTREEITEM after) {
  const WideString text = ToWide(node->text_);
  node->callbackText_ = node->textPending_;
  TVINSERTSTRUCTW is{};
  is.hParent = node->parent_ ? node->parent_->handle_ : TVI_ROOT;
  is.hInsertAfter = after;
  TVITEMW& it = is.item;
  it.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN | TVIF_STATE;
  it.pszText = node->callbackText_ ? LPSTR_TEXTCALLBACKW : const_cast<wchar_t*>(text.c_str());
  it.iImage = I_IMAGECALLBACK;
  it.iSelectedImage = I_IMAGECALLBACK;
  it.lParam = LPARAM(node);
  it.cChildren = node->hasChildren_ || !node->children_.empty() ? 1 : 0;
  it.stateMask = kNodeStates | TVIS_EXPANDED;
  it.state = StatesOf(*node) | (node->expanded_ && it.cChildren ? TVIS_EXPANDED : 0);
  node->handle_ = HTREEITEM(Send(TVM_INSERTITEMW, 0, LPARAM(&is)));
  if (!node->handle_) return;
  for (TTreeNode* child : node->children_) InsertNative(child, TVI_LAST);
}

void TCustomTreeView::ForgetNative(TTreeNode* node) {
  node->handle_ = nullptr;
  for (TTreeNode* child : node->children_) ForgetNative(child);
}

TTreeNode* TCustomTreeView::NodeOf(HTREEITEM item) const {
  if (!item) return nullptr;
  TVITEMW it{};
  it.mask = TVIF_HANDLE | TVIF_PARAM;
  it.hItem = item;
  if (!Send(TVM_GETITEMW, 0, LPARAM(&it))) return nullptr;
  return reinterpret_cast<TTreeNode*>(it.lParam);
}

void TCustomTreeView::SortNative(TTreeNode* parent) {
  if (!HandleAllocated() || (parent && !parent->handle_)) return;
  TVSORTCB sort{};
  sort.hParent = parent ? parent->handle_ : TVI_ROOT;
  sort.lpfnCompare = ByModelIndex;
  Send(TVM_SORTCHILDRENCB, 0, LPARAM(&sort));
}

void TCustomTreeView::SetShowRoot(bool show) {
  showRoot_ = show;
  UpdateStyle();
}
void TCustomTreeView::SetShowLines(bool show) {
  showLines_ = show;
  UpdateStyle();
}
void TCustomTreeView::SetShowButtons(bool show) {
  showButtons_ = show;
  UpdateStyle();
}
void TCustomTreeView::SetHideSelection(bool hide) {
  hideSelection_ = hide;
  UpdateStyle();
}
void TCustomTreeView::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  UpdateStyle();
}
void TCustomTreeView::SetHotTrack(bool hotTrack) {
  hotTrack_ = hotTrack;
  UpdateStyle();
}
void TCustomTreeView::SetRowSelect(bool rowSelect) {
  rowSelect_ = rowSelect;
  UpdateStyle();
}

int TCustomTreeView::Indent() const {
  return HandleAllocated() ? int(Send(TVM_GETINDENT)) : std::max(indent_, 0);
}

void TCustomTreeView::ChangeScale(int m, int d) {
  TWinControl::ChangeScale(m, d);
  if (indent_ < 0) return;
  if (!givenIndentPpi_) {
    givenIndent_ = indent_;
    givenIndentPpi_ = d;
  }
  indent_ = ScaleBy(givenIndent_, m, givenIndentPpi_);
  Send(TVM_SETINDENT, WPARAM(indent_));
}

void TCustomTreeView::SetIndent(int indent) {
  givenIndentPpi_ = 0;
  indent_ = std::max(indent, 0);
  Send(TVM_SETINDENT, WPARAM(indent_));
}

void TCustomTreeView::SetImages(TCustomImageList* images) { images_.Set(images); }
void TCustomTreeView::SetStateImages(TCustomImageList* images) { stateImages_.Set(images); }

// ---- Queries

TTreeNode* TCustomTreeView::Selected() const {
  if (!HandleAllocated()) return savedSelection_;
  return NodeOf(HTREEITEM(Send(TVM_GETNEXTITEM, TVGN_CARET)));
}

void TCustomTreeView::SetSelected(TTreeNode* node) {
  if (node && node->TreeView() != this) return;
  if (!HandleAllocated()) {
    savedSelection_ = node;
    return;
  }
  Send(TVM_SELECTITEM, TVGN_CARET, node ? LPARAM(node->handle_) : 0);
}

TTreeNode* TCustomTreeView::TopItem() const {
  return NodeOf(HTREEITEM(Send(TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE)));
}

TTreeNode* TCustomTreeView::DropTarget() const {
  for (TTreeNode* node = nodes_->GetFirstNode(); node; node = node->GetNext())
    if (node->dropTarget_) return node;
  return nullptr;
}

TTreeNode* TCustomTreeView::GetNodeAt(int x, int y) const {
  TVHITTESTINFO info{};
  info.pt = POINT{x, y};
  HTREEITEM item = HTREEITEM(Send(TVM_HITTEST, 0, LPARAM(&info)));
  return item && (info.flags & TVHT_ONITEM) ? NodeOf(item) : nullptr;
}

bool TCustomTreeView::IsNodeVisible(const TTreeNode* node) const {
  HWND wnd = HandleIfAllocated();
  if (!wnd || !node || node->TreeView() != this || !node->handle_) return false;
  RECT rect{};
  std::memcpy(&rect, &node->handle_, sizeof node->handle_);  // the control reads the item here
  if (!Send(TVM_GETITEMRECT, FALSE, LPARAM(&rect))) return false;
  RECT client{};
  GetClientRect(wnd, &client);
  return rect.bottom > client.top && rect.top < client.bottom;
}

std::vector<TTreeNode*> TCustomTreeView::NodesOnScreen() const {
  std::vector<TTreeNode*> nodes;
  HWND wnd = HandleIfAllocated();
  if (!wnd) return nodes;
  RECT client{};
  GetClientRect(wnd, &client);
  for (HTREEITEM item = HTREEITEM(Send(TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE)); item;
       item = HTREEITEM(Send(TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, LPARAM(item)))) {
    RECT rect{};
    std::memcpy(&rect, &item, sizeof item);  // the control reads the item here
    if (!Send(TVM_GETITEMRECT, FALSE, LPARAM(&rect)) || rect.top >= client.bottom) break;
    if (TTreeNode* node = NodeOf(item)) nodes.push_back(node);
  }
  return nodes;
}

THitTests TCustomTreeView::GetHitTestInfoAt(int x, int y) const {
  TVHITTESTINFO info{};
  info.pt = POINT{x, y};
  Send(TVM_HITTEST, 0, LPARAM(&info));
  return HitTestsOf(info.flags, {{TVHT_ABOVE, htAbove},
                                 {TVHT_BELOW, htBelow},
                                 {TVHT_NOWHERE, htNowhere},
                                 {TVHT_ONITEMBUTTON, htOnButton},
                                 {TVHT_ONITEMICON, htOnIcon},
                                 {TVHT_ONITEMINDENT, htOnIndent},
                                 {TVHT_ONITEMLABEL, htOnLabel},
                                 {TVHT_ONITEMRIGHT, htOnRight},
                                 {TVHT_ONITEMSTATEICON, htOnStateIcon},
                                 {TVHT_ONITEM, htOnItem},
                                 {TVHT_TOLEFT, htToLeft},
                                 {TVHT_TORIGHT, htToRight}});
}

bool TCustomTreeView::IsEditing() const { return Send(TVM_GETEDITCONTROL) != 0; }

bool TCustomTreeView::CustomSort(const TTVCompare& compare, LPARAM data, bool recurse) {
  SortSiblings(nodes_->roots_, this, compare, data, OnCompare);
  TTreeNodes::Renumber(nodes_->roots_, 0);
  SortNative(nullptr);
  if (recurse)
    for (TTreeNode* root : nodes_->roots_) root->CustomSort(compare, data, true);
  return true;
}

bool TCustomTreeView::AlphaSort(bool recurse) { return CustomSort(nullptr, 0, recurse); }

void TCustomTreeView::FullExpand() {
  for (size_t i = 0; i < nodes_->roots_.size(); ++i) nodes_->roots_[i]->Expand(true);
}

void TCustomTreeView::FullCollapse() {
  for (size_t i = 0; i < nodes_->roots_.size(); ++i) nodes_->roots_[i]->Collapse(true);
}

// ---- Overridables

bool TCustomTreeView::CanExpand(TTreeNode* node) {
  bool allow = true;
  if (OnExpanding) OnExpanding(this, node, allow);
  return allow;
}

void TCustomTreeView::Expand(TTreeNode* node) {
  if (OnExpanded) OnExpanded(this, node);
}

bool TCustomTreeView::CanCollapse(TTreeNode* node) {
  bool allow = true;
  if (OnCollapsing) OnCollapsing(this, node, allow);
  return allow;
}

void TCustomTreeView::Collapse(TTreeNode* node) {
  if (OnCollapsed) OnCollapsed(this, node);
}

void TCustomTreeView::Delete(TTreeNode* node) {
  if (OnDeletion) OnDeletion(this, node);
}

void TCustomTreeView::GetImageIndex(TTreeNode* node) {
  if (OnGetImageIndex) OnGetImageIndex(this, node);
}

void TCustomTreeView::GetSelectedIndex(TTreeNode* node) {
  if (OnGetSelectedIndex) OnGetSelectedIndex(this, node);
}

void TCustomTreeView::GetNodeText(TTreeNode* node) {
  if (OnGetText) OnGetText(this, node);
}

void TCustomTreeView::FetchText(const TTreeNode* node) const {
  if (!node->textPending_) return;
  node->textPending_ = false;
  const_cast<TCustomTreeView*>(this)->GetNodeText(const_cast<TTreeNode*>(node));
}

bool TCustomTreeView::CanChange(TTreeNode* node) {
  bool allow = true;
  if (OnChanging) OnChanging(this, node, allow);
  return allow;
}

void TCustomTreeView::Change(TTreeNode* node) {
  if (OnChange) OnChange(this, node);
}

bool TCustomTreeView::CanEdit(TTreeNode* node) {
  bool allow = !readOnly_;
  if (OnEditing) OnEditing(this, node, allow);
  return allow;
}

void TCustomTreeView::Edit(const TVITEMW& item) {
  auto* node = reinterpret_cast<TTreeNode*>(item.lParam);
  if (!node || !item.pszText) return;
  String text = ToUtf8(item.pszText);
  if (OnEdited) OnEdited(this, node, text);
  node->SetText(text);
}

bool TCustomTreeView::IsCustomDrawn(TCustomDrawTarget target, TCustomDrawStage stage) {
  if (stage != cdPrePaint) return false;
  if (target == dtControl) return bool(OnCustomDraw);
  if (target == dtItem) return bool(OnCustomDrawItem);
  return false;
}

bool TCustomTreeView::CustomDraw(const RECT& rect, TCustomDrawStage stage) {
  bool defaultDraw = true;
  if (stage == cdPrePaint && OnCustomDraw) OnCustomDraw(this, rect, defaultDraw);
  return defaultDraw;
}

bool TCustomTreeView::CustomDrawItem(TTreeNode* node, TCustomDrawState state,
                                     TCustomDrawStage stage, bool&) {
  bool defaultDraw = true;
  if (stage == cdPrePaint && OnCustomDrawItem) OnCustomDrawItem(this, node, state, defaultDraw);
  return defaultDraw;
}

bool TCustomTreeView::CustomDrawItemOf(const NMCUSTOMDRAW& draw, TCustomDrawState state,
                                       TCustomDrawStage stage, bool& paintImages, bool& found) {
  auto* node = reinterpret_cast<TTreeNode*>(draw.lItemlParam);
  found = node != nullptr;
  return node ? CustomDrawItem(node, state, stage, paintImages) : true;
}

void TCustomTreeView::BeginNodeDrag(TTreeNode*, TMouseButton) {}

// ---- Messages and notifications

void TCustomTreeView::SetDoubleBuffered(bool value) {
  doubleBuffered_ = value;
  ApplyDoubleBuffered();
}

void TCustomTreeView::ApplyDoubleBuffered() {
  HWND wnd = HandleIfAllocated();
  if (!wnd) return;
  Send(TVM_SETEXTENDEDSTYLE, TVS_EX_DOUBLEBUFFER, doubleBuffered_ ? TVS_EX_DOUBLEBUFFER : 0);
  nativeBuffer_ = doubleBuffered_ && (Send(TVM_GETEXTENDEDSTYLE) & TVS_EX_DOUBLEBUFFER) != 0;
  InvalidateRect(wnd, nullptr, TRUE);
}

COLORREF TCustomTreeView::BufferBackground() const {
  const COLORREF back = COLORREF(Send(TVM_GETBKCOLOR));
  return back == CLR_NONE ? ColorToRGB(Color()) : back;
}

void TCustomTreeView::SetChangeTimerActive(bool active) {
  if (active == changePending_) return;
  if (active) {
    StartChangeTimer();
  } else {
    KillTimer(HandleIfAllocated(), kChangeTimer);
    changePending_ = false;
  }
}

void TCustomTreeView::StartChangeTimer() {
  HWND wnd = HandleIfAllocated();
  if (!wnd) return;
  changePending_ = true;
  SetTimer(wnd, kChangeTimer, changeDelay_, nullptr);  // re-arms a running timer
}

void TCustomTreeView::WndProc(TMessage& message) {
  const bool ownBuffer = doubleBuffered_ && !nativeBuffer_;
  switch (message.Msg) {
    case WM_ERASEBKGND:
      if (ownBuffer) {
        message.Result = 1;  // the painting fills the background in its bitmap
        return;
      }
      break;
    case WM_PAINT:
      if (ownBuffer && message.WParam == 0) {
        PaintBuffered(message);
        return;
      }
      break;
    case WM_TIMER:
      if (message.WParam == kChangeTimer) {
        KillTimer(HandleIfAllocated(), kChangeTimer);
        if (changePending_) {
          changePending_ = false;
          Change(Selected());
        }
        message.Result = 0;
        return;
      }
      break;
    default:
      break;
  }
  TCustomNativeView::WndProc(message);
}

void TCustomTreeView::CNNotify(TMessage& message) {
  auto* header = reinterpret_cast<NMHDR*>(message.LParam);
  message.Result = 0;
  switch (header->code) {
    case TVN_GETDISPINFOW:
    case TVN_GETDISPINFOA: {
      auto& info = *reinterpret_cast<NMTVDISPINFOW*>(header);
      // The text is answered in the wide form only: the control is told to use it.
      if (header->code == TVN_GETDISPINFOA) info.item.mask &= ~UINT(TVIF_TEXT);
      GetDispInfo(info);
      return;
    }
    case TVN_ITEMEXPANDINGW:
    case TVN_ITEMEXPANDINGA: {
      const auto& info = *reinterpret_cast<NMTREEVIEWW*>(header);
      auto* node = reinterpret_cast<TTreeNode*>(info.itemNew.lParam);
      if (!node || node == programExpand_ || quiet_ > 0) return;
      const bool collapse = (info.action & 0x0003) == TVE_COLLAPSE;
      const bool allow = collapse ? CanCollapse(node) : CanExpand(node);
      message.Result = allow ? FALSE : TRUE;
      return;
    }
    case TVN_ITEMEXPANDEDW:
    case TVN_ITEMEXPANDEDA: {
      const auto& info = *reinterpret_cast<NMTREEVIEWW*>(header);
      auto* node = reinterpret_cast<TTreeNode*>(info.itemNew.lParam);
      if (!node || node == programExpand_ || quiet_ > 0) return;
      const bool collapse = (info.action & 0x0003) == TVE_COLLAPSE;
      node->expanded_ = !collapse;
      collapse ? Collapse(node) : Expand(node);
      return;
    }
    case TVN_SELCHANGINGW:
    case TVN_SELCHANGINGA: {
      if (quiet_ > 0) return;
      auto* node = reinterpret_cast<TTreeNode*>(reinterpret_cast<NMTREEVIEWW*>(header)->itemNew.lParam);
      message.Result = node && !CanChange(node) ? TRUE : FALSE;
      return;
    }
    case TVN_SELCHANGEDW:
    case TVN_SELCHANGEDA: {
      if (quiet_ > 0) return;
      auto* node = reinterpret_cast<TTreeNode*>(reinterpret_cast<NMTREEVIEWW*>(header)->itemNew.lParam);
      if (changeDelay_ == 0) {
        KillTimer(HandleIfAllocated(), kChangeTimer);
        changePending_ = false;
        Change(node);
      } else {
        StartChangeTimer();
      }
      return;
    }
    case TVN_BEGINLABELEDITW: {
      auto* node = reinterpret_cast<TTreeNode*>(reinterpret_cast<NMTVDISPINFOW*>(header)->item.lParam);
      const bool allow = node && CanEdit(node);
      editing_ = allow ? node : nullptr;
      message.Result = allow ? FALSE : TRUE;
      return;
    }
    case TVN_ENDLABELEDITW: {
      // The control may report the end twice; only the first counts.
      if (!editing_) return;
      TVITEMW item = reinterpret_cast<NMTVDISPINFOW*>(header)->item;
      item.lParam = LPARAM(editing_);
      editing_ = nullptr;
      Edit(item);
      message.Result = FALSE;  // the text is ours, set in Edit
      return;
    }
    case TVN_BEGINDRAGW:
    case TVN_BEGINDRAGA:
    case TVN_BEGINRDRAGW:
    case TVN_BEGINRDRAGA: {
      auto* node = reinterpret_cast<TTreeNode*>(reinterpret_cast<NMTREEVIEWW*>(header)->itemNew.lParam);
      const bool left = header->code == TVN_BEGINDRAGW || header->code == TVN_BEGINDRAGA;
      if (node) BeginNodeDrag(node, left ? mbLeft : mbRight);
      return;
    }
    case TVN_DELETEITEMW:
    case TVN_DELETEITEMA:
      return;  // the model tells Delete itself
    case NM_RCLICK:
      if (rightClickSelect_) {
        const DWORD pos = GetMessagePos();
        POINT pt{short(LOWORD(pos)), short(HIWORD(pos))};
        ::ScreenToClient(HandleIfAllocated(), &pt);
        if (TTreeNode* node = GetNodeAt(pt.x, pt.y)) SetSelected(node);
      }
      return;
    default:
      TCustomNativeView::CNNotify(message);
  }
}

// The image fields are shared by the two forms of the record.
void TCustomTreeView::GetDispInfo(NMTVDISPINFOW& info) {
  TVITEMW& it = info.item;
  auto* node = reinterpret_cast<TTreeNode*>(it.lParam);
  if (!node) return;
  if ((it.mask & TVIF_TEXT) && it.pszText && it.cchTextMax > 0) {
    // A node the control only measures keeps its pending text for when it is drawn.
    const String& text =
        node->textPending_ && !IsNodeVisible(node) ? node->text_ : node->Text();
    const WideString wide = ToWide(text);
    lstrcpynW(it.pszText, wide.c_str(), it.cchTextMax);
  }
  if (it.mask & TVIF_IMAGE) {
    GetImageIndex(node);
    it.iImage = node->imageIndex_;
  }
  if (it.mask & TVIF_SELECTEDIMAGE) {
    GetSelectedIndex(node);
    it.iSelectedImage = node->selectedIndex_;
  }
}

}  // namespace host
