#pragma once

// A processor that says whether it took a state it was given. A host's
// wrapper answers the host's "load this chunk" from it: a chunk the processor
// refuses changes nothing and is reported as not loaded, where
// juce::AudioProcessor::setStateInformation could only stay silent.
class StateLoader
{
public:
    virtual ~StateLoader() = default;

    // The whole state, as getStateInformation writes it. False, with nothing
    // changed, for data that is not such a state. Called on the host's thread
    // while audio may be running.
    virtual bool loadState(const void* data, int sizeInBytes) = 0;
};
