#pragma once

#include <algorithm>
#include <vector>

// What the processing times of a run of blocks come to, in percent: the share
// of one core (processing time over audio time), and the 99th-percentile and
// the very slowest block against the block's duration.
struct BlockTimes
{
    double corePercent;
    double slowestPercentile;
    double slowest;

    static BlockTimes of(std::vector<double> seconds, double blockSeconds)
    {
        if (seconds.empty())
            return { 0.0, 0.0, 0.0 };
        double busy = 0.0;
        for (double t : seconds)
            busy += t;
        std::sort(seconds.begin(), seconds.end());
        const double percentile = seconds[std::min(seconds.size() - 1, (size_t) ((double) seconds.size() * 0.99))];
        return { 100.0 * busy / ((double) seconds.size() * blockSeconds), 100.0 * percentile / blockSeconds,
                 100.0 * seconds.back() / blockSeconds };
    }
};
