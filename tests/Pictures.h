// Picture files for tests, written with the platform's imaging codecs.
//   WritePicture(path, w, h, GUID_ContainerFormatJpeg)   a w x h picture of colour bands
//   BitmapSize(bitmap)                                   the size of a bitmap handle
#pragma once

#include <windows.h>
#include <wincodec.h>

#include <string>
#include <vector>

#include "host/core/Raii.h"

namespace testing_support {

// Writes a `width` x `height` picture in `format` (JPEG, PNG, BMP); false when the codecs fail.
inline bool WritePicture(const std::wstring& path, UINT width, UINT height, REFGUID format) {
  host::CoInitializeGuard com;
  host::ComPtr<IWICImagingFactory> factory;
  host::ComPtr<IWICStream> stream;
  host::ComPtr<IWICBitmapEncoder> encoder;
  host::ComPtr<IWICBitmapFrameEncode> frame;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory))) ||
      FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
      FAILED(factory->CreateEncoder(format, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(width, height)))
    return false;
  WICPixelFormatGUID pixels = GUID_WICPixelFormat24bppBGR;
  if (FAILED(frame->SetPixelFormat(&pixels)) || pixels != GUID_WICPixelFormat24bppBGR) return false;
  const UINT stride = (width * 3 + 3) & ~3u;
  std::vector<BYTE> data(size_t(stride) * height);
  for (UINT y = 0; y < height; ++y)
    for (UINT x = 0; x < width; ++x) {
      BYTE* p = &data[size_t(y) * stride + x * 3];
      p[0] = BYTE(x * 255 / width);
      p[1] = BYTE(y * 255 / height);
      p[2] = BYTE((x / 16 + y / 16) % 2 ? 200 : 60);
    }
  return SUCCEEDED(frame->WritePixels(height, stride, UINT(data.size()), data.data())) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

inline SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return SIZE{0, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

}  // namespace testing_support
