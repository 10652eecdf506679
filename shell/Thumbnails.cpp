#include "shell/Thumbnails.h"

#include "host/graphics/Jpeg.h"

namespace zelnor {

bool GetThumbnailImage(TZelnor& navigator, host::TPicture* picture, int width, int height) {
  if (!picture) return false;
  HBITMAP thumbnail = navigator.GetThumbnailBitmap(width, height);  // ours to free
  if (!thumbnail) return false;
  host::TBitmap bitmap;
  bitmap.SetHandle(thumbnail);
  picture->SetBitmap(&bitmap);
  return true;
}

bool SaveThumbnailToJPEG(TZelnor& navigator, const String& name, const String& jpegFile, int width,
                         int height, int quality) {
  navigator.SetObjectName(name);
  host::TBitmap bitmap;
  bitmap.SetHandle(navigator.GetThumbnailBitmap(width, height));
  const bool extracted = !bitmap.Empty();
  if (!extracted) {
    // A JPEG cannot be empty: write a blank picture of the size asked for.
    bitmap.Canvas()->Brush()->SetColor(host::clWindow);
    bitmap.SetSize(width > 0 && height > 0 ? width : 64, width > 0 && height > 0 ? height : 64);
  }
  host::TJPEGImage jpeg;
  jpeg.Assign(&bitmap);
  jpeg.SetCompressionQuality(quality);
  jpeg.Compress();
  jpeg.SaveToFile(jpegFile);
  return extracted;
}

}  // namespace zelnor
