#include "cli/batch_convert.h"

#include <cstdio>
#include <new>
#include <unistd.h>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/progress_line.h"
#include "cli/stderr_messages.h"
#include "convert/batch_step.h"
#include "convert/convert_samples.h"
#include "convert/target_format.h"
#include "wave/wave_loader.h"
#include "wave/wave_records.h"

namespace quorvant::cli {

namespace {

void PrintResultLine(const std::string& input, RowOutcome outcome)
{
    std::fwrite(input.data(), 1, input.size(), stdout);
    std::fprintf(stdout, ": %s\n", RowResultText(outcome));
    // Flushed per line, so that a reader of a pipe sees each result as it happens.
    std::fflush(stdout);
}

}  // namespace

int ConvertBatch(const Options& options)
{
    ProgressLine progress(::isatty(STDERR_FILENO) == 1);
    // A progress line on the same terminal as the results would run into them.
    const bool resultsOnTerminal = ::isatty(STDOUT_FILENO) == 1;
    StderrMessages messages(&progress);

    bool allOk = true;
    std::vector<ListedFile> list;
    for (const std::string& path : options.operands) {
        if (auto listed = AddFileToList(path, messages))
            list.push_back(std::move(*listed));
        else
            allOk = false;
    }

    const WAVEFORMATEX target = BuildTargetFormat(options.widthIndex, options.rate, options.channels);
    BatchRun run(*options.outDir, BatchRun::Mode::Streaming);
    WaveRecords records;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const ListedFile& file = list[i];
        const std::string input = file.folder + file.name;
        progress.show(i + 1, list.size(), file.name);
        RowOutcome outcome;
        try {
            outcome = run.convertRow(file.folder, file.name, target, records, messages);
        } catch (const ConversionError&) {
            PrintError(std::string(texts::kEngineFailure) + "\n[" + input + "]", &progress);
            return kExitFailed;
        } catch (const std::bad_alloc&) {
            PrintError(std::string(texts::kEngineFailure) + "\n[" + input + "]", &progress);
            return kExitFailed;
        }
        if (resultsOnTerminal)
            progress.erase();
        PrintResultLine(input, outcome);
        allOk = allOk && outcome == RowOutcome::Ok;
    }
    progress.end();
    return allOk ? kExitOk : kExitFailed;
}

}  // namespace quorvant::cli
