#include "convert/stream_conversion.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "convert/convert_samples.h"
#include "convert/fused_kernel.h"
#include "convert/piece_writer.h"
#include "wave/float_samples.h"
#include "wave/wave_writer.h"

namespace quorvant {

namespace {

class OutputStage {
public:
    OutputStage(ByteSink& out, bool floats) : out_(out), floats_(floats) {}

    // Writes `count` result bytes; `offset` is their position in the result,
    // so that float conversion covers exactly the whole 4-byte groups.
    bool write(uint8_t* bytes, std::size_t count, uint64_t offset, uint64_t resultBytes)
    {
        if (floats_) {
            const uint64_t whole = std::min<uint64_t>(offset + count, resultBytes / 4 * 4);
            if (whole > offset)
                ConvertIntSamplesToFloat(bytes, bytes, (whole - offset) / 4);
        }
        return count == 0 || out_.write(bytes, count);
    }

private:
    ByteSink& out_;
    bool floats_;
};

bool WriteZeros(OutputStage& stage, uint64_t from, uint64_t to, uint64_t resultBytes, std::vector<uint8_t>& buffer)
{
    for (uint64_t at = from; at < to;) {
        std::size_t n = std::size_t(std::min<uint64_t>(to - at, buffer.size()));
        std::memset(buffer.data(), 0, n);
        if (!stage.write(buffer.data(), n, at, resultBytes))
            return false;
        at += n;
    }
    return true;
}

bool StreamIdentity(ByteSource& source, const WaveChunks& chunks, OutputStage& stage, uint64_t resultBytes,
                    std::size_t bufferBytes)
{
    // Whole 4-byte groups per piece, so float samples never straddle two pieces.
    const uint64_t wanted = std::min<uint64_t>(bufferBytes, std::max<uint64_t>(resultBytes, 4));
    std::vector<uint8_t> buffer(std::max<std::size_t>(std::size_t(wanted) / 4 * 4, 4));
    for (uint64_t at = 0; at < resultBytes;) {
        std::size_t n = std::size_t(std::min<uint64_t>(resultBytes - at, buffer.size()));
        ReadSampleBytes(source, chunks, at, n, buffer.data());
        if (!stage.write(buffer.data(), n, at, resultBytes))
            return false;
        at += n;
    }
    return true;
}

bool StreamFused(ByteSource& source, const WaveChunks& chunks, const ConversionPlan& plan, OutputStage& stage,
                 std::size_t bufferBytes)
{
    const uint64_t frameBytes = plan.sourceFrameBytes();
    const uint64_t unitBytes = plan.unitBytes();
    // Source frames one output unit advances by, at most (plus one for rounding).
    const uint64_t framesPerUnit = plan.rateStage ? TruncatedProduct(plan.rateStep, 1) + 1 : 1;
    const uint64_t unitsPerPass =
        std::max<uint64_t>(1, std::min(bufferBytes / unitBytes, bufferBytes / (frameBytes * framesPerUnit)));

    std::vector<uint8_t> in, out(std::size_t(std::min<uint64_t>(unitsPerPass, std::max<uint64_t>(plan.units, 1)) *
                                             unitBytes));
    {
        // Each piece is written (and turned into floats) on the second core
        // while the next one is read and converted.
        PieceWriter writer([&](uint8_t* bytes, std::size_t count, uint64_t offset) {
            return stage.write(bytes, count, offset, plan.outputBytes);
        });
        for (uint64_t first = 0; first < plan.units;) {
            const uint64_t last = std::min(plan.units, first + unitsPerPass);
            const uint64_t base = SourceFrameOf(plan, first);
            const uint64_t span = (SourceFrameOf(plan, last - 1) - base + 1) * frameBytes;
            if (in.size() < span)
                in.resize(std::size_t(span));
            ReadSampleBytes(source, chunks, base * frameBytes, std::size_t(span), in.data());
            RunFusedUnits(plan, in.data(), base, first, last, out.data());
            if (!writer.hand(out, std::size_t((last - first) * unitBytes), first * unitBytes))
                return false;
            first = last;
        }
        if (!writer.finish())
            return false;
    }

    uint64_t written = plan.units * unitBytes;
    if (plan.tailSamples) {
        const std::size_t sourceBytes = std::size_t(plan.tailSamples * plan.sourceSampleBytes());
        std::vector<uint8_t> tailIn(sourceBytes), tailOut(std::size_t(plan.tailSamples * plan.targetSampleBytes()));
        ReadSampleBytes(source, chunks, plan.units * frameBytes, sourceBytes, tailIn.data());
        RunFusedTail(plan, tailIn.data(), tailOut.data());
        if (!stage.write(tailOut.data(), tailOut.size(), written, plan.outputBytes))
            return false;
        written += tailOut.size();
    }
    std::vector<uint8_t> zeros(std::size_t(std::clamp<uint64_t>(plan.outputBytes - written, 1, bufferBytes)));
    return WriteZeros(stage, written, plan.outputBytes, plan.outputBytes, zeros);
}

}  // namespace

ConversionPlan PlanFileConversion(const WaveChunks& chunks, const WAVEFORMATEX& target)
{
    const WAVEFORMATEX& s = chunks.format;
    return PlanConversion(s.wBitsPerSample, s.nSamplesPerSec, s.nChannels, target.wBitsPerSample,
                          target.nSamplesPerSec, target.nChannels, chunks.dataSize);
}

bool StreamConvert(ByteSource& source, const WaveChunks& chunks, const ConversionPlan& plan,
                   const WAVEFORMATEX& target, ByteSink& out, std::size_t bufferBytes)
{
    if (!plan.fusable && !plan.identity()) {
        // Rare shapes: the whole-block path, which is the reference anyway.
        const InputBlock input = ReadWholeSamples(source, chunks);
        WorkBlock work;
        const WAVEFORMATEX& s = chunks.format;
        ConvertSamplesStaged(s.wBitsPerSample, s.nSamplesPerSec, s.nChannels, target.wBitsPerSample,
                             target.nSamplesPerSec, target.nChannels, input, work);
        return WriteWaveFile(out, target, work);
    }

    OutputStage stage(out, WritesFloatSamples(target));
    bool ok = out.reserve(kCanonicalHeaderBytes + uint64_t(plan.outputBytes)) &&
              WriteWaveHeader(out, target, plan.outputBytes) &&
              (plan.identity() ? StreamIdentity(source, chunks, stage, plan.outputBytes, bufferBytes)
                               : StreamFused(source, chunks, plan, stage, bufferBytes));
    return out.close() && ok;
}

}  // namespace quorvant
