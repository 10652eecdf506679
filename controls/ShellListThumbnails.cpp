// TKivShellList: the thumbnail view (over TKivListThumbnails), the background picture, the
// colouring of compressed and encrypted objects, info-tip hints, the main thread's wake-up.
#include "controls/ShellList.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>

#include "extras/ThumbnailThread.h"
#include "host/forms/Controls.h"
#include "shell/ShellRoutines.h"
#include "threads/ThreadPool.h"

namespace zelnor {

using host::TListItem;

namespace {

constexpr COLORREF kCompressedColor = RGB(0, 0, 255);
constexpr COLORREF kEncryptedColor = RGB(0, 128, 0);

}  // namespace

// ---- Thumbnails

void TKivShellList::SetThumbnails(bool value) {
  if (value == thumbnailsOn_) return;
  if (value) {
    SetLargeImages(thumbnails_.Images());
    // Still off while the view style changes, so the style's own switch-off does nothing.
    SetViewStyle(host::vsIcon);
  } else {
    SetLargeImages(largeImages_.get());
  }
  thumbnailsOn_ = value;
  thumbnails_.Renew();
  ++refreshStamp_;
  // The list is filled again for the other images: what was selected and focused stays so.
  std::vector<String> selected;
  String focused;
  const host::TItemStates selectedState = host::ItemStateBit(host::isSelected);
  for (TListItem* item = GetNextItem(nullptr, host::sdAll, selectedState); item;
       item = GetNextItem(item, host::sdAll, selectedState))
    if (TKivShellListItem* data = ItemData(item)) selected.push_back(data->parsingName);
  if (TKivShellListItem* data = ItemData(ItemFocused())) focused = data->parsingName;
  Refresh();
  if (fill_) {
    pendingSelection_ = focused.empty() && !selected.empty() ? selected.front() : focused;
    return;
  }
  for (const String& name : selected)
    if (TListItem* item = FindItemByParsingName(name, 1)) item->SetSelected(true);
  if (TListItem* item = focused.empty() ? nullptr : FindItemByParsingName(focused, 1)) {
    item->SetFocused(true);
    item->MakeVisible(false);
  }
}

void TKivShellList::SetThumbnailWidth(int width) {
  if (thumbnails_.SetWidth(width)) ++refreshStamp_;
}

void TKivShellList::SetThumbnailHeight(int height) {
  if (thumbnails_.SetHeight(height)) ++refreshStamp_;
}

// The placeholder is the item's large icon; the parent-folder item gets no picture.
void TKivShellList::RequestThumbnail(TListItem* item) {
  TKivShellListItem* data = ItemData(item);
  const int icon = data->parentFolder ? largeImages_->GetFolderIconNumber() : IconNumberOfCurrent();
  thumbnails_.Request(item, largeImages_->Handle(), icon,
                      data->parentFolder ? nullptr : Navigator());
}

// ---- Background picture

void TKivShellList::SetBackgroundImage(const host::TBitmap* bitmap) {
  if (bitmap) {
    backgroundImage_->Assign(bitmap);
  } else {
    backgroundImage_->SetHandle(nullptr);
  }
}

void TKivShellList::BackgroundImageChange(host::TObject*) {
  if (!HandleAllocated()) return;  // applied when the window is made
  host::WideString file;
  // The control has read the picture when the message returns; the file is not kept.
  auto removeFile = host::ScopeExit([&file] {
    if (!file.empty()) DeleteFileW(file.c_str());
  });
  LVBKIMAGEW image{};
  if (backgroundImage_->Width() > 0) {
    const String name = host::IncludeTrailingBackslash(KivGetTempPath()) +
                        "TKivShellListBackgroundImage_Temp" + std::to_string(GetTickCount()) +
                        ".bmp";
    file = host::ToWide(name);
    backgroundImage_->SaveToFile(name);
    image.ulFlags = LVBKIF_SOURCE_URL | LVBKIF_STYLE_TILE;
    image.pszImage = file.data();
  }
  SendMessageW(Handle(), LVM_SETTEXTBKCOLOR, 0, LPARAM(CLR_NONE));
  SendMessageW(Handle(), LVM_SETBKIMAGEW, 0, LPARAM(&image));
}

// ---- Drawing

bool TKivShellList::IsCustomDrawn(host::TCustomDrawTarget target, host::TCustomDrawStage stage) {
  if (target == host::dtItem && stage == host::cdPrePaint) return true;
  return host::TCustomListView::IsCustomDrawn(target, stage);
}

bool TKivShellList::CustomDrawItem(TListItem* item, host::TCustomDrawState state,
                                   host::TCustomDrawStage stage) {
  if (stage == host::cdPrePaint) {
    // Its flags are known once it is completed, which drawing would do a moment later, unless
    // the paint has spent its time and draws the row blank, to draw it on a later tick.
    if (ItemData(item) && item->ImageIndex() < 0 && !DrawnBlankInPaint(item))
      CompleteItemDetails(item);
    if (TKivShellListItem* data = ItemData(item)) {
      if (ShowOption(soColorCompressed) && data->compressed)
        Canvas()->Font()->SetColor(host::TColor(kCompressedColor));
      if (ShowOption(soColorEncrypted) && data->encrypted)
        Canvas()->Font()->SetColor(host::TColor(kEncryptedColor));
    }
  }
  return host::TCustomListView::CustomDrawItem(item, state, stage);
}

// ---- Hints, mouse, wake-up

void TKivShellList::CMHintShow(host::TMessage& message) {
  auto* info = reinterpret_cast<host::THintInfo*>(message.LParam);
  TListItem* item = info ? GetItemAt(info->CursorPos.x, info->CursorPos.y) : nullptr;
  TKivShellListItem* data = ItemData(item);
  if (!data || !ShowHint() || data->parentFolder) {
    host::TCustomListView::WndProc(message);
    return;
  }
  PointNavigatorAt(item);
  String tip = Navigator()->GetInfoTip();
  DoInfoTip(item, tip);
  // The hint stays while the mouse is over the item (client coordinates).
  const RECT bounds = item->DisplayRect(host::drBounds);
  const POINT corner = ClientToScreen(POINT{bounds.left, bounds.top});
  info->CursorRect = bounds;
  info->HintStr = tip;
  info->HintPos =
      POINT{corner.x + GetSystemMetrics(SM_CXCURSOR), corner.y + GetSystemMetrics(SM_CYCURSOR)};
  info->HintMaxWidth = ClientWidth();
  message.Result = 0;
}

void TKivShellList::DoWakeMainThread(host::TObject*) {
  if (HWND wnd = HandleIfAllocated()) PostMessageW(wnd, WM_CL_SYNCHRONIZE, 0, 0);
}

}  // namespace zelnor
