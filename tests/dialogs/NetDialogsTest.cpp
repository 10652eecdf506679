// The network connection dialogs: option rules, design-time warnings, and the platform's answer
// (no network here: the dialogs fail at once).
#include "dialogs/NetDialogs.h"

#include "ModalDriver.h"

#include <gtest/gtest.h>

using namespace zelnor;

namespace {
constexpr unsigned Flags(std::initializer_list<TKivConnectionFlag> flags) {
  unsigned set = 0;
  for (TKivConnectionFlag f : flags) set |= 1u << f;
  return set;
}
}  // namespace

TEST(NetConnectionDialog, TheRecentListAndAReadOnlyPathExcludeEachOther) {
  TKivNetConnectionDialog dialog;
  EXPECT_EQ(dialog.Options(), Flags({cdPersist, cdUseMRU}));
  EXPECT_EQ(dialog.RemotePath(), "");
  EXPECT_EQ(dialog.ConnectedDrive(), "");

  dialog.SetOptions(Flags({cdReadOnlyPath, cdUseMRU}));
  EXPECT_EQ(dialog.Options(), Flags({cdUseMRU}));
  dialog.SetOptions(Flags({cdReadOnlyPath}));
  EXPECT_EQ(dialog.Options(), 0u);  // no RemotePath to show read-only

  dialog.SetRemotePath("\\\\server\\share");
  dialog.SetOptions(Flags({cdReadOnlyPath, cdPersist}));
  EXPECT_EQ(dialog.Options(), Flags({cdReadOnlyPath, cdPersist}));
  dialog.SetRemotePath("");
  EXPECT_EQ(dialog.Options(), Flags({cdPersist}));
}

TEST(NetConnectionDialog, DesignTimeWarnsThatAReadOnlyPathNeedsARemotePath) {
  TKivNetConnectionDialog dialog;
  dialog.SetDesigning(true);
  {
    testing_support::AnswerNextDialog answer(IDOK);
    dialog.SetOptions(Flags({cdReadOnlyPath}));
    EXPECT_EQ(answer.Answered(), 1);
    EXPECT_NE(answer.Texts().find("Please enter directory in property RemotePath!"),
              host::String::npos)
        << answer.Texts();
  }
  EXPECT_EQ(dialog.Options(), 0u);

  dialog.SetRemotePath("\\\\server\\share");
  dialog.SetOptions(Flags({cdReadOnlyPath}));
  {
    testing_support::AnswerNextDialog answer(IDOK);
    dialog.SetRemotePath("");
    EXPECT_EQ(answer.Answered(), 1);
  }
  EXPECT_EQ(dialog.Options(), 0u);
}

TEST(NetConnectionDialog, AFailedConnectionAnswersFalseAndKeepsThePlatformsError) {
  TKivNetConnectionDialog dialog;
  dialog.SetRemotePath("\\\\server\\share");
  int shows = 0, closes = 0;
  dialog.OnShow = [&](host::TObject*) { ++shows; };
  dialog.OnClose = [&](host::TObject*) {
    ++closes;
    SetLastError(0);  // a handler that touches the last error
  };
  SetLastError(0);
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_NETWORK));
  EXPECT_EQ(dialog.ConnectedDrive(), "");
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(closes, 1);
}

TEST(NetDisconnectDialog, AFailedDisconnectionAnswersFalseAndKeepsThePlatformsError) {
  TKivNetDisconnectDialog dialog;
  int shows = 0, closes = 0;
  dialog.OnShow = [&](host::TObject*) { ++shows; };
  dialog.OnClose = [&](host::TObject*) {
    ++closes;
    SetLastError(0);
  };
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_NETWORK));
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(closes, 1);
}
