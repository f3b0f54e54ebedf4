// The rule that turns the three selector choices into the target format record.

#include <gtest/gtest.h>

#include <string>

#include "convert/target_format.h"

namespace quorvant {
namespace {

// Record order: wFormatTag, nChannels, nSamplesPerSec, nAvgBytesPerSec, nBlockAlign, wBitsPerSample.
WAVEFORMATEX Record(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t avg, uint16_t align, uint16_t bits)
{
    return WAVEFORMATEX{tag, channels, rate, avg, align, bits, 0};
}

TEST(BuildTargetFormat, Examples)
{
    EXPECT_EQ(BuildTargetFormat(kDefaultBitIndex, RateChoices[kDefaultRateIndex], ChannelChoices[kDefaultChannelIndex]),
              Record(1, 2, 44100, 176400, 4, 16));
    EXPECT_EQ(BuildTargetFormat(1, "48000", "mono"), Record(3, 1, 48000, 192000, 4, 32));
    EXPECT_EQ(BuildTargetFormat(4, "22050", "mono"), Record(1, 1, 22050, 22050, 1, 8));
}

TEST(BuildTargetFormat, DefaultsAreSixteenBitStereo44100)
{
    EXPECT_STREQ(BitChoices[kDefaultBitIndex], "16");
    EXPECT_STREQ(RateChoices[kDefaultRateIndex], "44100");
    EXPECT_STREQ(ChannelChoices[kDefaultChannelIndex], "stereo");
}

TEST(BuildTargetFormat, WidthByPosition)
{
    struct Row {
        int index;
        uint16_t tag, bits;
    };
    const Row rows[] = {{0, 1, 32}, {1, 3, 32}, {2, 1, 24}, {3, 1, 16}, {4, 1, 8},
                        // No selection, or any other position: 16-bit PCM.
                        {-1, 1, 16}, {5, 1, 16}, {100, 1, 16}, {-1000, 1, 16}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.index);
        const WAVEFORMATEX f = BuildTargetFormat(r.index, "44100", "stereo");
        EXPECT_EQ(f.wFormatTag, r.tag);
        EXPECT_EQ(f.wBitsPerSample, r.bits);
        EXPECT_EQ(f.nBlockAlign, r.bits / 8 * 2);
        EXPECT_EQ(f.nAvgBytesPerSec, uint32_t(r.bits / 8 * 2) * 44100u);
    }
}

TEST(BuildTargetFormat, TwoChannelsOnlyForExactlyStereo)
{
    for (const char* text : {"Stereo", "STEREO", "stereo ", " stereo", "", "mono", "stere"}) {
        SCOPED_TRACE(text);
        const WAVEFORMATEX f = BuildTargetFormat(3, "44100", text);
        EXPECT_EQ(f.nChannels, 1);
        EXPECT_EQ(f.nBlockAlign, 2);
        EXPECT_EQ(f.nAvgBytesPerSec, 88200u);
    }
    EXPECT_EQ(BuildTargetFormat(3, "44100", "stereo").nChannels, 2);
}

TEST(BuildTargetFormat, EveryChoiceGivesAConsistentRecord)
{
    for (int width = 0; width < int(BitChoices.size()); ++width) {
        for (const char* rate : RateChoices) {
            for (const char* channels : ChannelChoices) {
                SCOPED_TRACE(testing::Message() << BitChoices[width] << " " << rate << " " << channels);
                const WAVEFORMATEX f = BuildTargetFormat(width, rate, channels);
                const std::string widthText = BitChoices[width];
                const uint16_t bits = widthText.starts_with("32") ? 32 : uint16_t(std::stoi(widthText));
                const uint16_t count = std::string(channels) == "stereo" ? 2 : 1;
                EXPECT_EQ(f.wBitsPerSample, bits);
                EXPECT_EQ(f.wFormatTag, widthText == "32(float)" ? 3 : 1);
                EXPECT_EQ(f.nChannels, count);
                EXPECT_EQ(f.nSamplesPerSec, std::stoul(rate));
                EXPECT_EQ(f.nBlockAlign, bits / 8 * count);
                EXPECT_EQ(f.nAvgBytesPerSec, uint32_t(f.nBlockAlign) * f.nSamplesPerSec);
            }
        }
    }
}

}  // namespace
}  // namespace quorvant
