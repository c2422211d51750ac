#include "core/MidiControl.h"

#include "core/ParameterManager.h"
#include "core/XmlHelpers.h"
#include "core/XmlInput.h"

namespace
{
constexpr float kControllerValueRange = 127.0f;
} // namespace

bool MidiControl::Iterator::next(Assignment& assignment)
{
    while (controller < numControllers - 1)
    {
        ++controller;
        if (auto* p = midiControl.getParameterForController(controller))
        {
            assignment.parameter = p;
            assignment.controller = controller;
            return true;
        }
    }
    return false;
}

MidiControl::MidiControl(ParameterManager* parametersToUse) : parameters(parametersToUse)
{
}

MidiControl::~MidiControl()
{
    cancelPendingUpdate();
}

void MidiControl::addListener(Listener* listener)
{
    if (listener != nullptr)
        listeners.add(listener);
}

void MidiControl::removeListener(Listener* listener)
{
    listeners.remove(listener);
}

void MidiControl::processMidiMessage(const juce::MidiMessage& message)
{
    if (! message.isController())
        return;

    const int controller = message.getControllerNumber();
    if (! isValidController(controller))
        return;

    // Controllers come with the audio: what they change posts no message.
    const AudioScope audio;
    const juce::ScopedLock sl(lock);
    if (learning)
        learnController(controller);

    if (auto* p = slots[(size_t) controller])
    {
        p->setNormalisedValue((float) message.getControllerValue() / kControllerValueRange, true);
        lastParameterChangedByMidi.store(p);
        valueChangedByMidi.store(true);
        triggerUpdate();
    }
}

bool MidiControl::isLearning() const
{
    const juce::ScopedLock sl(lock);
    return learning;
}

void MidiControl::setLearning(bool shouldLearn)
{
    const juce::ScopedLock sl(lock);
    if (shouldLearn == learning)
        return;
    learning = shouldLearn;
    selectedParameter = nullptr;
    selectedController = -1;
    listeners.call([this](Listener& l) { l.midiLearnStateChanged(this); });
}

void MidiControl::toggleLearning()
{
    const juce::ScopedLock sl(lock);
    setLearning(! learning);
}

void MidiControl::parameterTouched(Parameter* parameter)
{
    if (parameter == nullptr)
        return;

    const juce::ScopedLock sl(lock);
    if (parameter == selectedParameter)
        return;
    // A controller moved while no parameter was chosen stays chosen, so that the
    // touched parameter goes onto it.
    const bool controllerChosenFirst = selectedController != -1 && selectedParameter == nullptr;
    if (! controllerChosenFirst)
        selectedController = getControllerForParameter(parameter);
    selectedParameter = parameter;
    commitSelection();
}

void MidiControl::learnController(int controller)
{
    if (! isValidController(controller))
        return;

    const juce::ScopedLock sl(lock);
    if (controller == selectedController)
        return;
    const bool parameterChosenFirst = selectedParameter != nullptr && selectedController == -1;
    if (! parameterChosenFirst)
        selectedParameter = slots[(size_t) controller];
    selectedController = controller;
    commitSelection();
}

void MidiControl::selectController(int controller)
{
    if (! isValidController(controller))
        return;

    const juce::ScopedLock sl(lock);
    if (auto* p = slots[(size_t) controller])
    {
        selectedParameter = p;
        selectedController = controller;
        commitSelection();
    }
}

Parameter* MidiControl::getSelectedParameter() const
{
    const juce::ScopedLock sl(lock);
    return selectedParameter;
}

int MidiControl::getSelectedController() const
{
    const juce::ScopedLock sl(lock);
    return selectedController;
}

void MidiControl::commitSelection()
{
    const juce::ScopedLock sl(lock);
    // Learning never takes over a controller that already drives a parameter.
    if (selectedParameter != nullptr && isValidController(selectedController)
        && slots[(size_t) selectedController] == nullptr)
        assign(selectedController, selectedParameter, true);
    learnStateChanged.store(true);
    triggerUpdate();
}

void MidiControl::assign(int controller, Parameter* parameter, bool notify)
{
    if (! isValidController(controller))
        return;

    {
        const juce::ScopedLock sl(lock);
        auto& slot = slots[(size_t) controller];
        if (slot == parameter)
            return;
        if (parameter != nullptr)
            for (auto& other : slots)
                if (other == parameter)
                    other = nullptr;
        slot = parameter;
    }

    if (notify)
    {
        mapChanged.store(true);
        triggerUpdate();
    }
}

void MidiControl::unassign(int controller)
{
    if (! isValidController(controller))
        return;

    const juce::ScopedLock sl(lock);
    assign(controller, nullptr, true);
    if (learning)
    {
        selectedParameter = nullptr;
        selectedController = -1;
        commitSelection();
    }
}

void MidiControl::freeAllSlots()
{
    const juce::ScopedLock sl(lock);
    slots.fill(nullptr);
}

void MidiControl::clear(bool notify)
{
    freeAllSlots();
    if (notify)
    {
        mapChanged.store(true);
        triggerUpdate();
    }
}

Parameter* MidiControl::getParameterForController(int controller) const
{
    if (! isValidController(controller))
        return nullptr;
    const juce::ScopedLock sl(lock);
    return slots[(size_t) controller];
}

int MidiControl::getControllerForParameter(const Parameter* parameter) const
{
    if (parameter == nullptr)
        return -1;
    const juce::ScopedLock sl(lock);
    for (int cc = 0; cc < numControllers; ++cc)
        if (slots[(size_t) cc] == parameter)
            return cc;
    return -1;
}

Parameter* MidiControl::getLastParameterChangedByMidi() const
{
    return lastParameterChangedByMidi.load();
}

void MidiControl::setMapName(const juce::String& name)
{
    const juce::ScopedLock sl(lock);
    mapName = name;
}

juce::String MidiControl::getMapName() const
{
    const juce::ScopedLock sl(lock);
    return mapName;
}

void MidiControl::setDefaultMapEnabled(bool enabled)
{
    const juce::ScopedLock sl(lock);
    defaultMapEnabled = enabled;
}

bool MidiControl::isDefaultMapEnabled() const
{
    const juce::ScopedLock sl(lock);
    return defaultMapEnabled;
}

void MidiControl::setDefaultMapFile(const juce::String& path)
{
    const juce::ScopedLock sl(lock);
    defaultMapFile = path;
}

juce::String MidiControl::getDefaultMapFile() const
{
    const juce::ScopedLock sl(lock);
    return defaultMapFile;
}

bool MidiControl::isValidXml(const juce::XmlElement* element) const
{
    if (element == nullptr)
        return false;
    if (! tagNameIs(*element, "MidiControlMap") && ! tagNameIs(*element, "MidiCCMap"))
        return false;

    const juce::String expected = getMapName();
    if (expected.isEmpty())
        return true;
    // Older maps name their product in "application".
    const juce::String identity = element->hasAttribute("name") ? element->getStringAttribute("name")
                                                                 : element->getStringAttribute("application");
    return identity.equalsIgnoreCase(expected);
}

bool MidiControl::loadFromXml(const juce::XmlElement& element)
{
    if (! isValidXml(&element))
        return false;

    {
        const juce::ScopedLock sl(lock);
        setLearning(false);
        freeAllSlots();

        for (auto* e : element.getChildIterator())
        {
            if (! tagNameIs(*e, "assign") || parameters == nullptr)
                continue;
            auto* p = parameters->getParameterByName(e->getStringAttribute("param"));
            if (p == nullptr || ! p->isAutomatable())
                continue;
            const int controller = e->hasAttribute("CC") ? Parameter::parseIntText(e->getStringAttribute("CC")) : 0;
            if (! isValidController(controller))
                continue;
            assign(controller, p, false);
        }
    }

    mapChanged.store(true);
    triggerUpdate();
    return true;
}

std::unique_ptr<juce::XmlElement> MidiControl::createXml() const
{
    // One consistent picture of the table, even while learning moves a parameter.
    const juce::ScopedLock sl(lock);
    auto root = std::make_unique<juce::XmlElement>("MidiControlMap");
    root->setAttribute("name", getMapName());

    Iterator it(*this);
    Assignment a;
    while (it.next(a))
    {
        auto* e = root->createNewChildElement("assign");
        e->setAttribute("CC", a.controller);
        e->setAttribute("param", a.parameter->getName());
    }
    return root;
}

bool MidiControl::loadFromFile(const juce::File& file)
{
    const auto root = XmlInput::readFile(file, XmlInput::Kind::midiControlMap);
    return root != nullptr && loadFromXml(*root);
}

bool MidiControl::saveToFile(const juce::File& file) const
{
    const auto root = createXml();
    return writeXmlFile(*root, file);
}

bool MidiControl::loadDefaultMap()
{
    if (! isDefaultMapEnabled())
        return false;
    const juce::String path = getDefaultMapFile();
    if (! juce::File::isAbsolutePath(path))
        return false;
    return loadFromFile(juce::File(path));
}

void MidiControl::handleAsyncUpdate()
{
    if (mapChanged.exchange(false))
        listeners.call([this](Listener& l) { l.midiControlMapChanged(this); });
    if (learnStateChanged.exchange(false))
        listeners.call([this](Listener& l) { l.midiLearnStateChanged(this); });
    if (valueChangedByMidi.exchange(false))
        listeners.call([this](Listener& l) { l.midiValueChanged(this); });
}
