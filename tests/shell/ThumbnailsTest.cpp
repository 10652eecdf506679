#include "shell/Thumbnails.h"

#include "shell/TempDir.h"

#include <gtest/gtest.h>
#include <wincodec.h>

using namespace zelnor;

namespace {
SIZE JpegSize(const String& fileName) {
  host::CoInitializeGuard com;
  host::ComPtr<IWICImagingFactory> factory;
  host::ComPtr<IWICBitmapDecoder> decoder;
  host::ComPtr<IWICBitmapFrameDecode> frame;
  UINT w = 0, h = 0;
  GUID format{};
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&factory))) &&
      SUCCEEDED(factory->CreateDecoderFromFilename(host::ToWide(fileName).c_str(), nullptr,
                                                   GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                   &decoder)) &&
      SUCCEEDED(decoder->GetContainerFormat(&format)) &&
      IsEqualGUID(format, GUID_ContainerFormatJpeg) && SUCCEEDED(decoder->GetFrame(0, &frame))) {
    frame->GetSize(&w, &h);
  }
  return SIZE{LONG(w), LONG(h)};
}
}  // namespace

TEST(Thumbnails, JpegOfAThumbnailDecodesWithTheSizeAskedFor) {
  testing_support::TempDir dir;
  dir.File("note.txt", "some text");
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  const String jpeg = dir.Path() + "\\thumb.jpg";
  const bool extracted = SaveThumbnailToJPEG(nav, "note.txt", jpeg, 50, 40, 75);
  const SIZE size = JpegSize(jpeg);
  if (extracted) {
    EXPECT_GT(size.cx, 0);  // the shell may keep the aspect ratio inside the box
    EXPECT_LE(size.cx, 50);
  } else {
    EXPECT_EQ(size.cx, 50);
    EXPECT_EQ(size.cy, 40);
  }
  SaveThumbnailToJPEG(nav, "note.txt", jpeg, 0, 100, 75);
  if (!extracted) {
    EXPECT_EQ(JpegSize(jpeg).cx, 64);
  }

  EXPECT_THROW(SaveThumbnailToJPEG(nav, "missing.txt", jpeg, 50, 40, 75), EZelnorError);

  host::TPicture picture;
  nav.SetObjectName("note.txt");
  const bool got = GetThumbnailImage(nav, &picture, 32, 32);
  EXPECT_EQ(got, picture.Graphic() != nullptr);
}
