#pragma once

#include "toolkit/AlertWindow.h"
#include "toolkit/ComponentRow.h"
#include "toolkit/FileChooserLauncher.h"
#include "toolkit/WindowComponent.h"

#include <functional>
#include <memory>

// The file chooser drawn inside the editor: a file browser in open or save
// mode with "OK" and "Cancel", for hosts' machines that have no dialog of the
// desktop's own. The answer comes once through the finished function: the
// chosen file, or the empty file when the user cancels. Return or a double
// click chooses, Escape and the close button cancel.
class FileChooserWindow : public WindowComponent,
                          public juce::FileBrowserListener,
                          public Orv::AlertWindow::Caller
{
public:
    using Finished = std::function<void(const juce::File&)>;

    FileChooserWindow(const FileChooserLauncher::Request& request, Finished finished);
    ~FileChooserWindow() override;

    // What "OK" does: chooses the file the browser names. A folder named
    // there is opened instead, and nothing happens while no file is named.
    // Saving over an existing file asks first when the request wants that.
    void chooseSelectedFile();
    void cancel();
    // The file name field in save mode, else the list, takes the keys.
    void focusFirstControl();

    juce::FileBrowserComponent& getBrowser() noexcept { return *browser; }
    juce::TextButton& getOkButton() noexcept { return okButton; }
    juce::TextButton& getCancelButton() noexcept { return cancelButton; }
    // The question before an existing file is replaced; null until asked.
    Orv::AlertWindow* getOverwriteAlert() const noexcept { return overwriteAlert.get(); }
    bool hasFinished() const noexcept { return finished == nullptr; }

    static constexpr int kButtonHeight = 22;

    // WindowComponent
    void buttonClicked(juce::Button* button) override;
    bool shouldDimBackground() const override { return true; }
    void parentHierarchyChanged() override;
    void resized() override;
    void childBoundsChanged(juce::Component* child) override;

    // juce::FileBrowserListener
    void selectionChanged() override;
    void fileClicked(const juce::File&, const juce::MouseEvent&) override {}
    void fileDoubleClicked(const juce::File& file) override;
    void browserRootChanged(const juce::File&) override;

    // Orv::AlertWindow::Caller
    void alertWindowClosed(Orv::AlertWindow* alert, int result) override;

private:
    class BrowserLook;

    void chooseFile(const juce::File& file);
    // Open mode: an existing file; save mode: a name in an existing folder.
    bool isChoosable(const juce::File& file) const;
    bool opensFolder(const juce::File& file) const;
    void finish(const juce::File& file);
    juce::TextEditor* findFileNameField() const;

    const bool saveMode;
    const bool warnAboutOverwriting;
    Finished finished;
    // Declared before the browser, which draws with the look and filters
    // with the filter until it goes.
    std::unique_ptr<BrowserLook> look;
    juce::WildcardFileFilter filter;
    std::unique_ptr<juce::FileBrowserComponent> browser;
    juce::TextButton okButton { "OK" };
    juce::TextButton cancelButton { "Cancel" };
    ComponentRow buttonRow;
    std::unique_ptr<Orv::AlertWindow> overwriteAlert;
    juce::File pendingFile;

    JUCE_DECLARE_NON_COPYABLE(FileChooserWindow)
};
