#pragma once
// The 18-byte wave-format record as it appears in a "fmt " chunk, and the
// little-endian helpers used wherever such records and samples are decoded.

#include <array>
#include <cstddef>
#include <cstdint>

namespace quorvant {

struct WAVEFORMATEX {
    uint16_t wFormatTag = 0;       // 1 integer PCM, 3 IEEE float, 0xFFFE extensible
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;

    bool operator==(const WAVEFORMATEX&) const = default;
};

inline constexpr std::size_t kWaveFormatBytes = 18;
inline constexpr uint16_t kFormatPcm = 1;
inline constexpr uint16_t kFormatFloat = 3;
inline constexpr uint16_t kFormatExtensible = 0xFFFE;

// Decodes the record from its 18 little-endian bytes (file order).
WAVEFORMATEX DecodeWaveFormat(const std::array<uint8_t, kWaveFormatBytes>& bytes);
// The first 16 bytes, as the body of a 16-byte "fmt " chunk.
std::array<uint8_t, 16> EncodeWaveFormat16(const WAVEFORMATEX& format);

inline uint16_t ReadLE16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t ReadLE32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void WriteLE16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void WriteLE32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

}  // namespace quorvant
