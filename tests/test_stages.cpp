// The rate and channel stages on their own, and the four stereo averages.

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "convert/exact_arith.h"
#include "convert/stages.h"

namespace quorvant {
namespace {

using Bytes = std::vector<uint8_t>;

// Frames whose bytes differ from frame to frame, so that a copy of the
// wrong frame shows. `extra` bytes of a partial frame follow.
Bytes NumberedFrames(uint32_t frames, unsigned frameBytes, unsigned extra = 0)
{
    Bytes b(std::size_t(frames) * frameBytes + extra);
    for (std::size_t i = 0; i < b.size(); ++i) {
        const uint32_t k = uint32_t(i / frameBytes), pos = uint32_t(i % frameBytes);
        b[i] = uint8_t(((k * 2654435761u) >> (8 * (pos % 4))) ^ (pos * 0x35));
    }
    return b;
}

// The rate stage as the conversion runs it: a zeroed block of the rule's size.
Bytes RunRate(const Bytes& in, uint32_t s, uint32_t t, unsigned w, unsigned c)
{
    Bytes out(ExtendedScale(t, s, in.size()), 0);
    ConvertRate(in.data(), uint32_t(in.size()), s, t, w, c, out.data(), uint32_t(out.size()));
    return out;
}

// Index of the source frame each output frame must copy: trunc((S ÷ T) × j)
// with 64-bit-significand arithmetic, or computed exactly where that
// arithmetic is not available.
uint64_t ExpectedIndex(uint32_t s, uint32_t t, uint64_t j)
{
    if constexpr (LDBL_MANT_DIG == 64) {
        volatile long double q = static_cast<long double>(s) / static_cast<long double>(t);
        volatile long double p = q * static_cast<long double>(j);
        return static_cast<uint64_t>(p);
    } else {
        return ExtendedScale(s, t, j);
    }
}

// Output frame j must equal source frame index(j); bytes after the last
// whole output frame must be zero.
template <typename Index>
void ExpectFrames(const Bytes& in, const Bytes& out, unsigned frameBytes, Index index)
{
    const std::size_t outFrames = out.size() / frameBytes;
    unsigned failures = 0;
    for (std::size_t j = 0; j < outFrames; ++j) {
        const uint64_t k = index(j);
        ASSERT_LE((k + 1) * frameBytes, in.size()) << "frame " << j;
        if (std::memcmp(&out[j * frameBytes], &in[k * frameBytes], frameBytes) != 0 && ++failures <= 10)
            ADD_FAILURE() << "output frame " << j << " is not source frame " << k;
    }
    EXPECT_EQ(failures, 0u);
    for (std::size_t i = outFrames * frameBytes; i < out.size(); ++i)
        EXPECT_EQ(out[i], 0) << "unwritten byte " << i;
}

TEST(RateStageTest, HalvingRatePicksEveryOtherFrame)
{
    const Bytes in = NumberedFrames(44100, 4);  // 16-bit stereo, one second
    const Bytes out = RunRate(in, 44100, 22050, 2, 2);
    ASSERT_EQ(out.size(), 88200u);
    ExpectFrames(in, out, 4, [](uint64_t j) { return 2 * j; });
}

TEST(RateStageTest, DoublingRateRepeatsEachFrameTwice)
{
    const Bytes in = NumberedFrames(22050, 4);
    const Bytes out = RunRate(in, 22050, 44100, 2, 2);
    ASSERT_EQ(out.size(), 2 * in.size());
    ExpectFrames(in, out, 4, [](uint64_t j) { return j / 2; });
}

TEST(RateStageTest, SixfoldRateRepeatsEachFrameSixTimes)
{
    for (unsigned w : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(testing::Message() << "width " << w);
        const Bytes in = NumberedFrames(8000, w);
        const Bytes out = RunRate(in, 8000, 48000, w, 1);
        ASSERT_EQ(out.size(), 6 * in.size());
        ExpectFrames(in, out, w, [](uint64_t j) { return j / 6; });
    }
}

TEST(RateStageTest, From48000To44100FollowsTheRoundedQuotient)
{
    const Bytes in = NumberedFrames(48000, 4);  // 32-bit mono
    const Bytes out = RunRate(in, 48000, 44100, 4, 1);
    ASSERT_EQ(out.size(), 44100u * 4);
    auto frameOf = [&](std::size_t j) {
        for (std::size_t k = 0; k < 48000; ++k)
            if (std::memcmp(&out[j * 4], &in[k * 4], 4) == 0)
                return k;
        return std::size_t(-1);
    };
    const std::size_t first[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15};
    for (std::size_t j = 0; j < std::size(first); ++j)
        EXPECT_EQ(frameOf(j), first[j]) << "output frame " << j;
    // Exact integer arithmetic would give 480 and 800.
    EXPECT_EQ(frameOf(441), 479u);
    EXPECT_EQ(frameOf(735), 799u);
    ExpectFrames(in, out, 4, [](uint64_t j) { return ExpectedIndex(48000, 44100, j); });
}

TEST(RateStageTest, EveryLayoutAndRatePairMatchesTheIndexRule)
{
    const uint32_t rates[] = {8000, 11025, 22050, 44100, 48000, 96000, 192000, 37800};
    const uint32_t targets[] = {8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000, 88200, 96000, 176400, 192000};
    for (unsigned w : {1u, 2u, 3u, 4u})
        for (unsigned c : {1u, 2u})
            for (uint32_t s : rates)
                for (uint32_t t : targets) {
                    if (s == t)
                        continue;
                    SCOPED_TRACE(testing::Message() << w * 8 << "-bit, " << c << " ch, " << s << " -> " << t);
                    const unsigned f = w * c;
                    // A little over a tenth of a second of whole frames.
                    const Bytes in = NumberedFrames(s / 9, f);
                    const Bytes out = RunRate(in, s, t, w, c);
                    ASSERT_EQ(out.size(), ExtendedScale(t, s, in.size()));
                    ExpectFrames(in, out, f, [&](uint64_t j) { return ExpectedIndex(s, t, j); });
                }
}

TEST(RateStageTest, OneSecondTo48000LeavesAPartialFrameOfZeros)
{
    struct Case {
        unsigned w, c;
        std::size_t outBytes;
    };
    const Case cases[] = {{1, 1, 47999}, {2, 1, 95999}, {2, 2, 191999}, {3, 2, 288000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w * 8 << "-bit, " << c.c << " ch");
        const Bytes in = NumberedFrames(44100, c.w * c.c);
        const Bytes out = RunRate(in, 44100, 48000, c.w, c.c);
        ASSERT_EQ(out.size(), c.outBytes);
        ExpectFrames(in, out, c.w * c.c, [](uint64_t j) { return ExpectedIndex(44100, 48000, j); });
    }
}

TEST(RateStageTest, IndexPastTheLastWholeFrameCopiesTheLastWholeFrame)
{
    struct Case {
        uint32_t s, t;
        unsigned w, c;
        uint32_t frames, extra;
        std::size_t outBytes;
        uint32_t clampedFrom;  // first output frame whose index reaches `frames`
    };
    const Case cases[] = {
        // 8-bit stereo, 3 frames + 1 byte: 42 bytes out, frames 18..20 reach index 3.
        {8000, 48000, 1, 2, 3, 1, 42, 18},
        // 16-bit stereo, 5 frames + 2 bytes: 44 bytes out, frame 10 reaches index 5.
        {22050, 44100, 2, 2, 5, 2, 44, 10},
        // 24-bit stereo, 2 frames + 5 bytes: 51 bytes out, frames 6 and 7 reach index 2.
        {16000, 48000, 3, 2, 2, 5, 51, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.s << " -> " << c.t << ", frame " << c.w * c.c);
        const unsigned f = c.w * c.c;
        Bytes in = NumberedFrames(c.frames, f, c.extra);
        const Bytes out = RunRate(in, c.s, c.t, c.w, c.c);
        ASSERT_EQ(out.size(), c.outBytes);
        ASSERT_GE(ExpectedIndex(c.s, c.t, c.clampedFrom), c.frames);
        ASSERT_LT(ExpectedIndex(c.s, c.t, c.clampedFrom - 1), c.frames);
        ExpectFrames(in, out, f, [&](uint64_t j) { return std::min<uint64_t>(ExpectedIndex(c.s, c.t, j), c.frames - 1); });
    }
}

TEST(RateStageTest, BlockWithoutAWholeFrameGivesZeros)
{
    const Bytes in = {0xAA, 0xBB, 0xCC};  // less than one 16-bit stereo frame
    const Bytes out = RunRate(in, 8000, 48000, 2, 2);
    ASSERT_EQ(out.size(), 18u);
    EXPECT_EQ(out, Bytes(18, 0));
}

TEST(RateStageTest, UnsupportedChannelCountLeavesTheBlockZero)
{
    const Bytes in = NumberedFrames(1000, 12);  // 16-bit, six channels
    for (uint32_t t : {22050u, 88200u}) {
        const Bytes out = RunRate(in, 44100, t, 2, 6);
        ASSERT_EQ(out.size(), ExtendedScale(t, 44100, in.size()));
        EXPECT_EQ(out, Bytes(out.size(), 0)) << "to " << t;
    }
}

TEST(RateStageTest, EmptyBlockGivesEmptyBlock)
{
    const Bytes in;
    EXPECT_TRUE(RunRate(in, 44100, 48000, 2, 2).empty());
}

// ---- channel stage ----

Bytes RunChannels(const Bytes& in, unsigned w, unsigned cs, unsigned ct)
{
    Bytes out(ExtendedScale(ct, cs, in.size()), 0);
    ConvertChannels(in.data(), uint32_t(in.size()), w, cs, ct, out.data());
    return out;
}

TEST(ChannelStageTest, MonoToStereoDuplicatesEachSample)
{
    EXPECT_EQ(RunChannels({0x34, 0x12, 0xDC, 0xFE}, 2, 1, 2),
              (Bytes{0x34, 0x12, 0x34, 0x12, 0xDC, 0xFE, 0xDC, 0xFE}));
    for (unsigned w : {1u, 2u, 3u, 4u}) {
        const Bytes in = NumberedFrames(301, w);
        const Bytes out = RunChannels(in, w, 1, 2);
        ASSERT_EQ(out.size(), 2 * in.size());
        for (std::size_t i = 0; i < 301; ++i) {
            ASSERT_EQ(0, std::memcmp(&out[2 * i * w], &in[i * w], w)) << "left " << i << ", width " << w;
            ASSERT_EQ(0, std::memcmp(&out[2 * i * w + w], &in[i * w], w)) << "right " << i << ", width " << w;
        }
    }
}

TEST(ChannelStageTest, PartialSampleLeavesZerosAtTheEnd)
{
    // Five bytes of 16-bit mono: two samples duplicated, two bytes unwritten.
    EXPECT_EQ(RunChannels({1, 2, 3, 4, 5}, 2, 1, 2), (Bytes{1, 2, 1, 2, 3, 4, 3, 4, 0, 0}));
    // 22 bytes of 24-bit stereo: three frames averaged, two bytes unwritten.
    const Bytes in = NumberedFrames(3, 6, 4);
    const Bytes out = RunChannels(in, 3, 2, 1);
    ASSERT_EQ(out.size(), 11u);
    EXPECT_EQ(out[9], 0);
    EXPECT_EQ(out[10], 0);
}

TEST(ChannelStageTest, OtherChannelPairsLeaveTheBlockZero)
{
    const Bytes in = NumberedFrames(120, 12);
    for (unsigned ct : {1u, 2u}) {
        const Bytes out = RunChannels(in, 2, 6, ct);
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(out, Bytes(out.size(), 0)) << "6 -> " << ct;
    }
    const Bytes mono = NumberedFrames(100, 2);
    const Bytes out = RunChannels(mono, 2, 1, 3);
    EXPECT_EQ(out, Bytes(600, 0));
}

// Stores `v` as `w` little-endian bytes.
void Put(Bytes& b, unsigned w, int64_t v)
{
    for (unsigned i = 0; i < w; ++i)
        b.push_back(uint8_t(uint64_t(v) >> (8 * i)));
}

int64_t SignedAt(const Bytes& b, std::size_t at, unsigned w)
{
    uint64_t v = 0;
    for (unsigned i = 0; i < w; ++i)
        v |= uint64_t(b[at + i]) << (8 * i);
    if (w > 1 && (v >> (8 * w - 1)))
        return int64_t(v) - (int64_t(1) << (8 * w));
    return int64_t(v);
}

struct PairCase {
    unsigned w;
    int64_t l, r, expected;
};

// Stereo pairs averaged to one mono sample. 8-bit values are unsigned.
const PairCase kPairs[] = {
    {1, 255, 0, 127},
    {1, 0, 1, 0},
    {1, 128, 129, 128},
    {1, 255, 255, 255},
    {2, -1, 0, 0},
    {2, -3, 0, -1},
    {2, 3, 0, 1},
    {2, 32767, 32767, 32767},
    {2, -32768, -32768, -32768},
    {3, -1, 0, -1},
    {3, -3, 0, -2},
    {3, 3, 0, 1},
    {3, 8388607, 8388607, 8388607},
    {3, -8388608, -8388608, -8388608},
    {4, -1, 0, 0},
    {4, -3, 0, -1},
    {4, 2147483647, 0, 1073741824},
    {4, 16777219, 0, 8388610},
    {4, 16777219, 16777219, 16777220},
    {4, 100000001, 100000001, 100000000},
    {4, 2147483583, 2147483583, 2147483520},
    {4, -2147483648, -2147483648, -2147483648},
    {4, 2147483647, -2147483648, 0},
    {4, 2147483647, 2147483647, 2147483647},  // rounds up to +1.0: held at the maximum
};

int64_t Average(unsigned w, int64_t l, int64_t r)
{
    switch (w) {
    case 1: return AverageUnsigned8(uint8_t(l), uint8_t(r));
    case 2: return Average16(int16_t(l), int16_t(r));
    case 3: return Average24(int32_t(l), int32_t(r));
    default: return Average32(int32_t(l), int32_t(r));
    }
}

TEST(ChannelStageTest, StereoToMonoAveragesByWidth)
{
    for (const PairCase& c : kPairs) {
        SCOPED_TRACE(testing::Message() << c.w * 8 << "-bit (" << c.l << ", " << c.r << ")");
        EXPECT_EQ(Average(c.w, c.l, c.r), c.expected);
        Bytes in;
        Put(in, c.w, c.l);
        Put(in, c.w, c.r);
        const Bytes out = RunChannels(in, c.w, 2, 1);
        ASSERT_EQ(out.size(), c.w);
        EXPECT_EQ(c.w == 1 ? int64_t(out[0]) : SignedAt(out, 0, c.w), c.expected);
    }
}

TEST(ChannelStageTest, StereoToMonoOfManyFramesKeepsTheirOrder)
{
    std::mt19937 rng(9);
    for (unsigned w : {1u, 2u, 3u, 4u}) {
        const unsigned bits = 8 * w;
        Bytes in;
        std::vector<int64_t> expected;
        for (int i = 0; i < 1000; ++i) {
            int64_t l = int64_t(rng() & ((uint64_t(1) << bits) - 1)), r = int64_t(rng() & ((uint64_t(1) << bits) - 1));
            if (w > 1) {
                l -= (l >> (bits - 1)) << bits;
                r -= (r >> (bits - 1)) << bits;
            }
            Put(in, w, l);
            Put(in, w, r);
            expected.push_back(Average(w, l, r));
        }
        const Bytes out = RunChannels(in, w, 2, 1);
        ASSERT_EQ(out.size(), 1000u * w);
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(w == 1 ? int64_t(out[i]) : SignedAt(out, i * w, w), expected[i]) << w * 8 << "-bit frame " << i;
    }
}

TEST(AverageTest, EightBitIsTheFlooredMeanOfEveryPair)
{
    for (unsigned a = 0; a < 256; ++a)
        for (unsigned b = 0; b < 256; ++b)
            ASSERT_EQ(AverageUnsigned8(uint8_t(a), uint8_t(b)), (a + b) / 2) << a << ", " << b;
}

TEST(AverageTest, SixteenBitRoundsTowardZero)
{
    for (int l = -32768; l <= 32767; l += 7)
        for (int r : {-32768, -32767, -3, -1, 0, 1, 2, 32766, 32767}) {
            const int sum = l + r;
            const int expected = sum >= 0 ? sum / 2 : -((-sum) / 2);
            ASSERT_EQ(Average16(int16_t(l), int16_t(r)), expected) << l << ", " << r;
        }
}

int64_t FlooredMean(int64_t l, int64_t r)
{
    const int64_t sum = l + r;
    return sum >= 0 ? sum / 2 : -((-sum + 1) / 2);
}

TEST(AverageTest, TwentyFourBitIsTheFlooredMean)
{
    std::vector<std::pair<int32_t, int32_t>> pairs;
    const int32_t extremes[] = {-8388608, -8388607, -8388606, -3, -2, -1, 0, 1, 2, 3, 8388605, 8388606, 8388607};
    for (int32_t l : extremes)
        for (int32_t r : extremes)
            pairs.emplace_back(l, r);
    std::mt19937 rng(24);
    std::uniform_int_distribution<int32_t> sample(-8388608, 8388607);
    for (int i = 0; i < 1000000; ++i)
        pairs.emplace_back(sample(rng), sample(rng));
    for (auto [l, r] : pairs) {
        ASSERT_EQ(Average24(l, r), FlooredMean(l, r)) << l << ", " << r;
        // The 32-bit procedure on the samples placed in the upper three bytes
        // is exact for 24-bit input and gives the same upper bytes.
        ASSERT_EQ(Average32(l * 256, r * 256) >> 8, Average24(l, r)) << l << ", " << r;
    }
}

// The single-precision average: l and r rounded, their exact sum halved and
// rounded, scaled back and truncated; a result past the maximum is held there.
int64_t FloatAverage32(int32_t l, int32_t r)
{
    volatile float lf = float(static_cast<long double>(l) / 2147483648.0L);
    volatile float rf = float(static_cast<long double>(r) / 2147483648.0L);
    volatile float m = float((static_cast<long double>(lf) + static_cast<long double>(rf)) * 0.5L);
    const int64_t v = static_cast<int64_t>(static_cast<long double>(m) * 2147483648.0L);
    return std::min<int64_t>(v, INT32_MAX);
}

class Average32Checker {
public:
    void check(int32_t l, int32_t r)
    {
        const int64_t expected = FloatAverage32(l, r), actual = Average32(l, r);
        if (expected != actual && ++failures_ <= 10)
            ADD_FAILURE() << "Average32(" << l << ", " << r << ") = " << actual << ", expected " << expected;
    }
    ~Average32Checker() { EXPECT_EQ(failures_, 0u); }

private:
    unsigned failures_ = 0;
};

TEST(AverageTest, ThirtyTwoBitFollowsTheSinglePrecisionProcedure)
{
    if (LDBL_MANT_DIG != 64)
        GTEST_SKIP() << "long double has no 64-bit significand on this machine";
    Average32Checker checker;
    std::mt19937 rng(31);
    for (int i = 0; i < 2000000; ++i)
        checker.check(int32_t(rng()), int32_t(rng()));
    // Near both full scales, including the pairs whose halved sum rounds to
    // +1.0 (one at least 2^31 − 64, the other at least 2^31 − 191).
    for (int64_t l = INT32_MAX - 400; l <= INT32_MAX; ++l)
        for (int64_t r = INT32_MAX - 400; r <= INT32_MAX; ++r)
            checker.check(int32_t(l), int32_t(r));
    for (int64_t l = INT32_MIN; l <= INT32_MIN + 400; ++l)
        for (int64_t r = INT32_MIN; r <= INT32_MIN + 400; ++r)
            checker.check(int32_t(l), int32_t(r));
    for (int64_t l = INT32_MIN; l <= INT32_MIN + 300; ++l)
        for (int64_t r = INT32_MAX - 300; r <= INT32_MAX; ++r)
            checker.check(int32_t(l), int32_t(r));
}

TEST(AverageTest, ThirtyTwoBitHeldAtMaximumExactlyWhereTheMeanRoundsToOne)
{
    EXPECT_EQ(Average32(2147483584, 2147483457), INT32_MAX);
    EXPECT_EQ(Average32(2147483457, 2147483584), INT32_MAX);
    EXPECT_LT(Average32(2147483583, 2147483457), INT32_MAX);
    EXPECT_LT(Average32(2147483584, 2147483456), INT32_MAX);
    EXPECT_EQ(Average32(2147483583, 2147483583), 2147483520);
}

TEST(AverageTest, ThirtyTwoBitIsTheTruncatedMeanForSmallSamples)
{
    std::mt19937 rng(16);
    std::uniform_int_distribution<int32_t> sample(-16777215, 16777215);
    for (int i = 0; i < 1000000; ++i) {
        const int32_t l = sample(rng), r = sample(rng);
        const int64_t sum = int64_t(l) + r;
        if (sum <= -16777216 || sum >= 16777216)
            continue;
        ASSERT_EQ(Average32(l, r), sum / 2) << l << ", " << r;
    }
}

}  // namespace
}  // namespace quorvant
