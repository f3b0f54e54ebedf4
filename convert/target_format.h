#pragma once
// The choices the selectors offer and the rule that turns a choice into the
// target format record.

#include <array>
#include <string_view>

#include "wave/wave_format.h"

namespace quorvant {

// The position of a width decides the format, so the order matters.
inline constexpr std::array<const char*, 5> BitChoices = {"32(int)", "32(float)", "24", "16", "8"};
inline constexpr std::array<const char*, 12> RateChoices = {"192000", "176400", "96000", "88200",
                                                             "48000",  "44100",  "22050", "11025",
                                                             "8000",   "16000",  "24000", "32000"};
inline constexpr std::array<const char*, 2> ChannelChoices = {"stereo", "mono"};

inline constexpr int kDefaultBitIndex = 3;      // "16"
inline constexpr int kDefaultRateIndex = 5;     // "44100"
inline constexpr int kDefaultChannelIndex = 0;  // "stereo"

// Width and tag by the position of the width choice (any other index: 16-bit
// PCM); the rate is the rate text read as a decimal number; two channels only
// for exactly "stereo".
WAVEFORMATEX BuildTargetFormat(int widthIndex, std::string_view rateText, std::string_view channelText);

}  // namespace quorvant
