#pragma once

#include <juce_core/juce_core.h>
#include <map>

// The two-way table between the event names that skins give to control actions and
// the event numbers the editor reacts to. No name and no uid occurs twice. Filled
// once while the plug-in is constructed, read-only afterwards.
class EventsMap
{
public:
    // Refused (false, nothing changes) when the name or the uid is already present.
    bool addEvent(const juce::String& name, int uid);

    // -1 for an unknown name (names are case-sensitive).
    int getUid(const juce::String& name) const;
    // Empty for an unknown uid.
    juce::String getName(int uid) const;
    // The name with only its first character upper-cased ("Toggle midi learn").
    juce::String getDisplayText(int uid) const;

    void clear();

    // Replaces the table with the "event" children of an "EventsMap" element; pairs
    // that would repeat a name or uid are dropped.
    void readFromXml(const juce::XmlElement& root);
    // Reads an events document from the bundle; a missing or broken one leaves the
    // table as it was.
    void loadFromResource(const juce::String& resourceName);

private:
    std::map<juce::String, int> uidsByName;
    std::map<int, juce::String> namesByUid;
};
