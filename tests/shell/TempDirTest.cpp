// The tests' temporary folder: what it removes when it goes, and what it leaves alone.
#include <gtest/gtest.h>

#include "Outside.h"
#include "shell/TempDir.h"

using testing_support::TempDir;

TEST(TempDir, RemovesLinksWithoutFollowingThem) {
  TempDir keep;
  const std::string precious = keep.File("precious.txt", "keep me");
  std::wstring removed;
  {
    TempDir dir;
    removed = dir.PathW();
    dir.File("a.txt", "a");
    dir.Folder("sub\\deeper");
    if (!testing_support::LinkFromOutside(dir.PathW() + L"\\sub\\loop", dir.PathW()) ||
        !testing_support::LinkFromOutside(dir.PathW() + L"\\out", keep.PathW()))
      GTEST_SKIP() << "no symbolic links on this system";
    ASSERT_NE(GetFileAttributesW((dir.PathW() + L"\\sub\\loop\\a.txt").c_str()),
              INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_EQ(GetFileAttributesW(removed.c_str()), INVALID_FILE_ATTRIBUTES) << "the folder is gone";
  EXPECT_NE(GetFileAttributesW(host::ToWide(precious).c_str()), INVALID_FILE_ATTRIBUTES)
      << "a link's target is not emptied";
  EXPECT_NE(GetFileAttributesW(keep.PathW().c_str()), INVALID_FILE_ATTRIBUTES);
}
