#include "wave/wave_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "wave/float_samples.h"

namespace quorvant {

namespace {

bool WriteChunkHeader(ByteSink& out, const char* id, uint32_t size)
{
    uint8_t header[8];
    std::memcpy(header, id, 4);
    WriteLE32(header + 4, size);
    return out.write(header, sizeof header);
}

bool WriteFloatSamples(ByteSink& out, const uint8_t* data, uint32_t size)
{
    // Converted through one small buffer; the bytes are those of one float per sample.
    constexpr std::size_t kChunkSamples = 16384;
    std::vector<uint8_t> buffer(kChunkSamples * 4);
    const std::size_t samples = size / 4;
    for (std::size_t done = 0; done < samples;) {
        std::size_t count = std::min(kChunkSamples, samples - done);
        ConvertIntSamplesToFloat(data + done * 4, buffer.data(), count);
        if (!out.write(buffer.data(), count * 4))
            return false;
        done += count;
    }
    // A trailing partial sample keeps its bytes, so the chunk holds its declared size.
    std::size_t rest = size % 4;
    return rest == 0 || out.write(data + samples * 4, rest);
}

}  // namespace

bool WritesFloatSamples(const WAVEFORMATEX& format)
{
    return format.wFormatTag == kFormatFloat && format.wBitsPerSample == 32;
}

bool WriteWaveHeader(ByteSink& out, const WAVEFORMATEX& format, uint32_t dataBytes)
{
    const auto fmt = EncodeWaveFormat16(format);
    return WriteChunkHeader(out, "RIFF", dataBytes + 36) && out.write("WAVE", 4) &&
           WriteChunkHeader(out, "fmt ", 16) && out.write(fmt.data(), fmt.size()) &&
           WriteChunkHeader(out, "data", dataBytes);
}

bool WriteWaveFile(ByteSink& out, const WAVEFORMATEX& format, const WorkBlock& block)
{
    bool ok = out.reserve(kCanonicalHeaderBytes + uint64_t(block.WorkSize)) && WriteWaveHeader(out, format, block.WorkSize);
    if (ok && block.WorkSize) {
        if (WritesFloatSamples(format))
            ok = WriteFloatSamples(out, block.WorkData.data(), block.WorkSize);
        else
            ok = out.write(block.WorkData.data(), block.WorkSize);
    }
    return out.close() && ok;
}

}  // namespace quorvant
