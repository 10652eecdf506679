// TKivThumbnailThread: construction, the work on the worker thread, the hand-back.
#include "extras/ThumbnailThread.h"

namespace zelnor {

TKivThumbnailThread::TKivThumbnailThread(TZelnor& navigator, int width, int height,
                                         TKivThumbnailDoneEvent onDone)
    : width_(width), height_(height), onDone_(std::move(onDone)) {
  // The requester's navigator is read here, on the requester's thread, and never again.
  if (PCItemIDList item = navigator.GetAbsoluteItemIdList()) idList_ = CopyItemIdList(item);
  OnTerminate = [this](host::TObject* sender) { ThreadDone(sender); };
  // Decoding pictures must not take the processor from the window that shows them.
  SetPriority(host::tpLower);
}

TKivThumbnailThread::~TKivThumbnailThread() = default;

void TKivThumbnailThread::Supersede() {
  onDone_ = nullptr;
  Terminate();
}

void TKivThumbnailThread::Execute() {
  if (Terminated() || !idList_) return;
  host::CoInitializeGuard com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (!com.Joined()) return;
  // The navigator and everything it holds go before the apartment is left.
  TZelnor navigator;
  navigator.SetShowErrorMessages(false);
  // An item that cannot be reached has no thumbnail.
  const bool reached = navigator.TrySetAbsoluteItemIdList(idList_.get());
  idList_.reset();
  if (reached && !Terminated()) bitmap_.reset(navigator.GetThumbnailBitmap(width_, height_));
}

void TKivThumbnailThread::ThreadDone(host::TObject*) {
  if (Terminated() || !onDone_) return;
  // The handler may start the next request, which must not find this one's handler.
  TKivThumbnailDoneEvent done = std::move(onDone_);
  done(this);
}

}  // namespace zelnor
