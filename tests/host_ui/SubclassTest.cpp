// Subclass hook: the procedure's say over a message, errors stopped at it, letting go.
#include "host/forms/Application.h"
#include "host/forms/Subclass.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace host;

namespace {

struct Edit {
  HWND wnd = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  ~Edit() {
    if (IsWindow(wnd)) DestroyWindow(wnd);
  }
  std::wstring Text() const {
    wchar_t text[64] = {};
    GetWindowTextW(wnd, text, 64);
    return text;
  }
};

}  // namespace

TEST(Subclass, TheProcedureKeepsChangesOrHandsOnWhatReachesTheWindow) {
  Edit edit;
  TSubclass hook;
  ASSERT_TRUE(hook.Hook(edit.wnd, [&](TMessage& m) {
    if (m.Msg == WM_CHAR && m.WParam == L'x') return;  // kept from the edit
    if (m.Msg == WM_CHAR && m.WParam == L'a') m.WParam = L'b';
    hook.CallDefault(m);
  }));
  EXPECT_EQ(hook.Window(), edit.wnd);
  for (wchar_t ch : {L'a', L'x', L'c'}) SendMessageW(edit.wnd, WM_CHAR, ch, 0);
  EXPECT_EQ(edit.Text(), L"bc");
  hook.Unhook();
  SendMessageW(edit.wnd, WM_CHAR, L'x', 0);
  EXPECT_EQ(edit.Text(), L"bcx");
}

TEST(Subclass, AnErrorIsReportedAndTheDestroyedWindowIsLetGo) {
  auto saved = Application().OnException;
  std::string reported;
  Application().OnException = [&](TObject*, const std::exception& e) { reported = e.what(); };
  {
    Edit edit;
    TSubclass hook;
    hook.Hook(edit.wnd, [&](TMessage& m) {
      if (m.Msg == WM_CHAR) throw std::runtime_error("no keys");
      hook.CallDefault(m);
    });
    SendMessageW(edit.wnd, WM_CHAR, L'a', 0);
    EXPECT_EQ(reported, "no keys");
    EXPECT_EQ(edit.Text(), L"");
    DestroyWindow(edit.wnd);
    EXPECT_EQ(hook.Window(), nullptr);
  }
  Application().OnException = saved;
}
