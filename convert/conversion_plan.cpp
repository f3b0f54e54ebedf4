#include "convert/conversion_plan.h"

#include "convert/convert_samples.h"

namespace quorvant {

namespace {

uint32_t StageSize(const char* stage, uint32_t a, uint32_t b, uint64_t n)
{
    if (a == 0)
        throw ConversionError(std::string("source ") + stage + " is 0");
    uint64_t m = ExtendedScale(b, a, n);
    if (m > kMaxDataBytes)
        throw ConversionError(std::string("result of the ") + stage + " stage is too large");
    return uint32_t(m);
}

bool KnownWidth(unsigned bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

}  // namespace

ConversionPlan PlanConversion(uint16_t sourceBits, uint32_t sourceRate, uint16_t sourceChannels, uint16_t targetBits,
                              uint32_t targetRate, uint16_t targetChannels, uint64_t inputBytes)
{
    ConversionPlan p;
    p.sourceBits = sourceBits;
    p.targetBits = targetBits;
    p.sourceChannels = sourceChannels;
    p.sourceRate = sourceRate;
    p.targetRate = targetRate;
    p.targetChannels = targetChannels;
    p.widthStage = sourceBits != targetBits;
    p.rateStage = sourceRate != targetRate;
    p.channelStage = sourceChannels != targetChannels;
    p.inputBytes = inputBytes;

    if (inputBytes > kMaxDataBytes)
        throw ConversionError("input block is too large");
    uint64_t n = inputBytes;
    if (p.widthStage)
        n = StageSize("width", sourceBits, targetBits, n);
    if (p.rateStage) {
        n = StageSize("rate", sourceRate, targetRate, n);
        p.rateStep = RoundedQuotient(sourceRate, targetRate);
    }
    const uint64_t afterRate = n;
    if (p.channelStage)
        n = StageSize("channel", sourceChannels, targetChannels, n);
    p.outputBytes = uint32_t(n);

    p.fusable = KnownWidth(sourceBits) && KnownWidth(targetBits) && (sourceChannels == 1 || sourceChannels == 2) &&
                (targetChannels == 1 || targetChannels == 2);
    if (!p.fusable || p.identity())
        return p;

    const uint64_t sourceSamples = inputBytes / p.sourceSampleBytes();
    p.sourceFrames = sourceSamples / sourceChannels;
    if (p.rateStage) {
        // The rate stage sees frames of target-width samples in the source layout.
        const uint64_t frames = afterRate / (uint64_t(p.targetSampleBytes()) * sourceChannels);
        p.units = p.sourceFrames ? frames : 0;
    } else {
        p.units = p.sourceFrames;
        if (!p.channelStage)
            p.tailSamples = sourceSamples - p.sourceFrames * sourceChannels;
    }
    return p;
}

}  // namespace quorvant
