#include "core/EventsMap.h"

#include "core/Parameter.h"
#include "core/XmlHelpers.h"
#include "core/XmlInput.h"

bool EventsMap::addEvent(const juce::String& name, int uid)
{
    if (uidsByName.count(name) != 0 || namesByUid.count(uid) != 0)
        return false;
    uidsByName.emplace(name, uid);
    namesByUid.emplace(uid, name);
    return true;
}

int EventsMap::getUid(const juce::String& name) const
{
    const auto it = uidsByName.find(name);
    return it != uidsByName.end() ? it->second : -1;
}

juce::String EventsMap::getName(int uid) const
{
    const auto it = namesByUid.find(uid);
    return it != namesByUid.end() ? it->second : juce::String();
}

juce::String EventsMap::getDisplayText(int uid) const
{
    const juce::String name = getName(uid);
    return name.substring(0, 1).toUpperCase() + name.substring(1).toLowerCase();
}

void EventsMap::clear()
{
    uidsByName.clear();
    namesByUid.clear();
}

void EventsMap::readFromXml(const juce::XmlElement& root)
{
    clear();
    if (! tagNameIs(root, "EventsMap"))
        return;

    for (auto* e : root.getChildIterator())
        if (tagNameIs(*e, "event"))
            // Saturated, so an overlong number never wraps onto another event's uid.
            addEvent(e->getStringAttribute("name"), Parameter::parseIntText(e->getStringAttribute("uid")));
}

void EventsMap::loadFromResource(const juce::String& resourceName)
{
    const auto root = XmlInput::readBundleResource(resourceName, XmlInput::Kind::eventsMap);
    if (root != nullptr)
        readFromXml(*root);
}
