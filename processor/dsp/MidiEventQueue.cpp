#include "processor/dsp/MidiEventQueue.h"

MidiEventQueue::MidiEventQueue()
{
    reset();
}

void MidiEventQueue::reset()
{
    for (auto& b : buffers)
    {
        b.clear();
        b.ensureSize (kReservedBytes);
    }
    restartIterator();
}

void MidiEventQueue::addEvents (const juce::MidiBuffer& blockEvents)
{
    // Event by event rather than MidiBuffer::addEvents, which would drop
    // events that a host stamped before sample 0.
    for (const auto event : blockEvents)
        current->addEvent (event.data, event.numBytes, event.samplePosition);
    restartIterator();
}

bool MidiEventQueue::getEventAt (juce::MidiMessageMetadata& event, int n)
{
    if (! hasMoreEvents)
        return false;

    if (! eventWaiting)
    {
        if (iterator == current->cend())
        {
            hasMoreEvents = false;
            return false;
        }
        waitingEvent = *iterator;
        ++iterator;
        waitingSample = waitingEvent.samplePosition;
        eventWaiting = true;
    }

    // Later than n: keep it until its sample comes. Earlier than n can only
    // be a stamp the walk has already passed; it is due now.
    if (waitingSample > n)
        return false;

    eventWaiting = false;
    event = waitingEvent;
    return true;
}

bool MidiEventQueue::getEventAt (juce::MidiMessage& message, int n)
{
    juce::MidiMessageMetadata event;
    if (! getEventAt (event, n))
        return false;
    message = juce::MidiMessage (event.data, event.numBytes, event.samplePosition);
    return true;
}

void MidiEventQueue::advance (int numSamples)
{
    other->clear();
    for (const auto event : *current)
        if (event.samplePosition >= numSamples)
            other->addEvent (event.data, event.numBytes, event.samplePosition - numSamples);
    std::swap (current, other);
    restartIterator();
}

void MidiEventQueue::restartIterator()
{
    iterator = current->cbegin();
    waitingSample = -1;
    eventWaiting = false;
    hasMoreEvents = ! current->isEmpty();
}
