// The windows' path without the windows, for timing whole runs: load the
// whole file, convert the block, write it through the atomic writer.
//
//   whole_block_convert BITS_INDEX RATE CHANNELS INPUT OUTPUT
//   (BITS_INDEX as the width selector: 0 "32(int)", 1 "32(float)", 2 "24", 3 "16", 4 "8")

#include <cstdio>
#include <cstdlib>

#include "convert/convert_samples.h"
#include "convert/target_format.h"
#include "wave/atomic_file.h"
#include "wave/wave_loader.h"
#include "wave/wave_writer.h"

namespace {
struct QuietSink : quorvant::MessageSink {
    void showMessage(quorvant::MessageIcon, const std::string& text) override
    {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};
}  // namespace

int main(int argc, char** argv)
{
    using namespace quorvant;
    if (argc != 6) {
        std::fprintf(stderr, "usage: whole_block_convert BITS_INDEX RATE CHANNELS INPUT OUTPUT\n");
        return 2;
    }
    QuietSink messages;
    WaveRecords records;
    if (!LoadBatchFile(argv[4], records, messages))
        return 1;
    records.TargetFormat = BuildTargetFormat(std::atoi(argv[1]), argv[2], argv[3]);
    const WAVEFORMATEX& s = records.SourceFormat;
    const WAVEFORMATEX& t = records.TargetFormat;
    ConvertSamples(s.wBitsPerSample, s.nSamplesPerSec, s.nChannels, t.wBitsPerSample, t.nSamplesPerSec, t.nChannels,
                   records.Input, records.Work);
    auto file = AtomicFile::Create(argv[5]);
    return file && WriteWaveFile(*file, t, records.Work) ? 0 : 1;
}
