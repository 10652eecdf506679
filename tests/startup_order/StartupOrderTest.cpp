// Class information of the package's components in a program whose static objects start in
// another order than the library's: the package's sources are linked into this program directly,
// and the program registers the components from a static object of its own, which starts before
// the package's. Published enumerations must still stream by name.
#include <gtest/gtest.h>

#include "controls/ShellList.h"
#include "host/core/Streaming.h"
#include "package/ZelnorComponents.h"
#include "shell/Zelnor.h"

using namespace zelnor;

namespace {

// Registering at start-up builds the class information of every component then.
[[maybe_unused]] const bool registeredAtStartUp = (RegisterZelnorComponents(), true);

}  // namespace

TEST(StartupOrder, ShellListStreamsItsSpecialFolderByName) {
  TKivShellList list;
  list.SetName("List1");
  list.SetSpecialFolder(SF_PERSONAL);
  ASSERT_EQ(list.GetSpecialFolder(), SF_PERSONAL);
  String text;
  ASSERT_NO_THROW(text = host::WriteComponentText(&list));
  EXPECT_NE(text.find("SpecialFolder = SF_PERSONAL"), String::npos) << text;

  TKivShellList back;
  ASSERT_NO_THROW(host::ReadComponentText(
      "object List1: TKivShellList\r\n  SpecialFolder = SF_PERSONAL\r\nend\r\n", &back));
  EXPECT_EQ(back.GetSpecialFolder(), SF_PERSONAL);
}

TEST(StartupOrder, NavigatorAndListKnowEveryShellFolderName) {
  for (const host::TClassInfo* info :
       {&TZelnor::StaticClassInfo(), &TKivShellList::StaticClassInfo()}) {
    const host::TPropInfo* p = info->FindProperty("SpecialFolder");
    ASSERT_NE(p, nullptr) << info->Name();
    ASSERT_TRUE(p->enumInfo) << info->Name();
    EXPECT_EQ(p->enumInfo->Items().size(), 28u) << info->Name();
    const auto* personal = p->enumInfo->FindName("SF_PERSONAL");
    ASSERT_NE(personal, nullptr) << info->Name();
    EXPECT_EQ(personal->value, SF_PERSONAL);
  }
}
