// How the shell list looks: thumbnail view with real pictures, the background picture, colours of
// compressed and encrypted objects, info-tip hints, mouse enter and leave, the wake-up message.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "Pictures.h"
#include "Pump.h"
#include "controls/ShellList.h"
#include "extras/ThumbnailThread.h"
#include "host/core/Streaming.h"
#include "host/forms/Forms.h"
#include "package/ZelnorComponents.h"
#include "shell/TempDir.h"
#include "threads/ThreadPool.h"

using namespace zelnor;
using host::TListItem;
using testing_support::PumpMessagesUntil;
using testing_support::TempDir;
using testing_support::WritePicture;

namespace {

// The list with its drawing hooks reachable.
class OpenList : public TKivShellList {
 public:
  using TKivShellList::CustomDrawItem;
  using TKivShellList::IsCustomDrawn;
};

TListItem* ItemNamed(TKivShellList& list, const String& name) {
  for (int i = 0; i < list.Items()->Count(); ++i) {
    TKivShellListItem* data = TKivShellList::ItemData(list.Items()->Item(i));
    if (data && !data->parentFolder && host::SameText(data->parsingName, name))
      return list.Items()->Item(i);
  }
  return nullptr;
}

uint32_t Rgb(COLORREF color) {
  return (uint32_t(GetRValue(color)) << 16) | (uint32_t(GetGValue(color)) << 8) | GetBValue(color);
}

// Pixel (x, y) of image `index` of an image list as the list draws it over magenta (0xRRGGBB):
// a pixel drawn transparent shows the magenta.
uint32_t PixelOf(HIMAGELIST images, int index, int x, int y) {
  int width = 0, height = 0;
  if (!ImageList_GetIconSize(images, &width, &height)) return 0;
  void* bits = nullptr;
  host::UniqueGdiObject canvas{host::CreateDibSection32(width, height, &bits)};
  host::UniqueDC dc{CreateCompatibleDC(nullptr)};
  if (!canvas || !dc) return 0;
  host::SelectedObject selected(dc.get(), canvas.get());
  const RECT all{0, 0, width, height};
  host::UniqueGdiObject magenta{CreateSolidBrush(RGB(255, 0, 255))};
  FillRect(dc.get(), &all, HBRUSH(magenta.get()));
  ImageList_Draw(images, index, dc.get(), 0, 0, ILD_NORMAL);
  return Rgb(GetPixel(dc.get(), x, y));
}

struct ShellListLookTest : ::testing::Test {
  TempDir dir;
  host::TForm form;
  OpenList* list = new OpenList;

  void SetUp() override {
    form.SetBounds(10, 10, 600, 400);
    list->SetParent(&form);
    list->SetBounds(0, 0, 580, 360);
    form.Show();
  }
  void TearDown() override { delete list; }

  void MakePictures() {
    ASSERT_TRUE(WritePicture(dir.PathW() + L"\\wide.jpg", 640, 480, GUID_ContainerFormatJpeg));
    ASSERT_TRUE(WritePicture(dir.PathW() + L"\\tall.png", 120, 240, GUID_ContainerFormatPng));
    dir.File("note.txt", "no picture");
    dir.Folder("sub");
  }
  // Completes every item, as drawing would.
  void CompleteAll() {
    for (int i = 0; i < list->Items()->Count(); ++i)
      if (list->Items()->Item(i)->ImageIndex() < 0) list->CompleteItemDetails(list->Items()->Item(i));
  }
  bool RequestsDone() {
    return PumpMessagesUntil([&] { return list->ThreadPool()->Count() == 0; });
  }
  HIMAGELIST Thumbs() { return list->ThumbnailImages()->Handle(); }
  int IndexOf(const char* name) { return ItemNamed(*list, name)->ImageIndex(); }
};

}  // namespace

TEST_F(ShellListLookTest, ThumbnailsChooseIconViewAndAnyStyleChosenLaterLeavesThem) {
  EXPECT_FALSE(list->Thumbnails());
  EXPECT_EQ(list->ThumbnailWidth(), 100);
  EXPECT_EQ(list->ThumbnailHeight(), 100);
  host::TCustomImageList* system = list->LargeImages();
  list->SetThumbnails(true);
  EXPECT_EQ(list->ViewStyle(), host::vsIcon);
  EXPECT_EQ(list->LargeImages(), list->ThumbnailImages());
  list->SetViewStyle(host::vsIcon);
  EXPECT_FALSE(list->Thumbnails());
  EXPECT_EQ(list->LargeImages(), system);
  list->SetThumbnails(true);
  list->SetViewStyle(host::vsReport);
  EXPECT_FALSE(list->Thumbnails());
  EXPECT_EQ(list->ViewStyle(), host::vsReport);
}

TEST_F(ShellListLookTest, PlaceholdersAtOncePicturesWhenTheirRequestsEnd) {
  MakePictures();
  list->SetShowParentFolder(true);
  list->SetPath(dir.Path());
  list->SetThumbnails(true);
  CompleteAll();
  ASSERT_EQ(list->ThumbnailImages()->Count(), list->Items()->Count());
  const uint32_t window = Rgb(host::ColorToRGB(host::clWindow));
  const uint32_t silver = Rgb(RGB(192, 192, 192));
  // Placeholders: a silver frame around the icon; nothing of them is drawn transparent.
  for (int i = 0; i < list->Items()->Count(); ++i) {
    const int index = list->Items()->Item(i)->ImageIndex();
    ASSERT_GE(index, 0);
    EXPECT_EQ(PixelOf(Thumbs(), index, 0, 0), silver);
    EXPECT_EQ(PixelOf(Thumbs(), index, 99, 99), silver);
    EXPECT_EQ(PixelOf(Thumbs(), index, 10, 10), window);
  }
  // One request per item but the parent folder.
  EXPECT_EQ(list->ThreadPool()->Count(), list->Items()->Count() - 1);
  ASSERT_TRUE(RequestsDone());
  EXPECT_EQ(list->LastThumbnailThread(), nullptr);

  // The wide picture fills the top 75 rows, the rest is padding in the window colour.
  EXPECT_NE(PixelOf(Thumbs(), IndexOf("wide.jpg"), 10, 10), window);
  EXPECT_EQ(PixelOf(Thumbs(), IndexOf("wide.jpg"), 0, 0), silver);
  EXPECT_EQ(PixelOf(Thumbs(), IndexOf("wide.jpg"), 50, 90), window);
  // The tall one fills the left half.
  EXPECT_NE(PixelOf(Thumbs(), IndexOf("tall.png"), 10, 50), window);
  EXPECT_EQ(PixelOf(Thumbs(), IndexOf("tall.png"), 80, 50), window);
  // No picture: the placeholder stays.
  EXPECT_EQ(PixelOf(Thumbs(), IndexOf("note.txt"), 10, 10), window);
}

TEST_F(ShellListLookTest, AFilledThumbnailViewIsDrawnAndAsksForPicturesATickLater) {
  MakePictures();
  list->SetThumbnails(true);
  list->SetPath(dir.Path());
  // Nothing waits to be drawn, so nothing has asked for a picture yet.
  RECT pending{};
  EXPECT_FALSE(GetUpdateRect(list->Handle(), &pending, FALSE));
  for (int i = 0; i < list->Items()->Count(); ++i)
    EXPECT_LT(list->Items()->Item(i)->ImageIndex(), 0);
  EXPECT_EQ(list->ThreadPool()->Count(), 0);
  // The next tick draws the list, and drawing asks for the pictures shown.
  EXPECT_TRUE(PumpMessagesUntil([&] { return IndexOf("wide.jpg") >= 0; }));
  EXPECT_TRUE(RequestsDone());
}

TEST_F(ShellListLookTest, RequestsOfAnEarlierFillingOrSizeAreDropped) {
  MakePictures();
  TempDir plain;
  plain.File("a.txt", "a");
  plain.File("b.txt", "b");
  plain.File("c.txt", "c");
  plain.File("d.txt", "d");
  list->SetPath(dir.Path());
  list->SetThumbnails(true);
  CompleteAll();
  ASSERT_GT(list->ThreadPool()->Count(), 0);
  // Refilled with other objects before the pictures arrive: their slots hold placeholders.
  list->SetPath(plain.Path());
  CompleteAll();
  ASSERT_TRUE(RequestsDone());
  const uint32_t window = Rgb(host::ColorToRGB(host::clWindow));
  ASSERT_EQ(list->ThumbnailImages()->Count(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(PixelOf(Thumbs(), i, 10, 10), window) << i;

  // A new thumbnail size asks every item again; the old size's results are dropped.
  list->SetPath(dir.Path());
  CompleteAll();
  list->SetThumbnailWidth(64);
  list->SetThumbnailHeight(64);
  EXPECT_EQ(list->ThumbnailImages()->Count(), 0);
  for (int i = 0; i < list->Items()->Count(); ++i)
    EXPECT_EQ(list->Items()->Item(i)->ImageIndex(), -1);
  CompleteAll();
  ASSERT_TRUE(RequestsDone());
  EXPECT_EQ(list->ThumbnailWidth(), 64);
  EXPECT_EQ(PixelOf(Thumbs(), IndexOf("wide.jpg"), 63, 63), Rgb(RGB(192, 192, 192)));
  EXPECT_EQ(PixelOf(Thumbs(), IndexOf("wide.jpg"), 30, 55), window);  // below the 48 rows
  EXPECT_NE(PixelOf(Thumbs(), IndexOf("wide.jpg"), 30, 40), window);
}

TEST_F(ShellListLookTest, CompressedObjectsAreBlueEncryptedGreenAndBothGreen) {
  dir.File("packed.txt", "x");
  dir.File("secret.txt", "x");
  dir.File("both.txt", "x");
  dir.File("plain.txt", "x");
  list->SetShowOption(soColorCompressed, true);
  list->SetShowOption(soColorEncrypted, true);
  list->SetPath(dir.Path());
  CompleteAll();
  // The platform here cannot compress or encrypt files: the flags are set by hand.
  TKivShellList::ItemData(ItemNamed(*list, "packed.txt"))->compressed = true;
  TKivShellList::ItemData(ItemNamed(*list, "secret.txt"))->encrypted = true;
  TKivShellList::ItemData(ItemNamed(*list, "both.txt"))->compressed = true;
  TKivShellList::ItemData(ItemNamed(*list, "both.txt"))->encrypted = true;
  EXPECT_TRUE(list->IsCustomDrawn(host::dtItem, host::cdPrePaint));
  auto colourOf = [&](const char* name) {
    list->Canvas()->Font()->SetColor(host::clBlack);
    list->CustomDrawItem(ItemNamed(*list, name), 0, host::cdPrePaint);
    return list->Canvas()->Font()->Color();
  };
  EXPECT_EQ(colourOf("packed.txt"), host::clBlue);
  EXPECT_EQ(colourOf("secret.txt"), host::clGreen);
  EXPECT_EQ(colourOf("both.txt"), host::clGreen);
  EXPECT_EQ(colourOf("plain.txt"), host::clBlack);
  // Without the options the flags are not shown.
  list->SetShowOption(soColorCompressed, false);
  CompleteAll();
  TKivShellList::ItemData(ItemNamed(*list, "packed.txt"))->compressed = true;
  EXPECT_EQ(colourOf("packed.txt"), host::clBlack);

  // The handler of the application still has its say.
  int asked = 0;
  list->OnCustomDrawItem = [&](host::TCustomListView*, TListItem*, host::TCustomDrawState,
                               bool&) { ++asked; };
  colourOf("plain.txt");
  EXPECT_EQ(asked, 1);
}

TEST_F(ShellListLookTest, HintsShowTheInfoTipOverTheItem) {
  dir.File("a.txt", "x");
  list->SetShowParentFolder(true);
  list->SetPath(dir.Path());
  list->SetShowHint(true);
  TListItem* item = ItemNamed(*list, "a.txt");
  ASSERT_NE(item, nullptr);
  list->OnInfoTip = [](host::TObject*, TListItem* tipped, String& tip) {
    tip += "tip of " + tipped->Caption();
  };
  const RECT bounds = item->DisplayRect(host::drBounds);
  // Aimed at the middle of the icon: the corner of the bounds is beside the item in icon views.
  const RECT icon = item->DisplayRect(host::drIcon);
  host::THintInfo info;
  info.CursorPos = POINT{(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
  info.HintStr = "prepared";
  EXPECT_EQ(list->Perform(host::CM_HINTSHOW, 0, LPARAM(&info)), 0);
  EXPECT_EQ(info.HintStr, "tip of " + item->Caption());
  EXPECT_EQ(info.CursorRect.left, bounds.left);
  EXPECT_EQ(info.CursorRect.bottom, bounds.bottom);
  const POINT corner = list->ClientToScreen(POINT{bounds.left, bounds.top});
  EXPECT_EQ(info.HintPos.x, corner.x + GetSystemMetrics(SM_CXCURSOR));
  EXPECT_EQ(info.HintPos.y, corner.y + GetSystemMetrics(SM_CYCURSOR));
  EXPECT_EQ(info.HintMaxWidth, list->ClientWidth());

  // The parent folder item, or hints off: the hint stays as prepared.
  const RECT parent = list->Items()->Item(0)->DisplayRect(host::drIcon);
  ASSERT_TRUE(TKivShellList::ItemData(list->Items()->Item(0))->parentFolder);
  host::THintInfo other;
  other.CursorPos = POINT{(parent.left + parent.right) / 2, (parent.top + parent.bottom) / 2};
  other.HintStr = "prepared";
  list->Perform(host::CM_HINTSHOW, 0, LPARAM(&other));
  EXPECT_EQ(other.HintStr, "prepared");
  list->SetShowHint(false);
  other.CursorPos = info.CursorPos;
  list->Perform(host::CM_HINTSHOW, 0, LPARAM(&other));
  EXPECT_EQ(other.HintStr, "prepared");
}

TEST_F(ShellListLookTest, MouseEnterLeaveAndTheWakeUpMessage) {
  std::vector<String> heard;
  list->OnMouseEnter = [&](host::TObject* sender) {
    heard.push_back(sender == list ? "enter" : "?");
  };
  list->OnMouseLeave = [&](host::TObject* sender) {
    heard.push_back(sender == list ? "leave" : "?");
  };
  list->Perform(host::CM_MOUSEENTER);
  list->Perform(host::CM_MOUSELEAVE);
  EXPECT_EQ(heard, (std::vector<String>{"enter", "leave"}));

  list->DoWakeMainThread();
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, list->Handle(), TKivShellList::WM_CL_SYNCHRONIZE,
                           TKivShellList::WM_CL_SYNCHRONIZE, PM_REMOVE));
  EXPECT_EQ(DispatchMessageW(&msg), 0);
}

namespace {

// What the list view was told about its background picture.
struct BackgroundCall {
  ULONG flags;
  std::wstring file;
  bool fileExisted;
};
std::vector<BackgroundCall> backgroundCalls;
std::vector<COLORREF> textBackgrounds;

LRESULT CALLBACK RecordBackground(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (msg == LVM_SETBKIMAGEW) {
    const auto* image = reinterpret_cast<const LVBKIMAGEW*>(lp);
    const std::wstring file = image->pszImage ? image->pszImage : L"";
    backgroundCalls.push_back({image->ulFlags, file,
                               !file.empty() && GetFileAttributesW(file.c_str()) !=
                                                    INVALID_FILE_ATTRIBUTES});
  } else if (msg == LVM_SETTEXTBKCOLOR) {
    textBackgrounds.push_back(COLORREF(lp));
  }
  return DefSubclassProc(wnd, msg, wp, lp);
}

}  // namespace

TEST_F(ShellListLookTest, TheBackgroundPictureGoesThroughATemporaryFileThatIsRemoved) {
  backgroundCalls.clear();
  textBackgrounds.clear();
  ASSERT_TRUE(SetWindowSubclass(list->Handle(), RecordBackground, 1, 0));
  host::TBitmap picture(16, 16);
  list->SetBackgroundImage(&picture);
  ASSERT_EQ(backgroundCalls.size(), 1u);
  EXPECT_EQ(backgroundCalls[0].flags, ULONG(LVBKIF_SOURCE_URL | LVBKIF_STYLE_TILE));
  EXPECT_TRUE(backgroundCalls[0].fileExisted);
  EXPECT_NE(backgroundCalls[0].file.find(L"TKivShellListBackgroundImage_Temp"), std::wstring::npos);
  EXPECT_EQ(GetFileAttributesW(backgroundCalls[0].file.c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_EQ(textBackgrounds.size(), 1u);
  EXPECT_EQ(textBackgrounds[0], CLR_NONE);

  host::TBitmap empty;
  list->SetBackgroundImage(&empty);
  ASSERT_EQ(backgroundCalls.size(), 2u);
  EXPECT_EQ(backgroundCalls[1].flags, ULONG(LVBKIF_SOURCE_NONE));
  EXPECT_TRUE(backgroundCalls[1].file.empty());
  RemoveWindowSubclass(list->Handle(), RecordBackground, 1);
}

TEST_F(ShellListLookTest, FormTextsCarryTheThumbnailSettings) {
  RegisterZelnorComponents();
  MakePictures();
  String quoted;
  for (char c : dir.Path()) quoted += c == '\'' ? String("''") : String(1, c);
  const String text =
      "object ThumbForm: TForm\n"
      "  ClientWidth = 500\n"
      "  ClientHeight = 300\n"
      "  object Pictures: TKivShellList\n"
      "    Align = alClient\n"
      "    Path = '" + quoted + "'\n"
      "    Thumbnails = True\n"
      "    ThumbnailWidth = 80\n"
      "    ThumbnailHeight = 60\n"
      "  end\n"
      "end\n";
  std::unique_ptr<host::TForm> loaded(host::TForm::CreateFromText(text));
  auto* pictures = dynamic_cast<TKivShellList*>(loaded->FindComponent("Pictures"));
  ASSERT_NE(pictures, nullptr);
  EXPECT_TRUE(pictures->Thumbnails());
  EXPECT_EQ(pictures->ViewStyle(), host::vsIcon);
  EXPECT_EQ(pictures->ThumbnailWidth(), 80);
  EXPECT_EQ(pictures->ThumbnailHeight(), 60);
  const String written = host::WriteComponentText(loaded.get());
  EXPECT_NE(written.find("Thumbnails = True"), String::npos);
  EXPECT_NE(written.find("ThumbnailWidth = 80"), String::npos);
  EXPECT_NE(written.find("ViewStyle = vsIcon"), String::npos);
  loaded->Show();
  ASSERT_TRUE(PumpMessagesUntil([&] {
    return pictures->ThumbnailImages()->Count() == pictures->Items()->Count() &&
           pictures->ThreadPool()->Count() == 0;
  }));
}
