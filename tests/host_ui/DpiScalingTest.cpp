// Forms at other DPIs: a form file read for 96, 144 and 192 DPI places its controls by the factor
// and writes back as designed; WM_DPICHANGED there and back again ends where it started.
#include "host/forms/ExtCtrls.h"
#include "host/forms/Forms.h"
#include "host/forms/Frames.h"
#include "host/forms/StdCtrls.h"
#include "host/views/ComboBox.h"

#include "Pump.h"

#include <gtest/gtest.h>

#include <memory>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

using namespace host;

namespace {

const char kDpiForm[] = R"(object DpiForm: TForm
  Left = 30
  Top = 40
  BorderStyle = bsNone
  ClientWidth = 400
  ClientHeight = 300
  Font.Height = -11
  object Bar: TPanel
    Align = alTop
    Height = 30
    object OkButton: TButton
      Left = 9
      Top = 3
      Width = 75
      Height = 25
      Caption = 'OK'
    end
  end
  object NameEdit: TEdit
    Left = 10
    Top = 41
    Width = 151
    Height = 21
  end
  object Big: TLabel
    Left = 200
    Top = 45
    Font.Size = 10
    ParentFont = False
    Caption = 'Big'
  end
  object Inner: TFrame
    Left = 10
    Top = 100
    Width = 201
    Height = 101
    PixelsPerInch = 120
    object FrameButton: TButton
      Left = 10
      Top = 10
      Width = 100
      Height = 30
    end
  end
end
)";

template <class T>
T* Find(TForm& form, const char* name) {
  return dynamic_cast<T*>(form.FindComponent(name));
}

RECT Bounds(TControl* c) { return c->BoundsRect(); }

// Left, top, width and height at DPI d taken to DPI m.
RECT Scaled(RECT r, int m, int d) {
  return RECT{MulDiv(r.left, m, d), MulDiv(r.top, m, d), MulDiv(r.right, m, d),
              MulDiv(r.bottom, m, d)};
}
RECT AsLTWH(RECT r) { return RECT{r.left, r.top, r.right - r.left, r.bottom - r.top}; }

}  // namespace

bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(DpiScaling, FormReadForAnotherDpiScalesOnceAndWritesBackAsDesigned) {
  // The canonical text of the form, as it was designed (read and written at 96).
  std::unique_ptr<TForm> designed(TForm::CreateFromText(kDpiForm, nullptr, EventHandlers(), 96));
  const String text = WriteComponentText(designed.get());
  EXPECT_EQ(text.find("PixelsPerInch", text.find("object DpiForm")), text.find("PixelsPerInch = 120"))
      << "a form at 96 stores no PixelsPerInch\n" << text;
  EXPECT_EQ(text.find("Scaled"), String::npos);
  EXPECT_NE(text.find("Font.Height = -11"), String::npos) << "a font given in pixels stays so";
  const RECT ok96 = AsLTWH(Bounds(Find<TButton>(*designed, "OkButton")));
  const RECT edit96 = AsLTWH(Bounds(Find<TEdit>(*designed, "NameEdit")));
  const RECT frameButton96 = AsLTWH(Bounds(Find<TButton>(*designed, "FrameButton")));
  EXPECT_EQ(frameButton96, Scaled(RECT{10, 10, 100, 30}, 96, 120)) << "the frame's own DPI";

  for (int dpi : {96, 144, 192}) {
    SCOPED_TRACE(dpi);
    std::unique_ptr<TForm> form(TForm::CreateFromText(text, nullptr, EventHandlers(), dpi));
    EXPECT_EQ(form->PixelsPerInch(), 96);
    EXPECT_EQ(form->ClientWidth(), MulDiv(400, dpi, 96));
    EXPECT_EQ(form->ClientHeight(), MulDiv(300, dpi, 96));
    EXPECT_EQ(form->Left(), 30) << "the form's place on the screen is not scaled";
    EXPECT_EQ(AsLTWH(Bounds(Find<TButton>(*form, "OkButton"))), Scaled(ok96, dpi, 96));
    // An edit box takes its height from its font.
    const RECT edit = AsLTWH(Bounds(Find<TEdit>(*form, "NameEdit")));
    const RECT expected = Scaled(edit96, dpi, 96);
    EXPECT_EQ(edit.left, expected.left);
    EXPECT_EQ(edit.right, expected.right);
    EXPECT_GT(edit.bottom, MulDiv(13, dpi, 96));
    EXPECT_EQ(Find<TPanel>(*form, "Bar")->Height(), MulDiv(30, dpi, 96));
    EXPECT_EQ(AsLTWH(Bounds(Find<TButton>(*form, "FrameButton"))), Scaled(RECT{10, 10, 100, 30}, dpi, 120))
        << "scaled once, from the frame's DPI";
    EXPECT_EQ(form->Font()->Height(), MulDiv(-11, dpi, 96));
    EXPECT_EQ(Find<TEdit>(*form, "NameEdit")->Font()->Height(), MulDiv(-11, dpi, 96))
        << "the parent's font";
    auto* big = Find<TLabel>(*form, "Big");
    EXPECT_EQ(big->Font()->Size(), 10);
    EXPECT_EQ(big->Font()->Height(), -MulDiv(10, dpi, 72)) << "points at the screen's DPI";
    EXPECT_EQ(WriteComponentText(form.get()), text);
  }
}

TEST(DpiScaling, UnscaledFormKeepsItsPixels) {
  String text = kDpiForm;
  text.insert(text.find("  ClientWidth"), "  Scaled = False\n");
  std::unique_ptr<TForm> form(TForm::CreateFromText(text, nullptr, EventHandlers(), 192));
  EXPECT_EQ(form->ClientWidth(), 400);
  EXPECT_EQ(AsLTWH(Bounds(Find<TButton>(*form, "OkButton"))), (RECT{9, 3, 75, 25}));
  EXPECT_NE(WriteComponentText(form.get()).find("Scaled = False"), String::npos);
}

TEST(DpiScaling, DpiChangesThereAndBackEndWhereTheyStarted) {
  std::unique_ptr<TForm> form(TForm::CreateFromText(kDpiForm, nullptr, EventHandlers(), 96));
  // A control placed by code, and a combo box whose window picks its own height.
  auto* combo = new TCustomComboBox(form.get());
  combo->SetParent(form.get());
  combo->SetBounds(10, 70, 150, 24);
  form->Show();
  auto* ok = Find<TButton>(*form, "OkButton");
  auto windowRect = [](TWinControl* c) {
    RECT r;
    GetWindowRect(c->Handle(), &r);
    if (HWND parent = GetParent(c->Handle())) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  const RECT ok96 = windowRect(ok), combo96 = windowRect(combo), form96 = windowRect(form.get());
  const int fontHeight96 = form->Font()->Height();
  const String text96 = WriteComponentText(form.get());

  auto change = [&](int dpi) {
    // The rectangle the system suggests: the client area (the whole window here) at the new DPI.
    RECT suggested{form96.left, form96.top, form96.left + MulDiv(400, dpi, 96),
                   form96.top + MulDiv(300, dpi, 96)};
    SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), LPARAM(&suggested));
  };
  change(144);
  EXPECT_EQ(form->CurrentPpi(), 144);
  EXPECT_EQ(form->ClientWidth(), 600);
  EXPECT_EQ(AsLTWH(windowRect(ok)), Scaled(AsLTWH(ok96), 144, 96));
  EXPECT_EQ(combo->CurrentPpi(), 144);
  EXPECT_EQ(form->Font()->Height(), MulDiv(fontHeight96, 144, 96));
  EXPECT_EQ(WriteComponentText(form.get()).find("PixelsPerInch"), text96.find("PixelsPerInch"));
  change(192);
  EXPECT_EQ(AsLTWH(windowRect(ok)), Scaled(AsLTWH(ok96), 192, 96));
  EXPECT_EQ(windowRect(combo).left, 20);
  change(96);
  EXPECT_EQ(windowRect(ok), ok96);
  EXPECT_EQ(windowRect(combo), combo96);
  EXPECT_EQ(windowRect(form.get()), form96);
  EXPECT_EQ(form->Font()->Height(), fontHeight96);
  EXPECT_EQ(WriteComponentText(form.get()), text96);
}
