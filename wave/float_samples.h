#pragma once
// 32-bit float samples exist only in files: they become 32-bit integers when
// loaded and floats again when written.

#include <cstddef>
#include <cstdint>

namespace quorvant {

// x × 2^31 truncated toward zero; values past full scale saturate, NaN gives 0.
int32_t FloatSampleToInt(float x);
// v ÷ 2^31 rounded to the nearest float (ties to even).
float IntSampleToFloat(int32_t v);

// Converts every whole 4-byte sample in place; a trailing 1 to 3 bytes stay as they are.
void ConvertFloatBlockToInt(uint8_t* data, std::size_t bytes);
// Converts `samples` little-endian integers from `in` to little-endian floats in `out`.
void ConvertIntSamplesToFloat(const uint8_t* in, uint8_t* out, std::size_t samples);

}  // namespace quorvant
