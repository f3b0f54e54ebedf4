#include "convert/batch_step.h"

#include <sys/stat.h>

#include "convert/convert_samples.h"
#include "convert/stream_conversion.h"
#include "wave/atomic_file.h"
#include "wave/path_parts.h"
#include "wave/wave_loader.h"
#include "wave/wave_writer.h"

namespace quorvant {

const char* RowResultText(RowOutcome outcome)
{
    switch (outcome) {
    case RowOutcome::Ok: return "OK";
    case RowOutcome::SameFile: return "NG (The input destination and output destinations are the same.)";
    case RowOutcome::NotWave: return "NG (It is not an effective WAVE file.)";
    case RowOutcome::CannotCreate: return "NG (Can not create file.)";
    case RowOutcome::CannotWrite: return "NG (Can not write file.)";
    case RowOutcome::NameUsed: return "NG (The output file name is already used in this run.)";
    }
    return "";
}

bool AdvancesProgress(RowOutcome outcome) { return outcome == RowOutcome::Ok || outcome == RowOutcome::NotWave; }

bool SamePath(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

RowOutcome BatchRun::convertRow(const std::string& folder, const std::string& name, const WAVEFORMATEX& target,
                                WaveRecords& records, MessageSink& messages)
{
    const std::string input = folder + name;
    const std::string output = JoinPath(outputFolder_, name);
    if (SamePath(input, output))
        return RowOutcome::SameFile;
    if (written_.count(output))
        return RowOutcome::NameUsed;
    if (mode_ == Mode::Streaming) {
        RowOutcome outcome = streamRow(input, output, target, messages);
        if (outcome == RowOutcome::Ok)
            written_.insert(output);
        return outcome;
    }
    if (!LoadBatchFile(input, records, messages))
        return RowOutcome::NotWave;

    records.TargetFormat = target;
    const WAVEFORMATEX& s = records.SourceFormat;
    ConvertSamples(s.wBitsPerSample, s.nSamplesPerSec, s.nChannels, target.wBitsPerSample, target.nSamplesPerSec,
                   target.nChannels, records.Input, records.Work);

    auto file = AtomicFile::Create(output);
    if (!file)
        return RowOutcome::CannotCreate;
    if (!WriteWaveFile(*file, records.TargetFormat, records.Work))
        return RowOutcome::CannotWrite;
    written_.insert(output);
    return RowOutcome::Ok;
}

}  // namespace quorvant

namespace quorvant {

RowOutcome BatchRun::streamRow(const std::string& input, const std::string& output, const WAVEFORMATEX& target,
                               MessageSink& messages)
{
    auto opened = OpenWaveFile(input, WaveChecks::BatchRun, messages);
    if (!opened)
        return RowOutcome::NotWave;
    const ConversionPlan plan = PlanFileConversion(opened->chunks, target);
    auto file = AtomicFile::Create(output);
    if (!file)
        return RowOutcome::CannotCreate;
    if (!StreamConvert(*opened->source, opened->chunks, plan, target, *file))
        return RowOutcome::CannotWrite;
    return RowOutcome::Ok;
}

}  // namespace quorvant
