// Show options of the shell controls and the shown-object test.
#include <gtest/gtest.h>

#include "TempDir.h"
#include "shell/ShowOptions.h"
#include "shell/Zelnor.h"

using namespace zelnor;
using testing_support::TempDir;

TEST(ShowOptions, SetIsSixteenBitsWithMemberNAtBitN) {
  EXPECT_EQ(KivListShowOptions.Bits(), 0x13);
  EXPECT_EQ(KivComboShowOptions.Bits(), 3);
  TKivShellShowOptions options;
  options = options.With(soNoFillOnStartup, true).With(soShowHidden, true);
  EXPECT_EQ(options.Bits(), (1 << 8) | (1 << 3));
  EXPECT_TRUE(options.Contains(soShowHidden));
  options = options.With(soShowHidden, false);
  EXPECT_EQ(options, TKivShellShowOptions{soNoFillOnStartup});
  EXPECT_EQ(TKivShellShowOptions(0x13), KivListShowOptions);
}

TEST(ShowOptions, ShownObjectTestInAFileFolder) {
  TempDir dir;
  dir.File("plain.txt");
  const String hidden = dir.File("hidden.txt");
  SetFileAttributesW(host::ToWide(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN);
  dir.Folder("folder");
  const String recycler = dir.Folder("Recycler");
  dir.Folder("recycled-visible");
  SetFileAttributesW(host::ToWide(recycler).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);

  TZelnor nav;
  nav.SetDirectory(dir.Path());
  auto shown = [&](const char* name, TKivShellShowOptions options) {
    nav.SetObjectName(name);
    return IsShownObject(nav, options);
  };
  const TKivShellShowOptions none;
  const TKivShellShowOptions all{soShowNethood, soShowRecycleBin, soShowHidden, soShowFiles};

  EXPECT_TRUE(shown("plain.txt", KivListShowOptions));
  EXPECT_FALSE(shown("plain.txt", KivComboShowOptions));  // files need soShowFiles
  EXPECT_TRUE(shown("folder", none));
  EXPECT_FALSE(shown("hidden.txt", KivListShowOptions));
  EXPECT_TRUE(shown("hidden.txt", all));
  // A hidden folder named RECYCL... needs soShowRecycleBin as well as soShowHidden.
  EXPECT_FALSE(shown("Recycler", TKivShellShowOptions{soShowHidden}));
  EXPECT_TRUE(shown("Recycler", TKivShellShowOptions{soShowHidden, soShowRecycleBin}));
  // Not hidden: shown without it.
  EXPECT_TRUE(shown("recycled-visible", none));
}

TEST(ShowOptions, RecycleBinAmongTheDesktopChildren) {
  TZelnor nav;
  nav.SetSpecialFolder(SF_DESKTOP);
  bool sawBin = false;
  while (nav.Next()) {
    if (nav.IsSpecialObject() != SF_BITBUCKET) continue;
    sawBin = true;
    EXPECT_FALSE(IsShownObject(nav, TKivShellShowOptions{soShowNethood, soShowFiles}));
    EXPECT_TRUE(IsShownObject(nav, TKivShellShowOptions{soShowRecycleBin, soShowFiles}));
  }
  EXPECT_TRUE(sawBin);
}
