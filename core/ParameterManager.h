#pragma once

#include "core/Parameter.h"
#include <juce_core/juce_core.h>
#include <memory>

class Preset;

// The registry of every parameter of one plug-in instance: filled once from the
// bundle's "parameters.xml" and the processor's clones, then read and written by
// id or by name from any thread. Lookups, getters and setters share a read lock
// (a setter's listeners run inside it); registering and clearing take the write
// lock. Unknown ids and names give the stated empty results and change nothing.
class ParameterManager
{
public:
    ParameterManager();
    virtual ~ParameterManager();

    // Reads a parameters document from the bundle; a missing or broken one leaves
    // the manager empty.
    void loadFromResource(const juce::String& resourceName);
    // Replaces every parameter with those of a "PluginParameters" element.
    void loadFromXml(const juce::XmlElement& root);

    // Takes ownership. Refused (false) for null, for a parameter already registered
    // (left to its owner) and for a second parameter with a registered id or name
    // (destroyed).
    bool addParameter(std::unique_ptr<Parameter> parameter);
    void clear();

    const juce::String& getApplicationName() const noexcept { return applicationName; }

    float getValue(int id) const;
    float getNormalisedValue(int id) const;
    int getIntValue(int id) const;
    bool getBoolValue(int id) const;
    juce::String getText(int id) const;
    juce::String getParameterName(int id) const;
    Parameter* getParameter(int id) const;

    // Setters by id, always with notification.
    void setValue(int id, float value);
    void setNormalisedValue(int id, float value);
    void setIntValue(int id, int value);
    void setBoolValue(int id, bool value);
    void setText(int id, const juce::String& text);
    void setFromParameter(int id, const Parameter& source);
    void copyValue(int destinationId, int sourceId);

    Parameter* getParameterByName(const juce::String& name) const;
    // The id of the named parameter, or -1.
    int getParameterIndex(const juce::String& name) const;

    // In registration order.
    void addListenerToAll(Parameter::Listener* listener);
    void addControllerToAll(Parameter::Listener* controller);
    void removeControllerFromAll(Parameter::Listener* controller);
    void sendAllValues();
    // On the message thread: the controllers hear now of the changes made on
    // the host's audio paths since the last call.
    void deliverDueUpdates();
    void addListener(int id, Parameter::Listener* listener);

    // Replaces the preset's entries with the texts of the given ids that have a
    // parameter, sorted by id.
    void storeToPreset(Preset& preset, const juce::SparseSet<int>& ids) const;

    // Records every parameter's current normalised value as its default (the value
    // reported to the host); unknown ids default to 0.
    void storeDefaultValues();
    float getDefaultValue(int id) const;

private:
    Parameter* find(int id) const;

    juce::OwnedArray<Parameter> parameters;
    juce::String applicationName;
    juce::HashMap<int, Parameter*> byId;
    juce::HashMap<juce::String, Parameter*> byName;
    juce::HashMap<int, float> defaults;
    mutable juce::ReadWriteLock lock;

    JUCE_DECLARE_NON_COPYABLE(ParameterManager)
};
