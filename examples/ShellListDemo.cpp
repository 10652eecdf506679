// The shell list demo: sample documents, the form file and the classes it needs.
#include "ShellListDemo.h"

#include <windows.h>

#include "controls/ShellList.h"
#include "host/Streaming.h"
#include "link/ShellLink.h"
#include "shell/ShellGlobals.h"

using namespace host;
using namespace zelnor;

namespace {

void WriteSample(const std::wstring& path, const std::string& content) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, content.data(), DWORD(content.size()), &written, nullptr);
  CloseHandle(h);
}

bool IsEmptyFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return true;
  bool empty = true;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") empty = false;
  } while (empty && FindNextFileW(h, &data));
  FindClose(h);
  return empty;
}

}  // namespace

void SeedDocuments() {
  const std::wstring documents = ToWide(GetPathFromSpecialFolder(SF_PERSONAL));
  if (documents.empty()) return;
  CreateDirectoryW(documents.c_str(), nullptr);
  if (!IsEmptyFolder(documents)) return;
  CreateDirectoryW((documents + L"\\Projects").c_str(), nullptr);
  CreateDirectoryW((documents + L"\\Photos").c_str(), nullptr);
  WriteSample(documents + L"\\Notes.txt", "Things to do:\r\n- water the plants\r\n- call Anna\r\n");
  WriteSample(documents + L"\\Budget 2026.csv",
              std::string("Month;Income;Spent\r\n") + std::string(3000, '7'));
  WriteSample(documents + L"\\Letter.rtf", "{\\rtf1\\ansi Dear reader,\\par " +
                                               std::string(12000, 'x') + "}");
  WriteSample(documents + L"\\Projects\\plan.txt", "step one");
}

String ShellListDemoFormFile() {
  // The examples folder is where this source lies; under Wine the Unix root is drive Z:.
  String source = __FILE__;
  if (!source.empty() && source[0] == '/') {
    for (char& c : source)
      if (c == '/') c = '\\';
    source = "Z:" + source;
  }
  return ExtractFilePath(source) + "ShellListDemo.form";
}

void RegisterShellDemoClasses() {
  RegisterShellLinkComponents();
  RegisterShellListComponents();
  // The shell's column widths are narrow for these fonts: make room for types and dates.
  EventHandlers().Register<TNotifyEvent>("ShellListCreateColumns", [](TObject* sender) {
    auto* list = static_cast<TKivShellList*>(sender);
    static const int kWidths[] = {200, 80, 110, 150};
    for (int i = 0; i < list->Columns()->Count() && i < 4; ++i) {
      host::TListColumn* column = list->Columns()->Items(i);
      if (column->Width() < kWidths[i]) column->SetWidth(kWidths[i]);
    }
  });
}
