#include "core/BasePlugin.h"

#include "core/AudioProcessorEditorWrapper.h"
#include "core/FloatParameter.h"
#include "core/FolderWalk.h"
#include "core/HostParameter.h"
#include "core/PluginGuiRoot.h"
#include "core/SettingsFileLock.h"
#include "core/SettingsMerge.h"
#include "core/XmlHelpers.h"
#include "core/XmlInput.h"

#include <cmath>
#include <optional>

namespace
{
// Events that the editor base handles, always present after the product's own.
const char* const kBuiltInEventNames[] = {
    "Options",          "About",           "Select next preset",  "Select previous preset",
    "Browse presets",   "Save preset",     "Save preset as",      "Copy current preset",
    "Paste copied preset", "Store current preset", "Toggle Midi Learn"
};
constexpr int kFirstBuiltInEventUid = 1000;

constexpr int kNumDebugEntries = 12;
constexpr int kFirstDebugParameterId = 300000;
constexpr int kFirstDebugEventUid = 10000;

constexpr int kHostValueTextDecimals = 8;
// Host values closer than this (half a unit of the sixth decimal, with room
// for the float's own rounding) are the same value.
constexpr float kSameHostValue = 6.0e-7f;

const char* const kMakerFolderName = "Orv Group";
const char* const kDefaultProcessingQualityName = "DefaultProcessingQuality";
const char* const kUnreadableSuffix = ".unreadable";
// On the plug-in state: the preset had been changed since it was loaded or saved.
const char* const kPresetModifiedAttribute = "presetModified";
// On the plug-in state: the current preset's file, relative to the preset
// folder with '/' between folders, so that next and previous go on from it.
const char* const kPresetFileAttribute = "presetFile";

// The longest name of a file or folder the system takes, in bytes.
constexpr int kMaxFileNameBytes = 255;

// How long a settings write waits for another writer (an instance in this or
// another process) to finish with the file before it writes without the lock.
constexpr int kSettingsLockTimeoutMs = 2000;

juce::String yesNo(bool b)
{
    return b ? "yes" : "no";
}

// An absolute path as a file; anything else names no file.
juce::File fileFromPath(const juce::String& path)
{
    return juce::File::isAbsolutePath(path) ? juce::File(path) : juce::File();
}

// Whether a stored path, relative to the preset folder, can name a preset of
// its collection: names between single '/', none "." or "..", none longer
// than a file's, no more folders than the collection reads. Read once from
// its start, so that a value of any length costs no more than its length.
bool canNamePresetInFolder(const juce::String& relativePath)
{
    if (juce::File::isAbsolutePath(relativePath))
        return false;
    int folders = 0;
    int nameBytes = 0;
    int dots = 0;
    for (auto p = relativePath.getCharPointer();;)
    {
        const auto c = p.getAndAdvance();
        if (c == 0 || c == '/')
        {
            if (nameBytes == 0 || (nameBytes == dots && dots <= 2))
                return false;
            if (c == 0)
                return true;
            if (++folders > FolderWalk::kMaxDepth)
                return false;
            nameBytes = 0;
            dots = 0;
            continue;
        }
        nameBytes += (int) juce::CharPointer_UTF8::getBytesRequiredFor(c);
        dots += c == '.' ? 1 : 0;
        if (nameBytes > kMaxFileNameBytes)
            return false;
    }
}

// Whether the file lies somewhere inside the folder, by its path alone.
bool isInsideFolder(const juce::File& file, const juce::File& folder)
{
    // A file's path never ends in a separator: one that starts with the
    // folder's and a separator goes on below it.
    const auto& folderPath = folder.getFullPathName();
    return folderPath.isNotEmpty()
        && file.getFullPathName().startsWith(juce::File::addTrailingSeparator(folderPath));
}

bool writeXmlCreatingFolder(const juce::XmlElement& element, const juce::File& file)
{
    if (file == juce::File())
        return false;
    file.getParentDirectory().createDirectory();
    return writeXmlFile(element, file);
}

// Writes the settings only in a form the next instance can read back: the
// file may hold what others (a newer build, a hand) put in it, and written
// again, with the usual indentation, it can pass the reader's limits. Then
// it goes compact; failing that, without what this writer does not know
// (known: the top-level settings of its own); failing that, not at all, and
// the file stays as it was, readable.
bool writeReadableSettings(const juce::XmlElement& settings, const juce::XmlElement& known, const juce::File& file)
{
    if (file == juce::File())
        return false;
    const auto writeIfReadable = [&file](const juce::XmlElement& tree) {
        for (const bool compact : { false, true })
        {
            const auto text = getXmlFileText(tree, compact);
            if (XmlInput::checkBeforeParsing(text.getData(), text.getSize(), XmlInput::Kind::userSettings)
                == XmlInput::Verdict::accepted)
            {
                file.getParentDirectory().createDirectory();
                return std::optional<bool>(replaceFileWithData(file, text));
            }
        }
        return std::optional<bool>();
    };
    if (const auto written = writeIfReadable(settings))
        return *written;
    juce::XmlElement withoutUnknown(settings);
    SettingsMerge::dropUnknown(known, withoutUnknown);
    return writeIfReadable(withoutUnknown).value_or(false);
}
} // namespace

//==============================================================================
BasePlugin::BasePlugin(const BusesProperties& buses)
    : juce::AudioProcessor(buses), midiControl(&parameterManager)
{
    // Created before any other thread can ask for it, so that weak references
    // may be taken from worker threads.
    juce::WeakReference<BasePlugin> weakSelf(this);
    juce::ignoreUnused(weakSelf);

    hostParameters.ensureStorageAllocated(kNumHostParameters);
    hostParameters.insertMultiple(0, nullptr, kNumHostParameters);
    for (int i = 0; i < kNumHostParameters; ++i)
    {
        hostValues[(size_t) i].store(0.0f);
        beingSetByHost[(size_t) i].store(0);
        auto* hostParameter = new HostParameter(*this, i);
        hostParameterObjects[(size_t) i] = hostParameter;
        addParameter(hostParameter);
    }

    parameterManager.loadFromResource("parameters.xml");
    eventsMap.loadFromResource("events.xml");
    for (int i = 0; i < (int) juce::numElementsInArray(kBuiltInEventNames); ++i)
        eventsMap.addEvent(kBuiltInEventNames[i], kFirstBuiltInEventUid + i);

    bundle = juce::File::getSpecialLocation(juce::File::currentApplicationFile);

    // The owner id tells the user's own preset files from others'; it follows
    // the user's login so that it is the same in every instance and session.
    ownerId = juce::String::toHexString(juce::SystemStats::getLogonName().hashCode64());
}

BasePlugin::~BasePlugin()
{
    cancelPendingUpdate();
    deleteEditorComponent();
    if (presetCollection != nullptr)
        presetCollection->removeListener(this);
}

void BasePlugin::completeStartUp(BasePlugin& plugin)
{
    if (plugin.isDebugTableEnabled())
        plugin.addDebugTable();
    plugin.initialise();
    plugin.createGuiRoot();
    plugin.parameterManager.sendAllValues();
    plugin.postInitialise();
    if (plugin.isDebugDumpEnabled())
        plugin.restoreDebugDump();
    // The broadcast above reaches the product's "modified" marking like any
    // change, but nothing has been changed yet.
    plugin.setPresetModified(false);
    // What this instance's settings are now that everything has read them:
    // only what changes after this is its own to write.
    plugin.userSettingsAsRead = plugin.createUserSettingsXml();
}

void BasePlugin::initialise()
{
    loadStartupSettings();
}

void BasePlugin::loadStartupSettings()
{
    parameterManager.addListenerToAll(this);
    loadUserSettings();
    midiControl.setMapName(getProductName());
    midiControl.loadDefaultMap();
    loadDefaultHostParametersMap();
}

//==============================================================================
std::unique_ptr<PluginGuiRoot> BasePlugin::createEditorComponent()
{
    return nullptr;
}

void BasePlugin::createGuiRoot()
{
    if (guiRoot != nullptr)
        return;
    guiRoot = createEditorComponent();
    if (guiRoot == nullptr)
        return;
    guiRoot->initialise();
    guiRoot->editorInitialised();
    if (isDebugTableEnabled())
        guiRoot->createDebugPanel();
    guiRoot->sendLookAndFeelChange();
    // Its timer starts when an editor shows it (AudioProcessorEditorWrapper).
}

void BasePlugin::deleteEditorComponent()
{
    if (guiRoot == nullptr)
        return;
    guiRoot->stopTimer();
    if (auto* parent = guiRoot->getParentComponent())
        parent->removeChildComponent(guiRoot.get());
    guiRoot.reset();
}

juce::AudioProcessorEditor* BasePlugin::createEditor()
{
    if (guiRoot == nullptr)
        return nullptr;
    return new AudioProcessorEditorWrapper(*this, *guiRoot);
}

//==============================================================================
const juce::String BasePlugin::getName() const
{
    return getProductName();
}

juce::String BasePlugin::getBundlePath() const
{
    return bundle.getFullPathName();
}

void BasePlugin::checkProcessingMode()
{
    const bool nonRealtime = isNonRealtime();
    if (nonRealtime == lastNonRealtime)
        return;
    lastNonRealtime = nonRealtime;
    processingModeChanged(nonRealtime);
    processingModeFlag.store(nonRealtime ? processingModeOffline : processingModeRealtime);
    triggerUpdate();
}

void BasePlugin::prepareToPlay(double sampleRate, int maximumExpectedSamplesPerBlock)
{
    checkProcessingMode();
    // The same preparation again is no news: hosts suspend and resume on
    // their audio thread, where posting a message allocates.
    if (sampleRate == lastPreparedRate && maximumExpectedSamplesPerBlock == lastPreparedBlockSize)
        return;
    lastPreparedRate = sampleRate;
    lastPreparedBlockSize = maximumExpectedSamplesPerBlock;
    preparedFlag.store(1);
    triggerUpdate();
}

void BasePlugin::processBlock(juce::AudioBuffer<float>&, juce::MidiBuffer&)
{
    checkProcessingMode();
}

//==============================================================================
// Host parameters

Parameter* BasePlugin::getHostMappedParameter(int index) const
{
    if (!isValidHostIndex(index))
        return nullptr;
    const juce::ScopedLock sl(hostMapLock);
    return hostParameters[index];
}

int BasePlugin::getNumParameters()
{
    return getNumHostParameters();
}

const juce::String BasePlugin::getParameterName(int index)
{
    if (!isValidHostIndex(index))
        return {};
    if (auto* p = getHostMappedParameter(index))
        return getPluginParameterName(p->getId());
    return "Parameter " + juce::String(index + 1);
}

float BasePlugin::getParameter(int index)
{
    if (!isValidHostIndex(index))
        return 0.0f;
    if (auto* p = getHostMappedParameter(index))
        return p->getNormalisedValue();
    return hostValues[(size_t) index].load();
}

const juce::String BasePlugin::getParameterText(int index)
{
    if (!isValidHostIndex(index))
        return {};
    if (auto* p = getHostMappedParameter(index))
        return getPluginParameterText(p->getId());
    return juce::String(hostValues[(size_t) index].load(), kHostValueTextDecimals);
}

float BasePlugin::getParameterDefaultValue(int index)
{
    if (auto* p = getHostMappedParameter(index))
        return parameterManager.getDefaultValue(p->getId());
    return 0.0f;
}

void BasePlugin::setParameter(int index, float value)
{
    // A value that is no number would reach the parameter's range arithmetic.
    if (!isValidHostIndex(index) || std::isnan(value))
        return;
    hostValues[(size_t) index].store(value);
    // Hosts play automation on their audio thread.
    const AudioScope audio;
    if (auto* p = getHostMappedParameter(index))
    {
        // A host that restores a session sets each parameter again to the
        // value it kept, often as text of six significant digits: that names
        // the value the parameter has, and changes nothing (nor marks the
        // preset modified).
        if (std::abs(value - p->getNormalisedValue()) <= kSameHostValue)
            return;
        // Marks the write as the host's own, so that it is not echoed back.
        beingSetByHost[(size_t) index].store(1);
        p->setNormalisedValue(value, true);
        beingSetByHost[(size_t) index].store(0);
    }
}

bool BasePlugin::isParameterAutomatable(int index) const
{
    return isValidHostIndex(index);
}

juce::String BasePlugin::getHostParameterTextForValue(int index, float value)
{
    if (!isValidHostIndex(index))
        return {};
    auto* p = getHostMappedParameter(index);
    if (p == nullptr)
        return juce::String(value, kHostValueTextDecimals);
    if (value == p->getNormalisedValue())
        return getParameterText(index);
    // Another value than the current one: ask a detached copy, so the real
    // parameter and its listeners are left alone.
    std::unique_ptr<Parameter> copy(p->clone(p->getId(), p->getName()));
    if (copy == nullptr)
        return {};
    copy->setNormalisedValue(value, false);
    return copy->getText();
}

float BasePlugin::getHostParameterValueForText(int index, const juce::String& text)
{
    if (!isValidHostIndex(index))
        return 0.0f;
    auto* p = getHostMappedParameter(index);
    if (p == nullptr)
        return juce::jlimit(0.0f, 1.0f, text.getFloatValue());
    std::unique_ptr<Parameter> copy(p->clone(p->getId(), p->getName()));
    if (copy == nullptr)
        return 0.0f;
    copy->setText(text, false);
    return copy->getNormalisedValue();
}

juce::String BasePlugin::getPluginParameterText(int id)
{
    return parameterManager.getText(id);
}

juce::String BasePlugin::getPluginParameterName(int id)
{
    return parameterManager.getParameterName(id);
}

int BasePlugin::getHostIndexForParameterId(int parameterId) const
{
    const juce::ScopedLock sl(hostIndexById.getLock());
    return hostIndexById.contains(parameterId) ? hostIndexById[parameterId] : -1;
}

void BasePlugin::parameterChanged(Parameter* p)
{
    if (p == nullptr)
        return;
    const int index = getHostIndexForParameterId(p->getId());
    if (!isValidHostIndex(index) || beingSetByHost[(size_t) index].load() != 0)
        return;
    hostParameterObjects[(size_t) index]->sendValueChangedMessageToListeners(p->getNormalisedValue());
}

void BasePlugin::parameterChangeGestureBegin(Parameter* p)
{
    if (p == nullptr)
        return;
    const int index = getHostIndexForParameterId(p->getId());
    if (isValidHostIndex(index))
        hostParameterObjects[(size_t) index]->beginChangeGesture();
}

void BasePlugin::parameterChangeGestureEnd(Parameter* p)
{
    if (p == nullptr)
        return;
    const int index = getHostIndexForParameterId(p->getId());
    if (isValidHostIndex(index))
        hostParameterObjects[(size_t) index]->endChangeGesture();
}

void BasePlugin::notifyHostParametersMapChanged()
{
    // The host shows other names now; the map's own listeners hear of it too.
    updateHostDisplay(ChangeDetails().withParameterInfoChanged(true));
    hostMapBroadcaster.sendChangeMessage();
}

void BasePlugin::resetHostParametersMap()
{
    const juce::ScopedLock sl(hostMapLock);
    const juce::ScopedLock idLock(hostIndexById.getLock());
    hostParameters.clearQuick();
    hostParameters.insertMultiple(0, nullptr, kNumHostParameters);
    hostIndexById.clear();
}

void BasePlugin::assignHostParameter(int index, Parameter* p, bool notify)
{
    if (p == nullptr)
    {
        unassignHostParameter(index);
        return;
    }
    // Refused requests leave the map exactly as it was: the parameter keeps
    // its old slot.
    if (!isValidHostIndex(index) || !p->isAutomatable())
        return;
    {
        const juce::ScopedLock sl(hostMapLock);
        if (hostParameters[index] == p)
            return;
        const juce::ScopedLock idLock(hostIndexById.getLock());
        const int oldIndex = hostParameters.indexOf(p);
        if (oldIndex >= 0)
            hostParameters.set(oldIndex, nullptr);
        if (auto* previous = hostParameters[index])
            hostIndexById.remove(previous->getId());
        hostParameters.set(index, p);
        hostIndexById.set(p->getId(), index);
    }
    if (notify)
        notifyHostParametersMapChanged();
}

void BasePlugin::assignHostParameterByIndex(int index, int parameterId, bool notify)
{
    assignHostParameter(index, parameterManager.getParameter(parameterId), notify);
}

void BasePlugin::unassignHostParameter(int index)
{
    if (!isValidHostIndex(index))
        return;
    {
        const juce::ScopedLock sl(hostMapLock);
        auto* p = hostParameters[index];
        if (p == nullptr)
            return;
        const juce::ScopedLock idLock(hostIndexById.getLock());
        hostParameters.set(index, nullptr);
        hostIndexById.remove(p->getId());
    }
    notifyHostParametersMapChanged();
}

int BasePlugin::getParameterIdForHostIndex(int index) const
{
    if (auto* p = getHostMappedParameter(index))
        return p->getId();
    return -1;
}

void BasePlugin::clearHostParametersMap()
{
    resetHostParametersMap();
    notifyHostParametersMapChanged();
}

bool BasePlugin::isValidHostParametersMap(const juce::XmlElement* element) const
{
    return element != nullptr && tagNameIs(*element, "HostParametersMap")
        && element->getStringAttribute("name").equalsIgnoreCase(getProductName());
}

bool BasePlugin::loadHostParametersMap(const juce::XmlElement* element)
{
    if (!isValidHostParametersMap(element))
        return false;
    resetHostParametersMap();
    for (auto* assign : element->getChildIterator())
    {
        if (!tagNameIs(*assign, "assign"))
            continue;
        // Read saturated and checked before the step from 1-based to 0-based,
        // so no text from a file or chunk can make the arithmetic overflow.
        const int hostParam = Parameter::parseIntText(assign->getStringAttribute("hostParam", "0"));
        if (hostParam < 1 || hostParam > kNumHostParameters)
            continue;
        // An unknown name is skipped; it must not free the slot it names.
        if (auto* p = parameterManager.getParameterByName(assign->getStringAttribute("pluginParam")))
            assignHostParameter(hostParam - 1, p, false);
    }
    notifyHostParametersMapChanged();
    return true;
}

std::unique_ptr<juce::XmlElement> BasePlugin::createHostParametersMapXml() const
{
    auto root = std::make_unique<juce::XmlElement>("HostParametersMap");
    root->setAttribute("name", getProductName());
    const juce::ScopedLock sl(hostMapLock);
    for (int i = 0; i < kNumHostParameters; ++i)
    {
        if (auto* p = hostParameters[i])
        {
            auto* assign = root->createNewChildElement("assign");
            assign->setAttribute("hostParam", i + 1);
            assign->setAttribute("pluginParam", p->getName());
        }
    }
    return root;
}

bool BasePlugin::loadHostParametersMapFile(const juce::File& file)
{
    auto xml = XmlInput::readFile(file, XmlInput::Kind::hostParametersMap);
    return xml != nullptr && loadHostParametersMap(xml.get());
}

bool BasePlugin::saveHostParametersMapFile(const juce::File& file) const
{
    auto xml = createHostParametersMapXml();
    return writeXmlCreatingFolder(*xml, file);
}

juce::String BasePlugin::getHostParametersMapFileExtension() const
{
    return "." + getShortCode().toLowerCase() + "hpmap";
}

void BasePlugin::loadDefaultHostParametersMap()
{
    if (loadDefaultHostMapAtStart)
    {
        loadHostParametersMapFile(fileFromPath(defaultHostMapFile));
        return;
    }
    if (auto xml = XmlInput::readBundleResource("default" + getHostParametersMapFileExtension(),
                                                XmlInput::Kind::hostParametersMap))
        loadHostParametersMap(xml.get());
}

//==============================================================================
// Diagnostics

void BasePlugin::addDebugTable()
{
    for (int i = 0; i < kNumDebugEntries; ++i)
    {
        auto parameter = std::make_unique<FloatParameter>(kFirstDebugParameterId + i,
                                                          "Debug Parameter " + juce::String(i), 0.0f, 1.0f, 0.0f);
        auto* p = parameter.get();
        if (parameterManager.addParameter(std::move(parameter)))
            p->addListener(this);
    }
    for (int i = 0; i < kNumDebugEntries; ++i)
        eventsMap.addEvent("Debug Event " + juce::String(i), kFirstDebugEventUid + i);
}

juce::File BasePlugin::getDebugDumpFile() const
{
    return getUserDataFolder().getChildFile(getProductName() + ".dump");
}

void BasePlugin::restoreDebugDump()
{
    if (auto xml = XmlInput::readFile(getDebugDumpFile(), XmlInput::Kind::pluginState))
        restorePluginState(xml.get());
    stateRestoredFlag.store(1);
    triggerUpdate();
}

void BasePlugin::writeDebugDump()
{
    if (auto xml = createPluginState())
        writeXmlCreatingFolder(*xml, getDebugDumpFile());
    stateStoredFlag.store(1);
    triggerUpdate();
}

//==============================================================================
// Folders and settings

juce::File BasePlugin::getUserDataFolder() const
{
    // JUCE reads only ~/.config/user-dirs.dirs for the user's configuration
    // folder; the XDG variable, when it names a folder by its full path,
    // comes first, as it does for every other program.
    const auto configHome = juce::SystemStats::getEnvironmentVariable("XDG_CONFIG_HOME", {});
    const auto base = juce::File::isAbsolutePath(configHome)
                          ? juce::File(configHome)
                          : juce::File::getSpecialLocation(juce::File::userApplicationDataDirectory);
    return base.getChildFile(kMakerFolderName).getChildFile(getProductName());
}

juce::File BasePlugin::getCommonDataFolder() const
{
    return juce::File::getSpecialLocation(juce::File::commonApplicationDataDirectory)
        .getChildFile(kMakerFolderName)
        .getChildFile(getProductName());
}

bool BasePlugin::addNamedFolder(const juce::String& name, const juce::File& path, bool create)
{
    if (namedFolders.contains(name))
        return false;
    namedFolders.set(name, path);
    if (create && !path.isDirectory())
        path.createDirectory();
    return true;
}

juce::File BasePlugin::getNamedFolder(const juce::String& name) const
{
    return namedFolders.contains(name) ? namedFolders[name] : juce::File();
}

bool BasePlugin::isValidSettingsXml(const juce::XmlElement* element, const juce::String& tag) const
{
    return element != nullptr && tagNameIs(*element, tag)
        && element->getStringAttribute("application").equalsIgnoreCase(getProductName());
}

std::unique_ptr<juce::XmlElement> BasePlugin::createSettingsRoot(const juce::String& tag) const
{
    auto root = std::make_unique<juce::XmlElement>(tag);
    root->setAttribute("application", getProductName());
    return root;
}

juce::File BasePlugin::getUserSettingsFile() const
{
    return getUserDataFolder().getChildFile(getProductName() + ".ini");
}

bool BasePlugin::isValidUserSettings(const juce::XmlElement* element) const
{
    return isValidSettingsXml(element, "UserSettings");
}

bool BasePlugin::isValidPluginState(const juce::XmlElement* element) const
{
    return isValidSettingsXml(element, "PluginState");
}

juce::String BasePlugin::getAuthorName() const
{
    const juce::ScopedLock sl(authorLock);
    return authorName;
}

void BasePlugin::setAuthorName(const juce::String& name)
{
    const juce::ScopedLock sl(authorLock);
    authorName = name;
}

std::unique_ptr<juce::XmlElement> BasePlugin::readUserSettingsFile() const
{
    auto root = XmlInput::readFile(getUserSettingsFile(), XmlInput::Kind::userSettings);
    if (root == nullptr || !isValidUserSettings(root.get()))
        return nullptr;
    return root;
}

bool BasePlugin::setAsideUnreadableUserSettings() const
{
    const auto file = getUserSettingsFile();
    if (!file.exists())
        return true;
    // Never replaced: a folder or a pipe of that name is the user's business.
    if (!isRegularFile(file))
        return false;
    // Judged again now, not at start-up: another instance may have written a
    // good file since.
    if (readUserSettingsFile() != nullptr)
        return true;

    const auto aside = file.getSiblingFile(file.getFileName() + kUnreadableSuffix);
    auto target = aside;
    for (int n = 2; target.exists(); ++n)
        target = aside.getSiblingFile(aside.getFileName() + " (" + juce::String(n) + ")");
    return file.moveFileTo(target);
}

void BasePlugin::loadUserSettings()
{
    auto root = readUserSettingsFile();
    if (root != nullptr)
    {
        for (auto* child : root->getChildIterator())
        {
            if (tagNameIs(*child, "Presets"))
            {
                if (auto* author = findChildTagged(*child, "Author"))
                    setAuthorName(author->getStringAttribute("name"));
            }
            else if (tagNameIs(*child, "MidiControlMap"))
            {
                midiControl.setDefaultMapEnabled(child->getStringAttribute("default").equalsIgnoreCase("yes"));
                midiControl.setDefaultMapFile(child->getStringAttribute("file"));
            }
            else if (tagNameIs(*child, "HostParametersMap"))
            {
                loadDefaultHostMapAtStart = child->getStringAttribute("default").equalsIgnoreCase("yes");
                defaultHostMapFile = child->getStringAttribute("file");
            }
        }

        const int qualityIds[] = { getDefaultRealtimeQualityParameterId(), getDefaultOfflineQualityParameterId() };
        for (auto* child : root->getChildIterator())
        {
            if (!tagNameIs(*child, "Preset") || child->getStringAttribute("name") != kDefaultProcessingQualityName)
                continue;
            Preset quality;
            quality.loadFromXml(child, &parameterManager, false);
            for (int i = 0; i < quality.getNumEntries(); ++i)
            {
                auto* entry = quality.getEntry(i);
                if (entry != nullptr && entry->id >= 0
                    && (entry->id == qualityIds[0] || entry->id == qualityIds[1]))
                    parameterManager.setText(entry->id, entry->text);
            }
        }

        readSettings(*root);
    }

    parameterManager.copyValue(getRealtimeQualityParameterId(), getDefaultRealtimeQualityParameterId());
    parameterManager.copyValue(getOfflineQualityParameterId(), getDefaultOfflineQualityParameterId());
    copyDefaultSettings();
}

std::unique_ptr<juce::XmlElement> BasePlugin::createUserSettingsXml()
{
    auto root = createSettingsRoot("UserSettings");

    root->createNewChildElement("Presets")->createNewChildElement("Author")->setAttribute("name", getAuthorName());

    auto* midiMap = root->createNewChildElement("MidiControlMap");
    midiMap->setAttribute("default", yesNo(midiControl.isDefaultMapEnabled()));
    if (midiControl.getDefaultMapFile().isNotEmpty())
        midiMap->setAttribute("file", midiControl.getDefaultMapFile());

    auto* hostMap = root->createNewChildElement("HostParametersMap");
    hostMap->setAttribute("default", yesNo(loadDefaultHostMapAtStart));
    if (defaultHostMapFile.isNotEmpty())
        hostMap->setAttribute("file", defaultHostMapFile);

    Preset quality(kDefaultProcessingQualityName, {});
    for (int id : { getDefaultRealtimeQualityParameterId(), getDefaultOfflineQualityParameterId() })
        if (auto* p = parameterManager.getParameter(id))
            quality.addParameter(p);
    if (auto xml = quality.createXml(&parameterManager))
        root->addChildElement(xml.release());

    if (guiRoot != nullptr)
        if (auto editorSettings = guiRoot->writeSettings())
            root->addChildElement(editorSettings.release());

    writeSettings(*root);
    return root;
}

void BasePlugin::writeUserSettingsNow()
{
    if (auto mine = createUserSettingsXml())
    {
        // Other instances, in this process and in others, write the same
        // file: under its lock, what this instance changed since it read
        // its settings goes into the file as it is now, and nothing else.
        const auto file = getUserSettingsFile();
        const SettingsFileLock lock(file, kSettingsLockTimeoutMs);
        auto settings = readUserSettingsFile();
        if (settings != nullptr)
            SettingsMerge::apply(userSettingsAsRead.get(), *mine, *settings);
        // A settings file we could not read is the user's, to repair or to
        // throw away: it is moved aside rather than overwritten.
        else if (setAsideUnreadableUserSettings())
            settings = std::make_unique<juce::XmlElement>(*mine);
        if (settings != nullptr && writeReadableSettings(*settings, *mine, file))
            userSettingsAsRead = std::move(mine);
    }
    if (isDebugDumpEnabled())
        writeDebugDump();
}

void BasePlugin::saveUserSettings()
{
    // The settings include the editor's own element and are read from the
    // parameters the message thread edits: a worker thread hands the save over.
    auto* mm = juce::MessageManager::getInstanceWithoutCreating();
    if (mm != nullptr && !mm->isThisTheMessageThread())
    {
        juce::WeakReference<BasePlugin> weakSelf(this);
        juce::MessageManager::callAsync([weakSelf] {
            if (auto* self = weakSelf.get())
                self->writeUserSettingsNow();
        });
        return;
    }
    writeUserSettingsNow();
}

void BasePlugin::saveUserSettingsOnClose()
{
    writeUserSettingsNow();
}

//==============================================================================
// Plug-in state

std::unique_ptr<juce::XmlElement> BasePlugin::createPluginState()
{
    auto root = createSettingsRoot("PluginState");
    // Written only when set, so that a state of an unchanged preset reads as before.
    if (isPresetModified(presetCollection.get()))
        root->setAttribute(kPresetModifiedAttribute, yesNo(true));
    if (auto* collection = presetCollection.get())
    {
        // Older readers ignore the attribute; the default preset has no file.
        const auto file = getCurrentPresetPath(collection);
        const auto folder = collection->getRootFolder();
        if (!isDefaultPresetApplied(collection) && isInsideFolder(file, folder))
            root->setAttribute(kPresetFileAttribute, file.getRelativePathFrom(folder).replaceCharacter('\\', '/'));
    }
    if (guiRoot != nullptr)
        if (auto editorState = guiRoot->createStateXml())
            root->addChildElement(editorState.release());
    return root;
}

void BasePlugin::restorePluginState(const juce::XmlElement* element)
{
    if (!isValidPluginState(element) || guiRoot == nullptr)
        return;
    auto* editorState = findChildTagged(*element, guiRoot->getStateTagName());
    if (editorState == nullptr)
        return;
    // The editor's part changes components, which belong to the message
    // thread; a host may load its chunk from any thread.
    if (juce::MessageManager::existsAndIsCurrentThread())
    {
        guiRoot->restoreStateXml(*editorState);
        return;
    }
    auto copy = std::make_shared<juce::XmlElement>(*editorState);
    juce::WeakReference<BasePlugin> weakSelf(this);
    juce::MessageManager::callAsync([weakSelf, copy] {
        if (auto* self = weakSelf.get())
            if (self->guiRoot != nullptr)
                self->guiRoot->restoreStateXml(*copy);
    });
}

void BasePlugin::getStateInformation(juce::MemoryBlock& destData)
{
    if (auto xml = createPluginState())
        copyXmlToBinary(*xml, destData);
    stateStoredFlag.store(1);
    triggerUpdate();
}

void BasePlugin::setStateInformation(const void* data, int sizeInBytes)
{
    loadState(data, sizeInBytes);
}

bool BasePlugin::loadState(const void* data, int sizeInBytes)
{
    std::unique_ptr<juce::XmlElement> xml;
    if (data != nullptr && sizeInBytes > 0)
        xml = XmlInput::readChunk(data, sizeInBytes, XmlInput::Kind::pluginState);
    const bool valid = isValidPluginState(xml.get());
    if (valid)
    {
        restorePluginState(xml.get());
        // Restoring writes every parameter, which is no change by the user:
        // the preset is as modified as it was when the state was saved.
        setPresetModified(xml->getStringAttribute(kPresetModifiedAttribute) == yesNo(true));

        restoreCurrentPreset(xml->getStringAttribute(kPresetFileAttribute));
    }
    // The listeners hear of every attempt, also of one that read nothing.
    stateRestoredFlag.store(1);
    triggerUpdate();
    return valid;
}

void BasePlugin::getCurrentProgramStateInformation(juce::MemoryBlock& destData)
{
    if (auto xml = createProgramState())
        copyXmlToBinary(*xml, destData);
}

void BasePlugin::setCurrentProgramStateInformation(const void* data, int sizeInBytes)
{
    if (data != nullptr && sizeInBytes > 0)
        if (auto xml = XmlInput::readChunk(data, sizeInBytes, XmlInput::Kind::pluginState))
            restoreProgramState(xml.get());
}

//==============================================================================
// Notifications

void BasePlugin::addListener(Listener* l)
{
    if (l != nullptr)
        listeners.add(l);
}

void BasePlugin::removeListener(Listener* l)
{
    listeners.remove(l);
}

void BasePlugin::handleAsyncUpdate()
{
    if (stateRestoredFlag.exchange(0) != 0)
        listeners.call([this](Listener& l) { l.pluginStateRestored(this); });
    if (stateStoredFlag.exchange(0) != 0)
        listeners.call([this](Listener& l) { l.pluginStateStored(this); });
    if (preparedFlag.exchange(0) != 0)
        listeners.call([this](Listener& l) { l.pluginPrepared(this); });
    const int mode = processingModeFlag.exchange(processingModeNone);
    if (mode != processingModeNone)
        listeners.call([this, mode](Listener& l) { l.processingModeChanged(this, mode); });
}

void BasePlugin::deliverDueNotices()
{
    parameterManager.deliverDueUpdates();
    midiControl.deliverIfDue();
    deliverIfDue();
}

//==============================================================================
// Presets

PresetCollection* BasePlugin::getPresetCollection(int)
{
    return presetCollection.get();
}

PresetCollection* BasePlugin::getPresetCollectionAt(int)
{
    return presetCollection.get();
}

std::unique_ptr<Preset> BasePlugin::createPresetToSave(PresetCollection*, const juce::File&)
{
    return nullptr;
}

bool BasePlugin::isDefaultPresetApplied(PresetCollection* collection)
{
    return isOwnCollection(collection) && defaultPresetApplied.load();
}

void BasePlugin::setDefaultPresetApplied(PresetCollection* collection, bool applied)
{
    if (isOwnCollection(collection))
        defaultPresetApplied.store(applied);
}

void BasePlugin::setPresetModified(PresetCollection* collection, bool modified)
{
    if (isOwnCollection(collection))
        presetModified.store(modified);
}

bool BasePlugin::isPresetModified(PresetCollection* collection)
{
    return isOwnCollection(collection) && presetModified.load();
}

juce::File BasePlugin::getCurrentPresetPath(PresetCollection* collection)
{
    const juce::ScopedLock sl(presetPathLock);
    if (isOwnCollection(collection))
        return currentPresetPath;
    return {};
}

void BasePlugin::setCurrentPresetPath(PresetCollection* collection, const juce::File& file)
{
    const juce::ScopedLock sl(presetPathLock);
    if (isOwnCollection(collection))
        currentPresetPath = file;
}

void BasePlugin::setPresetModified(bool modified)
{
    if (presetCollection != nullptr)
        setPresetModified(presetCollection.get(), modified);
}

void BasePlugin::initPresetCollection(const juce::String& extension, const juce::File& rootFolder)
{
    auto fresh = std::make_unique<PresetCollection>("Presets", extension);
    if (presetCollection != nullptr)
        presetCollection->removeListener(this);
    presetCollection = std::move(fresh);
    presetCollection->addListener(this);
    presetCollection->setRootFolder(rootFolder);
}

bool BasePlugin::savePresetToFile(PresetCollection* collection, const juce::File& file)
{
    if (collection == nullptr || file == juce::File())
        return false;
    auto preset = createPresetToSave(collection, file);
    if (preset == nullptr)
        return false;

    Preset existing;
    if (file.existsAsFile())
        existing.loadFromFile(file, &parameterManager, true);
    if (existing.getId().isNotEmpty() && existing.getId() != ownerId)
    {
        // Someone else's preset keeps its author.
        preset->setAuthor(existing.getAuthor());
        preset->setId(existing.getId());
    }
    else
    {
        preset->setId(ownerId);
        preset->setAuthor(getAuthorName());
    }

    // A folder that cannot be made, or a file that cannot be written, leaves
    // the current preset as it was and says so to the caller.
    if (!file.getParentDirectory().createDirectory() || !preset->saveToFile(file, &parameterManager))
        return false;

    setCurrentPresetName(collection, file.getFileNameWithoutExtension());
    setPresetModified(collection, false);
    setCurrentPresetPath(collection, file);
    setDefaultPresetApplied(collection, false);
    collection->addFile(file);
    listeners.call([collection](Listener& l) { l.presetChanged(collection); });
    return true;
}

void BasePlugin::restoreDefaultPreset(PresetCollection* collection)
{
    if (collection == nullptr)
        return;
    const auto* defaultPreset = getDefaultPreset(collection);
    if (defaultPreset == nullptr)
        return;
    applyPreset(collection, *defaultPreset);
    setCurrentPresetName(collection, defaultPreset->getName());
    setPresetModified(collection, false);
    setDefaultPresetApplied(collection, true);
    listeners.call([collection](Listener& l) { l.presetChanged(collection); });
}

namespace
{
// Reads the header of a preset file we may apply or sign: it parses, its root is
// a preset, and it was not written for another product.
bool readOwnPresetHeader(const juce::File& file, const juce::String& productName, Preset& header)
{
    if (!header.loadFromFile(file, nullptr, true))
        return false;
    const auto& application = header.getApplication();
    return application.isEmpty() || application.equalsIgnoreCase(productName);
}
} // namespace

void BasePlugin::loadPresetFile(PresetCollection* collection, const juce::File& file)
{
    tryLoadPresetFile(collection, file);
}

bool BasePlugin::tryLoadPresetFile(PresetCollection* collection, const juce::File& file)
{
    if (collection == nullptr || !file.existsAsFile())
        return false;
    // The same file is not loaded twice in a row, unless the default preset
    // was restored in between.
    if (file == getCurrentPresetPath(collection) && !isDefaultPresetApplied(collection))
        return false;
    // An unreadable or foreign file would otherwise reset every parameter to
    // its default through the completion below.
    Preset header;
    if (!readOwnPresetHeader(file, getProductName(), header))
        return false;
    auto* preset = collection->getPresetForFile(file, &parameterManager);
    if (preset == nullptr)
        return false;
    if (const auto* defaultPreset = getDefaultPreset(collection))
        preset->addMissingEntries(*defaultPreset);

    applyPreset(collection, *preset);
    setCurrentPresetName(collection, preset->getName());
    setPresetModified(collection, false);
    setCurrentPresetPath(collection, file);
    setDefaultPresetApplied(collection, false);
    listeners.call([collection](Listener& l) { l.presetChanged(collection); });
    return true;
}

void BasePlugin::selectAdjacentPreset(PresetCollection* collection, int step)
{
    if (collection == nullptr)
        return;
    const auto current = getCurrentPresetPath(collection);
    const int count = collection->getNumPresets();
    if (count == 0)
        return;
    const auto wrapped = [count](int index) { return ((index % count) + count) % count; };

    int first = 0;
    if (current.getFullPathName().isNotEmpty())
    {
        const int index = collection->indexOfPresetFile(current);
        if (index >= 0)
        {
            first = wrapped(index + step);
        }
        else if (collection->getNodeForFolder(current.getParentDirectory()) != nullptr)
        {
            // Gone from its folder (deleted, renamed): on from where it stood;
            // an empty folder gives nothing.
            const int place = collection->indexOfPlaceOf(current);
            if (place < 0)
                return;
            first = wrapped(step > 0 ? place : place - 1);
        }
    }

    // A file that is refused (broken, or another product's) is stepped over,
    // once round the list at most, so the user is never stuck in front of it.
    for (int tries = 0; tries < count; ++tries)
    {
        const auto candidate = collection->getPresetFile(wrapped(first + tries * step));
        if (tries > 0 && candidate == current)
            return;
        if (tryLoadPresetFile(collection, candidate))
            return;
    }
}

void BasePlugin::restoreCurrentPreset(const juce::String& relativePath)
{
    auto* collection = presetCollection.get();
    if (collection == nullptr)
        return;
    // Taken at once, so that the state asked for next holds it again; a name
    // that can lead to no preset file in the preset folder is none.
    auto file = canNamePresetInFolder(relativePath) ? collection->getRootFolder().getChildFile(relativePath)
                                                    : juce::File();
    if (!file.hasFileExtension(collection->getExtension()))
        file = juce::File();
    setCurrentPresetPath(collection, file);
    setDefaultPresetApplied(collection, false);

    // The collection is the message thread's: there the file is checked
    // against it, or found by the preset's name.
    const auto presetName = getCurrentPresetName(collection);
    if (juce::MessageManager::existsAndIsCurrentThread())
    {
        followRestoredPreset(file, presetName);
        return;
    }
    juce::WeakReference<BasePlugin> weakSelf(this);
    juce::MessageManager::callAsync([weakSelf, file, presetName] {
        if (auto* self = weakSelf.get())
            self->followRestoredPreset(file, presetName);
    });
}

void BasePlugin::followRestoredPreset(const juce::File& restored, const juce::String& presetName)
{
    auto* collection = presetCollection.get();
    // A preset loaded since is the current one.
    if (collection == nullptr || getCurrentPresetPath(collection) != restored)
        return;
    auto file = restored;
    if (collection->indexOfPresetFile(file) < 0)
    {
        // A state of an older version names only the preset.
        file = juce::File();
        for (int i = 0; i < collection->getNumPresets() && presetName.isNotEmpty(); ++i)
            if (collection->getPresetFile(i).getFileNameWithoutExtension() == presetName)
            {
                file = collection->getPresetFile(i);
                break;
            }
    }
    setCurrentPresetPath(collection, file);
    listeners.call([collection](Listener& l) { l.presetChanged(collection); });
}

void BasePlugin::selectPreviousPreset(PresetCollection* collection)
{
    selectAdjacentPreset(collection, -1);
}

void BasePlugin::selectNextPreset(PresetCollection* collection)
{
    selectAdjacentPreset(collection, 1);
}

bool BasePlugin::updatePresetAuthor(const juce::File& file)
{
    // Files that are no preset, or another product's presets, are not ours to sign.
    Preset header;
    if (!readOwnPresetHeader(file, getProductName(), header))
        return true;
    const auto author = getAuthorName();
    if (header.getId().isNotEmpty() && (header.getId() != ownerId || header.getAuthor() == author))
        return true;
    header.setAuthor(author);
    header.setId(ownerId);
    return header.rewriteHeaderInFile(file, Preset::authorField | Preset::idField);
}

int BasePlugin::getTotalNumPresets()
{
    int total = 0;
    for (int i = 0; i < getNumPresetCollections(); ++i)
        if (auto* collection = getPresetCollectionAt(i))
            total += collection->getNumPresets();
    return total;
}
