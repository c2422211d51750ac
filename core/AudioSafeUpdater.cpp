#include "core/AudioSafeUpdater.h"

namespace
{
thread_local int audioScopeDepth = 0;
} // namespace

AudioSafeUpdater::AudioScope::AudioScope() noexcept
{
    ++audioScopeDepth;
}

AudioSafeUpdater::AudioScope::~AudioScope()
{
    --audioScopeDepth;
}

bool AudioSafeUpdater::isInAudioScope() noexcept
{
    return audioScopeDepth > 0;
}

void AudioSafeUpdater::triggerUpdate()
{
    if (isInAudioScope())
        due.store(true);
    else
        triggerAsyncUpdate();
}

bool AudioSafeUpdater::deliverIfDue()
{
    // Read before the exchange: most polls find nothing, and a read leaves
    // the flag's cache line where the audio thread has it.
    if (! due.load() || ! due.exchange(false))
        return false;
    handleAsyncUpdate();
    return true;
}
