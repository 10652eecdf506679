// Thumbnails for the items of a list view.
//   TKivListThumbnails   the thumbnail image list, framed placeholders, the pool of decoding
//                        threads, requests put off while the window paints, and each picture
//                        framed into its item's slot as it comes in
//
// An item asked for shows at once a placeholder (its large icon in a frame; items of one icon
// share the drawing) and gets a request for its picture. Every request carries the generation it
// was made under: Clear, a new size and a switch of the view renew it, and a request of an older
// generation is dropped when it ends, so its slot, gone or reused, is never written.
#pragma once

#include <windows.h>

#include <memory>
#include <utility>
#include <vector>

#include "host/core/Raii.h"
#include "host/graphics/ImageList.h"

namespace host {
class TCustomListView;
class TListItem;
}  // namespace host

namespace zelnor {

class TKivThumbnailThread;
class TThreadPool;
class TZelnor;

class TKivListThumbnails {
 public:
  explicit TKivListThumbnails(host::TCustomListView& view);
  ~TKivListThumbnails();
  TKivListThumbnails(const TKivListThumbnails&) = delete;
  TKivListThumbnails& operator=(const TKivListThumbnails&) = delete;

  host::TCustomImageList* Images() const { return images_.get(); }
  // The size given (by the form or by code), in pixels at 96 DPI; the pictures are that size at
  // the view's DPI.
  int Width() const { return width_; }
  int Height() const { return height_; }
  // A new size drops every picture and resets every item's image, so that items ask again
  // when they are next drawn; false when the pictures' size is not new (or not positive).
  bool SetWidth(int width);
  bool SetHeight(int height);
  // The view went to `ppi`: the pictures are made again at the given size for it.
  bool SetPixelsPerInch(int ppi);
  // Drops every picture; the requests still running are dropped when they end.
  void Clear();
  // Requests running from here on are dropped when they end (the view changed).
  void Renew() { ++generation_; }
  unsigned Generation() const { return generation_; }

  // Gives `item` the placeholder of `icon` (an index in `largeIcons`) and, with a navigator
  // pointed at the item, a request for its picture.
  void Request(host::TListItem* item, HIMAGELIST largeIcons, int icon, TZelnor* navigator);
  // The outermost paint has ended: the requests it made start.
  void PaintEnded();
  // Stops every request; none reports back from here on.
  void Stop();

  // Runs the requests; at most its MaxRunningThreads at once.
  TThreadPool* Pool() const { return pool_.get(); }
  // The request started last while it runs, else nullptr.
  TKivThumbnailThread* LastThread() const { return lastThread_; }

 private:
  void Done(TKivThumbnailThread* thread);
  // The image list takes the given size at the DPI; false when that is its size already.
  bool Resize();

  host::TCustomListView& view_;
  std::unique_ptr<host::TCustomImageList> images_;
  int width_ = 100, height_ = 100;
  int ppi_ = 96;
  unsigned generation_ = 1;
  // Framed placeholders by large icon, drawn for the generation they were drawn under.
  std::vector<std::pair<int, host::UniqueGdiObject>> placeholders_;
  unsigned placeholdersGeneration_ = 0;
  TKivThumbnailThread* lastThread_ = nullptr;
  // Requests made while the window paints, handed to the pool when it is done.
  std::vector<std::unique_ptr<TKivThumbnailThread>> paintRequests_;
  // Last: it stops its requests before anything they report to goes.
  std::unique_ptr<TThreadPool> pool_;
};

}  // namespace zelnor
