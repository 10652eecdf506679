// JPEG pictures of the host class library, encoded and decoded with the platform's imaging codecs.
//   TJPEGImage        a bitmap with its compressed JPEG form and quality
//   DecodeImageData   any format the codecs read, as a 32-bit bitmap handle
//
// The codecs are COM objects: the thread that compresses, loads or decodes must have joined a COM
// apartment itself (CoInitializeGuard, OleInitialize); nothing here joins one for it. Without one,
// decoding answers nothing and Compress raises EJPEG.
#pragma once

#include "host/graphics/Graphics.h"

#include <vector>

namespace host {

class EJPEG : public EInvalidGraphic {
  using EInvalidGraphic::EInvalidGraphic;
};

// A JPEG picture. Assigning a bitmap keeps a copy of it; `Compress` encodes that copy with the
// compression quality, `SaveToFile` writes the encoded data (compressing first when needed).
class TJPEGImage : public TGraphic {
 public:
  TJPEGImage();
  ~TJPEGImage() override;
  String ClassName() const override { return "TJPEGImage"; }

  int Width() const override { return bitmap_.Width(); }
  int Height() const override { return bitmap_.Height(); }
  // A JPEG image does not change size: both raise EJPEG.
  void SetWidth(int width) override;
  void SetHeight(int height) override;

  // Quality 1 to 100 for the next compression (values outside are clamped); 90 at creation.
  int CompressionQuality() const { return quality_; }
  void SetCompressionQuality(int quality);

  // Encodes the picture now; raises EJPEG for an empty picture or an encoder failure.
  void Compress();
  // The encoded form (empty until compressed or loaded).
  const std::vector<BYTE>& Data() const { return data_; }
  // Takes encoded data and decodes it; raises EJPEG when it is no image.
  void LoadFromData(std::vector<BYTE> data);

  // The decoded picture.
  TBitmap* Bitmap() { return &bitmap_; }

  void Assign(const TPersistent* source) override;
  std::unique_ptr<TGraphic> Clone() const override;
  void LoadFromFile(const String& fileName) override;
  void SaveToFile(const String& fileName) override;

 protected:
  void AssignTo(TPersistent* dest) const override;
  void Draw(TCanvas* canvas, const RECT& rect) override;

 private:
  TBitmap bitmap_;
  std::vector<BYTE> data_;
  int quality_ = 90;
};

// Decodes an encoded image (JPEG, PNG, BMP, ...) into a new 32-bit DIB section that the caller
// owns; nullptr when the data is not an image the codecs know.
HBITMAP DecodeImageData(const BYTE* data, size_t size);

}  // namespace host
