// The integer width rules against the single-precision procedure they
// replace: every 8-, 16- and 24-bit source value and a few million 32-bit
// ones, for every target width, through the rule functions and the width
// stage; then the named extreme values through the whole conversion.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "convert/convert_samples.h"
#include "convert/stages.h"
#include "convert/width_rules.h"

namespace quorvant {
namespace {

constexpr unsigned kWidths[] = {8, 16, 24, 32};

uint32_t Mask(unsigned bits) { return bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1; }

// The source sample divided by its full scale and rounded to single
// precision, as the converter computes it. 8-bit samples are offset by the 127 zero level,
// 16-bit ones are signed, 24- and 32-bit ones are read unsigned.
float ScaledSource(unsigned s, uint32_t raw)
{
    volatile float x = 0;
    switch (s) {
    case 8: x = float(static_cast<long double>(int32_t(raw) - 127) * 0.0078125L); break;
    case 16: x = float(int16_t(raw)) * 0.000030517578125f; break;
    case 24: x = float(static_cast<long double>(raw) / 8388608.0L); break;
    case 32: x = float(static_cast<long double>(raw) / 2147483648.0L); break;
    }
    return x;
}

// The stored t-bit pattern: the value y of the single-precision procedure,
// signed (a 24- or 32-bit source with its top bit set stands for y − 2^t),
// then held at the end of the target range it would pass.
uint32_t ExpectedBits(unsigned s, unsigned t, uint32_t raw)
{
    const float x = ScaledSource(s, raw);
    int64_t y;
    if (t == 8) {
        volatile float scaled = float(128.0L * static_cast<long double>(x));
        y = static_cast<int64_t>(static_cast<long double>(scaled) + 127.0L);
    } else {
        const long double fullScale = static_cast<long double>(uint64_t(1) << (t - 1));
        volatile float scaled = float(fullScale * static_cast<long double>(x));
        y = static_cast<int64_t>(static_cast<long double>(scaled));
    }
    if ((s == 24 || s == 32) && (raw >> (s - 1)) != 0)
        y -= int64_t(1) << t;
    if (t == 8)
        y = std::clamp<int64_t>(y, 0, 255);
    else
        y = std::clamp<int64_t>(y, -(int64_t(1) << (t - 1)), (int64_t(1) << (t - 1)) - 1);
    return uint32_t(y) & Mask(t);
}

uint32_t RuleBits(unsigned s, unsigned t, uint32_t raw)
{
    using namespace width;
    uint32_t y = 0;
    switch (s * 100 + t) {
    case 1608: y = From16To8(int16_t(raw)); break;
    case 2408: y = From24To8(raw); break;
    case 3208: y = From32To8(raw); break;
    case 2416: y = uint32_t(From24To16(raw)); break;
    case 3216: y = uint32_t(From32To16(raw)); break;
    case 3224: y = uint32_t(From32To24(raw)); break;
    case 816: y = uint32_t(From8To16(uint8_t(raw))); break;
    case 824: y = uint32_t(From8To24(uint8_t(raw))); break;
    case 832: y = uint32_t(From8To32(uint8_t(raw))); break;
    case 1624: y = uint32_t(From16To24(int16_t(raw))); break;
    case 1632: y = uint32_t(From16To32(int16_t(raw))); break;
    case 2432: y = uint32_t(From24To32(raw)); break;
    default: ADD_FAILURE() << "no rule " << s << " -> " << t;
    }
    return y & Mask(t);
}

uint32_t Load(const uint8_t* p, unsigned bytes)
{
    uint32_t v = 0;
    for (unsigned i = 0; i < bytes; ++i)
        v |= uint32_t(p[i]) << (8 * i);
    return v;
}

// Checks the rule functions and the width stage for each source value,
// against the single-precision procedure, reporting a few mismatches only.
void CheckValues(unsigned s, const std::vector<uint32_t>& values)
{
    const unsigned sb = s / 8;
    std::vector<uint8_t> in(values.size() * sb);
    for (std::size_t i = 0; i < values.size(); ++i)
        for (unsigned b = 0; b < sb; ++b)
            in[i * sb + b] = uint8_t(values[i] >> (8 * b));

    for (unsigned t : kWidths) {
        if (t == s)
            continue;
        const unsigned tb = t / 8;
        std::vector<uint8_t> out(values.size() * tb, 0);
        ConvertWidth(in.data(), uint32_t(in.size()), s, t, out.data());
        unsigned failures = 0;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const uint32_t raw = values[i];
            const uint32_t expected = ExpectedBits(s, t, raw);
            const uint32_t rule = RuleBits(s, t, raw);
            const uint32_t stage = Load(&out[i * tb], tb);
            if ((rule != expected || stage != expected) && ++failures <= 10)
                ADD_FAILURE() << s << " -> " << t << " of 0x" << std::hex << raw << ": expected 0x" << expected
                              << ", rule gives 0x" << rule << ", stage gives 0x" << stage;
        }
        EXPECT_EQ(failures, 0u) << s << " -> " << t;
    }
}

std::vector<uint32_t> AllValues(unsigned bits)
{
    std::vector<uint32_t> v(std::size_t(1) << bits);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = uint32_t(i);
    return v;
}

TEST(WidthRuleTest, Every8BitValue) { CheckValues(8, AllValues(8)); }
TEST(WidthRuleTest, Every16BitValue) { CheckValues(16, AllValues(16)); }
TEST(WidthRuleTest, Every24BitValue) { CheckValues(24, AllValues(24)); }

TEST(WidthRuleTest, ThirtyTwoBitBoundaries)
{
    // Around every multiple of 2^16 (so every multiple of 2^24 and 2^31, and
    // 0 and 0xFFFFFFFF by wrap-around), at the distances where single
    // precision starts to round up for each magnitude.
    const int64_t offsets[] = {0,    1,    -1,   2,    -2,   63,    -63,   64,    -64,   65,    -65,
                               127,  -127, 128,  -128, 129,  -129,  255,   -255,  256,   -256,  257,
                               -257, 511,  -511, 32767, -32767, 32768, -32768, 32769, -32769};
    std::vector<uint32_t> values;
    for (uint64_t m = 0; m <= 0xFFFFFFFFu; m += 0x10000)
        for (int64_t d : offsets)
            values.push_back(uint32_t(m + uint64_t(d)));
    // Multiples of 2^8 in between, where 24-bit targets round up.
    std::mt19937 rng(8);
    for (int i = 0; i < 200000; ++i) {
        uint32_t m = rng() & ~0xFFu;
        for (int64_t d : {0, -1, -63, -64, -65, -127, -128, -129, 64, 127, 128})
            values.push_back(uint32_t(m + uint64_t(d)));
    }
    CheckValues(32, values);
}

TEST(WidthRuleTest, ThirtyTwoBitRandomValues)
{
    std::mt19937 rng(32);
    std::vector<uint32_t> values(3000000);
    for (uint32_t& v : values)
        v = rng();
    CheckValues(32, values);
}

// The named extreme values, through the whole conversion of a one-sample block.
uint32_t ConvertOne(unsigned s, unsigned t, uint32_t raw)
{
    InputBlock input;
    input.InputSize = s / 8;
    input.InputData = ByteArray::Allocate(input.InputSize);
    for (unsigned b = 0; b < s / 8; ++b)
        input.InputData.data()[b] = uint8_t(raw >> (8 * b));
    WorkBlock work;
    ConvertSamples(uint16_t(s), 44100, 1, uint16_t(t), 44100, 1, input, work);
    EXPECT_EQ(work.WorkSize, t / 8);
    return Load(work.WorkData.data(), t / 8);
}

TEST(WidthRuleTest, NamedExtremeValues)
{
    struct Case {
        unsigned s, t;
        uint32_t raw, expected;
    };
    const Case cases[] = {
        {16, 8, 0, 127},
        {16, 8, 0xFFFF, 126},     // -1
        {16, 8, 0xFF00, 126},     // -256
        {16, 8, 255, 127},
        {16, 8, 256, 128},
        {16, 8, 32767, 254},
        {16, 8, 0x8001, 0},       // -32767
        {16, 8, 0x8000, 0},       // -32768 stops at 0 instead of wrapping to 255
        {8, 16, 127, 0},
        {8, 16, 128, 256},
        {8, 16, 0, 0x8100},       // -32512
        {8, 16, 255, 0x7FFF},     // +128 steps stop at the 16-bit maximum
        {8, 24, 255, 0x7FFFFF},
        {8, 32, 255, 0x7FFFFFFF},
        {24, 8, 0, 127},
        {24, 8, 0x7FFFFF, 254},
        {24, 8, 0xFFFFFF, 126},
        {24, 8, 0x800000, 0},
        {24, 8, 0x80FFFF, 0},
        {24, 8, 0x810000, 0},
        {24, 16, 0x800000, 0x8000},
        {24, 16, 0xFFFFFF, 0xFFFF},
        {24, 16, 0x7FFFFF, 0x7FFF},
        {32, 16, 0x7FFFFFFF, 0x7FFF},  // rounds up to full scale: held there
        {32, 16, 0x7FFF7FFF, 0x7FFF},
        {32, 16, 0x80000000, 0x8000},
        {32, 16, 0xFFFFFFFF, 0},
        {32, 16, 0xFFFF0000, 0xFFFF},
        {32, 24, 0x7FFFFFFF, 0x7FFFFF},
        {32, 24, 0x7FFFFF7F, 0x7FFFFF},
        {32, 24, 0x01FFFFFF, 0x020000},  // rounded up before the shift
        {32, 24, 0x00FFFFFF, 0x00FFFF},
        {32, 24, 0xFFFFFFFF, 0},
        {32, 8, 0x7FFFFFFF, 255},
        {32, 8, 0x80000000, 0},
        {32, 8, 0xFFFFFFFF, 127},
        {32, 8, 0x7F7FFFFF, 254},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.s << " -> " << c.t << " of 0x" << std::hex << c.raw);
        EXPECT_EQ(ConvertOne(c.s, c.t, c.raw), c.expected);
        EXPECT_EQ(RuleBits(c.s, c.t, c.raw), c.expected);
    }
}

TEST(WidthRuleTest, SixteenToEightBitNearNegativeFullScaleGivesZero)
{
    // Truncation toward zero folds -32767 .. -32257 onto 0; -32256 is the
    // first value above it, and -32768 is held at 0.
    for (int v = -32768; v <= -32257; ++v)
        ASSERT_EQ(width::From16To8(int16_t(v)), 0) << v;
    EXPECT_EQ(width::From16To8(-32256), 1);
}

}  // namespace
}  // namespace quorvant
