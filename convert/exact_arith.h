#pragma once
// Byte counts and frame indices were defined on a machine that computes with
// a 64-bit significand, rounding each operation to nearest (ties to even),
// and forms the quotient before the product. These functions give those
// results exactly with integer arithmetic, on any processor.

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
// trunc(round64(q × n)).
uint64_t TruncatedProduct(ExtendedQuotient q, uint64_t n);

// trunc(round64(round64(num ÷ den) × n)); den must not be 0.
// Size rule: ExtendedScale(b, a, n). Rate index: ExtendedScale(S, T, j).
inline uint64_t ExtendedScale(uint32_t num, uint32_t den, uint64_t n)
{
    return TruncatedProduct(RoundedQuotient(num, den), n);
}

// U32 rounded to the nearest single-precision value (24 significant bits,
// ties to even); the result can reach 2^32.
uint64_t RoundToSingle(uint32_t value);

}  // namespace quorvant
