#pragma once

#include "editor/FileType.h"
#include "editor/MapFileReader.h"
#include "toolkit/AlertWindow.h"
#include "toolkit/DefaultResourceCheckBox.h"
#include "toolkit/FileChooserLauncher.h"
#include "toolkit/HardLabel.h"

#include <memory>

// What the two map pages (host parameters, MIDI controllers) share: their
// file type, the file chooser, the question before a map is cleared, loading
// and saving map files with every failure told to the user, and the "Default
// map" check that chooses the map new instances start with. A map is replaced
// only by a file whose every assignment can be made; a failed save leaves the
// old file as it was.
class MapFilePage : public juce::Component,
                    public Orv::AlertWindow::Caller,
                    public DefaultResourceCheckBox::Listener,
                    public FileType
{
public:
    MapFilePage(const juce::String& extension, const juce::String& pattern);
    ~MapFilePage() override;

    // Where the pages ask for files; not owned, null goes back to the
    // system's dialog.
    void setFileChooserLauncher(FileChooserLauncher* launcher);

    // Loads the map, or tells the user why not and keeps the current one.
    void loadMapFile(const juce::File& file);
    // Saves under the map extension, or tells the user that it failed. When
    // the extension changes the name and a file of the new name exists, the
    // user is asked first: the chooser only asked about the name typed.
    void saveMapFile(const juce::File& file);

    // The question or message shown last; null before the first.
    Orv::AlertWindow* getAlert() const noexcept { return lastAlert; }
    DefaultResourceCheckBox& getDefaultMapCheck() noexcept { return defaultMap; }

    void alertWindowClosed(Orv::AlertWindow* alert, int result) override;
    void defaultResourceChanged(DefaultResourceCheckBox* box) override;
    void lookAndFeelChanged() override;

protected:
    static constexpr int kCheckHeight = 20;

    void chooseMapToLoad(const juce::String& chooserTitle);
    void chooseMapToSave(const juce::String& chooserTitle);
    void askToClear();

    // Shows the stored default map: checked while new instances load that file.
    void showDefaultMap(bool enabled, const juce::String& path);
    // The caption and the check in one strip of the page.
    void layOutDefaultMap(juce::Rectangle<int> strip);

    // The page's map: how its files are checked, made current, written and
    // cleared, and whose name titles the page's alerts.
    virtual MapFileReader::Rules getMapRules() = 0;
    virtual void applyMap(const juce::XmlElement& map) = 0;
    virtual bool writeMap(const juce::File& file) = 0;
    virtual void clearMap() = 0;
    virtual juce::String getAlertTitle() = 0;
    // Keeps the user's choice of default map (with the user settings).
    virtual void storeDefaultMap(bool enabled, const juce::String& path) = 0;

private:
    enum AlertKind
    {
        clearQuestion = 1,
        failureMessage = 2,
        replaceQuestion = 3
    };

    void showAlert(Orv::AlertWindow* newAlert, AlertKind kind);
    FileChooserLauncher& getLauncher() noexcept;
    void chooseMap(const juce::String& chooserTitle, FileChooserLauncher::Mode mode);
    void writeMapFile(const juce::File& target);

    HardLabel defaultMapCaption { {}, "Default map" };
    DefaultResourceCheckBox defaultMap;

    // Questions and messages in slots of their own, so that the message a
    // question's answer leads to never deletes the question still answering.
    std::unique_ptr<Orv::AlertWindow> question;
    std::unique_ptr<Orv::AlertWindow> message;
    Orv::AlertWindow* lastAlert = nullptr;
    // The file the replace question is about.
    juce::File pendingSave;
    NativeFileChooserLauncher nativeLauncher;
    FileChooserLauncher* launcher = nullptr;

    JUCE_DECLARE_NON_COPYABLE(MapFilePage)
};
