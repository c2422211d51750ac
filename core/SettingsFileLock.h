#pragma once

#include <juce_core/juce_core.h>

// An exclusive lock on a settings file shared by every instance in every
// process: a lock file beside it ("Tavinor.ini.lock" for "Tavinor.ini")
// locked with flock(2), which also keeps two instances of one process apart.
// Held for the length of a read, merge and write of the file; released by
// the destructor (or by the system when the process ends). The lock file is
// left in place, as removing it would race with the next locker.
class SettingsFileLock
{
public:
    // Waits up to timeoutMs for the lock. A lock file that cannot be made
    // (a read-only folder) or a holder that never lets go leaves the lock
    // not held; the caller goes on without it rather than lose its write.
    SettingsFileLock(const juce::File& settingsFile, int timeoutMs);
    ~SettingsFileLock();

    bool isHeld() const noexcept { return held; }

    static juce::File lockFileFor(const juce::File& settingsFile);

private:
    int descriptor = -1;
    bool held = false;

    JUCE_DECLARE_NON_COPYABLE(SettingsFileLock)
};
