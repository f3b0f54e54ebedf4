#pragma once
// One sample from one width to another. These are the integer forms of the
// single-precision rules the converter was defined with; where that
// arithmetic would carry a value past an end of the target range, the
// result stays at that end instead of wrapping to the opposite full scale.
// 8-bit samples are unsigned with 127 as the zero level; 24- and 32-bit
// sources are taken as the unsigned value of their bytes.

#include <algorithm>
#include <cstdint>

#include "convert/exact_arith.h"

namespace quorvant::width {

namespace detail {
constexpr uint32_t kSign24 = 1u << 23;
constexpr uint32_t kSign32 = 1u << 31;
constexpr uint8_t Clamp8(int64_t v) { return uint8_t(std::clamp<int64_t>(v, 0, 255)); }
// `negative` when the top bit of a 24- or 32-bit source is set, else
// `positive`, without a branch: the sign of random samples cannot be predicted.
constexpr int64_t BySign(uint32_t topBit, int64_t negative, int64_t positive)
{
    return positive + (negative - positive) * int64_t(topBit != 0);
}
}  // namespace detail

// Narrowing.
constexpr uint8_t From16To8(int16_t v)
{
    // C++ division truncates toward zero, as the rule does; only -32768 goes below 0.
    return detail::Clamp8((int32_t(v) + 127 * 256) / 256);
}
constexpr uint8_t From24To8(uint32_t u24)
{
    int64_t y = int64_t(u24 >> 16) + 127;
    return detail::Clamp8(detail::BySign(u24 & detail::kSign24, y - 256, y));
}
inline uint8_t From32To8(uint32_t u32)
{
    int64_t y = int64_t(RoundToSingle(u32) >> 24) + 127;
    return detail::Clamp8(detail::BySign(u32 & detail::kSign32, y - 256, y));
}
constexpr int16_t From24To16(uint32_t u24)
{
    // The low 16 bits of U24 ÷ 256 are the signed result either way.
    return int16_t(uint16_t(u24 >> 8));
}
// For 32-bit sources the rounded quotient y reaches one step past the top
// (2^(t-1)) only for positive samples, and the low t bits of y are the
// signed result everywhere else; so the one overflowing value steps back by
// one. Arithmetic rather than branches: the sign of random samples cannot
// be predicted.
inline int16_t From32To16(uint32_t u32)
{
    const uint64_t y = RoundToSingle(u32) >> 16;
    const uint64_t positive = ~u32 >> 31;
    return int16_t(uint16_t(y - ((y >> 15) & positive)));
}
// Result in the 24-bit range, as a signed value.
inline int32_t From32To24(uint32_t u32)
{
    const uint64_t y = RoundToSingle(u32) >> 8;
    const uint64_t positive = ~u32 >> 31;
    return int32_t(uint32_t(y - ((y >> 23) & positive)) << 8) >> 8;
}

// Widening: exact shifts, except that 8-bit 255 (one step above the +128
// full scale) stops at the wider width's maximum.
constexpr int16_t From8To16(uint8_t b) { return int16_t(std::min((int32_t(b) - 127) * 256, int32_t(INT16_MAX))); }
constexpr int32_t From8To24(uint8_t b) { return std::min((int32_t(b) - 127) * 65536, (1 << 23) - 1); }
constexpr int32_t From8To32(uint8_t b) { return int32_t(std::min((int64_t(b) - 127) * (int64_t(1) << 24), int64_t(INT32_MAX))); }
constexpr int32_t From16To24(int16_t v) { return int32_t(v) * 256; }
constexpr int32_t From16To32(int16_t v) { return int32_t(v) * 65536; }
constexpr int32_t From24To32(uint32_t u24) { return int32_t(u24 << 8); }

}  // namespace quorvant::width
