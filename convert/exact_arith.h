#pragma once
// Byte counts and frame indices were defined on a machine that computes with
// a 64-bit significand, rounding each operation to nearest (ties to even),
// and forms the quotient before the product. These functions give those
// results exactly with integer arithmetic, on any processor.

#include <cstdint>

namespace quorvant {

// trunc(round64(round64(num ÷ den) × n)); den must not be 0.
// Size rule: ExtendedScale(b, a, n). Rate index: ExtendedScale(S, T, j).
uint64_t ExtendedScale(uint32_t num, uint32_t den, uint64_t n);

// U32 rounded to the nearest single-precision value (24 significant bits,
// ties to even); the result can reach 2^32.
uint64_t RoundToSingle(uint32_t value);

}  // namespace quorvant
