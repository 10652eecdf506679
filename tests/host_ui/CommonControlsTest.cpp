#include "host/forms/CommonControls.h"

#include <gtest/gtest.h>

// Every executable of the project carries the manifest that asks for version 6.
TEST(CommonControls, ManifestSelectsVersion6) { EXPECT_TRUE(host::UsesCommonControls6()); }
