#pragma once

#include "core/BasePlugin.h"
#include "core/MidiControl.h"
#include "core/Parameter.h"
#include "core/PluginGuiRoot.h"
#include "editor/GUISettingsComponent.h"
#include "skin/GUIController.h"
#include "skin/SkinHost.h"
#include "toolkit/AlertWindow.h"
#include "toolkit/DefaultLookAndFeel.h"
#include "toolkit/DefaultResourceCheckBox.h"
#include "toolkit/FileChooserLauncher.h"
#include "toolkit/ModalComponent.h"
#include "toolkit/StatusBar.h"
#include "toolkit/TabbedComponentEx.h"

#include <atomic>
#include <memory>

class AboutWindow;
class GFXAnimation;
class GFXMultiStateButton;
class HostParametersComponent;
class MidiControlComponent;
class OptionsWindow;
class PresetsSettingsComponent;
class ProcessingSettingsComponent;

// The framework's editor: the one long-lived GUI root of a plug-in instance.
// It shows the skin's main panel above a plain background, owns the options
// window with its pages, the about window, the status bar and the tooltips, binds the skin's MIDI learn button
// and MIDI activity lamp, and answers the framework's own events (options,
// about, preset stepping and saving, MIDI learn). Products derive from it and
// handle their own events first.
//
// Skins at run time are an option (skinsEnabled): with it off, the built-in
// skin is loaded by the constructor and kept for the editor's whole life.
class BasePluginEditor : public PluginGuiRoot,
                         public Parameter::Listener,
                         public GUIController::Listener,
                         public MidiControl::Listener,
                         public DefaultResourceCheckBox::Listener,
                         public TabbedComponentEx::Listener,
                         public ModalComponent::Desktop,
                         public Orv::AlertWindow::Caller,
                         public BasePlugin::Listener,
                         public GUISettingsComponent::Listener,
                         public SkinHost
{
public:
    static constexpr int kTooltipDelayMs = 850;
    static constexpr int kMidiBlinkMs = 175;
    static constexpr int kLearnBlinkMs = 100;
    static constexpr int kOptionsWidth = 800;
    static constexpr int kOptionsHeight = 600;

    // Status bar priorities.
    enum StatusPriority
    {
        statusSkin = 0,
        statusProcessing = 4,
        statusMidi = 5,
        statusControl = 6,
        statusLearn = 7
    };

    BasePluginEditor(BasePlugin& plugin, bool skinsEnabled);
    ~BasePluginEditor() override;

    //==========================================================================
    // PluginGuiRoot
    void initialise() override;
    juce::String getSettingsTagName() const override { return "Editor"; }
    std::unique_ptr<juce::XmlElement> writeSettings() override;
    juce::String getStateTagName() const override { return "Editor"; }
    std::unique_ptr<juce::XmlElement> createStateXml() override;
    void restoreStateXml(const juce::XmlElement& element) override;
    bool isSettingsXml(const juce::XmlElement& element) const;
    bool isStateXml(const juce::XmlElement& element) const;
    void readSettings(const juce::XmlElement& element);

    //==========================================================================
    // Parameter::Listener: runs on the message thread after each notified
    // change of any parameter; nothing in the base.
    void parameterChanged(Parameter*) override {}

    // GUIController::Listener
    void controllerValueChanged(GUIController* control) override;
    // A grab without a move is a touch too: it shows the value and is learnt.
    void controllerDragStarted(GUIController* control) override;
    void controllerEventTriggered(GUIController* control, int uid) override;

    // MidiControl::Listener
    void midiControlMapChanged(MidiControl*) override {}
    void midiLearnStateChanged(MidiControl* map) override;
    void midiValueChanged(MidiControl* map) override;

    // BasePlugin::Listener
    void processingModeChanged(BasePlugin* plugin, int mode) override;
    // A value the status bar shows may have changed with the state or preset.
    void pluginStateRestored(BasePlugin* plugin) override;
    void presetChanged(PresetCollection* collection) override;

    // The MIDI page's default-map check and the options window's tabs.
    void defaultResourceChanged(DefaultResourceCheckBox* box) override;
    void tabChanged(TabbedComponentEx* tabs) override;

    // GUISettingsComponent::Listener
    void defaultSkinChanged(GUISettingsComponent* page) override;
    void currentSkinChanged(GUISettingsComponent* page) override;

    // Orv::AlertWindow::Caller
    void alertWindowClosed(Orv::AlertWindow* alert, int result) override;

    // ModalComponent::Desktop: the content area above the status bar.
    juce::Rectangle<int> getDesktopArea() override;

    //==========================================================================
    // SkinHost
    ParameterManager& getParameterManager() override { return plugin.getParameterManager(); }
    EventsMap& getEventsMap() override { return plugin.getEventsMap(); }
    juce::MidiKeyboardState& getKeyboardState() override { return plugin.getKeyboardState(); }
    juce::String getProductName() const override { return plugin.getProductName(); }
    juce::File getSkinPackageFile(const juce::String& skinName) const override;
    // The built-in skin's pictures are decoded once and shared by every editor
    // of the process, so that a new instance costs no decoding.
    juce::Image loadBuiltInSkinImage(const juce::String& name) const override;

    //==========================================================================
    // The "Processing" page; the caller owns it.
    virtual std::unique_ptr<ProcessingSettingsComponent> createProcessingSettingsComponent();
    // The "GUI" page, made only when skins are enabled; the caller owns it.
    virtual std::unique_ptr<GUISettingsComponent> createGUISettingsComponent();
    virtual void setupProcessingSettingsComponent() {}
    // The periodic work, every 25 ms while the editor is shown.
    virtual void visibleTimerCallback();
    void timerCallback() override;
    // The tooltip window is made when the editor goes on a screen, and goes with it.
    void parentHierarchyChanged() override;
    virtual bool isStatusBarShown() const { return true; }
    // The parameter holding the current preset's name; -1 when there is none.
    virtual int getPresetNameParameterId() const { return -1; }
    virtual void skinChanged() {}

    //==========================================================================
    // Layout and skins
    void setContentSize(int width, int height);
    void layoutStatusBar();
    int getContentHeight() const noexcept { return contentHeight; }
    void resized() override;
    void childBoundsChanged(juce::Component* child) override;
    void paint(juce::Graphics& g) override;

    // Recursive: the editor's own children first, then each child's subtree in turn.
    juce::Component* findSkinComponent(const juce::String& name, bool recursive) const;
    // Where the skin packages are: the common data folder's "Skins".
    virtual juce::File getSkinsFolder() const;
    void requestSkinLoad(const juce::String& name);
    void switchSkin(const juce::String& name);
    void applySkin(const juce::String& name);
    bool areSkinsEnabled() const noexcept { return skinsEnabled; }
    const juce::String& getCurrentSkinName() const noexcept { return currentSkinName; }
    juce::Component* getSkinPanel() const noexcept { return skinPanel.get(); }

    //==========================================================================
    // Reactions
    void parameterTouched(Parameter* p);
    void parameterTouchedById(int id);
    // The parameter a control stands for: its own, unless the product's
    // controls show another through it.
    virtual Parameter* getTouchedParameter(GUIController* control);
    void learnParameterTouched(Parameter* p);
    void showParameterStatus(Parameter* p, int priority);
    // The parameter whose value the status bar still shows says its value now.
    void refreshParameterStatus();

    // Preset commands on the named collection; each does nothing without it.
    void selectNextPresetOrAsk(const juce::String& collectionName);
    void selectPreviousPresetOrAsk(const juce::String& collectionName);
    void savePreset(const juce::String& collectionName);
    void savePresetAs(const juce::String& collectionName);
    // Saves and tells the user when the preset could not be written.
    bool savePresetToFile(PresetCollection* collection, const juce::File& file);
    // The file that "Save preset" writes: the current preset's name made into a
    // safe file name in the current preset's folder (or the collection's root).
    juce::File getCurrentPresetFile(PresetCollection* collection);
    void askSaveChanges(const juce::String& collectionName, int direction);
    // The answer to the save-changes question: "Overwrite" and "Save as" save
    // the current preset (and go no further). True only for "Discard", after
    // which the asker goes where it was going.
    bool answerSaveChanges(const juce::String& collectionName, int result);
    // The question asked before anything loads over unsaved changes.
    static constexpr const char* kSaveChangesQuestion =
        "Changes have been made to current preset. Do you want to save them or discard?";
    void askOverwritePreset(const juce::String& collectionName, const juce::File& file);

    // A file name made from a preset name that stays inside its folder: no
    // path separators, no leading dots, not empty.
    static juce::String makeSafePresetFileName(const juce::String& presetName);
    // The file a name typed in the save chooser stands for: the extension is
    // appended unless the name already carries it ("Vol. 2" -> "Vol. 2.tnprst").
    static juce::File withPresetExtension(const juce::File& chosen, const juce::String& extension);

    // Where "Save preset as" and the map pages ask for files; not owned, null
    // goes back to the editor's own: the system's dialog, or the chooser inside
    // the editor where the system has none.
    void setFileChooserLauncher(FileChooserLauncher* launcher);

    BasePlugin& getPlugin() const noexcept { return plugin; }
    StatusBar& getStatusBar() noexcept { return statusBar; }
    AboutWindow* getAboutWindow() const noexcept { return aboutWindow.get(); }
    OptionsWindow& getOptionsWindow() const noexcept { return *optionsWindow; }
    MidiControlComponent& getMidiControlPage() const noexcept { return *midiPage; }
    HostParametersComponent& getHostParametersPage() const noexcept { return *hostPage; }
    PresetsSettingsComponent& getPresetsPage() const noexcept { return *presetsPage; }
    ProcessingSettingsComponent* getProcessingPage() const noexcept { return processingPage.get(); }
    GUISettingsComponent* getGUIPage() const noexcept { return guiPage.get(); }
    Orv::AlertWindow* getOverwriteAlert() const noexcept { return overwriteAlert.get(); }
    Orv::AlertWindow* getSaveChangesAlert() const noexcept { return saveChangesAlert.get(); }
    Orv::AlertWindow* getSaveFailedAlert() const noexcept { return saveFailedAlert.get(); }
    GFXMultiStateButton* getMidiLearnButton() const noexcept { return midiLearnButton; }
    GFXAnimation* getMidiActivityLed() const noexcept { return midiActivityLed; }
    DefaultLookAndFeel& getDefaultLookAndFeel() noexcept;

protected:
    PresetCollection* findPresetCollection(const juce::String& name) const;
    // The "GUI" page and the first skin, when skins are enabled.
    void initialiseSkins();
    // The settings or state element: empty, or naming a skin when skins are enabled.
    std::unique_ptr<juce::XmlElement> createSkinElement(const juce::String& tag, const juce::String& skinName) const;
    // Adds an alert as a child and shows it; replaces the one held in slot.
    void showAlert(std::unique_ptr<Orv::AlertWindow>& slot, Orv::AlertWindow* alert);

    BasePlugin& plugin;

private:
    class SharedLook;

    // The one look-and-feel of every editor in the process; first, so that it
    // outlives every child that draws with it.
    juce::SharedResourcePointer<SharedLook> sharedLook;
    std::unique_ptr<juce::TooltipWindow> tooltipWindow;
    StatusBar statusBar;
    std::unique_ptr<OptionsWindow> optionsWindow;
    std::unique_ptr<MidiControlComponent> midiPage;
    std::unique_ptr<HostParametersComponent> hostPage;
    std::unique_ptr<PresetsSettingsComponent> presetsPage;
    std::unique_ptr<ProcessingSettingsComponent> processingPage;
    std::unique_ptr<GUISettingsComponent> guiPage;
    std::unique_ptr<AboutWindow> aboutWindow;
    juce::Image makerLogo;
    juce::Image pluginLogo;

    std::unique_ptr<juce::Component> skinPanel;
    GFXMultiStateButton* midiLearnButton = nullptr;
    GFXAnimation* midiActivityLed = nullptr;

    std::unique_ptr<Orv::AlertWindow> overwriteAlert;
    std::unique_ptr<Orv::AlertWindow> saveChangesAlert;
    std::unique_ptr<Orv::AlertWindow> saveFailedAlert;

    // The parameter whose value the status bar was last given, and that text.
    int statusParameterId = -1;
    juce::String statusParameterText;

    int contentHeight = 0;
    juce::String defaultSkinName;
    juce::String currentSkinName;
    juce::String pendingSkinName;
    std::atomic<int> skinReloadRequested { 0 };
    const bool skinsEnabled;

    // The default chooser lives here, so an open one closes with the editor
    // and its answer never arrives.
    std::unique_ptr<FileChooserLauncher> defaultLauncher;
    FileChooserLauncher* launcher = nullptr;

    JUCE_DECLARE_NON_COPYABLE(BasePluginEditor)
};
