#include "host/core/HResult.h"
#include "host/core/Raii.h"
#include "host/core/StringList.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace host;

namespace {

// Runs `body` and tells whether it left with std::runtime_error.
template <typename F>
bool LeavesWithError(F body) {
  try {
    body();
  } catch (const std::runtime_error&) {
    return true;
  }
  return false;
}

}  // namespace

TEST(ScopeExit, RunsOnEveryPathUnlessDismissed) {
  int runs = 0;
  { auto guard = ScopeExit([&] { ++runs; }); }
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(LeavesWithError([&] {
    auto guard = ScopeExit([&] { ++runs; });
    throw std::runtime_error("leaving");
  }));
  EXPECT_EQ(runs, 2);
  {
    auto guard = ScopeExit([&] { ++runs; });
    guard.Dismiss();
  }
  EXPECT_EQ(runs, 2);
}

TEST(ScopeExit, ErrorOfTheRestoreReachesTheCallerUnlessAnotherIsUnwinding) {
  EXPECT_THROW({ auto guard = ScopeExit([] { throw std::logic_error("restore"); }); },
               std::logic_error);
  // The first error wins: the restore's own error is dropped while the first one unwinds.
  try {
    auto guard = ScopeExit([] { throw std::logic_error("restore"); });
    throw std::runtime_error("first");
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "first");
  } catch (...) {
    ADD_FAILURE() << "the restore's error replaced the first one";
  }
}

TEST(ScopedValue, SetsFlagsAndCountersForAScopeAndRestoresThemOnThrow) {
  bool busy = false;
  int depth = 0;
  {
    ScopedValue flag{busy, true};
    ScopedValue outer{depth, depth + 1};
    EXPECT_TRUE(busy);
    EXPECT_FALSE(flag.Saved());
    {
      ScopedValue inner{depth, depth + 1};
      EXPECT_EQ(depth, 2);
    }
    EXPECT_EQ(depth, 1);
  }
  EXPECT_FALSE(busy);
  EXPECT_EQ(depth, 0);
  EXPECT_TRUE(LeavesWithError([&] {
    ScopedValue flag{busy, true};
    throw std::runtime_error("leaving");
  }));
  EXPECT_FALSE(busy);
}

TEST(SuppressEvents, ChangesInTheScopeReportToNobodyAndHandlersComeBack) {
  TStringList list;
  int changing = 0, changed = 0;
  list.OnChanging = [&](TObject*) { ++changing; };
  list.OnChange = [&](TObject*) { ++changed; };
  {
    auto quiet = SuppressEvents(list.OnChanging, list.OnChange);
    list.Add("silent");
    EXPECT_FALSE(list.OnChange);
  }
  EXPECT_EQ(changing, 0);
  EXPECT_EQ(changed, 0);
  EXPECT_TRUE(LeavesWithError([&] {
    auto quiet = SuppressEvents(list.OnChange);
    list.Add("silent too");
    throw std::runtime_error("leaving");
  }));
  // Only OnChange was silenced there: OnChanging heard that change.
  EXPECT_EQ(changing, 1);
  EXPECT_EQ(changed, 0);
  list.Add("heard");
  EXPECT_EQ(changing, 2);
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(list.Count(), 3);
}

TEST(DeviceContexts, SelectedObjectGoesBackAndOwnedContextsAreFreed) {
  HDC kept = nullptr;
  {
    UniqueDC dc{CreateCompatibleDC(nullptr)};
    ASSERT_TRUE(dc);
    kept = dc.get();
    const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_FONT);
    UniqueGdiObject font{CreateFontW(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                                     L"Arial")};
    {
      SelectedObject select(dc.get(), font.get());
      EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), font.get());
      EXPECT_EQ(select.Previous(), original);
    }
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), original);
  }
  EXPECT_EQ(GetObjectType(kept), 0u);

  WindowDC screen;
  ASSERT_TRUE(screen);
  EXPECT_GT(GetDeviceCaps(screen.get(), LOGPIXELSY), 0);
}

TEST(PaintDC, ValidatesTheInvalidAreaItPaints) {
  int painted = 0;
  RECT area{};
  HWND window = nullptr;
  UniqueHiddenWindow owner{AllocateHWnd([&](TMessage& m) {
    if (m.Msg == WM_PAINT) {
      PaintDC paint(window);
      ++painted;
      area = paint.Rect();
      m.Result = 0;
      return;
    }
    DefaultHandler(m);
  })};
  window = owner.get();
  ASSERT_TRUE(window);
  SetWindowPos(window, nullptr, 0, 0, 100, 60, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);
  const int before = painted;
  // Without BeginPaint / EndPaint the area would stay invalid.
  const RECT dirty{5, 5, 40, 30};
  InvalidateRect(window, &dirty, FALSE);
  UpdateWindow(window);
  EXPECT_EQ(painted, before + 1);
  EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
  EXPECT_LE(area.left, 5);
  EXPECT_GE(area.right, 40);
}

TEST(UniqueHiddenWindow, DestroysTheWindowWhenItsOwnerGoes) {
  HWND seen = nullptr;
  {
    UniqueHiddenWindow window{AllocateHWnd([](TMessage& m) { DefaultHandler(m); })};
    seen = window.get();
    ASSERT_TRUE(IsWindow(seen));
    UniqueHiddenWindow moved = std::move(window);
    EXPECT_FALSE(window);
    EXPECT_TRUE(IsWindow(seen));
  }
  EXPECT_FALSE(IsWindow(seen));
}

TEST(UniqueImageList, OwnsTheListAndGivesItUpOnRelease) {
  HIMAGELIST kept = nullptr;
  {
    UniqueImageList list{ImageList_Create(16, 16, ILC_COLOR32, 1, 1)};
    ASSERT_TRUE(list);
    EXPECT_EQ(ImageList_GetImageCount(list.get()), 0);
    kept = list.release();
    EXPECT_FALSE(list);
  }
  // Released, so still alive.
  EXPECT_EQ(ImageList_GetImageCount(kept), 0);
  EXPECT_TRUE(ImageList_Destroy(kept));
}

TEST(CheckHr, ThrowsTheNamedErrorOrOneThatNamesTheCall) {
  EXPECT_EQ(CheckHr(S_FALSE, "Next"), S_FALSE);
  try {
    CheckHr(E_ACCESSDENIED, "BindToObject");
    ADD_FAILURE() << "no error for a failed call";
  } catch (const EOleError& e) {
    EXPECT_EQ(e.Code(), E_ACCESSDENIED);
    EXPECT_EQ(e.Message().rfind("BindToObject: ", 0), 0u) << e.Message();
    EXPECT_GT(e.Message().size(), sizeof "BindToObject: ");
  }
  class ENamed : public Exception {
    using Exception::Exception;
  };
  try {
    CheckHr<ENamed>(E_FAIL, "Could not get Folder");
    ADD_FAILURE() << "no error for a failed call";
  } catch (const ENamed& e) {
    EXPECT_EQ(e.Message(), "Could not get Folder");
  }
}

TEST(HrOk, AnswersFalseAndRecordsTheFailureForTheNeutralPath) {
  SetLastError(0);
  EXPECT_TRUE(HrOk(S_OK, "first"));
  EXPECT_TRUE(HrOk(S_FALSE, "second"));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_FALSE(HrOk(E_NOINTERFACE, "QueryInterface"));
  EXPECT_EQ(GetLastError(), DWORD(E_NOINTERFACE));
  const HrFailure failure = LastHrFailure();
  EXPECT_EQ(failure.hr, E_NOINTERFACE);
  EXPECT_STREQ(failure.context, "QueryInterface");
}

TEST(CoInitializeGuard, ObjectsOfTheApartmentGoBeforeTheOutermostGuardLeaves) {
  std::vector<std::string> order;
  HRESULT typeAtRelease = E_FAIL;
  std::thread worker([&] {
    EXPECT_FALSE(AtApartmentExit([] {}));  // no apartment of ours yet
    {
      CoInitializeGuard outer;
      ASSERT_EQ(outer.Result(), S_OK);
      EXPECT_TRUE(AtApartmentExit([&] { order.push_back("first"); }));
      {
        CoInitializeGuard inner;
        EXPECT_EQ(inner.Result(), S_FALSE);
        EXPECT_TRUE(AtApartmentExit([&] {
          order.push_back("second");
          APTTYPE type;
          APTTYPEQUALIFIER qualifier;
          typeAtRelease = CoGetApartmentType(&type, &qualifier);
        }));
      }
      EXPECT_TRUE(order.empty()) << "released when a nested guard left";
    }
    // The apartment is gone: joining again is the thread's first join.
    const HRESULT again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(again, S_OK);
    if (SUCCEEDED(again)) CoUninitialize();
  });
  worker.join();
  EXPECT_EQ(order, (std::vector<std::string>{"second", "first"}));
  EXPECT_EQ(typeAtRelease, S_OK);
}
