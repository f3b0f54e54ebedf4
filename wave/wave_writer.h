#pragma once
// Writes a converted block as a WAVE file with the canonical 44-byte header.

#include "wave/byte_sink.h"
#include "wave/sample_blocks.h"
#include "wave/wave_format.h"

namespace quorvant {

inline constexpr std::size_t kCanonicalHeaderBytes = 44;

// Header, the first 16 bytes of `format`, then the samples; for a 32-bit
// float target the integer samples are written as floats. Closes `out`.
// True only when every byte was written and the close succeeded.
bool WriteWaveFile(ByteSink& out, const WAVEFORMATEX& format, const WorkBlock& block);

// The 44-byte header alone, for writers that produce the samples piece by piece.
bool WriteWaveHeader(ByteSink& out, const WAVEFORMATEX& format, uint32_t dataBytes);
// Whether samples of `format` are written as 32-bit floats.
bool WritesFloatSamples(const WAVEFORMATEX& format);

}  // namespace quorvant
