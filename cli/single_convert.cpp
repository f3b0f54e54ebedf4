#include "cli/single_convert.h"

#include <new>

#include "cli/exit_codes.h"
#include "cli/stderr_messages.h"
#include "convert/convert_samples.h"
#include "convert/target_format.h"
#include "wave/atomic_file.h"
#include "wave/wave_loader.h"
#include "wave/wave_records.h"
#include "wave/wave_writer.h"

namespace quorvant::cli {

namespace {
// The main window's text for an output that cannot be created or written.
constexpr const char* kWriteError = "Error.";
}  // namespace

int ConvertSingleFile(const Options& options)
{
    const std::string& input = options.operands.at(0);
    const std::string& output = options.operands.at(1);

    StderrMessages messages;
    WaveRecords records;
    if (!LoadWaveFile(input, records, messages))
        return kExitFailed;

    records.TargetFormat = BuildTargetFormat(options.widthIndex, options.rate, options.channels);
    const WAVEFORMATEX& s = records.SourceFormat;
    const WAVEFORMATEX& t = records.TargetFormat;
    // Converted before OUTPUT is touched, so that an engine failure leaves no file behind.
    try {
        ConvertSamples(s.wBitsPerSample, s.nSamplesPerSec, s.nChannels, t.wBitsPerSample, t.nSamplesPerSec,
                       t.nChannels, records.Input, records.Work);
    } catch (const ConversionError&) {
        PrintError(texts::kEngineFailure);
        return kExitFailed;
    } catch (const std::bad_alloc&) {
        PrintError(texts::kEngineFailure);
        return kExitFailed;
    }

    auto file = AtomicFile::Create(output);
    if (!file || !WriteWaveFile(*file, t, records.Work)) {
        PrintError(kWriteError);
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace quorvant::cli
