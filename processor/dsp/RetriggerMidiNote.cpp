#include "processor/dsp/RetriggerMidiNote.h"

#include <algorithm>

namespace
{
void casStore (std::atomic<int>& target, int value) noexcept
{
    int expected = target.load();
    while (! target.compare_exchange_weak (expected, value))
    {
    }
}
} // namespace

RetriggerMidiNote::RetriggerMidiNote (int n, int c)
{
    setNote (n);
    setChannel (c);
}

void RetriggerMidiNote::setNote (int n)
{
    casStore (note, std::clamp (n, 0, 127));
}

void RetriggerMidiNote::setChannel (int c)
{
    casStore (channel, std::clamp (c, 0, 16));
}

bool RetriggerMidiNote::matchesChannel (int c) const noexcept
{
    const int ch = channel.load();
    return ch == c || ch == 0;
}

void RetriggerMidiNote::setLearning (bool on)
{
    casStore (learning, on ? 1 : 0);
    casStore (learned, 0);
}

void RetriggerMidiNote::learnNote (int n)
{
    if (learning.load() != 1)
        return;
    const int clamped = std::clamp (n, 0, 127);
    if (note.load() == n)
        return;
    casStore (note, clamped);
    casStore (learned, 1);
}

bool RetriggerMidiNote::takeLearned()
{
    return learned.exchange (0) == 1;
}
