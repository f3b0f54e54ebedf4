#include <cstring>

#include "convert/exact_arith.h"
#include "convert/stages.h"

namespace quorvant {

void ConvertRate(const uint8_t* in, uint32_t n, uint32_t sourceRate, uint32_t targetRate, unsigned bytesPerSample,
                 unsigned channels, uint8_t* out, uint32_t outBytes)
{
    if (channels < 1 || channels > 2 || bytesPerSample < 1 || bytesPerSample > 4)
        return;
    const uint64_t frame = uint64_t(bytesPerSample) * channels;
    const uint64_t sourceFrames = n / frame;
    const uint64_t outputFrames = outBytes / frame;
    if (sourceFrames == 0)
        return;
    const ExtendedQuotient step = RoundedQuotient(sourceRate, targetRate);
    for (uint64_t j = 0; j < outputFrames; ++j) {
        // Each index comes from j itself, so rounding cannot build up.
        uint64_t k = TruncatedProduct(step, j);
        // A trailing partial frame is not a source frame: stay on the last whole one.
        if (k >= sourceFrames)
            k = sourceFrames - 1;
        std::memcpy(out + j * frame, in + k * frame, frame);
    }
}

}  // namespace quorvant
