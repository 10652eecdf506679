// TKivListThumbnails: placeholders, requests and pictures of a list view's thumbnails.
#include "controls/ListThumbnails.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <optional>

#include "extras/ThumbnailThread.h"
#include "host/graphics/Graphics.h"
#include "host/views/ListView.h"
#include "threads/ThreadPool.h"

namespace zelnor {

using host::TListItem;

namespace {

constexpr COLORREF kFrameColor = RGB(192, 192, 192);

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

TKivListThumbnails::TKivListThumbnails(host::TCustomListView& view)
    : view_(view),
      images_(std::make_unique<host::TCustomImageList>(100, 100)),
      pool_(std::make_unique<TThreadPool>()) {
  images_->SetMasked(false);
  // Every growth of an image list copies all its pictures: thumbnails come by the screenful.
  images_->SetAllocBy(64);
  // Decoding pictures is processor work: many more decoders than processors only take the
  // processor from the window that shows them, since their lower priority is not honoured
  // everywhere (Wine ignores it). One more than the processors keeps these busy while a finished
  // decoder's end waits for the window's thread to report it.
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  pool_->SetMaxRunningThreads(std::clamp(int(system.dwNumberOfProcessors) + 1, 2,
                                         TThreadPool::DEFAULT_MAX_RUNNING_THREADS));
}

TKivListThumbnails::~TKivListThumbnails() { Stop(); }

void TKivListThumbnails::Stop() {
  // Those never handed to the pool never ran: they go as objects.
  paintRequests_.clear();
  pool_->TerminateThreads(true);
  lastThread_ = nullptr;
}

bool TKivListThumbnails::SetWidth(int width) {
  if (width <= 0) return false;
  width_ = width;
  return Resize();
}

bool TKivListThumbnails::SetHeight(int height) {
  if (height <= 0) return false;
  height_ = height;
  return Resize();
}

bool TKivListThumbnails::SetPixelsPerInch(int ppi) {
  if (ppi <= 0) return false;
  ppi_ = ppi;
  return Resize();
}

bool TKivListThumbnails::Resize() {
  const int width = MulDiv(width_, ppi_, 96), height = MulDiv(height_, ppi_, 96);
  if (width == images_->Width() && height == images_->Height()) return false;
  images_->SetWidth(width);
  images_->SetHeight(height);
  ++generation_;
  host::UpdateGuard update(*view_.Items());
  for (int i = 0; i < view_.Items()->Count(); ++i) view_.Items()->Item(i)->SetImageIndex(-1);
  return true;
}

void TKivListThumbnails::Clear() {
  images_->Clear();
  ++generation_;
}

void TKivListThumbnails::Request(TListItem* item, HIMAGELIST largeIcons, int icon,
                                 TZelnor* navigator) {
  const int width = images_->Width(), height = images_->Height();
  if (placeholdersGeneration_ != generation_) {
    placeholders_.clear();
    placeholdersGeneration_ = generation_;
  }
  auto cached = std::find_if(placeholders_.begin(), placeholders_.end(),
                             [icon](const auto& entry) { return entry.first == icon; });
  if (cached == placeholders_.end()) {
    int iconWidth = 0, iconHeight = 0;
    ImageList_GetIconSize(largeIcons, &iconWidth, &iconHeight);
    ThumbnailCanvas canvas(width, height, host::ColorToRGB(host::clWindow));
    if (!canvas.Valid()) return;
    canvas.DrawFrame();
    ImageList_Draw(largeIcons, icon, canvas.Dc(), (width - iconWidth) / 2,
                   (height - iconHeight) / 2, ILD_NORMAL);
    placeholders_.emplace_back(icon, canvas.Finish());
    cached = std::prev(placeholders_.end());
  }
  // Added to the handle the control already shows: telling the view of a changed list would
  // make it take the list anew for every item drawn.
  const int index = ImageList_Add(images_->Handle(), HBITMAP(cached->second.get()), nullptr);
  item->SetImageIndex(index);
  if (index < 0 || !navigator) return;

  auto thread = std::make_unique<TKivThumbnailThread>(
      *navigator, width, height, [this](TKivThumbnailThread* done) { Done(done); });
  thread->SetImageIndex(index);
  thread->SetStamp(generation_);
  lastThread_ = thread.get();
  if (view_.Painting()) {
    paintRequests_.push_back(std::move(thread));
  } else {
    // The pool starts it; it frees itself when it ends.
    pool_->Add(thread.release());
  }
}

void TKivListThumbnails::PaintEnded() {
  std::vector<std::unique_ptr<TKivThumbnailThread>> requests = std::move(paintRequests_);
  paintRequests_.clear();
  for (auto& thread : requests) pool_->Add(thread.release());
}

void TKivListThumbnails::Done(TKivThumbnailThread* thread) {
  if (thread == lastThread_) lastThread_ = nullptr;
  host::UniqueGdiObject picture{thread->TakeBitmap()};
  HIMAGELIST images = images_->Handle();
  const int index = thread->ImageIndex();
  // A request of an earlier generation finds its slot gone or reused.
  if (!picture || thread->Stamp() != generation_ || index < 0 ||
      index >= ImageList_GetImageCount(images))
    return;
  ThumbnailCanvas canvas(images_->Width(), images_->Height(), host::ColorToRGB(host::clWindow));
  if (!canvas.Valid()) return;
  canvas.DrawPicture(HBITMAP(picture.get()));
  canvas.DrawFrame();
  const host::UniqueGdiObject framed = canvas.Finish();
  ImageList_Replace(images, index, HBITMAP(framed.get()), nullptr);
  // Only the item that shows the picture is drawn again: a whole page of thumbnails costs the
  // window tens of milliseconds, once for every picture that comes in.
  HWND wnd = view_.HandleIfAllocated();
  if (!wnd) return;
  for (int i = 0, n = view_.Items()->Count(); i < n; ++i) {
    if (view_.Items()->Item(i)->ImageIndex() != index) continue;
    RECT bounds{};
    bounds.left = LVIR_ICON;
    if (SendMessageW(wnd, LVM_GETITEMRECT, WPARAM(i), LPARAM(&bounds)))
      InvalidateRect(wnd, &bounds, FALSE);
    return;
  }
}

}  // namespace zelnor
