#pragma once

#include <atomic>

// The MIDI note and channel that retrigger one modulator, with a learn mode.
// Lock-free: the audio thread, parameter changes and the editor may touch one
// record at the same time.
class RetriggerMidiNote
{
public:
    explicit RetriggerMidiNote (int note = 0, int channel = 0);

    void setNote (int n);
    void setChannel (int c);
    int getNote() const noexcept { return note.load(); }
    int getChannel() const noexcept { return channel.load(); }

    bool matchesNote (int n) const noexcept { return note.load() == n; }
    // Channel 0 stands for every channel.
    bool matchesChannel (int c) const noexcept;

    void setLearning (bool on);
    bool isLearning() const noexcept { return learning.load() != 0; }
    void learnNote (int n);
    // True once per newly learned note.
    bool takeLearned();

private:
    std::atomic<int> note { 0 };
    std::atomic<int> channel { 0 };
    std::atomic<int> learning { 0 };
    std::atomic<int> learned { 0 };
};
