#pragma once

#include <juce_core/juce_core.h>

#include <memory>

// Brings one writer's changes into settings that others may have written
// since it read them: a three-way merge of XML trees. Elements are matched by
// their tag and, where that tag comes more than once among them, by their
// "name" attribute and their place among the siblings that share both; each
// attribute is one setting. What the writer's settings
// ("mine") hold differently from what it started from ("base") replaces the
// file's ("theirs"); everything else of the file stays as it is, elements
// that only the file has too.
class SettingsMerge
{
public:
    // theirs updated in place. A null base counts as empty: everything of
    // mine is the writer's change.
    static void apply(const juce::XmlElement* base, const juce::XmlElement& mine, juce::XmlElement& theirs);

    // Whether two trees hold the same settings (attributes and children, in
    // the sense of the matching above).
    static bool same(const juce::XmlElement& a, const juce::XmlElement& b);

    // Takes from the top of tree the attributes and the elements (whole)
    // that known has no counterpart of, and any text: what the writer does
    // not know.
    static void dropUnknown(const juce::XmlElement& known, juce::XmlElement& tree);
};
