#pragma once

#include <string>
#include <vector>

// One of the benchmark's settings (BenchSettings.h) as a host can hand it to
// the plug-in: the parameter values, the real-time quality and the tempo that
// its configuration gives a freshly prepared engine, in the order given.
struct RecordedSetting
{
    struct Value
    {
        int id;              // the plug-in's parameter id (lines at 1000, 2000, ...)
        float normalised;
    };

    std::string key;
    std::string description;
    std::vector<Value> values;
    int quality = -1;        // the engine's quality choice; -1 when left alone
    double tempo = 0.0;      // 0 when left alone

    // Every setting of BenchSettings.h, in its order.
    static std::vector<RecordedSetting> recordAll();
};
