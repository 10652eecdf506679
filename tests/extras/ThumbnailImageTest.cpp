// The thumbnail panel on real picture files: the shown file, superseded requests, the link,
// enabling, resizing and form streaming.
#include <gtest/gtest.h>

#include <memory>

#include "Pictures.h"
#include "Pump.h"
#include "extras/ThumbnailImage.h"
#include "host/core/Streaming.h"
#include "host/forms/Forms.h"
#include "package/ZelnorComponents.h"
#include "shell/TempDir.h"

using namespace zelnor;
using testing_support::PumpMessagesUntil;
using testing_support::TempDir;
using testing_support::WritePicture;

namespace {

struct ThumbnailImageTest : ::testing::Test {
  TempDir dir;
  host::TForm form;
  TKivThumbnailImage* image = new TKivThumbnailImage(&form);

  void SetUp() override {
    ASSERT_TRUE(WritePicture(dir.PathW() + L"\\wide.jpg", 640, 480, GUID_ContainerFormatJpeg));
    ASSERT_TRUE(WritePicture(dir.PathW() + L"\\tall.png", 120, 240, GUID_ContainerFormatPng));
    dir.File("note.txt", "no picture here");
    form.SetBounds(10, 10, 300, 300);
    // Without a bevel the picture has the whole panel.
    image->SetBevelOuter(host::bvNone);
    image->SetParent(&form);
    form.Show();
  }

  String PathOf(const char* name) const { return dir.Path() + "\\" + name; }
  bool Settled() { return PumpMessagesUntil([&] { return image->ThumbnailThread() == nullptr; }); }
  SIZE PictureSize() const {
    return SIZE{image->Picture()->Width(), image->Picture()->Height()};
  }
};

}  // namespace

TEST_F(ThumbnailImageTest, ShowsThePictureOfItsPathAndHidesItWithoutOne) {
  EXPECT_EQ(image->Width(), 64);
  EXPECT_EQ(image->Height(), 64);
  EXPECT_EQ(image->Caption(), "");
  EXPECT_EQ(image->Version(), "TKivThumbnailImage V4.2");
  EXPECT_FALSE(image->PictureVisible());

  image->SetPath(PathOf("wide.jpg"));
  EXPECT_NE(image->ThumbnailThread(), nullptr);
  ASSERT_TRUE(Settled());
  EXPECT_TRUE(image->PictureVisible());
  EXPECT_EQ(PictureSize().cx, 64);
  EXPECT_EQ(PictureSize().cy, 48);
  EXPECT_TRUE(host::AnsiSameText(image->Path(), PathOf("wide.jpg")));

  // The same file in other letters asks nothing.
  String upper = PathOf("WIDE.JPG");
  image->SetPath(upper);
  EXPECT_EQ(image->ThumbnailThread(), nullptr);

  image->SetPath(PathOf("note.txt"));
  ASSERT_TRUE(Settled());
  EXPECT_FALSE(image->PictureVisible());

  image->SetPath("");
  EXPECT_EQ(image->ThumbnailThread(), nullptr);
  EXPECT_FALSE(image->PictureVisible());
  EXPECT_EQ(image->Path(), "");
}

TEST_F(ThumbnailImageTest, ANewerRequestWinsOverOneStillRunning) {
  image->SetPath(PathOf("wide.jpg"));
  TKivThumbnailThread* first = image->ThumbnailThread();
  image->SetPath(PathOf("tall.png"));
  EXPECT_NE(image->ThumbnailThread(), first);
  ASSERT_TRUE(Settled());
  // Give the first one every chance to arrive late.
  PumpMessagesUntil([] { return false; }, 300);
  EXPECT_EQ(PictureSize().cx, 32);
  EXPECT_EQ(PictureSize().cy, 64);

  // A path that does not exist fails quietly at run time and asks for the old picture again.
  image->SetPath(PathOf("missing.jpg"));
  ASSERT_TRUE(Settled());
  EXPECT_TRUE(image->PictureVisible());
  EXPECT_EQ(PictureSize().cy, 64);
}

TEST_F(ThumbnailImageTest, ResizingMakesThePictureAtOnceAndDropsTheRunningRequest) {
  image->SetPath(PathOf("wide.jpg"));
  ASSERT_NE(image->ThumbnailThread(), nullptr);
  image->SetBounds(0, 0, 32, 32);
  EXPECT_EQ(image->ThumbnailThread(), nullptr);
  EXPECT_EQ(PictureSize().cx, 32);
  PumpMessagesUntil([] { return false; }, 500);
  EXPECT_EQ(PictureSize().cx, 32);
  EXPECT_EQ(PictureSize().cy, 24);
}

TEST_F(ThumbnailImageTest, DisablingHidesThePictureAndEnablingAsksAgain) {
  image->SetPath(PathOf("wide.jpg"));
  ASSERT_TRUE(Settled());
  ASSERT_TRUE(image->PictureVisible());
  image->SetEnabled(false);
  EXPECT_FALSE(image->PictureVisible());
  image->SetPath(PathOf("tall.png"));
  EXPECT_EQ(image->ThumbnailThread(), nullptr);
  image->SetEnabled(true);
  EXPECT_NE(image->ThumbnailThread(), nullptr);
  ASSERT_TRUE(Settled());
  EXPECT_TRUE(image->PictureVisible());
  EXPECT_EQ(PictureSize().cy, 64);
}

TEST_F(ThumbnailImageTest, FollowsTheFileOfALinkedControl) {
  TKivShellLink link;
  image->SetShellLink(&link);
  EXPECT_EQ(link.Controls().Count(), 1);
  TZelnor navigator;
  navigator.SetDirectory(dir.Path());
  navigator.SetObjectName("tall.png");
  UniquePidl folder = navigator.GetFolderIdList();
  UniquePidl item = navigator.GetItemIdList();
  link.FileChanged(nullptr, folder.get(), item.get());
  ASSERT_TRUE(Settled());
  EXPECT_TRUE(image->PictureVisible());
  EXPECT_EQ(PictureSize().cx, 32);

  // Nil lists are ignored.
  image->FileChanged(nullptr, item.get());
  EXPECT_EQ(image->ThumbnailThread(), nullptr);
  EXPECT_TRUE(image->PictureVisible());
  image->SetShellLink(nullptr);
  EXPECT_EQ(link.Controls().Count(), 0);
}

TEST_F(ThumbnailImageTest, APanelDestroyedWhileItsRequestRunsIsNotCalledBack) {
  image->SetPath(PathOf("wide.jpg"));
  ASSERT_NE(image->ThumbnailThread(), nullptr);
  delete image;
  image = nullptr;
  // The request ends and frees itself without reaching the freed panel.
  PumpMessagesUntil([] { return false; }, 500);
  SUCCEED();
}

TEST_F(ThumbnailImageTest, FormTextsCarryThePathButNotTheInnerImage) {
  RegisterZelnorComponents();
  image->SetName("Thumb");
  image->SetPath(PathOf("wide.jpg"));
  ASSERT_TRUE(Settled());
  const String written = host::WriteComponentText(&form);
  EXPECT_NE(written.find("object Thumb: TKivThumbnailImage"), String::npos);
  EXPECT_NE(written.find("Path = "), String::npos);
  EXPECT_EQ(written.find("TImage"), String::npos);
  EXPECT_EQ(written.find("Version"), String::npos);

  String quoted;
  for (char c : PathOf("tall.png")) quoted += c == '\'' ? String("''") : String(1, c);
  const String text =
      "object PictureForm: TForm\n"
      "  ClientWidth = 200\n"
      "  ClientHeight = 200\n"
      "  object Shown: TKivThumbnailImage\n"
      "    BevelOuter = bvNone\n"
      "    Path = '" + quoted + "'\n"
      "  end\n"
      "end\n";
  std::unique_ptr<host::TForm> loaded(host::TForm::CreateFromText(text));
  auto* shown = dynamic_cast<TKivThumbnailImage*>(loaded->FindComponent("Shown"));
  ASSERT_NE(shown, nullptr);
  loaded->Show();
  ASSERT_TRUE(PumpMessagesUntil([&] { return shown->ThumbnailThread() == nullptr; }));
  EXPECT_TRUE(shown->PictureVisible());
  EXPECT_EQ(shown->Picture()->Height(), 64);
}
