#include <gtest/gtest.h>
#include "processor/dsp/RetriggerMidiNote.h"

TEST (RetriggerMidiNote, ValuesAreClamped)
{
    struct Case { int note, channel, expectedNote, expectedChannel; };
    const Case cases[] = {
        { 60, 1, 60, 1 }, { -3, 20, 0, 16 }, { 200, -1, 127, 0 }, { 127, 16, 127, 16 },
    };
    for (const auto& c : cases)
    {
        RetriggerMidiNote r;
        r.setNote (c.note);
        r.setChannel (c.channel);
        EXPECT_EQ (r.getNote(), c.expectedNote);
        EXPECT_EQ (r.getChannel(), c.expectedChannel);
        RetriggerMidiNote constructed (c.note, c.channel);
        EXPECT_EQ (constructed.getNote(), c.expectedNote);
        EXPECT_EQ (constructed.getChannel(), c.expectedChannel);
    }
}

TEST (RetriggerMidiNote, ChannelZeroMatchesEveryChannel)
{
    RetriggerMidiNote any (60, 0), three (60, 3);
    for (int ch = 1; ch <= 16; ++ch)
    {
        EXPECT_TRUE (any.matchesChannel (ch));
        EXPECT_EQ (three.matchesChannel (ch), ch == 3);
    }
    EXPECT_TRUE (three.matchesNote (60));
    EXPECT_FALSE (three.matchesNote (61));
}

TEST (RetriggerMidiNote, LearnsOnlyWhileLearningAndOnlyNewNotes)
{
    RetriggerMidiNote r (60, 0);
    r.learnNote (64);
    EXPECT_EQ (r.getNote(), 60);
    EXPECT_FALSE (r.takeLearned());

    r.setLearning (true);
    r.learnNote (60);
    EXPECT_FALSE (r.takeLearned());
    r.learnNote (64);
    EXPECT_EQ (r.getNote(), 64);
    EXPECT_TRUE (r.takeLearned());
    EXPECT_FALSE (r.takeLearned());

    r.learnNote (65);
    r.setLearning (false); // switching learn clears a learned note not yet taken
    EXPECT_FALSE (r.takeLearned());
    EXPECT_EQ (r.getNote(), 65);
}
