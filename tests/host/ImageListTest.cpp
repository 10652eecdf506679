#include "host/graphics/ImageList.h"

#include <gtest/gtest.h>

using namespace host;

namespace {

void Fill(TBitmap& bitmap, const RECT& rect, TColor color) {
  bitmap.Canvas()->Brush()->SetColor(color);
  bitmap.Canvas()->FillRect(rect);
}

// A 16 x 16 red image with a blue 8 x 8 square in the middle.
void MakeSquare(TBitmap& bitmap) {
  bitmap.SetSize(16, 16);
  Fill(bitmap, RECT{0, 0, 16, 16}, clRed);
  Fill(bitmap, RECT{4, 4, 12, 12}, clBlue);
}

}  // namespace

TEST(ImageList, AddMaskedLeavesTheSourceAndDrawsThroughTheMask) {
  TCustomImageList list;
  TBitmap image;
  MakeSquare(image);
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(list.AddMasked(&image, clRed), 0);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(COLORREF(image.Canvas()->Pixel(0, 0)), RGB(255, 0, 0));  // not blackened

  TBitmap target(20, 20);
  Fill(target, RECT{0, 0, 20, 20}, clLime);
  list.Draw(target.Canvas(), 2, 2, 0);
  EXPECT_EQ(COLORREF(target.Canvas()->Pixel(3, 3)), RGB(0, 255, 0));  // masked away
  EXPECT_EQ(COLORREF(target.Canvas()->Pixel(9, 9)), RGB(0, 0, 255));

  TBitmap small(8, 8);
  EXPECT_THROW(list.AddMasked(&small, clRed), EImageListError);
  EXPECT_EQ(list.Count(), 1);
}

TEST(ImageList, ReplaceDeleteAndClearKeepTheCountRight) {
  TCustomImageList list(16, 16);
  TBitmap red(16, 16), green(16, 16);
  Fill(red, RECT{0, 0, 16, 16}, clRed);
  Fill(green, RECT{0, 0, 16, 16}, clGreen);
  list.Add(&red, nullptr);
  list.Add(&red, nullptr);
  TBitmap strip(48, 16);  // a wide image adds one image per width
  Fill(strip, RECT{0, 0, 48, 16}, clNavy);
  EXPECT_EQ(list.Add(&strip, nullptr), 2);
  EXPECT_EQ(list.Count(), 5);

  list.Replace(1, &green, nullptr);
  TBitmap out;
  ASSERT_TRUE(list.GetBitmap(1, &out));
  EXPECT_EQ(COLORREF(out.Canvas()->Pixel(8, 8)), RGB(0, 128, 0));
  list.ReplaceMasked(0, &green, clRed);
  EXPECT_EQ(list.Count(), 5);
  EXPECT_FALSE(list.GetBitmap(7, &out));
  EXPECT_THROW(list.Replace(9, &green, nullptr), EImageListError);

  list.Delete(0);
  EXPECT_EQ(list.Count(), 4);
  list.BeginUpdate();
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  list.Delete(0);
  list.Clear();
  EXPECT_EQ(changes, 0);
  list.EndUpdate();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(list.Count(), 0);
}

TEST(ImageList, SharedHandleIsNeitherFreedNorResized) {
  HIMAGELIST foreign = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1);
  TBitmap image;
  MakeSquare(image);
  {
    TCustomImageList list;
    list.SetShareImages(true);
    list.SetHandle(foreign);
    list.AddMasked(&image, clRed);
    EXPECT_EQ(list.Count(), 1);
    list.SetSize(32, 32);  // lets go of the shared list and starts an own one
    EXPECT_NE(list.Handle(), foreign);
    EXPECT_EQ(list.Count(), 0);
    int w = 0, h = 0;
    ImageList_GetIconSize(foreign, &w, &h);
    EXPECT_EQ(w, 16);
    list.SetHandle(foreign);
    EXPECT_EQ(list.Width(), 16);  // the size is taken from the handle
  }
  EXPECT_EQ(ImageList_GetImageCount(foreign), 1);  // still alive
  EXPECT_TRUE(ImageList_Destroy(foreign));

  // Without sharing, a handle given to the list is the list's own.
  TCustomImageList owner;
  owner.SetHandle(ImageList_Create(24, 24, ILC_COLOR32, 1, 1));
  EXPECT_EQ(owner.Width(), 24);
  owner.SetSize(8, 8);
  int w = 0, h = 0;
  ImageList_GetIconSize(owner.Handle(), &w, &h);
  EXPECT_EQ(w, 8);
}

TEST(ImageList, AssignMakesAPrivateCopy) {
  TCustomImageList source;
  TBitmap image;
  MakeSquare(image);
  source.AddMasked(&image, clRed);
  source.AddMasked(&image, clBlue);
  source.SetBkColor(clWhite);
  TCustomImageList copy;
  copy.Assign(&source);
  EXPECT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy.BkColor(), clWhite);
  EXPECT_NE(copy.Handle(), source.Handle());
  source.Clear();
  EXPECT_EQ(copy.Count(), 2);
  copy.AddImages(&copy);  // adding itself does nothing
  EXPECT_EQ(copy.Count(), 2);
  TCustomImageList more;
  more.AddImages(&copy);
  EXPECT_EQ(more.Count(), 2);
}
