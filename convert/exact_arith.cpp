#include "convert/exact_arith.h"

#include <bit>

namespace quorvant {

namespace {

using u128 = detail::u128;

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

}  // namespace quorvant
