#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

// Where pages and editor commands ask the user for a file. Modal loops are off,
// so the answer always comes back later, through a callback; an empty file
// means the user cancelled. Code that asks holds a launcher and never a
// juce::FileChooser of its own, so tests can give it a launcher that answers
// at once with a file of their choosing.
class FileChooserLauncher
{
public:
    enum Mode
    {
        openFile = 0,
        saveFile = 1
    };

    struct Request
    {
        juce::String title;
        juce::File initialFile;
        juce::String pattern;
        Mode mode = openFile;
        // Save only: the chooser asks before an existing file is chosen.
        bool warnAboutOverwriting = true;
    };

    using Callback = std::function<void(const juce::File&)>;

    virtual ~FileChooserLauncher() = default;

    // Runs the callback once with the chosen file, or with the empty file when
    // the user cancels. A launch while another is open replaces it.
    virtual void launch(const Request& request, Callback callback) = 0;
};

// The system's own dialog through juce::FileChooser::launchAsync. The chooser
// lives in this object, so destroying the launcher closes an open dialog and
// its callback never runs.
class NativeFileChooserLauncher : public FileChooserLauncher
{
public:
    NativeFileChooserLauncher() = default;
    ~NativeFileChooserLauncher() override;

    void launch(const Request& request, Callback callback) override;

private:
    std::unique_ptr<juce::FileChooser> chooser;

    JUCE_DECLARE_NON_COPYABLE(NativeFileChooserLauncher)
};
