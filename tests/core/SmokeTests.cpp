#include <gtest/gtest.h>
#include "TestHelpers.h"

TEST(TestEnvironment, HomeIsATemporaryFolder)
{
    const auto home = juce::File::getSpecialLocation(juce::File::userHomeDirectory);
    EXPECT_TRUE(home.getFullPathName().startsWith("/tmp/tavinor-tests-"));
    TestHelpers::TempFolder t;
    EXPECT_TRUE(t.get().isDirectory());
    EXPECT_TRUE(t.get().isAChildOf(home));
}
