// Thumbnails of the navigator's current item as host pictures and JPEG files.
//   GetThumbnailImage     the thumbnail into a picture (or an image control's picture)
//   SaveThumbnailToJPEG   the thumbnail of a named item written as a JPEG file
#pragma once

#include "host/graphics/Graphics.h"
#include "shell/Zelnor.h"

namespace zelnor {

// Asks the navigator for a thumbnail of `width` x `height` (64 x 64 when either is not positive);
// on success the picture holds it as its bitmap and the result is true, else nothing changes.
bool GetThumbnailImage(TZelnor& navigator, host::TPicture* picture, int width, int height);

// The same for anything with Picture(), Width() and Height(), such as an image control.
template <class TImageLike>
bool GetThumbnailImage(TZelnor& navigator, TImageLike* image) {
  return image && GetThumbnailImage(navigator, image->Picture(), image->Width(), image->Height());
}

// Selects `name` in the navigator's folder (raising EZelnorError when it is not there) and writes
// its thumbnail to `jpegFile` with `quality` (1 to 100). Without a thumbnail the file holds a
// blank image of the requested size and the result is false; with one the result is true.
bool SaveThumbnailToJPEG(TZelnor& navigator, const String& name, const String& jpegFile, int width,
                         int height, int quality);

}  // namespace zelnor
