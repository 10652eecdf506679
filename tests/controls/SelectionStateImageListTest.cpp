#include "controls/SelectionStateImageList.h"

#include <gtest/gtest.h>

#include <vector>

using namespace zelnor;
using namespace host;

namespace {
std::vector<COLORREF> DrawnOnLime(TKivSelectionStateImageList& list, int index) {
  TBitmap target(16, 16);
  target.Canvas()->Brush()->SetColor(clLime);
  target.Canvas()->FillRect(RECT{0, 0, 16, 16});
  list.Draw(target.Canvas(), 0, 0, index);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) pixels.push_back(COLORREF(target.Canvas()->Pixel(x, y)));
  return pixels;
}
}  // namespace

TEST(SelectionStateImageList, HoldsFiveDistinctBoxesOnATransparentGround) {
  TKivSelectionStateImageList list;
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Width(), 16);
  EXPECT_EQ(list.Height(), 16);
  std::vector<std::vector<COLORREF>> images;
  for (int i = 0; i < 5; ++i) images.push_back(DrawnOnLime(list, i));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(images[i][0], RGB(0, 255, 0)) << "ground of image " << i << " is masked";
    for (int j = i + 1; j < 5; ++j) EXPECT_NE(images[i], images[j]) << i << " vs " << j;
  }
  const int centre = 8 * 16 + 8;  // inside the box, off the check mark's stroke for an empty box
  EXPECT_EQ(images[0][centre], RGB(0, 255, 0));  // unused: the white inside is masked too
  EXPECT_NE(images[3][centre], RGB(0, 255, 0));  // unchecked: the box is filled
}

TEST(SelectionStateImageList, CheckBoxBitmapIsSixteenSquareOnItsGround) {
  auto bitmap = TKivSelectionStateImageList::GetCheckBoxBitmap(true, true, false, clBlue);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), 16);
  EXPECT_EQ(bitmap->Height(), 16);
  EXPECT_EQ(COLORREF(bitmap->Canvas()->Pixel(0, 0)), RGB(0, 0, 255));
  EXPECT_EQ(COLORREF(bitmap->Canvas()->Pixel(15, 15)), RGB(0, 0, 255));  // right of the box
  EXPECT_NE(COLORREF(bitmap->Canvas()->Pixel(2, 2)), RGB(0, 0, 255));    // the box frame
  auto other = TKivSelectionStateImageList::GetCheckBoxBitmap(true, false, false, clBlue);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      ASSERT_EQ(bitmap->Canvas()->Pixel(x, y), other->Canvas()->Pixel(x, y));  // flag is ignored
}
