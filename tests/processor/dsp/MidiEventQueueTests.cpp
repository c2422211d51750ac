#include <gtest/gtest.h>
#include "processor/dsp/MidiEventQueue.h"

#include <utility>
#include <vector>

namespace
{
using Hits = std::vector<std::pair<int, int>>; // (sample asked, note)

Hits walk (MidiEventQueue& q, int numSamples)
{
    Hits hits;
    juce::MidiMessage m;
    for (int i = 0; i < numSamples; ++i)
        while (q.getEventAt (m, i))
            hits.emplace_back (i, m.getNoteNumber());
    return hits;
}

juce::MidiBuffer notesAt (std::initializer_list<std::pair<int, int>> events)
{
    juce::MidiBuffer b;
    for (const auto& e : events)
        b.addEvent (juce::MidiMessage::noteOn (1, e.second, (juce::uint8) 100), e.first);
    return b;
}
} // namespace

TEST (MidiEventQueue, EventsComeAtTheirSamples)
{
    MidiEventQueue q;
    q.addEvents (notesAt ({ { 0, 60 }, { 5, 61 }, { 5, 62 }, { 7, 63 } }));
    EXPECT_EQ (walk (q, 8), (Hits { { 0, 60 }, { 5, 61 }, { 5, 62 }, { 7, 63 } }));
    EXPECT_FALSE (q.hasEvents());
}

TEST (MidiEventQueue, EventsBeyondTheBlockCarryOver)
{
    MidiEventQueue q;
    q.addEvents (notesAt ({ { 3, 60 }, { 8, 61 }, { 19, 62 } }));
    EXPECT_EQ (walk (q, 8), (Hits { { 3, 60 } }));
    q.advance (8);
    q.addEvents (notesAt ({ { 1, 70 } }));
    EXPECT_EQ (walk (q, 8), (Hits { { 0, 61 }, { 1, 70 } }));
    q.advance (8);
    EXPECT_EQ (walk (q, 8), (Hits { { 3, 62 } }));
    q.advance (8);
    EXPECT_EQ (walk (q, 8), Hits {});
}

TEST (MidiEventQueue, AStampAlreadyPassedDoesNotStallTheQueue)
{
    MidiEventQueue q;
    q.addEvents (notesAt ({ { -4, 60 }, { 2, 61 }, { 6, 62 } }));
    EXPECT_EQ (walk (q, 8), (Hits { { 0, 60 }, { 2, 61 }, { 6, 62 } }));

    // A walk that starts late still delivers everything, in order.
    MidiEventQueue late;
    late.addEvents (notesAt ({ { 1, 60 }, { 2, 61 }, { 6, 62 } }));
    juce::MidiMessage m;
    EXPECT_TRUE (late.getEventAt (m, 4));
    EXPECT_EQ (m.getNoteNumber(), 60);
    EXPECT_TRUE (late.getEventAt (m, 4));
    EXPECT_EQ (m.getNoteNumber(), 61);
    EXPECT_FALSE (late.getEventAt (m, 4));
    EXPECT_TRUE (late.getEventAt (m, 6));
    EXPECT_EQ (m.getNoteNumber(), 62);
}

TEST (MidiEventQueue, ResetForgetsEverything)
{
    MidiEventQueue q;
    q.addEvents (notesAt ({ { 20, 60 } }));
    q.advance (8);
    q.reset();
    q.addEvents ({});
    EXPECT_EQ (walk (q, 64), Hits {});
}
