#pragma once

#include <juce_events/juce_events.h>
#include <atomic>

class Parameter;

// A lock the user switches in the editor: while it is on, applying a preset
// leaves the parameters it covers unchanged. Readable from any thread; its
// listeners hear of a toggle on the message thread.
class ParameterPadlock : public juce::AsyncUpdater
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void padlockChanged(ParameterPadlock* padlock) = 0;
    };

    ParameterPadlock() = default;
    ~ParameterPadlock() override;

    void handleAsyncUpdate() override;
    virtual bool covers(const Parameter* p) const = 0;
    virtual bool covers(int id) const = 0;

    void addListener(Listener* l);
    void removeListener(Listener* l);

    bool isLocked() const;
    bool isParameterLocked(int id) const;
    void toggle();

private:
    juce::ListenerList<Listener> listeners;
    std::atomic<int> state { 0 };

    JUCE_DECLARE_NON_COPYABLE(ParameterPadlock)
};
