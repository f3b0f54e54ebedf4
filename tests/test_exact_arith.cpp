// The integer forms of the extended-precision size and index rules, checked
// against the x87 `long double` arithmetic they stand for, and the rounding
// of a 32-bit value to single precision, checked against `float`.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "convert/exact_arith.h"

namespace quorvant {
namespace {

constexpr uint32_t kTargetRates[] = {8000, 11025, 16000, 22050, 24000, 32000,
                                     44100, 48000, 88200, 96000, 176400, 192000};
// Rates that source files commonly have, besides the twelve targets.
constexpr uint32_t kOtherSourceRates[] = {1, 2, 7, 100, 5512, 6000, 12000, 37800, 44056, 47250,
                                          50000, 64000, 352800, 384000, 705600, 768000, 4294967295u};
constexpr uint32_t kWidthsAndCounts[] = {1, 2, 6, 8, 16, 24, 32};

// Wanted: the quotient rounded to 64 bits, then the product rounded to 64
// bits, then truncated. The volatile intermediates keep the compiler from
// fusing or folding the two operations. n <= 2^32 keeps the product below 2^64.
uint64_t LongDoubleScale(uint32_t num, uint32_t den, uint64_t n)
{
    volatile long double q = static_cast<long double>(num) / static_cast<long double>(den);
    volatile long double p = q * static_cast<long double>(n);
    return static_cast<uint64_t>(p);
}

#define REQUIRE_X87_LONG_DOUBLE()                                                     \
    do {                                                                              \
        if (LDBL_MANT_DIG != 64)                                                      \
            GTEST_SKIP() << "long double has no 64-bit significand on this machine";  \
    } while (0)

// Compares one triple and keeps the number of reported mismatches small.
class ScaleChecker {
public:
    void check(uint32_t num, uint32_t den, uint64_t n)
    {
        uint64_t expected = LongDoubleScale(num, den, n);
        uint64_t actual = ExtendedScale(num, den, n);
        if (expected != actual && ++failures_ <= 10)
            ADD_FAILURE() << "ExtendedScale(" << num << ", " << den << ", " << n << ") = " << actual
                          << ", long double gives " << expected;
    }
    ~ScaleChecker() { EXPECT_EQ(failures_, 0u) << "mismatching triples"; }

private:
    unsigned failures_ = 0;
};

TEST(ExactArithTest, ExamplesOfTheSizeAndIndexRules)
{
    struct Case {
        uint32_t num, den;
        uint64_t n, expected;
    };
    const Case cases[] = {
        // Rate index k = trunc((S ÷ T) × j), 48000 → 44100.
        {48000, 44100, 441, 479},
        {48000, 44100, 735, 799},
        // Rate block size N = trunc((T ÷ S) × W).
        {48000, 44100, 176400, 191999},  // 16-bit stereo, one second
        {48000, 44100, 44100, 47999},    // 8-bit mono
        {48000, 44100, 88200, 95999},    // 16-bit mono
        {48000, 44100, 264600, 288000},  // 24-bit stereo
        {48000, 176400, 705600, 191999},
        {96000, 44100, 176400, 383999},
        {32000, 44100, 176400, 128000},
        {8000, 44100, 176400, 32000},
        {22050, 44100, 176400, 88200},
        {44100, 22050, 176400, 352800},
        // Width and channel ratios.
        {24, 16, 1001, 1501},
        {8, 24, 3000, 1000},
        {1, 2, 191999, 95999},
        {2, 1, 4294967295u, 8589934590u},
        // Zeros.
        {0, 44100, 1000, 0},
        {48000, 44100, 0, 0},
        {0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExtendedScale(c.num, c.den, c.n), c.expected) << c.num << " / " << c.den << " x " << c.n;
        // The examples are what the extended-precision hardware gives.
        if (LDBL_MANT_DIG == 64) {
            EXPECT_EQ(LongDoubleScale(c.num, c.den, c.n), c.expected) << c.num << " / " << c.den << " x " << c.n;
        }
    }
}

TEST(ExactArithTest, FirstIndicesFrom48000To44100)
{
    // Source frame 12 is skipped.
    const uint64_t expected[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15};
    for (uint64_t j = 0; j < std::size(expected); ++j)
        EXPECT_EQ(ExtendedScale(48000, 44100, j), expected[j]) << "output frame " << j;
}

TEST(ExactArithTest, WidthAndChannelRatiosAreExactFloors)
{
    // For the ratios of the width and channel stages the rule equals the exact
    // floor ⌊n × b ÷ a⌋ for every u32 n.
    const uint32_t widths[] = {8, 16, 24, 32};
    std::vector<uint32_t> sizes = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1001, 3000, 4294967292u, 4294967293u,
                                   4294967294u, 4294967295u};
    std::mt19937 rng(11);
    for (int i = 0; i < 20000; ++i)
        sizes.push_back(rng());
    for (uint64_t base = 3; base <= 0xFFFFFFFFu; base = base * 3 + 1)
        for (uint32_t d = 0; d < 4; ++d)
            sizes.push_back(uint32_t(base - d));

    auto checkRatio = [&](uint32_t b, uint32_t a) {
        for (uint32_t n : sizes)
            ASSERT_EQ(ExtendedScale(b, a, n), uint64_t(n) * b / a) << b << "/" << a << " x " << n;
    };
    for (uint32_t s : widths)
        for (uint32_t t : widths)
            checkRatio(t, s);
    checkRatio(2, 1);
    checkRatio(1, 2);
}

TEST(ExactArithTest, MatchesLongDoubleOnRandomFullRangeTriples)
{
    REQUIRE_X87_LONG_DOUBLE();
    std::mt19937_64 rng(20240611);
    std::uniform_int_distribution<uint32_t> anyU32(0, 0xFFFFFFFFu);
    std::uniform_int_distribution<uint32_t> nonZero(1, 0xFFFFFFFFu);
    std::uniform_int_distribution<uint64_t> anyN(0, uint64_t(1) << 32);
    std::uniform_int_distribution<int> bits(0, 31);
    ScaleChecker checker;
    for (int i = 0; i < 1000000; ++i)
        checker.check(anyU32(rng), nonZero(rng), anyN(rng));
    // Operands of every magnitude, so that small quotients, large quotients
    // and short products all occur.
    for (int i = 0; i < 1000000; ++i) {
        uint32_t num = anyU32(rng) >> bits(rng);
        uint32_t den = std::max<uint32_t>(1, nonZero(rng) >> bits(rng));
        uint64_t n = anyN(rng) >> bits(rng);
        checker.check(num, den, n);
    }
}

TEST(ExactArithTest, MatchesLongDoubleOnRealisticTriples)
{
    REQUIRE_X87_LONG_DOUBLE();
    std::vector<uint32_t> values(std::begin(kTargetRates), std::end(kTargetRates));
    values.insert(values.end(), std::begin(kOtherSourceRates), std::end(kOtherSourceRates));
    values.insert(values.end(), std::begin(kWidthsAndCounts), std::end(kWidthsAndCounts));

    std::mt19937_64 rng(7);
    std::uniform_int_distribution<std::size_t> pick(0, values.size() - 1);
    std::uniform_int_distribution<uint64_t> anyN(0, uint64_t(1) << 32);
    std::uniform_int_distribution<uint64_t> smallN(0, 1u << 22);
    ScaleChecker checker;
    for (int i = 0; i < 1000000; ++i) {
        uint32_t num = values[pick(rng)], den = values[pick(rng)];
        checker.check(num, den, (i & 1) ? anyN(rng) : smallN(rng));
    }
    // Every output frame index of the first 20000 frames, for every pair of
    // a target rate and a source rate.
    for (uint32_t t : kTargetRates) {
        std::vector<uint32_t> sources(std::begin(kTargetRates), std::end(kTargetRates));
        sources.insert(sources.end(), std::begin(kOtherSourceRates), std::end(kOtherSourceRates));
        for (uint32_t s : sources) {
            for (uint64_t j = 0; j < 20000; ++j)
                checker.check(s, t, j);
            // Near the end of a block of a few hours.
            for (uint64_t j = 0xFFFF0000u; j < 0xFFFF0000u + 2000; ++j)
                checker.check(s, t, j);
        }
    }
}

TEST(ExactArithTest, BoundaryTriplesMatchLongDouble)
{
    REQUIRE_X87_LONG_DOUBLE();
    const uint32_t edges[] = {1, 2, 3, 5, 7, 0x7FFFFFFFu, 0x80000000u, 0x80000001u, 0xFFFFFFFEu, 0xFFFFFFFFu,
                              0x00FFFFFFu, 0x01000000u, 0x55555555u, 0xAAAAAAABu, 44100, 48000};
    const uint64_t ns[] = {0, 1, 2, 3, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu, uint64_t(1) << 32};
    ScaleChecker checker;
    for (uint32_t num : edges)
        for (uint32_t den : edges)
            for (uint64_t n : ns)
                checker.check(num, den, n);
}

TEST(ExactArithTest, RoundedQuotientIsTheLongDoubleQuotient)
{
    REQUIRE_X87_LONG_DOUBLE();
    std::mt19937_64 rng(3);
    std::uniform_int_distribution<uint32_t> anyU32(0, 0xFFFFFFFFu);
    std::uniform_int_distribution<int> bits(0, 31);
    unsigned failures = 0;
    for (int i = 0; i < 500000; ++i) {
        uint32_t num = anyU32(rng) >> bits(rng);
        uint32_t den = std::max<uint32_t>(1, anyU32(rng) >> bits(rng));
        ExtendedQuotient q = RoundedQuotient(num, den);
        volatile long double expected = static_cast<long double>(num) / static_cast<long double>(den);
        long double actual = std::ldexp(static_cast<long double>(q.significand), -q.shift);
        bool normalised = num == 0 ? q.significand == 0 : (q.significand >> 63) == 1;
        if ((actual != expected || !normalised) && ++failures <= 10)
            ADD_FAILURE() << "RoundedQuotient(" << num << ", " << den << ") = " << q.significand << " x 2^-"
                          << q.shift;
    }
    EXPECT_EQ(failures, 0u);
}

// The rounding of a u32 to 24 significant bits, ties to even, in integers:
// the definition that the library's conversion through float must meet.
uint64_t FloatRounded(uint32_t value)
{
    int width = 0;
    for (uint32_t v = value; v; v >>= 1)
        ++width;
    if (width <= 24)
        return value;
    const int shift = width - 24;
    const uint64_t dropped = value & ((uint64_t(1) << shift) - 1);
    const uint64_t half = uint64_t(1) << (shift - 1);
    uint64_t kept = value >> shift;
    if (dropped > half || (dropped == half && (kept & 1)))
        ++kept;
    return kept << shift;
}

class SingleChecker {
public:
    void check(uint32_t value)
    {
        uint64_t expected = FloatRounded(value);
        uint64_t actual = RoundToSingle(value);
        if (expected != actual && ++failures_ <= 10)
            ADD_FAILURE() << "RoundToSingle(" << value << ") = " << actual << ", exact rounding gives " << expected;
    }
    ~SingleChecker() { EXPECT_EQ(failures_, 0u) << "mismatching values"; }

private:
    unsigned failures_ = 0;
};

TEST(ExactArithTest, RoundToSingleExamples)
{
    struct Case {
        uint32_t value;
        uint64_t expected;
    };
    const Case cases[] = {
        {0, 0},
        {0x00FFFFFFu, 0x00FFFFFFu},             // 24 bits: exact
        {0x01000001u, 0x01000000u},             // tie, to even below
        {0x01000003u, 0x01000004u},             // tie, to even above
        {0x01FFFFFFu, 0x02000000u},
        {0x7FFFFF7Fu, 0x7FFFFF80u},
        {0x7FFFFF40u, 0x7FFFFF00u},             // tie at step 128, kept part even: down
        {0x7FFFFFC0u, 0x80000000u},             // tie, kept part odd: up
        {0x7FFFFFFFu, 0x80000000u},
        {0x80000000u, 0x80000000u},
        {0x80000080u, 0x80000000u},             // tie at step 256, to even below
        {0x80000180u, 0x80000200u},
        {0xFFFFFF7Fu, 0xFFFFFF00u},
        {0xFFFFFF80u, uint64_t(1) << 32},       // tie, odd: carries to 2^32
        {0xFFFFFFFFu, uint64_t(1) << 32},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RoundToSingle(c.value), c.expected) << std::hex << c.value;
}

TEST(ExactArithTest, RoundToSingleMatchesFloatAtEveryRoundingBoundary)
{
    SingleChecker checker;
    // Powers of two and their neighbours.
    for (int p = 0; p < 32; ++p)
        for (int64_t d = -3; d <= 3; ++d)
            checker.check(uint32_t((uint64_t(1) << p) + uint64_t(d)));
    // For every width above 24 bits, around each tie and each multiple of the
    // step, with even and odd kept parts.
    std::mt19937 rng(5);
    for (int width = 25; width <= 32; ++width) {
        const int shift = width - 24;
        const uint64_t step = uint64_t(1) << shift, half = step / 2;
        std::vector<uint64_t> kept = {1u << 23, (1u << 23) + 1, (1u << 23) + 2, (1u << 24) - 2, (1u << 24) - 1};
        for (int i = 0; i < 4000; ++i)
            kept.push_back((1u << 23) | (rng() & ((1u << 23) - 1)));
        for (uint64_t k : kept) {
            const uint64_t base = k << shift;
            for (uint64_t offset : {uint64_t(0), uint64_t(1), half - 1, half, half + 1, step - 1})
                if (base + offset <= 0xFFFFFFFFu)
                    checker.check(uint32_t(base + offset));
        }
    }
    // Every value in windows where the step changes.
    const uint64_t windows[][2] = {{0x00FF0000u, 0x02010000u},
                                   {0x7FF00000u, 0x80100000u},
                                   {0xFFF00000u, 0x100000000u}};
    for (const auto& w : windows)
        for (uint64_t v = w[0]; v < w[1]; ++v)
            checker.check(uint32_t(v));
}

TEST(ExactArithTest, RoundToSingleMatchesFloatOnRandomValues)
{
    SingleChecker checker;
    std::mt19937 rng(17);
    for (int i = 0; i < 4000000; ++i)
        checker.check(rng());
}

}  // namespace
}  // namespace quorvant
