#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/BundleResources.h"
#include "editor/AboutWindow.h"
#include "tools/imagegen/Palette.h"

#include <map>

namespace
{
juce::File imageGenerator()
{
    return TestHelpers::buildFolder().getChildFile("tools/imagegen/tavinor_imagegen");
}

TestHelpers::ProgramResult generateInto(const juce::File& folder)
{
    return TestHelpers::runProgram({ imageGenerator().getFullPathName(),
                                     "--out", folder.getChildFile("files").getFullPathName(),
                                     "--archive", folder.getChildFile("all.zip").getFullPathName(),
                                     "--list" });
}

juce::MemoryBlock bytesOf(const juce::File& file)
{
    juce::MemoryBlock block;
    file.loadFileAsData(block);
    return block;
}
}

// Two runs must give the same bytes, or every build would re-embed (and
// re-link) the plug-in and two machines would ship different pictures.
TEST(ImageGenerator, TwoRunsGiveIdenticalFiles)
{
    TestHelpers::TempFolder temp;
    const auto first = temp.getChild("first"), second = temp.getChild("second");
    const auto a = generateInto(first);
    const auto b = generateInto(second);
    ASSERT_EQ(a.exitCode, 0) << a.output;
    ASSERT_EQ(b.exitCode, 0) << b.output;
    EXPECT_EQ(a.output, b.output);

    const auto names = juce::StringArray::fromLines(a.output.trim());
    ASSERT_GT(names.size(), 0);
    for (const auto& name : names)
    {
        const auto fileA = first.getChildFile("files").getChildFile(name);
        ASSERT_TRUE(fileA.existsAsFile()) << name;
        EXPECT_TRUE(bytesOf(fileA) == bytesOf(second.getChildFile("files").getChildFile(name))) << name;
    }
    EXPECT_EQ(first.getChildFile("files").getNumberOfChildFiles(juce::File::findFiles), names.size());
    EXPECT_TRUE(bytesOf(first.getChildFile("all.zip")) == bytesOf(second.getChildFile("all.zip")));
}

// What the plug-in embeds is what the generator draws now: every file it lists
// is a bundle resource with the same bytes.
TEST(ImageGenerator, EveryGeneratedFileIsABundleResource)
{
    TestHelpers::TempFolder temp;
    const auto result = generateInto(temp.get());
    ASSERT_EQ(result.exitCode, 0) << result.output;

    for (const auto& name : juce::StringArray::fromLines(result.output.trim()))
    {
        const auto embedded = loadBundleResource(name);
        ASSERT_NE(embedded, nullptr) << name;
        EXPECT_TRUE(*embedded == bytesOf(temp.get().getChildFile("files").getChildFile(name))) << name;
        if (name.endsWith(".png"))
            EXPECT_TRUE(loadBundleResourceAsImage(name).isValid()) << name;
    }
}

TEST(ImageGenerator, BadArgumentsAndMissingFontsFailWithAMessage)
{
    TestHelpers::TempFolder temp;
    const auto noArgs = TestHelpers::runProgram({ imageGenerator().getFullPathName() });
    EXPECT_EQ(noArgs.exitCode, 2);
    EXPECT_TRUE(noArgs.output.contains("usage")) << noArgs.output;

    const auto noFonts = TestHelpers::runProgram({ imageGenerator().getFullPathName(),
                                                   "--fonts", temp.get().getFullPathName(),
                                                   "--out", temp.getChild("out").getFullPathName() });
    EXPECT_EQ(noFonts.exitCode, 1);
    EXPECT_TRUE(noFonts.output.contains("DejaVuSans.ttf")) << noFonts.output;
    EXPECT_FALSE(temp.getChild("out").exists());
}

// The preview composes the face from skin.xml and its images, the way the
// editor will show it; it fails on a missing image, so a state that renders
// proves that every image the skin names in that state exists.
TEST(ImageGenerator, PreviewComposesTheWholeFaceInSeveralStates)
{
    TestHelpers::TempFolder temp;
    const auto result = TestHelpers::runProgram({ imageGenerator().getFullPathName(),
                                                  "--preview", temp.get().getFullPathName() });
    ASSERT_EQ(result.exitCode, 0) << result.output;

    const auto pictures = temp.get().findChildFiles(juce::File::findFiles, false, "skin-*.png");
    ASSERT_GE(pictures.size(), 4);
    std::vector<juce::MemoryBlock> seen;
    for (const auto& file : pictures)
    {
        EXPECT_TRUE(result.output.contains(file.getFullPathName())) << "the generator says where it wrote";
        const auto image = juce::ImageFileFormat::loadFrom(file);
        ASSERT_TRUE(image.isValid()) << file.getFileName();
        // The face plus the editor's 16 px status bar.
        EXPECT_EQ(image.getWidth(), 1200);
        EXPECT_EQ(image.getHeight(), 540 + 16);
        const auto bytes = bytesOf(file);
        for (const auto& other : seen)
            EXPECT_FALSE(bytes == other) << file.getFileName() << " shows the same as another state";
        seen.push_back(bytes);
    }

    const auto badParameters = TestHelpers::runProgram({ imageGenerator().getFullPathName(),
                                                         "--preview", temp.getChild("bad").getFullPathName(),
                                                         "--parameters", temp.getChild("none.xml").getFullPathName() });
    EXPECT_EQ(badParameters.exitCode, 1);
    EXPECT_TRUE(badParameters.output.contains("none.xml")) << badParameters.output;
}

// Every text of the skin stands out from what it is drawn on by 4.5:1 where
// its strokes are, and a text inside a control keeps 3 px of room from the
// control's edges and lamps, as the generator measured them in the pixels it
// drew; among them the texts that once were faint or cramped.
// The logos' texts are measured on the about box as the window paints it.
TEST(ImageGenerator, TheLogosAreMeasuredOnTheAboutBoxTheyAreShownOn)
{
    EXPECT_EQ(AboutWindow::getInfoFill(), Palette::aboutBox);
}

TEST(ImageGenerator, EveryTextOfTheSkinIsLegibleAndHasRoom)
{
    const auto result = TestHelpers::runProgram({ imageGenerator().getFullPathName(), "--legibility" });
    ASSERT_EQ(result.exitCode, 0) << result.output;

    std::map<juce::String, double> contrast, room;
    for (const auto& line : juce::StringArray::fromLines(result.output.trim()))
    {
        const auto fields = juce::StringArray::fromTokens(line, "\t", {});
        ASSERT_EQ(fields.size(), 4) << line;
        const auto key = fields[1] + " " + fields[2];
        const double value = fields[3].getDoubleValue();
        if (fields[0] == "contrast")
        {
            contrast[key] = value;
            EXPECT_GE(value, 4.5) << key;
        }
        else
        {
            ASSERT_EQ(fields[0], "room") << line;
            room[key] = value;
            EXPECT_GE(value, 3.0) << key;
        }
    }
    EXPECT_GT(contrast.size(), 150u);
    EXPECT_GT(room.size(), 60u);
    for (const auto* key : { "DelayTimePanelSync.png DRAG TO SET", "MainPanel.png BY A MIDI NOTE OR THE INPUT LEVEL",
                             "LFO1ScaleDotSwitch.png DOTTED", "LFO1ScaleTripletSwitch.png TRIPLET",
                             "Line1MuteButton.png MUTE", "DelayJoinChannelsSwitch.png L=R",
                             "PluginLogo.png on the about box FLEXIBLE DELAY", "PluginLogo.png on the about box TAVINOR",
                             "OrvLogo.png on the about box GROUP AUDIO", "OrvLogo.png on the about box ORV",
                             "OrvLogo.png on the editor GROUP AUDIO" })
        EXPECT_EQ(contrast.count(key), 1u) << key;
    for (const auto* key : { "LFO1ScaleDotSwitch.png DOTTED", "LFO1ScaleTripletSwitch.png TRIPLET",
                             "DelayTimeLeftTripletSwitch.png TRIPLET", "Line1MuteButton.png MUTE",
                             "DelayJoinButton.png JOIN" })
        EXPECT_EQ(room.count(key), 1u) << key;
}
