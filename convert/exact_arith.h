#pragma once
// Byte counts and frame indices were defined on a machine that computes with
// a 64-bit significand, rounding each operation to nearest (ties to even),
// and forms the quotient before the product. These functions give those
// results exactly with integer arithmetic, on any processor.

#include <bit>
#include <cstdint>

namespace quorvant {

// A quotient rounded to a 64-bit significand: significand × 2^-shift,
// with 2^63 <= significand < 2^64 (or 0 for a zero numerator).
struct ExtendedQuotient {
    uint64_t significand = 0;
    int shift = 0;
};

// round64(num ÷ den); den must not be 0.
ExtendedQuotient RoundedQuotient(uint32_t num, uint32_t den);
namespace detail {
__extension__ typedef unsigned __int128 u128;
}

// trunc(round64(q × n)). Inline: the rate conversion calls it once per frame.
inline uint64_t TruncatedProduct(ExtendedQuotient q, uint64_t n)
{
    using detail::u128;
    if (q.significand == 0 || n == 0)
        return 0;
    // P = round64(Q × n); Q × n < 2^128 because both are below 2^64.
    u128 P = u128(q.significand) * n;
    int shift = 0;
    const uint64_t high = uint64_t(P >> 64);
    if (high) {
        shift = std::bit_width(high);
        const u128 dropped = P & ((u128(1) << shift) - 1);
        const u128 half = u128(1) << (shift - 1);
        P >>= shift;
        if (dropped > half || (dropped == half && (P & 1)))
            ++P;
        if (P >> 64) {
            P >>= 1;
            ++shift;
        }
    }
    // Truncate toward zero: the value is positive, so this is a floor.
    const int exponent = shift - q.shift;
    if (exponent >= 0)
        return uint64_t(P << exponent);
    if (-exponent >= 128)
        return 0;
    return uint64_t(P >> -exponent);
}

// trunc(round64(round64(num ÷ den) × n)); den must not be 0.
// Size rule: ExtendedScale(b, a, n). Rate index: ExtendedScale(S, T, j).
inline uint64_t ExtendedScale(uint32_t num, uint32_t den, uint64_t n)
{
    return TruncatedProduct(RoundedQuotient(num, den), n);
}

// U32 rounded to the nearest single-precision value (24 significant bits,
// ties to even); the result can reach 2^32. The processor's conversion does
// exactly this under the default rounding mode, several times faster than
// the same in integers; the tests hold it to the integer definition.
inline uint64_t RoundToSingle(uint32_t value)
{
    // Through a signed conversion: every result fits, and it needs no range branch.
    return uint64_t(int64_t(float(value)));
}

}  // namespace quorvant
