// A small effect built into its own VST plug-in with the project's wrapper,
// so that the test host and its validation suite can be tried without the
// product: a feedback delay (whose state a NaN would poison for good), a
// gain, a click at the sample offset of every MIDI note-on, its state as XML
// and JUCE's generic editor.

#include <juce_audio_processors/juce_audio_processors.h>

#include <cmath>

namespace
{
constexpr double kMaxDelaySeconds = 0.1;
constexpr float kFeedback = 0.5f;

class TestDelayProcessor : public juce::AudioProcessor
{
public:
    TestDelayProcessor()
    {
        addParameter(gain = new juce::AudioParameterFloat(juce::ParameterID("gain", 1), "Gain", 0.0f, 1.0f, 0.8f));
        addParameter(delay = new juce::AudioParameterFloat(juce::ParameterID("delay", 1), "Delay", 0.0f, 1.0f, 0.5f));
        addParameter(mode = new juce::AudioParameterChoice(juce::ParameterID("mode", 1), "Mode",
                                                           juce::StringArray { "Normal", "Bright", "Dark" }, 0));
    }

    const juce::String getName() const override { return "TestDelay"; }
    bool acceptsMidi() const override { return true; }
    bool producesMidi() const override { return false; }
    double getTailLengthSeconds() const override { return 2.0; }
    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram(int) override {}
    const juce::String getProgramName(int) override { return "Default"; }
    void changeProgramName(int, const juce::String&) override {}
    bool hasEditor() const override { return true; }
    juce::AudioProcessorEditor* createEditor() override { return new juce::GenericAudioProcessorEditor(*this); }

    void prepareToPlay(double sampleRate, int) override
    {
        line.setSize(2, int(sampleRate * kMaxDelaySeconds) + 1);
        line.clear();
        writePosition = 0;
    }

    void releaseResources() override {}

    void processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override
    {
        const int length = line.getNumSamples();
        if (length <= 1)
            return;
        const int delaySamples = juce::jlimit(1, length - 1, int(delay->get() * float(length - 1)));
        const float g = gain->get();

        for (const auto event : midi)
            if (event.getMessage().isNoteOn())
                for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
                    buffer.addSample(ch, event.samplePosition, 1.0f);

        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            const int readPosition = (writePosition - delaySamples + length) % length;
            for (int ch = 0; ch < juce::jmin(2, buffer.getNumChannels()); ++ch)
            {
                const float in = buffer.getSample(ch, i);
                const float delayed = line.getSample(ch, readPosition);
                line.setSample(ch, writePosition, in + kFeedback * delayed);
                buffer.setSample(ch, i, g * (in + delayed));
            }
            writePosition = (writePosition + 1) % length;
        }
    }

    void getStateInformation(juce::MemoryBlock& data) override
    {
        juce::XmlElement xml("TestDelay");
        for (auto* p : getParameters())
            if (auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*>(p))
                xml.setAttribute(withId->paramID, double(p->getValue()));
        copyXmlToBinary(xml, data);
    }

    void setStateInformation(const void* data, int size) override
    {
        const auto xml = getXmlFromBinary(data, size);
        if (xml == nullptr || ! xml->hasTagName("TestDelay"))
            return;
        for (auto* p : getParameters())
            if (auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*>(p))
                if (xml->hasAttribute(withId->paramID))
                {
                    const double v = xml->getDoubleAttribute(withId->paramID);
                    if (std::isfinite(v))
                        p->setValueNotifyingHost(juce::jlimit(0.0f, 1.0f, float(v)));
                }
    }

private:
    juce::AudioParameterFloat* gain = nullptr;
    juce::AudioParameterFloat* delay = nullptr;
    juce::AudioParameterChoice* mode = nullptr;
    juce::AudioBuffer<float> line;
    int writePosition = 0;
};
} // namespace

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new TestDelayProcessor();
}
