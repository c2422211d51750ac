#pragma once

// A processor that can say its latency on any thread. JUCE keeps the latency
// a processor reports in a plain int that is written on the message thread,
// later than the change that caused it; a host's wrapper that must answer at
// once (the latency in force when a resume returns) asks here instead.
class LatencySource
{
public:
    virtual ~LatencySource() = default;

    // The delay, in samples, that the settings in force give the signal.
    virtual int getLatencyInForce() const = 0;
};
