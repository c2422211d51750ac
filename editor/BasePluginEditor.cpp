#include "editor/BasePluginEditor.h"

#include "core/BundleResources.h"
#include "core/EnumParameter.h"
#include "core/XmlHelpers.h"
#include "core/XmlInput.h"
#include "editor/AboutWindow.h"
#include "editor/HostParametersComponent.h"
#include "editor/MidiControlComponent.h"
#include "editor/OptionsWindow.h"
#include "editor/PresetsSettingsComponent.h"
#include "editor/ProcessingSettingsComponent.h"
#include "skin/GFXAnimation.h"
#include "skin/GFXMultiStateButton.h"
#include "skin/SkinPackageLoader.h"
#include "toolkit/DefaultFileChooserLauncher.h"

namespace
{
constexpr int kInitialWidth = 800;
constexpr int kInitialHeight = 600;
constexpr int kAboutWidth = 640;
constexpr int kAboutHeight = 480;

// Built-in events of the framework (see BasePlugin).
enum BuiltInEvent
{
    eventOptions = 1000,
    eventAbout = 1001,
    eventNextPreset = 1002,
    eventPreviousPreset = 1003,
    eventBrowsePresets = 1004,
    eventSavePreset = 1005,
    eventSavePresetAs = 1006,
    eventToggleMidiLearn = 1010
};

const char* const kPresetsCollection = "Presets";
const char* const kUntitledPreset = "Untitled";
const char* const kEasterEggName = "pobbles";

// The plug-in's own pictures never change while it runs, so each is decoded
// once and shared through JUCE's image cache by every editor of the process,
// also by the next one when instances come and go.
juce::Image getCachedImage(const juce::String& key, const std::function<juce::Image()>& decode)
{
    const auto hash = (juce::int64) key.hashCode64();
    auto image = juce::ImageCache::getFromHashCode(hash);
    if (image.isNull())
    {
        image = decode();
        if (image.isValid())
            juce::ImageCache::addImageToCache(image, hash);
    }
    return image;
}

juce::Image getBundleImage(const juce::String& name)
{
    return getCachedImage("Bundle/" + name, [&name] { return loadBundleResourceAsImage(name); });
}
} // namespace

//==============================================================================
// One DefaultLookAndFeel for every editor of the process. JUCE asks the
// process-wide default look-and-feel for typefaces, so this one is the default
// while any editor exists (unless something else already put one of ours
// there, as tests do); after the last editor the default is handed back and
// the typefaces it made are dropped.
class BasePluginEditor::SharedLook
{
public:
    SharedLook()
    {
        if (dynamic_cast<DefaultLookAndFeel*>(&juce::LookAndFeel::getDefaultLookAndFeel()) == nullptr)
        {
            juce::LookAndFeel::setDefaultLookAndFeel(&laf);
            installedAsDefault = true;
            juce::Typeface::clearTypefaceCache();
        }
    }

    ~SharedLook()
    {
        if (!installedAsDefault)
            return;
        if (&juce::LookAndFeel::getDefaultLookAndFeel() == &laf)
            juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
        juce::Typeface::clearTypefaceCache();
    }

    DefaultLookAndFeel laf;

private:
    bool installedAsDefault = false;
};

//==============================================================================
BasePluginEditor::BasePluginEditor(BasePlugin& p, bool skinsOn) : plugin(p), skinsEnabled(skinsOn)
{
    setName("Editor");
    setLookAndFeel(&sharedLook->laf);
    setOpaque(true);

    const auto shortCode = plugin.getShortCode().toLowerCase();
    const juce::String midiMapExtension = "." + shortCode + "ccmap";
    const juce::String hostMapExtension = "." + shortCode + "hpmap";
    midiPage = std::make_unique<MidiControlComponent>(plugin.getMidiControl(), plugin.getParameterManager(),
                                                      midiMapExtension, "*" + midiMapExtension);
    hostPage = std::make_unique<HostParametersComponent>(plugin);
    hostPage->setFileExtension(makeWildcardPattern(hostMapExtension));
    presetsPage = std::make_unique<PresetsSettingsComponent>(plugin);

    addAndMakeVisible(statusBar);

    aboutWindow = std::make_unique<AboutWindow>(plugin);
    aboutWindow->setSize(kAboutWidth, kAboutHeight);
    addChildComponent(*aboutWindow);

    optionsWindow = std::make_unique<OptionsWindow>();
    optionsWindow->setTitle("Options");
    optionsWindow->setSize(kOptionsWidth, kOptionsHeight);
    optionsWindow->getTabs().addListener(this);
    addChildComponent(*optionsWindow);
    optionsWindow->addTab("Presets", presetsPage.get(), -1);
    optionsWindow->addTab("Parameters", hostPage.get(), -1);
    optionsWindow->addTab("Midi Control", midiPage.get(), -1);
    midiPage->getDefaultMapCheck().addListener(this);
    defaultLauncher = std::make_unique<DefaultFileChooserLauncher>(*this);
    setFileChooserLauncher(nullptr);

    makerLogo = getBundleImage("OrvLogo.png");
    pluginLogo = getBundleImage("PluginLogo.png");

    plugin.getMidiControl().addListener(this);
    plugin.getParameterManager().addControllerToAll(this);
    setContentSize(kInitialWidth, kInitialHeight);
    if (!skinsEnabled)
        applySkin({});
    plugin.addListener(this);
}

BasePluginEditor::~BasePluginEditor()
{
    stopTimer();
    plugin.removeListener(this);
    plugin.getMidiControl().removeListener(this);
    plugin.getParameterManager().removeControllerFromAll(this);
    midiPage->getDefaultMapCheck().removeListener(this);
    optionsWindow->getTabs().removeListener(this);
    if (guiPage != nullptr)
        guiPage->removeListener(this);

    // Windows first, while the look-and-feel they draw with is still set.
    launcher = nullptr;
    defaultLauncher.reset();
    saveFailedAlert.reset();
    saveChangesAlert.reset();
    overwriteAlert.reset();
    midiLearnButton = nullptr;
    midiActivityLed = nullptr;
    skinPanel.reset();
    aboutWindow.reset();
    optionsWindow.reset();
    guiPage.reset();
    processingPage.reset();
    presetsPage.reset();
    hostPage.reset();
    midiPage.reset();
    tooltipWindow.reset();
    removeAllChildren();
    setLookAndFeel(nullptr);
}

DefaultLookAndFeel& BasePluginEditor::getDefaultLookAndFeel() noexcept
{
    return sharedLook->laf;
}

//==============================================================================
void BasePluginEditor::initialise()
{
    if (auto root = XmlInput::readFile(plugin.getUserSettingsFile(), XmlInput::Kind::userSettings))
        if (plugin.isValidUserSettings(root.get()))
            if (auto* element = findChildTagged(*root, getSettingsTagName()))
                readSettings(*element);

    processingPage = createProcessingSettingsComponent();
    if (processingPage != nullptr)
    {
        auto& pm = plugin.getParameterManager();
        const auto quality = [&pm](int id) { return dynamic_cast<EnumParameter*>(pm.getParameter(id)); };
        auto* realtime = quality(plugin.getRealtimeQualityParameterId());
        auto* offline = quality(plugin.getOfflineQualityParameterId());
        auto* defaultRealtime = quality(plugin.getDefaultRealtimeQualityParameterId());
        auto* defaultOffline = quality(plugin.getDefaultOfflineQualityParameterId());
        if (realtime != nullptr && offline != nullptr && defaultRealtime != nullptr && defaultOffline != nullptr)
            processingPage->setParameters(realtime, offline, defaultRealtime, defaultOffline);
        optionsWindow->addTab("Processing", processingPage.get(), 0);
    }

    if (skinsEnabled)
        initialiseSkins();

    setupProcessingSettingsComponent();
}

void BasePluginEditor::initialiseSkins()
{
    guiPage = createGUISettingsComponent();
    if (guiPage != nullptr)
    {
        guiPage->addListener(this);
        optionsWindow->addTab("GUI", guiPage.get(), optionsWindow->getTabs().getNumTabs());
    }

    if (defaultSkinName.isEmpty() || !getSkinPackageFile(defaultSkinName).existsAsFile())
        defaultSkinName = guiPage != nullptr ? guiPage->getPreferredSkin() : juce::String();
    if (guiPage != nullptr)
        guiPage->setDefaultSkin(defaultSkinName, false);

    if (defaultSkinName.isEmpty())
        statusBar.showPermanentMessage("Plugin skins not found in directory: '" + getSkinsFolder().getFullPathName()
                                           + "'. Please reinstall to repair.",
                                       statusSkin, false);
    else
        switchSkin(defaultSkinName);
}

std::unique_ptr<ProcessingSettingsComponent> BasePluginEditor::createProcessingSettingsComponent()
{
    return std::make_unique<ProcessingSettingsComponent>();
}

std::unique_ptr<GUISettingsComponent> BasePluginEditor::createGUISettingsComponent()
{
    return std::make_unique<GUISettingsComponent>(*this, getSkinsFolder(), defaultSkinName, currentSkinName);
}

void BasePluginEditor::defaultSkinChanged(GUISettingsComponent* page)
{
    if (page != nullptr)
        defaultSkinName = page->getDefaultSkin();
}

void BasePluginEditor::currentSkinChanged(GUISettingsComponent* page)
{
    if (page != nullptr)
        requestSkinLoad(page->getCurrentSkin());
}

void BasePluginEditor::setFileChooserLauncher(FileChooserLauncher* newLauncher)
{
    launcher = newLauncher != nullptr ? newLauncher : defaultLauncher.get();
    midiPage->setFileChooserLauncher(launcher);
    hostPage->setFileChooserLauncher(launcher);
}

bool BasePluginEditor::isSettingsXml(const juce::XmlElement& element) const
{
    return tagNameIs(element, getSettingsTagName());
}

bool BasePluginEditor::isStateXml(const juce::XmlElement& element) const
{
    return tagNameIs(element, getStateTagName());
}

std::unique_ptr<juce::XmlElement> BasePluginEditor::createSkinElement(const juce::String& tag,
                                                                    const juce::String& skinName) const
{
    auto element = std::make_unique<juce::XmlElement>(tag);
    if (skinsEnabled)
        element->createNewChildElement("Skin")->setAttribute("name", skinName);
    return element;
}

std::unique_ptr<juce::XmlElement> BasePluginEditor::writeSettings()
{
    return createSkinElement(getSettingsTagName(), defaultSkinName);
}

void BasePluginEditor::readSettings(const juce::XmlElement& element)
{
    if (!isSettingsXml(element))
        return;
    if (auto* skin = findChildTagged(element, "Skin"))
        defaultSkinName = skin->getStringAttribute("name");
}

std::unique_ptr<juce::XmlElement> BasePluginEditor::createStateXml()
{
    return createSkinElement(getStateTagName(), currentSkinName);
}

void BasePluginEditor::restoreStateXml(const juce::XmlElement& element)
{
    if (!isStateXml(element) || !skinsEnabled)
        return;
    if (auto* skin = findChildTagged(element, "Skin"))
    {
        const auto name = skin->getStringAttribute("name");
        if (name.isNotEmpty())
            switchSkin(name);
    }
}

//==============================================================================
// Skins

juce::File BasePluginEditor::getSkinsFolder() const
{
    return plugin.getCommonDataFolder().getChildFile("Skins");
}

juce::File BasePluginEditor::getSkinPackageFile(const juce::String& skinName) const
{
    return getSkinsFolder().getChildFile(skinName).withFileExtension(".orvskin");
}

juce::Image BasePluginEditor::loadBuiltInSkinImage(const juce::String& name) const
{
    return getCachedImage("BuiltInSkin/" + name, [this, &name] { return SkinHost::loadBuiltInSkinImage(name); });
}

void BasePluginEditor::applySkin(const juce::String& name)
{
    SkinPackageLoader loader(*this, name);
    auto panel = loader.loadSkin();
    if (panel == nullptr)
        return;

    midiLearnButton = nullptr;
    midiActivityLed = nullptr;
    if (skinPanel != nullptr)
        removeChildComponent(skinPanel.get());
    skinPanel = std::move(panel);
    addAndMakeVisible(*skinPanel, 0);
    setContentSize(skinPanel->getWidth(), skinPanel->getHeight());
    if (auto* controller = dynamic_cast<GUIController*>(skinPanel.get()))
        controller->addListener(this);

    midiLearnButton = dynamic_cast<GFXMultiStateButton*>(findSkinComponent("MidiLearnButton", true));
    midiActivityLed = dynamic_cast<GFXAnimation*>(findSkinComponent("MidiActivityLed", true));
    currentSkinName = name;
    skinChanged();
    skinPanel->setVisible(true);
    statusBar.clear(-1);
    if (guiPage != nullptr)
        guiPage->setCurrentSkin(name, false);
}

void BasePluginEditor::switchSkin(const juce::String& name)
{
    if (SkinPackageLoader::isValidPackage(*this, name))
        applySkin(name);
}

void BasePluginEditor::requestSkinLoad(const juce::String& name)
{
    pendingSkinName = name;
    skinReloadRequested.exchange(1);
    optionsWindow->hide();
    if (skinPanel != nullptr)
        skinPanel->setVisible(false);
    statusBar.showPermanentMessage("Loading skin...", statusSkin, false);
}

juce::Component* BasePluginEditor::findSkinComponent(const juce::String& name, bool recursive) const
{
    for (auto* child : getChildren())
        if (child->getName() == name)
            return child;
    if (!recursive)
        return nullptr;

    // Depth-first below each child in turn; the first match wins.
    std::function<juce::Component*(const juce::Component&)> search = [&](const juce::Component& parent) -> juce::Component* {
        for (auto* child : parent.getChildren())
            if (child->getName() == name)
                return child;
        for (auto* child : parent.getChildren())
            if (auto* found = search(*child))
                return found;
        return nullptr;
    };
    for (auto* child : getChildren())
        if (auto* found = search(*child))
            return found;
    return nullptr;
}

//==============================================================================
// Timer

void BasePluginEditor::parentHierarchyChanged()
{
    // The tooltip window follows the mouse with timers of its own and of the
    // desktop: it is there while the editor is on a screen.
    if (getPeer() == nullptr)
        tooltipWindow.reset();
    else if (tooltipWindow == nullptr)
    {
        tooltipWindow = std::make_unique<juce::TooltipWindow>(this, kTooltipDelayMs);
        tooltipWindow->setOpaque(false);
    }
}

void BasePluginEditor::timerCallback()
{
    // The host's automation and MIDI post nothing: their changes are fetched here.
    plugin.deliverDueNotices();
    if (isVisible())
        visibleTimerCallback();
}

void BasePluginEditor::visibleTimerCallback()
{
    int expected = 1;
    if (skinReloadRequested.compare_exchange_strong(expected, 0))
        switchSkin(pendingSkinName);

    if (midiActivityLed != nullptr && plugin.takeMidiActivity())
        midiActivityLed->blink(1, kMidiBlinkMs);
}

//==============================================================================
// Layout

void BasePluginEditor::setContentSize(int width, int height)
{
    contentHeight = height;
    const int total = height + (isStatusBarShown() ? statusBar.getHeight() : 0);
    setSize(width, total);
    layoutStatusBar();
    if (auto* parent = getParentComponent())
        parent->setSize(width, total);
}

void BasePluginEditor::layoutStatusBar()
{
    statusBar.setBounds(0, contentHeight, getWidth(), statusBar.getHeight());
    statusBar.setVisible(isStatusBarShown());
    statusBar.toFront(false);
}

void BasePluginEditor::resized()
{
    layoutStatusBar();
    repaint();
}

void BasePluginEditor::childBoundsChanged(juce::Component* child)
{
    // The status bar takes its height from the look-and-feel.
    if (child == &statusBar)
        setContentSize(getWidth(), contentHeight);
}

juce::Rectangle<int> BasePluginEditor::getDesktopArea()
{
    auto area = getLocalBounds();
    if (isStatusBarShown())
        area.setHeight(contentHeight);
    return area;
}

void BasePluginEditor::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colours::black);
    const juce::Rectangle<int> content(0, 0, getWidth(), contentHeight);
    g.setColour(juce::Colours::white);
    if (pluginLogo.isValid())
    {
        g.drawImageAt(pluginLogo, content.getCentreX() - pluginLogo.getWidth() / 2,
                      content.getCentreY() - pluginLogo.getHeight() / 2);
    }
    else
    {
        g.setFont(juce::Font("Tahoma", 80.0f, juce::Font::bold));
        g.drawText(plugin.getProductName(), content, juce::Justification::centred, false);
        g.setFont(juce::Font("Tahoma", 20.0f, juce::Font::bold));
        g.drawText(plugin.getDescription(), content.withTop(45), juce::Justification::centred, false);
    }
    if (makerLogo.isValid())
    {
        g.drawImageAt(makerLogo, content.getCentreX() - makerLogo.getWidth() / 2,
                      contentHeight - 20 - makerLogo.getHeight());
    }
    else
    {
        g.setFont(juce::Font("Tahoma", 16.0f, juce::Font::plain));
        g.drawText("Orv Group Audio Software", content.withBottom(contentHeight - 10),
                   juce::Justification::centredBottom, false);
    }
}

//==============================================================================
// Reactions of the controls

void BasePluginEditor::controllerValueChanged(GUIController* control)
{
    auto* p = control != nullptr ? control->getParameter() : nullptr;
    if (p != nullptr && p->getId() == getPresetNameParameterId() && plugin.getBuildNumber() != "0"
        && p->getText() == kEasterEggName)
    {
        statusBar.showMessage(juce::String(kEasterEggName) + ": " + plugin.getBuildNumber(), statusSkin, false);
        return;
    }
    parameterTouched(getTouchedParameter(control));
}

void BasePluginEditor::controllerDragStarted(GUIController* control)
{
    parameterTouched(getTouchedParameter(control));
}

Parameter* BasePluginEditor::getTouchedParameter(GUIController* control)
{
    return control != nullptr ? control->getParameter() : nullptr;
}

void BasePluginEditor::controllerEventTriggered(GUIController* control, int uid)
{
    switch (uid)
    {
    case eventOptions:
        optionsWindow->show();
        statusBar.clear(-1);
        break;
    case eventAbout:
        if (aboutWindow != nullptr)
            aboutWindow->show();
        break;
    case eventNextPreset:
        selectNextPresetOrAsk(kPresetsCollection);
        break;
    case eventPreviousPreset:
        selectPreviousPresetOrAsk(kPresetsCollection);
        break;
    case eventBrowsePresets:
        break;
    case eventSavePreset:
        savePreset(kPresetsCollection);
        break;
    case eventSavePresetAs:
        savePresetAs(kPresetsCollection);
        break;
    case eventToggleMidiLearn:
        plugin.getMidiControl().toggleLearning();
        break;
    default:
        plugin.handleEditorEvent(uid);
        parameterTouched(control != nullptr ? control->getParameter() : nullptr);
        break;
    }
}

void BasePluginEditor::parameterTouched(Parameter* p)
{
    if (p == nullptr)
        return;
    learnParameterTouched(p);
    showParameterStatus(p, statusControl);
}

void BasePluginEditor::parameterTouchedById(int id)
{
    parameterTouched(plugin.getParameterManager().getParameter(id));
}

void BasePluginEditor::learnParameterTouched(Parameter* p)
{
    auto& map = plugin.getMidiControl();
    if (p != nullptr && p->isAutomatable() && map.isLearning())
        map.parameterTouched(p);
}

void BasePluginEditor::showParameterStatus(Parameter* p, int priority)
{
    if (p == nullptr)
        return;
    const int id = p->getId();
    const auto text = plugin.getPluginParameterText(id);
    if (text == "@")
        statusBar.showMessage(plugin.getPluginParameterName(id), priority, false);
    else if (text.isNotEmpty())
        statusBar.showMessage(plugin.getPluginParameterName(id) + ": " + text, priority, false);
    else
        return;
    statusParameterId = id;
    statusParameterText = statusBar.getText();
}

void BasePluginEditor::refreshParameterStatus()
{
    if (statusParameterId < 0 || statusBar.getText().isEmpty() || statusBar.getText() != statusParameterText)
        return;
    showParameterStatus(plugin.getParameterManager().getParameter(statusParameterId), statusBar.getPriority());
}

void BasePluginEditor::pluginStateRestored(BasePlugin*)
{
    refreshParameterStatus();
}

void BasePluginEditor::presetChanged(PresetCollection*)
{
    refreshParameterStatus();
}

//==============================================================================
// MIDI learn and other notifications

void BasePluginEditor::midiLearnStateChanged(MidiControl* map)
{
    if (map == nullptr)
        return;
    const bool learning = map->isLearning();
    if (learning)
    {
        const int cc = map->getSelectedController();
        auto* p = map->getSelectedParameter();
        juce::String text;
        if (cc < 0)
            text = p != nullptr ? "'" + p->getName() + "' parameter is free. Waiting for a free controller now..."
                                : juce::String("Waiting for a controller or parameter movement...");
        else
            text = p != nullptr ? "CC# " + juce::String(cc) + " is assigned to parameter '" + p->getName() + "'."
                                : "CC# " + juce::String(cc) + " is free. Waiting for a parameter now...";
        statusBar.showPermanentMessage(text, statusLearn, false);
    }
    else
    {
        statusBar.clear(-1);
    }

    if (midiLearnButton != nullptr)
    {
        midiLearnButton->setState(learning ? 1 : 0);
        midiLearnButton->setBlinking(learning, kLearnBlinkMs);
    }
}

void BasePluginEditor::midiValueChanged(MidiControl* map)
{
    if (map != nullptr)
        if (auto* p = map->getLastParameterChangedByMidi())
            showParameterStatus(p, statusMidi);
}

void BasePluginEditor::defaultResourceChanged(DefaultResourceCheckBox* box)
{
    if (box == &midiPage->getDefaultMapCheck())
        statusBar.showPermanentMessage("Default Map settings will be affected when plugin is loaded.", statusProcessing,
                                       false);
}

void BasePluginEditor::tabChanged(TabbedComponentEx* tabs)
{
    if (tabs == &optionsWindow->getTabs())
        statusBar.clear(-1);
}

void BasePluginEditor::processingModeChanged(BasePlugin* p, int mode)
{
    if (p == nullptr)
        return;
    const bool offline = mode == BasePlugin::processingModeOffline;
    const int id = offline ? p->getOfflineQualityParameterId() : p->getRealtimeQualityParameterId();
    const juce::String text = juce::String(offline ? "Offline processing" : "Realtime processing") + ": "
                            + p->getPluginParameterText(id);
    statusBar.showMessage(text, statusProcessing, false);
}

//==============================================================================
// Presets

PresetCollection* BasePluginEditor::findPresetCollection(const juce::String& name) const
{
    for (int i = 0; i < plugin.getNumPresetCollections(); ++i)
        if (auto* collection = plugin.getPresetCollection(i))
            if (collection->getName() == name)
                return collection;
    return nullptr;
}

void BasePluginEditor::selectNextPresetOrAsk(const juce::String& collectionName)
{
    if (auto* collection = findPresetCollection(collectionName))
    {
        if (!plugin.isPresetModified(collection))
            plugin.selectNextPreset(collection);
        else
            askSaveChanges(collectionName, 1);
    }
}

void BasePluginEditor::selectPreviousPresetOrAsk(const juce::String& collectionName)
{
    if (auto* collection = findPresetCollection(collectionName))
    {
        if (!plugin.isPresetModified(collection))
            plugin.selectPreviousPreset(collection);
        else
            askSaveChanges(collectionName, -1);
    }
}

juce::String BasePluginEditor::makeSafePresetFileName(const juce::String& presetName)
{
    // The name comes from a parameter that a host state can set to anything:
    // separators would lead out of the folder, leading dots hide the file or
    // climb ("..").
    auto name = presetName.replaceCharacters("/\\", "--");
    name = juce::File::createLegalFileName(name).trim();
    while (name.startsWithChar('.'))
        name = name.substring(1).trimStart();
    return name.isEmpty() ? juce::String(kUntitledPreset) : name;
}

juce::File BasePluginEditor::withPresetExtension(const juce::File& chosen, const juce::String& extension)
{
    if (chosen == juce::File() || chosen.hasFileExtension(extension))
        return chosen;
    return chosen.getSiblingFile(chosen.getFileName() + extension);
}

juce::File BasePluginEditor::getCurrentPresetFile(PresetCollection* collection)
{
    if (collection == nullptr)
        return {};
    const auto current = plugin.getCurrentPresetPath(collection);
    const auto folder = current != juce::File() && current.getParentDirectory().isDirectory()
                          ? current.getParentDirectory()
                          : collection->getRootFolder();
    return folder.getChildFile(makeSafePresetFileName(plugin.getCurrentPresetName(collection))
                               + collection->getExtension());
}

void BasePluginEditor::savePreset(const juce::String& collectionName)
{
    auto* collection = findPresetCollection(collectionName);
    if (collection == nullptr)
        return;
    const auto file = getCurrentPresetFile(collection);
    if (file.existsAsFile())
        askOverwritePreset(collectionName, file);
    else
        savePresetAs(collectionName);
}

void BasePluginEditor::savePresetAs(const juce::String& collectionName)
{
    auto* collection = findPresetCollection(collectionName);
    if (collection == nullptr)
        return;
    const auto extension = collection->getExtension();
    FileChooserLauncher::Request request;
    request.title = "Save current " + collectionName.toLowerCase();
    request.initialFile = getCurrentPresetFile(collection);
    request.pattern = "*" + extension;
    request.mode = FileChooserLauncher::saveFile;
    request.warnAboutOverwriting = true;
    juce::Component::SafePointer<BasePluginEditor> self(this);
    launcher->launch(request, [self, collectionName, extension](const juce::File& chosen) {
        if (self == nullptr || chosen == juce::File())
            return;
        auto* target = self->findPresetCollection(collectionName);
        if (target == nullptr)
            return;
        // The chooser asked about overwriting the file it showed; a name we
        // complete with the extension gets our own question.
        if (chosen.hasFileExtension(extension))
        {
            self->savePresetToFile(target, chosen);
            return;
        }
        const auto file = withPresetExtension(chosen, extension);
        if (file.exists())
            self->askOverwritePreset(collectionName, file);
        else
            self->savePresetToFile(target, file);
    });
}

bool BasePluginEditor::savePresetToFile(PresetCollection* collection, const juce::File& file)
{
    if (collection == nullptr)
        return false;
    if (plugin.savePresetToFile(collection, file))
        return true;
    showAlert(saveFailedAlert,
              Orv::AlertWindow::createOk(plugin.getProductName(),
                                         "The preset '" + file.getFileNameWithoutExtension()
                                             + "' could not be saved in '" + file.getParentDirectory().getFullPathName()
                                             + "'.",
                                         this));
    return false;
}

void BasePluginEditor::showAlert(std::unique_ptr<Orv::AlertWindow>& slot, Orv::AlertWindow* alert)
{
    slot.reset(alert);
    if (alert == nullptr)
        return;
    addChildComponent(*alert);
    alert->show();
}

void BasePluginEditor::askSaveChanges(const juce::String& collectionName, int direction)
{
    auto* alert = Orv::AlertWindow::createSaveOverwriteDiscard(plugin.getProductName(), kSaveChangesQuestion, this);
    alert->addValue(collectionName);
    alert->addValue(direction);
    showAlert(saveChangesAlert, alert);
}

void BasePluginEditor::askOverwritePreset(const juce::String& collectionName, const juce::File& file)
{
    auto* alert = Orv::AlertWindow::createYesCancel(
        collectionName, "Do you want to overwrite preset '" + file.getFileNameWithoutExtension() + "' ?", this);
    alert->addValue(collectionName);
    alert->addValue(file.getFullPathName());
    showAlert(overwriteAlert, alert);
}

void BasePluginEditor::alertWindowClosed(Orv::AlertWindow* alert, int result)
{
    if (alert == nullptr)
        return;
    if (alert == overwriteAlert.get())
    {
        if (result != Orv::AlertWindow::Yes)
            return;
        const juce::String path = alert->getValue(1).toString();
        if (auto* collection = findPresetCollection(alert->getValue(0).toString()))
            if (juce::File::isAbsolutePath(path))
                savePresetToFile(collection, juce::File(path));
        return;
    }
    if (alert == saveChangesAlert.get())
    {
        const juce::String name = alert->getValue(0).toString();
        const int direction = (int) alert->getValue(1);
        if (!answerSaveChanges(name, result))
            return;
        if (auto* collection = findPresetCollection(name))
        {
            if (direction < 1)
                plugin.selectPreviousPreset(collection);
            else
                plugin.selectNextPreset(collection);
        }
    }
}

bool BasePluginEditor::answerSaveChanges(const juce::String& collectionName, int result)
{
    auto* collection = findPresetCollection(collectionName);
    if (collection == nullptr)
        return false;
    switch (result)
    {
    case Orv::AlertWindow::Overwrite:
    {
        const auto file = getCurrentPresetFile(collection);
        if (file.existsAsFile())
            savePresetToFile(collection, file);
        else
            savePresetAs(collectionName);
        return false;
    }
    case Orv::AlertWindow::SaveAs:
        savePresetAs(collectionName);
        return false;
    case Orv::AlertWindow::Discard:
        return true;
    default:
        return false;
    }
}
