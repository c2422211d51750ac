#pragma once

#include "core/ParameterManager.h"
#include "core/XmlInput.h"

#include <functional>
#include <memory>

// Reads a host-parameter or MIDI controller map that the user chose, all or
// nothing: a map is handed on only when every one of its assignments can be
// made, so that loading never leaves half a map behind. What is wrong is
// worded for the user, one line for an alert.
class MapFileReader
{
public:
    struct Rules
    {
        XmlInput::Kind kind = XmlInput::Kind::hostParametersMap;
        // "host parameters map", "MIDI control map".
        juce::String description;
        // Whether a well-formed map is one of this product's.
        std::function<bool(const juce::XmlElement&)> isOwnMap;
        // The number of each "assign" element, its range and what it counts.
        juce::String indexAttribute;
        int firstIndex = 0;
        int lastIndex = 0;
        // Without it, an element stands for firstIndex.
        bool indexRequired = true;
        juce::String indexNoun;
        // The attribute naming the parameter, looked up by exact name.
        juce::String nameAttribute;
        const ParameterManager* parameters = nullptr;
    };

    // The map's root, or null with problem set.
    static std::unique_ptr<juce::XmlElement> read(const juce::File& file, const Rules& rules, juce::String& problem);

    // What the user reads when a map could not be written.
    static juce::String describeSaveFailure(const juce::File& file);

    // The file's name in quotes, shortened when it would make the line too long.
    static juce::String quoteFileName(const juce::File& file);

private:
    static juce::String checkAssignment(const juce::XmlElement& assign, const Rules& rules);
};
