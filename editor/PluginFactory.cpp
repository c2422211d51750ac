// The plug-in factory JUCE declares (juce_audio_processors.h): a new processor
// with the product editor, started up and ready for the host. It lives with the
// editor, the one layer that knows both, so the processor never includes the
// editor: it is handed the way to make it.

#include "editor/TavinorEditor.h"
#include "processor/Tavinor.h"

// Handed over here rather than registered by the editor at static
// initialisation: the plug-in links only the library objects it references,
// and nothing would reference the one holding such a registration.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    auto* processor = new Tavinor([](Tavinor& p) -> std::unique_ptr<PluginGuiRoot> {
        return std::make_unique<TavinorEditor>(p);
    });
    BasePlugin::completeStartUp(*processor);
    return processor;
}
