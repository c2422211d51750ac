// Runs the command-line host against the small test plug-in built on the
// wrapper, the way the integration tests run it against the product.

#include "TestHelpers.h"

#include <gtest/gtest.h>

namespace
{
juce::File testPlugin()
{
    return TestHelpers::buildFolder().getChildFile("tools/testhost/tavinor_test_plugin.so");
}

class TestHost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (! TestHelpers::testHostProgram().existsAsFile() || ! testPlugin().existsAsFile())
            GTEST_SKIP() << "tavinor_host and tavinor_test_plugin.so are not built";
    }
};
} // namespace

TEST_F(TestHost, ValidateSuitePassesForTheTestPlugin)
{
    const auto result = TestHelpers::runValidation(testPlugin(), { "--quick" });
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(result.output.contains(" 0 failed")) << result.output;
    EXPECT_FALSE(result.output.contains("FAIL")) << result.output;
}

TEST_F(TestHost, InfoListsIdentityAndParameters)
{
    const auto result = TestHelpers::runTestHost({ "info", testPlugin().getFullPathName(), "--param", "1=0.25" });
    ASSERT_EQ(result.exitCode, 0) << result.output;
    for (const char* line : { "unique id: TVNR", "version: 65794", "category: 1", "inputs: 2", "outputs: 2",
                              "flags: editor replacing chunks", "parameters: 3", "canDo receiveVstTimeInfo: 1",
                              "param\t1\t0.25\tDelay\t0.25\t" })
        EXPECT_TRUE(result.output.contains(line)) << line << "\n" << result.output;
}

TEST_F(TestHost, RenderPlacesNotesAndEchoesAtTheirSamples)
{
    TestHelpers::TempFolder folder;
    const auto output = folder.getChild("out.wav");
    const auto result = TestHelpers::runTestHost({ "render", testPlugin().getFullPathName(), "impulse:0.2", output.getFullPathName(),
                                  "--rate", "44100", "--block", "100", "--note", "1000:60:100" });
    ASSERT_EQ(result.exitCode, 0) << result.output;

    double rate = 0.0;
    const auto audio = TestHelpers::readWav(output, rate);
    ASSERT_EQ(audio.getNumChannels(), 2);
    EXPECT_EQ(rate, 44100.0);
    ASSERT_EQ(audio.getNumSamples(), 8820);

    // Gain 0.8; echoes 2205 samples later at half level per repeat; the
    // test plug-in clicks at every note-on.
    const float gain = 0.8f;
    struct Peak
    {
        int sample;
        float level;
    };
    for (const auto& p : { Peak { 0, gain }, Peak { 1000, gain }, Peak { 2205, gain }, Peak { 3205, gain },
                           Peak { 4410, 0.5f * gain } })
        for (int ch = 0; ch < 2; ++ch)
            EXPECT_NEAR(audio.getSample(ch, p.sample), p.level, 1e-6f) << p.sample;
    EXPECT_NEAR(audio.getSample(0, 999), 0.0f, 1e-6f);
    EXPECT_NEAR(audio.getSample(0, 1001), 0.0f, 1e-6f);
}

TEST_F(TestHost, ChunkSavedAndLoadedThroughFiles)
{
    TestHelpers::TempFolder folder;
    const auto chunk = folder.getChild("state.chunk");
    auto result = TestHelpers::runTestHost({ "save-chunk", testPlugin().getFullPathName(), chunk.getFullPathName(), "--param", "0=0.25" });
    ASSERT_EQ(result.exitCode, 0) << result.output;
    ASSERT_TRUE(chunk.existsAsFile());

    result = TestHelpers::runTestHost({ "load-chunk", testPlugin().getFullPathName(), chunk.getFullPathName() });
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(result.output.contains("param\t0\t0.25\tGain")) << result.output;
}

TEST_F(TestHost, BadUsageAndMissingFilesGiveTheirExitCodes)
{
    EXPECT_EQ(TestHelpers::runTestHost({ "render" }).exitCode, 2);
    EXPECT_EQ(TestHelpers::runTestHost({ "frobnicate", testPlugin().getFullPathName() }).exitCode, 2);
    EXPECT_EQ(TestHelpers::runTestHost({ "info", "/nonexistent/plugin.so" }).exitCode, 3);
    EXPECT_EQ(TestHelpers::runTestHost({ "load-chunk", testPlugin().getFullPathName(), "/nonexistent/state" }).exitCode, 1);
    EXPECT_EQ(TestHelpers::runTestHost({ "--help" }).exitCode, 0);
}
