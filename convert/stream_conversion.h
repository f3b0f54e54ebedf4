#pragma once
// Conversion of an opened file straight into an output, piece by piece
// through small buffers, so that memory stays small whatever the file size.
// The bytes written are exactly those of loading the whole block,
// ConvertSamples and WriteWaveFile.

#include "convert/conversion_plan.h"
#include "wave/byte_sink.h"
#include "wave/byte_source.h"
#include "wave/wave_loader.h"

namespace quorvant {

// The plan for converting `chunks` to `target`; throws ConversionError where
// ConvertSamples would fail.
ConversionPlan PlanFileConversion(const WaveChunks& chunks, const WAVEFORMATEX& target);

// Writes the whole WAVE file and closes `out`; false when any write or the
// close failed. Shapes the one-pass kernel does not handle go through the
// whole-block path (std::bad_alloc possible there).
// `bufferBytes` sizes each of the two working buffers.
inline constexpr std::size_t kStreamBufferBytes = std::size_t(4) << 20;
bool StreamConvert(ByteSource& source, const WaveChunks& chunks, const ConversionPlan& plan,
                   const WAVEFORMATEX& target, ByteSink& out, std::size_t bufferBytes = kStreamBufferBytes);

}  // namespace quorvant
