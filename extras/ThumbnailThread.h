// The worker that extracts one shell item's thumbnail.
//   TKivThumbnailDoneEvent   the requester's handler of a finished request (main thread)
//   TKivThumbnailThread      thumbnail of one item on a worker thread, handed back on the main
//                            thread; a request cut off by Supersede is never delivered
#pragma once

#include "host/core/Raii.h"
#include "shell/Zelnor.h"
#include "threads/ThreadPool.h"

#include <functional>

namespace zelnor {

class TKivThumbnailThread;

using TKivThumbnailDoneEvent = std::function<void(TKivThumbnailThread* sender)>;

// Extracts the thumbnail of the navigator's current item into width x height. The thread is
// created suspended and frees itself when it ends: a pool that adds it starts it, or the creator
// calls Start. When Execute has returned, the done handler runs on the main thread, unless the
// thread was asked to terminate. The handler may take the bitmap over (TakeBitmap); a bitmap
// that nobody takes, the copied item list and the navigator are freed with the thread, whatever
// way it ends (never started, COM refused, terminated).
class TKivThumbnailThread : public TKivThread {
 public:
  TKivThumbnailThread(TZelnor& navigator, int width, int height, TKivThumbnailDoneEvent onDone);
  ~TKivThumbnailThread() override;

  host::String ClassName() const override { return "TKivThumbnailThread"; }

  // Set by the requester after creation and handed back untouched.
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index) { imageIndex_ = index; }
  unsigned Stamp() const { return stamp_; }
  void SetStamp(unsigned stamp) { stamp_ = stamp; }

  int Width() const { return width_; }
  int Height() const { return height_; }
  // The result, still owned by the thread; nullptr when no thumbnail was produced.
  HBITMAP Bitmap() const { return HBITMAP(bitmap_.get()); }
  // Hands the result to the caller, who frees it.
  [[nodiscard]] HBITMAP TakeBitmap() { return HBITMAP(bitmap_.release()); }

  // Cuts the request off: the thread is asked to stop and its result is dropped. Main thread.
  void Supersede();

 protected:
  void Execute() override;

 private:
  void ThreadDone(host::TObject* sender);

  UniquePidl idList_;  // the item's absolute list, owned until the thread goes
  int width_, height_;
  int imageIndex_ = -1;
  unsigned stamp_ = 0;
  host::UniqueGdiObject bitmap_;
  TKivThumbnailDoneEvent onDone_;
};

}  // namespace zelnor
