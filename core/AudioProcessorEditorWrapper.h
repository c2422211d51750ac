#pragma once

#include "core/PluginGuiRoot.h"

#include <juce_audio_processors/juce_audio_processors.h>

// The host's editor window around the plug-in's long-lived GUI root. It only
// shows the root: closing the window hides and detaches the root but never
// deletes it, so reopening shows the same root with its state. The root's
// timer runs while it is shown here: an instance without an open editor
// wakes no thread.
class AudioProcessorEditorWrapper : public juce::AudioProcessorEditor
{
public:
    AudioProcessorEditorWrapper(juce::AudioProcessor& processor, PluginGuiRoot& guiRoot);
    ~AudioProcessorEditorWrapper() override;

    void paint(juce::Graphics&) override {}

private:
    juce::Component::SafePointer<PluginGuiRoot> root;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(AudioProcessorEditorWrapper)
};
