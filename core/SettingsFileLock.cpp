#include "core/SettingsFileLock.h"

#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace
{
constexpr auto kRetryInterval = std::chrono::milliseconds(5);
} // namespace

juce::File SettingsFileLock::lockFileFor(const juce::File& settingsFile)
{
    return settingsFile.getSiblingFile(settingsFile.getFileName() + ".lock");
}

SettingsFileLock::SettingsFileLock(const juce::File& settingsFile, int timeoutMs)
{
    const auto lockFile = lockFileFor(settingsFile);
    settingsFile.getParentDirectory().createDirectory();
    descriptor = ::open(lockFile.getFullPathName().toRawUTF8(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (descriptor < 0)
        return;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;)
    {
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
        {
            held = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            return;
        if (std::chrono::steady_clock::now() >= deadline)
            return;
        std::this_thread::sleep_for(kRetryInterval);
    }
}

SettingsFileLock::~SettingsFileLock()
{
    if (descriptor < 0)
        return;
    if (held)
        ::flock(descriptor, LOCK_UN);
    ::close(descriptor);
}
