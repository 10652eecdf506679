// The demo: the explorer (examples/Explorer.form), after a short console tour of the library.
//   - special folders and their paths
//   - a sorted string list of the Documents folder's entries, with sizes
//   - the entries saved to and read back from an ini file (names outside the code page survive)
//   - a worker thread that reports through Synchronize
//   - the explorer in a real window; without a display of the user's own (ZELNOR_KEEP_DISPLAY
//     unset) or with --screenshot FILE it saves a PNG of the painted window and exits.
//     --form FILE shows another form file instead (examples/DemoForm.form: the host controls);
//     --console stops after the tour; --main-only takes no pictures beyond the main one.
#include "Explorer.h"
#include "FormDemo.h"
#include "host/core/IniFiles.h"
#include "host/core/Raii.h"
#include "host/core/StringList.h"
#include "host/core/SysUtils.h"
#include "host/core/Threads.h"
#include "shell/ShellGlobals.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

using namespace host;
using namespace zelnor;

namespace {

void Print(const String& text) {
  // The console gets UTF-16, so names outside the code page print right.
  const WideString wide = ToWide(text + "\n");
  DWORD written = 0;
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!WriteConsoleW(out, wide.data(), DWORD(wide.size()), &written, nullptr))
    std::fputs((text + "\n").c_str(), stdout);
}

class TCounter : public TThread {
 public:
  explicit TCounter(String folder) : folder_(std::move(folder)) {}
  int Found() const { return found_; }

 protected:
  void Execute() override {
    WIN32_FIND_DATAW data;
    FindHandle find{FindFirstFileW(ToWide(IncludeTrailingBackslash(folder_) + "*").c_str(), &data)};
    if (!find) return;
    do {
      if (data.cFileName[0] != L'.') ++found_;
    } while (FindNextFileW(find.get(), &data));
    Synchronize([this] { Print("  worker counted " + IntToStr(found_) + " entries"); });
  }

 private:
  String folder_;
  int found_ = 0;
};

}  // namespace

int RunConsoleDemo() {
  try {
    InitializeShell();
    SeedDocuments();
    SeedPictures();
    Print("Zelnor Components demo");
    Print("Special folders:");
    const std::pair<TKivShellFolder, const char*> shown[] = {
        {SF_DESKTOPDIRECTORY, "Desktop"}, {SF_PERSONAL, "Documents"}, {SF_APPDATA, "AppData"},
        {SF_FONTS, "Fonts"}};
    for (auto [folder, name] : shown) Print(String("  ") + name + ": " + GetPathFromSpecialFolder(folder));

    const String documents = GetPathFromSpecialFolder(SF_PERSONAL);
    TStringList entries;
    entries.SetSorted(true);
    auto list = [&] {
      entries.Clear();
      WIN32_FIND_DATAW data;
      FindHandle find{FindFirstFileW(ToWide(IncludeTrailingBackslash(documents) + "*").c_str(), &data)};
      if (!find) return;
      do {
        const String name = ToUtf8(data.cFileName);
        if (name == "." || name == "..") continue;
        const bool folder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        const double size = double((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
        entries.Add(name + (folder ? "  <folder>" : "  " + FormatNumber(size) + " bytes"));
      } while (FindNextFileW(find.get(), &data));
    };
    list();
    Print("Documents, sorted:");
    for (int i = 0; i < entries.Count(); ++i) Print("  " + entries.Strings(i));

    const String iniName = IncludeTrailingBackslash(documents) + "demo.ini";
    DeleteFile(iniName);
    {
      TIniFile ini(iniName);
      for (int i = 0; i < entries.Count(); ++i)
        ini.WriteString("Entries", "Item" + IntToStr(i), entries.Strings(i));
      ini.UpdateFile();
    }
    TIniFile ini(iniName);
    TStringList keys;
    ini.ReadSection("Entries", &keys);
    Print("Read back from demo.ini: " + IntToStr(keys.Count()) + " keys, first \"" +
          ini.ReadString("Entries", "Item0", "") + "\"");
    DeleteFile(iniName);

    TCounter counter(documents);
    counter.Start();
    counter.WaitFor();
    Print("Done.");
    return 0;
  } catch (const std::exception& e) {
    Print(String("demo failed: ") + e.what());
    return 1;
  }
}

int main() {
  String formFile = ExamplesFile("Explorer.form");
  String screenshot;
  bool consoleOnly = false;
  bool mainOnly = false;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; i < argc; ++i) {
    const String arg = ToUtf8(argv[i]);
    if (arg == "--form" && i + 1 < argc) formFile = ToUtf8(argv[++i]);
    else if (arg == "--screenshot" && i + 1 < argc) screenshot = ToUtf8(argv[++i]);
    else if (arg == "--console") consoleOnly = true;
    else if (arg == "--main-only") mainOnly = true;
  }
  LocalFree(argv);
  const int rc = RunConsoleDemo();
  if (rc != 0 || consoleOnly) return rc;
  wchar_t keep[8] = {};
  if (screenshot.empty() && !GetEnvironmentVariableW(L"ZELNOR_KEEP_DISPLAY", keep, 8)) {
    // No display of the user's: photograph the form next to the program.
    wchar_t exe[MAX_PATH * 2];
    GetModuleFileNameW(nullptr, exe, DWORD(std::size(exe)));
    screenshot = ExtractFilePath(ToUtf8(exe)) + ChangeFileExt(ExtractFileName(formFile), ".png");
  }
  try {
    RegisterExplorerClasses();
    const bool explorer = SameText(ExtractFileName(formFile), "Explorer.form") && !mainOnly;
    return RunFormDemo(formFile, screenshot, explorer ? TExtraShots(PhotographExplorerExtras) : nullptr);
  } catch (const std::exception& e) {
    Print(String("form demo failed: ") + e.what());
    return 1;
  }
}
