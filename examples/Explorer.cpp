// The explorer's handlers: sample documents and pictures, column widths, the status line with the
// number of objects, the selection and the checked files, the view buttons, browsing for the
// folder to show, copying the selection elsewhere, and the search pane.
#include "Explorer.h"

#include "FormDemo.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <wincodec.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "controls/FileList.h"
#include "controls/ShellCombo.h"
#include "controls/ShellList.h"
#include "controls/ShellTree.h"
#include "dialogs/BrowseForFolder.h"
#include "dialogs/FileOperation.h"
#include "extras/DropFiles.h"
#include "extras/FolderCombo.h"
#include "extras/PathEdit.h"
#include "extras/PathLabel.h"
#include "extras/ThumbnailImage.h"
#include "host/core/Raii.h"
#include "host/core/Streaming.h"
#include "host/core/Threads.h"
#include "host/core/Timer.h"
#include "host/forms/Forms.h"
#include "host/forms/MessageDialogs.h"
#include "host/forms/StdCtrls.h"
#include "link/ShellLink.h"
#include "package/ZelnorComponents.h"
#include "selection/KivSelectionList.h"
#include "shell/ShellGlobals.h"
#include "threads/ThreadPool.h"

using namespace host;
using namespace zelnor;

namespace {

void WriteSample(const String& path, const std::string& content) {
  UniqueFile file{CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), content.data(), DWORD(content.size()), &written, nullptr);
}

// Hidden entries (the prefix's own ".local" when Documents is the home folder) do not count.
bool IsEmptyFolder(const String& folder) {
  WIN32_FIND_DATAW data;
  FindHandle find{FindFirstFileW(ToWide(IncludeTrailingBackslash(folder) + "*").c_str(), &data)};
  if (!find) return true;
  do {
    // Hidden entries do not count (Documents may be the home folder, with its dot folders).
    const WideString name = data.cFileName;
    if (name != L"." && name != L".." && !(data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN))
      return false;
  } while (FindNextFileW(find.get(), &data));
  return true;
}

// A width x height JPEG of soft colour bands, `hue` picking the colours; false when the imaging
// codecs fail.
bool WriteSamplePicture(const String& path, UINT width, UINT height, int hue) {
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory))) ||
      FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromFilename(ToWide(path).c_str(), GENERIC_WRITE)) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(width, height)))
    return false;
  WICPixelFormatGUID pixels = GUID_WICPixelFormat24bppBGR;
  if (FAILED(frame->SetPixelFormat(&pixels)) || pixels != GUID_WICPixelFormat24bppBGR) return false;
  const UINT stride = (width * 3 + 3) & ~3u;
  std::vector<BYTE> data(size_t(stride) * height);
  for (UINT y = 0; y < height; ++y)
    for (UINT x = 0; x < width; ++x) {
      BYTE* p = &data[size_t(y) * stride + x * 3];
      const bool sun = (x - width * 2 / 3) * (x - width * 2 / 3) + (y - height / 3) * (y - height / 3) <
                       (height / 6) * (height / 6);
      const bool ground = y > height * 2 / 3 + (x * (hue + 1) / 7) % (height / 8);
      p[0] = BYTE(sun ? 40 : ground ? 30 + hue * 20 : 255 - y * 120 / height);
      p[1] = BYTE(sun ? 200 : ground ? 140 - hue * 10 : 180 - y * 60 / height);
      p[2] = BYTE(sun ? 255 : ground ? 40 + hue * 30 : 90 + hue * 25);
    }
  return SUCCEEDED(frame->WritePixels(height, stride, UINT(data.size()), data.data())) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

// The name the shell shows for a folder (its path is empty for virtual folders).
String FolderDisplayName(PCItemIDList folder) {
  SHFILEINFOW info{};
  if (!folder || !SHGetFileInfoW(reinterpret_cast<LPCWSTR>(folder), 0, &info, sizeof info,
                                 SHGFI_PIDL | SHGFI_DISPLAYNAME))
    return {};
  return ToUtf8(info.szDisplayName);
}

// "10,002": a count with the user's digit grouping.
String CountText(int64_t count) {
  const WideString digits = ToWide(std::to_string(count));
  wchar_t thousands[8] = L",", decimal[8] = L".";
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, thousands, 8);
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
  NUMBERFMTW format{};
  format.Grouping = 3;
  format.lpDecimalSep = decimal;
  format.lpThousandSep = thousands;
  format.NegativeOrder = 1;
  wchar_t grouped[64] = {};
  if (!GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, digits.c_str(), &format, grouped, 64))
    return std::to_string(count);
  return ToUtf8(grouped);
}

String ByteSize(int64_t size) {
  wchar_t formatted[32] = {};
  StrFormatByteSizeW(size, formatted, 32);
  return ToUtf8(formatted);
}

// "   5 files checked (1.2 MB)": the totals of the link's checked paths; the sizes of checked
// folders are summed in the background, so "counting…" shows until the last has arrived (or
// the Stop button beside the status line has stopped the count).
String CheckedStatus(TKivShellList* list) {
  TKivShellLink* link = list->ShellLink();
  TKivSelectionList* checked = link ? link->SelectionList() : nullptr;
  if (!checked || checked->Count() == 0) return {};
  const int files = checked->FileCount();
  String text = "   " + CountText(files) + (files == 1 ? " file checked" : " files checked") +
                " (" + ByteSize(checked->Size()) + ")";
  if (checked->SizeCalculationRunning()) text += ", counting\u2026";
  return text;
}

// "12 objects   2 selected (4.3 KB)   3 files checked (9 KB)   C:\users\...": what the list
// shows, what is selected and what is checked.
void ShowStatus(TKivShellList* list) {
  auto* form = dynamic_cast<TForm*>(list->GetParentForm());
  auto* status = form ? dynamic_cast<TControl*>(form->FindComponent("StatusBar")) : nullptr;
  if (!status) return;
  String where = list->GetPath();
  if (where.empty()) where = FolderDisplayName(list->GetFolderIdList());
  int count = list->Items()->Count();
  if (count > 0 && TKivShellList::ItemData(list->Items()->Item(0))->parentFolder) --count;
  String text = "  " + CountText(count) + (count == 1 ? " object" : " objects");
  const int selected = list->SelectedFiles()->Count();
  if (selected > 0) {
    text += "   " + CountText(selected) + " selected";
    const int64_t size = list->SelectedFilesSize();
    if (size > 0) text += " (" + ByteSize(size) + ")";
  }
  status->SetCaption(text + CheckedStatus(list) + "   " + where);
  TKivShellLink* link = list->ShellLink();
  TKivSelectionList* checked = link ? link->SelectionList() : nullptr;
  if (auto* stop = dynamic_cast<TControl*>(form->FindComponent("StopCountingButton")))
    stop->SetVisible(checked && checked->SizeCalculationRunning());
  // The preview pane shows only while a picture is selected; the list takes its width otherwise.
  if (auto* preview = dynamic_cast<TControl*>(form->FindComponent("Preview"))) {
    TListItem* item = list->Selected();
    const TKivShellListItem* data = item ? TKivShellList::ItemData(item) : nullptr;
    const String ext = data && !data->parentFolder ? LowerCase(ExtractFileExt(list->GetFullPath(item))) : String{};
    static const char* const kPictures[] = {".jpg", ".jpeg", ".png", ".bmp", ".gif", ".tif", ".tiff"};
    const bool picture = std::any_of(std::begin(kPictures), std::end(kPictures),
                                     [&](const char* known) { return ext == known; });
    auto* splitter = dynamic_cast<TControl*>(form->FindComponent("PreviewSplitter"));
    if (preview->Visible() != picture) {
      // The splitter goes and comes with the pane, on its left.
      if (splitter && !picture) splitter->SetVisible(false);
      preview->SetVisible(picture);
      if (splitter && picture) {
        splitter->SetLeft(preview->Left() - splitter->Width());
        splitter->SetVisible(true);
      }
    }
  }
}

// Fills, refreshes, selections, renames and deletions come in bursts: the status line follows
// once the burst is over. The list is kept by its window, which may be gone when the timer comes.
HWND statusList = nullptr;
void ShowStatusSoon(TObject* sender) {
  const bool pending = statusList != nullptr;
  auto* list = static_cast<TKivShellList*>(sender);
  if (!list->HandleAllocated()) return;  // the list is being made or destroyed
  statusList = list->Handle();
  if (pending) return;
  SetTimer(nullptr, 0, 60, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (auto* list = dynamic_cast<TKivShellList*>(TWinControl::FindControl(std::exchange(statusList, nullptr))))
      ShowStatus(list);
  });
}

// The form of a control, or the form that owns a component that is not one.
TForm* FormOf(TObject* sender) {
  if (auto* control = dynamic_cast<TControl*>(sender))
    return dynamic_cast<TForm*>(control->GetParentForm());
  auto* component = dynamic_cast<TComponent*>(sender);
  return component ? dynamic_cast<TForm*>(component->Owner()) : nullptr;
}

template <class T>
T* FindOnForm(TObject* sender, const char* name) {
  TForm* form = FormOf(sender);
  return form ? dynamic_cast<T*>(form->FindComponent(name)) : nullptr;
}

// The picker starts at the shown folder; the chosen folder goes to the list and, through the
// link, to every control linked with it.
void BrowseForShownFolder(TObject* sender) {
  auto* list = FindOnForm<TKivShellList>(sender, "ShellList1");
  auto* browse = FindOnForm<TKivBrowseForFolder>(sender, "BrowseForFolder1");
  if (!list || !browse) return;
  browse->SetTitle("Choose the folder to show");
  browse->SetPath(list->GetPath());
  if (browse->Execute() && !browse->Path().empty()) list->SetPath(browse->Path());
}

// Copies the selected items to a folder the user picks, with the shell's progress and questions.
void CopySelectionTo(TObject* sender) {
  auto* list = FindOnForm<TKivShellList>(sender, "ShellList1");
  auto* browse = FindOnForm<TKivBrowseForFolder>(sender, "BrowseForFolder1");
  auto* operation = FindOnForm<TKivFileOperation>(sender, "FileOperation1");
  if (!list || !browse || !operation) return;
  TStringList sources;
  for (TListItem* item = list->GetNextItem(nullptr, sdAll, 1u << isSelected); item;
       item = list->GetNextItem(item, sdAll, 1u << isSelected)) {
    const TKivShellListItem* data = TKivShellList::ItemData(item);
    const String path = data && !data->parentFolder ? list->GetFullPath(item) : String{};
    if (!path.empty()) sources.Add(path);
  }
  // Nothing selected: the checked files and folders are copied.
  TKivShellLink* link = list->ShellLink();
  if (sources.Count() == 0 && link && link->SelectionList())
    for (int i = 0; i < link->SelectionList()->Count(); ++i)
      sources.Add(link->SelectionList()->GetListItem(i));
  if (sources.Count() == 0) {
    ShowMessage("Select or check the files and folders to copy first.");
    return;
  }
  browse->SetTitle("Copy " + IntToStr(sources.Count()) + (sources.Count() == 1 ? " item" : " items") +
                   " to:");
  browse->SetPath(list->GetPath());
  if (!browse->Execute() || browse->Path().empty()) return;
  operation->SetOperation(otCopy);
  operation->SetSourceFiles(&sources);
  operation->SetDestination(browse->Path());
  if (operation->Execute()) list->FileChange();
}

// ---- The search pane

// The explorer whose search runs, where it started and how many paths it has looked at.
TForm* searchForm = nullptr;
String searchFolder;
int searchExamined = 0;
ULONGLONG searchProgressShown = 0;

void ShowSearchStatus(const String& text) {
  auto* status = searchForm ? dynamic_cast<TControl*>(searchForm->FindComponent("StatusBar")) : nullptr;
  if (status) status->SetCaption(text);
}

String FoundText(TKivFileList* list) {
  const int found = list ? list->Items()->Count() : 0;
  return CountText(found) + (found == 1 ? " file found" : " files found");
}

// Searches the folder the pane names (the shown folder when it names none) for its patterns;
// the hits of an earlier search go.
void StartSearch(TObject* sender) {
  auto* list = FindOnForm<TKivFileList>(sender, "FileList1");
  auto* folderEdit = FindOnForm<TKivPathEdit>(sender, "SearchFolder");
  auto* patternEdit = FindOnForm<TEdit>(sender, "SearchPattern");
  auto* shown = FindOnForm<TKivShellList>(sender, "ShellList1");
  if (!list || !folderEdit || !patternEdit) return;
  String folder = Trim(folderEdit->Path());
  if (folder.empty() && shown) folder = shown->GetPath();
  if (folder.empty()) {
    ShowMessage("Name the folder to search in first.");
    return;
  }
  list->Stop();
  list->Clear();
  list->SearchOptions()->SetFilter(patternEdit->Text());
  searchForm = dynamic_cast<TForm*>(list->GetParentForm());
  searchFolder = folder;
  searchExamined = 0;
  searchProgressShown = 0;
  ShowSearchStatus("  Searching " + folder + " for " + list->SearchOptions()->Filter() + "...");
  list->Search(folder);
}


// ---- Where the explorer is

// Set while the folder combo is made to follow the list, so that its OnChange does not send the
// list back to where it is.
bool followingList = false;

// The path label, the search folder, the history buttons and the folder combo follow the shown
// folder.
void ShowPlace(TKivShellList* list) {
  const String path = list->GetPath();
  if (auto* label = FindOnForm<TKivPathLabel>(list, "PathLabel1"))
    label->SetPath(path.empty() ? FolderDisplayName(list->GetFolderIdList()) : path);
  // The search pane searches the shown folder.
  if (auto* folder = FindOnForm<TKivPathEdit>(list, "SearchFolder"))
    if (!path.empty()) folder->SetPath(ExcludeTrailingBackslash(path));
  if (auto* up = FindOnForm<TControl>(list, "UpButton")) up->SetEnabled(list->GetFolderIdList() &&
                                                                        !ILIsEmpty(list->GetFolderIdList()));
  // File-system folders visited join the folder combo's entries.
  auto* combo = FindOnForm<TKivFolderCombo>(list, "FolderCombo1");
  if (combo && !path.empty() && DirectoryExists(path)) {
    followingList = true;
    combo->SelectFolder(ExcludeTrailingBackslash(path));
    followingList = false;
  }
}

// Back and Forward are enabled as the tree's history allows; it records a folder once its
// selection has settled.
void ShowHistory(TKivShellTree* tree) {
  if (auto* back = FindOnForm<TControl>(tree, "BackButton")) back->SetEnabled(tree->IsMovePossible(-1));
  if (auto* forward = FindOnForm<TControl>(tree, "ForwardButton")) forward->SetEnabled(tree->IsMovePossible(1));
}

// Back and Forward move in the tree's history; the list follows through the link.
void MoveInHistory(TObject* sender, int steps) {
  if (auto* tree = FindOnForm<TKivShellTree>(sender, "ShellTree1")) {
    tree->MoveInHistory(steps);
    ShowHistory(tree);
  }
}

// "3 files dropped": files dropped on the explorer from elsewhere join the search pane's list.
void ListDroppedFiles(TObject* sender, TShiftState, POINT, TKivDropEffect& effect) {
  auto* drop = static_cast<TKivDropFiles*>(sender);
  auto* list = FindOnForm<TKivFileList>(sender, "FileList1");
  if (!list) return;
  int added = 0;
  for (int i = 0; i < drop->DroppedFiles()->Count(); ++i)
    if (list->Add(drop->DroppedFiles()->Strings(i))) ++added;
  searchForm = FormOf(sender);
  ShowSearchStatus("  " + IntToStr(added) + (added == 1 ? " file dropped" : " files dropped") +
                   " on the explorer");
  effect = deCopy;
}

}  // namespace

void SeedDocuments() {
  const String documents = GetPathFromSpecialFolder(SF_PERSONAL);
  if (documents.empty()) return;
  ForceDirectories(documents);
  if (!IsEmptyFolder(documents)) return;
  const String base = IncludeTrailingBackslash(documents);
  for (const char* folder : {"Projects", "Photos", "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82\xD1\x8B"})
    ForceDirectories(base + folder);
  WriteSample(base + "Notes.txt", "Things to do:\r\n- water the plants\r\n- call Anna\r\n");
  WriteSample(base + "Budget 2026.csv", "Month;Income;Spent\r\n" + std::string(3000, '7'));
  WriteSample(base + "Letter.rtf", "{\\rtf1\\ansi Dear reader,\\par " + std::string(12000, 'x') + "}");
  WriteSample(base + "\xE6\x97\xA5\xE8\xA8\x98.txt", std::string(4500, 'x'));
  WriteSample(base + "Projects\\plan.txt", "step one");
}

String SamplePicturesFolder() {
  const String documents = GetPathFromSpecialFolder(SF_PERSONAL);
  return documents.empty() ? String{} : IncludeTrailingBackslash(documents) + "Photos";
}

void SeedPictures() {
  const String folder = SamplePicturesFolder();
  if (folder.empty()) return;
  ForceDirectories(folder);
  CoInitializeGuard com;
  static const char* const kNames[] = {"Beach", "Harbour", "Hills", "Lake", "Meadow", "Sunset"};
  for (int i = 0; i < int(std::size(kNames)); ++i) {
    const String file = IncludeTrailingBackslash(folder) + kNames[i] + ".jpg";
    if (!FileExists(file)) WriteSamplePicture(file, 640, 480, i);
  }
}

void RegisterExplorerClasses() {
  RegisterZelnorComponents();
  RegisterComponentClass<TTimer>();
  TEventHandlers& handlers = EventHandlers();
  handlers.Register<TNotifyEvent>("ExplorerFormCreate", [](TObject* sender) {
    auto* form = static_cast<TForm*>(sender);
    if (auto* list = dynamic_cast<TKivShellList*>(form->FindComponent("ShellList1"))) {
      ShowStatus(list);
      ShowPlace(list);
      // A change of the checked paths starts the timer that shows their totals as they arrive.
      if (TKivShellLink* link = list->ShellLink())
        if (TKivSelectionList* checked = link->SelectionList())
          checked->OnChange = [form](TObject*) {
            if (auto* timer = dynamic_cast<TTimer*>(form->FindComponent("CheckedTotals")))
              timer->SetEnabled(true);
          };
    }
    // The folder the explorer opens on shows its own folders too; Back and Forward follow the
    // tree's history.
    if (auto* tree = dynamic_cast<TKivShellTree*>(form->FindComponent("ShellTree1"))) {
      if (TTreeNode* selected = tree->Selected()) selected->Expand(false);
      tree->OnChange = [](TObject* sender, TTreeNode*) { ShowHistory(static_cast<TKivShellTree*>(sender)); };
    }
  });
  // The shell's column widths are narrow for these fonts: make room for types and dates.
  handlers.Register<TNotifyEvent>("ExplorerListCreateColumns", [](TObject* sender) {
    auto* list = static_cast<TKivShellList*>(sender);
    static const int kWidths[] = {220, 70, 120, 140};
    for (int i = 0; i < list->Columns()->Count() && i < 4; ++i) {
      TListColumn* column = list->Columns()->Items(i);
      const int width = ScaleByDpi(kWidths[i], UINT(list->CurrentPpi()));
      if (column->Width() < width) column->SetWidth(width);
    }
  });
  handlers.Register<TNotifyEvent>("ExplorerListPathChanged", [](TObject* sender) {
    auto* list = static_cast<TKivShellList*>(sender);
    ShowStatus(list);
    ShowPlace(list);
  });
  handlers.Register<TLVChangeEvent>(
      "ExplorerListChange", [](TObject* sender, TListItem*, TItemChange) { ShowStatusSoon(sender); });
  handlers.Register<TLVNotifyEvent>("ExplorerListItemsChanged",
                                    [](TObject* sender, TListItem*) { ShowStatusSoon(sender); });
  // Shows the checked totals while the folder sizes are being summed, then stops.
  handlers.Register<TNotifyEvent>("ExplorerCheckedTotalsTimer", [](TObject* sender) {
    auto* timer = static_cast<TTimer*>(sender);
    auto* form = dynamic_cast<TForm*>(timer->Owner());
    auto* list = form ? dynamic_cast<TKivShellList*>(form->FindComponent("ShellList1")) : nullptr;
    TKivShellLink* link = list ? list->ShellLink() : nullptr;
    if (!link || !link->SelectionList() || !link->SelectionList()->SizeCalculationRunning())
      timer->SetEnabled(false);
    if (list) ShowStatus(list);
  });
  // Stop: the totals keep what has been counted; the folders still being summed stay uncounted.
  handlers.Register<TNotifyEvent>("ExplorerStopCountingClick", [](TObject* sender) {
    auto* control = dynamic_cast<TControl*>(sender);
    auto* form = control ? dynamic_cast<TForm*>(control->GetParentForm()) : nullptr;
    auto* list = form ? dynamic_cast<TKivShellList*>(form->FindComponent("ShellList1")) : nullptr;
    TKivShellLink* link = list ? list->ShellLink() : nullptr;
    if (!link || !link->SelectionList()) return;
    link->SelectionList()->StopSizeCalculation();
    ShowStatus(list);
  });
  handlers.Register<TNotifyEvent>("ExplorerBrowseClick", BrowseForShownFolder);
  handlers.Register<TNotifyEvent>("ExplorerBackClick", [](TObject* sender) { MoveInHistory(sender, -1); });
  handlers.Register<TNotifyEvent>("ExplorerForwardClick", [](TObject* sender) { MoveInHistory(sender, 1); });
  // Alt+Left and Alt+Right go back and forward from wherever the focus is.
  handlers.Register<TKeyEvent>("ExplorerFormKeyDown", [](TObject* sender, WORD& key, TShiftState shift) {
    if (!(shift & ssAlt) || (key != VK_LEFT && key != VK_RIGHT)) return;
    MoveInHistory(sender, key == VK_LEFT ? -1 : 1);
    key = 0;
  });
  handlers.Register<TNotifyEvent>("ExplorerUpClick", [](TObject* sender) {
    if (auto* list = FindOnForm<TKivShellList>(sender, "ShellList1")) list->GoUp();
  });
  handlers.Register<TNotifyEvent>("ExplorerFolderComboChange", [](TObject* sender) {
    auto* combo = static_cast<TKivFolderCombo*>(sender);
    auto* list = FindOnForm<TKivShellList>(sender, "ShellList1");
    const TKivFolderCombo::TKivComboItem* entry = combo->ItemData(combo->ItemIndex());
    if (followingList || !list || !entry || entry->path.empty()) return;
    if (!combo->Focused()) {
      // The combo selects an entry of its own when its window is made: it is shown the list's
      // folder again once that is done. Only the user's choice moves the list.
      HWND wnd = combo->Handle();
      QueueInMainThread([wnd] {
        if (auto* shown = FindOnForm<TKivShellList>(TWinControl::FindControl(wnd), "ShellList1")) ShowPlace(shown);
      });
      return;
    }
    if (!SameText(ExcludeTrailingBackslash(entry->path), ExcludeTrailingBackslash(list->GetPath())))
      list->SetPath(entry->path);
  });
  handlers.Register<TKivDragDropEvent>("ExplorerFilesDropped", ListDroppedFiles);
  handlers.Register<TNotifyEvent>("ExplorerSearchClick", StartSearch);
  // The search results switch between details and thumbnails.
  handlers.Register<TNotifyEvent>("ExplorerFoundThumbnailsClick", [](TObject* sender) {
    auto* list = FindOnForm<TKivFileList>(sender, "FileList1");
    auto* button = dynamic_cast<TButton*>(sender);
    if (!list || !button) return;
    list->SetThumbnails(!list->Thumbnails());
    button->SetCaption(list->Thumbnails() ? "Details" : "Thumbnails");
  });
  handlers.Register<TNotifyEvent>("ExplorerStopClick", [](TObject* sender) {
    if (auto* list = FindOnForm<TKivFileList>(sender, "FileList1")) list->Stop();
  });
  handlers.Register<TNotifyEvent>("ExplorerFileListCreateColumns", [](TObject* sender) {
    auto* list = static_cast<TKivFileList*>(sender);
    static const int kWidths[] = {200, 300, 80, 130, 150};
    for (int i = 0; i < list->Columns()->Count() && i < 5; ++i) {
      TListColumn* column = list->Columns()->Items(i);
      const int width = ScaleByDpi(kWidths[i], UINT(list->CurrentPpi()));
      if (column->Width() < width) column->SetWidth(width);
    }
  });
  // The status line follows the search a few times a second, and tells its end.
  handlers.Register<TOnSearchProgress>("ExplorerFileListProgress", [](const String& path) {
    ++searchExamined;
    const ULONGLONG now = GetTickCount64();
    if (now - searchProgressShown < 150) return;
    searchProgressShown = now;
    auto* list = searchForm ? dynamic_cast<TKivFileList*>(searchForm->FindComponent("FileList1")) : nullptr;
    ShowSearchStatus("  Searching " + ExtractFileDir(path) + "...   " + FoundText(list) + ", " +
                     CountText(searchExamined) + " looked at");
  });
  handlers.Register<TOnEndSearch>("ExplorerFileListEnd", [] {
    auto* list = searchForm ? dynamic_cast<TKivFileList*>(searchForm->FindComponent("FileList1")) : nullptr;
    ShowSearchStatus("  " + FoundText(list) + " in " + searchFolder + " (" + CountText(searchExamined) +
                     " looked at)");
  });
  handlers.Register<TNotifyEvent>("ExplorerCopyToClick", CopySelectionTo);
  // The view buttons: thumbnail view is a setting of its own; any view style leaves it.
  auto listOf = [](TObject* sender) {
    auto* control = dynamic_cast<TControl*>(sender);
    auto* form = control ? dynamic_cast<TForm*>(control->GetParentForm()) : nullptr;
    return form ? dynamic_cast<TKivShellList*>(form->FindComponent("ShellList1")) : nullptr;
  };
  handlers.Register<TNotifyEvent>("ExplorerDetailsClick", [listOf](TObject* sender) {
    if (TKivShellList* list = listOf(sender)) list->SetViewStyle(vsReport);
  });
  handlers.Register<TNotifyEvent>("ExplorerIconsClick", [listOf](TObject* sender) {
    if (TKivShellList* list = listOf(sender)) list->SetViewStyle(vsIcon);
  });
  handlers.Register<TNotifyEvent>("ExplorerThumbnailsClick", [listOf](TObject* sender) {
    if (TKivShellList* list = listOf(sender)) list->SetThumbnails(true);
  });
}

std::vector<String> PhotographContextMenu(TForm& form, const String& screenshotFile) {
  auto* list = dynamic_cast<TKivShellList*>(form.FindComponent("ShellList1"));
  if (!list || list->Items()->Count() == 0) return {};
  static HWND shotWindow = nullptr;
  static String shotFile;
  shotWindow = form.Handle();
  shotFile = ChangeFileExt(screenshotFile, "") + "-menu.png";
  // The picture is taken from a timer while the menu's own loop runs, then the menu closes.
  SetTimer(nullptr, 0, 500, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    SaveWindowPng(shotWindow, shotFile);
    EndMenu();
  });
  TListItem* first = list->Items()->Item(0);
  list->SetSelected(first);
  const RECT r = first->DisplayRect(drLabel);
  String command;
  list->ShowContextMenu(list->ClientToScreen(POINT{r.left + 24, (r.top + r.bottom) / 2}), command);
  return {shotFile};
}

namespace {

// Runs the message loop for a while: the form paints what changed.
void Settle(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (GetTickCount64() < end) {
    Application().ProcessMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

}  // namespace

std::vector<String> PhotographRename(TForm& form, const String& screenshotFile) {
  auto* list = dynamic_cast<TKivShellList*>(form.FindComponent("ShellList1"));
  if (!list) return {};
  std::vector<TListItem*> files;
  for (int i = 0; i < list->Items()->Count() && files.size() < 2; ++i) {
    TKivShellListItem* data = TKivShellList::ItemData(list->Items()->Item(i));
    if (data && !data->parentFolder && !data->folder) files.push_back(list->Items()->Item(i));
  }
  if (files.size() < 2) return {};
  const String selection = ChangeFileExt(screenshotFile, "") + "-selection.png";
  const String rename = ChangeFileExt(screenshotFile, "") + "-rename.png";
  list->ClearSelection();
  files[0]->SetSelected(true);
  files[1]->SetSelected(true);
  files[1]->SetFocused(true);
  SetFocus(list->Handle());
  WaitUntilPainted(&form);
  Settle(300);
  SaveWindowPng(form.Handle(), selection);
  PostMessageW(list->Handle(), WM_KEYDOWN, VK_F2, 0);
  Settle(500);
  SaveWindowPng(form.Handle(), rename);
  if (HWND edit = HWND(SendMessageW(list->Handle(), LVM_GETEDITCONTROL, 0, 0)))
    SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
  return {selection, rename};
}

std::vector<String> PhotographAddressList(TForm& form, const String& screenshotFile) {
  auto* combo = dynamic_cast<TKivShellCombo*>(form.FindComponent("AddressCombo"));
  if (!combo || combo->Items()->Count() == 0) return {};
  const String file = ChangeFileExt(screenshotFile, "") + "-address.png";
  WaitUntilPainted(&form);
  combo->SetDroppedDown(true);
  // The list paints itself; the form behind it stays as it is.
  const ULONGLONG settle = GetTickCount64() + 400;
  while (GetTickCount64() < settle) {
    Application().ProcessMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  SaveWindowPng(form.Handle(), file);
  combo->SetDroppedDown(false);
  return {file};
}

std::vector<String> PhotographThumbnails(TForm& form, const String& screenshotFile) {
  auto* list = dynamic_cast<TKivShellList*>(form.FindComponent("ShellList1"));
  auto* button = dynamic_cast<TButton*>(form.FindComponent("ThumbnailsButton"));
  const String pictures = SamplePicturesFolder();
  if (!list || !button || pictures.empty()) return {};
  list->SetPath(pictures);
  list->InformPathChanged();
  button->Click();
  // Placeholders come with the first paint, pictures as their requests end.
  WaitUntilPainted(&form);
  const DWORD start = GetTickCount();
  MSG msg;
  while (list->ThreadPool()->Count() > 0 && GetTickCount() - start < 15000) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    CheckSynchronize(10);
  }
  // The first picture selected: the preview beside the list follows it.
  if (list->Items()->Count() > 0) list->Items()->Item(0)->SetSelected(true);
  auto* preview = dynamic_cast<TKivThumbnailImage*>(form.FindComponent("Preview"));
  const DWORD again = GetTickCount();
  while (preview && preview->ThumbnailThread() && GetTickCount() - again < 5000) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    CheckSynchronize(10);
  }
  WaitUntilPainted(&form);
  const String file = ChangeFileExt(screenshotFile, "") + "-thumbnails.png";
  SaveWindowPng(form.Handle(), file);
  return {file};
}

std::vector<String> PhotographBrowseDialog(TForm& form, const String& screenshotFile) {
  auto* browse = dynamic_cast<TKivBrowseForFolder*>(form.FindComponent("BrowseForFolder1"));
  auto* button = form.FindComponent("BrowseButton");
  if (!browse || !button) return {};
  static TKivBrowseForFolder* shotDialog = nullptr;
  static String shotFile;
  shotDialog = browse;
  shotFile = ChangeFileExt(screenshotFile, "") + "-browse.png";
  // The picture is taken from a timer while the dialog's own loop runs, then the dialog cancels.
  SetTimer(nullptr, 0, 1500, [](HWND, UINT, UINT_PTR id, DWORD) {
    if (!shotDialog->Handle()) return;
    KillTimer(nullptr, id);
    SaveWindowPng(shotDialog->Handle(), shotFile);
    PostMessageW(shotDialog->Handle(), WM_COMMAND, IDCANCEL, 0);
  });
  BrowseForShownFolder(button);
  return {shotFile};
}

std::vector<String> PhotographCheckBoxes(TForm& form, const String& screenshotFile) {
  auto* link = dynamic_cast<TKivShellLink*>(form.FindComponent("ShellLink1"));
  auto* tree = dynamic_cast<TKivShellTree*>(form.FindComponent("ShellTree1"));
  const String documents = GetPathFromSpecialFolder(SF_PERSONAL);
  TKivSelectionList* checked = link ? link->SelectionList() : nullptr;
  if (!checked || !tree || !tree->CheckBoxes() || documents.empty()) return {};
  const String base = IncludeTrailingBackslash(documents);
  // A folder and a file of Documents checked: Documents and the desktop show grayed.
  checked->BeginUpdate();
  checked->AddPathToSelection(base + "Photos");
  checked->AddPathToSelection(base + "Notes.txt");
  checked->EndUpdate();
  // The folder's size is summed in the background; the status line shows the totals.
  const ULONGLONG end = GetTickCount64() + 10000;
  while (checked->Pool().Count() > 0 && GetTickCount64() < end) {
    Application().ProcessMessages();
    CheckSynchronize(10);
  }
  WaitUntilPainted(&form);
  Settle(400);
  const String file = ChangeFileExt(screenshotFile, "") + "-checks.png";
  SaveWindowPng(form.Handle(), file);
  checked->BeginUpdate();
  checked->Clear();
  checked->EndUpdate();
  Settle(200);
  return {file};
}

std::vector<String> PhotographSearch(TForm& form, const String& screenshotFile) {
  auto* list = dynamic_cast<TKivFileList*>(form.FindComponent("FileList1"));
  auto* folder = dynamic_cast<TKivPathEdit*>(form.FindComponent("SearchFolder"));
  auto* pattern = dynamic_cast<TEdit*>(form.FindComponent("SearchPattern"));
  auto* button = dynamic_cast<TButton*>(form.FindComponent("SearchButton"));
  const String documents = GetPathFromSpecialFolder(SF_PERSONAL);
  if (!list || !folder || !pattern || !button || documents.empty()) return {};
  folder->SetPath(documents);
  pattern->SetText("*.txt;*.jpg");
  button->Click();
  const ULONGLONG end = GetTickCount64() + 10000;
  while (list->Searching() && GetTickCount64() < end) {
    Application().ProcessMessages();
    CheckSynchronize(10);
  }
  // Ordered by the folder they were found in.
  list->SetSortColumn(1);
  WaitUntilPainted(&form);
  Settle(300);
  // Two hits checked, as a user ticks what to copy.
  if (TKivShellLink* link = list->ShellLink())
    if (TKivSelectionList* checked = link->SelectionList())
      for (int i = 0; i < list->Items()->Count() && i < 2; ++i) checked->AddPathToSelection(list->GetFullPath(i));
  list->SmartRefresh();
  WaitUntilPainted(&form);
  Settle(300);
  const String file = ChangeFileExt(screenshotFile, "") + "-search.png";
  SaveWindowPng(form.Handle(), file);
  // The hits as thumbnails, made on workers.
  auto* thumbnails = dynamic_cast<TButton*>(form.FindComponent("FoundThumbnailsButton"));
  if (!thumbnails) return {file};
  thumbnails->Click();
  const ULONGLONG shown = GetTickCount64() + 5000;
  do {
    Settle(200);
  } while (list->ThumbnailRequests().Pool()->Count() > 0 && GetTickCount64() < shown);
  Settle(300);
  const String pictures = ChangeFileExt(screenshotFile, "") + "-search-thumbnails.png";
  SaveWindowPng(form.Handle(), pictures);
  thumbnails->Click();
  if (TKivShellLink* link = list->ShellLink())
    if (TKivSelectionList* checked = link->SelectionList()) checked->Clear();
  return {file, pictures};
}

// A file of Documents dragged from the list over the tree's Photos folder: the node shows the drop
// highlight (the drag's calls are made here as the platform's drag loop makes them).
std::vector<String> PhotographDrag(TForm& form, const String& screenshotFile) {
  auto* list = dynamic_cast<TKivShellList*>(form.FindComponent("ShellList1"));
  auto* tree = dynamic_cast<TKivShellTree*>(form.FindComponent("ShellTree1"));
  const String documents = GetPathFromSpecialFolder(SF_PERSONAL);
  if (!list || !tree || documents.empty()) return {};
  list->SetThumbnails(false);
  list->SetViewStyle(vsReport);
  list->SetPath(documents);
  Settle(300);
  TListItem* file = nullptr;
  for (int i = 0; i < list->Items()->Count() && !file; ++i) {
    TKivShellListItem* data = TKivShellList::ItemData(list->Items()->Item(i));
    if (data && !data->parentFolder && !data->folder) file = list->Items()->Item(i);
  }
  TTreeNode* photos = nullptr;
  if (TTreeNode* shown = tree->Selected()) {
    shown->Expand(false);
    for (int i = 0; i < shown->Count() && !photos; ++i)
      if (SameText(shown->Item(i)->Text(), "Photos")) photos = shown->Item(i);
  }
  host::ComPtr<IShellFolder> folder;
  if (!file || !photos || FAILED(BindFolderIdList(list->GetFolderIdList(), folder))) return {};
  list->ClearSelection();
  file->SetSelected(true);
  PCUITEMID_CHILD child =
      reinterpret_cast<PCUITEMID_CHILD>(TKivShellList::ItemData(file)->idList.get());
  host::ComPtr<IDataObject> data;
  if (FAILED(folder->GetUIObjectOf(form.Handle(), 1, &child, IID_IDataObject, nullptr,
                                   reinterpret_cast<void**>(data.GetAddressOf()))))
    return {};
  const RECT r = photos->DisplayRect(true);
  const POINT at = tree->ClientToScreen(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  TKivShellDragDrop& drag = tree->DragDrop();
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  drag.DragEnter(data.Get(), MK_LBUTTON, POINTL{at.x, at.y}, &effect);
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  drag.DragOver(MK_LBUTTON, POINTL{at.x, at.y}, &effect);
  WaitUntilPainted(&form);
  Settle(300);
  const String shot = ChangeFileExt(screenshotFile, "") + "-drag.png";
  SaveWindowPng(form.Handle(), shot);
  drag.DragLeave();
  return {shot};
}

// The window at 640 x 480 and over the whole work area: the bars, panes and splitters keep
// their places; then back to its own size.
std::vector<String> PhotographSizes(TForm& form, const String& screenshotFile) {
  RECT own{};
  GetWindowRect(form.Handle(), &own);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const struct {
    const char* suffix;
    RECT bounds;
  } sizes[] = {{"-640x480.png", {own.left, own.top, own.left + 640, own.top + 480}},
               {"-full.png", work}};
  std::vector<String> files;
  for (const auto& size : sizes) {
    const RECT& r = size.bounds;
    form.SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
    WaitUntilPainted(&form);
    const String file = ChangeFileExt(screenshotFile, "") + size.suffix;
    SaveWindowPng(form.Handle(), file);
    files.push_back(file);
  }
  form.SetBounds(own.left, own.top, own.right - own.left, own.bottom - own.top);
  WaitUntilPainted(&form);
  return files;
}

std::vector<String> PhotographExplorerExtras(TForm& form, const String& screenshotFile) {
  std::vector<String> files = PhotographCheckBoxes(form, screenshotFile);
  for (String& file : PhotographSizes(form, screenshotFile)) files.push_back(std::move(file));
  for (String& file : PhotographAddressList(form, screenshotFile)) files.push_back(std::move(file));
  for (String& file : PhotographRename(form, screenshotFile)) files.push_back(std::move(file));
  for (String& file : PhotographContextMenu(form, screenshotFile)) files.push_back(std::move(file));
  for (String& file : PhotographBrowseDialog(form, screenshotFile)) files.push_back(std::move(file));
  for (String& file : PhotographThumbnails(form, screenshotFile)) files.push_back(std::move(file));
  for (String& file : PhotographSearch(form, screenshotFile)) files.push_back(std::move(file));
  for (String& file : PhotographDrag(form, screenshotFile)) files.push_back(std::move(file));
  return files;
}
