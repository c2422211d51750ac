#include "processor/dsp/LineInputSection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr int kSamples = LineInputSection::kMaxSamples;

// Low-pass coefficients (b0, b1, b2, a1, a2) for a frequency as a fraction of the rate.
void lowPass(double fraction, double q, double (&row)[5][2], int channel)
{
    const double w = 6.283185307179586 * fraction;
    const double alpha = std::sin(w) / (2.0 * q);
    const double scale = 1.0 / (1.0 + alpha);
    row[0][channel] = row[2][channel] = (1.0 - std::cos(w)) * 0.5 * scale;
    row[1][channel] = (1.0 - std::cos(w)) * scale;
    row[3][channel] = -2.0 * std::cos(w) * scale;
    row[4][channel] = (1.0 - alpha) * scale;
}

// A section whose settings follow `variant`: the filter before, after or not
// at all, the drive on or off, a cut-off that sweeps differently per channel.
void configure(LineInputSection& s, int variant, int stretch)
{
    s.filterOn = variant % 3 != 2;
    s.filterAfter = variant % 3 == 1;
    s.driveOn = variant / 3 % 2 == 0;
    double colour[5][2];
    lowPass(0.05, 1.0, colour, 0);
    lowPass(0.05, 1.0, colour, 1);
    s.setColourCoefficients(colour);
    for (int i = 0; i < kSamples; ++i)
    {
        const double t = (double) (stretch * kSamples + i) / (2.0 * kSamples);
        lowPass(0.01 + 0.05 * (1.0 + std::sin(t + variant)), 0.7 + 0.5 * variant, s.filter.values[i], 0);
        lowPass(0.02 + 0.04 * (1.0 + std::cos(t * 1.3 + variant)), 0.7 + 0.5 * variant, s.filter.values[i], 1);
        s.preamp[i] = 2.0f + (float) variant + 0.001f * (float) i;
        s.gain[i] = 0.5f - 0.01f * (float) variant;
        s.colour[i] = 0.3f * (float) variant - 0.5f;
    }
}

std::vector<float> noise(unsigned seed, int n, float level)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> d(-level, level);
    std::vector<float> x((size_t) n);
    for (auto& v : x)
        v = d(random);
    return x;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}
} // namespace

TEST(LineInputSection, LinesSideBySideGiveWhatEachLineGivesAlone)
{
    // Sets of up to four lines in every mix of placements and drive, over
    // three stretches (so that what each line keeps carries over), side by
    // side in vectors of AVX2 and of SSE2 (one line alone in either too),
    // against each alone.
    const int sets[][4] = { { 0, 0, 0, 0 }, { 0, 1, 2, 3 }, { 4, 3, 1, 5 }, { 1, 1, 4, 4 }, { 2, 5, 0, 3 } };
    for (const auto& set : sets)
        for (int count = 1; count <= 4; ++count)
            for (const bool allowAvx2 : { true, false })
            {
                std::vector<std::unique_ptr<LineInputSection>> together, alone;
                for (int n = 0; n < count; ++n)
                {
                    together.push_back(std::make_unique<LineInputSection>());
                    alone.push_back(std::make_unique<LineInputSection>());
                }
                for (int stretch = 0; stretch < 3; ++stretch)
                {
                    std::vector<std::vector<float>> buffers[2];
                    LineInputSection* sections[4];
                    float* lefts[4];
                    float* rights[4];
                    for (int n = 0; n < count; ++n)
                    {
                        configure(*together[(size_t) n], set[n], stretch);
                        configure(*alone[(size_t) n], set[n], stretch);
                        const float level = n == 1 ? 4.0f : 0.5f;
                        buffers[0].push_back(noise((unsigned) (stretch * 8 + 2 * n), kSamples, level));
                        buffers[1].push_back(noise((unsigned) (stretch * 8 + 2 * n + 1), kSamples, level));
                    }
                    for (int n = 0; n < count; ++n)
                    {
                        sections[n] = together[(size_t) n].get();
                        lefts[n] = buffers[0][(size_t) n].data();
                        rights[n] = buffers[1][(size_t) n].data();
                    }
                    std::vector<std::vector<float>> expected[2] = { buffers[0], buffers[1] };
                    LineInputSection::runTogether(sections, lefts, rights, count, kSamples, allowAvx2);
                    for (int n = 0; n < count; ++n)
                    {
                        alone[(size_t) n]->run(expected[0][(size_t) n].data(), expected[1][(size_t) n].data(),
                                               kSamples);
                        for (int c = 0; c < 2; ++c)
                            EXPECT_TRUE(sameBits(buffers[c][(size_t) n], expected[c][(size_t) n]))
                                << "line " << n << " (variant " << set[n] << ") of " << count << ", channel " << c
                                << ", stretch " << stretch << (allowAvx2 ? "" : ", without AVX2");
                    }
                }
            }
}

TEST(LineInputSection, SectionsThatAreOffPassTheInputAndKeepTheirMemories)
{
    // Line 1 is off: its input passes unchanged, and when it comes on later
    // it continues from what it held, as a section that ran alone does.
    LineInputSection a, b, reference;
    configure(a, 0, 0);
    configure(b, 0, 0);
    configure(reference, 0, 0);
    auto inL = noise(1, kSamples, 0.5f), inR = noise(2, kSamples, 0.5f);
    auto bL = noise(3, kSamples, 0.5f), bR = noise(4, kSamples, 0.5f);
    auto refL = bL, refR = bR;
    b.run(bL.data(), bR.data(), kSamples);
    reference.run(refL.data(), refR.data(), kSamples);

    b.filterOn = b.driveOn = false;
    EXPECT_FALSE(b.isOn());
    auto passL = noise(5, kSamples, 0.5f), passR = noise(6, kSamples, 0.5f);
    const auto passedL = passL, passedR = passR;
    LineInputSection* sections[2] = { &a, &b };
    float* lefts[2] = { inL.data(), passL.data() };
    float* rights[2] = { inR.data(), passR.data() };
    LineInputSection::runTogether(sections, lefts, rights, 2, kSamples);
    EXPECT_TRUE(sameBits(passL, passedL));
    EXPECT_TRUE(sameBits(passR, passedR));

    configure(b, 0, 1);
    configure(reference, 0, 1);
    auto nextL = noise(7, kSamples, 0.5f), nextR = noise(8, kSamples, 0.5f);
    auto expectedL = nextL, expectedR = nextR;
    float* lefts2[2] = { inL.data(), nextL.data() };
    float* rights2[2] = { inR.data(), nextR.data() };
    LineInputSection::runTogether(sections, lefts2, rights2, 2, kSamples);
    reference.run(expectedL.data(), expectedR.data(), kSamples);
    EXPECT_TRUE(sameBits(nextL, expectedL));
    EXPECT_TRUE(sameBits(nextR, expectedR));
}

TEST(LineInputSection, OpenFilterAndGentleDrivePassTheBandAtItsLevel)
{
    // A low-pass far above a low tone and a drive that stays in its linear
    // part (preamp 1, gain 1, no colour) give the tone back at its level,
    // delayed by the oversampler.
    LineInputSection s;
    s.filterOn = true;
    s.driveOn = true;
    double colour[5][2] {};
    s.setColourCoefficients(colour);
    const int total = 8 * kSamples;
    std::vector<float> l((size_t) total), r((size_t) total);
    for (int i = 0; i < total; ++i)
        l[(size_t) i] = r[(size_t) i] = 0.01f * (float) std::sin(6.283185307179586 * 0.005 * i);
    for (int stretch = 0; stretch < total / kSamples; ++stretch)
    {
        for (int i = 0; i < kSamples; ++i)
        {
            lowPass(0.2, 0.707, s.filter.values[i], 0);
            lowPass(0.2, 0.707, s.filter.values[i], 1);
            s.preamp[i] = 1.0f;
            s.gain[i] = 1.0f;
            s.colour[i] = 0.0f;
        }
        s.run(l.data() + stretch * kSamples, r.data() + stretch * kSamples, kSamples);
    }
    float peak = 0.0f;
    for (int i = total / 2; i < total; ++i)
    {
        peak = std::max(peak, std::fabs(l[(size_t) i]));
        EXPECT_EQ(l[(size_t) i], r[(size_t) i]);
    }
    EXPECT_NEAR(peak, 0.01f, 0.0005f);
}

TEST(LineInputSection, SilenceInGivesExactZerosOut)
{
    // The allpass sections, the filters and the saturation add nothing of
    // their own: silence stays exact zeros, in every mix of placements and
    // drive, alone and side by side, with and without the vector path.
    for (const bool allowAvx2 : { true, false })
        for (const int count : { 1, 4 })
        {
            std::vector<std::unique_ptr<LineInputSection>> sections;
            LineInputSection* pointers[4];
            std::vector<std::vector<float>> lefts, rights;
            float* l[4];
            float* r[4];
            for (int n = 0; n < count; ++n)
            {
                sections.push_back(std::make_unique<LineInputSection>());
                pointers[n] = sections.back().get();
                lefts.emplace_back(kSamples, 0.0f);
                rights.emplace_back(kSamples, 0.0f);
                l[n] = lefts.back().data();
                r[n] = rights.back().data();
            }
            for (int stretch = 0; stretch < 3; ++stretch)
            {
                for (int n = 0; n < count; ++n)
                {
                    configure(*sections[(size_t) n], (n + stretch) % 6, stretch);
                    std::fill(lefts[(size_t) n].begin(), lefts[(size_t) n].end(), 0.0f);
                    std::fill(rights[(size_t) n].begin(), rights[(size_t) n].end(), 0.0f);
                }
                LineInputSection::runTogether(pointers, l, r, count, kSamples, allowAvx2);
                for (int n = 0; n < count; ++n)
                    for (int i = 0; i < kSamples; ++i)
                    {
                        ASSERT_EQ(l[n][i], 0.0f) << "line " << n << " stretch " << stretch << " at " << i;
                        ASSERT_EQ(r[n][i], 0.0f) << "line " << n << " stretch " << stretch << " at " << i;
                    }
            }
        }
}
