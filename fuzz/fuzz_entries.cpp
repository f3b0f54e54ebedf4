#include "fuzz/fuzz_entries.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "convert/conversion_plan.h"
#include "convert/convert_samples.h"
#include "convert/exact_arith.h"
#include "convert/stream_conversion.h"
#include "convert/target_format.h"
#include "wave/byte_sink.h"
#include "wave/byte_source.h"
#include "wave/float_samples.h"
#include "wave/messages.h"
#include "wave/wave_loader.h"
#include "wave/wave_records.h"
#include "wave/wave_writer.h"

namespace quorvant::fuzz {

namespace {

const std::string kPath = "fuzz/input.wav";

// Keeps the first expectation that failed.
class Checks {
public:
    void expect(bool held, const char* what)
    {
        if (!held && failure_.empty())
            failure_ = what;
    }
    bool failed() const { return !failure_.empty(); }
    std::string result() && { return std::move(failure_); }

private:
    std::string failure_;
};

struct Recorder final : MessageSink {
    void showMessage(MessageIcon icon, const std::string& text) override { messages.emplace_back(icon, text); }
    void readingStarted() override { ++readings; }

    bool onlyMessage(MessageIcon icon, const std::string& text) const
    {
        return messages.size() == 1 && messages[0].first == icon && messages[0].second == text;
    }

    std::vector<std::pair<MessageIcon, std::string>> messages;
    int readings = 0;
};

using Bytes = std::vector<uint8_t>;

// What reading [offset, offset + count) of the "data" chunk must give: the
// file's bytes, zero past the end of the file or of the declared size, and
// every whole float sample of the declared chunk as its integer. `offset`
// is a multiple of 4, as every caller's is.
Bytes ExpectedSampleBytes(std::span<const uint8_t> file, const WaveChunks& chunks, uint64_t offset, std::size_t count)
{
    Bytes out(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const uint64_t p = offset + i;
        const uint64_t at = chunks.dataOffset + p;
        if (p < chunks.dataSize && at < file.size())
            out[i] = file[std::size_t(at)];
    }
    if (chunks.floatSamples) {
        const uint64_t end = std::min<uint64_t>(offset + count, chunks.dataSize);
        for (uint64_t p = offset; p + 4 <= end; p += 4) {
            uint8_t* sample = out.data() + (p - offset);
            WriteLE32(sample, uint32_t(FloatSampleToInt(std::bit_cast<float>(ReadLE32(sample)))));
        }
    }
    return out;
}

bool SameBytes(const uint8_t* a, const uint8_t* b, std::size_t count)
{
    return count == 0 || std::memcmp(a, b, count) == 0;
}

// Windows of the declared block read piece by piece, as streaming reads
// them: its start (past the file's last byte) and its end (past the
// declared size). Cheap for any declared size.
void CheckSampleWindows(Checks& checks, ByteSource& source, std::span<const uint8_t> file, const WaveChunks& chunks)
{
    const uint64_t inFile = file.size() - chunks.dataOffset;
    const uint64_t headCount = std::max<uint64_t>((std::min<uint64_t>(chunks.dataSize, inFile + 4096) + 3) / 4 * 4, 4);
    const uint64_t tailStart = chunks.dataSize > 4096 ? (chunks.dataSize - 4096) / 4 * 4 : 0;
    const uint64_t tailCount = chunks.dataSize - tailStart + 16;
    for (auto [offset, count] : {std::pair{uint64_t(0), headCount}, std::pair{tailStart, tailCount}}) {
        Bytes got(std::size_t(count), 0xEE);
        ReadSampleBytes(source, chunks, offset, got.size(), got.data());
        checks.expect(got == ExpectedSampleBytes(file, chunks, offset, got.size()),
                      "ReadSampleBytes: a window of the data chunk differs from the file's bytes");
    }
}

WaveRecords PrefilledRecords()
{
    WaveRecords r;
    r.SourceFormat = WAVEFORMATEX{0x1234, 7, 12345, 54321, 9, 13, 5};
    r.SourceIsFloat = true;
    r.Input.InputData = ByteArray::Allocate(3);
    const uint8_t bytes[3] = {0xA5, 0x5A, 0x3C};
    std::memcpy(r.Input.InputData.data(), bytes, 3);
    r.Input.InputSize = 3;
    return r;
}

bool StillPrefilled(const WaveRecords& r, const uint8_t* block)
{
    const WaveRecords expected = PrefilledRecords();
    return r.SourceFormat == expected.SourceFormat && r.SourceIsFloat && r.Input.InputData.data() == block &&
           r.Input.InputSize == 3 && SameBytes(block, expected.Input.InputData.data(), 3);
}

enum class Load { MainWindow, BatchRun };

void CheckLoad(Checks& checks, ByteSource& source, std::span<const uint8_t> file,
               const std::optional<WaveChunks>& chunks, Load load)
{
    const bool main = load == Load::MainWindow;
    WaveRecords records = PrefilledRecords();
    const uint8_t* before = records.Input.InputData.data();
    Recorder sink;
    const bool loaded =
        main ? LoadWaveSource(source, kPath, records, sink) : LoadBatchSource(source, kPath, records, sink);
    const bool fourBit = chunks && chunks->format.wBitsPerSample == 4;
    checks.expect(loaded == (chunks && !(main && fourBit)), main ? "LoadWaveSource: accepted other files than the walk"
                                                                : "LoadBatchSource: accepted other files than the walk");
    if (!loaded) {
        checks.expect(StillPrefilled(records, before), "a failed load changed the records");
        checks.expect(sink.onlyMessage(MessageIcon::Warning, chunks ? texts::kFourBit : texts::NotWave(kPath)),
                      "a failed load did not show exactly its one warning");
        checks.expect(sink.readings == 0, "a failed load announced reading");
        return;
    }
    checks.expect(records.SourceFormat == chunks->format, "load: SourceFormat is not the walked format");
    checks.expect(records.SourceIsFloat == chunks->floatSamples, "load: float flag is not the walk's");
    checks.expect(records.Input.InputSize == chunks->dataSize, "load: InputSize is not the declared size");
    if (records.Input.InputSize == chunks->dataSize && !records.Input.InputData.isNull()) {
        const Bytes expected = ExpectedSampleBytes(file, *chunks, 0, chunks->dataSize);
        checks.expect(SameBytes(records.Input.InputData.data(), expected.data(), expected.size()),
                      "load: the block differs from the file's bytes (zero past its end, floats as integers)");
    } else {
        checks.expect(false, "load: no block");
    }
    if (main && chunks->floatSamples)
        checks.expect(sink.onlyMessage(MessageIcon::Information, texts::kFloatNotice), "main load: no float notice");
    else
        checks.expect(sink.messages.empty(), "load: a message for a file that loaded");
    checks.expect(sink.readings == (main ? 1 : 0), "load: reading announced other than once by the main window");
}

// The largest block a conversion allocates: every stage that runs, up to the
// first that fails (a failing stage allocates nothing).
uint64_t PeakStageBytes(const WAVEFORMATEX& s, const WAVEFORMATEX& t, uint32_t inputBytes)
{
    uint64_t size = inputBytes, peak = inputBytes;
    auto stage = [&](uint32_t a, uint32_t b) {
        if (a == b)
            return true;
        if (a == 0)
            return false;
        size = ExtendedScale(b, a, size);
        if (size > kMaxDataBytes)
            return false;
        peak = std::max(peak, size);
        return true;
    };
    stage(s.wBitsPerSample, t.wBitsPerSample) && stage(s.nSamplesPerSec, t.nSamplesPerSec) &&
        stage(s.nChannels, t.nChannels);
    return peak;
}

using ConvertFunction = void (*)(uint16_t, uint32_t, uint16_t, uint16_t, uint32_t, uint16_t, const InputBlock&,
                                 WorkBlock&);

bool Converts(ConvertFunction convert, const WAVEFORMATEX& s, const WAVEFORMATEX& t, const InputBlock& input,
              WorkBlock& work)
{
    try {
        convert(s.wBitsPerSample, s.nSamplesPerSec, s.nChannels, t.wBitsPerSample, t.nSamplesPerSec, t.nChannels,
                input, work);
        return true;
    } catch (const ConversionError&) {
        return false;
    }
}

// The written file loads back as the target format with the converted
// samples (float targets: each sample as it survives the float round trip).
void CheckReadBack(Checks& checks, const Bytes& written, const WAVEFORMATEX& target, const WorkBlock& work)
{
    MemorySource source(written);
    WaveRecords back;
    Recorder sink;
    if (!LoadBatchSource(source, kPath, back, sink)) {
        checks.expect(false, "the written file does not load back");
        return;
    }
    checks.expect(back.SourceFormat == target, "the written file loads back with another format");
    if (back.Input.InputSize != work.WorkSize) {
        checks.expect(false, "the written file loads back with another data size");
        return;
    }
    Bytes expected(work.WorkData.data(), work.WorkData.data() + work.WorkSize);
    if (WritesFloatSamples(target)) {
        for (std::size_t i = 0; i + 4 <= expected.size(); i += 4) {
            const float f = IntSampleToFloat(int32_t(ReadLE32(expected.data() + i)));
            WriteLE32(expected.data() + i, uint32_t(FloatSampleToInt(f)));
        }
    }
    checks.expect(SameBytes(back.Input.InputData.data(), expected.data(), expected.size()),
                  "the written file loads back with other samples");
}

}  // namespace

WAVEFORMATEX TargetOfChoice(unsigned choice)
{
    choice %= kTargetChoices;
    return BuildTargetFormat(int(choice % 5), RateChoices[(choice / 5) % 12], ChannelChoices[choice / 60]);
}

std::size_t StreamBufferOfSelector(uint8_t selector)
{
    static constexpr std::array<std::size_t, 16> kSizes = {1,  2,  3,  4,   5,   7,    8,     12,
                                                           16, 24, 33, 100, 256, 4096, 65536, kStreamBufferBytes};
    return kSizes[selector % kSizes.size()];
}

std::string FuzzLoad(const uint8_t* data, std::size_t size)
{
    const std::span<const uint8_t> file(data, size);
    MemorySource source(file);
    Checks checks;

    const std::optional<WaveChunks> chunks = WalkWaveChunks(source);
    if (chunks) {
        checks.expect(chunks->dataOffset <= size, "walk: the data chunk starts past the end of the input");
        checks.expect(!chunks->floatSamples || chunks->format.wBitsPerSample == 32, "walk: float samples not 32-bit");
        if (chunks->dataOffset <= size)
            CheckSampleWindows(checks, source, file, *chunks);
    }

    Recorder listSink;
    const std::optional<ListedFile> listed = ListWaveSource(source, kPath, listSink);
    const bool fourBit = chunks && chunks->format.wBitsPerSample == 4;
    checks.expect(listed.has_value() == (chunks && !fourBit), "ListWaveSource: accepted other files than the walk");
    if (listed) {
        checks.expect(listed->format == chunks->format, "ListWaveSource: another format than the walk's");
        checks.expect(listSink.messages.empty(), "ListWaveSource: a message for a file it listed");
    } else {
        checks.expect(listSink.messages.size() == 1 && listSink.messages[0].first == MessageIcon::Warning,
                      "ListWaveSource: a refusal without exactly one warning");
    }

    // See kMaxLoadBytes: huge declared blocks were checked through windows.
    if (chunks && chunks->dataSize > kMaxLoadBytes)
        return std::move(checks).result();
    CheckLoad(checks, source, file, chunks, Load::MainWindow);
    CheckLoad(checks, source, file, chunks, Load::BatchRun);
    return std::move(checks).result();
}

std::string FuzzConvert(const uint8_t* data, std::size_t size)
{
    if (size < kConvertPrefixBytes)
        return {};
    const WAVEFORMATEX target = TargetOfChoice(data[0]);
    const std::span<const uint8_t> file(data + kConvertPrefixBytes, size - kConvertPrefixBytes);
    MemorySource source(file);
    Checks checks;

    const std::optional<WaveChunks> chunks = WalkWaveChunks(source);
    if (!chunks)
        return {};
    // Planning is cheap for any declared size, so it always runs.
    std::optional<ConversionPlan> plan;
    try {
        plan = PlanFileConversion(*chunks, target);
    } catch (const ConversionError&) {
    }
    // See kMaxLoadBytes and kMaxStageBytes.
    if (chunks->dataSize > kMaxLoadBytes || PeakStageBytes(chunks->format, target, chunks->dataSize) > kMaxStageBytes)
        return {};

    WaveRecords records;
    Recorder sink;
    if (!LoadBatchSource(source, kPath, records, sink))
        return "LoadBatchSource refused a file the walk accepted";
    WorkBlock onePass, staged;
    const bool onePassRan = Converts(ConvertSamples, records.SourceFormat, target, records.Input, onePass);
    const bool stagedRan = Converts(ConvertSamplesStaged, records.SourceFormat, target, records.Input, staged);
    checks.expect(onePassRan == plan.has_value(), "ConvertSamples and the plan disagree on whether the run fails");
    checks.expect(stagedRan == plan.has_value(), "ConvertSamplesStaged and the plan disagree on whether the run fails");
    if (checks.failed() || !plan)
        return std::move(checks).result();

    checks.expect(onePass.WorkSize == plan->outputBytes, "ConvertSamples: WorkSize is not the planned size");
    checks.expect(staged.WorkSize == onePass.WorkSize, "ConvertSamples and ConvertSamplesStaged: sizes differ");
    if (checks.failed())
        return std::move(checks).result();
    checks.expect(SameBytes(onePass.WorkData.data(), staged.WorkData.data(), onePass.WorkSize),
                  "ConvertSamples and ConvertSamplesStaged: bytes differ");

    MemorySink whole;
    checks.expect(WriteWaveFile(whole, target, onePass), "WriteWaveFile into memory failed");
    checks.expect(whole.data.size() == kCanonicalHeaderBytes + onePass.WorkSize,
                  "WriteWaveFile: not the header and the data chunk's declared size");
    // Tiny buffers for small blocks only: every piece costs a hand-over to the
    // writer thread, so keep to a few hundred pieces per input. A piece of
    // `buffer` bytes covers at least buffer / 8 output bytes (32-bit stereo
    // to 8-bit mono) and, with its source frames, at most `buffer` input bytes.
    const uint64_t spread = (uint64_t(chunks->dataSize) + 8 * uint64_t(plan->outputBytes)) / 256;
    const std::size_t buffer = std::max<std::size_t>(StreamBufferOfSelector(data[1]), std::size_t(spread));
    MemorySink streamed;
    checks.expect(StreamConvert(source, *chunks, *plan, target, streamed, buffer), "StreamConvert into memory failed");
    checks.expect(streamed.data == whole.data, "StreamConvert and WriteWaveFile of the whole block: bytes differ");
    CheckReadBack(checks, whole.data, target, onePass);
    return std::move(checks).result();
}

}  // namespace quorvant::fuzz
