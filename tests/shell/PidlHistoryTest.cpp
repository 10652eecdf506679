#include "shell/PidlHistory.h"

#include <gtest/gtest.h>

using namespace zelnor;

TEST(PidlHistory, AddAfterMoveBackCutsOffTheForwardPart) {
  TPidlHistory history;
  EXPECT_EQ(history.GetCurrentItemIDList(), nullptr);  // empty: nothing to read
  // The history takes each list over.
  PItemIDList a = CreatePIDL(2).release(), b = CreatePIDL(2).release();
  PItemIDList c = CreatePIDL(2).release(), d = CreatePIDL(2).release();
  history.Add(a);
  history.Add(b);
  history.Add(c);
  EXPECT_EQ(history.Position(), 2);
  EXPECT_EQ(history.GetCurrentItemIDList(), c);
  history.Add(nullptr);
  EXPECT_EQ(history.Count(), 3);

  history.MoveBack(1);
  EXPECT_EQ(history.GetCurrentItemIDList(), b);
  history.Add(d);  // c is freed
  ASSERT_EQ(history.Count(), 3);
  EXPECT_EQ(history.Items(0), a);
  EXPECT_EQ(history.Items(1), b);
  EXPECT_EQ(history.Items(2), d);
  EXPECT_EQ(history.GetCurrentItemIDList(), d);
}

TEST(PidlHistory, MovesStopAtTheEnds) {
  TPidlHistory history;
  history.MoveForward(3);
  EXPECT_EQ(history.Position(), 0);
  for (int i = 0; i < 3; ++i) history.Add(CreatePIDL(2).release());
  history.MoveBack(5);
  EXPECT_EQ(history.Position(), 0);
  history.MoveForward(5);
  EXPECT_EQ(history.Position(), 2);
  history.MoveBack(0);
  EXPECT_EQ(history.Position(), 2);

  history.SetPosition(7);  // unchecked, but reading stays safe
  EXPECT_EQ(history.GetCurrentItemIDList(), nullptr);
  history.SetPosition(1);
  history.Delete(0);
  EXPECT_EQ(history.Count(), 2);
  history.Clear();
  EXPECT_EQ(history.Count(), 0);
  EXPECT_EQ(history.GetCurrentItemIDList(), nullptr);
}
