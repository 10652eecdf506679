// The smallest program with the components: Minimal.form (next to the program) holds a shell
// tree, a shell list and their link; this reads it into a window and shows the list's folder in
// the caption.
#include "controls/ShellList.h"
#include "host/core/Raii.h"
#include "host/forms/Application.h"
#include "host/forms/Forms.h"
#include "package/ZelnorComponents.h"

#include <windows.h>

#include <memory>

using namespace host;

int main() {
  CoInitializeGuard com;  // the shell's objects live in this thread's apartment
  zelnor::RegisterZelnorComponents();

  // Handlers are bound to the events named in the form file by their names.
  EventHandlers().Register<TNotifyEvent>("ShellListPathChanged", [](TObject* sender) {
    auto* list = static_cast<zelnor::TKivShellList*>(sender);
    if (TWinControl* form = list->GetParentForm()) form->SetCaption("Minimal - " + list->GetPath());
  });

  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const String formFile = ExtractFilePath(ToUtf8(exe)) + "Minimal.form";
  try {
    std::unique_ptr<TForm> form(TForm::CreateFromFile(formFile));
    Application().SetMainForm(form.get());
    form->Show();
    Application().Run();
    return 0;
  } catch (const std::exception& e) {
    MessageBoxW(nullptr, ToWide(e.what()).c_str(), L"Minimal", MB_ICONERROR);
    return 1;
  }
}
