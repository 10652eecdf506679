// Shell file operations on real files: copies, moves, renames and deletes, names outside the ANSI
// code page, long paths, the user's cancel and the settings streamed with a form.
#include "dialogs/FileOperation.h"

#include "ModalDriver.h"
#include "host/core/SysUtils.h"
#include "shell/TempDir.h"

#include <gtest/gtest.h>

using namespace zelnor;
using testing_support::TempDir;

namespace {

bool Exists(const host::String& path) {
  return GetFileAttributesW(host::ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// "Grüße ☺ 日記" style names: letters outside any single ANSI code page.
const host::String kWideName = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x98\xBA \xE6\x97\xA5\xE8\xA8\x98";

}  // namespace

TEST(FileOperation, StartsEmptyAndSettingSourceFilesCopiesTheList) {
  TKivFileOperation op;
  EXPECT_EQ(op.Operation(), otCopy);
  EXPECT_EQ(op.Options(), 0u);
  EXPECT_EQ(op.Destination(), "");
  EXPECT_EQ(op.Title(), "");
  EXPECT_EQ(op.SourceFiles()->Count(), 0);
  EXPECT_FALSE(op.OperationsAborted());

  host::TStringList files;
  files.Add("a.txt");
  files.Add("b.txt");
  op.SetSourceFiles(&files);
  files.Add("c.txt");
  EXPECT_EQ(op.SourceFiles()->Count(), 2);
  op.SetSourceFiles(op.SourceFiles());  // itself: unchanged
  EXPECT_EQ(op.SourceFiles()->Count(), 2);
}

TEST(FileOperation, CopiesMovesRenamesAndDeletesNamesOutsideTheCodePage) {
  TempDir dir;
  const host::String target = dir.Folder("target");
  const host::String first = dir.File(kWideName + ".txt", "one");
  const host::String second = dir.File("plain.txt", "two");

  TKivFileOperation op;
  op.SetOptions((1u << soNoConfirmation) | (1u << soSilent) | (1u << soNoErrorUI));
  op.SourceFiles()->Add(first);
  op.SourceFiles()->Add(second);
  op.SetDestination(target);
  ASSERT_TRUE(op.Execute());
  EXPECT_FALSE(op.OperationsAborted());
  EXPECT_TRUE(Exists(target + "\\" + kWideName + ".txt"));
  EXPECT_TRUE(Exists(target + "\\plain.txt"));
  EXPECT_TRUE(Exists(first));

  // Rename the copy to another name outside the code page.
  op.SetOperation(otRename);
  op.SourceFiles()->Clear();
  op.SourceFiles()->Add(target + "\\" + kWideName + ".txt");
  op.SetDestination(target + "\\\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82.txt");
  ASSERT_TRUE(op.Execute());
  EXPECT_FALSE(Exists(target + "\\" + kWideName + ".txt"));
  EXPECT_TRUE(Exists(op.Destination()));

  // Move the original and a folder into a folder below the target. (Wine moves one source per
  // operation: several at once answer "cancelled" and move nothing.)
  const host::String moved = dir.Folder("target\\" + kWideName);
  const host::String folder = dir.Folder("folder \xE6\x97\xA5\\inner");
  op.SetOperation(otMove);
  op.SourceFiles()->Clear();
  op.SourceFiles()->Add(first);
  op.SetDestination(moved);
  ASSERT_TRUE(op.Execute()) << GetLastError();
  EXPECT_FALSE(Exists(first));
  EXPECT_TRUE(Exists(moved + "\\" + kWideName + ".txt"));
  op.SourceFiles()->Clear();
  op.SourceFiles()->Add(host::ExtractFileDir(folder));
  ASSERT_TRUE(op.Execute()) << GetLastError();
  EXPECT_FALSE(Exists(folder));
  EXPECT_TRUE(Exists(moved + "\\folder \xE6\x97\xA5\\inner"));
  EXPECT_TRUE(Exists(second));

  // Delete the folder with everything in it.
  op.SetOperation(otDelete);
  op.SourceFiles()->Clear();
  op.SourceFiles()->Add(target);
  op.SetDestination("");
  ASSERT_TRUE(op.Execute());
  EXPECT_FALSE(Exists(target));
  EXPECT_FALSE(op.OperationsAborted());
}

TEST(FileOperation, LongPathsAreTakenWholeAndTooLongOnesFailWithoutCopying) {
  TempDir dir;
  // A folder chain that makes the paths longer than 200 characters.
  const host::String deep = dir.Folder(host::String(60, 'a') + "\\" + host::String(60, 'b') +
                                       "\\" + host::String(40, 'c'));
  const host::String source = dir.File("long-source.txt", "x");
  const host::String copied = deep + "\\" + host::String(20, 'd') + ".txt";
  ASSERT_GT(copied.size(), 200u);
  ASSERT_LT(copied.size(), size_t(MAX_PATH));

  TKivFileOperation op;
  op.SetOptions((1u << soNoConfirmation) | (1u << soSilent) | (1u << soNoErrorUI));
  op.SourceFiles()->Add(source);
  op.SetDestination(copied);
  ASSERT_TRUE(op.Execute());
  EXPECT_TRUE(Exists(copied));

  // Back again from the long path.
  op.SourceFiles()->Clear();
  op.SourceFiles()->Add(copied);
  op.SetDestination(dir.Path() + "\\back.txt");
  ASSERT_TRUE(op.Execute());
  EXPECT_TRUE(Exists(dir.Path() + "\\back.txt"));

  // A destination the shell cannot take is a failure, not a silent success.
  op.SourceFiles()->Clear();
  op.SourceFiles()->Add(source);
  op.SetDestination(deep + "\\" + host::String(120, 'e'));
  SetLastError(0);
  EXPECT_FALSE(op.Execute());
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_FALSE(op.OperationsAborted());
}

TEST(FileOperation, AnEmptySourceListPassesOneZeroAndGetsThePlatformsVerdict) {
  TempDir dir;
  TKivFileOperation op;
  op.SetOptions((1u << soNoConfirmation) | (1u << soSilent) | (1u << soNoErrorUI));
  op.SetDestination(dir.Path());
  SetLastError(0);
  EXPECT_FALSE(op.Execute());
  EXPECT_NE(GetLastError(), 0u);

  // Empty entries name nothing; the entries behind them still count.
  const host::String file = dir.File("after-empty.txt", "x");
  const host::String target = dir.Folder("t");
  op.SourceFiles()->Add("");
  op.SourceFiles()->Add(file);
  op.SetDestination(target);
  EXPECT_TRUE(op.Execute());
  EXPECT_TRUE(Exists(target + "\\after-empty.txt"));
}

TEST(FileOperation, CancellingAConfirmationSetsOperationsAborted) {
  TempDir dir;
  const host::String file = dir.File("keep.txt", "new");
  TKivFileOperation op;
  op.SetOptions(1u << soSilent);
  op.SetOperation(otDelete);
  op.SourceFiles()->Add(file);
  {
    // The shell asks whether to delete; the user says no.
    testing_support::AnswerNextDialog answer(IDNO);
    op.Execute();
    EXPECT_EQ(answer.Answered(), 1);
  }
  EXPECT_TRUE(op.OperationsAborted());
  EXPECT_TRUE(Exists(file));

  // The next run starts afresh.
  op.SetOptions((1u << soSilent) | (1u << soNoConfirmation));
  EXPECT_TRUE(op.Execute());
  EXPECT_FALSE(op.OperationsAborted());
  EXPECT_FALSE(Exists(file));
}
