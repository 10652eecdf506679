// The thumbnail worker on real picture files: what it hands back, to whom, and when not.
#include <gtest/gtest.h>

#include <memory>

#include "Pictures.h"
#include "Pump.h"
#include "extras/ThumbnailThread.h"
#include "shell/TempDir.h"

using namespace zelnor;
using testing_support::BitmapSize;
using testing_support::PumpSynchronizeUntil;
using testing_support::TempDir;
using testing_support::WritePicture;

namespace {

struct Result {
  bool delivered = false;
  SIZE size{};
  int imageIndex = -2;
  unsigned stamp = 0;
};

// The done handler of the tests: takes the bitmap and notes what came back.
TKivThumbnailDoneEvent Into(Result& result) {
  return [&result](TKivThumbnailThread* thread) {
    result.delivered = true;
    result.imageIndex = thread->ImageIndex();
    result.stamp = thread->Stamp();
    host::UniqueGdiObject bitmap{thread->TakeBitmap()};
    result.size = BitmapSize(HBITMAP(bitmap.get()));
  };
}

struct ThumbnailThreadTest : ::testing::Test {
  TempDir dir;
  TZelnor navigator;

  void SetUp() override {
    ASSERT_TRUE(WritePicture(dir.PathW() + L"\\wide.jpg", 640, 480, GUID_ContainerFormatJpeg));
    ASSERT_TRUE(WritePicture(dir.PathW() + L"\\tall.png", 120, 240, GUID_ContainerFormatPng));
    dir.File("note.txt", "no picture here");
    navigator.SetDirectory(dir.Path());
  }
};

}  // namespace

TEST_F(ThumbnailThreadTest, PicturesComeBackScaledIntoTheBoxWithTheRequestersMarks) {
  Result wide, tall;
  navigator.SetObjectName("wide.jpg");
  auto* first = new TKivThumbnailThread(navigator, 100, 100, Into(wide));
  first->SetImageIndex(7);
  first->SetStamp(42);
  navigator.SetObjectName("tall.png");
  auto* second = new TKivThumbnailThread(navigator, 100, 100, Into(tall));
  // Made suspended: nothing runs before the requester says so.
  EXPECT_TRUE(first->Suspended());
  first->Start();
  second->Start();
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return wide.delivered && tall.delivered; }));
  EXPECT_EQ(wide.size.cx, 100);
  EXPECT_EQ(wide.size.cy, 75);
  EXPECT_EQ(wide.imageIndex, 7);
  EXPECT_EQ(wide.stamp, 42u);
  EXPECT_EQ(tall.size.cx, 50);
  EXPECT_EQ(tall.size.cy, 100);
}

TEST_F(ThumbnailThreadTest, AnItemWithoutAPictureGivesNoBitmap) {
  Result note;
  navigator.SetObjectName("note.txt");
  (new TKivThumbnailThread(navigator, 64, 64, Into(note)))->Start();
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return note.delivered; }));
  EXPECT_EQ(note.size.cx, 0);
}

TEST_F(ThumbnailThreadTest, ASupersededRequestIsNeverDelivered) {
  Result late, next;
  navigator.SetObjectName("wide.jpg");
  auto* old = new TKivThumbnailThread(navigator, 64, 64, Into(late));
  old->Start();
  // Let it finish its work first: its end is still on the way to this thread.
  Sleep(300);
  old->Supersede();
  (new TKivThumbnailThread(navigator, 64, 64, Into(next)))->Start();
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return next.delivered; }));
  PumpSynchronizeUntil([] { return false; }, 300);
  EXPECT_FALSE(late.delivered);
}

TEST_F(ThumbnailThreadTest, APoolStartsItAndDropsTheResultsOfStoppedOnes) {
  Result first, second, pooled;
  navigator.SetObjectName("wide.jpg");
  {
    TThreadPool pool;
    pool.SetMaxRunningThreads(1);
    auto* running = new TKivThumbnailThread(navigator, 32, 32, Into(first));
    auto* waiting = new TKivThumbnailThread(navigator, 32, 32, Into(second));
    pool.Add(running);
    pool.Add(waiting);
    EXPECT_TRUE(running->IsStarted());
    EXPECT_FALSE(waiting->IsStarted());
  }  // the pool stops both before either end is reported
  EXPECT_FALSE(first.delivered);
  EXPECT_FALSE(second.delivered);

  TThreadPool pool;
  pool.Add(new TKivThumbnailThread(navigator, 32, 32, Into(pooled)));
  ASSERT_TRUE(PumpSynchronizeUntil([&] { return pooled.delivered; }));
  EXPECT_EQ(pooled.size.cx, 32);
}

TEST_F(ThumbnailThreadTest, ARequestThatNeverRunsCanBeDropped) {
  Result never;
  navigator.SetObjectName("wide.jpg");
  delete new TKivThumbnailThread(navigator, 32, 32, Into(never));
  EXPECT_FALSE(never.delivered);
}
