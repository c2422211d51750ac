#include "core/AudioProcessorEditorWrapper.h"

#include "core/BasePlugin.h"

AudioProcessorEditorWrapper::AudioProcessorEditorWrapper(juce::AudioProcessor& processor, PluginGuiRoot& guiRoot)
    : juce::AudioProcessorEditor(processor), root(&guiRoot)
{
    addAndMakeVisible(guiRoot, -1);
    setSize(guiRoot.getWidth(), guiRoot.getHeight());
    guiRoot.startTimer(BasePlugin::kGuiTimerIntervalMs);
}

AudioProcessorEditorWrapper::~AudioProcessorEditorWrapper()
{
    // The root may already be gone when the plug-in was torn down before the
    // host closed its window.
    if (auto* r = root.getComponent())
    {
        r->stopTimer();
        r->setVisible(false);
        removeChildComponent(r);
    }
}
