#pragma once
// One row of a batch run: from a listed file to its result text. The windows
// and the command-line tool share this; only the loop around it (event
// handling, cancelling, progress) belongs to each of them.

#include <set>
#include <string>

#include "wave/messages.h"
#include "wave/wave_format.h"
#include "wave/wave_records.h"

namespace quorvant {

enum class RowOutcome { Ok, SameFile, NotWave, CannotCreate, CannotWrite, NameUsed };

// "OK" or "NG (" + reason + ")".
const char* RowResultText(RowOutcome outcome);
// Whether the progress bar moves to this row.
bool AdvancesProgress(RowOutcome outcome);

// Two spellings of one file: the same text, or both exist and are the same file on disk.
bool SamePath(const std::string& a, const std::string& b);

class BatchRun {
public:
    // WholeBlock loads each file into the records, as the windows do;
    // Streaming converts file to file through small buffers and leaves the
    // records alone (the same bytes, in little memory).
    enum class Mode { WholeBlock, Streaming };

    explicit BatchRun(std::string outputFolder, Mode mode = Mode::WholeBlock)
        : outputFolder_(std::move(outputFolder)), mode_(mode) {}

    // Loads folder + name into `records`, converts it to `target` and writes
    // it into the output folder under the same name. Loader messages go to
    // `messages`. A ConversionError (or std::bad_alloc) from the engine passes
    // through: the caller reports it and ends the process.
    RowOutcome convertRow(const std::string& folder, const std::string& name, const WAVEFORMATEX& target,
                          WaveRecords& records, MessageSink& messages);

    const std::string& outputFolder() const { return outputFolder_; }

private:
    RowOutcome streamRow(const std::string& input, const std::string& output, const WAVEFORMATEX& target,
                         MessageSink& messages);

    std::string outputFolder_;
    Mode mode_;
    std::set<std::string> written_;
};

}  // namespace quorvant
