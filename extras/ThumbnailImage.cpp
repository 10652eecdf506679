// TKivThumbnailImage: construction, the shown file, requests and their results, the link.
#include "extras/ThumbnailImage.h"

#include "host/forms/MessageDialogs.h"
#include "shell/Thumbnails.h"

namespace zelnor {

namespace {

// Posted to wake the message loop; its handler does nothing.
constexpr UINT WM_CL_SYNCHRONIZE = WM_USER + 1;

}  // namespace

// ---- Construction

TKivThumbnailImage::TKivThumbnailImage(host::TComponent* owner)
    : host::TCustomPanel(owner), navigator_(std::make_unique<TZelnor>()) {
  controlStyle_ &= ~host::csSetCaption;
  navigator_->SetShowErrorMessages(false);
  navigator_->Initialize();
  auto image = std::make_unique<host::TImage>();
  image->SetVisible(false);
  image->SetAlign(host::alClient);
  image->Picture()->Bitmap();  // an empty bitmap, so the picture is a bitmap from the start
  image->OnClick = [this](host::TObject*) { Click(); };
  image->SetParent(this);
  image_ = image.release();
  SetBounds(Left(), Top(), 64, 64);
}

TKivThumbnailImage::~TKivThumbnailImage() {
  Destroying();
  // A request still running must not find this panel when it ends.
  Supersede();
  if (shellLink_) SetShellLink(nullptr);
}

// ---- Settings

String TKivThumbnailImage::Path() const {
  return navigator_->Folder() + navigator_->GetObjectName();
}

void TKivThumbnailImage::SetPath(const String& value) {
  if (host::AnsiSameText(value, Path())) return;
  if (!value.empty()) {
    // A path that cannot be opened leaves the shown file as it was.
    UniquePidl folder = navigator_->GetFolderIdList();
    UniquePidl item = navigator_->GetItemIdList();
    if (!navigator_->TrySetObjectName(value)) {
      if (Designing()) host::ShowMessage("Cannot open: " + value);
      // When the old file's folder has gone as well, nothing is shown.
      if (folder && navigator_->TrySetFolderIdList(folder.get()) && item)
        navigator_->SetItemIdList(item.get());
    }
  } else {
    navigator_->SetDirectory("");
  }
  GetThumbNailImage();
}

void TKivThumbnailImage::SetEnabled(bool enabled) {
  if (enabled == Enabled()) return;
  host::TCustomPanel::SetEnabled(enabled);
  if (enabled) {
    GetThumbNailImage();
  } else {
    Supersede();
    ShowPicture(false);
  }
}

void TKivThumbnailImage::SetShellLink(TKivShellLink* link) {
  if (link == shellLink_) return;
  if (shellLink_) shellLink_->RemoveFreeNotification(this);
  AttachShellControl(this, shellLink_, link);
  if (shellLink_) shellLink_->FreeNotification(this);
}

void TKivThumbnailImage::Notification(host::TComponent* component, host::TOperation operation) {
  host::TCustomPanel::Notification(component, operation);
  // The link drops its controls itself when it goes; only the reference goes here.
  if (operation == host::opRemove && component == shellLink_) shellLink_ = nullptr;
}

// ---- Requests

void TKivThumbnailImage::Supersede() {
  if (!thread_) return;
  thread_->Supersede();
  thread_ = nullptr;
}

void TKivThumbnailImage::FitImage() {
  // Alignment skips a hidden control: the picture is made for the inside of the panel anyway.
  RECT inside = ClientRect();
  AdjustClientRect(inside);
  image_->SetBounds(inside.left, inside.top, inside.right - inside.left, inside.bottom - inside.top);
}

void TKivThumbnailImage::ShowPicture(bool show) {
  if (!show) image_->Picture()->Bitmap()->SetHandle(nullptr);
  image_->SetVisible(show);
}

void TKivThumbnailImage::GetThumbNailImage() {
  if (!Enabled() || Loading()) return;
  Supersede();
  FitImage();
  if (navigator_->Folder().empty() || !navigator_->ItemIdList()) {
    ShowPicture(false);
    return;
  }
  auto* thread = new TKivThumbnailThread(
      *navigator_, image_->Width(), image_->Height(),
      [this](TKivThumbnailThread* done) { ThumbNailThreadDone(done); });
  thread_ = thread;
  thread->Start();
}

void TKivThumbnailImage::ThumbNailThreadDone(TKivThumbnailThread* thread) {
  if (thread != thread_) return;
  thread_ = nullptr;
  HBITMAP bitmap = thread->TakeBitmap();
  image_->Picture()->Bitmap()->SetHandle(bitmap);
  image_->SetVisible(bitmap != nullptr);
}

void TKivThumbnailImage::FileChanged(PCItemIDList folder, PCItemIDList item) {
  if (Designing() || !folder || !item) return;
  image_->SetVisible(true);
  // A folder that cannot be opened any more has nothing to show.
  if (!navigator_->TrySetFolderIdList(folder)) {
    Supersede();
    ShowPicture(false);
    return;
  }
  navigator_->SetItemIdList(item);
  GetThumbNailImage();
}

// ---- Window and loading

void TKivThumbnailImage::CreateWnd() {
  host::TCustomPanel::CreateWnd();
  if (shellLink_) shellLink_->RegisterShellControl(this);
}

void TKivThumbnailImage::Loaded() {
  host::TCustomPanel::Loaded();
  GetThumbNailImage();
}

void TKivThumbnailImage::Resize() {
  host::TCustomPanel::Resize();
  if (!image_) return;  // still being made
  FitImage();
  if (!Enabled() || Loading() || !navigator_->ItemIdList()) return;
  // The picture of the new size is made here and now: a request of the old size must not
  // replace it when it ends later.
  Supersede();
  GetThumbnailImage(*navigator_, image_);
}

void TKivThumbnailImage::GetChildren(const std::function<void(host::TComponent*)>&,
                                     host::TComponent*) {}

void TKivThumbnailImage::DoWakeMainThread(host::TObject*) {
  if (HWND wnd = HandleIfAllocated()) PostMessageW(wnd, WM_CL_SYNCHRONIZE, 0, 0);
}

void TKivThumbnailImage::WndProc(host::TMessage& message) {
  if (message.Msg == WM_CL_SYNCHRONIZE) {
    // Only wakes the message loop, so that work queued for the main thread runs.
    message.Result = 0;
    return;
  }
  host::TCustomPanel::WndProc(message);
}

// ---- Published properties

HOST_PROPERTIES(TKivThumbnailImage) {
  p.Str("Path", &TKivThumbnailImage::Path, &TKivThumbnailImage::SetPath);
  p.Component("ShellLink", &TKivThumbnailImage::ShellLink, &TKivThumbnailImage::SetShellLink);
  p.Str("Version", &TKivThumbnailImage::Version, nullptr).NeverStored();
}

}  // namespace zelnor
