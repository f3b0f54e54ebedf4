#pragma once
// The texts quorvant-convert prints about itself.

#include <string>

namespace quorvant::cli {

inline constexpr const char* kProgramName = "quorvant-convert";
inline constexpr const char* kVersionText = "Quorvant version 1.02";

// The --help text; also follows every usage error, so that it names the valid choices.
std::string UsageText();

}  // namespace quorvant::cli
