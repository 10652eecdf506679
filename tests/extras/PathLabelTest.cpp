// The path label: the shortening rule on its own, and the label's captions at several widths and
// fonts, with names outside the ANSI code page and a path longer than MAX_PATH.
#include <gtest/gtest.h>

#include <memory>

#include "extras/PathLabel.h"
#include "host/forms/Forms.h"

using namespace zelnor;

namespace {

// Every character 10 pixels wide, so that budgets can be read off the texts.
int TenEach(const std::wstring& text) { return int(text.size()) * 10; }
std::wstring Shorten(const std::wstring& path, int characters) {
  return ShortenPathToWidth(path, characters * 10, TenEach);
}

}  // namespace

TEST(ShortenPathToWidth, KeepsWholeLeadingFoldersThenTheMarkerThenTheLastComponent) {
  const std::wstring file = L"C:\\Programs\\Tools\\Editor\\notes.txt";  // 34 characters
  EXPECT_EQ(Shorten(file, 35), file);
  EXPECT_EQ(Shorten(file, 34), L"C:\\Programs\\Tools\\..\\notes.txt");
  EXPECT_EQ(Shorten(file, 25), L"C:\\Programs\\..\\notes.txt");
  EXPECT_EQ(Shorten(file, 24), L"C:\\..\\notes.txt");
  // Not even the drive: the last component alone, kept whole however narrow.
  EXPECT_EQ(Shorten(file, 15), L"..\\notes.txt");
  EXPECT_EQ(Shorten(file, 3), L"..\\notes.txt");

  EXPECT_EQ(Shorten(L"C:\\Data\\Archive\\2001\\", 17), L"C:\\Data\\..\\2001\\");
  EXPECT_EQ(Shorten(L"C:\\", 3), L"..\\C:\\");
  EXPECT_EQ(Shorten(L"notes-of-today.txt", 10), L"..\\notes-of-today.txt");
  EXPECT_EQ(Shorten(L"", 0), L"");
}

TEST(ShortenPathToWidth, NeverMeasuresHalfACharacter) {
  // U+1F4F7 is a surrogate pair; a measure that sees a lone half fails the test.
  const std::wstring path = L"C:\\\U0001F4F7\U0001F4F7\\deep\\x.txt";
  int measured = 0;
  const std::wstring shortened = ShortenPathToWidth(path, 170, [&](const std::wstring& text) {
    for (size_t i = 0; i < text.size(); ++i) {
      if (IS_HIGH_SURROGATE(text[i])) {
        EXPECT_TRUE(i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) << "cut pair";
        ++i;
      } else {
        EXPECT_FALSE(IS_LOW_SURROGATE(text[i])) << "cut pair";
      }
    }
    ++measured;
    return TenEach(text);
  });
  EXPECT_GT(measured, 4);
  EXPECT_EQ(shortened, L"C:\\\U0001F4F7\U0001F4F7\\..\\x.txt");
}

namespace {

struct PathLabelTest : ::testing::Test {
  host::TForm form;
  TKivPathLabel* label = new TKivPathLabel(&form);

  void SetUp() override {
    form.SetBounds(10, 10, 900, 200);
    label->SetUseSystemFont(false);
    label->SetParent(&form);
    label->SetBounds(8, 8, 200, 20);
  }

  // The caption as shown (accelerator ampersands undoubled).
  String Shown() const {
    String shown;
    const String caption = label->Caption();
    for (size_t i = 0; i < caption.size(); ++i) {
      shown += caption[i];
      if (caption[i] == '&' && i + 1 < caption.size() && caption[i + 1] == '&') ++i;
    }
    return shown;
  }

  // At every width from narrow to wide: the caption is the path itself exactly when the path
  // fits, otherwise leading folders that end at a backslash, "..\" and the last component, all
  // narrower than the label unless only the last component is left; widening never shows fewer
  // folders, and the path stays as given.
  void ExpectShortenedAtEveryWidth(const String& path, const String& name) {
    size_t lastHead = 0;
    for (int width = 10; width <= 900; width += 7) {
      label->SetWidth(width);
      const String shown = Shown();
      ASSERT_EQ(label->Path(), path);
      if (label->GetTextWidth(path) < width) {
        EXPECT_EQ(shown, path) << width;
        lastHead = path.size();
        continue;
      }
      const String tail = "..\\" + name;
      ASSERT_GE(shown.size(), tail.size()) << shown;
      ASSERT_EQ(shown.substr(shown.size() - tail.size()), tail) << width << ": " << shown;
      const String head = shown.substr(0, shown.size() - tail.size());
      EXPECT_EQ(path.compare(0, head.size(), head), 0) << width << ": " << shown;
      if (!head.empty()) {
        EXPECT_EQ(head.back(), '\\') << shown;
        EXPECT_LT(label->GetTextWidth(shown), width) << shown;
      }
      EXPECT_GE(head.size(), lastHead) << "fewer folders at " << width;
      lastHead = head.size();
    }
  }
};

}  // namespace

TEST_F(PathLabelTest, ShortensToItsWidthInEachFont) {
  const String path = "C:\\Program Files\\Tools & Things\\Editor\\Templates\\letter & notes.txt";
  EXPECT_FALSE(label->AutoSize());
  EXPECT_EQ(label->Version(), "TKivPathLabel V4.2");
  label->SetPath(path);
  for (int size : {8, 11, 16}) {
    label->Font()->SetName("Tahoma");
    label->Font()->SetSize(size);
    ExpectShortenedAtEveryWidth(path, "letter & notes.txt");
  }
  // A font change alone makes the caption again.
  label->SetWidth(300);
  label->Font()->SetSize(8);
  const String small = label->Caption();
  label->Font()->SetSize(16);
  EXPECT_NE(label->Caption(), small);
  EXPECT_LT(label->GetTextWidth(Shown()), 300);

  // Ampersands are doubled so that none underlines; without accelerators they stay single.
  label->SetWidth(900);
  EXPECT_EQ(label->Caption(),
            "C:\\Program Files\\Tools && Things\\Editor\\Templates\\letter && notes.txt");
  label->SetShowAccelChar(false);
  label->FormatPathLabel();
  EXPECT_EQ(label->Caption(), path);

  label->SetPath("");
  EXPECT_EQ(label->Caption(), "");
}

TEST_F(PathLabelTest, ShortensNamesOutsideTheAnsiCodePageAndPathsLongerThanMaxPath) {
  const String name = "\xF0\x9F\x93\xB7 \xD1\x81\xD0\xBD\xD0\xB8\xD0\xBC\xD0\xBE\xD0\xBA.jpg";
  const String unicode = "C:\\\xD0\x94\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82\xD1\x8B\\"
                         "\xE5\x86\x99\xE7\x9C\x9F\xE3\x82\xA2\xE3\x83\xAB\xE3\x83\x90\xE3\x83\xA0\\"
                         "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82\xD1\x8B\\" + name;
  label->SetPath(unicode);
  ExpectShortenedAtEveryWidth(unicode, name);
  EXPECT_EQ(host::ToUtf8(host::ToWide(label->Caption())), label->Caption()) << "a cut character";

  String deep = "C:\\";
  while (deep.size() <= 300) deep += "folder" + host::IntToStr(deep.size()) + "\\";
  deep += "end.txt";
  label->SetPath(deep);
  label->SetWidth(400);
  EXPECT_EQ(Shown().substr(0, 9), "C:\\folder");
  EXPECT_LT(label->GetTextWidth(Shown()), 400);
  ExpectShortenedAtEveryWidth(deep, "end.txt");

  // A folder path keeps its last folder with the backslash.
  const String folder = deep.substr(0, deep.size() - 7);
  const String last = folder.substr(folder.rfind('\\', folder.size() - 2) + 1);
  label->SetPath(folder);
  ExpectShortenedAtEveryWidth(folder, last);
}
