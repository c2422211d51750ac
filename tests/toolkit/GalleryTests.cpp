#include "TestHelpers.h"

#include <gtest/gtest.h>

// The gallery draws every widget and refuses to finish quietly when a
// picture of the look-and-feel is missing.
TEST(Gallery, DrawsEveryWidgetWithAllItsPictures)
{
    const auto program = TestHelpers::buildFolder().getChildFile("tools/gallery/tavinor_gallery");
    if (!program.existsAsFile())
        GTEST_SKIP() << "the gallery is not built";
    TestHelpers::TempFolder out;
    const auto result = TestHelpers::runProgram({ program.getFullPathName(), "--out", out.get().getFullPathName() });
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_FALSE(result.output.contains("missing picture"));
    const auto sheet = juce::ImageFileFormat::loadFrom(out.getChild("toolkit-gallery.png"));
    ASSERT_TRUE(sheet.isValid());
    EXPECT_GT(sheet.getWidth(), 1000);
    EXPECT_GT(sheet.getHeight(), 300);
    EXPECT_TRUE(out.getChild("toolkit-window.png").existsAsFile());
}
