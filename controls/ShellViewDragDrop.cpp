// TKivShellDragDrop: the views' drop target and drag source, the auto-scroll step and the
// effects and reports of copy modes.
#include "controls/ShellViewDragDrop.h"

#include "host/core/HResult.h"
#include "host/graphics/Dpi.h"
#include "host/forms/Application.h"
#include "shell/ItemsDataObject.h"
#include "shell/ShellGlobals.h"
#include "shell/ShellRoutines.h"

namespace zelnor {

namespace {

constexpr DWORD kMouseButtons = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON;

// The shell's SFGAO_CANCOPY, CANMOVE and CANLINK are the drop effects' own bits.
static_assert(SFGAO_CANCOPY == DROPEFFECT_COPY && SFGAO_CANMOVE == DROPEFFECT_MOVE &&
              SFGAO_CANLINK == DROPEFFECT_LINK);

DWORD ButtonKey(host::TMouseButton button) {
  switch (button) {
    case host::mbRight: return MK_RBUTTON;
    case host::mbMiddle: return MK_MBUTTON;
    default: return MK_LBUTTON;
  }
}

// The one effect a view that takes drops itself answers: a copy when offered, else a link, else
// a move (which the source never carries out: the drop answers none).
DWORD OneEffectOf(DWORD offered) {
  for (DWORD effect : {DWORD(DROPEFFECT_COPY), DWORD(DROPEFFECT_LINK), DWORD(DROPEFFECT_MOVE)})
    if (offered & effect) return effect;
  return DROPEFFECT_NONE;
}

bool FileExists(const String& path) {
  return GetFileAttributesW(host::ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

// ---- Auto-scroll, effects and reports

SIZE AutoScrollThreshold(HWND window) {
  // The constants are pixels at 96 DPI: the zones keep their width on the screen at any DPI.
  const UINT dpi = window ? host::WindowDpi(window) : host::DefaultDpi;
  return SIZE{host::ScaleByDpi(AUTOSCROLL_THRESHOLD_X, dpi), host::ScaleByDpi(AUTOSCROLL_THRESHOLD_Y, dpi)};
}

bool AutoScrollStep(HWND window, POINT client) {
  if (!window) return false;
  RECT rect{};
  GetClientRect(window, &rect);
  const SIZE edge = AutoScrollThreshold(window);
  // One line towards the edge zone the coordinate lies in, on an axis that can scroll.
  auto step = [window](int bar, UINT message, LONG at, LONG extent, LONG zone, int towardsStart,
                       int towardsEnd) {
    SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS};
    if (!GetScrollInfo(window, bar, &info) || info.nMax - info.nMin - int(info.nPage) <= 0)
      return false;
    if (at >= zone && at <= extent - zone) return false;
    SendMessageW(window, message, WPARAM(at < zone ? towardsStart : towardsEnd), 0);
    return true;
  };
  const bool horizontal = step(SB_HORZ, WM_HSCROLL, client.x, rect.right, edge.cx, SB_LINELEFT,
                               SB_LINERIGHT);
  const bool vertical =
      step(SB_VERT, WM_VSCROLL, client.y, rect.bottom, edge.cy, SB_LINEUP, SB_LINEDOWN);
  return horizontal || vertical;
}

DWORD CopyModeEffects(TKivCopyMode mode) {
  const size_t index = size_t(mode);
  return index < KivCopyMode2dwEffect.size() ? KivCopyMode2dwEffect[index] : DROPEFFECT_NONE;
}

TKivShellOperations DragOperations(DWORD effect) {
  if (effect == DROPEFFECT_COPY) return ShellOperations({sopCopy, sopDrag});
  if (effect == DROPEFFECT_MOVE) return ShellOperations({sopMove, sopDrag, sopRemove});
  return effect ? ShellOperations({sopDrag}) : 0;
}

TKivShellOperations DropOperations(DWORD effect) {
  if (effect == DROPEFFECT_COPY) return ShellOperations({sopCopy, sopDrop});
  if (effect == DROPEFFECT_MOVE) return ShellOperations({sopMove, sopDrop});
  return effect ? ShellOperations({sopDrop}) : 0;
}

host::ComPtr<IDropTarget> ShellDropTarget(HWND owner, IShellFolder* folder, PCItemIDList child) {
  host::ComPtr<IDropTarget> target;
  if (!folder || !child) return target;
  PCUITEMID_CHILD children[] = {reinterpret_cast<PCUITEMID_CHILD>(child)};
  if (!host::HrOk(folder->GetUIObjectOf(owner, 1, children, IID_IDropTarget, nullptr,
                                        reinterpret_cast<void**>(target.GetAddressOf())),
                  "GetUIObjectOf(IDropTarget)"))
    target.Reset();
  return target;
}

host::ComPtr<IDropTarget> ShellDropTargetOf(HWND owner, PCItemIDList absolute) {
  if (!absolute) return nullptr;
  const int depth = GetItemIdListDepth(absolute);
  if (depth == 0) {
    // The desktop takes what is dropped on it into its directory.
    UniquePidl directory = GetIdListFromSpecialFolder(SF_DESKTOPDIRECTORY);
    if (!directory || GetItemIdListDepth(directory.get()) == 0) return nullptr;
    return ShellDropTargetOf(owner, directory.get());
  }
  const UniquePidl parent = GetItemIdListStart(absolute, depth - 1);
  const UniquePidl child = GetItemIdListPart(absolute, depth - 1);
  host::ComPtr<IShellFolder> folder;
  if (FAILED(BindFolderIdList(parent.get(), folder)) || !folder) return nullptr;
  return ShellDropTarget(owner, folder.Get(), child.get());
}

// ---- Construction and settings

TKivShellDragDrop::TKivShellDragDrop(host::TWinControl& view)
    : view_(view), registration_(this), clock_([] { return GetTickCount(); }) {
  registration_.OnFailed = [this](HRESULT) {
    oleDragDrop_ = false;
    view_.SetDragMode(host::dmManual);
  };
  registration_.SetControl(&view_);
}

TKivShellDragDrop::~TKivShellDragDrop() {
  // The window lets go of the target before the target goes.
  registration_.SetControl(nullptr);
  spotTarget_.Reset();
  background_.Reset();
  dataObject_.Reset();
}

void TKivShellDragDrop::SetOleDragDrop(bool value) {
  if (value == oleDragDrop_) return;
  oleDragDrop_ = value;
  if (!Loading()) UpdateRegistration();
  view_.SetDragMode(oleDragDrop_ ? host::dmAutomatic : host::dmManual);
}

void TKivShellDragDrop::UpdateRegistration() {
  const bool wanted = oleDragDrop_ && !Designing();
  // Drop targets need the thread in OLE, which the shell's start-up joins.
  if (wanted) InitializeShell();
  registration_.SetActive(wanted);
}

void TKivShellDragDrop::SetCopyMode(TKivCopyMode mode) {
  copyMode_ = createLinkOnDrop_ ? cmLink : mode;
}

// ---- IUnknown

HRESULT TKivShellDragDrop::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDropTarget) {
    *object = static_cast<IDropTarget*>(this);
  } else if (iid == IID_IDropSource) {
    *object = static_cast<IDropSource*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG TKivShellDragDrop::AddRef() { return ULONG(InterlockedIncrement(&references_)); }

ULONG TKivShellDragDrop::Release() { return ULONG(InterlockedDecrement(&references_)); }

// ---- The view as drop target

IDropTarget* TKivShellDragDrop::CurrentTarget() const {
  if (spotTarget_) return spotTarget_.Get();
  // The view's own objects are not dropped into their own folder but with the right button.
  if (background_ && (dragButton_ == 0 || (keys_ & MK_RBUTTON))) return background_.Get();
  return nullptr;
}

void TKivShellDragDrop::LeaveSpot() {
  if (spot_ && highlighted_) Highlight(spot_, false);
  highlighted_ = false;
  if (host::ComPtr<IDropTarget> target = std::move(spotTarget_)) target->DragLeave();
  spot_ = nullptr;
}

void TKivShellDragDrop::LeaveAll() {
  LeaveSpot();
  if (host::ComPtr<IDropTarget> target = std::move(background_)) target->DragLeave();
  dataObject_.Reset();
  keys_ = 0;
}

void TKivShellDragDrop::Forget(TSpot spot) {
  if (!spot || spot != spot_) return;
  // The node or item is being deleted: no highlight to take off.
  highlighted_ = false;
  LeaveSpot();
}

void TKivShellDragDrop::MoveTo(TSpot spot, DWORD keyState, POINTL point, DWORD allowed) {
  LeaveSpot();
  spot_ = spot;
  hoverStart_ = Now();
  hoverElapsed_ = false;
  if (!spot) return;
  bool accepted = TakesDrops();
  if (host::ComPtr<IDropTarget> target = accepted ? nullptr : SpotTarget(spot)) {
    DWORD effect = allowed;
    if (target->DragEnter(dataObject_.Get(), keyState, point, &effect) == S_OK) {
      spotTarget_ = std::move(target);
      accepted = true;
    }
  }
  if (accepted || HighlightsRefusedSpot()) {
    Highlight(spot, true);
    highlighted_ = true;
  }
}

DWORD TKivShellDragDrop::Track(DWORD keyState, POINTL point, DWORD allowed) {
  if (ReadOnly()) return DROPEFFECT_NONE;
  keys_ = keyState & kMouseButtons;
  POINT client{point.x, point.y};
  const HWND window = view_.HandleIfAllocated();
  if (window) ScreenToClient(window, &client);
  const TSpot spot = window ? SpotAt(client) : nullptr;
  if (spot != spot_) MoveTo(spot, keyState, point, allowed);
  const DWORD now = Now();
  if (now - lastScroll_ > DWORD(AUTOSCROLL_DELAY_MS)) {
    AutoScrollStep(window, client);
    lastScroll_ = now;
  }
  if (spot_ && !hoverElapsed_ && now - hoverStart_ > DWORD(AUTOEXPAND_DELAY_MS)) {
    hoverElapsed_ = true;
    HoverElapsed(spot_);
  }
  if (TakesDrops()) return OneEffectOf(allowed);
  IDropTarget* target = CurrentTarget();
  if (!target) return DROPEFFECT_NONE;
  DWORD effect = allowed;
  if (FAILED(target->DragOver(keyState, point, &effect))) return DROPEFFECT_NONE;
  return effect & allowed;
}

HRESULT TKivShellDragDrop::DragEnter(IDataObject* dataObject, DWORD keyState, POINTL point,
                                     DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  return host::AtOleInterface(&view_, effect, [&] {
    const DWORD allowed = *effect & CopyModeEffects(copyMode_);
    *effect = DROPEFFECT_NONE;
    LeaveAll();
    dataObject_ = dataObject;
    lastEffect_ = DROPEFFECT_NONE;
    lastScroll_ = hoverStart_ = Now();
    if (!ReadOnly()) {
      if (host::ComPtr<IDropTarget> target = BackgroundTarget()) {
        DWORD backgroundEffect = allowed;
        if (target->DragEnter(dataObject, keyState, point, &backgroundEffect) == S_OK)
          background_ = std::move(target);
      }
    }
    *effect = lastEffect_ = Track(keyState, point, allowed);
    return S_OK;
  });
}

HRESULT TKivShellDragDrop::DragOver(DWORD keyState, POINTL point, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  return host::AtOleInterface(&view_, effect, [&] {
    const DWORD allowed = *effect & CopyModeEffects(copyMode_);
    *effect = DROPEFFECT_NONE;
    *effect = lastEffect_ = Track(keyState, point, allowed);
    return S_OK;
  });
}

HRESULT TKivShellDragDrop::DragLeave() {
  return host::AtOleInterface(&view_, nullptr, [&] {
    LeaveAll();
    return S_OK;
  });
}

HRESULT TKivShellDragDrop::Drop(IDataObject* dataObject, DWORD keyState, POINTL point,
                                DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  // The drag is over however the drop ends: the targets that had DragEnter and did not take the
  // drop hear DragLeave, the highlight goes.
  auto end = host::ScopeExit([this] { LeaveAll(); });
  const HRESULT result =
      host::AtOleInterface(&view_, effect, [&] { return DoDrop(dataObject, keyState, point, effect); });
  // A drop that did not happen moved and copied nothing, whatever the target answered.
  if (FAILED(result)) *effect = DROPEFFECT_NONE;
  return result;
}

HRESULT TKivShellDragDrop::DoDrop(IDataObject* dataObject, DWORD keyState, POINTL point,
                                  DWORD* effect) {
  if (!dataObject) dataObject = dataObject_.Get();
  if (TakesDrops()) return TakeOwnDrop(dataObject, effect);
  const DWORD allowed = *effect & CopyModeEffects(copyMode_);
  *effect = DROPEFFECT_NONE;
  host::ComPtr<IDropTarget> target = CurrentTarget();
  // Nothing both sides allow, or nothing to take the drop: nothing is dropped.
  if (ReadOnly() || !target || !dataObject || allowed == DROPEFFECT_NONE) return E_UNEXPECTED;
  const TSpot spot = spotTarget_ ? spot_ : nullptr;
  std::unique_ptr<host::TStringList> files = GetFilenamesFromDataObject(dataObject);
  if (!files) files = std::make_unique<host::TStringList>();
  bool execute = true;
  BeforeDrop(spot ? spot : static_cast<host::TObject*>(&view_), files.get(), execute);
  if (!execute) return E_UNEXPECTED;
  // The spot may go while the drop's messages are handled: its path is taken now.
  const String destination = Destination(spot);
  DWORD done = allowed;
  const HRESULT result = target->Drop(dataObject, keyState, point, &done);
  // The target that took the drop has ended its drag: no DragLeave follows.
  if (target == spotTarget_) spotTarget_.Reset();
  if (target == background_) background_.Reset();
  host::Application().ProcessMessages();
  if (FAILED(result)) return result;
  done &= allowed;
  if (done != DROPEFFECT_NONE) {
    Report(DropOperations(done), GetFilenamesFromDataObject(dataObject), destination);
  } else if (IsNT() && files->Count() > 0 && !FileExists(files->Strings(0))) {
    // The target moved the files itself and says none.
    done = DROPEFFECT_MOVE;
    Report(DropOperations(done), std::move(files), destination);
  }
  *effect = done;
  Dropped(spot && spot == spot_ ? spot : nullptr);
  return result;
}

HRESULT TKivShellDragDrop::TakeOwnDrop(IDataObject* dataObject, DWORD* effect) {
  // The source keeps its files however the drop ends.
  *effect = DROPEFFECT_NONE;
  if (ReadOnly() || !dataObject) return S_OK;
  std::unique_ptr<host::TStringList> files = GetFilenamesFromDataObject(dataObject);
  // Data without file names adds nothing; the source still hears the answer.
  if (!files || files->Count() == 0) return S_OK;
  bool execute = true;
  BeforeDrop(spot_, files.get(), execute);
  if (execute) TakeDrop(*files);
  return S_OK;
}

// ---- The view as drag source

SFGAOF TKivShellDragDrop::DragAttributes(const TDragItems& items) {
  SFGAOF attributes = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
  if (!items.absolute) {
    std::vector<PCUITEMID_CHILD> children;
    children.reserve(items.lists.size());
    for (const UniquePidl& list : items.lists)
      children.push_back(reinterpret_cast<PCUITEMID_CHILD>(list.get()));
    if (!host::HrOk(items.folder->GetAttributesOf(UINT(children.size()), children.data(),
                                                  &attributes),
                    "GetAttributesOf"))
      return 0;
    return attributes;
  }
  // Items of many folders: each is asked of its own folder, and all must allow an effect.
  for (const UniquePidl& list : items.lists) {
    host::ComPtr<IShellFolder> parent;
    PCUITEMID_CHILD child = nullptr;
    SFGAOF own = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
    if (!host::HrOk(SHBindToParent(reinterpret_cast<PCIDLIST_ABSOLUTE>(list.get()), IID_IShellFolder,
                                   reinterpret_cast<void**>(parent.GetAddressOf()), &child),
                    "SHBindToParent") ||
        !parent || !host::HrOk(parent->GetAttributesOf(1, &child, &own), "GetAttributesOf"))
      return 0;
    attributes &= own;
  }
  return attributes;
}

void TKivShellDragDrop::BeginOleDrag(host::TMouseButton button) {
  TDragItems items;
  if (!DragItems(items) || items.lists.empty() || (!items.absolute && !items.folder)) return;
  const DWORD allowed = CopyModeEffects(copyMode_) & DWORD(DragAttributes(items));
  host::ComPtr<IDataObject> data;
  const HWND owner = view_.HandleIfAllocated();
  if (items.absolute) {
    data = ItemsDataObject(owner, items.lists);
  } else {
    std::vector<PCUITEMID_CHILD> children;
    children.reserve(items.lists.size());
    for (const UniquePidl& list : items.lists)
      children.push_back(reinterpret_cast<PCUITEMID_CHILD>(list.get()));
    if (!host::HrOk(items.folder->GetUIObjectOf(owner, UINT(children.size()), children.data(),
                                                IID_IDataObject, nullptr,
                                                reinterpret_cast<void**>(data.GetAddressOf())),
                    "GetUIObjectOf(IDataObject)"))
      data.Reset();
  }
  if (!data) return;
  items.lists.clear();
  dragButton_ = ButtonKey(button);
  DWORD effect = DROPEFFECT_NONE;
  HRESULT result = E_FAIL;
  {
    auto reset = host::ScopeExit([this] { dragButton_ = 0; });
    result = DoDragDrop(data.Get(), this, allowed, &effect);
  }
  host::Application().ProcessMessages();
  DragEnded();
  // Only a drop that happened moved or copied anything.
  effect &= allowed;
  if (result == DRAGDROP_S_DROP && effect != DROPEFFECT_NONE)
    Report(DragOperations(effect), GetFilenamesFromDataObject(data.Get()), String{});
}

HRESULT TKivShellDragDrop::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
  const DWORD others = keyState & kMouseButtons & ~dragButton_;
  if (escapePressed || others) return DRAGDROP_S_CANCEL;
  if (dragButton_ && (keyState & dragButton_)) return S_OK;
  return DRAGDROP_S_DROP;
}

HRESULT TKivShellDragDrop::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

}  // namespace zelnor
