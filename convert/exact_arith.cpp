#include "convert/exact_arith.h"

#include <bit>

namespace quorvant {

namespace {

__extension__ typedef unsigned __int128 u128;

int BitWidth(u128 v)
{
    uint64_t high = uint64_t(v >> 64);
    return high ? 64 + std::bit_width(high) : std::bit_width(uint64_t(v));
}

constexpr u128 kTwo64 = u128(1) << 64;

}  // namespace

ExtendedQuotient RoundedQuotient(uint32_t num, uint32_t den)
{
    if (num == 0)
        return {};
    // Q = round(num × 2^s ÷ den) with s chosen so that 2^63 <= Q < 2^64.
    int s = 64 - std::bit_width(num) + std::bit_width(den);
    u128 scaled = u128(num) << s;
    u128 Q = scaled / den;
    if (Q >= kTwo64) {
        --s;
        scaled >>= 1;
        Q = scaled / den;
    }
    u128 rem = scaled - Q * den;
    if (2 * rem > den || (2 * rem == den && (Q & 1)))
        ++Q;
    if (Q == kTwo64) {
        Q >>= 1;
        --s;
    }
    return {uint64_t(Q), s};
}

uint64_t TruncatedProduct(ExtendedQuotient q, uint64_t n)
{
    if (q.significand == 0 || n == 0)
        return 0;
    const int s = q.shift;
    // P = round64(Q × n); Q × n < 2^128 because both are below 2^64.
    u128 P = u128(q.significand) * n;
    int shift = 0;
    int width = BitWidth(P);
    if (width > 64) {
        shift = width - 64;
        u128 dropped = P & ((u128(1) << shift) - 1);
        u128 half = u128(1) << (shift - 1);
        P >>= shift;
        if (dropped > half || (dropped == half && (P & 1)))
            ++P;
        if (P == kTwo64) {
            P >>= 1;
            ++shift;
        }
    }

    // Truncate toward zero: the value is positive, so this is a floor.
    int exponent = shift - s;
    if (exponent >= 0)
        return uint64_t(P << exponent);
    if (-exponent >= 128)
        return 0;
    return uint64_t(P >> -exponent);
}

uint64_t RoundToSingle(uint32_t value)
{
    int width = std::bit_width(value);
    if (width <= 24)
        return value;
    int shift = width - 24;
    uint64_t kept = value >> shift;
    uint32_t dropped = value & ((1u << shift) - 1);
    uint32_t half = 1u << (shift - 1);
    if (dropped > half || (dropped == half && (kept & 1)))
        ++kept;
    return kept << shift;
}

}  // namespace quorvant
