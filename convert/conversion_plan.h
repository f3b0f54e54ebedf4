#pragma once
// The shape of one conversion, worked out before any sample is touched: the
// result size by the same rules and checks as the staged stages, and how the
// result maps onto the source, so that width, rate and channels can be done
// in one pass (whole block or range by range).

#include <cstdint>

#include "convert/exact_arith.h"

namespace quorvant {

struct ConversionPlan {
    unsigned sourceBits = 0, targetBits = 0;
    unsigned sourceChannels = 0, targetChannels = 0;
    bool widthStage = false, rateStage = false, channelStage = false;
    uint32_t sourceRate = 0, targetRate = 0;
    ExtendedQuotient rateStep;  // source rate ÷ target rate

    uint64_t inputBytes = 0;
    uint32_t outputBytes = 0;
    uint64_t sourceFrames = 0;  // whole source frames
    // Output units: frames of the result, each made from one source frame.
    uint64_t units = 0;
    // Samples converted one by one after the units (a trailing partial frame
    // that only the width stage touched); the rest of the result is zero.
    uint64_t tailSamples = 0;
    // False for shapes the one-pass kernel does not handle (a width other
    // than 8/16/24/32, a channel count other than 1 or 2).
    bool fusable = false;

    bool identity() const { return !widthStage && !rateStage && !channelStage; }
    unsigned sourceSampleBytes() const { return sourceBits / 8; }
    unsigned targetSampleBytes() const { return targetBits / 8; }
    uint64_t sourceFrameBytes() const { return uint64_t(sourceSampleBytes()) * sourceChannels; }
    uint64_t unitBytes() const { return uint64_t(targetSampleBytes()) * targetChannels; }
    uint64_t bodyBytes() const { return units * unitBytes() + tailSamples * targetSampleBytes(); }
};

// Throws ConversionError exactly where the staged conversion would.
ConversionPlan PlanConversion(uint16_t sourceBits, uint32_t sourceRate, uint16_t sourceChannels, uint16_t targetBits,
                              uint32_t targetRate, uint16_t targetChannels, uint64_t inputBytes);

// The source frame that output unit `unit` is made from.
inline uint64_t SourceFrameOf(const ConversionPlan& plan, uint64_t unit)
{
    if (!plan.rateStage)
        return unit;
    uint64_t k = TruncatedProduct(plan.rateStep, unit);
    // A trailing partial frame is not a source frame: stay on the last whole one.
    return k < plan.sourceFrames ? k : plan.sourceFrames - 1;
}

}  // namespace quorvant
