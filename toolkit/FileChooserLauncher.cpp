#include "toolkit/FileChooserLauncher.h"

NativeFileChooserLauncher::~NativeFileChooserLauncher() = default;

void NativeFileChooserLauncher::launch(const Request& request, Callback callback)
{
    int flags = juce::FileBrowserComponent::canSelectFiles;
    if (request.mode == saveFile)
    {
        flags |= juce::FileBrowserComponent::saveMode;
        if (request.warnAboutOverwriting)
            flags |= juce::FileBrowserComponent::warnAboutOverwriting;
    }
    else
    {
        flags |= juce::FileBrowserComponent::openMode;
    }

    // Replacing the chooser closes one that is still open, without its answer.
    chooser = std::make_unique<juce::FileChooser>(request.title, request.initialFile, request.pattern, true);
    chooser->launchAsync(flags, [callback = std::move(callback)](const juce::FileChooser& fc) {
        if (callback)
            callback(fc.getResult());
    });
}
