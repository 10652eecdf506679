// TKivShellList: thumbnails (placeholders, requests, results), the background picture, the
// colouring of compressed and encrypted objects, info-tip hints, mouse enter and leave.
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

constexpr COLORREF kFrameColor = RGB(192, 192, 192);
constexpr COLORREF kCompressedColor = RGB(0, 0, 255);
constexpr COLORREF kEncryptedColor = RGB(0, 128, 0);

// A thumbnail picture being composed: a 32-bit DIB selected into a memory context.
class ThumbnailCanvas {
 public:
  ThumbnailCanvas(int width, int height, COLORREF background)
      : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
    bitmap_.reset(host::CreateDibSection32(width, height, reinterpret_cast<void**>(&bits_)));
    if (!bits_ || !dc_) return;
    selected_.emplace(dc_.get(), bitmap_.get());
    const RECT all{0, 0, width, height};
    host::UniqueGdiObject brush{CreateSolidBrush(background)};
    FillRect(dc_.get(), &all, HBRUSH(brush.get()));
  }

  HDC Dc() const { return dc_.get(); }
  bool Valid() const { return selected_.has_value(); }

  // Puts `picture` at the top left; what lies beyond the canvas is cut off. A 32-bit picture is
  // blended by its (premultiplied) alpha, others are copied.
  void DrawPicture(HBITMAP picture) {
    BITMAP info{};
    if (!GetObjectW(picture, sizeof info, &info)) return;
    host::UniqueDC source{CreateCompatibleDC(dc_.get())};
    host::SelectedObject selected(source.get(), picture);
    const int w = std::min<int>(info.bmWidth, width_), h = std::min<int>(info.bmHeight, height_);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (info.bmBitsPixel != 32 ||
        !GdiAlphaBlend(dc_.get(), 0, 0, w, h, source.get(), 0, 0, w, h, blend))
      BitBlt(dc_.get(), 0, 0, w, h, source.get(), 0, 0, SRCCOPY);
  }

  void DrawFrame() {
    const RECT all{0, 0, width_, height_};
    host::UniqueGdiObject brush{CreateSolidBrush(kFrameColor)};
    FrameRect(dc_.get(), &all, HBRUSH(brush.get()));
  }

  // GDI leaves alpha 0 in what it draws while a picture blended in leaves its own, and an image
  // list draws a picture with any alpha by its alpha, so the frame and padding would be holes.
  // Everything here is meant to be seen and the picture already lies on the window colour: with
  // no alpha left at all the list copies the picture instead of blending it, which also draws a
  // page of thumbnails in about half the time. The bitmap goes to the caller.
  [[nodiscard]] host::UniqueGdiObject Finish() {
    GdiFlush();
    for (size_t i = 0, n = size_t(width_) * size_t(height_); i < n; ++i) bits_[i] &= 0x00FFFFFFu;
    selected_.reset();
    return std::move(bitmap_);
  }

 private:
  int width_, height_;
  host::UniqueDC dc_;
  host::UniqueGdiObject bitmap_;
  uint32_t* bits_ = nullptr;
  std::optional<host::SelectedObject> selected_;  // last: deselects before the rest goes
};

}  // namespace

// ---- Thumbnails

void TKivShellList::SetThumbnails(bool value) {
  if (value == thumbnails_) return;
  if (value) {
    SetLargeImages(thumbnailImages_.get());
    // Still off while the view style changes, so the style's own switch-off does nothing.
    SetViewStyle(host::vsIcon);
  } else {
    SetLargeImages(largeImages_.get());
  }
  thumbnails_ = value;
  ++refreshStamp_;
  Refresh();
}

void TKivShellList::SetThumbnailWidth(int width) {
  if (width <= 0 || width == ThumbnailWidth()) return;
  thumbnailImages_->SetWidth(width);
  ++refreshStamp_;
  host::UpdateGuard update(*Items());
  for (int i = 0; i < Items()->Count(); ++i) Items()->Item(i)->SetImageIndex(-1);
}

void TKivShellList::SetThumbnailHeight(int height) {
  if (height <= 0 || height == ThumbnailHeight()) return;
  thumbnailImages_->SetHeight(height);
  ++refreshStamp_;
  host::UpdateGuard update(*Items());
  for (int i = 0; i < Items()->Count(); ++i) Items()->Item(i)->SetImageIndex(-1);
}

void TKivShellList::RequestThumbnail(TListItem* item) {
  TKivShellListItem* data = ItemData(item);
  const int width = ThumbnailWidth(), height = ThumbnailHeight();
  // The placeholder: the item's large icon centred in a silver frame. Items of one icon share
  // its drawing until the size or the filling changes.
  const int icon = data->parentFolder ? largeImages_->GetFolderIconNumber() : IconNumberOfCurrent();
  if (placeholdersStamp_ != refreshStamp_) {
    placeholders_.clear();
    placeholdersStamp_ = refreshStamp_;
  }
  auto cached = std::find_if(placeholders_.begin(), placeholders_.end(),
                             [icon](const auto& entry) { return entry.first == icon; });
  if (cached == placeholders_.end()) {
    HIMAGELIST large = largeImages_->Handle();
    int iconWidth = 0, iconHeight = 0;
    ImageList_GetIconSize(large, &iconWidth, &iconHeight);
    ThumbnailCanvas canvas(width, height, host::ColorToRGB(host::clWindow));
    if (!canvas.Valid()) return;
    canvas.DrawFrame();
    ImageList_Draw(large, icon, canvas.Dc(), (width - iconWidth) / 2, (height - iconHeight) / 2,
                   ILD_NORMAL);
    placeholders_.emplace_back(icon, canvas.Finish());
    cached = std::prev(placeholders_.end());
  }
  // Added to the handle the control already shows: telling the view of a changed list would
  // make it take the list anew for every item drawn.
  const int index =
      ImageList_Add(thumbnailImages_->Handle(), HBITMAP(cached->second.get()), nullptr);
  item->SetImageIndex(index);
  if (index < 0 || data->parentFolder) return;

  auto thread = std::make_unique<TKivThumbnailThread>(
      *Navigator(), width, height, [this](TKivThumbnailThread* done) { ThumbNailThreadDone(done); });
  thread->SetImageIndex(index);
  thread->SetStamp(refreshStamp_);
  lastThread_ = thread.get();
  if (Painting()) {
    paintRequests_.push_back(std::move(thread));
  } else {
    // The pool starts it; it frees itself when it ends.
    pool_->Add(thread.release());
  }
}

void TKivShellList::StartPaintRequests() {
  std::vector<std::unique_ptr<TKivThumbnailThread>> requests = std::move(paintRequests_);
  paintRequests_.clear();
  for (auto& thread : requests) pool_->Add(thread.release());
}

void TKivShellList::ThumbNailThreadDone(TKivThumbnailThread* thread) {
  if (thread == lastThread_) lastThread_ = nullptr;
  host::UniqueGdiObject picture{thread->TakeBitmap()};
  HIMAGELIST images = thumbnailImages_->Handle();
  const int index = thread->ImageIndex();
  // A request of an earlier filling or thumbnail size finds its slot gone or reused.
  if (!picture || thread->Stamp() != refreshStamp_ || index < 0 ||
      index >= ImageList_GetImageCount(images))
    return;
  ThumbnailCanvas canvas(ThumbnailWidth(), ThumbnailHeight(), host::ColorToRGB(host::clWindow));
  if (!canvas.Valid()) return;
  canvas.DrawPicture(HBITMAP(picture.get()));
  canvas.DrawFrame();
  const host::UniqueGdiObject framed = canvas.Finish();
  ImageList_Replace(images, index, HBITMAP(framed.get()), nullptr);
  // Only the item that shows the picture is drawn again: a whole page of thumbnails costs the
  // window tens of milliseconds, once for every picture that comes in.
  HWND wnd = HandleIfAllocated();
  if (!wnd) return;
  for (int i = 0, n = Items()->Count(); i < n; ++i) {
    if (Items()->Item(i)->ImageIndex() != index) continue;
    RECT bounds{};
    bounds.left = LVIR_ICON;
    if (SendMessageW(wnd, LVM_GETITEMRECT, WPARAM(i), LPARAM(&bounds)))
      InvalidateRect(wnd, &bounds, FALSE);
    return;
  }
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
  info->HintPos = POINT{corner.x + GetSystemMetrics(SM_CXCURSOR),
                        corner.y + GetSystemMetrics(SM_CYCURSOR)};
  info->HintMaxWidth = ClientWidth();
  message.Result = 0;
}

void TKivShellList::DoWakeMainThread(host::TObject*) {
  if (HWND wnd = HandleIfAllocated()) PostMessageW(wnd, WM_CL_SYNCHRONIZE, 0, 0);
}

}  // namespace zelnor
