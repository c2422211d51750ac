#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

// The host's editor window around the plug-in's long-lived GUI root. It only
// shows the root: closing the window hides and detaches the root but never
// deletes it, so reopening shows the same root with its state.
class AudioProcessorEditorWrapper : public juce::AudioProcessorEditor
{
public:
    AudioProcessorEditorWrapper(juce::AudioProcessor& processor, juce::Component& guiRoot);
    ~AudioProcessorEditorWrapper() override;

    void paint(juce::Graphics&) override {}

private:
    juce::Component::SafePointer<juce::Component> root;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(AudioProcessorEditorWrapper)
};
