// Filling the shell list from a folder of 1,000 and of 10,000 files: the time from setting Path
// until OnPopulated, and until the first screen of items has been painted with its icons and
// texts; beside it the platform's floor, a raw EnumObjects + Next of the same folder.
#include "controls/ShellList.h"
#include "host/Forms.h"
#include "shell/ShellGlobals.h"

#include <cstdio>
#include <memory>
#include <string>

using namespace host;
using namespace zelnor;

namespace {

double NowMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return double(c.QuadPart) * 1000.0 / double(f.QuadPart);
}

std::wstring MakeFolder(int count) {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring folder = std::wstring(temp) + L"zelnor-bench-list-" + std::to_wstring(count);
  CreateDirectoryW(folder.c_str(), nullptr);
  static const wchar_t* const kExtensions[] = {L".txt", L".doc", L".png", L".dat", L".log"};
  for (int i = 0; i < count; ++i) {
    const std::wstring name =
        folder + L"\\file" + std::to_wstring(100000 + i) + kExtensions[i % 5];
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  return folder;
}

void RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name != L"." && name != L"..") DeleteFileW((folder + L"\\" + name).c_str());
    } while (FindNextFileW(h, &data));
    FindClose(h);
  }
  RemoveDirectoryW(folder.c_str());
}

double RawEnumeration(const std::wstring& folder, int& count) {
  const double start = NowMs();
  PIDLIST_RELATIVE list = nullptr;
  std::wstring text = folder;
  Desktop()->ParseDisplayName(nullptr, nullptr, text.data(), nullptr, &list, nullptr);
  ComPtr<IShellFolder> shellFolder;
  Desktop()->BindToObject(list, nullptr, IID_PPV_ARGS(&shellFolder));
  CoTaskMemFree(list);
  ComPtr<IEnumIDList> items;
  count = 0;
  if (shellFolder &&
      shellFolder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN,
                               &items) == S_OK) {
    PITEMID_CHILD child = nullptr;
    while (items->Next(1, &child, nullptr) == S_OK) {
      ++count;
      CoTaskMemFree(child);
    }
  }
  return NowMs() - start;
}

void Measure(TForm* form, int files) {
  const std::wstring folder = MakeFolder(files);
  int rawCount = 0;
  RawEnumeration(folder, rawCount);  // warm the folder's caches once
  const double raw = RawEnumeration(folder, rawCount);

  auto list = std::make_unique<TKivShellList>(form);
  list->SetParent(form);
  list->SetBounds(0, 0, 780, 560);
  list->HandleNeeded();
  double populated = 0;
  const double start = NowMs();
  list->OnPopulated = [&](TObject*) { populated = NowMs() - start; };
  list->SetPath(ToUtf8(folder));
  RedrawWindow(list->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  const double painted = NowMs() - start;
  int completed = 0;
  for (int i = 0; i < list->Items()->Count(); ++i)
    if (list->Items()->Item(i)->ImageIndex() >= 0) ++completed;

  std::printf("%6d files: raw enumeration %8.1f ms (%d items); Path to OnPopulated %8.1f ms; "
              "to first screen painted %8.1f ms (%d items completed)\n",
              files, raw, rawCount, populated, painted, completed);
  std::printf("%6d files: fill ratio %.2f, first screen ratio %.2f (goal: fill within 2)\n", files,
              populated / raw, painted / raw);
  list.reset();
  RemoveFolder(folder);
}

}  // namespace

int main() {
  CoInitializeGuard com;
  InitializeShell();
  TForm form;
  form.SetBounds(10, 10, 800, 600);
  form.Show();
  Measure(&form, 1000);
  Measure(&form, 10000);
  return 0;
}
