#include "convert/target_format.h"

#include <charconv>

namespace quorvant {

WAVEFORMATEX BuildTargetFormat(int widthIndex, std::string_view rateText, std::string_view channelText)
{
    struct Width {
        uint16_t bits, tag;
    };
    static constexpr Width kWidths[] = {{32, kFormatPcm}, {32, kFormatFloat}, {24, kFormatPcm}, {16, kFormatPcm}, {8, kFormatPcm}};
    Width width = (widthIndex >= 0 && widthIndex < 5) ? kWidths[widthIndex] : Width{16, kFormatPcm};

    uint32_t rate = 0;
    std::from_chars(rateText.data(), rateText.data() + rateText.size(), rate);

    WAVEFORMATEX f;
    f.wFormatTag = width.tag;
    f.wBitsPerSample = width.bits;
    f.nChannels = channelText == "stereo" ? 2 : 1;
    f.nSamplesPerSec = rate;
    f.nBlockAlign = uint16_t((width.bits / 8) * f.nChannels);
    f.nAvgBytesPerSec = uint32_t(f.nBlockAlign) * rate;
    return f;
}

}  // namespace quorvant
