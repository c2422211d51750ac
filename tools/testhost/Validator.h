#pragma once

#include "PluginLibrary.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
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
    };

    Validator(PluginLibrary& library, std::ostream& out, Options options);

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

    PluginLibrary& library;
    std::ostream& out;
    Options options;
    int passed = 0;
    int failed = 0;
};
