#include "convert/convert_samples.h"

#include <cstring>
#include <new>

#include "convert/conversion_plan.h"
#include "convert/fused_kernel.h"

namespace quorvant {

void ConvertSamples(uint16_t sourceBits, uint32_t sourceRate, uint16_t sourceChannels, uint16_t targetBits,
                    uint32_t targetRate, uint16_t targetChannels, const InputBlock& input, WorkBlock& work)
{
    work.WorkData.reset();
    work.WorkSize = 0;
    const ConversionPlan plan = PlanConversion(sourceBits, sourceRate, sourceChannels, targetBits, targetRate,
                                               targetChannels, input.InputSize);
    if (plan.identity()) {
        work.WorkData = ByteArray::Allocate(input.InputSize);
        if (input.InputSize)
            std::memcpy(work.WorkData.data(), input.InputData.data(), input.InputSize);
        work.WorkSize = input.InputSize;
        return;
    }
    if (!plan.fusable) {
        ConvertSamplesStaged(sourceBits, sourceRate, sourceChannels, targetBits, targetRate, targetChannels, input,
                             work);
        return;
    }

    ByteArray result;
    try {
        result = ByteArray::Allocate(plan.outputBytes);
    } catch (const std::bad_alloc&) {
        throw ConversionError("no memory for the result");
    }
    const uint8_t* in = input.InputData.data();
    uint8_t* out = result.data();
    RunFusedUnits(plan, in, 0, 0, plan.units, out);
    if (plan.tailSamples)
        RunFusedTail(plan, in + plan.units * plan.sourceFrameBytes(), out + plan.units * plan.unitBytes());
    const uint64_t body = plan.bodyBytes();
    std::memset(out + body, 0, plan.outputBytes - body);
    work.WorkData = std::move(result);
    work.WorkSize = plan.outputBytes;
}

}  // namespace quorvant
