#include "WavFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace
{
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;

uint32_t readU32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint16_t readU16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

void putU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

void putU16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void putTag(std::vector<uint8_t>& out, const char* tag)
{
    out.insert(out.end(), tag, tag + 4);
}
} // namespace

bool WavFile::read(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (! in)
    {
        error = "cannot open " + path;
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
    {
        error = path + " is not a RIFF WAVE file";
        return false;
    }

    uint16_t format = 0, numChannels = 0, bits = 0;
    uint32_t rate = 0;
    const uint8_t* data = nullptr;
    size_t dataSize = 0;

    size_t pos = 12;
    while (pos + 8 <= bytes.size())
    {
        const uint8_t* chunk = bytes.data() + pos;
        const size_t size = readU32(chunk + 4);
        const size_t available = std::min(size, bytes.size() - pos - 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0 && available >= 16)
        {
            format = readU16(chunk + 8);
            numChannels = readU16(chunk + 10);
            rate = readU32(chunk + 12);
            bits = readU16(chunk + 22);
            if (format == kFormatExtensible && available >= 26)
                format = readU16(chunk + 8 + 24);
        }
        else if (std::memcmp(chunk, "data", 4) == 0)
        {
            data = chunk + 8;
            dataSize = available;
        }
        pos += 8 + size + (size & 1);
    }

    if (data == nullptr || numChannels == 0 || rate == 0)
    {
        error = path + " has no fmt or data chunk";
        return false;
    }
    const bool isFloat = format == kFormatFloat && bits == 32;
    const bool isPcm = format == kFormatPcm && (bits == 16 || bits == 24 || bits == 32);
    if (! isFloat && ! isPcm)
    {
        error = path + ": only 16/24/32-bit integer and 32-bit float samples are read";
        return false;
    }

    const size_t bytesPerSample = bits / 8;
    const size_t frames = dataSize / (bytesPerSample * numChannels);
    sampleRate = rate;
    channels.assign(numChannels, std::vector<float>(frames));
    for (size_t f = 0; f < frames; ++f)
        for (size_t ch = 0; ch < numChannels; ++ch)
        {
            const uint8_t* p = data + (f * numChannels + ch) * bytesPerSample;
            float v = 0.0f;
            if (isFloat)
            {
                const uint32_t u = readU32(p);
                std::memcpy(&v, &u, sizeof(v));
            }
            else if (bits == 16)
                v = float(int16_t(readU16(p))) / 32768.0f;
            else if (bits == 24)
                v = float(int32_t((uint32_t(p[0]) << 8) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 24)) >> 8)
                    / 8388608.0f;
            else
                v = float(double(int32_t(readU32(p))) / 2147483648.0);
            channels[ch][f] = v;
        }
    return true;
}

bool WavFile::write(const std::string& path, int bitsPerSample, std::string& error) const
{
    if (bitsPerSample != 16 && bitsPerSample != 32)
    {
        error = "samples are written as 16 or 32 bits";
        return false;
    }
    const uint16_t numChannels = uint16_t(std::max<size_t>(1, channels.size()));
    const size_t frames = numFrames();
    const uint32_t bytesPerSample = uint32_t(bitsPerSample / 8);
    const uint32_t dataSize = uint32_t(frames * numChannels * bytesPerSample);

    std::vector<uint8_t> out;
    out.reserve(44 + dataSize);
    putTag(out, "RIFF");
    putU32(out, 36 + dataSize);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    putU32(out, 16);
    putU16(out, bitsPerSample == 32 ? kFormatFloat : kFormatPcm);
    putU16(out, numChannels);
    putU32(out, uint32_t(std::lround(sampleRate)));
    putU32(out, uint32_t(std::lround(sampleRate)) * numChannels * bytesPerSample);
    putU16(out, uint16_t(numChannels * bytesPerSample));
    putU16(out, uint16_t(bitsPerSample));
    putTag(out, "data");
    putU32(out, dataSize);
    for (size_t f = 0; f < frames; ++f)
        for (size_t ch = 0; ch < numChannels; ++ch)
        {
            const float v = ch < channels.size() ? channels[ch][f] : 0.0f;
            if (bitsPerSample == 32)
            {
                uint32_t u;
                std::memcpy(&u, &v, sizeof(u));
                putU32(out, u);
            }
            else
            {
                const float clipped = std::isfinite(v) ? std::max(-1.0f, std::min(1.0f, v)) : 0.0f;
                putU16(out, uint16_t(int16_t(std::lround(clipped * 32767.0f))));
            }
        }

    const std::string temporary = path + ".part";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
        if (! file)
        {
            error = "cannot write " + temporary;
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
    {
        error = "cannot replace " + path;
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
