#pragma once
// The texts that describe a loaded or listed file.

#include <string>

#include "wave/wave_format.h"

namespace quorvant {

// Main window: "16bit , 44100Hz , stereo", "32bit(float) , 48000Hz , mono".
std::string MainInfoLine(const WAVEFORMATEX& format, bool floatSamples);
// Batch list: "24bit , 96000Hz , stereo" (no float marker).
std::string ListInfoText(const WAVEFORMATEX& format);

}  // namespace quorvant
