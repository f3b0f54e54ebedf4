#pragma once
// One window's set of records: what was loaded and what was converted.
// Each window (and each command-line run) owns its own set.

#include "wave/sample_blocks.h"
#include "wave/wave_format.h"

namespace quorvant {

struct WaveRecords {
    WAVEFORMATEX SourceFormat;
    // Whether the loaded samples were 32-bit floats (tag 3, or the extensible
    // form with the float sub-format); the record itself keeps the tag it read.
    bool SourceIsFloat = false;
    InputBlock Input;
    WAVEFORMATEX TargetFormat;
    WorkBlock Work;
};

}  // namespace quorvant
