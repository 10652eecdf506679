// Forms from form files, panels, labels, edits, buttons, images, modal forms and handle counts.
#include "host/forms/ExtCtrls.h"
#include "host/forms/Forms.h"
#include "host/forms/StdCtrls.h"

#include "Pump.h"
#include "shell/TempDir.h"

#include <gtest/gtest.h>

#include <memory>

using namespace host;

namespace {

const char kLayoutForm[] = R"(object LayoutForm: TForm
  Left = 20
  Top = 30
  BorderStyle = bsNone
  Caption = 'Layout'
  ClientWidth = 400
  ClientHeight = 300
  object Header: TPanel
    Align = alTop
    Height = 50
    Caption = 'Header'
  end
  object Status: TPanel
    Align = alBottom
    Height = 20
  end
  object Body: TPanel
    Align = alClient
    BorderWidth = 4
    object Side: TPanel
      Align = alLeft
      Width = 100
    end
    object Name: TLabel
      Left = 110
      Top = 10
      Caption = 'Name:'
    end
    object NameEdit: TEdit
      Left = 160
      Top = 8
      Width = 150
      MaxLength = 8
      Text = 'abc'
      TabOrder = 0
    end
  end
end
)";

std::unique_ptr<TForm> ReadForm(const char* text) {
  return std::unique_ptr<TForm>(TForm::CreateFromText(text));
}

// Top-level windows and their descendants on this thread.
int CountThreadWindows() {
  int count = 0;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND wnd, LPARAM lp) -> BOOL {
        auto* n = reinterpret_cast<int*>(lp);
        ++*n;
        EnumChildWindows(
            wnd,
            [](HWND, LPARAM inner) -> BOOL {
              ++*reinterpret_cast<int*>(inner);
              return TRUE;
            },
            lp);
        return TRUE;
      },
      LPARAM(&count));
  return count;
}

}  // namespace

TEST(FormFile, NestedPanelsLayOutByAlign) {
  auto form = ReadForm(kLayoutForm);
  auto* header = dynamic_cast<TPanel*>(form->FindComponent("Header"));
  auto* status = dynamic_cast<TPanel*>(form->FindComponent("Status"));
  auto* body = dynamic_cast<TPanel*>(form->FindComponent("Body"));
  auto* side = dynamic_cast<TPanel*>(form->FindComponent("Side"));
  auto* edit = dynamic_cast<TEdit*>(form->FindComponent("NameEdit"));
  ASSERT_TRUE(header && status && body && side && edit);
  EXPECT_EQ(side->Parent(), body);
  EXPECT_EQ(form->Caption(), "Layout");
  EXPECT_EQ(form->ClientWidth(), 400);

  form->HandleNeeded();
  EXPECT_EQ(form->ClientWidth(), 400);
  EXPECT_EQ(form->ClientHeight(), 300);
  EXPECT_EQ(header->BoundsRect().right, 400);
  EXPECT_EQ(header->Height(), 50);
  EXPECT_EQ(status->Top(), 280);
  EXPECT_EQ(body->Top(), 50);
  EXPECT_EQ(body->Height(), 230);
  // Bevel (1) and border (4) keep the side panel off the body's edge.
  EXPECT_EQ(side->Left(), 5);
  EXPECT_EQ(side->Top(), 5);
  EXPECT_EQ(side->Height(), 220);
  EXPECT_EQ(side->Width(), 100);
  RECT r;
  GetWindowRect(side->Handle(), &r);
  MapWindowPoints(HWND_DESKTOP, body->Handle(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.bottom, 225);

  EXPECT_EQ(edit->Text(), "abc");
  EXPECT_EQ(SendMessageW(edit->Handle(), EM_GETLIMITTEXT, 0, 0), 8);
}

TEST(FormFile, VisualPropertiesWriteAndReadBack) {
  auto form = ReadForm(kLayoutForm);
  auto* header = dynamic_cast<TPanel*>(form->FindComponent("Header"));
  header->Font()->SetStyle(fsBold);
  header->Font()->SetSize(12);
  header->SetColor(clNavy);
  header->SetHint("the top");
  header->SetShowHint(true);
  const String text = WriteComponentText(form.get());
  EXPECT_NE(text.find("Font.Style = [fsBold]"), String::npos) << text;
  EXPECT_NE(text.find("Align = alTop"), String::npos);
  EXPECT_EQ(text.find("Font.Size", text.find("object Status")), String::npos)
      << "a control with its parent's font writes no font";

  auto again = ReadForm(text.c_str());
  auto* header2 = dynamic_cast<TPanel*>(again->FindComponent("Header"));
  ASSERT_NE(header2, nullptr);
  EXPECT_EQ(header2->Font()->Size(), 12);
  EXPECT_EQ(header2->Font()->Style(), TFontStyles(fsBold));
  EXPECT_FALSE(header2->ParentFont());
  EXPECT_EQ(header2->Color(), clNavy);
  EXPECT_EQ(header2->Hint(), "the top");
  EXPECT_TRUE(header2->ShowHint());
  EXPECT_EQ(WriteComponentText(again.get()), text);
}

TEST(FormFile, VisibleTrueShowsTheFormOnceRead) {
  int shows = 0;
  TEventHandlers handlers;
  handlers.Register<TNotifyEvent>("ShownHandler", [&](TObject*) { ++shows; });
  std::unique_ptr<TForm> form(TForm::CreateFromText(R"(object Shown: TForm
  Left = 40
  Top = 40
  ClientWidth = 200
  ClientHeight = 100
  Visible = True
  OnShow = ShownHandler
end
)",
                                                    nullptr, handlers));
  EXPECT_TRUE(form->Visible());
  ASSERT_TRUE(form->HandleAllocated());
  EXPECT_TRUE(IsWindowVisible(form->HandleIfAllocated()));
  EXPECT_EQ(shows, 1);
  // Show on a form already on the screen only brings it to the front.
  form->Show();
  EXPECT_EQ(shows, 1);

  // Visible left out: read without a window.
  auto hidden = ReadForm("object Hidden: TForm\r\nend\r\n");
  EXPECT_FALSE(hidden->Visible());
  EXPECT_FALSE(hidden->HandleAllocated());
}

TEST(Label, AutoSizeMeasuresItsTextOnADeviceContext) {
  TForm form;
  form.SetBorderStyle(bsNone);
  auto* label = new TLabel(&form);
  label->SetParent(&form);
  label->SetLeft(100);
  label->SetCaption("Measured text");
  label->Font()->SetSize(14);

  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, label->Font()->Handle());
  SIZE expected{};
  GetTextExtentPoint32W(dc, L"Measured text", 13, &expected);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(label->Width(), expected.cx);
  EXPECT_EQ(label->Height(), expected.cy);

  // Right-aligned labels grow to the left; two lines are twice as high.
  label->SetAlignment(taRightJustify);
  const int right = label->BoundsRect().right;
  label->SetCaption("Measured text, longer");
  EXPECT_EQ(label->BoundsRect().right, right);
  label->SetCaption("one\r\ntwo");
  EXPECT_EQ(label->Height(), 2 * expected.cy);
  label->SetAutoSize(false);
  label->SetCaption("a much longer text than before");
  EXPECT_EQ(label->Height(), 2 * expected.cy);
}

TEST(Edit, ChangeMaxLengthReadOnlyAndRecreation) {
  TForm form;
  form.SetBorderStyle(bsNone);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  edit->SetText("hello");
  EXPECT_EQ(changes, 1);
  edit->SetMaxLength(3);
  SendMessageW(edit->Handle(), WM_SETTEXT, 0, LPARAM(L""));
  for (wchar_t ch : std::wstring(L"abcdef")) SendMessageW(edit->Handle(), WM_CHAR, ch, 1);
  EXPECT_EQ(edit->Text(), "abc");
  edit->SetReadOnly(true);
  SendMessageW(edit->Handle(), WM_CHAR, L'z', 1);
  EXPECT_EQ(edit->Text(), "abc");
  edit->SetSelStart(1);
  edit->SetSelLength(1);
  edit->SetPasswordChar(L'*');  // re-creates the window
  EXPECT_EQ(edit->Text(), "abc");
  EXPECT_EQ(edit->SelStart(), 1);
  EXPECT_EQ(edit->SelLength(), 1);
  EXPECT_TRUE(GetWindowLongW(edit->Handle(), GWL_STYLE) & ES_READONLY);
  EXPECT_EQ(SendMessageW(edit->Handle(), EM_GETLIMITTEXT, 0, 0), 3);
}

TEST(Form, KeyPreviewHearsTheControlsKeysFirstAndMayKeepThemFromIt) {
  TForm form;
  form.SetBorderStyle(bsNone);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  std::vector<std::pair<char, WORD>> heard;
  form.OnKeyDown = [&](TObject*, WORD& key, TShiftState) {
    heard.push_back({'f', key});
    if (key == VK_LEFT) key = 0;
  };
  edit->OnKeyDown = [&](TObject*, WORD& key, TShiftState) { heard.push_back({'e', key}); };
  SendMessageW(edit->Handle(), WM_SYSKEYDOWN, VK_LEFT, 1);
  EXPECT_EQ(heard, (std::vector<std::pair<char, WORD>>{{'e', VK_LEFT}}));
  form.SetKeyPreview(true);
  heard.clear();
  SendMessageW(edit->Handle(), WM_SYSKEYDOWN, VK_LEFT, 1);
  SendMessageW(edit->Handle(), WM_KEYDOWN, VK_RIGHT, 1);
  EXPECT_EQ(heard, (std::vector<std::pair<char, WORD>>{{'f', VK_LEFT}, {'f', VK_RIGHT}, {'e', VK_RIGHT}}));
  EXPECT_NE(WriteComponentText(&form).find("KeyPreview = True"), String::npos);
}

TEST(ModalForm, ButtonClickedFromATimerEndsShowModalWithItsResult) {
  TForm form;
  form.SetBorderStyle(bsNone);
  form.SetBounds(100, 100, 200, 100);
  auto* ok = new TButton(&form);
  ok->SetParent(&form);
  ok->SetCaption("OK");
  ok->SetModalResult(mrOk);
  ok->SetDefault(true);
  int closes = 0;
  form.OnClose = [&](TObject*, TCloseAction&) { ++closes; };
  bool shown = false;
  form.OnShow = [&](TObject*) { shown = true; };
  // The click arrives from inside the modal loop, as a user's would.
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, nullptr);
  TApplication& app = Application();
  auto previous = app.OnMessage;
  app.OnMessage = [&](MSG& msg, bool& handled) {
    if (msg.message == WM_TIMER && msg.wParam == timer) {
      KillTimer(nullptr, timer);
      SendMessageW(ok->Handle(), BM_CLICK, 0, 0);
      handled = true;
    }
  };
  const int result = form.ShowModal();
  app.OnMessage = previous;
  EXPECT_EQ(result, mrOk);
  EXPECT_TRUE(shown);
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(form.Visible());

  // Return presses the default button.
  const UINT_PTR timer2 = SetTimer(nullptr, 0, 50, nullptr);
  app.OnMessage = [&](MSG& msg, bool& handled) {
    if (msg.message == WM_TIMER && msg.wParam == timer2) {
      KillTimer(nullptr, timer2);
      SendMessageW(ok->Handle(), WM_KEYDOWN, VK_RETURN, 1);
      handled = true;
    }
  };
  EXPECT_EQ(form.ShowModal(), mrOk);
  app.OnMessage = previous;
}

TEST(FormLifetime, NoWindowsOrHandlesLeftAfterAHundredForms) {
  // Warm up: the first form registers classes and loads fonts.
  ReadForm(kLayoutForm)->Show();
  Application().ProcessMessages();
  const int windows = CountThreadWindows();
  const int controls = TWinControl::WindowCount();
  const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  DWORD kernel = 0, kernelAfter = 0;
  GetProcessHandleCount(GetCurrentProcess(), &kernel);
  for (int i = 0; i < 100; ++i) {
    auto form = ReadForm(kLayoutForm);
    form->Show();
    form->Font()->SetSize(9 + i % 3);  // new font handles down the tree
    dynamic_cast<TPanel*>(form->FindComponent("Header"))->SetColor(clRed);  // a brush
    Application().ProcessMessages();
  }
  Application().ProcessMessages();
  EXPECT_EQ(CountThreadWindows(), windows);
  EXPECT_EQ(TWinControl::WindowCount(), controls);
  // Wine answers 0 for these; on Windows they are exact.
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user);
  GetProcessHandleCount(GetCurrentProcess(), &kernelAfter);
  EXPECT_LE(kernelAfter, kernel + 2);
}

TEST(Image, PaintsItsPictureStretchedOrCentred) {
  testing_support::TempDir dir;
  TBitmap bmp(20, 10);
  bmp.Canvas()->Brush()->SetColor(clRed);
  bmp.Canvas()->FillRect(RECT{0, 0, 20, 10});
  const String file = dir.Path() + "\\red.bmp";
  bmp.SaveToFile(file);

  TForm form;
  form.SetBorderStyle(bsNone);
  auto* image = new TImage(&form);
  image->SetParent(&form);
  image->SetBounds(0, 0, 100, 50);
  image->SetPictureFile(file);
  EXPECT_EQ(image->Picture()->Width(), 20);
  RECT r = image->DestRect();
  EXPECT_EQ(r.right, 20);
  image->SetCenter(true);
  r = image->DestRect();
  EXPECT_EQ(r.left, 40);
  EXPECT_EQ(r.top, 20);
  image->SetStretch(true);
  image->SetProportional(true);
  r = image->DestRect();
  EXPECT_EQ(r.right - r.left, 100);
  EXPECT_EQ(r.bottom - r.top, 50);
  image->SetBounds(0, 0, 100, 100);
  r = image->DestRect();
  EXPECT_EQ(r.bottom - r.top, 50);
  EXPECT_EQ(r.top, 25);
  image->SetAutoSize(true);
  EXPECT_EQ(image->Width(), 20);
}

TEST(FormFile, ColoursAndCursorsAreWrittenByName) {
  auto form = ReadForm(kLayoutForm);
  auto* header = dynamic_cast<TPanel*>(form->FindComponent("Header"));
  header->SetColor(clWindow);
  header->SetCursor(crHandPoint);
  header->Font()->SetColor(RGBColor(1, 2, 3));
  const String text = WriteComponentText(form.get());
  EXPECT_NE(text.find("Color = clWindow"), String::npos) << text;
  EXPECT_NE(text.find("Cursor = crHandPoint"), String::npos);
  EXPECT_NE(text.find("Font.Color = 197121"), String::npos);
  auto again = ReadForm(text.c_str());
  auto* header2 = dynamic_cast<TPanel*>(again->FindComponent("Header"));
  EXPECT_EQ(header2->Color(), clWindow);
  EXPECT_EQ(header2->Cursor(), crHandPoint);
  EXPECT_THROW(ReadForm("object F: TForm\r\n  Color = clNoSuchColour\r\nend\r\n"), EReadError);
}
