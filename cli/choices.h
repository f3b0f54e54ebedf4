#pragma once
// The command-line spellings of the three format choices.

#include <array>
#include <string>
#include <string_view>

#include "convert/target_format.h"

namespace quorvant::cli {

// Width spellings in the order of BitChoices: the position is the width index.
inline constexpr std::array<std::string_view, BitChoices.size()> kBitNames = {"32", "32float", "24", "16", "8"};

// "8|16|24|32|32float", "8000|11025|...|192000", "stereo|mono": smallest first, for people.
std::string BitNamesList();
std::string RateNamesList();
std::string ChannelNamesList();

}  // namespace quorvant::cli
