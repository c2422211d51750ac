#include "core/ParameterManager.h"

#include "core/AnswerParameter.h"
#include "core/BoolParameter.h"
#include "core/EnumParameter.h"
#include "core/FloatParameter.h"
#include "core/IntParameter.h"
#include "core/LogicParameter.h"
#include "core/NoteParameter.h"
#include "core/Preset.h"
#include "core/StateParameter.h"
#include "core/StringParameter.h"
#include "core/XmlHelpers.h"
#include "core/XmlInput.h"

#include <cmath>

namespace
{
// Every id the product uses is below this, so no two of them share a bucket.
constexpr int kLookupBuckets = 10000;
constexpr int kDefaultBuckets = 101;

float readFloatAttribute(const juce::XmlElement& e, const char* name, float fallback)
{
    if (! e.hasAttribute(name))
        return fallback;
    const float value = Parameter::parseFloatText(e.getStringAttribute(name));
    return std::isfinite(value) ? value : fallback;
}

int readIntAttribute(const juce::XmlElement& e, const char* name, int fallback)
{
    if (! e.hasAttribute(name))
        return fallback;
    return Parameter::parseIntText(e.getStringAttribute(name));
}

std::unique_ptr<Parameter> createParameter(const juce::XmlElement& e, int id, const juce::String& name)
{
    const juce::String type = e.getStringAttribute("type", "float");
    const juce::String value = e.getStringAttribute("value");

    if (type == "float")
        return std::make_unique<FloatParameter>(id, name, readFloatAttribute(e, "min", 0.0f),
                                                readFloatAttribute(e, "max", 1.0f), Parameter::parseFloatText(value));
    if (type == "int")
        return std::make_unique<IntParameter>(id, name, readIntAttribute(e, "min", 0), readIntAttribute(e, "max", 1),
                                              Parameter::parseIntText(value));
    if (type == "string")
        return std::make_unique<StringParameter>(id, name, value);
    if (type == "bool")
        return std::make_unique<BoolParameter>(id, name, value);
    if (type == "state")
        return std::make_unique<StateParameter>(id, name, value);
    if (type == "logic")
        return std::make_unique<LogicParameter>(id, name, value);
    if (type == "answer")
        return std::make_unique<AnswerParameter>(id, name, value);
    if (type == "enum")
        return std::make_unique<EnumParameter>(id, name, e.getStringAttribute("enum"), value);
    if (type == "note")
        return std::make_unique<NoteParameter>(id, name, value);
    return nullptr;
}
} // namespace

ParameterManager::ParameterManager() : byId(kLookupBuckets), byName(kLookupBuckets), defaults(kDefaultBuckets)
{
}

ParameterManager::~ParameterManager()
{
    clear();
}

void ParameterManager::loadFromResource(const juce::String& resourceName)
{
    const auto root = XmlInput::readBundleResource(resourceName, XmlInput::Kind::parameterSet);
    if (root != nullptr)
        loadFromXml(*root);
    else
        clear();
}

void ParameterManager::loadFromXml(const juce::XmlElement& root)
{
    clear();
    applicationName = root.getStringAttribute("application");
    if (! tagNameIs(root, "PluginParameters"))
        return;

    for (auto* e : root.getChildIterator())
    {
        if (! tagNameIs(*e, "param"))
            continue;
        const int id = readIntAttribute(*e, "index", -1);
        const juce::String name = e->getStringAttribute("name");
        if (id == -1 || name.isEmpty())
            continue;

        auto parameter = createParameter(*e, id, name);
        if (parameter == nullptr)
            continue;
        parameter->setAutomatable(e->getBoolAttribute("auto", false));
        addParameter(std::move(parameter));
    }
}

bool ParameterManager::addParameter(std::unique_ptr<Parameter> parameter)
{
    if (parameter == nullptr)
        return false;

    const juce::ScopedWriteLock sl(lock);
    if (parameters.contains(parameter.get()))
    {
        // Already ours: owned by the array, so it must not be destroyed here.
        parameter.release();
        return false;
    }
    if (byId.contains(parameter->getId()) || byName.contains(parameter->getName()))
        return false;

    Parameter* p = parameter.release();
    parameters.add(p);
    byId.set(p->getId(), p);
    byName.set(p->getName(), p);
    return true;
}

void ParameterManager::clear()
{
    const juce::ScopedWriteLock sl(lock);
    byId.clear();
    byName.clear();
    parameters.clear(true);
}

Parameter* ParameterManager::find(int id) const
{
    return byId[id];
}

float ParameterManager::getValue(int id) const
{
    const juce::ScopedReadLock sl(lock);
    const auto* p = find(id);
    return p != nullptr ? p->getValue() : 0.0f;
}

float ParameterManager::getNormalisedValue(int id) const
{
    const juce::ScopedReadLock sl(lock);
    const auto* p = find(id);
    return p != nullptr ? p->getNormalisedValue() : 0.0f;
}

int ParameterManager::getIntValue(int id) const
{
    const juce::ScopedReadLock sl(lock);
    const auto* p = find(id);
    return p != nullptr ? p->getIntValue() : 0;
}

bool ParameterManager::getBoolValue(int id) const
{
    const juce::ScopedReadLock sl(lock);
    const auto* p = find(id);
    return p != nullptr && p->getBoolValue();
}

juce::String ParameterManager::getText(int id) const
{
    const juce::ScopedReadLock sl(lock);
    const auto* p = find(id);
    return p != nullptr ? p->getText() : juce::String();
}

juce::String ParameterManager::getParameterName(int id) const
{
    const juce::ScopedReadLock sl(lock);
    const auto* p = find(id);
    return p != nullptr ? p->getName() : juce::String();
}

Parameter* ParameterManager::getParameter(int id) const
{
    const juce::ScopedReadLock sl(lock);
    return find(id);
}

void ParameterManager::setValue(int id, float value)
{
    const juce::ScopedReadLock sl(lock);
    if (auto* p = find(id))
        p->setValue(value, true);
}

void ParameterManager::setNormalisedValue(int id, float value)
{
    const juce::ScopedReadLock sl(lock);
    if (auto* p = find(id))
        p->setNormalisedValue(value, true);
}

void ParameterManager::setIntValue(int id, int value)
{
    const juce::ScopedReadLock sl(lock);
    if (auto* p = find(id))
        p->setIntValue(value, true);
}

void ParameterManager::setBoolValue(int id, bool value)
{
    const juce::ScopedReadLock sl(lock);
    if (auto* p = find(id))
        p->setBoolValue(value, true);
}

void ParameterManager::setText(int id, const juce::String& text)
{
    const juce::ScopedReadLock sl(lock);
    if (auto* p = find(id))
        p->setText(text, true);
}

void ParameterManager::setFromParameter(int id, const Parameter& source)
{
    const juce::ScopedReadLock sl(lock);
    if (auto* p = find(id))
        p->setFromParameter(source, true);
}

void ParameterManager::copyValue(int destinationId, int sourceId)
{
    const juce::ScopedReadLock sl(lock);
    auto* destination = find(destinationId);
    const auto* source = find(sourceId);
    if (destination != nullptr && source != nullptr)
        destination->setFromParameter(*source, true);
}

Parameter* ParameterManager::getParameterByName(const juce::String& name) const
{
    const juce::ScopedReadLock sl(lock);
    return byName[name];
}

int ParameterManager::getParameterIndex(const juce::String& name) const
{
    const juce::ScopedReadLock sl(lock);
    const auto* p = byName[name];
    return p != nullptr ? p->getId() : -1;
}

void ParameterManager::addListenerToAll(Parameter::Listener* listener)
{
    const juce::ScopedReadLock sl(lock);
    for (auto* p : parameters)
        p->addListener(listener);
}

void ParameterManager::addControllerToAll(Parameter::Listener* controller)
{
    const juce::ScopedReadLock sl(lock);
    for (auto* p : parameters)
        p->addController(controller);
}

void ParameterManager::removeControllerFromAll(Parameter::Listener* controller)
{
    const juce::ScopedReadLock sl(lock);
    for (auto* p : parameters)
        p->removeController(controller);
}

void ParameterManager::deliverDueUpdates()
{
    const juce::ScopedReadLock sl(lock);
    for (auto* p : parameters)
        p->deliverIfDue();
}

void ParameterManager::sendAllValues()
{
    const juce::ScopedReadLock sl(lock);
    for (auto* p : parameters)
        p->sendValueChanged();
}

void ParameterManager::addListener(int id, Parameter::Listener* listener)
{
    const juce::ScopedReadLock sl(lock);
    if (auto* p = find(id))
        p->addListener(listener);
}

void ParameterManager::storeToPreset(Preset& preset, const juce::SparseSet<int>& ids) const
{
    preset.clear();
    {
        const juce::ScopedReadLock sl(lock);
        for (int r = 0; r < ids.getNumRanges(); ++r)
        {
            const auto range = ids.getRange(r);
            for (int id = range.getStart(); id < range.getEnd(); ++id)
                if (const auto* p = find(id))
                    preset.addParameter(id, p->getText());
        }
    }
    preset.sortEntries();
}

void ParameterManager::storeDefaultValues()
{
    for (auto* p : parameters)
        defaults.set(p->getId(), p->getNormalisedValue());
}

float ParameterManager::getDefaultValue(int id) const
{
    return defaults[id];
}
