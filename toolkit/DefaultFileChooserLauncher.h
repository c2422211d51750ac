#pragma once

#include "toolkit/FileChooserLauncher.h"

#include <memory>

// The desktop's own dialog where the machine has one, else the chooser drawn
// inside the parent (the editor, a child of the host's window): without a
// dialog of the desktop's, JUCE would open one of its own on the desktop.
// Which of the two is found at the first launch, since finding out starts
// programs, and an editor that is only being opened should not wait for them.
class DefaultFileChooserLauncher : public FileChooserLauncher
{
public:
    explicit DefaultFileChooserLauncher(juce::Component& parent);
    ~DefaultFileChooserLauncher() override;

    void launch(const Request& request, Callback callback) override;

    // The launcher chosen at the first launch; null before it.
    FileChooserLauncher* getChosenLauncher() const noexcept { return chosen.get(); }

private:
    juce::Component::SafePointer<juce::Component> parent;
    std::unique_ptr<FileChooserLauncher> chosen;

    JUCE_DECLARE_NON_COPYABLE(DefaultFileChooserLauncher)
};
