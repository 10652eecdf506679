#include "host/graphics/Graphics.h"
#include "host/graphics/Jpeg.h"

#include <gtest/gtest.h>
#include <wincodec.h>

#include <filesystem>
#include <thread>
#include <vector>

using namespace host;

namespace {

// A unique temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    path_ = std::filesystem::path(base) /
            (L"gfx" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(GetTickCount()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  String File(const char* name) const { return ToUtf8((path_ / name).wstring()); }

 private:
  std::filesystem::path path_;
};

COLORREF PixelOf(TBitmap& bitmap, int x, int y) { return COLORREF(bitmap.Canvas()->Pixel(x, y)); }

void Fill(TBitmap& bitmap, const RECT& rect, TColor color) {
  bitmap.Canvas()->Brush()->SetColor(color);
  bitmap.Canvas()->FillRect(rect);
}

// Decodes a file with the imaging codecs directly: its frame size, or 0 x 0.
SIZE DecodedSize(const String& fileName) {
  CoInitializeGuard com;
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  UINT w = 0, h = 0;
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&factory))) &&
      SUCCEEDED(factory->CreateDecoderFromFilename(ToWide(fileName).c_str(), nullptr, GENERIC_READ,
                                                   WICDecodeMetadataCacheOnDemand, &decoder)) &&
      SUCCEEDED(decoder->GetFrame(0, &frame))) {
    GUID format{};
    decoder->GetContainerFormat(&format);
    if (IsEqualGUID(format, GUID_ContainerFormatJpeg)) frame->GetSize(&w, &h);
  }
  return SIZE{LONG(w), LONG(h)};
}

}  // namespace

TEST(Color, SystemColoursAreLookedUpAndPlainOnesPassThrough) {
  EXPECT_EQ(ColorToRGB(clWindow), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
  EXPECT_EQ(RGBColor(1, 2, 3), TColor(RGB(1, 2, 3)));
}

TEST(Canvas, MeasuresTextWithItsFont) {
  TBitmap bitmap(64, 64);
  TCanvas* canvas = bitmap.Canvas();
  canvas->Font()->SetHeight(-12);
  const int one = canvas->TextWidth("W");
  const int two = canvas->TextWidth("WW");
  EXPECT_GT(one, 0);
  EXPECT_GT(two, one);
  EXPECT_EQ(canvas->TextWidth(""), 0);
  const int smallHeight = canvas->TextHeight("Ag");
  EXPECT_GE(smallHeight, 12);
  canvas->Font()->SetHeight(-36);
  EXPECT_GT(canvas->TextWidth("WW"), two * 2);
  EXPECT_GE(canvas->TextHeight("Ag"), 36);
  canvas->Font()->SetStyle(fsBold);
  EXPECT_EQ(canvas->Font()->Style(), unsigned(fsBold));
}

TEST(Canvas, DrawsTextInTheFontColourOnTheBrush) {
  TBitmap bitmap(60, 30);
  Fill(bitmap, RECT{0, 0, 60, 30}, clWhite);
  TCanvas* canvas = bitmap.Canvas();
  canvas->Font()->SetHeight(-20);
  canvas->Font()->SetColor(clBlue);
  canvas->Brush()->SetStyle(bsClear);
  canvas->TextOut(2, 2, "II");
  int blue = 0, other = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 60; ++x) {
      const COLORREF c = PixelOf(bitmap, x, y);
      if (c == RGB(0, 0, 255)) ++blue;
      else if (c != RGB(255, 255, 255)) ++other;
    }
  }
  EXPECT_GT(blue, 10);
}

TEST(Canvas, ForeignContextGetsItsOwnObjectsBackWhenDetached) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP target = CreateDibSection32(8, 8);
  HGDIOBJ oldBitmap = SelectObject(dc, target);
  HGDIOBJ brushBefore = GetCurrentObject(dc, OBJ_BRUSH);
  HGDIOBJ fontBefore = GetCurrentObject(dc, OBJ_FONT);
  {
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Brush()->SetColor(clRed);
    canvas.FillRect(RECT{0, 0, 8, 8});
    canvas.TextWidth("x");
    EXPECT_EQ(GetPixel(dc, 3, 3), RGB(255, 0, 0));
    const RECT clip = canvas.ClipRect();
    EXPECT_EQ(clip.right, 8);
    EXPECT_EQ(clip.bottom, 8);
  }
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brushBefore);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), fontBefore);
  SelectObject(dc, oldBitmap);
  DeleteObject(target);
  EXPECT_TRUE(DeleteDC(dc));  // still ours: the canvas did not delete it
}

TEST(Font, TakesALogicalFontAndGivesItBack) {
  LOGFONTW lf{};
  lf.lfHeight = -17;
  lf.lfWeight = FW_BOLD;
  lf.lfItalic = TRUE;
  lf.lfCharSet = ANSI_CHARSET;
  lstrcpyW(lf.lfFaceName, L"DejaVu Sans");
  TFont font;
  int changes = 0;
  font.OnChange = [&](TObject*) { ++changes; };
  font.AssignLogFont(lf);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(font.Name(), "DejaVu Sans");
  EXPECT_EQ(font.Height(), -17);
  EXPECT_EQ(font.Style(), unsigned(fsBold | fsItalic));
  EXPECT_EQ(font.Charset(), ANSI_CHARSET);
  const LOGFONTW back = font.GetLogFont();
  EXPECT_EQ(back.lfHeight, -17);
  EXPECT_EQ(back.lfWeight, FW_BOLD);
  EXPECT_STREQ(back.lfFaceName, L"DejaVu Sans");

  TFont copy;
  copy.Assign(&font);
  EXPECT_EQ(copy.Name(), "DejaVu Sans");
  EXPECT_EQ(copy.Style(), font.Style());
  copy.SetSize(10);
  EXPECT_EQ(copy.Size(), 10);
  EXPECT_NE(copy.Handle(), nullptr);
}

TEST(Bitmap, ResizingCropsOrPadsAndNeverScales) {
  TBitmap bitmap(10, 10);
  Fill(bitmap, RECT{0, 0, 5, 10}, clRed);
  Fill(bitmap, RECT{5, 0, 10, 10}, clBlue);

  bitmap.SetWidth(5);  // the blue half is cut off
  EXPECT_EQ(bitmap.Width(), 5);
  EXPECT_EQ(PixelOf(bitmap, 4, 5), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(bitmap, 0, 0), RGB(255, 0, 0));

  bitmap.Canvas()->Brush()->SetColor(clLime);
  bitmap.SetSize(20, 15);  // padded with the brush, the old pixels stay where they were
  EXPECT_EQ(bitmap.Width(), 20);
  EXPECT_EQ(bitmap.Height(), 15);
  EXPECT_EQ(PixelOf(bitmap, 4, 9), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(bitmap, 5, 5), RGB(0, 255, 0));
  EXPECT_EQ(PixelOf(bitmap, 2, 12), RGB(0, 255, 0));
  EXPECT_EQ(PixelOf(bitmap, 19, 14), RGB(0, 255, 0));

  bitmap.SetHeight(0);
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(bitmap.Handle(), nullptr);
}

TEST(Bitmap, TakesOverAndReleasesHandles) {
  TBitmap bitmap;
  int changes = 0;
  bitmap.OnChange = [&](TObject*) { ++changes; };
  HBITMAP mine = CreateDibSection32(7, 3);
  bitmap.SetHandle(mine);
  EXPECT_EQ(bitmap.Width(), 7);
  EXPECT_EQ(bitmap.Height(), 3);
  EXPECT_EQ(bitmap.Handle(), mine);
  HBITMAP back = bitmap.ReleaseHandle();
  EXPECT_EQ(back, mine);
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(GetObjectType(back), DWORD(OBJ_BITMAP));  // not freed: the caller has it now
  EXPECT_GE(changes, 2);

  // A handle taken over is freed with the bitmap.
  HBITMAP owned = CreateDibSection32(4, 4);
  { TBitmap holder; holder.SetHandle(owned); holder.Canvas()->TextWidth("a"); }
  EXPECT_EQ(GetObjectType(owned), 0u);
  DeleteObject(back);
}

TEST(Bitmap, SavesAndLoadsBmpFiles) {
  TempFolder temp;
  TBitmap bitmap(13, 7);  // an odd width exercises the row padding
  Fill(bitmap, RECT{0, 0, 13, 7}, clYellow);
  Fill(bitmap, RECT{0, 0, 3, 2}, clNavy);
  bitmap.Canvas()->SetPixel(12, 6, clRed);
  const String file = temp.File("pic.bmp");
  bitmap.SaveToFile(file);

  TBitmap loaded;
  loaded.LoadFromFile(file);
  EXPECT_EQ(loaded.Width(), 13);
  EXPECT_EQ(loaded.Height(), 7);
  EXPECT_EQ(PixelOf(loaded, 1, 1), RGB(0, 0, 128));
  EXPECT_EQ(PixelOf(loaded, 12, 6), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(loaded, 6, 4), RGB(255, 255, 0));

  EXPECT_THROW(loaded.LoadFromFile(temp.File("missing.bmp")), EInvalidGraphic);
  EXPECT_THROW(loaded.LoadFromResourceName(GetModuleHandleW(nullptr), "NOSUCHBITMAP"),
               EResNotFound);
  EXPECT_EQ(loaded.Width(), 13);  // a failed load keeps the picture
}

TEST(Bitmap, AssignCopiesAndTransparentDrawSkipsTheColour) {
  TBitmap source(6, 6);
  Fill(source, RECT{0, 0, 6, 6}, clRed);
  Fill(source, RECT{2, 2, 4, 4}, clBlue);
  TBitmap copy;
  copy.Assign(&source);
  Fill(source, RECT{0, 0, 6, 6}, clBlack);  // the copy is independent
  EXPECT_EQ(PixelOf(copy, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(copy.TransparentColor(), clRed);  // the bottom-left pixel by default

  copy.SetTransparent(true);
  TBitmap target(10, 10);
  Fill(target, RECT{0, 0, 10, 10}, clLime);
  target.Canvas()->Draw(2, 2, &copy);
  EXPECT_EQ(PixelOf(target, 2, 2), RGB(0, 255, 0));
  EXPECT_EQ(PixelOf(target, 4, 4), RGB(0, 0, 255));

  TBitmap opaque(10, 10);
  copy.SetTransparent(false);
  opaque.Canvas()->CopyRect(RECT{0, 0, 6, 6}, copy.Canvas(), RECT{0, 0, 6, 6});
  EXPECT_EQ(PixelOf(opaque, 0, 0), RGB(255, 0, 0));
}

TEST(Bitmap, LeavesNoGdiObjectsBehind) {
  const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  for (int i = 0; i < 1000; ++i) {
    TBitmap bitmap(16 + i % 5, 16);
    bitmap.Canvas()->Brush()->SetColor(TColor(i));
    bitmap.Canvas()->FillRect(RECT{0, 0, 8, 8});
    bitmap.Canvas()->Font()->SetHeight(-10 - i % 3);
    bitmap.Canvas()->TextOut(0, 0, "x");
    bitmap.Canvas()->Pen()->SetColor(clRed);
    bitmap.Canvas()->Rectangle(1, 1, 5, 5);
    bitmap.SetWidth(20);
    TBitmap copy;
    copy.Assign(&bitmap);
    copy.Canvas()->Draw(0, 0, &bitmap);
    (void)copy.Handle();
  }
  const DWORD after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (before == 0 && after == 0) {
    // No count from the platform: check that the objects one bitmap makes are gone instead.
    HGDIOBJ bitmapHandle, font, dc;
    {
      TBitmap bitmap(8, 8);
      bitmap.Canvas()->TextOut(0, 0, "x");
      font = bitmap.Canvas()->Font()->Handle();
      dc = bitmap.Canvas()->Handle();
      bitmapHandle = bitmap.Handle();
    }
    EXPECT_EQ(GetObjectType(bitmapHandle), 0u);
    EXPECT_EQ(GetObjectType(font), 0u);
    EXPECT_EQ(GetObjectType(dc), 0u);
    return;
  }
  EXPECT_LE(after, before + 5) << "before " << before << ", after " << after;
}

TEST(Jpeg, WrittenFromABitmapDecodesWithTheSameSize) {
  CoInitializeGuard com;  // the codecs run in the caller's apartment
  TempFolder temp;
  TBitmap bitmap(40, 30);
  Fill(bitmap, RECT{0, 0, 40, 30}, clTeal);
  Fill(bitmap, RECT{5, 5, 20, 20}, clYellow);
  TJPEGImage jpeg;
  jpeg.Assign(&bitmap);
  EXPECT_EQ(jpeg.Width(), 40);
  jpeg.SetCompressionQuality(0);
  EXPECT_EQ(jpeg.CompressionQuality(), 1);
  jpeg.SetCompressionQuality(500);
  EXPECT_EQ(jpeg.CompressionQuality(), 100);
  jpeg.SetCompressionQuality(60);
  jpeg.Compress();
  ASSERT_GT(jpeg.Data().size(), 2u);
  EXPECT_EQ(jpeg.Data()[0], 0xFF);  // the start-of-image marker
  EXPECT_EQ(jpeg.Data()[1], 0xD8);
  const String file = temp.File("pic.jpg");
  jpeg.SaveToFile(file);

  const SIZE size = DecodedSize(file);
  EXPECT_EQ(size.cx, 40);
  EXPECT_EQ(size.cy, 30);

  TPicture picture;
  picture.LoadFromFile(file);
  ASSERT_NE(dynamic_cast<TJPEGImage*>(picture.Graphic()), nullptr);
  TBitmap* decoded = picture.Bitmap();
  EXPECT_EQ(decoded->Width(), 40);
  EXPECT_EQ(decoded->Height(), 30);
  const COLORREF c = PixelOf(*decoded, 12, 12);  // still yellowish after lossy coding
  EXPECT_GT(GetRValue(c), 200);
  EXPECT_GT(GetGValue(c), 200);
  EXPECT_LT(GetBValue(c), 80);

  TJPEGImage empty;
  EXPECT_THROW(empty.Compress(), EJPEG);
  EXPECT_THROW(picture.LoadFromFile(temp.File("x.gif")), EInvalidGraphic);
}

TEST(Jpeg, CodecsNeedTheCallersApartmentAndJoinNoneThemselves) {
  TBitmap bitmap(8, 8);
  Fill(bitmap, RECT{0, 0, 8, 8}, clRed);
  std::vector<BYTE> encoded;
  {
    CoInitializeGuard com;
    TJPEGImage jpeg;
    jpeg.Assign(&bitmap);
    jpeg.Compress();
    encoded = jpeg.Data();
  }
  ASSERT_FALSE(encoded.empty());
  // A thread that has not joined COM gets an error, and is still outside COM afterwards.
  bool raised = false;
  HBITMAP decoded = nullptr;
  HRESULT joinedAfter = E_FAIL;
  std::thread worker([&] {
    TJPEGImage jpeg;
    jpeg.Assign(&bitmap);
    try {
      jpeg.Compress();
    } catch (const EJPEG&) {
      raised = true;
    }
    decoded = DecodeImageData(encoded.data(), encoded.size());
    // S_OK: this is the thread's first join, so nothing above joined for it.
    joinedAfter = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(joinedAfter)) CoUninitialize();
  });
  worker.join();
  EXPECT_TRUE(raised);
  EXPECT_EQ(decoded, nullptr);
  if (decoded) DeleteObject(decoded);
  EXPECT_EQ(joinedAfter, S_OK);
}

TEST(Picture, HoldsACopyAndReportsChanges) {
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  TBitmap bitmap(5, 4);
  picture.SetBitmap(&bitmap);
  EXPECT_EQ(picture.Width(), 5);
  EXPECT_NE(picture.Bitmap(), &bitmap);
  const int afterSet = changes;
  picture.Bitmap()->SetWidth(9);
  EXPECT_GT(changes, afterSet);
  EXPECT_EQ(picture.Width(), 9);
  picture.Assign(nullptr);
  EXPECT_EQ(picture.Graphic(), nullptr);
}
