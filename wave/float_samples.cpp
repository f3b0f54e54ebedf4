#include "wave/float_samples.h"

#include <bit>
#include <cstdint>

#include "wave/wave_format.h"

namespace quorvant {

int32_t FloatSampleToInt(float x)
{
    // The product is exact in double: a float has 24 significant bits.
    // Written without branches so that whole blocks vectorise.
    double p = double(x) * 2147483648.0;
    p = p == p ? p : 0.0;
    p = p < 2147483647.0 ? p : 2147483647.0;
    p = p > -2147483648.0 ? p : -2147483648.0;
    return int32_t(p);
}

float IntSampleToFloat(int32_t v)
{
    // Division by a power of two is exact in double; the cast rounds to nearest.
    return float(double(v) / 2147483648.0);
}

void ConvertFloatBlockToInt(uint8_t* data, std::size_t bytes)
{
    for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
        float x = std::bit_cast<float>(ReadLE32(data + i));
        WriteLE32(data + i, uint32_t(FloatSampleToInt(x)));
    }
}

void ConvertIntSamplesToFloat(const uint8_t* in, uint8_t* out, std::size_t samples)
{
    for (std::size_t i = 0; i < samples; ++i) {
        float f = IntSampleToFloat(int32_t(ReadLE32(in + 4 * i)));
        WriteLE32(out + 4 * i, std::bit_cast<uint32_t>(f));
    }
}

}  // namespace quorvant
