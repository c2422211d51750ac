// The DAW test's check of an export (tools/daw/DawCheck.cpp) against the
// render it should equal: a render Ardour moved 16 samples early as a whole,
// and right otherwise, is told apart (status 3: exported again); a render
// late by the 64 samples of a latency reported short, shifted any other way,
// or shifted and also wrong, fails (status 1).

#include "TestHelpers.h"

#include <gtest/gtest.h>
#include <juce_audio_formats/juce_audio_formats.h>

namespace
{
constexpr double kRate = 48000.0;
constexpr int kFrames = 96000;
constexpr int kImpulses[2] = { 4800, 9600 };
// The limiter's latency at 48 kHz, as the plug-in reports it.
constexpr int kLatency = 159;

// The test's dry impulses and some echoes, `late` samples late.
juce::AudioBuffer<float> render(int late)
{
    juce::AudioBuffer<float> audio(2, kFrames);
    audio.clear();
    for (int c = 0; c < 2; ++c)
    {
        const int at = kImpulses[c] + late;
        audio.setSample(c, at, c == 0 ? 0.36f : 0.18f);
        for (int echo = 1; echo < 4; ++echo)
            audio.setSample(c, at + 18000 * echo, 0.2f / float(echo));
    }
    return audio;
}

bool writeWav(const juce::File& file, const juce::AudioBuffer<float>& audio)
{
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::OutputStream> stream(file.createOutputStream().release());
    std::unique_ptr<juce::AudioFormatWriter> writer(
        wav.createWriterFor(stream.get(), kRate, 2, 32, {}, 0));
    if (writer == nullptr)
        return false;
    stream.release();
    return writer->writeFromAudioSampleBuffer(audio, 0, audio.getNumSamples());
}

struct Export
{
    const char* what;
    int late; // samples the DAW's render is late by, a shift or a latency not made up for
    float gain;
    int sameStatus;    // against the first export, which was right
    int latencyStatus; // the dry impulses where the input has them
};

class DawCheckJudges : public ::testing::TestWithParam<Export>
{
};
} // namespace

TEST_P(DawCheckJudges, AnExportAgainstWhatItShouldBe)
{
    const Export& e = GetParam();
    const TestHelpers::TempFolder folder;
    const auto check = TestHelpers::buildFolder().getChildFile("tools/daw/tavinor_daw_check").getFullPathName();
    const auto file = [&folder](const char* name) { return folder.getChild(name).getFullPathName(); };
    auto daw = render(e.late);
    daw.applyGain(e.gain);
    ASSERT_TRUE(writeWav(folder.getChild("daw.wav"), daw));
    ASSERT_TRUE(writeWav(folder.getChild("first.wav"), render(0)));
    ASSERT_TRUE(writeWav(folder.getChild("ours.wav"), render(kLatency)));

    const auto same = TestHelpers::runProgram({ check, "same", file("first.wav"), file("daw.wav") });
    EXPECT_EQ(same.exitCode, e.sameStatus) << same.output;
    const auto latency
        = TestHelpers::runProgram({ check, "latency", file("daw.wav"), file("ours.wav"), juce::String(kLatency) });
    EXPECT_EQ(latency.exitCode, e.latencyStatus) << latency.output;
}

// The latency check looks at where the dry impulses are, not how loud.
INSTANTIATE_TEST_SUITE_P(
    Exports, DawCheckJudges,
    ::testing::Values(Export { "Right", 0, 1.0f, 0, 0 },
                      Export { "SixteenSamplesEarlyAsAWhole", -16, 1.0f, 3, 3 },
                      Export { "SixteenSamplesLate", 16, 1.0f, 1, 1 },
                      Export { "EightSamplesEarly", -8, 1.0f, 1, 1 },
                      Export { "LatencyReported64Short", 64, 1.0f, 1, 1 },
                      Export { "LatencyReported64ShortAndSixteenEarly", 48, 1.0f, 1, 1 },
                      Export { "SixteenSamplesEarlyAndQuieter", -16, 0.9f, 1, 3 }),
    [](const ::testing::TestParamInfo<Export>& info) { return std::string(info.param.what); });
