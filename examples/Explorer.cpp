// The explorer's handlers: sample documents, column widths, the status line, the shell's context
// menu on the list, browsing for the folder to show and copying the selection elsewhere.
#include "Explorer.h"

#include "FormDemo.h"

#include <windows.h>
#include <shellapi.h>

#include "controls/ShellCombo.h"
#include "controls/ShellList.h"
#include "controls/ShellTree.h"
#include "dialogs/BrowseForFolder.h"
#include "dialogs/FileOperation.h"
#include "host/Forms.h"
#include "host/MessageDialogs.h"
#include "host/Raii.h"
#include "host/Streaming.h"
#include "link/ShellLink.h"
#include "package/ZelnorComponents.h"
#include "shell/ShellGlobals.h"

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

// The name the shell shows for a folder (its path is empty for virtual folders).
String FolderDisplayName(PCItemIDList folder) {
  SHFILEINFOW info{};
  if (!folder || !SHGetFileInfoW(reinterpret_cast<LPCWSTR>(folder), 0, &info, sizeof info,
                                 SHGFI_PIDL | SHGFI_DISPLAYNAME))
    return {};
  return ToUtf8(info.szDisplayName);
}

void ShowStatus(TKivShellList* list) {
  auto* form = dynamic_cast<TForm*>(list->GetParentForm());
  auto* status = form ? dynamic_cast<TControl*>(form->FindComponent("StatusBar")) : nullptr;
  if (!status) return;
  String where = list->GetPath();
  if (where.empty()) where = FolderDisplayName(list->GetFolderIdList());
  const int count = list->Items()->Count();
  status->SetCaption("  " + IntToStr(count) + (count == 1 ? " object" : " objects") + "   " + where);
}

// The shell's context menu for the selected items, or for the item under the mouse.
void ShowListContextMenu(TKivShellList* list, POINT mousePos, bool& handled) {
  const bool keyboard = mousePos.x == -1 && mousePos.y == -1;
  TListItem* hit = keyboard ? list->Selected() : list->GetItemAt(mousePos.x, mousePos.y);
  TKivShellListItem* data = TKivShellList::ItemData(hit);
  if (!data || data->parentFolder || !data->idList) return;
  if (!hit->Selected()) {
    list->ClearSelection();
    hit->SetSelected(true);
  }
  // A navigator of the demo's own, bound to the list's folder: the list keeps its own to itself.
  TZelnor own(list);
  TZelnor* navigator = &own;
  navigator->SetFolderIdList(list->GetFolderIdList());
  navigator->SetItemIdList(data->idList.get());
  if (list->SelCount() > 1) {
    for (TListItem* item = list->GetNextItem(nullptr, sdAll, 1u << isSelected); item;
         item = list->GetNextItem(item, sdAll, 1u << isSelected)) {
      TKivShellListItem* selected = TKivShellList::ItemData(item);
      if (selected && !selected->parentFolder) navigator->MultiObjects()->Add(selected->parsingName);
    }
  }
  if (keyboard) {
    const RECT r = hit->DisplayRect(drLabel);
    mousePos = POINT{r.left, r.bottom};
  }
  handled = true;
  // What the command changed shows at the list's next refresh.
  if (!navigator->ShowContextMenu(list->ClientToScreen(mousePos), list->PopupMenu()).empty())
    list->FileChange();
}

template <class T>
T* FindOnForm(TObject* sender, const char* name) {
  auto* control = dynamic_cast<TControl*>(sender);
  auto* form = control ? dynamic_cast<TForm*>(control->GetParentForm()) : nullptr;
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
  if (sources.Count() == 0) {
    ShowMessage("Select the files and folders to copy first.");
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

void RegisterExplorerClasses() {
  RegisterZelnorComponents();
  TEventHandlers& handlers = EventHandlers();
  handlers.Register<TNotifyEvent>("ExplorerFormCreate", [](TObject* sender) {
    auto* form = static_cast<TForm*>(sender);
    if (auto* list = dynamic_cast<TKivShellList*>(form->FindComponent("ShellList1")))
      ShowStatus(list);
    // The folder the explorer opens on shows its own folders too.
    if (auto* tree = dynamic_cast<TKivShellTree*>(form->FindComponent("ShellTree1")))
      if (TTreeNode* selected = tree->Selected()) selected->Expand(false);
  });
  // The shell's column widths are narrow for these fonts: make room for types and dates.
  handlers.Register<TNotifyEvent>("ExplorerListCreateColumns", [](TObject* sender) {
    auto* list = static_cast<TKivShellList*>(sender);
    static const int kWidths[] = {240, 80, 130, 150};
    for (int i = 0; i < list->Columns()->Count() && i < 4; ++i) {
      TListColumn* column = list->Columns()->Items(i);
      if (column->Width() < kWidths[i]) column->SetWidth(kWidths[i]);
    }
  });
  handlers.Register<TNotifyEvent>("ExplorerListPathChanged", [](TObject* sender) {
    ShowStatus(static_cast<TKivShellList*>(sender));
  });
  handlers.Register<TNotifyEvent>("ExplorerBrowseClick", BrowseForShownFolder);
  handlers.Register<TNotifyEvent>("ExplorerCopyToClick", CopySelectionTo);
  handlers.Register<TContextPopupEvent>(
      "ExplorerListContextPopup", [](TObject* sender, POINT mousePos, bool& handled) {
        ShowListContextMenu(static_cast<TKivShellList*>(sender), mousePos, handled);
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
  const RECT r = list->Items()->Item(0)->DisplayRect(drLabel);
  bool handled = false;
  ShowListContextMenu(list, POINT{r.left + 24, (r.top + r.bottom) / 2}, handled);
  return {shotFile};
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

std::vector<String> PhotographExplorerExtras(TForm& form, const String& screenshotFile) {
  std::vector<String> files = PhotographAddressList(form, screenshotFile);
  for (String& file : PhotographContextMenu(form, screenshotFile)) files.push_back(std::move(file));
  for (String& file : PhotographBrowseDialog(form, screenshotFile)) files.push_back(std::move(file));
  return files;
}
