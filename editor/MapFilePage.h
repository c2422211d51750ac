#pragma once

#include "editor/FileType.h"
#include "editor/MapFileReader.h"
#include "toolkit/AlertWindow.h"
#include "toolkit/FileChooserLauncher.h"

#include <memory>

// What the two map pages (host parameters, MIDI controllers) share: their
// file type, the file chooser, the question before a map is cleared, and
// loading and saving map files with every failure told to the user. A map is
// replaced only by a file whose every assignment can be made; a failed save
// leaves the old file as it was.
class MapFilePage : public juce::Component, public Orv::AlertWindow::Caller, public FileType
{
public:
    MapFilePage(const juce::String& extension, const juce::String& pattern);
    ~MapFilePage() override;

    // Where the pages ask for files; not owned, null goes back to the
    // system's dialog.
    void setFileChooserLauncher(FileChooserLauncher* launcher);

    // Loads the map, or tells the user why not and keeps the current one.
    void loadMapFile(const juce::File& file);
    // Saves under the map extension, or tells the user that it failed.
    void saveMapFile(const juce::File& file);

    // The question or message shown last; null before the first.
    Orv::AlertWindow* getAlert() const noexcept { return alert.get(); }

    void alertWindowClosed(Orv::AlertWindow* alert, int result) override;

protected:
    void chooseMapToLoad(const juce::String& chooserTitle);
    void chooseMapToSave(const juce::String& chooserTitle);
    void askToClear();

    // The page's map: how its files are checked, made current, written and
    // cleared, and whose name titles the page's alerts.
    virtual MapFileReader::Rules getMapRules() = 0;
    virtual void applyMap(const juce::XmlElement& map) = 0;
    virtual bool writeMap(const juce::File& file) = 0;
    virtual void clearMap() = 0;
    virtual juce::String getAlertTitle() = 0;

private:
    enum AlertKind
    {
        clearQuestion = 1,
        failureMessage = 2
    };

    void showAlert(Orv::AlertWindow* newAlert, AlertKind kind);
    FileChooserLauncher& getLauncher() noexcept;

    std::unique_ptr<Orv::AlertWindow> alert;
    NativeFileChooserLauncher nativeLauncher;
    FileChooserLauncher* launcher = nullptr;

    JUCE_DECLARE_NON_COPYABLE(MapFilePage)
};
