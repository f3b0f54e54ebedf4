#pragma once
// Little-endian sample bytes of 1 to 4 bytes.

#include <cstdint>

namespace quorvant {

inline uint32_t LoadSampleBits(const uint8_t* p, unsigned bytes)
{
    uint32_t v = 0;
    for (unsigned i = 0; i < bytes; ++i)
        v |= uint32_t(p[i]) << (8 * i);
    return v;
}

inline void StoreSampleBits(uint8_t* p, unsigned bytes, uint32_t v)
{
    for (unsigned i = 0; i < bytes; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

// Sign-extends the low `bits` bits.
inline int32_t SignExtend(uint32_t v, unsigned bits)
{
    uint32_t sign = 1u << (bits - 1);
    v &= (bits == 32) ? 0xFFFFFFFFu : ((1u << bits) - 1);
    return int32_t(v ^ sign) - int32_t(sign);
}

}  // namespace quorvant
