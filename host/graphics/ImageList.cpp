#include "host/graphics/ImageList.h"

#include <algorithm>
#include <utility>

namespace host {

COLORREF ImageListColor(TColor color) {
  if (color == clNone) return CLR_NONE;
  if (color == clDefault) return CLR_DEFAULT;
  return ColorToRGB(color);
}

namespace {
// Copies every image of `from` onto the end of `to` through icons, which carry colour and mask.
void AppendImages(HIMAGELIST to, HIMAGELIST from) {
  const int count = ImageList_GetImageCount(from);
  for (int i = 0; i < count; ++i) {
    UniqueIcon icon{ImageList_GetIcon(from, i, ILD_TRANSPARENT)};
    if (icon) ImageList_ReplaceIcon(to, -1, icon.get());
  }
}
}  // namespace

// Only the attributes are stored: the images of a list are made by its owner at run time.
HOST_PROPERTIES(TCustomImageList) {
  p.Int("AllocBy", &TCustomImageList::AllocBy, &TCustomImageList::SetAllocBy, 4);
  p.Int("BlendColor", &TCustomImageList::BlendColor, &TCustomImageList::SetBlendColor, clNone);
  p.Int("BkColor", &TCustomImageList::BkColor, &TCustomImageList::SetBkColor, clNone);
  p.Enum("DrawingStyle", DrawingStyleInfo, &TCustomImageList::DrawingStyle,
         &TCustomImageList::SetDrawingStyle, dsNormal);
  p.Int("Height", &TCustomImageList::Height, &TCustomImageList::SetHeight, 16);
  p.Enum("ImageType", ImageTypeInfo, &TCustomImageList::ImageType,
         &TCustomImageList::SetImageType, itImage);
  p.Bool("Masked", &TCustomImageList::Masked, &TCustomImageList::SetMasked, true);
  p.Bool(
      "ShareImages", &TCustomImageList::ShareImages,
      [](TCustomImageList* list, bool share) { list->SetShareImages(share); }, false);
  p.Int("Width", &TCustomImageList::Width, &TCustomImageList::SetWidth, 16);
  p.Event("OnChange", &TCustomImageList::OnChange);
}

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::TCustomImageList(int width, int height, TComponent* owner)
    : TComponent(owner), width_(width > 0 ? width : 16), height_(height > 0 ? height : 16) {}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink* link : links_) link->sender_ = nullptr;
  FreeHandle();
}

TChangeLink::~TChangeLink() {
  if (sender_) sender_->UnRegisterChanges(this);
}

void TCustomImageList::RegisterChanges(TChangeLink* link) {
  if (!link || link->sender_ == this) return;
  if (link->sender_) link->sender_->UnRegisterChanges(link);
  link->sender_ = this;
  links_.push_back(link);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* link) {
  if (!link || link->sender_ != this) return;
  std::erase(links_, link);
  link->sender_ = nullptr;
}

void TCustomImageList::FreeHandle() {
  own_.reset();
  handle_ = nullptr;
}

void TCustomImageList::SetOwned(bool owned) {
  if (!handle_) return;
  if (owned && !own_) own_.reset(handle_);
  if (!owned && own_) (void)own_.release();
}

HIMAGELIST TCustomImageList::Handle() {
  if (!handle_) {
    own_.reset(ImageList_Create(width_, height_, CreateFlags(), allocBy_, allocBy_));
    if (!own_) throw EOutOfResources("Out of system resources");
    handle_ = own_.get();
    ImageList_SetBkColor(handle_, ImageListColor(bkColor_));
  }
  return handle_;
}

void TCustomImageList::SetHandle(HIMAGELIST list) { AdoptHandle(list, !shareImages_); }

void TCustomImageList::AdoptHandle(HIMAGELIST list, bool owned) {
  if (list == handle_) {
    SetOwned(owned);
    return;
  }
  FreeHandle();
  handle_ = list;
  SetOwned(owned);
  if (list) {
    int w = 0, h = 0;
    if (ImageList_GetIconSize(list, &w, &h)) {
      width_ = w;
      height_ = h;
    }
  }
  Change();
}

void TCustomImageList::SetShareImages(bool share) {
  shareImages_ = share;
  SetOwned(!share);
}

void TCustomImageList::SetSize(int width, int height) {
  if (width <= 0 || height <= 0 || (width == width_ && height == height_)) return;
  width_ = width;
  height_ = height;
  if (handle_) {
    if (own_) {
      ImageList_SetIconSize(handle_, width, height);  // drops the images
    } else {
      FreeHandle();  // a foreign list is never resized
    }
  }
  Change();
}

void TCustomImageList::SetMasked(bool masked) {
  if (masked == masked_) return;
  masked_ = masked;
  if (own_) {
    UniqueImageList old{own_.release()};
    handle_ = nullptr;
    AppendImages(Handle(), old.get());
  }
  Change();
}

void TCustomImageList::SetBkColor(TColor color) {
  if (color == bkColor_) return;
  bkColor_ = color;
  if (own_) ImageList_SetBkColor(handle_, ImageListColor(color));
  Change();
}

void TCustomImageList::SetBlendColor(TColor color) {
  if (color == blendColor_) return;
  blendColor_ = color;
  Change();
}

void TCustomImageList::SetDrawingStyle(TDrawingStyle style) {
  if (style == drawingStyle_) return;
  drawingStyle_ = style;
  Change();
}

void TCustomImageList::SetImageType(TImageType type) {
  if (type == imageType_) return;
  imageType_ = type;
  Change();
}

void TCustomImageList::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TCustomImageList*>(source);
  if (!other) {
    TComponent::Assign(source);
    return;
  }
  if (other == this) return;
  UpdateGuard update(*this);
  Clear();
  FreeHandle();
  width_ = other->width_;
  height_ = other->height_;
  masked_ = other->masked_;
  allocBy_ = other->allocBy_;
  bkColor_ = other->bkColor_;
  blendColor_ = other->blendColor_;
  drawingStyle_ = other->drawingStyle_;
  imageType_ = other->imageType_;
  if (other->handle_) {
    own_.reset(ImageList_Duplicate(other->handle_));
    handle_ = own_.get();
    shareImages_ = false;
  }
  changed_ = true;
}

void TCustomImageList::CheckImage(const TBitmap* image) const {
  if (!image) return;
  if (image->Width() < width_ || image->Height() < height_) {
    throw EImageListError("Invalid image size");
  }
}

void TCustomImageList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw EImageListError("Invalid ImageList Index");
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
  CheckImage(image);
  const int index = ImageList_Add(Handle(), image ? image->Handle() : nullptr,
                                  mask ? mask->Handle() : nullptr);
  if (index < 0) throw EImageListError("Failed to add image");
  Change();
  return index;
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor) {
  CheckImage(image);
  if (!image) return Add(nullptr, nullptr);
  // The platform blackens the masked pixels of the bitmap it is given: give it a copy.
  TBitmap copy;
  copy.Assign(image);
  const int index = ImageList_AddMasked(Handle(), copy.Handle(), ColorToRGB(maskColor));
  if (index < 0) throw EImageListError("Failed to add image");
  Change();
  return index;
}

int TCustomImageList::AddIcon(HICON icon) {
  const int index = ImageList_ReplaceIcon(Handle(), -1, icon);
  if (index < 0) throw EImageListError("Failed to add image");
  Change();
  return index;
}

void TCustomImageList::AddImages(TCustomImageList* source) {
  if (!source || !source->HandleAllocated() || source == this) return;
  AppendImages(Handle(), source->Handle());
  Change();
}

void TCustomImageList::Replace(int index, TBitmap* image, TBitmap* mask) {
  CheckIndex(index);
  CheckImage(image);
  if (!ImageList_Replace(handle_, index, image ? image->Handle() : nullptr,
                         mask ? mask->Handle() : nullptr)) {
    throw EImageListError("Failed to replace image");
  }
  Change();
}

void TCustomImageList::ReplaceMasked(int index, TBitmap* image, TColor maskColor) {
  CheckIndex(index);
  CheckImage(image);
  // Add the masked image at the end, move it over `index`, drop the spare entry.
  TBitmap copy;
  copy.Assign(image);
  const int spare = ImageList_AddMasked(handle_, copy.Handle(), ColorToRGB(maskColor));
  if (spare < 0) throw EImageListError("Failed to replace image");
  ImageList_Copy(handle_, index, handle_, spare, ILCF_MOVE);
  ImageList_Remove(handle_, spare);
  Change();
}

void TCustomImageList::Delete(int index) {
  CheckIndex(index);
  ImageList_Remove(handle_, index);
  Change();
}

void TCustomImageList::Clear() {
  if (handle_ && Count() > 0) {
    ImageList_Remove(handle_, -1);
    Change();
  }
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
  Draw(canvas, x, y, index, drawingStyle_, imageType_, enabled);
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, TDrawingStyle style,
                            TImageType type, bool enabled) {
  if (!canvas || !handle_ || index < 0 || index >= Count()) return;
  static constexpr UINT kStyle[] = {ILD_FOCUS, ILD_SELECTED, ILD_NORMAL, ILD_TRANSPARENT};
  UINT flags = kStyle[style] | (type == itMask ? ILD_MASK : 0);
  IMAGELISTDRAWPARAMS params{};
  params.cbSize = sizeof params;
  params.himl = handle_;
  params.i = index;
  params.hdcDst = canvas->Handle();
  params.x = x;
  params.y = y;
  params.rgbBk = ImageListColor(bkColor_);
  params.rgbFg = ImageListColor(blendColor_);
  params.fStyle = flags;
  if (!enabled) params.fState = ILS_SATURATE;
  ImageList_DrawIndirect(&params);
}

bool TCustomImageList::GetBitmap(int index, TBitmap* image) {
  if (!image || !handle_ || index < 0 || index >= Count()) return false;
  image->SetSize(width_, height_);
  image->Canvas()->Brush()->SetColor(bkColor_ == clNone ? clWhite : bkColor_);
  image->Canvas()->FillRect(RECT{0, 0, width_, height_});
  ImageList_Draw(handle_, index, image->Canvas()->Handle(), 0, 0, ILD_NORMAL);
  return true;
}

HICON TCustomImageList::GetIcon(int index) {
  if (!handle_ || index < 0 || index >= Count()) return nullptr;
  return ImageList_GetIcon(handle_, index, ILD_NORMAL);
}

void TCustomImageList::EndUpdate() {
  if (updateCount_ > 0) --updateCount_;
  if (updateCount_ == 0 && changed_) {
    changed_ = false;
    Change();
  }
}

void TCustomImageList::Change() {
  if (updateCount_ > 0) {
    changed_ = true;
    return;
  }
  if (OnChange) OnChange(this);
  // A copy: a link's handler may unregister links.
  const std::vector<TChangeLink*> links = links_;
  for (TChangeLink* link : links)
    if (std::find(links_.begin(), links_.end(), link) != links_.end() && link->OnChange)
      link->OnChange(this);
}

}  // namespace host
