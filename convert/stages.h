#pragma once
// The three stages of a conversion, each reading `n` bytes and filling a
// zeroed output block whose size the caller computed with the size rule.
// Bytes a stage does not write (partial samples or frames, shapes the stage
// does not handle) stay zero.

#include <cstdint>

namespace quorvant {

// Stage 1: sample width from s to t bits (8, 16, 24 or 32).
void ConvertWidth(const uint8_t* in, uint32_t n, unsigned s, unsigned t, uint8_t* out);
// Stage 2: nearest earlier frame at the target rate; frames of `bytesPerSample`
// × `channels` bytes. `outBytes` is the rate block's size.
void ConvertRate(const uint8_t* in, uint32_t n, uint32_t sourceRate, uint32_t targetRate, unsigned bytesPerSample,
                 unsigned channels, uint8_t* out, uint32_t outBytes);
// Stage 3: mono to stereo by duplication, stereo to mono by averaging.
void ConvertChannels(const uint8_t* in, uint32_t n, unsigned bytesPerSample, unsigned sourceChannels,
                     unsigned targetChannels, uint8_t* out);

// The average of one stereo pair, by width (inline: both conversion paths
// call them once per frame).
inline uint8_t AverageUnsigned8(uint8_t a, uint8_t b) { return uint8_t((unsigned(a) + b) / 2); }

// Rounds toward zero.
inline int16_t Average16(int16_t l, int16_t r) { return int16_t((int32_t(l) + r) / 2); }

// Rounds toward minus infinity; the float procedure of the 32-bit rule is
// exact for 24-bit samples and gives the same.
inline int32_t Average24(int32_t l, int32_t r) { return (l + r) >> 1; }

inline int32_t Average32(int32_t l, int32_t r)
{
    // l and r are multiples of 2^-31 within [-1, 1], so their sum is exact in double.
    float lf = float(double(l) / 2147483648.0);
    float rf = float(double(r) / 2147483648.0);
    float m = float((double(lf) + double(rf)) * 0.5);
    double q = double(m) * 2147483648.0;
    // Two near-maximal samples round up to +1.0: keep full scale instead of wrapping.
    return q >= 2147483648.0 ? INT32_MAX : int32_t(q);
}

}  // namespace quorvant
