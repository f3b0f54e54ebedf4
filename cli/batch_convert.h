#pragma once
// quorvant-convert --out-dir DIR INPUT...: a list of files, as the batch window runs it.

#include "cli/options.h"

namespace quorvant::cli {

// Lists every INPUT, converts the listed ones into options.outDir and prints
// one result line per listed file on stdout. Returns the exit status.
int ConvertBatch(const Options& options);

}  // namespace quorvant::cli
