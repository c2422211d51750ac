#pragma once

#include <atomic>

// Measures the spacing of taps: any thread raises the trigger, the audio thread
// ticks once per sample and turns the last up to four intervals into a mean
// time in seconds (ticks divided by the scale). A pause of two intervals ends a
// series; the next tap starts a new one.
struct IntervalAverager
{
    IntervalAverager() = default;
    IntervalAverager(const IntervalAverager&) = delete;
    IntervalAverager& operator=(const IntervalAverager&) = delete;

    // Zeroes everything, sets the scale (ticks per second) and clears the trigger.
    void reset(float newScale);

    // Raises the trigger; safe from any thread. The next tick consumes it.
    void raiseTrigger() { trigger.store(1); }

    // Once per sample, on the thread that processes.
    void tick();
    // The same as numSamples ticks in a row, at the cost of one: a trigger
    // raised meanwhile by another thread waits for the next call instead of
    // landing inside the block (the engine's owner raises its triggers
    // between engine calls, so none arrive in the middle of one).
    void advance(int numSamples);

    // Whether a new average waits; consume clears the flag. The flag stays set
    // until someone consumes it, whatever happens to the series meanwhile.
    bool takeNewValue(bool consume);

    float getAverage() const { return average; }

    // Forgets the intervals of the current series; the average and its flag stay.
    void endSeries();

    int counter = 0;
    int lastInterval = 0;
    int writeSlot = 0;
    int intervalCount = 0;
    bool running = false;
    bool newValue = false;
    float average = 0.0f;
    float scale = 44100.0f;
    double intervals[4] = { 0.0, 0.0, 0.0, 0.0 };
    std::atomic<int> trigger { 0 };
};
