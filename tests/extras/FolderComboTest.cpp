// The folder combo: its entries and their objects, the drives and My Documents, the selection
// its window starts with, and entries drawn with their icons and colours.
#include <gtest/gtest.h>

#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "extras/FolderCombo.h"
#include "host/forms/Forms.h"
#include "shell/ShellGlobals.h"
#include "shell/ShellRoutines.h"
#include "shell/TempDir.h"

using namespace zelnor;
using testing_support::TempDir;

namespace {

// Records the objects of the entries that leave the list.
class RecordingCombo : public TKivFolderCombo {
 public:
  using TKivFolderCombo::TKivFolderCombo;
  std::vector<host::TObject*> deleted;

 protected:
  void ItemDeleted(int index, host::TObject* object) override {
    deleted.push_back(object);
    TKivFolderCombo::ItemDeleted(index, object);
  }
};

struct FolderComboTest : ::testing::Test {
  TempDir dir;
  std::unique_ptr<host::TForm> form = std::make_unique<host::TForm>();
  RecordingCombo* combo = new RecordingCombo(form.get());
  int changes = 0;

  void SetUp() override {
    form->SetBounds(30, 30, 360, 160);
    combo->SetUseSystemFont(false);
    combo->SetBounds(8, 8, 320, 24);
    combo->OnChange = [this](host::TObject*) { ++changes; };
  }

  std::vector<String> Paths() const {
    std::vector<String> out;
    for (int i = 0; i < combo->Items()->Count(); ++i) out.push_back(combo->Items()->Strings(i));
    return out;
  }

  // Draws entry `index` as the combo box asks for it, into a white bitmap of one row.
  struct Row {
    std::vector<COLORREF> pixels;
    int width, height;
    COLORREF At(int x, int y) const { return pixels[size_t(y) * width + x]; }
    // How many pixels of the columns [from, to) have `colour`.
    int Count(int from, int to, COLORREF colour) const {
      int n = 0;
      for (int y = 0; y < height; ++y)
        for (int x = from; x < to; ++x) n += At(x, y) == colour;
      return n;
    }
  };
  Row Draw(int index, UINT itemState) {
    Row row{{}, 300, combo->ItemHeight()};
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, row.width, row.height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, row.width, row.height};
    FillRect(dc, &all, HBRUSH(GetStockObject(BLACK_BRUSH)));
    DRAWITEMSTRUCT draw{};
    draw.CtlType = ODT_COMBOBOX;
    draw.itemID = UINT(index);
    draw.itemAction = ODA_DRAWENTIRE;
    draw.itemState = itemState;
    draw.hwndItem = combo->Handle();
    draw.hDC = dc;
    draw.rcItem = all;
    combo->Perform(host::CN_DRAWITEM, 0, LPARAM(&draw));
    for (int y = 0; y < row.height; ++y)
      for (int x = 0; x < row.width; ++x) row.pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return row;
  }
};

}  // namespace

TEST_F(FolderComboTest, EntriesHoldTheirFoldersAndLeaveWithTheirObjects) {
  const String a = dir.Folder("Alpha");
  const String b = dir.Folder("\xD0\x91\xD0\xB5\xD1\x82\xD0\xB0 \xE6\x97\xA5");
  EXPECT_EQ(combo->Version(), "TKivFolderCombo V4.2");
  EXPECT_EQ(combo->Style(), host::csOwnerDrawFixed);

  // Indexes beyond the count and negative ones append.
  EXPECT_EQ(combo->InsertItem(7, "C:\\one", "one", 1, 0), 0);
  EXPECT_EQ(combo->InsertItem(-1, "C:\\three", "three", 3, 2), 1);
  EXPECT_EQ(combo->InsertItem(1, "D:\\", "Disk", 2, 0), 1);
  EXPECT_EQ(Paths(), (std::vector<String>{"C:\\one", "D:\\", "C:\\three"}));
  EXPECT_TRUE(combo->ItemData(1)->showDisplayName) << "a drive shows its display name";
  EXPECT_FALSE(combo->ItemData(2)->showDisplayName);
  EXPECT_EQ(combo->ItemData(2)->level, 2);

  // A folder added takes the shell's name and icon, and shows its path.
  const int added = combo->AddFolder(b, 0);
  ASSERT_EQ(added, 3);
  SHFILEINFOW info{};
  SHGetFileInfoW(host::ToWide(b).c_str(), 0, &info, sizeof info,
                 SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_SMALLICON);
  EXPECT_EQ(combo->ItemData(added)->displayName, host::ToUtf8(info.szDisplayName));
  EXPECT_EQ(combo->ItemData(added)->iconIndex, info.iIcon);
  EXPECT_FALSE(combo->ItemData(added)->showDisplayName);
  EXPECT_EQ(combo->AddFolder(b, 0), -1) << "listed once";

  // Selecting a folder not listed appends it and tells OnChange; a disabled combo refuses.
  combo->SetParent(form.get());
  combo->HandleNeeded();
  changes = 0;
  EXPECT_TRUE(combo->SelectFolder(a));
  EXPECT_EQ(combo->ItemIndex(), 4);
  EXPECT_EQ(combo->Items()->Strings(4), a);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(combo->SelectFolder(b));
  EXPECT_EQ(combo->ItemIndex(), 3);
  combo->SetEnabled(false);
  EXPECT_FALSE(combo->SelectFolder(a));
  EXPECT_EQ(combo->ItemIndex(), 3);
  combo->SetEnabled(true);

  // Every entry object leaves with its entry, once.
  std::set<host::TObject*> objects;
  for (int i = 0; i < combo->Items()->Count(); ++i) objects.insert(combo->ItemData(i));
  combo->Items()->Delete(0);
  combo->Items()->Clear();
  EXPECT_EQ(std::set<host::TObject*>(combo->deleted.begin(), combo->deleted.end()), objects);
  EXPECT_EQ(combo->deleted.size(), objects.size());
}

TEST_F(FolderComboTest, DrivesAndMyDocumentsComeAndGoAsAsked) {
  const String documents = GetPathFromSpecialFolder(SF_PERSONAL);
  ASSERT_FALSE(documents.empty());
  combo->AddFolder(dir.Path(), 0);
  combo->SetIncludeDrives(true);
  const std::vector<String> withDrives = Paths();
  ASSERT_GE(withDrives.size(), 2u);
  EXPECT_EQ(withDrives[0], dir.Path()) << "drives follow the entries there are";
  EXPECT_EQ(std::count(withDrives.begin(), withDrives.end(), "C:\\"), 1);
  for (size_t i = 1; i < withDrives.size(); ++i) {
    EXPECT_GE(withDrives[i].size(), 2u);
    EXPECT_EQ(withDrives[i][1], ':') << withDrives[i];
    EXPECT_TRUE(combo->ItemData(int(i))->showDisplayName);
  }
  combo->Refresh();
  EXPECT_EQ(Paths(), withDrives) << "a second refresh adds nothing";

  // My Documents at the top, once, however often refreshed; then removed again.
  combo->SetIncludeMyDocuments(true);
  combo->Refresh();
  combo->Refresh();
  ASSERT_EQ(combo->Items()->Count(), int(withDrives.size()) + 1);
  EXPECT_TRUE(host::AnsiSameText(combo->Items()->Strings(0), documents));
  EXPECT_TRUE(combo->ItemData(0)->showDisplayName);
  EXPECT_FALSE(combo->ItemData(0)->displayName.empty());
  combo->SetIncludeMyDocuments(false);
  EXPECT_EQ(Paths(), withDrives);

  // Switching the drives off empties the combo, the program's entries too.
  combo->SetIncludeDrives(false);
  EXPECT_EQ(combo->Items()->Count(), 0);
}

TEST_F(FolderComboTest, TheWindowStartsOnCOrTheOnlyEntryAndKeepsItsSelectionWhenMadeAgain) {
  combo->SetParent(form.get());
  combo->AddFolder(dir.Path(), 0);
  combo->HandleNeeded();
  EXPECT_EQ(combo->ItemIndex(), 0) << "one entry: it is selected";
  EXPECT_EQ(changes, 1);

  auto* drives = new TKivFolderCombo(form.get());
  drives->SetUseSystemFont(false);
  drives->SetIncludeDrives(true);
  drives->SetParent(form.get());
  drives->HandleNeeded();
  ASSERT_GE(drives->ItemIndex(), 0);
  EXPECT_EQ(drives->Items()->Strings(drives->ItemIndex()), "C:\\");
  // A window made again keeps the selection.
  drives->SetItemIndex(0);
  drives->RecreateWnd();
  drives->HandleNeeded();
  EXPECT_EQ(drives->ItemIndex(), 0);

  auto* empty = new TKivFolderCombo(form.get());
  empty->SetParent(form.get());
  empty->HandleNeeded();
  EXPECT_EQ(empty->ItemIndex(), -1);
}

TEST_F(FolderComboTest, EntriesDrawTheirIconsAndColoursAndAPlainStringBecomesAnEntryInPlace) {
  combo->SetParent(form.get());
  combo->AddFolder(dir.Folder("Drawn"), 0);
  combo->Items()->Add(dir.Folder("Plain"));
  combo->HandleNeeded();
  combo->SetItemIndex(1);
  const int icon = combo->Images()->Width();
  const COLORREF window = host::ColorToRGB(host::clWindow);
  const COLORREF highlight = host::ColorToRGB(host::clHighlight);

  // Not selected: the combo's colour behind an icon and the path.
  Row plain = Draw(0, 0);
  EXPECT_EQ(plain.At(1, 1), window);
  EXPECT_GT(plain.Count(2, 2 + icon, window), 0);
  EXPECT_LT(plain.Count(2, 2 + icon, window), icon * plain.height) << "an icon is drawn";
  EXPECT_EQ(plain.Count(0, plain.width, highlight), 0);
  EXPECT_GT(plain.Count(icon + 6, plain.width, window), 0);
  EXPECT_LT(plain.Count(icon + 6, plain.width, window), (plain.width - icon - 6) * plain.height)
      << "the path is written";

  // Selected: the text stands on the highlight, the rest on the combo's colour.
  Row selected = Draw(0, ODS_SELECTED);
  EXPECT_EQ(selected.At(1, 1), window);
  EXPECT_GT(selected.Count(icon + 6, plain.width, highlight), 0);

  // A string put into Items gets its entry object where it stands: the selection stays.
  ASSERT_EQ(combo->ItemData(1), nullptr);
  Row adopted = Draw(1, 0);
  ASSERT_NE(combo->ItemData(1), nullptr);
  EXPECT_EQ(combo->ItemData(1)->path, dir.Path() + "\\Plain");
  EXPECT_GE(combo->ItemData(1)->iconIndex, 0);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Items()->Count(), 2);
  EXPECT_LT(adopted.Count(2, 2 + icon, window), icon * adopted.height);

  // Disabled it shows the button face; enabled again its own colour.
  combo->SetColor(host::clInfoBk);
  combo->SetEnabled(false);
  EXPECT_EQ(combo->Color(), host::clBtnFace);
  combo->SetEnabled(true);
  EXPECT_EQ(combo->Color(), host::clInfoBk);
}
