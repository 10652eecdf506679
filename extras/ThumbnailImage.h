// A panel that shows the thumbnail of one file.
//   TKivThumbnailImage             the file is set by Path or followed from a linked shell control;
//                                  the picture is extracted on a worker thread
#pragma once

#include "extras/ThumbnailThread.h"
#include "host/forms/ExtCtrls.h"
#include "link/ShellLink.h"

#include <memory>

namespace zelnor {

class TKivThumbnailImage : public host::TCustomPanel, public TKivShellControlBase {
  HOST_CLASS(TKivThumbnailImage, host::TCustomPanel)
  explicit TKivThumbnailImage(host::TComponent* owner = nullptr);
  ~TKivThumbnailImage() override;

  // ---- Settings
  // The shown file: the navigator's folder and object name. Setting the current value again (in
  // any letter case) does nothing; an empty value shows nothing.
  String Path() const;
  void SetPath(const String& value);
  // False hides the picture; True asks for it again.
  void SetEnabled(bool enabled) override;
  TKivShellLink* ShellLink() const { return shellLink_; }
  void SetShellLink(TKivShellLink* link);
  String Version() const { return ClassName() + " V4.2"; }

  // ---- Picture
  host::TPicture* Picture() const { return image_->Picture(); }
  void SetPicture(const host::TPicture* picture) { image_->SetPicture(picture); }
  // Whether the picture is shown (false while there is none).
  bool PictureVisible() const { return image_->Visible(); }
  // Starts a thumbnail request for the navigator's item; a request still running is superseded
  // and never delivers. Nothing while disabled or loading.
  void GetThumbNailImage();
  // The request still running, or nullptr.
  TKivThumbnailThread* ThumbnailThread() const { return thread_; }
  TZelnor* Navigator() const { return navigator_.get(); }
  // Wakes the main thread's message loop (any thread may call it).
  void DoWakeMainThread(host::TObject* sender = nullptr);

  // IKivShellControl
  void setShellLink(TKivShellLink* link) override { SetShellLink(link); }
  TKivShellLink* getShellLink() override { return shellLink_; }
  void PathChanged(PCItemIDList) override {}
  void FileChanged(PCItemIDList folder, PCItemIDList item) override;
  void SelectAll() override {}
  void Refresh() override {}
  void SmartRefresh() override {}
  bool GoUp() override { return false; }

  void Loaded() override;
  // The inner image is part of the panel, not of the form.
  void GetChildren(const std::function<void(host::TComponent*)>& proc,
                   host::TComponent* root) override;

 protected:
  void CreateWnd() override;
  void WndProc(host::TMessage& message) override;
  void Resize() override;
  void Notification(host::TComponent* component, host::TOperation operation) override;

 private:
  bool Loading() const { return Has(host::TComponentStateFlag::csLoading); }
  bool Designing() const { return Has(host::TComponentStateFlag::csDesigning); }
  void ThumbNailThreadDone(TKivThumbnailThread* thread);
  // Cuts off the request still running, if any.
  void Supersede();
  void ShowPicture(bool show);
  // Gives the inner image the inside of the panel.
  void FitImage();

  std::unique_ptr<TZelnor> navigator_;
  host::TImage* image_ = nullptr;  // a child control: the panel frees it
  TKivShellLink* shellLink_ = nullptr;
  TKivThumbnailThread* thread_ = nullptr;
};

}  // namespace zelnor
