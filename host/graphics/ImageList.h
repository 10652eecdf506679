// Image lists of the host class library.
//   TDrawingStyle, TImageType   how Draw paints an image
//   TChangeLink                 tells a user of an image list (a view) that the list changed
//   TCustomImageList            a component around a comctl32 image list: own or shared handle
#pragma once

#include "host/core/Classes.h"
#include "host/core/TypeInfo.h"
#include "host/graphics/Graphics.h"

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <vector>

namespace host {

enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum TImageType { itImage, itMask };
inline const TEnumInfo DrawingStyleInfo{"dsFocus", "dsSelected", "dsNormal", "dsTransparent"};
inline const TEnumInfo ImageTypeInfo{"itImage", "itMask"};

class EImageListError : public Exception {
  using Exception::Exception;
};

class TCustomImageList;

// A registration for an image list's changes (a new handle, size or images), so a view that
// shows the list can hand the current handle to its window. Unregisters itself when destroyed;
// Sender() becomes nullptr when the list goes.
class TChangeLink {
 public:
  TChangeLink() = default;
  ~TChangeLink();
  TChangeLink(const TChangeLink&) = delete;
  TChangeLink& operator=(const TChangeLink&) = delete;
  TCustomImageList* Sender() const { return sender_; }
  std::function<void(TCustomImageList* sender)> OnChange;

 private:
  friend class TCustomImageList;
  TCustomImageList* sender_ = nullptr;
};

// An image list component. Its handle is made on first use unless one is given. With ShareImages
// the handle is used without being owned: it is never destroyed or resized here (a size change
// then lets go of it and starts an own, empty list).
class TCustomImageList : public TComponent {
  HOST_CLASS(TCustomImageList, TComponent)
  explicit TCustomImageList(TComponent* owner = nullptr);
  TCustomImageList(int width, int height, TComponent* owner = nullptr);
  ~TCustomImageList() override;
  // Copies size, flags, colours and a private copy of the images of another image list.
  void Assign(const TPersistent* source) override;

  // ---- attributes
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }
  // A new size drops all images.
  void SetSize(int width, int height);
  bool Masked() const { return masked_; }
  void SetMasked(bool masked);
  int AllocBy() const { return allocBy_; }
  void SetAllocBy(int allocBy) { allocBy_ = allocBy > 0 ? allocBy : 1; }
  int Count() const { return handle_ ? ImageList_GetImageCount(handle_) : 0; }

  HIMAGELIST Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Uses `list` from now on, owned unless ShareImages; the old own list is destroyed.
  void SetHandle(HIMAGELIST list);
  bool ShareImages() const { return shareImages_; }
  virtual void SetShareImages(bool share);

  TColor BkColor() const { return bkColor_; }
  void SetBkColor(TColor color);
  TColor BlendColor() const { return blendColor_; }
  void SetBlendColor(TColor color);
  TDrawingStyle DrawingStyle() const { return drawingStyle_; }
  void SetDrawingStyle(TDrawingStyle style);
  TImageType ImageType() const { return imageType_; }
  void SetImageType(TImageType type);

  // ---- operations
  // Each returns the index of the (first) image added. Images narrower or lower than the list
  // raise EImageListError; a wider image adds one image per Width.
  int Add(TBitmap* image, TBitmap* mask);
  // Pixels of `maskColor` become transparent; `image` itself is not changed.
  int AddMasked(TBitmap* image, TColor maskColor);
  int AddIcon(HICON icon);
  // Appends copies of all images of `source`.
  void AddImages(TCustomImageList* source);
  void Replace(int index, TBitmap* image, TBitmap* mask);
  void ReplaceMasked(int index, TBitmap* image, TColor maskColor);
  void Delete(int index);
  void Clear();
  // Draws with the list's DrawingStyle and ImageType; disabled images are drawn desaturated.
  void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);
  void Draw(TCanvas* canvas, int x, int y, int index, TDrawingStyle style, TImageType type,
            bool enabled = true);
  // Puts image `index` into `image` (resized to the list's size); false for a bad index.
  bool GetBitmap(int index, TBitmap* image);
  // A new icon of image `index` that the caller destroys; nullptr for a bad index.
  HICON GetIcon(int index);

  // OnChange is held back between BeginUpdate and EndUpdate and fired once at the end.
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

  TNotifyEvent OnChange;

  // Change links are told after OnChange, under the same holding back by BeginUpdate. A link is
  // registered with at most one list at a time.
  void RegisterChanges(TChangeLink* link);
  void UnRegisterChanges(TChangeLink* link);

 protected:
  virtual void Change();
  // Forgets the handle; destroys it only when owned.
  void FreeHandle();
  // Uses `list`, owned or not whatever ShareImages says (the old own list is destroyed).
  void AdoptHandle(HIMAGELIST list, bool owned);

 private:
  void CheckImage(const TBitmap* image) const;
  void CheckIndex(int index) const;
  UINT CreateFlags() const { return ILC_COLOR32 | (masked_ ? ILC_MASK : 0); }

  // Gives up or takes ownership of the handle in use.
  void SetOwned(bool owned);

  HIMAGELIST handle_ = nullptr;  // the list in use: own_'s or a shared one
  UniqueImageList own_;          // holds handle_ when this list owns it
  int width_ = 16, height_ = 16;
  bool masked_ = true;
  int allocBy_ = 4;
  bool shareImages_ = false;
  TColor bkColor_ = clNone;
  TColor blendColor_ = clNone;
  TDrawingStyle drawingStyle_ = dsNormal;
  TImageType imageType_ = itImage;
  int updateCount_ = 0;
  bool changed_ = false;
  std::vector<TChangeLink*> links_;
};

// The image-list value of a colour: clNone is CLR_NONE, clDefault CLR_DEFAULT.
COLORREF ImageListColor(TColor color);

}  // namespace host
