// The shell views at other DPIs: a DPI change there and back takes the icons and check boxes to
// their sizes and ends where it started; in a process whose screen has 192 DPI (a child started
// after LogPixels is set, restored in a guard) the boxes, icons and labels have room.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "Pump.h"
#include "controls/FileList.h"
#include "controls/ShellList.h"
#include "controls/ShellTree.h"
#include "host/core/Streaming.h"
#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"
#include "package/ZelnorComponents.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

using namespace zelnor;
using testing_support::PumpMessagesUntil;

namespace {

const char kViewsForm[] = R"(object ViewsForm: TForm
  Left = 10
  Top = 10
  BorderStyle = bsNone
  ClientWidth = 640
  ClientHeight = 400
  object ShellLink1: TKivShellLink
  end
  object AddressLabel: TLabel
    Left = 8
    Top = 10
    Caption = 'Address'
  end
  object Tree: TKivShellTree
    Left = 0
    Top = 40
    Width = 260
    Height = 360
    ShellLink = ShellLink1
    CheckBoxes = True
    SpecialFolder = SF_PERSONAL
  end
  object List: TKivShellList
    Left = 264
    Top = 40
    Width = 376
    Height = 360
    ShellLink = ShellLink1
    Checkboxes = True
    SpecialFolder = SF_PERSONAL
    ViewStyle = vsReport
    ThumbnailWidth = 80
  end
  object Found: TKivFileList
    Left = 0
    Top = 0
    Width = 100
    Height = 30
    ThumbnailHeight = 60
  end
end
)";

template <class T>
T* Find(host::TForm& form, const char* name) {
  return dynamic_cast<T*>(form.FindComponent(name));
}

RECT WindowBounds(host::TWinControl* c) {
  RECT r;
  GetWindowRect(c->Handle(), &r);
  return r;
}

// HKCU\Control Panel\Desktop\LogPixels set for the guard's life, restored (or removed) after.
class LogPixelsGuard {
 public:
  explicit LogPixelsGuard(DWORD dpi) {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                        KEY_READ | KEY_WRITE, nullptr, &key_, nullptr) != ERROR_SUCCESS)
      return;
    DWORD size = sizeof old_, type = 0;
    had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&old_),
                            &size) == ERROR_SUCCESS && type == REG_DWORD;
    RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
  }
  ~LogPixelsGuard() {
    if (!key_) return;
    if (had_)
      RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof old_);
    else
      RegDeleteValueW(key_, L"LogPixels");
    RegCloseKey(key_);
  }
  LogPixelsGuard(const LogPixelsGuard&) = delete;
  LogPixelsGuard& operator=(const LogPixelsGuard&) = delete;

 private:
  HKEY key_ = nullptr;
  DWORD old_ = 0;
  bool had_ = false;
};

}  // namespace

TEST(DpiViews, DpiChangesTakeIconsAndCheckBoxesToTheirSizeAndBack) {
  RegisterZelnorComponents();
  std::unique_ptr<host::TForm> form(
      host::TForm::CreateFromText(kViewsForm, nullptr, host::EventHandlers(), 96));
  form->Show();
  auto* tree = Find<TKivShellTree>(*form, "Tree");
  auto* list = Find<TKivShellList>(*form, "List");
  auto* found = Find<TKivFileList>(*form, "Found");
  ASSERT_TRUE(tree && list && found && tree->StateImages() && list->StateImages());
  const RECT tree96 = WindowBounds(tree), form96 = WindowBounds(form.get());
  const int treeRow96 = TreeView_GetItemHeight(tree->Handle());

  for (int dpi : {144, 192, 96}) {
    SCOPED_TRACE(dpi);
    RECT suggested{form96.left, form96.top, form96.left + MulDiv(640, dpi, 96),
                   form96.top + MulDiv(400, dpi, 96)};
    SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), LPARAM(&suggested));
    const int small = MulDiv(16, dpi, 96);
    EXPECT_GE(tree->Images()->Width(), small) << "never a stretched smaller icon";
    EXPECT_LT(tree->Images()->Width(), 2 * small);
    EXPECT_EQ(tree->Images()->Width(), list->SmallImages()->Width());
    EXPECT_GE(list->LargeImages()->Width(), MulDiv(32, dpi, 96));
    EXPECT_EQ(tree->StateImages()->Width(), small);
    EXPECT_EQ(list->StateImages()->Width(), small);
    EXPECT_EQ(ImageList_GetImageCount(HIMAGELIST(tree->StateImages()->Handle())), 5);
    EXPECT_GE(TreeView_GetItemHeight(tree->Handle()), small);
    // Thumbnails keep the size the form gave, and are drawn that size at the DPI.
    EXPECT_EQ(list->ThumbnailWidth(), 80);
    EXPECT_EQ(list->ThumbnailImages()->Width(), MulDiv(80, dpi, 96));
    EXPECT_EQ(found->ThumbnailHeight(), 60);
    EXPECT_EQ(found->ThumbnailImages()->Height(), MulDiv(60, dpi, 96));
  }
  EXPECT_EQ(tree->Images()->Width(), 16);
  const RECT tree96Again = WindowBounds(tree);
  EXPECT_TRUE(EqualRect(&tree96Again, &tree96));
  EXPECT_EQ(TreeView_GetItemHeight(tree->Handle()), treeRow96);
}

// Runs the HighDpiChild tests in a child process whose screen has 192 DPI.
TEST(DpiViews, At192DpiBoxesIconsAndLabelsHaveRoom) {
  wchar_t exe[MAX_PATH * 2];
  GetModuleFileNameW(nullptr, exe, DWORD(std::size(exe)));
  std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=HighDpiChild.* --gtest_brief=1";
  DWORD code = 1;
  {
    LogPixelsGuard dpi(192);
    SetEnvironmentVariableW(L"ZELNOR_DPI_CHILD", L"192");
    auto unset = host::ScopeExit([] { SetEnvironmentVariableW(L"ZELNOR_DPI_CHILD", nullptr); });
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    // The registry goes back as soon as the child has read it, at its start.
    WaitForInputIdle(process.hProcess, 5000);
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  EXPECT_EQ(code, 0u) << "the child's failures are in the output above";
}

TEST(HighDpiChild, ExplorerLikeFormAtTheScreensDpi) {
  wchar_t wanted[8] = {};
  if (!GetEnvironmentVariableW(L"ZELNOR_DPI_CHILD", wanted, 8)) GTEST_SKIP() << "run by its parent";
  const int dpi = _wtoi(wanted);
  ASSERT_EQ(host::ScreenPixelsPerInch(), dpi) << "the screen's DPI comes from LogPixels";
  EXPECT_EQ(int(host::WindowDpi(nullptr)), dpi);
  RegisterZelnorComponents();
  std::unique_ptr<host::TForm> form(host::TForm::CreateFromText(kViewsForm));
  form->Show();
  auto* tree = Find<TKivShellTree>(*form, "Tree");
  auto* list = Find<TKivShellList>(*form, "List");
  auto* label = Find<host::TLabel>(*form, "AddressLabel");
  ASSERT_TRUE(tree && list && label);
  EXPECT_EQ(form->ClientWidth(), MulDiv(640, dpi, 96));
  EXPECT_EQ(int(host::WindowDpi(form->Handle())), dpi);
  // Check boxes of a 24-pixel box at least, next to icons of the small size at this DPI.
  EXPECT_GE(tree->StateImages()->Width(), 24);
  EXPECT_GE(list->StateImages()->Width(), 24);
  EXPECT_EQ(list->SmallImages()->Width(), MulDiv(16, dpi, 96));
  EXPECT_GE(TreeView_GetItemHeight(tree->Handle()), MulDiv(16, dpi, 96));
  // The label shows its whole text and ends before the tree below it.
  host::WindowDC dc(form->Handle());
  host::SelectedObject font(dc.get(), label->Font()->Handle());
  SIZE text{};
  GetTextExtentPoint32W(dc.get(), L"Address", 7, &text);
  EXPECT_GE(label->Width(), text.cx);
  EXPECT_GE(label->Height(), text.cy);
  EXPECT_LE(label->Top() + label->Height(), tree->Top());
}
