#include <cstring>

#include "convert/sample_io.h"
#include "convert/stages.h"

namespace quorvant {

namespace {

void MonoToStereo(const uint8_t* in, uint32_t n, unsigned w, uint8_t* out)
{
    const uint32_t samples = n / w;
    for (uint32_t i = 0; i < samples; ++i) {
        const uint8_t* s = in + std::size_t(i) * w;
        uint8_t* d = out + std::size_t(i) * 2 * w;
        std::memcpy(d, s, w);
        std::memcpy(d + w, s, w);
    }
}

void StereoToMono(const uint8_t* in, uint32_t n, unsigned w, uint8_t* out)
{
    const uint32_t frames = n / (2 * w);
    for (uint32_t i = 0; i < frames; ++i) {
        const uint8_t* s = in + std::size_t(i) * 2 * w;
        uint8_t* d = out + std::size_t(i) * w;
        uint32_t l = LoadSampleBits(s, w), r = LoadSampleBits(s + w, w);
        uint32_t m = 0;
        switch (w) {
        case 1: m = AverageUnsigned8(uint8_t(l), uint8_t(r)); break;
        case 2: m = uint32_t(Average16(int16_t(l), int16_t(r))); break;
        case 3: m = uint32_t(Average24(SignExtend(l, 24), SignExtend(r, 24))); break;
        case 4: m = uint32_t(Average32(int32_t(l), int32_t(r))); break;
        }
        StoreSampleBits(d, w, m);
    }
}

}  // namespace

void ConvertChannels(const uint8_t* in, uint32_t n, unsigned bytesPerSample, unsigned sourceChannels,
                     unsigned targetChannels, uint8_t* out)
{
    if (bytesPerSample < 1 || bytesPerSample > 4)
        return;
    if (sourceChannels == 1 && targetChannels == 2)
        MonoToStereo(in, n, bytesPerSample, out);
    else if (sourceChannels == 2 && targetChannels == 1)
        StereoToMono(in, n, bytesPerSample, out);
    // Any other pair of counts: the block stays zero.
}

}  // namespace quorvant
