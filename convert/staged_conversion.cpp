#include "convert/convert_samples.h"

#include <cstring>
#include <string>

#include "convert/exact_arith.h"
#include "convert/stages.h"

namespace quorvant {

namespace {

// The reference conversion: three stages, each into a block of its own that
// the work block then copies. Clear rather than fast; the one-pass path is
// checked against it.

// One stage: size the result by the rule m = trunc((b ÷ a) × n), fill a fresh
// block, then make the work block a copy of it.
template <typename Fill>
void RunStage(const char* stage, uint32_t a, uint32_t b, WorkBlock& work, ByteArray& stageBlock, Fill fill)
{
    if (a == 0)
        throw ConversionError(std::string("source ") + stage + " is 0");
    uint64_t m = ExtendedScale(b, a, work.WorkSize);
    if (m > kMaxDataBytes)
        throw ConversionError(std::string("result of the ") + stage + " stage is too large");
    stageBlock = ByteArray::AllocateZeroed(m);
    fill(work.WorkData.data(), work.WorkSize, stageBlock.data(), uint32_t(m));

    work.WorkSize = uint32_t(m);
    work.WorkData.reset();
    work.WorkData = ByteArray::Allocate(m);
    std::memcpy(work.WorkData.data(), stageBlock.data(), m);
}

}  // namespace

void ConvertSamplesStaged(uint16_t sourceBits, uint32_t sourceRate, uint16_t sourceChannels, uint16_t targetBits,
                    uint32_t targetRate, uint16_t targetChannels, const InputBlock& input, WorkBlock& work)
{
    work.WorkSize = input.InputSize;
    work.WorkData.reset();
    work.WorkData = ByteArray::Allocate(work.WorkSize);
    if (input.InputSize)
        std::memcpy(work.WorkData.data(), input.InputData.data(), input.InputSize);

    ByteArray widthBlock, rateBlock, channelBlock;
    try {
        if (work.WorkSize > kMaxDataBytes)
            throw ConversionError("input block is too large");
        if (sourceBits != targetBits)
            RunStage("width", sourceBits, targetBits, work, widthBlock,
                     [&](const uint8_t* in, uint32_t n, uint8_t* out, uint32_t) {
                         ConvertWidth(in, n, sourceBits, targetBits, out);
                     });
        if (sourceRate != targetRate)
            RunStage("rate", sourceRate, targetRate, work, rateBlock,
                     [&](const uint8_t* in, uint32_t n, uint8_t* out, uint32_t m) {
                         ConvertRate(in, n, sourceRate, targetRate, targetBits / 8, sourceChannels, out, m);
                     });
        if (sourceChannels != targetChannels)
            RunStage("channel", sourceChannels, targetChannels, work, channelBlock,
                     [&](const uint8_t* in, uint32_t n, uint8_t* out, uint32_t) {
                         ConvertChannels(in, n, targetBits / 8, sourceChannels, targetChannels, out);
                     });
    } catch (const ConversionError&) {
        throw;
    } catch (const std::exception& e) {
        throw ConversionError(e.what());
    } catch (...) {
        throw ConversionError("unknown failure");
    }
}

}  // namespace quorvant
