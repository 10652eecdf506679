// The file list's icons, thumbnails and check boxes on real files.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Pictures.h"
#include "Pump.h"
#include "controls/FileList.h"
#include "host/forms/Forms.h"
#include "link/ShellLink.h"
#include "selection/KivSelectionList.h"
#include "shell/TempDir.h"
#include "threads/ThreadPool.h"

using namespace zelnor;
using host::TListItem;
using testing_support::PumpMessagesUntil;
using testing_support::TempDir;
using testing_support::WritePicture;

namespace {

class OpenFileList : public TKivFileList {
 public:
  using TKivFileList::GetImageIndex;
  using TKivFileList::MouseDown;
  using TKivFileList::TKivFileList;
};

struct FileListImagesTest : ::testing::Test {
  TempDir dir;
  host::TForm form;
  OpenFileList* list = new OpenFileList(&form);
  TKivShellLink link;

  void SetUp() override {
    form.SetBounds(10, 10, 600, 400);
    list->SetParent(&form);
    list->SetBounds(0, 0, 580, 360);
    form.Show();
  }
  void TearDown() override { delete list; }

  TListItem* Row(const String& path) {
    TListItem* item = list->ItemOfPath(path);
    EXPECT_NE(item, nullptr) << path;
    return item;
  }
  // Completes the row's image as drawing would; answers its index.
  int Image(const String& path) {
    TListItem* item = Row(path);
    list->GetImageIndex(item);
    return item->ImageIndex();
  }
  POINT OnBox(TListItem* item) {
    const RECT icon = item->DisplayRect(host::drIcon);
    return POINT{icon.left - 4, icon.bottom - 3};
  }
};

}  // namespace

TEST_F(FileListImagesTest, PlainFilesShareTheIconOfTheirExtensionWithoutAShellLookup) {
  const String a = dir.File("a.txt", "a"), b = dir.File("b.txt", "b"), c = dir.Folder("sub");
  for (const String& path : {a, b, c}) list->Add(path);
  EXPECT_GE(Image(a), 0);
  EXPECT_EQ(Image(a), Image(b));
  EXPECT_NE(Image(a), Image(c)) << "a folder shows the folder icon";
  // No row had to be parsed by the shell for it.
  for (const String& path : {a, b, c}) EXPECT_FALSE(TKivFileList::ItemData(Row(path))->listsTried);
}

TEST_F(FileListImagesTest, ThumbnailsOnShowPicturesOffRestoresTheViewAndTheIcons) {
  const String picture = dir.File("wide.jpg");
  ASSERT_TRUE(WritePicture(host::ToWide(picture), 320, 200, GUID_ContainerFormatJpeg));
  const String note = dir.File("note.txt", "no picture");
  list->Add(picture);
  list->Add(note);
  const int icon = Image(note);
  host::TCustomImageList* system = list->LargeImages();

  list->SetThumbnails(true);
  EXPECT_EQ(list->ViewStyle(), host::vsIcon);
  EXPECT_EQ(list->LargeImages(), list->ThumbnailImages());
  EXPECT_LT(Row(note)->ImageIndex(), 0) << "every row asks again";
  EXPECT_GE(Image(picture), 0);
  EXPECT_GE(Image(note), 0);
  EXPECT_EQ(list->ThumbnailImages()->Count(), 2);
  EXPECT_TRUE(PumpMessagesUntil([&] { return list->ThumbnailRequests().Pool()->Count() == 0; }));

  // Off: the style of before (not the icon view it saved again), the system icons, and no
  // pictures kept.
  list->SetThumbnails(false);
  EXPECT_EQ(list->ViewStyle(), host::vsReport);
  EXPECT_EQ(list->LargeImages(), system);
  EXPECT_EQ(list->ThumbnailImages()->Count(), 0);
  EXPECT_EQ(Image(note), icon);

  // Clearing drops the pictures with the rows.
  list->SetThumbnails(true);
  Image(picture);
  list->Clear();
  EXPECT_EQ(list->ThumbnailImages()->Count(), 0);
  EXPECT_TRUE(PumpMessagesUntil([&] { return list->ThumbnailRequests().Pool()->Count() == 0; }));
  EXPECT_EQ(list->ThumbnailImages()->Count(), 0);
}

TEST_F(FileListImagesTest, CheckBoxesNeedALinkAndAClickOnABoxTogglesItsPath) {
  list->SetCheckboxes(true);
  EXPECT_FALSE(list->Checkboxes());

  list->SetShellLink(&link);
  list->SetCheckboxes(true);
  ASSERT_TRUE(list->Checkboxes());
  const String file = dir.File("\xE5\x86\x99\xE7\x9C\x9F.txt", "12345");
  TListItem* item = list->Add(file);
  ASSERT_NE(item, nullptr);
  Image(file);
  EXPECT_EQ(list->GetItemSelectionState(0), ssUnChecked);
  std::vector<TKivSelectionState> told;
  list->OnCheckStateChanged = [&](host::TObject*, int index, const String& path, TKivSelectionState state) {
    EXPECT_EQ(index, 0);
    EXPECT_EQ(path, file);
    told.push_back(state);
  };

  // Beside the box: nothing changes.
  const RECT label = item->DisplayRect(host::drLabel);
  list->MouseDown(host::mbLeft, 0, label.left + 5, (label.top + label.bottom) / 2);
  EXPECT_TRUE(told.empty());

  const POINT box = OnBox(item);
  list->MouseDown(host::mbLeft, 0, box.x, box.y);
  EXPECT_EQ(link.SelectionList()->IsPathSelected(file), ssChecked);
  EXPECT_EQ(list->GetItemSelectionState(0), ssChecked);
  list->MouseDown(host::mbLeft, 0, box.x, box.y);
  EXPECT_EQ(link.SelectionList()->IsPathSelected(file), ssUnChecked);
  EXPECT_EQ(told, (std::vector<TKivSelectionState>{ssChecked, ssUnChecked}));

  // Pressed through the window, a quick second press is one more click on the box: the row is
  // neither selected nor opened.
  bool opened = false;
  list->OnDblClick = [&](host::TObject*) { opened = true; };
  const LPARAM at = MAKELPARAM(box.x, box.y);
  SendMessageW(list->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(list->Handle(), WM_LBUTTONUP, 0, at);
  SendMessageW(list->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageW(list->Handle(), WM_LBUTTONUP, 0, at);
  EXPECT_EQ(told, (std::vector<TKivSelectionState>{ssChecked, ssUnChecked, ssChecked, ssUnChecked}));
  EXPECT_FALSE(item->Selected());
  EXPECT_FALSE(opened);
}

TEST_F(FileListImagesTest, SmartRefreshReadsTheBoxesOfFewRowsAndRepaintsMany) {
  list->SetShellLink(&link);
  list->SetCheckboxes(true);
  const String file = dir.File("a.txt", "a");
  list->Add(file);
  Image(file);
  link.SelectionList()->AddPathToSelection(file);
  list->SmartRefresh();
  EXPECT_EQ(list->GetItemSelectionState(0), ssChecked);

  for (int i = 0; i < 300; ++i) list->Add(dir.Path() + "\\missing" + std::to_string(i) + ".txt");
  Row(file)->SetSelected(true);
  link.SelectionList()->Clear();
  list->SmartRefresh();
  // Too many to read now: the rows are completed again when drawn; the selection stays.
  EXPECT_LT(Row(file)->ImageIndex(), 0);
  EXPECT_TRUE(Row(file)->Selected());
  EXPECT_EQ(Image(file) >= 0, true);
  EXPECT_EQ(list->GetItemSelectionState(0), ssUnChecked);
}
