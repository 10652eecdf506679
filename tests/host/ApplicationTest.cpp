#include "host/core/Messages.h"
#include "host/core/Threads.h"
#include "host/core/Timer.h"
#include "host/forms/Application.h"

#include "Modal.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using namespace host;
using testing_support::FindThreadDialog;

TEST(AllocateHWnd, ProcedureAnswersAndDefaultHandlerCoversTheRest) {
  UINT lastMsg = 0;
  HWND wnd = AllocateHWnd([&](TMessage& m) {
    if (m.Msg == WM_APP + 1) {
      lastMsg = m.Msg;
      m.Result = LRESULT(m.WParam + m.LParam);
    } else {
      DefaultHandler(m);
    }
  });
  ASSERT_NE(wnd, nullptr);
  EXPECT_FALSE(IsWindowVisible(wnd));
  EXPECT_EQ(SendMessageW(wnd, WM_APP + 1, 40, 2), 42);
  EXPECT_EQ(lastMsg, UINT(WM_APP + 1));
  // Default processing: the window keeps the text it is given.
  SendMessageW(wnd, WM_SETTEXT, 0, LPARAM(L"hidden"));
  EXPECT_EQ(SendMessageW(wnd, WM_GETTEXTLENGTH, 0, 0), 6);
  DeallocateHWnd(wnd);
  EXPECT_FALSE(IsWindow(wnd));

  // A procedure may destroy its own window.
  HWND self = nullptr;
  self = AllocateHWnd([&](TMessage& m) {
    if (m.Msg == WM_APP + 2) {
      DeallocateHWnd(self);
      m.Result = 7;
    } else {
      DefaultHandler(m);
    }
  });
  EXPECT_EQ(SendMessageW(self, WM_APP + 2, 0, 0), 7);
  EXPECT_FALSE(IsWindow(self));
}

TEST(AllocateHWnd, AMessageOnlyWindowGetsPostsAndTimersButIsNoDesktopWindow) {
  int posted = 0, ticks = 0;
  HWND wnd = nullptr;
  wnd = AllocateMessageHWnd([&](TMessage& m) {
    if (m.Msg == WM_APP + 3) {
      ++posted;
    } else if (m.Msg == WM_TIMER) {
      ++ticks;
      KillTimer(wnd, m.WParam);
    } else {
      DefaultHandler(m);
    }
  });
  ASSERT_NE(wnd, nullptr);
  SendMessageW(wnd, WM_SETTEXT, 0, LPARAM(L"message-only"));
  EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, L"HostUtilWindow", L"message-only"), wnd);
  // Not among the desktop's windows, so no broadcast reaches it.
  struct Search {
    HWND wanted;
    bool listed;
  } search{wnd, false};
  EnumWindows(
      [](HWND w, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        s->listed = s->listed || w == s->wanted;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  EXPECT_FALSE(search.listed);
  PostMessageW(wnd, WM_APP + 3, 0, 0);
  SetTimer(wnd, 1, USER_TIMER_MINIMUM, nullptr);
  const ULONGLONG until = GetTickCount64() + 2000;
  MSG msg;
  while ((posted == 0 || ticks == 0) && GetTickCount64() < until) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(1);
  }
  EXPECT_EQ(posted, 1);
  EXPECT_EQ(ticks, 1);
  DeallocateHWnd(wnd);
  EXPECT_FALSE(IsWindow(wnd));
}

TEST(Application, HandleExceptionReportsThroughOnException) {
  auto saved = Application().OnException;
  String message;
  TObject* sender = nullptr;
  Application().OnException = [&](TObject* s, const std::exception& e) {
    sender = s;
    message = e.what();
  };
  TComponent origin;
  try {
    throw Exception("Folder not found");
  } catch (...) {
    Application().HandleException(&origin);
  }
  EXPECT_EQ(message, "Folder not found");
  EXPECT_EQ(sender, &origin);
  try {
    throw 42;
  } catch (...) {
    Application().HandleException(nullptr);
  }
  EXPECT_EQ(message, "Unknown exception");
  // A handler that itself fails is contained.
  Application().OnException = [](TObject*, const std::exception&) { throw 1; };
  EXPECT_NO_THROW(Application().HandleException(std::make_exception_ptr(Exception("x")), nullptr));
  Application().OnException = saved;
}

TEST(Application, HintChangesFireOnHint) {
  int changes = 0;
  Application().OnHint = [&](TObject* sender) {
    EXPECT_EQ(sender, &Application());
    ++changes;
  };
  Application().SetHint("Open the folder");
  Application().SetHint("Open the folder");
  Application().SetHint("");
  Application().OnHint = nullptr;
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(Application().Hint(), "");
}

TEST(Application, MainFormSlotIsClearedWhenTheFormGoesAway) {
  auto* form = new TComponent(nullptr);
  Application().SetMainForm(form);
  EXPECT_EQ(Application().MainForm(), form);
  delete form;
  EXPECT_EQ(Application().MainForm(), nullptr);
}

TEST(Application, MessageBoxShowsUtf8Text) {
  const String text = "Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC";  // "Grüße 日本"
  static WideString shown;
  static int attempts;
  shown.clear();
  attempts = 0;
  // Reads the box's text, then answers it; gives up after a long bound.
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND box = FindThreadDialog();
    if (box) {
      wchar_t buf[64] = {};
      GetDlgItemTextW(box, 0xFFFF, buf, 64);
      shown = buf;
      PostMessageW(box, WM_COMMAND, IDNO, 0);
    } else if (++attempts > 1000) {
      PostQuitMessage(0);
    }
  });
  const int answer = Application().MessageBox(text, "Question", MB_YESNO);
  KillTimer(nullptr, timer);
  EXPECT_EQ(answer, IDNO);
  EXPECT_EQ(ToUtf8(shown), text);
}

TEST(Application, RunHandlesSynchronizedCallsUntilTerminate) {
  if (Application().Terminated()) GTEST_SKIP() << "the application was terminated before";
  // A worker that hands its result over while the loop runs, then asks the loop to end.
  class TWorker : public TThread {
   public:
    int result = 0;

   protected:
    void Execute() override {
      Synchronize([this] { result = 99; });
      Queue([] { Application().Terminate(); });
    }
  };
  TWorker worker;
  // Safety net: ends the loop after a long bound.
  TTimer bound;
  bound.SetInterval(30000);
  bound.SetOnTimer([](TObject*) { Application().Terminate(); });
  worker.Start();
  Application().Run();
  EXPECT_TRUE(Application().Terminated());
  EXPECT_EQ(worker.result, 99);
  worker.WaitFor();
}

TEST(CursorGuard, ShowsTheHourglassAndRestoresOnEveryPath) {
  Screen().SetCursor(crArrow);
  try {
    CursorGuard busy;
    EXPECT_EQ(Screen().Cursor(), crHourGlass);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    {
      CursorGuard inner(crHandPoint);
      EXPECT_EQ(Screen().Cursor(), crHandPoint);
    }
    EXPECT_EQ(Screen().Cursor(), crHourGlass);
    throw Exception("failed while busy");
  } catch (const Exception&) {
  }
  EXPECT_EQ(Screen().Cursor(), crArrow);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
  Screen().SetCursor(crDefault);
  EXPECT_EQ(Screen().Cursor(), crDefault);
}
