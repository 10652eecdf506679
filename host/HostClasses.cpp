// The class library's registry of classes that form files may name: every layer's controls.
#include "host/forms/ExtCtrls.h"
#include "host/forms/Forms.h"
#include "host/forms/Frames.h"
#include "host/forms/Menus.h"
#include "host/forms/StdCtrls.h"
#include "host/views/ListView.h"

namespace host {

void RegisterFormClasses() {
  RegisterControlClasses();
  RegisterComponentClass<TForm>();
  RegisterComponentClass<TFrame>();
  RegisterStdControls();
  RegisterExtControls();
  RegisterMenuClasses();
  RegisterListViewClasses();
}

}  // namespace host
