// The one-pass conversion must give exactly the bytes of the staged one, for
// every shape the selectors and the loader can produce.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "convert/convert_samples.h"
#include "convert/target_format.h"

namespace quorvant {
namespace {

struct Shape {
    uint16_t bits;
    uint32_t rate;
    uint16_t channels;
};

InputBlock MakeBlock(const std::vector<uint8_t>& bytes)
{
    InputBlock b;
    b.InputData = ByteArray::Allocate(bytes.size());
    if (!bytes.empty())
        std::memcpy(b.InputData.data(), bytes.data(), bytes.size());
    b.InputSize = uint32_t(bytes.size());
    return b;
}

// Samples biased toward the values where the rules saturate or round.
std::vector<uint8_t> RandomSamples(std::mt19937& rng, std::size_t size)
{
    static const uint8_t edges[] = {0x00, 0x01, 0x7F, 0x80, 0x81, 0xFE, 0xFF};
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes)
        b = (rng() % 4 == 0) ? edges[rng() % std::size(edges)] : uint8_t(rng());
    return bytes;
}

void ExpectSame(const Shape& s, const WAVEFORMATEX& t, const InputBlock& input)
{
    WorkBlock staged, fused;
    bool stagedFailed = false, fusedFailed = false;
    try {
        ConvertSamplesStaged(s.bits, s.rate, s.channels, t.wBitsPerSample, t.nSamplesPerSec, t.nChannels, input,
                             staged);
    } catch (const ConversionError&) {
        stagedFailed = true;
    }
    try {
        ConvertSamples(s.bits, s.rate, s.channels, t.wBitsPerSample, t.nSamplesPerSec, t.nChannels, input, fused);
    } catch (const ConversionError&) {
        fusedFailed = true;
    }
    const auto where = ::testing::Message() << s.bits << "bit " << s.rate << "Hz " << s.channels << "ch, "
                                            << input.InputSize << " bytes -> " << t.wBitsPerSample << "bit "
                                            << t.nSamplesPerSec << "Hz " << t.nChannels << "ch";
    ASSERT_EQ(stagedFailed, fusedFailed) << where;
    if (stagedFailed)
        return;
    ASSERT_EQ(staged.WorkSize, fused.WorkSize) << where;
    ASSERT_FALSE(fused.WorkData.isNull()) << where;
    ASSERT_EQ(0, std::memcmp(staged.WorkData.data(), fused.WorkData.data(), staged.WorkSize)) << where;
}

TEST(FusedConversion, EqualsStagedForRandomBlocksAndEveryTarget)
{
    std::mt19937 rng(20261211);
    const uint16_t widths[] = {8, 16, 24, 32, 12, 4};
    const uint32_t sourceRates[] = {8000, 11025, 22050, 44100, 48000, 96000, 192000, 7999, 12345, 44101};
    const uint16_t channels[] = {1, 2, 6};
    for (int round = 0; round < 5000; ++round) {
        Shape s{widths[rng() % std::size(widths)], sourceRates[rng() % std::size(sourceRates)],
                channels[rng() % std::size(channels)]};
        // Sizes with partial samples and frames, and empty blocks.
        std::size_t size = (round % 50 == 0) ? 0 : rng() % 700;
        const InputBlock input = MakeBlock(RandomSamples(rng, size));
        for (int w = 0; w < int(BitChoices.size()); ++w)
            for (const char* rate : RateChoices)
                for (const char* ch : ChannelChoices) {
                    // Every target for a few blocks; a random sample of them for the rest.
                    if (round > 40 && rng() % 12)
                        continue;
                    ExpectSame(s, BuildTargetFormat(w, rate, ch), input);
                    if (HasFatalFailure())
                        return;
                }
    }
}

TEST(FusedConversion, EqualsStagedOnLongBlocksWhereRateIndicesDrift)
{
    // Long enough that the rounded rate quotient moves indices away from the
    // exact ratio (48000 -> 44100 drops frame 480 only through rounding).
    std::mt19937 rng(7);
    const InputBlock input = MakeBlock(RandomSamples(rng, 48000 * 8 + 5));
    const Shape shapes[] = {{16, 48000, 2}, {24, 44100, 2}, {32, 96000, 1}, {8, 22050, 2}, {16, 176400, 2}};
    const WAVEFORMATEX targets[] = {BuildTargetFormat(3, "44100", "stereo"), BuildTargetFormat(4, "48000", "mono"),
                                    BuildTargetFormat(1, "192000", "stereo"), BuildTargetFormat(2, "8000", "mono"),
                                    BuildTargetFormat(0, "88200", "stereo")};
    for (const auto& s : shapes)
        for (const auto& t : targets)
            ExpectSame(s, t, input);
}

TEST(FusedConversion, EqualsStagedForTinySourceRates)
{
    // A rate of a few frames per second repeats each frame tens of thousands
    // of times: small blocks only.
    std::mt19937 rng(3);
    for (uint32_t rate : {1u, 2u, 7u})
        for (uint16_t ch : {uint16_t(1), uint16_t(2)})
            for (std::size_t size : {0u, 1u, 5u, 12u}) {
                const InputBlock input = MakeBlock(RandomSamples(rng, size));
                ExpectSame({16, rate, ch}, BuildTargetFormat(0, "8000", "mono"), input);
                ExpectSame({24, rate, ch}, BuildTargetFormat(4, "22050", "stereo"), input);
            }
}

TEST(FusedConversion, FailsWhereStagedFails)
{
    const InputBlock input = MakeBlock(std::vector<uint8_t>(64, 1));
    const WAVEFORMATEX t = BuildTargetFormat(3, "48000", "mono");
    for (const Shape& s : {Shape{0, 44100, 2}, Shape{16, 0, 2}, Shape{16, 44100, 0}}) {
        WorkBlock work;
        EXPECT_THROW(ConvertSamples(s.bits, s.rate, s.channels, t.wBitsPerSample, t.nSamplesPerSec, t.nChannels,
                                    input, work),
                     ConversionError);
    }
}

}  // namespace
}  // namespace quorvant
