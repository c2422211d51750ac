#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

// The MIDI events of the current block, plus any the host delivered beyond
// the end of the previous block, answered sample by sample as the processor
// walks the block.
class MidiEventQueue
{
public:
    MidiEventQueue();

    // Empties both buffers. Not for the audio thread: it also makes sure both
    // buffers have room for a busy block, so that adding events later does
    // not allocate.
    void reset();

    void addEvents (const juce::MidiBuffer& blockEvents);

    // True, with the message, when the next event falls on sample n. An event
    // stamped before n (a negative or out-of-order time stamp) is due at once,
    // so that it cannot hold back the events after it.
    bool getEventAt (juce::MidiMessage& message, int n);
    // The same without building a juce::MidiMessage: the view stays valid
    // until the next addEvents, advance or reset.
    bool getEventAt (juce::MidiMessageMetadata& event, int n);

    // Keeps the events at or beyond numSamples for the next block, shifted back.
    void advance (int numSamples);

    void restartIterator();

    bool hasEvents() const noexcept { return hasMoreEvents; }
    int getNumEvents() const noexcept { return current->getNumEvents(); }

private:
    // Room for several thousand short messages per block.
    static constexpr int kReservedBytes = 64 * 1024;

    juce::MidiBuffer buffers[2];
    juce::MidiBuffer* current = &buffers[0];
    juce::MidiBuffer* other = &buffers[1];
    juce::MidiBufferIterator iterator;

    bool hasMoreEvents = false;
    bool eventWaiting = false;
    int waitingSample = -1;
    juce::MidiMessageMetadata waitingEvent;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MidiEventQueue)
};
