#pragma once

#include <string>
#include <vector>

// A tiny reader and writer of RIFF WAVE files: reads 16-, 24- and 32-bit
// integer and 32-bit float files of any channel count, writes 32-bit float
// or 16-bit integer. Samples are held as floats, one vector per channel.
struct WavFile
{
    double sampleRate = 44100.0;
    std::vector<std::vector<float>> channels;

    size_t numFrames() const { return channels.empty() ? 0 : channels.front().size(); }

    // False with a reason when the file is missing or not a WAVE file we read.
    bool read(const std::string& path, std::string& error);

    // Written through a temporary file that replaces the target only when
    // complete. bitsPerSample is 32 (float) or 16 (integer, clipped).
    bool write(const std::string& path, int bitsPerSample, std::string& error) const;
};
