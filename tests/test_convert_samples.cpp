// The whole conversion run: stage order, result sizes, the untouched input
// block, and the runs that must fail.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "convert/convert_samples.h"
#include "convert/exact_arith.h"

namespace quorvant {
namespace {

using Bytes = std::vector<uint8_t>;

InputBlock MakeInput(const Bytes& bytes)
{
    InputBlock input;
    input.InputSize = uint32_t(bytes.size());
    input.InputData = ByteArray::Allocate(bytes.size());
    if (!bytes.empty())
        std::memcpy(input.InputData.data(), bytes.data(), bytes.size());
    return input;
}

Bytes WorkBytes(const WorkBlock& work)
{
    return Bytes(work.WorkData.data(), work.WorkData.data() + work.WorkSize);
}

struct Format {
    uint16_t bits;
    uint32_t rate;
    uint16_t channels;
};

Bytes Convert(const Bytes& in, Format from, Format to)
{
    const InputBlock input = MakeInput(in);
    WorkBlock work;
    ConvertSamples(from.bits, from.rate, from.channels, to.bits, to.rate, to.channels, input, work);
    EXPECT_FALSE(work.WorkData.isNull());
    return WorkBytes(work);
}

Bytes RandomBytes(std::size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes b(n);
    for (uint8_t& x : b)
        x = uint8_t(rng());
    return b;
}

int64_t SignedAt(const Bytes& b, std::size_t at, unsigned w)
{
    uint64_t v = 0;
    for (unsigned i = 0; i < w; ++i)
        v |= uint64_t(b[at + i]) << (8 * i);
    return (v >> (8 * w - 1)) ? int64_t(v) - (int64_t(1) << (8 * w)) : int64_t(v);
}

TEST(ConvertSamplesTest, EqualFormatsGiveAByteForByteCopy)
{
    const Format formats[] = {{16, 44100, 2}, {8, 8000, 1}, {24, 96000, 2}, {32, 192000, 1}, {12, 44100, 6}};
    for (const Format& f : formats)
        for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(1001), std::size_t(4099)}) {
            const Bytes in = RandomBytes(size, uint32_t(size) + f.bits);
            EXPECT_EQ(Convert(in, f, f), in) << f.bits << "-bit, " << f.rate << " Hz, " << f.channels << " ch, "
                                             << size << " bytes";
        }
}

TEST(ConvertSamplesTest, WideningAPartialSampleLeavesAZeroByte)
{
    // 1001 bytes of 16-bit samples: 500 samples, one byte left over.
    const Bytes in = RandomBytes(1001, 1);
    const Bytes out = Convert(in, {16, 44100, 1}, {24, 44100, 1});
    ASSERT_EQ(out.size(), 1501u);
    for (std::size_t i = 0; i < 500; ++i)
        ASSERT_EQ(SignedAt(out, 3 * i, 3), SignedAt(in, 2 * i, 2) * 256) << "sample " << i;
    EXPECT_EQ(out[1500], 0);
}

TEST(ConvertSamplesTest, PartialSampleBytesOfTheWidthStageAreZero)
{
    struct Case {
        uint16_t s, t;
        uint32_t in, out, converted;  // byte counts: input, result, written by the stage
    };
    const Case cases[] = {
        {16, 24, 1001, 1501, 1500}, {16, 32, 1001, 2002, 2000}, {24, 32, 3002, 4002, 4000},
        {32, 24, 4003, 3002, 3000}, {32, 16, 4003, 2001, 2000}, {24, 16, 3002, 2001, 2000},
        {24, 8, 3001, 1000, 1000},  {32, 8, 4003, 1000, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.s << " -> " << c.t << ", " << c.in << " bytes");
        Bytes in = RandomBytes(c.in, c.in);
        for (uint8_t& b : in)
            b |= 0x11;
        const Bytes out = Convert(in, {c.s, 44100, 1}, {c.t, 44100, 1});
        ASSERT_EQ(out.size(), c.out);
        for (std::size_t i = c.converted; i < out.size(); ++i)
            EXPECT_EQ(out[i], 0) << "byte " << i;
    }
}

TEST(ConvertSamplesTest, NarrowingTwentyFourToEightBits)
{
    const Bytes in = RandomBytes(3000, 2);
    const Bytes out = Convert(in, {24, 44100, 2}, {8, 44100, 2});
    ASSERT_EQ(out.size(), 1000u);
    for (std::size_t i = 0; i < 1000; ++i) {
        const uint32_t u24 = in[3 * i] | (in[3 * i + 1] << 8) | (in[3 * i + 2] << 16);
        // High byte of the signed value, offset to the 127 zero level, held at 0.
        const int64_t expected = std::max<int64_t>(0, (SignedAt(in, 3 * i, 3) >> 16) + 127);
        ASSERT_EQ(out[i], expected) << "sample " << i << " = 0x" << std::hex << u24;
    }
}

TEST(ConvertSamplesTest, EmptyInputGivesAnEmptyBlock)
{
    const Format targets[] = {{16, 44100, 2}, {8, 48000, 1}, {32, 8000, 2}};
    for (const Format& to : targets) {
        const InputBlock input = MakeInput({});
        WorkBlock work;
        ConvertSamples(24, 96000, 1, to.bits, to.rate, to.channels, input, work);
        EXPECT_EQ(work.WorkSize, 0u);
        EXPECT_FALSE(work.WorkData.isNull());
    }
}

TEST(ConvertSamplesTest, StereoToMonoAfterTheRateStageLeavesAZeroByte)
{
    // 44100 → 48000 Hz leaves 191999 bytes of 16-bit stereo: 47999 frames and 3 bytes.
    Bytes in = RandomBytes(191999, 3);
    in[191996] = in[191997] = in[191998] = 0x7F;
    const Bytes out = Convert(in, {16, 48000, 2}, {16, 48000, 1});
    ASSERT_EQ(out.size(), 95999u);
    for (std::size_t i = 0; i < 47999; ++i) {
        const int64_t sum = SignedAt(in, 4 * i, 2) + SignedAt(in, 4 * i + 2, 2);
        ASSERT_EQ(SignedAt(out, 2 * i, 2), sum / 2) << "frame " << i;
    }
    EXPECT_EQ(out[95998], 0);
}

TEST(ConvertSamplesTest, RateSizesAndTrailingZeros)
{
    struct Case {
        uint32_t s, t;
        uint16_t bits, channels;
        uint32_t in, out;
    };
    const Case cases[] = {
        {44100, 22050, 16, 2, 176400, 88200},  {22050, 44100, 16, 2, 88200, 176400},
        {44100, 48000, 8, 1, 44100, 47999},    {44100, 48000, 16, 1, 88200, 95999},
        {44100, 48000, 16, 2, 176400, 191999}, {44100, 48000, 24, 2, 264600, 288000},
        {176400, 48000, 16, 2, 705600, 191999}, {44100, 96000, 16, 2, 176400, 383999},
        {44100, 32000, 16, 2, 176400, 128000}, {44100, 8000, 16, 2, 176400, 32000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.s << " -> " << c.t << ", " << c.bits << "-bit, " << c.channels
                                        << " ch, " << c.in << " bytes");
        // No zero bytes in the source, so that a zero can only be an unwritten byte.
        Bytes in = RandomBytes(c.in, c.in);
        for (uint8_t& b : in)
            b |= 1;
        const Bytes out = Convert(in, {c.bits, c.s, c.channels}, {c.bits, c.t, c.channels});
        ASSERT_EQ(out.size(), c.out);
        const std::size_t frame = std::size_t(c.bits / 8) * c.channels;
        for (std::size_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(out[i] == 0, i >= out.size() / frame * frame) << "byte " << i;
    }
}

TEST(ConvertSamplesTest, StagesRunWidthThenRateThenChannels)
{
    // 8-bit stereo at 22050 Hz to 16-bit mono at 44100 Hz: each output sample
    // is the average of the widened left and right samples of frame j / 2.
    const Bytes in = RandomBytes(2 * 500, 4);
    const Bytes out = Convert(in, {8, 22050, 2}, {16, 44100, 1});
    ASSERT_EQ(out.size(), 2000u);
    auto widen = [](uint8_t b) { return std::min<int64_t>((int64_t(b) - 127) * 256, 32767); };
    for (std::size_t j = 0; j < 1000; ++j) {
        const std::size_t k = j / 2;
        ASSERT_EQ(SignedAt(out, 2 * j, 2), (widen(in[2 * k]) + widen(in[2 * k + 1])) / 2) << "output " << j;
    }

    // 24-bit mono at 8000 Hz to 32-bit stereo at 16000 Hz.
    const Bytes in24 = RandomBytes(3 * 400, 5);
    const Bytes out32 = Convert(in24, {24, 8000, 1}, {32, 16000, 2});
    ASSERT_EQ(out32.size(), 400u * 2 * 2 * 4);
    for (std::size_t j = 0; j < 800; ++j) {
        const int64_t expected = SignedAt(in24, 3 * (j / 2), 3) * 256;
        ASSERT_EQ(SignedAt(out32, 8 * j, 4), expected) << "left " << j;
        ASSERT_EQ(SignedAt(out32, 8 * j + 4, 4), expected) << "right " << j;
    }
}

TEST(ConvertSamplesTest, RunsFromOneInputBlockAreIndependent)
{
    const Bytes original = RandomBytes(44100 * 4 / 10 + 3, 6);
    const InputBlock input = MakeInput(original);
    const Format from{16, 44100, 2};
    const Format targets[] = {{8, 22050, 1}, {32, 96000, 2}, {24, 48000, 1}, {16, 44100, 2}};

    WorkBlock work;
    for (const Format& to : targets) {
        ConvertSamples(from.bits, from.rate, from.channels, to.bits, to.rate, to.channels, input, work);
        const Bytes again = Convert(original, from, to);
        EXPECT_EQ(WorkBytes(work), again) << "to " << to.bits << "-bit, " << to.rate << " Hz, " << to.channels << " ch";
        ASSERT_EQ(input.InputSize, original.size());
        EXPECT_EQ(0, std::memcmp(input.InputData.data(), original.data(), original.size()));
    }
}

TEST(ConvertSamplesTest, ZeroSourceWidthRateOrChannelCountFails)
{
    const Bytes in = RandomBytes(400, 7);
    const Format bad[] = {{0, 44100, 2}, {16, 0, 2}, {16, 44100, 0}};
    for (const Format& from : bad) {
        const InputBlock input = MakeInput(in);
        WorkBlock work;
        EXPECT_THROW(ConvertSamples(from.bits, from.rate, from.channels, 16, 44100, 2, input, work), ConversionError)
            << from.bits << "-bit, " << from.rate << " Hz, " << from.channels << " ch";
    }
}

TEST(ConvertSamplesTest, ResultTooLargeForAWaveFileFails)
{
    // A 1 Hz source raised to a high rate: the rate block would be
    // 20 × 214748363 = 4294967260 bytes, one more than a "data" chunk can hold.
    ASSERT_EQ(uint64_t(20) * 214748363, uint64_t(kMaxDataBytes) + 1);
    {
        const InputBlock input = MakeInput(RandomBytes(20, 8));
        WorkBlock work;
        EXPECT_THROW(ConvertSamples(8, 1, 1, 8, 214748363, 1, input, work), ConversionError);
    }
    {
        const InputBlock input = MakeInput(RandomBytes(22370, 9));  // 22370 × 192000 > 2^32
        WorkBlock work;
        EXPECT_THROW(ConvertSamples(16, 1, 2, 16, 192000, 2, input, work), ConversionError);
    }
}

TEST(ConvertSamplesTest, WidthResultTooLargeFails)
{
    // The widest width ratio is 1 → 32 bits; 128 MiB would become 4 GiB.
    // (An 8 → 32 case needs an input of 1 GiB, which the run first copies.)
    constexpr uint32_t size = 134217727;  // 32 × size = 4294967264
    InputBlock input;
    input.InputSize = size;
    input.InputData = ByteArray::AllocateZeroed(size);
    WorkBlock work;
    EXPECT_THROW(ConvertSamples(1, 44100, 1, 32, 44100, 1, input, work), ConversionError);
}

TEST(ConvertSamplesTest, UnknownSourceWidthGivesZerosOfTheRuleSize)
{
    Bytes in = RandomBytes(300, 10);
    for (uint8_t& b : in)
        b |= 1;
    EXPECT_EQ(Convert(in, {12, 44100, 1}, {16, 44100, 1}), Bytes(400, 0));
    // The later stages then work on those zeros.
    EXPECT_EQ(Convert(in, {12, 44100, 2}, {16, 22050, 1}), Bytes(100, 0));
}

TEST(ConvertSamplesTest, SixChannelSourceGivesZeros)
{
    const Bytes in = RandomBytes(1200, 11);  // 16-bit, 100 frames of six channels
    const Bytes out = Convert(in, {16, 44100, 6}, {16, 22050, 2});
    EXPECT_EQ(out.size(), ExtendedScale(2, 6, ExtendedScale(22050, 44100, 1200)));
    EXPECT_FALSE(out.empty());
    EXPECT_EQ(out, Bytes(out.size(), 0));
}

}  // namespace
}  // namespace quorvant
