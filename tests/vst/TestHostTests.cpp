// Runs the command-line host against the small test plug-in built on the
// wrapper, the way the integration tests run it against the product.

#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
// The test plug-in's look-ahead switch, which changes its latency.
const char* const kLatencySwitch = "3=1";

// Runs the validation suite with the test plug-in made to misbehave.
struct FaultyPlugin
{
    explicit FaultyPlugin(const char* fault) { setenv("TAVINOR_TEST_PLUGIN_FAULT", fault, 1); }
    ~FaultyPlugin() { unsetenv("TAVINOR_TEST_PLUGIN_FAULT"); }
};

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
    const auto result = TestHelpers::runValidation(testPlugin(), { "--quick", "--latency-switch", kLatencySwitch });
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(result.output.contains(" 0 failed")) << result.output;
    EXPECT_FALSE(result.output.contains("FAIL")) << result.output;
}

// Each check of the strict host catches the fault it is there for: the test
// plug-in, made to misbehave one way, fails exactly that check, which the
// plug-in as it is passes.
struct FaultCase
{
    const char* fault;
    const char* check;
    bool hangs; // caught by the watchdog
    bool needsDisplay;
    bool dataRace = false; // a thread sanitizer build stops at it first
};

const FaultCase kFaultCases[] = {
    { "main-entry", "every exported entry point makes a working effect", false, false },
    { "thread-left", "no thread left after the last instance closes", false, false },
    { "foreign-callback", "with the editor open, calls come on the caller's or the editor's thread", false, true },
    { "automation-echo", "automation only for the user's changes", false, false },
    { "latency-twice", "one ioChanged per latency change", false, false },
    { "latency-wrong", "reported latency is the measured delay", false, false },
    { "locking-deadlock", "a host that locks around its dispatcher calls and its callback", true, false },
    { "preset-chunk", "preset chunk (index 1) round trip", false, false },
    { "junk-accepted", "junk chunks and texts refused", false, false },
    { "chunk-race", "chunk read from two threads at once", false, false, true },
    { "needs-resume", "processing without a resume", false, false },
    { "zero-block", "blocks of 0 samples", false, false },
    { "rate-ignored", "a sample-rate change without suspend", false, false },
    { "audio-dispatch-waits", "dispatcher calls from the audio thread", true, false },
    { "unwritten-output", "every output sample written", false, false },
    { "in-place-broken", "in-place buffers", false, false },
    { "instances-differ", "two instances render alike", false, false },
    { "parameter-drift", "parameter set and get round trip at 11 values", false, false },
    { "long-texts", "parameter texts within 24 characters, names 32, at 11 values", false, false },
    { "process-silent", "the accumulating process adds to its outputs", false, false },
    { "audio-thread-notice",
      "automation on the audio thread and another: display updates and ioChanged on the opening thread", false,
      false },
};

void PrintTo(const FaultCase& c, std::ostream* os)
{
    *os << c.fault;
}

class TestHostCheck : public TestHost, public ::testing::WithParamInterface<FaultCase>
{
};

TEST_P(TestHostCheck, FailsOnlyOnThePluginWithItsFault)
{
    const auto& c = GetParam();
    if (c.needsDisplay && std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "needs a display";
    juce::StringArray options { "--only", c.check, "--latency-switch", kLatencySwitch };
    if (c.hangs)
        options.addArray({ "--watchdog", "5" });

    const auto healthy = TestHelpers::runValidation(testPlugin(), options);
    EXPECT_EQ(healthy.exitCode, 0) << healthy.output;
    EXPECT_TRUE(healthy.output.contains("PASS  " + juce::String(c.check))) << healthy.output;

    const FaultyPlugin faulty(c.fault);
    const auto result = TestHelpers::runValidation(testPlugin(), options);
    EXPECT_NE(result.exitCode, 0) << result.output;
    const bool raceReported = c.dataRace && result.output.contains("ThreadSanitizer: data race");
    EXPECT_TRUE(raceReported || result.output.contains("FAIL  " + juce::String(c.check))) << result.output;
    if (c.hangs)
        EXPECT_TRUE(result.output.contains("no answer within 5 s")) << result.output;
}

INSTANTIATE_TEST_SUITE_P(Faults, TestHostCheck, ::testing::ValuesIn(kFaultCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return juce::String(info.param.fault).replaceCharacter('-', '_').toStdString();
                         });

TEST_F(TestHost, InfoListsIdentityAndParameters)
{
    const auto result = TestHelpers::runTestHost({ "info", testPlugin().getFullPathName(), "--param", "1=0.25" });
    ASSERT_EQ(result.exitCode, 0) << result.output;
    for (const char* line : { "unique id: TVNR", "version: 65794", "category: 1", "inputs: 2", "outputs: 2",
                              "flags: editor replacing chunks", "parameters: 4", "canDo receiveVstTimeInfo: 1",
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
