#pragma once

#include <juce_core/juce_core.h>

#include <map>
#include <vector>

// The layers of a source tree, and a reader of every #include in it that finds
// the ones reaching a layer their file does not sit on. Includes resolve as the
// compiler resolves them with the tree's top as the one include folder: a quoted
// one against the including file's folder first, an angled one against the top
// only; whatever lies outside the tree (JUCE, the system, the build) is not ours.
class SourceLayers
{
public:
    struct Layer
    {
        juce::String folder;      // from the tree's top, e.g. "processor/dsp"
        juce::StringArray sitsOn; // the layers right below it
    };

    struct Breach
    {
        enum class Kind
        {
            reachesUp,  // the include reaches a layer the file does not sit on
            unreadable, // #include of a macro: its file cannot be known here
            noLayer     // a source file in no layer's folder
        };

        Kind kind = Kind::reachesUp;
        juce::String file; // from the tree's top
        int line = 0;
        juce::String include;  // as written, with its quotes or angle brackets
        juce::String resolved; // the file it names, from the tree's top
        juce::String layer;    // the layer of the file
        juce::String reached;  // the layer the include reaches

        juce::String describe() const;
    };

    struct Report
    {
        std::vector<Breach> breaches;
        std::map<juce::String, int> filesRead; // per layer
    };

    explicit SourceLayers(std::vector<Layer> order);

    // A layer itself and every layer below it, directly or through others.
    juce::StringArray reachableFrom(const juce::String& layer) const;
    // A cycle of the order written out as "a -> b -> a", or empty when there is
    // none; also names a layer that sits on one the order does not hold.
    juce::String findFaultInOrder() const;
    // The layer holding a path from the tree's top: the longest folder that
    // holds it; empty for none.
    juce::String layerOf(const juce::String& relativePath) const;

    // Every C and C++ source of the tree, hidden folders and build trees (those
    // holding a CMakeCache.txt) left out.
    Report check(const juce::File& root) const;

private:
    void checkFile(const juce::File& root, const juce::File& file, Report& report) const;
    const Layer* find(const juce::String& folder) const;

    std::vector<Layer> order;
};
