#include "core/AudioProcessorEditorWrapper.h"

AudioProcessorEditorWrapper::AudioProcessorEditorWrapper(juce::AudioProcessor& processor,
                                                         juce::Component& guiRoot)
    : juce::AudioProcessorEditor(processor), root(guiRoot)
{
    addAndMakeVisible(root, -1);
    setSize(root.getWidth(), root.getHeight());
}

AudioProcessorEditorWrapper::~AudioProcessorEditorWrapper()
{
    root.setVisible(false);
    removeChildComponent(&root);
}
