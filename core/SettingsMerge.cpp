#include "core/SettingsMerge.h"

#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace
{
// An element's place among its siblings: tag, name and the count of earlier
// siblings with both. The name tells apart only elements whose tag comes more
// than once at that level (presets, their entries); an element alone of its
// kind is the same element whatever its name says (an author's name).
using Key = std::tuple<juce::String, juce::String, int>;
using Tags = std::set<juce::String>;

void addRepeatedTags(const juce::XmlElement* parent, Tags& repeated)
{
    if (parent == nullptr)
        return;
    Tags seen;
    for (auto* child : parent->getChildIterator())
        if (! child->isTextElement() && ! seen.insert(child->getTagName()).second)
            repeated.insert(child->getTagName());
}

std::map<Key, juce::XmlElement*> childrenByKey(const juce::XmlElement* parent, const Tags& repeated,
                                               std::vector<Key>* order = nullptr)
{
    std::map<Key, juce::XmlElement*> children;
    if (parent == nullptr)
        return children;
    std::map<std::pair<juce::String, juce::String>, int> seen;
    for (auto* child : parent->getChildIterator())
    {
        if (child->isTextElement())
            continue;
        const auto tag = child->getTagName();
        const auto name = repeated.count(tag) != 0 ? child->getStringAttribute("name") : juce::String();
        const Key key { tag, name, seen[{ tag, name }]++ };
        children[key] = child;
        if (order != nullptr)
            order->push_back(key);
    }
    return children;
}

const juce::String* attributeOf(const juce::XmlElement* element, const juce::String& name, juce::String& holder)
{
    if (element == nullptr || ! element->hasAttribute(name))
        return nullptr;
    holder = element->getStringAttribute(name);
    return &holder;
}

juce::StringArray attributeNames(const juce::XmlElement* element)
{
    juce::StringArray names;
    if (element != nullptr)
        for (int i = 0; i < element->getNumAttributes(); ++i)
            names.add(element->getAttributeName(i));
    return names;
}
} // namespace

bool SettingsMerge::same(const juce::XmlElement& a, const juce::XmlElement& b)
{
    if (a.getTagName() != b.getTagName() || a.getNumAttributes() != b.getNumAttributes())
        return false;
    for (int i = 0; i < a.getNumAttributes(); ++i)
    {
        const auto name = a.getAttributeName(i);
        if (! b.hasAttribute(name) || b.getStringAttribute(name) != a.getAttributeValue(i))
            return false;
    }
    Tags repeated;
    addRepeatedTags(&a, repeated);
    addRepeatedTags(&b, repeated);
    const auto childrenA = childrenByKey(&a, repeated);
    const auto childrenB = childrenByKey(&b, repeated);
    if (childrenA.size() != childrenB.size())
        return false;
    for (const auto& [key, child] : childrenA)
    {
        const auto other = childrenB.find(key);
        if (other == childrenB.end() || ! same(*child, *other->second))
            return false;
    }
    return true;
}

void SettingsMerge::apply(const juce::XmlElement* base, const juce::XmlElement& mine, juce::XmlElement& theirs)
{
    // Attributes: each one this writer set, changed or removed.
    auto names = attributeNames(base);
    names.addArray(attributeNames(&mine));
    names.removeDuplicates(false);
    for (const auto& name : names)
    {
        juce::String baseHolder, mineHolder;
        const auto* before = attributeOf(base, name, baseHolder);
        const auto* now = attributeOf(&mine, name, mineHolder);
        const bool changed = (before == nullptr) != (now == nullptr) || (now != nullptr && *now != *before);
        if (! changed)
            continue;
        if (now != nullptr)
            theirs.setAttribute(name, *now);
        else
            theirs.removeAttribute(name);
    }

    // Children: matched by key; the file's own order is kept, what this
    // writer added goes at the end.
    Tags repeated;
    for (const auto* tree : { base, &mine, static_cast<const juce::XmlElement*>(&theirs) })
        addRepeatedTags(tree, repeated);
    std::vector<Key> mineOrder;
    const auto baseChildren = childrenByKey(base, repeated);
    const auto mineChildren = childrenByKey(&mine, repeated, &mineOrder);
    const auto theirChildren = childrenByKey(&theirs, repeated);
    for (const auto& key : mineOrder)
    {
        const auto* now = mineChildren.at(key);
        const auto before = baseChildren.find(key);
        const auto* beforeChild = before != baseChildren.end() ? before->second : nullptr;
        const auto there = theirChildren.find(key);
        if (there != theirChildren.end())
            apply(beforeChild, *now, *there->second);
        else if (beforeChild == nullptr || ! same(*beforeChild, *now))
            theirs.addChildElement(new juce::XmlElement(*now));
        // Otherwise another writer removed what this one left alone.
    }
    for (const auto& [key, beforeChild] : baseChildren)
    {
        if (mineChildren.count(key) != 0)
            continue;
        // This writer dropped it since it read the file.
        const auto there = theirChildren.find(key);
        if (there != theirChildren.end())
            theirs.removeChildElement(there->second, true);
    }
}

void SettingsMerge::dropUnknown(const juce::XmlElement& known, juce::XmlElement& tree)
{
    for (const auto& name : attributeNames(&tree))
        if (! known.hasAttribute(name))
            tree.removeAttribute(name);

    Tags repeated;
    addRepeatedTags(&known, repeated);
    addRepeatedTags(&tree, repeated);
    const auto knownChildren = childrenByKey(&known, repeated);
    for (const auto& [key, child] : childrenByKey(&tree, repeated))
        if (knownChildren.count(key) == 0)
            tree.removeChildElement(child, true);
    // Text has no key: none of it is the writer's.
    tree.deleteAllTextElements();
}
