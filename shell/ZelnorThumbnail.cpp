// TZelnor: thumbnails of the current item, from the shell's extractor or decoded with WIC.
#include "shell/Zelnor.h"

#include "host/core/HResult.h"

#include <wincodec.h>

#include <algorithm>
#include <cmath>

namespace zelnor {

namespace {

// A 32-bit top-down DIB section of width x height; `bits` receives its pixels.
HBITMAP CreateDib(UINT width, UINT height, void** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = LONG(width);
  info.bmiHeader.biHeight = -LONG(height);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

// Decodes the first frame of an image file and scales it into the box, keeping its aspect;
// smaller images keep their size. nullptr when WIC cannot decode the file.
HBITMAP DecodeImageFile(const WideString& path, UINT boxWidth, UINT boxHeight) {
  host::ComPtr<IWICImagingFactory> factory;
  if (!host::HrOk(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory)), "CoCreateInstance"))
    return nullptr;
  host::ComPtr<IWICBitmapDecoder> decoder;
  if (!host::HrOk(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, &decoder), "CreateDecoderFromFilename"))
    return nullptr;
  host::ComPtr<IWICBitmapFrameDecode> frame;
  if (!host::HrOk(decoder->GetFrame(0, &frame), "GetFrame")) return nullptr;
  UINT width = 0, height = 0;
  if (!host::HrOk(frame->GetSize(&width, &height), "GetSize") || width == 0 || height == 0) return nullptr;

  const double scale =
      std::min({1.0, double(boxWidth) / double(width), double(boxHeight) / double(height)});
  const UINT targetWidth = std::max(1u, UINT(std::lround(width * scale)));
  const UINT targetHeight = std::max(1u, UINT(std::lround(height * scale)));

  host::ComPtr<IWICBitmapSource> source = frame;
  if (targetWidth != width || targetHeight != height) {
    host::ComPtr<IWICBitmapScaler> scaler;
    if (!host::HrOk(factory->CreateBitmapScaler(&scaler), "CreateBitmapScaler") ||
        !host::HrOk(scaler->Initialize(frame.Get(), targetWidth, targetHeight,
                                  WICBitmapInterpolationModeFant), "Initialize"))
      return nullptr;
    source = scaler;
  }
  // Premultiplied alpha is what image lists and AlphaBlend expect of a 32-bit bitmap.
  host::ComPtr<IWICFormatConverter> converter;
  if (!host::HrOk(factory->CreateFormatConverter(&converter), "CreateFormatConverter")) return nullptr;
  if (!host::HrOk(converter->Initialize(source.Get(), GUID_WICPixelFormat32bppPBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom), "Initialize") &&
      !host::HrOk(converter->Initialize(source.Get(), GUID_WICPixelFormat32bppBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom), "Initialize"))
    return nullptr;

  void* bits = nullptr;
  host::UniqueGdiObject bitmap{CreateDib(targetWidth, targetHeight, &bits)};
  if (!bitmap || !bits) return nullptr;
  const UINT stride = targetWidth * 4;
  if (!host::HrOk(converter->CopyPixels(nullptr, stride, stride * targetHeight,
                                   static_cast<BYTE*>(bits)), "CopyPixels"))
    return nullptr;
  return static_cast<HBITMAP>(bitmap.release());
}

}  // namespace

HBITMAP TZelnor::ExtractShellThumbnail(int width, int height) {
  host::ComPtr<IExtractImage> extractor;
  GetUIObject(extractor);
  if (!extractor) return nullptr;
  wchar_t location[MAX_PATH] = {};
  DWORD priority = 2;
  SIZE size{width, height};
  DWORD flags = IEIFLAG_ASPECT | IEIFLAG_QUALITY;
  if (!host::HrOk(extractor->GetLocation(location, MAX_PATH, &priority, &size, 16, &flags), "GetLocation"))
    return nullptr;  // includes E_PENDING: an asynchronous extraction gives nothing here
  HBITMAP bitmap = nullptr;
  if (!host::HrOk(extractor->Extract(&bitmap), "Extract")) return nullptr;
  return bitmap;
}

HBITMAP TZelnor::GetThumbnailBitmap(int width, int height) {
  if (IsOldWindows()) return nullptr;
  if (width <= 0 || height <= 0) width = height = 64;
  if (HBITMAP bitmap = ExtractShellThumbnail(width, height)) return bitmap;
  // The shell has no extractor for this item: decode image files ourselves.
  if (!item_) return nullptr;
  const WideString path = GetPathFromPidlW(GetAbsoluteItemIdList());
  if (path.empty() || IsFolder()) return nullptr;
  return DecodeImageFile(path, UINT(width), UINT(height));
}

}  // namespace zelnor
