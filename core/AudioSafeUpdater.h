#pragma once

#include <juce_events/juce_events.h>

#include <atomic>

// A juce::AsyncUpdater that the host's audio paths (its automation, a block
// with its MIDI) may trigger too. Posting a message waits for the message
// queue's lock and allocates once the queue has been emptied, so inside an
// AudioScope the update is only marked due, and the owner's poll on the
// message thread (the editor's timer, which is what such updates are for)
// makes it with deliverIfDue. Elsewhere it posts as AsyncUpdater does.
class AudioSafeUpdater : public juce::AsyncUpdater
{
public:
    // For its lifetime, updates triggered on this thread are marked due, not
    // posted. Scopes nest.
    class AudioScope
    {
    public:
        AudioScope() noexcept;
        ~AudioScope();
        AudioScope(const AudioScope&) = delete;
        AudioScope& operator=(const AudioScope&) = delete;
    };

    // Whether this thread is inside an AudioScope.
    static bool isInAudioScope() noexcept;

    // handleAsyncUpdate later on the message thread: posted, or marked due.
    void triggerUpdate();

    // On the message thread: makes an update marked due now. True if there was one.
    bool deliverIfDue();

private:
    std::atomic<bool> due { false };
};
