#pragma once

#include <juce_core/juce_core.h>
#include <memory>

// The one way in for every XML document the plug-in reads: host chunks, preset
// files, the settings file, MIDI and host-parameter maps, the bundle's own
// resources and skins. All of them are untrusted: a host may hand us any bytes,
// and any file may be truncated, edited, or not ours at all.
//
// Before JUCE's parser sees a byte, the input is refused when it is larger than
// its kind can be, is not valid UTF-8, holds a NUL before its end (trailing NULs,
// as the chunk envelope has, are dropped), nests deeper or holds more elements
// than its kind allows, is not one complete root element (a truncated document),
// declares a DOCTYPE, or has a character reference or entity that is not well
// formed. The nesting is measured by a flat scan, because JUCE's parser recurses
// once per level and a deep document would overflow the calling thread's stack.
// After parsing, the root must be what its kind requires: a preset must hold
// parameter entries, whatever JUCE made of a damaged root tag.
//
// Usage, for a new kind of document: add it to Kind and to the rules table in
// XmlInput.cpp, then
//     if (auto root = XmlInput::readFile(file, XmlInput::Kind::skin)) ...
// A refused input gives null; the verdict, when asked for, says why.
class XmlInput
{
public:
    enum class Kind
    {
        pluginState,       // "PluginState", inside the host chunk's envelope
        preset,            // "Preset" with at least one "param" child
        userSettings,      // "UserSettings"
        midiControlMap,    // "MidiControlMap" or the older "MidiCCMap"
        hostParametersMap, // "HostParametersMap"
        parameterSet,      // "PluginParameters" (bundle resource "parameters.xml")
        eventsMap,         // "EventsMap" (bundle resource "events.xml")
        skin               // "PluginEditor" ("skin.xml")
    };

    enum class Verdict
    {
        accepted,
        unreadable,      // missing, or could not be opened or read
        notRegularFile,  // a folder, a pipe, a device
        tooLarge,
        notUtf8,
        containsNul,
        tooDeep,
        tooManyElements,
        malformed,       // not one complete, well-formed root element
        wrongRoot        // parsed, but not what this kind requires
    };

    static constexpr int kMaxDepth = 64;
    static constexpr int kMaxElements = 100000;

    // The largest input of a kind, in bytes.
    static size_t getMaxBytes(Kind kind);

    // Parses UTF-8 XML text of the given kind; null when refused.
    static std::unique_ptr<juce::XmlElement> parse(const void* data, size_t numBytes, Kind kind,
                                                   Verdict* verdict = nullptr);

    // Reads a regular file of at most the kind's size and parses it. Pipes and
    // devices are never opened for reading in a way that could block.
    static std::unique_ptr<juce::XmlElement> readFile(const juce::File& file, Kind kind, Verdict* verdict = nullptr);

    // Unpacks JUCE's state envelope (juce::AudioProcessor::copyXmlToBinary: magic
    // number, text length, text, NUL), trusting its length field no further than
    // the block, and parses the text.
    static std::unique_ptr<juce::XmlElement> readChunk(const void* data, int numBytes, Kind kind,
                                                       Verdict* verdict = nullptr);

    // A resource compiled into the plug-in, checked like any other input.
    static std::unique_ptr<juce::XmlElement> readBundleResource(const juce::String& name, Kind kind);

    // The checks made before parsing, on their own.
    static Verdict checkBeforeParsing(const void* data, size_t numBytes, Kind kind);
};
