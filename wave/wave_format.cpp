#include "wave/wave_format.h"

namespace quorvant {

WAVEFORMATEX DecodeWaveFormat(const std::array<uint8_t, kWaveFormatBytes>& b)
{
    WAVEFORMATEX f;
    f.wFormatTag = ReadLE16(&b[0]);
    f.nChannels = ReadLE16(&b[2]);
    f.nSamplesPerSec = ReadLE32(&b[4]);
    f.nAvgBytesPerSec = ReadLE32(&b[8]);
    f.nBlockAlign = ReadLE16(&b[12]);
    f.wBitsPerSample = ReadLE16(&b[14]);
    f.cbSize = ReadLE16(&b[16]);
    return f;
}

std::array<uint8_t, 16> EncodeWaveFormat16(const WAVEFORMATEX& f)
{
    std::array<uint8_t, 16> b{};
    WriteLE16(&b[0], f.wFormatTag);
    WriteLE16(&b[2], f.nChannels);
    WriteLE32(&b[4], f.nSamplesPerSec);
    WriteLE32(&b[8], f.nAvgBytesPerSec);
    WriteLE16(&b[12], f.nBlockAlign);
    WriteLE16(&b[14], f.wBitsPerSample);
    return b;
}

}  // namespace quorvant
