#pragma once
// quorvant-convert INPUT OUTPUT: one file, as the main window converts it.

#include "cli/options.h"

namespace quorvant::cli {

// Loads options.operands[0], converts it and writes options.operands[1]. Returns the exit status.
int ConvertSingleFile(const Options& options);

}  // namespace quorvant::cli
