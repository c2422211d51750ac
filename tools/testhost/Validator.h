#pragma once

#include "PluginLibrary.h"

class PluginInstance;

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

// The host's validation suite: what established plug-in validators put a
// plug-in through (lifecycle, every sample rate and block size, hostile
// parameter values from several threads while audio runs, bad input, state
// round trips and broken state), each check reported as passed or failed.
class Validator
{
public:
    struct Options
    {
        uint32_t seed = 1;
        bool quick = false; // fewer rates, shorter runs
        bool withEditor = true; // when a display is there
        std::string only; // run only the checks whose name holds this text
        int watchdogSeconds = 120; // a check that takes longer is taken for a deadlock
        // A parameter value that changes the latency (a look-ahead limiter
        // switched on, say), for the latency checks; index -1 for none.
        int latencySwitchIndex = -1;
        float latencySwitchValue = 1.0f;
    };

    Validator(PluginLibrary& library, std::ostream& out, Options options);
    ~Validator();

    // Runs every check; returns the number that failed.
    int run();

    int getPassed() const { return passed; }
    int getFailed() const { return failed; }

private:
    // A check's body returns an empty text when it passed, else the reason.
    void check(const std::string& name, const std::function<std::string()>& body);

    std::string checkVersionRefusal();
    std::string checkRecord();
    std::string checkIdentityTexts();
    std::string checkOpenClose();
    std::string checkSeveralInstances();
    std::string checkSampleRate(double rate);
    std::string checkLargerBlocks();
    std::string checkParametersUnderLoad();
    std::string checkParameterTexts();
    std::string checkPrograms();
    std::string checkMidiEvents();
    std::string checkNonFiniteInput();
    std::string checkChunkRoundTrip();
    std::string checkBrokenChunks();
    std::string checkChunkWhileProcessing();
    std::string checkEditor();
    std::string checkReload();

    std::string checkEntryPoints();
    std::string checkNoThreadLeft();
    std::string checkEditorCallbackThreads();
    std::string checkAutomationOnlyForUserChanges();
    std::string checkLatencyChanges();
    std::string checkLatencyMeasured();
    std::string checkLockingHost();
    std::string checkPresetChunk();
    std::string checkJunkRefused();
    std::string checkChunkFromTwoThreads();
    std::string checkProcessWithoutResume();
    std::string checkZeroSampleBlocks();
    std::string checkRateChangeWithoutSuspend();
    std::string checkDispatcherFromAudioThread();
    std::string checkEveryOutputWritten();
    std::string checkInPlace();
    std::string checkInstancesAlike();
    std::string checkParameterRoundTrip();
    std::string checkAccumulatingProcess();
    std::string checkFlushOnAudioThread();
    std::string checkNoCallsFromOwnThreads();
    std::string checkNoNoticesOffTheGuiThread();

    class Watchdog;

    // The latency switch's value now, and the switch set on or to off.
    float latencySwitchValue(PluginInstance& plugin) const;
    void setLatencySwitch(PluginInstance& plugin, bool on, float off) const;

    PluginLibrary& library;
    std::ostream& out;
    Options options;
    std::unique_ptr<Watchdog> watchdog;
    int passed = 0;
    int failed = 0;
};
