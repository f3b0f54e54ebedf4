#pragma once
// The bodies of the fuzz targets, as plain functions so that libFuzzer and
// the ordinary replay test (tests/test_fuzz_regressions.cpp) run the same
// code. Each returns the first expectation that did not hold ("" when all
// held); crashes and sanitizer reports show up by themselves.

#include <cstddef>
#include <cstdint>
#include <string>

#include "wave/wave_format.h"

namespace quorvant::fuzz {

// Memory and time budget per input. A declared "data" size of up to 4 GiB is
// a legitimate file for the tool, but loading it means allocating and
// zero-filling the whole declared block: libFuzzer's 2 GiB malloc limit
// would call that an out-of-memory crash, and even below the limit each such
// input would take seconds. Above these sizes the entries still walk the
// chunks, list the file and plan the conversion (all cheap whatever the
// size), and read windows of the declared block at its start and its end,
// but load and convert nothing whole. No branch of the loader or the engine
// depends on a block being larger than these (the size arithmetic near
// 4 GiB is in the plan, which always runs), and a conversion at the limits
// takes about a tenth of a second under the sanitizers.
inline constexpr uint32_t kMaxLoadBytes = uint32_t(64) << 10;
// Largest block any conversion stage may allocate (rate and width can
// multiply the size by up to 96).
inline constexpr uint64_t kMaxStageBytes = uint64_t(256) << 10;

// Input layout of FuzzConvert: selector bytes, then the file.
//   byte 0: target choice, modulo kTargetChoices (see TargetOfChoice);
//   byte 1: stream buffer size, modulo 16 (see StreamBufferOfSelector).
inline constexpr std::size_t kConvertPrefixBytes = 2;
inline constexpr unsigned kTargetChoices = 5 * 12 * 2;

// Choice c: width index c % 5, rate index (c / 5) % 12, channel index c / 60.
WAVEFORMATEX TargetOfChoice(unsigned choice);
// Tiny buffers move every piece boundary of the streaming conversion.
std::size_t StreamBufferOfSelector(uint8_t selector);

// The chunk walk, the list check and both loads on arbitrary bytes.
std::string FuzzLoad(const uint8_t* data, std::size_t size);
// Batch load, both conversion paths compared, streaming compared with
// writing the whole block, and the written file read back.
std::string FuzzConvert(const uint8_t* data, std::size_t size);

}  // namespace quorvant::fuzz
