#include "cli/single_convert.h"

#include <new>

#include "cli/exit_codes.h"
#include "cli/stderr_messages.h"
#include "convert/convert_samples.h"
#include "convert/stream_conversion.h"
#include "convert/target_format.h"
#include "wave/atomic_file.h"
#include "wave/wave_loader.h"

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
    // The main window's checks and messages, without reading the samples:
    // they are converted piece by piece on their way to OUTPUT.
    auto opened = OpenWaveFile(input, WaveChecks::MainWindow, messages);
    if (!opened)
        return kExitFailed;

    const WAVEFORMATEX target = BuildTargetFormat(options.widthIndex, options.rate, options.channels);
    try {
        // Planned before OUTPUT is touched, so that an engine failure leaves no file behind.
        const ConversionPlan plan = PlanFileConversion(opened->chunks, target);
        auto file = AtomicFile::Create(output);
        if (!file || !StreamConvert(*opened->source, opened->chunks, plan, target, *file)) {
            PrintError(kWriteError);
            return kExitFailed;
        }
    } catch (const ConversionError&) {
        PrintError(texts::kEngineFailure);
        return kExitFailed;
    } catch (const std::bad_alloc&) {
        PrintError(texts::kEngineFailure);
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace quorvant::cli
