#pragma once

#include "toolkit/FileChooserLauncher.h"

#include <memory>
#include <vector>

class FileChooserWindow;

// The chooser for machines without a dialog of the desktop's own: a
// FileChooserWindow inside the given parent (the editor), centred in it and
// dimming it, never a window of the desktop. A launch while one is open
// replaces it, and the replaced one never answers. Destroying the launcher or
// the parent closes an open chooser without an answer.
class EmbeddedFileChooserLauncher : public FileChooserLauncher,
                                    private juce::ComponentListener,
                                    private juce::AsyncUpdater
{
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 420;

    explicit EmbeddedFileChooserLauncher(juce::Component& parent);
    ~EmbeddedFileChooserLauncher() override;

    void launch(const Request& request, Callback callback) override;

    // The chooser waiting for the user's answer; null when none is.
    FileChooserWindow* getWindow() const noexcept { return window.get(); }

private:
    void componentBeingDeleted(juce::Component& component) override;
    void handleAsyncUpdate() override;
    // Keeps the window until its own handlers have returned.
    void retire();
    void closeAll();
    juce::Rectangle<int> getParentArea() const;

    juce::Component::SafePointer<juce::Component> parent;
    std::unique_ptr<FileChooserWindow> window;
    // Closed windows whose handlers may still be running, deleted later.
    std::vector<std::unique_ptr<FileChooserWindow>> retired;

    JUCE_DECLARE_NON_COPYABLE(EmbeddedFileChooserLauncher)
};
