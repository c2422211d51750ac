#include "core/AudioProcessorEditorWrapper.h"

AudioProcessorEditorWrapper::AudioProcessorEditorWrapper(juce::AudioProcessor& processor,
                                                         juce::Component& guiRoot)
    : juce::AudioProcessorEditor(processor), root(&guiRoot)
{
    addAndMakeVisible(guiRoot, -1);
    setSize(guiRoot.getWidth(), guiRoot.getHeight());
}

AudioProcessorEditorWrapper::~AudioProcessorEditorWrapper()
{
    // The root may already be gone when the plug-in was torn down before the
    // host closed its window.
    if (auto* r = root.getComponent())
    {
        r->setVisible(false);
        removeChildComponent(r);
    }
}
