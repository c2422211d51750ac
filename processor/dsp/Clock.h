#pragma once

#include <juce_events/juce_events.h>
#include <atomic>

// A tempo-synced two-state clock, advanced one sample at a time, that reports
// its state changes (edges) at exact samples. The processor keeps one per
// modulator and resynchronises the LFO phase at its edges.
class Clock : public juce::AsyncUpdater
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void clockRunningChanged (Clock* clock) = 0;
        virtual void clockEdge (Clock* clock) = 0;
    };

    Clock() = default;
    ~Clock() override;

    void setRate (double cyclesPerBeat);
    void setSampleRate (double sampleRate);
    void setTempo (double bpm);

    void start (double ppqPosition);
    void stop();
    void retrigger();

    // One sample; true when an edge happens at this sample.
    bool process();

    bool isRunning() const noexcept { return running; }
    bool isInFirstState() const noexcept { return state == 0; }
    bool isInSecondState() const noexcept { return state == 1; }
    bool isNearerCycleStart() const noexcept;
    double getPhase() const noexcept;

    bool isRestart() const noexcept { return restart; }
    bool hadEdge() const noexcept { return edge; }
    double getPosition() const noexcept { return position; }
    double getPositionAtLastEdge() const noexcept { return positionAtEdge; }
    double getRate() const noexcept { return rate; }
    double getTempo() const noexcept { return tempo; }
    double getSampleRate() const noexcept { return sampleRate; }
    double getWidth() const noexcept { return width; }

    void addListener (Listener* l);
    void removeListener (Listener* l);

    void handleAsyncUpdate() override;

private:
    void recompute() noexcept;
    void notifyMessageThread() noexcept;

    double position = 0.0;
    double sampleRate = 44100.0;
    double tempo = 0.0;
    double rate = 4.0;
    double width = 0.5;
    double increment = 0.0;

    int countdown = 0;
    int state = -1;
    int nextState = 0;

    bool restart = false;
    bool edge = false;
    bool running = false;
    bool dirty = true;

    double positionAtEdge = 0.0;

    std::atomic<int> runningChanged { 0 };
    std::atomic<int> edgeHappened { 0 };

    juce::ListenerList<Listener> listeners;
    // Posting to the message queue takes its lock, so the audio thread only
    // does it when somebody is actually listening.
    std::atomic<int> numListeners { 0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Clock)
};
