// Properties of the navigator's current item: attributes, links, detail columns, size, date,
// thumbnails and UI objects.
#include <gtest/gtest.h>

#include <wincodec.h>

#include <cmath>
#include <string>

#include "FolderWrapper.h"
#include "TempDir.h"
#include "shell/Zelnor.h"

using namespace zelnor;
using testing_support::TempDir;

namespace {

// Writes a width x height image of one colour (BGRA) with WIC; format GUID_ContainerFormatPng or
// GUID_ContainerFormatJpeg.
bool WriteImage(const std::wstring& path, REFGUID format, UINT width, UINT height, DWORD bgra) {
  host::ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory))))
    return false;
  host::ComPtr<IWICStream> stream;
  if (FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)))
    return false;
  host::ComPtr<IWICBitmapEncoder> encoder;
  if (FAILED(factory->CreateEncoder(format, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)))
    return false;
  host::ComPtr<IWICBitmapFrameEncode> frame;
  if (FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(width, height)))
    return false;
  WICPixelFormatGUID pixelFormat = GUID_WICPixelFormat24bppBGR;
  if (FAILED(frame->SetPixelFormat(&pixelFormat))) return false;
  const UINT bpp = pixelFormat == GUID_WICPixelFormat32bppBGRA ? 4 : 3;
  std::vector<BYTE> pixels(size_t(width) * height * bpp);
  for (size_t i = 0; i < size_t(width) * height; ++i) {
    pixels[i * bpp] = BYTE(bgra);
    pixels[i * bpp + 1] = BYTE(bgra >> 8);
    pixels[i * bpp + 2] = BYTE(bgra >> 16);
    if (bpp == 4) pixels[i * bpp + 3] = 0xFF;
  }
  return SUCCEEDED(frame->WritePixels(height, width * bpp, UINT(pixels.size()), pixels.data())) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

// Size and centre pixel (0x00RRGGBB) of a bitmap.
struct BitmapFacts {
  LONG width = 0, height = 0;
  DWORD centre = 0;
};
BitmapFacts Inspect(HBITMAP bitmap) {
  BitmapFacts facts;
  BITMAP info{};
  if (!GetObjectW(bitmap, sizeof info, &info)) return facts;
  facts.width = info.bmWidth;
  facts.height = info.bmHeight;
  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof request.bmiHeader;
  request.bmiHeader.biWidth = info.bmWidth;
  request.bmiHeader.biHeight = -info.bmHeight;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> pixels(size_t(info.bmWidth) * info.bmHeight);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, bitmap, 0, UINT(info.bmHeight), pixels.data(), &request, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  facts.centre = pixels[size_t(info.bmHeight / 2) * info.bmWidth + info.bmWidth / 2] & 0xFFFFFF;
  return facts;
}

bool Near(DWORD rgb, DWORD expected) {
  for (int shift : {0, 8, 16})
    if (std::abs(int((rgb >> shift) & 0xFF) - int((expected >> shift) & 0xFF)) > 12) return false;
  return true;
}

// A shortcut file `link` pointing at `target`.
bool WriteLink(const std::wstring& link, const std::wstring& target) {
  host::ComPtr<IShellLinkW> shellLink;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&shellLink))))
    return false;
  shellLink->SetPath(target.c_str());
  host::ComPtr<IPersistFile> file;
  return SUCCEEDED(shellLink.As(&file)) && SUCCEEDED(file->Save(link.c_str(), TRUE));
}

}  // namespace

TEST(ZelnorItems, NeutralAnswersWithoutAnItem) {
  TempDir dir;
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  EXPECT_TRUE(nav.HasSubFolders());
  EXPECT_FALSE(nav.IsFolder());
  EXPECT_EQ(nav.GetOverlayIndex(), -1);
  EXPECT_EQ(nav.GetAttributes(0xFFFFFFFF), 0u);
  EXPECT_EQ(nav.GetShellObjectName(), "");
  EXPECT_EQ(nav.GetObjectName(), "");
  EXPECT_EQ(nav.GetFileSize(), -1);
  EXPECT_EQ(nav.GetLastChangeDate(), 0.0);
  EXPECT_EQ(nav.GetThumbnailBitmap(32, 32), nullptr);
  // The icon is the folder's own.
  SHFILEINFOW info{};
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(nav.GetFolderIdList().get()), 0, &info, sizeof info,
                 SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  EXPECT_EQ(nav.GetIconNumber(), info.iIcon);
  EXPECT_FALSE(nav.GetDesktopName().empty());
  EXPECT_GE(nav.GetDesktopIconIndex(), 0);
}

TEST(ZelnorItems, AttributesOfFilesFoldersHiddenObjectsAndLinks) {
  TempDir dir;
  const String sub = dir.Folder("sub");
  dir.Folder("sub\\inner");
  const String hidden = dir.File("hidden.txt", "h");
  SetFileAttributesW(host::ToWide(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN);
  dir.File("plain.txt", "p");
  ASSERT_TRUE(WriteLink(dir.PathW() + L"\\to-sub.lnk", host::ToWide(sub)));
  ASSERT_TRUE(WriteLink(dir.PathW() + L"\\to-file.lnk", dir.PathW() + L"\\plain.txt"));

  TZelnor nav;
  nav.SetDirectory(dir.Path());
  nav.SetObjectName("sub");
  EXPECT_TRUE(nav.IsFolder());
  EXPECT_TRUE(nav.HasSubFolders());
  EXPECT_FALSE(nav.IsHidden());
  EXPECT_FALSE(nav.IsLink());
  EXPECT_EQ(nav.IsLinkToFolder(), "");
  EXPECT_EQ(nav.GetOverlayIndex(), -1);
  EXPECT_EQ(nav.GetColumnText(0, false), nav.GetShellObjectName());

  nav.SetObjectName("hidden.txt");
  EXPECT_TRUE(nav.IsHidden());
  EXPECT_FALSE(nav.IsFolder());

  nav.SetObjectName("to-sub.lnk");
  EXPECT_TRUE(nav.IsLink());
  EXPECT_EQ(nav.GetOverlayIndex(), 1);  // the shortcut overlay
  EXPECT_TRUE(host::SameText(nav.IsLinkToFolder(), sub)) << nav.IsLinkToFolder();

  nav.SetObjectName("to-file.lnk");
  EXPECT_TRUE(nav.IsLink());
  EXPECT_EQ(nav.IsLinkToFolder(), "");

  // Absent under this shell: neutral answers.
  nav.SetObjectName("plain.txt");
  EXPECT_EQ(nav.GetDomain(), "");
  EXPECT_GE(nav.GetIconNumber(), 0);
}

TEST(ZelnorItems, ZipFolderReportsSubfoldersOnlyOutsideFileSystemOnly) {
  TempDir dir;
  dir.Folder("archive.ZiP\\inside");
  dir.Folder("empty.zip");
  dir.Folder("normal\\inside");
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  nav.SetObjectName("empty.zip");
  EXPECT_TRUE(nav.HasSubFolders());  // without asking the shell
  nav.SetFileSystemOnly(true);
  nav.SetObjectName("archive.ZiP");
  EXPECT_FALSE(nav.HasSubFolders());  // although it holds a folder
  nav.SetObjectName("normal");
  EXPECT_TRUE(nav.HasSubFolders());
  nav.SetObjectName("empty.zip");
  EXPECT_FALSE(nav.HasSubFolders());
}

TEST(ZelnorItems, FallbackColumnsWithoutAColumnProvider) {
  TempDir dir;
  dir.File("empty.bin", "");
  dir.File("one.bin", "x");
  dir.File("k1025.bin", std::string(1025, 'a'));
  dir.File("k1536.bin", std::string(1536, 'a'));
  dir.File("big.bin", std::string(1536 * 1024, 'a'));
  dir.Folder("folder");
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  auto plain = testing_support::MakePlainFolder(nav.ShellFolder());
  nav.SetShellfolder(plain.Get());
  ASSERT_FALSE(nav.GetIShellDetails());

  const char* captions[] = {"Name", "Size", "Type", "Changed"};
  const int widths[] = {150, 60, 120, 100};
  const TAlignment alignments[] = {taLeftJustify, taRightJustify, taLeftJustify, taLeftJustify};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(nav.GetColumnText(i, true), captions[i]);
    int width = -1;
    EXPECT_EQ(nav.GetColumnInfo(i, width), alignments[i]);
    EXPECT_EQ(width, widths[i]);
  }
  EXPECT_EQ(nav.GetColumnText(4, true), "");

  auto sizeText = [&](const char* name) {
    nav.SetObjectName(name);
    return nav.GetColumnText(1, false);
  };
  EXPECT_EQ(sizeText("empty.bin"), "0 KB");
  EXPECT_EQ(sizeText("one.bin"), "1 KB");
  EXPECT_EQ(sizeText("k1025.bin"), "1 KB");
  EXPECT_EQ(sizeText("k1536.bin"), "2 KB");
  EXPECT_EQ(sizeText("big.bin"), host::FormatFloatN(1536) + " KB");
  EXPECT_EQ(sizeText("folder"), "");

  nav.SetObjectName("one.bin");
  EXPECT_FALSE(nav.GetColumnText(2, false).empty());
  EXPECT_EQ(nav.GetColumnText(3, false), host::DateTimeToStr(nav.GetLastChangeDate()));
  EXPECT_EQ(nav.GetColumnText(0, false), nav.GetShellObjectName());
  EXPECT_EQ(nav.GetColumnText(7, false), "");
}

TEST(ZelnorItems, ColumnsOfTheFolderProvider) {
  TempDir dir;
  dir.File("a.txt", "abc");
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  ASSERT_TRUE(nav.GetIShellDetails());
  host::ComPtr<IShellFolder2> folder2;
  ASSERT_TRUE(SUCCEEDED(nav.ShellFolder()->QueryInterface(IID_PPV_ARGS(&folder2))));
  int checked = 0;
  for (UINT column = 0; column < 8; ++column) {
    SHELLDETAILS details{};
    int width = -1;
    const TAlignment alignment = nav.GetColumnInfo(int(column), width);
    if (FAILED(folder2->GetDetailsOf(nullptr, column, &details))) {
      EXPECT_EQ(width, 120);
      EXPECT_EQ(alignment, taLeftJustify);
      EXPECT_EQ(nav.GetColumnText(int(column), true), "");
      continue;
    }
    ++checked;
    if (details.str.uType == STRRET_WSTR) CoTaskMemFree(details.str.pOleStr);
    SHCOLSTATEF state = 0;
    const bool hidden = SUCCEEDED(folder2->GetDefaultColumnState(column, &state)) &&
                        (!(state & SHCOLSTATE_ONBYDEFAULT) || (state & SHCOLSTATE_HIDDEN));
    EXPECT_EQ(width, hidden ? 0 : details.cxChar * 7) << column;
    const TAlignment expected = (details.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT   ? taRightJustify
                                : (details.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER ? taCenter
                                                                                       : taLeftJustify;
    EXPECT_EQ(alignment, expected) << column;
    EXPECT_FALSE(nav.GetColumnText(int(column), true).empty()) << column;
  }
  EXPECT_GE(checked, 4);
  nav.SetObjectName("a.txt");
  EXPECT_EQ(nav.GetColumnText(0, false), nav.GetShellObjectName());
  EXPECT_FALSE(nav.GetColumnText(1, false).empty());
}

TEST(ZelnorItems, FileSizeAndLastChangeDate) {
  TempDir dir;
  const String file = dir.File("sized.bin", std::string(5000, 'z'));
  // 2021-06-15 12:30:00 UTC.
  SYSTEMTIME utc{2021, 6, 2, 15, 12, 30, 0, 0};
  FILETIME written;
  SystemTimeToFileTime(&utc, &written);
  {
    HANDLE h = CreateFileW(host::ToWide(file).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetFileTime(h, nullptr, nullptr, &written);
    CloseHandle(h);
  }
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  nav.SetObjectName("sized.bin");
  EXPECT_EQ(nav.GetFileSize(), 5000);
  FILETIME local;
  SYSTEMTIME expected;
  FileTimeToLocalFileTime(&written, &local);
  FileTimeToSystemTime(&local, &expected);
  EXPECT_NEAR(nav.GetLastChangeDate(), host::SystemTimeToDateTime(expected), 1e-6);
}

TEST(ZelnorItems, ThumbnailsOfImageFilesKeepTheirAspect) {
  TempDir dir;
  ASSERT_TRUE(WriteImage(dir.PathW() + L"\\wide.png", GUID_ContainerFormatPng, 200, 100,
                         0x00FF0000));  // red
  ASSERT_TRUE(WriteImage(dir.PathW() + L"\\tall.jpg", GUID_ContainerFormatJpeg, 60, 120,
                         0x000000FF));  // blue
  ASSERT_TRUE(WriteImage(dir.PathW() + L"\\small.png", GUID_ContainerFormatPng, 20, 10,
                         0x0000FF00));  // green
  dir.File("text.txt", "not an image");
  TZelnor nav;
  nav.SetDirectory(dir.Path());

  auto thumbnail = [&](const char* name, int width, int height) {
    nav.SetObjectName(name);
    host::UniqueGdiObject bitmap{nav.GetThumbnailBitmap(width, height)};
    return bitmap ? Inspect(static_cast<HBITMAP>(bitmap.get())) : BitmapFacts{};
  };
  BitmapFacts png = thumbnail("wide.png", 100, 100);
  EXPECT_EQ(png.width, 100);
  EXPECT_EQ(png.height, 50);
  EXPECT_TRUE(Near(png.centre, 0xFF0000)) << std::hex << png.centre;

  BitmapFacts jpeg = thumbnail("tall.jpg", 100, 100);
  EXPECT_EQ(jpeg.width, 50);
  EXPECT_EQ(jpeg.height, 100);
  EXPECT_TRUE(Near(jpeg.centre, 0x0000FF)) << std::hex << jpeg.centre;

  // A box with a side of 0 means 64 x 64.
  png = thumbnail("wide.png", 0, 100);
  EXPECT_EQ(png.width, 64);
  EXPECT_EQ(png.height, 32);

  // Images smaller than the box keep their size.
  BitmapFacts small = thumbnail("small.png", 100, 100);
  EXPECT_EQ(small.width, 20);
  EXPECT_EQ(small.height, 10);
  EXPECT_TRUE(Near(small.centre, 0x00FF00)) << std::hex << small.centre;

  nav.SetObjectName("text.txt");
  EXPECT_EQ(nav.GetThumbnailBitmap(100, 100), nullptr);
}

TEST(ZelnorItems, UIObjectsForTheItemOrForMultiObjects) {
  TempDir dir;
  dir.File("a.txt", "a");
  dir.File("b.txt", "b");
  dir.File("c.txt", "c");
  TZelnor nav;
  nav.SetDirectory(dir.Path());
  nav.SetObjectName("c.txt");

  auto droppedFiles = [](IDataObject* data) {
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return -1;
    const int count = int(DragQueryFileW(static_cast<HDROP>(medium.hGlobal), 0xFFFFFFFF, nullptr, 0));
    ReleaseStgMedium(&medium);
    return count;
  };

  host::ComPtr<IDataObject> data;
  nav.GetUIObject(data);
  ASSERT_TRUE(data);
  EXPECT_EQ(droppedFiles(data.Get()), 1);

  // Names and full paths of MultiObjects apply to one call, then the list is empty and the item
  // is back.
  nav.MultiObjects()->Add("a.txt");
  nav.MultiObjects()->Add("B.TXT");
  nav.GetUIObject(data);
  ASSERT_TRUE(data);
  EXPECT_EQ(droppedFiles(data.Get()), 2);
  EXPECT_EQ(nav.MultiObjects()->Count(), 0);
  EXPECT_EQ(nav.GetObjectName(), "c.txt");

  // Full paths are found in their folder; the binding and the item stay.
  nav.MultiObjects()->Add(dir.Path() + "\\a.txt");
  nav.MultiObjects()->Add(dir.Path() + "\\b.txt");
  nav.GetUIObject(data);
  ASSERT_TRUE(data);
  EXPECT_EQ(droppedFiles(data.Get()), 2);
  EXPECT_EQ(nav.Folder(), dir.Path() + "\\");
  EXPECT_EQ(nav.GetObjectName(), "c.txt");

  // A name that is not there raises the error of SetObjectName and still clears the list.
  nav.SetDirectory(dir.Path());
  nav.SetObjectName("c.txt");
  nav.MultiObjects()->Add("missing.txt");
  EXPECT_THROW(nav.GetUIObject(data), EZelnorError);
  EXPECT_EQ(nav.MultiObjects()->Count(), 0);
  EXPECT_EQ(nav.GetObjectName(), "c.txt");

  // Interfaces the shell lacks give nothing and no info tip.
  host::ComPtr<IQueryInfo> info;
  nav.GetUIObject(IID_IQueryInfo, reinterpret_cast<void**>(info.GetAddressOf()));
  if (!info) {
    EXPECT_EQ(nav.GetInfoTip(), "");
  }
}
