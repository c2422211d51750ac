#include "toolkit/DefaultFileChooserLauncher.h"

#include "toolkit/EmbeddedFileChooserLauncher.h"

DefaultFileChooserLauncher::DefaultFileChooserLauncher(juce::Component& parentToUse) : parent(&parentToUse)
{
}

DefaultFileChooserLauncher::~DefaultFileChooserLauncher() = default;

void DefaultFileChooserLauncher::launch(const Request& request, Callback callback)
{
    if (chosen == nullptr)
    {
        if (juce::FileChooser::isPlatformDialogAvailable())
            chosen = std::make_unique<NativeFileChooserLauncher>();
        else if (parent != nullptr)
            chosen = std::make_unique<EmbeddedFileChooserLauncher>(*parent);
    }
    if (chosen != nullptr)
        chosen->launch(request, std::move(callback));
    else if (callback)
        callback({}); // nowhere to show a chooser: as if cancelled
}
