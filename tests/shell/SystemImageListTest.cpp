#include "shell/SystemImageList.h"

#include "host/core/Streaming.h"

#include <gtest/gtest.h>
#include <shellapi.h>

using namespace zelnor;

namespace {

HIMAGELIST SystemList(bool large) {
  SHFILEINFOW info{};
  return reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(
      L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | (large ? 0 : SHGFI_SMALLICON)));
}

class SystemImageListTest : public ::testing::Test {
 protected:
  void SetUp() override { InitializeShell(); }
};

}  // namespace

TEST_F(SystemImageListTest, ExtensionWithOrWithoutDotGivesTheSameIcon) {
  TKivSystemImageList list;
  const int withDot = list.GetIndexFromExtension(".txt");
  EXPECT_GE(withDot, 0);
  EXPECT_EQ(list.GetIndexFromExtension("txt"), withDot);
  EXPECT_EQ(list.GetIndexFromExtension(""), list.GetFileInfo("C:\\other", false, FILE_ATTRIBUTE_NORMAL));
  EXPECT_GE(list.GetFolderIconNumber(), 0);
  EXPECT_GE(list.GetOpenedFolderIconNumber(), 0);
  EXPECT_EQ(list.GetIndexFromFileName("C:\\no\\such\\file.txt"), -1);  // the shell must find it
}

TEST_F(SystemImageListTest, SpecialFolderIconIsMissingExactlyWhenTheFolderIs) {
  TKivSystemImageList list;
  for (int i = 0; i < SHELL_FOLDER_COUNT; ++i) {
    const auto folder = TKivShellFolder(i);
    UniquePidl pidl = GetIdListFromSpecialFolder(folder);
    const int icon = list.GetSpecialFolderIcon(folder);
    if (pidl) {
      EXPECT_GE(icon, 0) << "folder " << i;
    } else {
      EXPECT_EQ(icon, -1) << "folder " << i;
    }
  }
}

TEST_F(SystemImageListTest, SharesTheSystemListOrHoldsAPrivateCopy) {
  const HIMAGELIST small = SystemList(false), large = SystemList(true);
  ASSERT_NE(small, nullptr);
  ASSERT_NE(large, nullptr);
  {
    TKivSystemImageList shared;
    EXPECT_TRUE(shared.ShareImages());
    EXPECT_EQ(shared.Handle(), small);
    shared.SetSize(si_large);
    EXPECT_EQ(shared.Handle(), large);
    EXPECT_EQ(shared.Width(), GetSystemMetrics(SM_CXICON));
  }
  EXPECT_GT(ImageList_GetImageCount(small), 0);  // the shared lists live on

  TKivSystemImageList copy;
  copy.SetShareImages(false);
  EXPECT_NE(copy.Handle(), small);
  EXPECT_EQ(copy.Width(), GetSystemMetrics(SM_CXSMICON));
  EXPECT_EQ(copy.Count(), ImageList_GetImageCount(small));
  const HIMAGELIST smallCopy = copy.Handle();
  copy.SetSize(si_large);  // the copy is replaced with the large images
  EXPECT_NE(copy.Handle(), large);
  EXPECT_NE(copy.Handle(), smallCopy);
  EXPECT_EQ(copy.Width(), GetSystemMetrics(SM_CXICON));
  EXPECT_EQ(copy.Count(), ImageList_GetImageCount(large));
  copy.SetShareImages(true);
  EXPECT_EQ(copy.Handle(), large);

  TKivSystemImageList designed;
  designed.SetDesigning(true);
  designed.SetShareImages(false);  // at design time the system list is always used itself
  EXPECT_EQ(designed.Handle(), small);
}

TEST_F(SystemImageListTest, FormKeepsOnlyTheAttributesAndReadingRebinds) {
  TKivSystemImageList list;
  list.SetName("Icons");
  list.SetShareImages(false);
  list.SetSize(si_large);
  const host::String text = host::WriteComponentText(&list);
  EXPECT_NE(text.find("ShareImages = False"), host::String::npos) << text;
  EXPECT_NE(text.find("Size = si_large"), host::String::npos) << text;
  EXPECT_EQ(text.find("Width"), host::String::npos) << text;

  TKivSystemImageList read;
  host::ReadComponentText(text, &read);
  EXPECT_FALSE(read.ShareImages());
  EXPECT_EQ(read.Size(), si_large);
  EXPECT_EQ(read.Width(), GetSystemMetrics(SM_CXICON));
  EXPECT_NE(read.Handle(), SystemList(true));  // its own copy again
  EXPECT_GT(read.Count(), 0);
}
