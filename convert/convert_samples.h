#pragma once
// The conversion of one loaded block into the target format: sample width,
// then sample rate, then channel count, each stage only where source and
// target differ.

#include <cstdint>
#include <stdexcept>

#include "wave/sample_blocks.h"

namespace quorvant {

// A run that cannot produce a valid result: a width, rate or channel count
// of 0, a result too large for a WAVE file, or memory that a stage could
// not get. The caller reports it and ends the process.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The largest "data" chunk whose RIFF size field (data + 36) still fits in 32 bits.
inline constexpr uint32_t kMaxDataBytes = 0xFFFFFFFFu - 36;

// Replaces `work` with the converted samples; `input` is only read.
// std::bad_alloc from the first copy into `work` passes through unchanged;
// every failure after it is a ConversionError.
// Runs in one pass where the shape allows, otherwise stage by stage.
void ConvertSamples(uint16_t sourceBits, uint32_t sourceRate, uint16_t sourceChannels, uint16_t targetBits,
                    uint32_t targetRate, uint16_t targetChannels, const InputBlock& input, WorkBlock& work);

// Stage by stage, each stage into a block of its own: the reference that the
// one-pass path must equal byte for byte.
void ConvertSamplesStaged(uint16_t sourceBits, uint32_t sourceRate, uint16_t sourceChannels, uint16_t targetBits,
                          uint32_t targetRate, uint16_t targetChannels, const InputBlock& input, WorkBlock& work);

}  // namespace quorvant
