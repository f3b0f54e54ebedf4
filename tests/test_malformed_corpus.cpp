// A corpus of malformed and hostile inputs, each with its whole outcome: what
// the main window's load shows (text and icon) and what its conversion does,
// whether the batch list takes the file, the batch row's result, and that
// nothing else changed (the records keep the previous file after a refused
// load, no output or temporary file is left behind, the input keeps its bytes).
// Every case is observed as a list of text lines and compared with the lines
// its expectation gives, so a mismatch shows the whole story at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "child_process.h"
#include "convert/batch_step.h"
#include "convert/convert_samples.h"
#include "convert/stream_conversion.h"
#include "convert/target_format.h"
#include "recording_sink.h"
#include "temp_dir.h"
#include "wave/atomic_file.h"
#include "wave/path_parts.h"
#include "wave/wave_loader.h"
#include "wave/wave_texts.h"
#include "wave/wave_writer.h"
#include "wave_builder.h"

namespace quorvant {
namespace {

namespace fs = std::filesystem;
using namespace test;

// The main window's defaults; every row and every main-window conversion uses them.
const WAVEFORMATEX kTarget = BuildTargetFormat(kDefaultBitIndex, "44100", "stereo");

constexpr const char* kEngineFailure = "engine failure";  // ConversionError instead of a row result
constexpr const char* kOk = "OK";
constexpr const char* kNotWaveRow = "NG (It is not an effective WAVE file.)";

enum class Kind { Image, Folder, Fifo, Unreadable, Vanishes };

struct Shown {
    MessageIcon icon;
    std::string text;  // "{path}" and "{name}" stand for the input's path and file name
};

const Shown kReadError{MessageIcon::Warning, texts::kReadError};
const Shown kNotWave{MessageIcon::Warning, "File {path} is not an effective WAVE file."};
const Shown kFourBitMain{MessageIcon::Warning, texts::kFourBit};
const Shown kFourBitList{MessageIcon::Warning, std::string(texts::kFourBit) + "\n[{name}]"};
const Shown kFloatNotice{MessageIcon::Information, texts::kFloatNotice};

struct CorpusCase {
    const char* name;
    Kind kind;
    Bytes image;
    std::vector<Shown> mainMessages;
    const char* mainInfo;     // the information line after a load; null when the load is refused
    const char* mainConvert;  // kOk or kEngineFailure, when loaded
    std::vector<Shown> listMessages;
    const char* listInfo;  // the list's format text; null when the file is not listed
    std::vector<Shown> rowMessages;
    const char* rowResult;  // RowResultText, or kEngineFailure
    Bytes outputData;       // the samples every successful conversion writes
    // False when a whole load would touch gigabytes (a "data" chunk of 4 GiB
    // that the file does not hold): the main window's load is then observed
    // up to the read (checks, messages, information line) and its conversion
    // through the plan; the row through the streaming run, which plans first.
    // The full load of such a file runs in the `large` tests.
    bool cheapLoad = true;

    CorpusCase(const char* name, Kind kind, Bytes image, std::vector<Shown> mainMessages, const char* mainInfo,
               const char* mainConvert, std::vector<Shown> listMessages, const char* listInfo,
               std::vector<Shown> rowMessages, const char* rowResult, Bytes outputData = {}, bool cheapLoad = true)
        : name(name), kind(kind), image(std::move(image)), mainMessages(std::move(mainMessages)), mainInfo(mainInfo),
          mainConvert(mainConvert), listMessages(std::move(listMessages)), listInfo(listInfo),
          rowMessages(std::move(rowMessages)), rowResult(rowResult), outputData(std::move(outputData)),
          cheapLoad(cheapLoad)
    {
    }
};

// ------------------------------------------------------------------ images

Bytes Pcm16(std::initializer_list<int16_t> values)
{
    Bytes b;
    for (int16_t v : values)
        PutLE16(b, uint16_t(v));
    return b;
}

using quorvant::test::Floats;

Bytes Ints(std::initializer_list<int32_t> values)
{
    Bytes b;
    for (int32_t v : values)
        PutLE32(b, uint32_t(v));
    return b;
}

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes kSamples = Pcm16({1, -1, 16384, -16384});  // two 16-bit stereo frames
const Bytes kFmt = FmtBody(kFormatPcm, 2, 44100, 16);

// fmt, then a "data" chunk whose header declares `declared` bytes of which
// only `present` follow.
Bytes DeclaredData(uint32_t declared, const Bytes& present)
{
    Bytes data;
    PutId(data, "data");
    PutLE32(data, declared);
    return Riff({Chunk("fmt ", kFmt), Concat(data, present)});
}

Bytes WithRiffSize(Bytes image, uint32_t size)
{
    WriteLE32(image.data() + 4, size);
    return image;
}

// A 17-byte "fmt " chunk: cbSize cut after its low byte.
Bytes Fmt17()
{
    Bytes body = FmtBody(kFormatPcm, 2, 44100, 16, 18);
    body[16] = 0x22;
    body.resize(17);
    return body;
}

std::vector<CorpusCase> Corpus()
{
    const Bytes canonical = SimpleWave(kFormatPcm, 2, 44100, 16, kSamples);
    const Bytes text = [] {
        const std::string s = "Not a sound file at all, just a line of text.\n";
        return Bytes(s.begin(), s.end());
    }();
    Bytes riffx = canonical;
    std::copy_n("RIFX", 4, riffx.begin());
    // fmt17 followed by "data" with no pad byte: the walk skips one byte and misses it.
    const Bytes fmtOddNoPad = Riff({Chunk("fmt ", Fmt17(), -1, false), Chunk("data", kSamples)});

    const char* stereo16 = "16bit , 44100Hz , stereo";
    const std::vector<Shown> none;
    const Bytes zeros0;
    return {
        // No RIFF chunk at all.
        {"text", Kind::Image, text, {kNotWave}, nullptr, nullptr, {kNotWave}, nullptr, {kNotWave}, kNotWaveRow},
        {"empty_file", Kind::Image, {}, {kNotWave}, nullptr, nullptr, {kNotWave}, nullptr, {kNotWave}, kNotWaveRow},
        {"riff_header_cut", Kind::Image, {'R', 'I', 'F', 'F', 0x10, 0}, {kNotWave}, nullptr, nullptr, {kNotWave},
         nullptr, {kNotWave}, kNotWaveRow},
        {"rifx_big_endian", Kind::Image, riffx, {kNotWave}, nullptr, nullptr, {kNotWave}, nullptr, {kNotWave},
         kNotWaveRow},
        // The RIFF size: smaller than the file with "data" outside it, smaller
        // but still holding the "data" header, larger than the file, 2^32 - 1.
        {"riff_smaller_data_outside", Kind::Image, WithRiffSize(canonical, 4 + 24), {kNotWave}, nullptr, nullptr,
         {kNotWave}, nullptr, {kNotWave}, kNotWaveRow},
        {"riff_smaller_ends_in_data", Kind::Image, WithRiffSize(canonical, 4 + 24 + 8 + 2), none, stereo16, kOk,
         none, stereo16, none, kOk, kSamples},
        {"riff_larger_than_file", Kind::Image, WithRiffSize(canonical, 4000), none, stereo16, kOk, none, stereo16,
         none, kOk, kSamples},
        {"riff_size_ffffffff", Kind::Image, WithRiffSize(canonical, 0xFFFFFFFFu), none, stereo16, kOk, none,
         stereo16, none, kOk, kSamples},
        // The "fmt " chunk.
        {"fmt_missing", Kind::Image, Riff({Chunk("data", kSamples)}), {kNotWave}, nullptr, nullptr, {kNotWave},
         nullptr, {kNotWave}, kNotWaveRow},
        {"fmt_after_data", Kind::Image, Riff({Chunk("data", kSamples), Chunk("fmt ", kFmt)}), {kNotWave}, nullptr,
         nullptr, {kNotWave}, nullptr, {kNotWave}, kNotWaveRow},
        // 12 bytes end before wBitsPerSample: a width of 0, which no target has.
        {"fmt_12_bytes", Kind::Image, Riff({Chunk("fmt ", FmtBody(kFormatPcm, 2, 44100, 16, 12)), Chunk("data", kSamples)}),
         none, "0bit , 44100Hz , stereo", kEngineFailure, none, "0bit , 44100Hz , stereo", none, kEngineFailure},
        {"fmt_empty", Kind::Image, Riff({Chunk("fmt ", {}), Chunk("data", kSamples)}), none, "0bit , 0Hz , stereo",
         kEngineFailure, none, "0bit , 0Hz , stereo", none, kEngineFailure},
        {"fmt_odd_with_pad", Kind::Image, Riff({Chunk("fmt ", Fmt17()), Chunk("data", kSamples)}), none, stereo16,
         kOk, none, stereo16, none, kOk, kSamples},
        {"fmt_odd_without_pad", Kind::Image, fmtOddNoPad, {kNotWave}, nullptr, nullptr, {kNotWave}, nullptr,
         {kNotWave}, kNotWaveRow},
        // 40-byte extensible chunks: the float sub-format is float everywhere, PCM is not.
        {"fmt_40_extensible_float", Kind::Image,
         Riff({Chunk("fmt ", ExtensibleFmtBody(2, 44100, 32, 3)), Chunk("data", Floats({0.5f, -0.5f, 0.25f, -1.0f}))}),
         {kFloatNotice}, "32bit(float) , 44100Hz , stereo", kOk, none, "32bit , 44100Hz , stereo", none, kOk,
         Pcm16({16384, -16384, 8192, -32768})},
        {"fmt_40_extensible_pcm", Kind::Image,
         Riff({Chunk("fmt ", ExtensibleFmtBody(2, 44100, 32, 1)), Chunk("data", Ints({0x10000, -0x10000, 0x7FFF0000, 0}))}),
         none, "32bit , 44100Hz , stereo", kOk, none, "32bit , 44100Hz , stereo", none, kOk, Pcm16({1, -1, 32767, 0})},
        // Chunk sizes near 2^32 jump past the end of the RIFF chunk.
        {"junk_size_ffffffff", Kind::Image,
         Riff({Chunk("JUNK", Bytes(4, 0), 0xFFFFFFFFu), Chunk("fmt ", kFmt), Chunk("data", kSamples)}), {kNotWave},
         nullptr, nullptr, {kNotWave}, nullptr, {kNotWave}, kNotWaveRow},
        {"fmt_size_fffffff8", Kind::Image, Riff({Chunk("fmt ", kFmt, 0xFFFFFFF8u), Chunk("data", kSamples)}),
         {kNotWave}, nullptr, nullptr, {kNotWave}, nullptr, {kNotWave}, kNotWaveRow},
        {"list_size_fffffffe_before_data", Kind::Image,
         Riff({Chunk("fmt ", kFmt), Chunk("LIST", Bytes(4, 'x'), 0xFFFFFFFEu), Chunk("data", kSamples)}), {kNotWave},
         nullptr, nullptr, {kNotWave}, nullptr, {kNotWave}, kNotWaveRow},
        // The "data" chunk.
        {"data_missing", Kind::Image, Riff({Chunk("fmt ", kFmt), Chunk("LIST", Bytes(6, 'y'))}), {kNotWave}, nullptr,
         nullptr, {kNotWave}, nullptr, {kNotWave}, kNotWaveRow},
        {"data_empty", Kind::Image, SimpleWave(kFormatPcm, 2, 44100, 16, {}), none, stereo16, kOk, none, stereo16,
         none, kOk, zeros0},
        {"data_odd_size", Kind::Image, SimpleWave(kFormatPcm, 2, 44100, 16, Bytes{1, 0, 2, 0, 3, 4, 5}), none,
         stereo16, kOk, none, stereo16, none, kOk, Bytes{1, 0, 2, 0, 3, 4, 5}},
        {"data_declares_more_than_the_file", Kind::Image, DeclaredData(64, kSamples), none, stereo16, kOk, none,
         stereo16, none, kOk, Concat(kSamples, Bytes(56, 0))},
        // More than a WAVE file can hold after conversion, even unchanged.
        {"data_declares_fffffff0", Kind::Image, DeclaredData(0xFFFFFFF0u, kSamples), none, stereo16, kEngineFailure,
         none, stereo16, none, kEngineFailure, {}, false},
        {"data_declares_ffffffff", Kind::Image, DeclaredData(0xFFFFFFFFu, kSamples), none, stereo16, kEngineFailure,
         none, stereo16, none, kEngineFailure, {}, false},
        // Formats: zero fields fail the conversion, unknown widths and channel
        // counts convert to zero samples of the rule's size.
        {"zero_rate", Kind::Image, SimpleWave(kFormatPcm, 2, 0, 16, kSamples), none, "16bit , 0Hz , stereo",
         kEngineFailure, none, "16bit , 0Hz , stereo", none, kEngineFailure},
        {"zero_channels", Kind::Image, SimpleWave(kFormatPcm, 0, 44100, 16, kSamples), none, stereo16,
         kEngineFailure, none, stereo16, none, kEngineFailure},
        {"zero_width", Kind::Image, SimpleWave(kFormatPcm, 2, 44100, 0, kSamples), none, "0bit , 44100Hz , stereo",
         kEngineFailure, none, "0bit , 44100Hz , stereo", none, kEngineFailure},
        {"four_bit", Kind::Image, SimpleWave(kFormatPcm, 2, 44100, 4, Bytes(8, 0x5A)), {kFourBitMain}, nullptr,
         nullptr, {kFourBitList}, nullptr, none, kOk, Bytes(32, 0)},
        {"twelve_bit", Kind::Image, SimpleWave(kFormatPcm, 2, 44100, 12, Bytes(12, 0x5A)), none,
         "12bit , 44100Hz , stereo", kOk, none, "12bit , 44100Hz , stereo", none, kOk, Bytes(16, 0)},
        {"float_64_bit", Kind::Image, SimpleWave(kFormatFloat, 2, 44100, 64, Bytes(16, 0x3F)), none,
         "64bit , 44100Hz , stereo", kOk, none, "64bit , 44100Hz , stereo", none, kOk, Bytes(4, 0)},
        {"six_channels", Kind::Image, SimpleWave(kFormatPcm, 6, 44100, 16, Bytes(24, 0x5A)), none, stereo16, kOk,
         none, stereo16, none, kOk, Bytes(8, 0)},
        // Not a readable regular file.
        {"folder", Kind::Folder, {}, {kReadError}, nullptr, nullptr, {kReadError}, nullptr, {kReadError}, kNotWaveRow},
        {"fifo", Kind::Fifo, {}, {kReadError}, nullptr, nullptr, {kReadError}, nullptr, {kReadError}, kNotWaveRow},
        {"unreadable", Kind::Unreadable, canonical, {kReadError}, nullptr, nullptr, {kReadError}, nullptr,
         {kReadError}, kNotWaveRow},
        // Loaded and listed while it existed, gone when the row runs; the main
        // window converts from the samples it holds.
        {"vanishes_before_the_run", Kind::Vanishes, canonical, none, stereo16, kOk, none, stereo16, {kReadError},
         kNotWaveRow, kSamples},
    };
}

// ------------------------------------------------------------- observation

std::string Hex(const Bytes& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

std::string Escaped(std::string text)
{
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2)
        text.replace(at, 1, "\\n");
    return text;
}

std::string IconName(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Warning: return "warning";
    case MessageIcon::Information: return "information";
    case MessageIcon::Error: return "error";
    }
    return "?";
}

std::string MessageLine(const std::string& where, MessageIcon icon, const std::string& text)
{
    return where + " message (" + IconName(icon) + "): " + Escaped(text);
}

std::string Expand(std::string text, const std::string& path)
{
    for (std::size_t at; (at = text.find("{path}")) != std::string::npos;)
        text.replace(at, 6, path);
    for (std::size_t at; (at = text.find("{name}")) != std::string::npos;)
        text.replace(at, 6, FileNamePart(path));
    return text;
}

void AddMessages(std::vector<std::string>& lines, const std::string& where, const RecordingSink& sink)
{
    for (const auto& [icon, text] : sink.messages)
        lines.push_back(MessageLine(where, icon, text));
}

// The entries of a folder with the content of each file, temporary files included.
void AddFolder(std::vector<std::string>& lines, const std::string& where, const std::string& folder)
{
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(folder))
        entries.push_back(entry.path().filename().string() + " = " + Hex(ReadFile(entry.path().string())));
    std::sort(entries.begin(), entries.end());
    if (entries.empty())
        lines.push_back(where + " folder: empty");
    for (const auto& e : entries)
        lines.push_back(where + " folder: " + e);
}

// A file loaded before each malformed one: a refused load must leave it in place.
const Bytes kPreviousSamples{1, 2, 3, 4, 5};
const Bytes kPrevious = SimpleWave(kFormatPcm, 1, 8000, 8, kPreviousSamples);

std::string RecordsState(const WaveRecords& records)
{
    const WAVEFORMATEX& f = records.SourceFormat;
    std::ostringstream s;
    s << f.wFormatTag << '/' << f.nChannels << '/' << f.nSamplesPerSec << '/' << f.wBitsPerSample << " float "
      << records.SourceIsFloat << " size " << records.Input.InputSize << " data ";
    if (records.Input.InputData.isNull())
        s << "none";
    else if (records.Input.InputSize <= 64)
        s << Hex(Bytes(records.Input.InputData.data(), records.Input.InputData.data() + records.Input.InputSize));
    return s.str();
}

struct Paths {
    std::string root, input, previous, mainOut, rowOut, streamOut;
};

Paths MakePaths(const TempDir& dir, const CorpusCase& c)
{
    Paths p{dir.path(), dir.file(std::string(c.name) + ".wav"), dir.file("previous.wav"), dir.file("main-out"),
            dir.file("row-out"), dir.file("stream-out")};
    for (const auto& folder : {p.mainOut, p.rowOut, p.streamOut})
        fs::create_directory(folder);
    WriteFile(p.previous, kPrevious);
    switch (c.kind) {
    case Kind::Image:
    case Kind::Unreadable:
    case Kind::Vanishes: WriteFile(p.input, c.image); break;
    case Kind::Folder: fs::create_directory(p.input); break;
    case Kind::Fifo: ::mkfifo(p.input.c_str(), 0644); break;
    }
    if (c.kind == Kind::Unreadable) {
        ::chmod(p.input.c_str(), 0);
        ::chmod(p.root.c_str(), 0755);  // the folder stays open to the unprivileged reader
    }
    return p;
}

std::string InputState(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return "gone";
    if (S_ISFIFO(st.st_mode))
        return "fifo";
    if (S_ISDIR(st.st_mode))
        return fs::is_empty(path) ? "empty folder" : "folder with entries";
    return "file " + Hex(ReadFile(path)) + " mode " + std::to_string(st.st_mode & 07777);
}

// The main window: load, then convert as "Conv." does.
void ObserveMainWindow(const CorpusCase& c, const Paths& p, std::vector<std::string>& lines)
{
    WaveRecords records;
    RecordingSink previousSink;
    if (!LoadWaveFile(p.previous, records, previousSink))
        lines.push_back("main: the previous file did not load");
    const std::string before = RecordsState(records);

    RecordingSink sink;
    if (!c.cheapLoad) {
        auto opened = OpenWaveFile(p.input, WaveChecks::MainWindow, sink);
        AddMessages(lines, "main", sink);
        if (!opened) {
            lines.push_back("main: refused, records kept");
            return;
        }
        lines.push_back("main: loaded, " + MainInfoLine(opened->chunks.format, opened->chunks.floatSamples));
        try {
            PlanFileConversion(opened->chunks, kTarget);
            lines.push_back("main convert: OK");
        } catch (const ConversionError&) {
            lines.push_back(std::string("main convert: ") + kEngineFailure);
        }
        return;
    }

    const bool loaded = LoadWaveFile(p.input, records, sink);
    AddMessages(lines, "main", sink);
    if (!loaded) {
        lines.push_back(RecordsState(records) == before ? "main: refused, records kept"
                                                         : "main: refused, records changed to " + RecordsState(records));
        return;
    }
    lines.push_back("main: loaded, " + MainInfoLine(records.SourceFormat, records.SourceIsFloat));
    if (c.kind == Kind::Vanishes)
        fs::remove(p.input);

    const WAVEFORMATEX& s = records.SourceFormat;
    try {
        ConvertSamples(s.wBitsPerSample, s.nSamplesPerSec, s.nChannels, kTarget.wBitsPerSample,
                       kTarget.nSamplesPerSec, kTarget.nChannels, records.Input, records.Work);
        auto out = AtomicFile::Create(p.mainOut + "/out.wav");
        lines.push_back(out && WriteWaveFile(*out, kTarget, records.Work) ? "main convert: OK"
                                                                          : "main convert: not written");
    } catch (const ConversionError&) {
        lines.push_back(std::string("main convert: ") + kEngineFailure);
    }
    AddFolder(lines, "main", p.mainOut);
}

// One row of a batch run; the records hold the previous file when it starts.
std::vector<std::string> ObserveRow(const Paths& p, const std::string& outFolder, BatchRun::Mode mode)
{
    std::vector<std::string> lines;
    WaveRecords records;
    RecordingSink previousSink;
    if (!LoadBatchFile(p.previous, records, previousSink))
        lines.push_back("row: the previous file did not load");
    const std::string before = RecordsState(records);

    BatchRun run(outFolder, mode);
    RecordingSink sink;
    std::string result;
    try {
        result = RowResultText(run.convertRow(FolderPart(p.input), FileNamePart(p.input), kTarget, records, sink));
    } catch (const ConversionError&) {
        result = kEngineFailure;
    }
    AddMessages(lines, "row", sink);
    lines.push_back("row: " + result);
    // A refused load keeps the previous file; one that loaded and then failed the engine need not.
    if (mode == BatchRun::Mode::WholeBlock && result == kNotWaveRow && RecordsState(records) != before)
        lines.push_back("row: records changed to " + RecordsState(records));
    AddFolder(lines, "row", outFolder);
    return lines;
}

std::vector<std::string> Observe(const CorpusCase& c, const Paths& p)
{
    std::vector<std::string> lines;
    const std::string inputBefore = InputState(p.input);

    ObserveMainWindow(c, p, lines);
    if (c.kind == Kind::Vanishes && !fs::exists(p.input))
        WriteFile(p.input, c.image);  // back for the list

    RecordingSink listSink;
    auto listed = AddFileToList(p.input, listSink);
    AddMessages(lines, "list", listSink);
    lines.push_back(listed ? "list: " + listed->folder + " | " + listed->name + " | " + listed->info
                           : "list: not listed");

    if (c.kind == Kind::Vanishes)
        fs::remove(p.input);
    // The windows run whole blocks, the command-line tool streams: both must agree.
    const auto row = ObserveRow(p, p.rowOut, c.cheapLoad ? BatchRun::Mode::WholeBlock : BatchRun::Mode::Streaming);
    lines.insert(lines.end(), row.begin(), row.end());
    if (c.cheapLoad) {
        auto stream = ObserveRow(p, p.streamOut, BatchRun::Mode::Streaming);
        lines.push_back(stream == row ? "stream: as the whole-block row" : "stream: differs");
        if (stream != row)
            lines.insert(lines.end(), stream.begin(), stream.end());
    }

    const std::string inputAfter = InputState(p.input);
    if (c.kind == Kind::Vanishes)
        lines.push_back("input: " + inputAfter);
    else
        lines.push_back(inputAfter == inputBefore ? "input: unchanged" : "input: was " + inputBefore + ", now " + inputAfter);
    return lines;
}

// The writer's file: the 44-byte header and the data, with no pad byte after odd data.
Bytes CanonicalFile(const WAVEFORMATEX& format, const Bytes& data)
{
    Bytes b;
    PutId(b, "RIFF");
    PutLE32(b, uint32_t(36 + data.size()));
    PutId(b, "WAVE");
    PutId(b, "fmt ");
    PutLE32(b, 16);
    const auto fmt = EncodeWaveFormat16(format);
    b.insert(b.end(), fmt.begin(), fmt.end());
    PutId(b, "data");
    PutLE32(b, uint32_t(data.size()));
    return Concat(b, data);
}

std::vector<std::string> Expected(const CorpusCase& c, const Paths& p)
{
    std::vector<std::string> lines;
    const Bytes output = CanonicalFile(kTarget, c.outputData);
    for (const auto& m : c.mainMessages)
        lines.push_back(MessageLine("main", m.icon, Expand(m.text, p.input)));
    if (!c.mainInfo) {
        lines.push_back("main: refused, records kept");
    } else {
        lines.push_back(std::string("main: loaded, ") + c.mainInfo);
        lines.push_back(std::string("main convert: ") + c.mainConvert);
        if (c.cheapLoad)
            lines.push_back(c.mainConvert == std::string(kOk) ? "main folder: out.wav = " + Hex(output)
                                                              : "main folder: empty");
    }

    for (const auto& m : c.listMessages)
        lines.push_back(MessageLine("list", m.icon, Expand(m.text, p.input)));
    lines.push_back(c.listInfo ? "list: " + p.root + "/ | " + FileNamePart(p.input) + " | " + c.listInfo
                               : "list: not listed");

    for (const auto& m : c.rowMessages)
        lines.push_back(MessageLine("row", m.icon, Expand(m.text, p.input)));
    lines.push_back(std::string("row: ") + c.rowResult);
    lines.push_back(c.rowResult == std::string(kOk) ? "row folder: " + FileNamePart(p.input) + " = " + Hex(output)
                                                    : "row folder: empty");
    if (c.cheapLoad)
        lines.push_back("stream: as the whole-block row");
    lines.push_back(c.kind == Kind::Vanishes ? "input: gone" : "input: unchanged");
    return lines;
}

std::vector<std::string> SplitLines(const std::string& report)
{
    std::vector<std::string> lines;
    std::istringstream in(report);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void PrintTo(const CorpusCase& c, std::ostream* out) { *out << c.name; }

class MalformedCorpus : public testing::TestWithParam<CorpusCase> {};

TEST_P(MalformedCorpus, WholeOutcome)
{
    const CorpusCase& c = GetParam();
    TempDir dir;
    const Paths p = MakePaths(dir, c);
    std::vector<std::string> observed;
    if (c.kind == Kind::Unreadable) {
        // Root reads any file: the unreadable case runs as an unprivileged user.
        ChildLimits asNobody;
        asNobody.unprivileged = true;
        ChildResult child = RunInChild(asNobody, [&] {
            std::string report;
            for (const auto& line : Observe(c, p))
                report += line + "\n";
            return report;
        });
        ASSERT_TRUE(child.exited && child.status == 0) << "child status " << child.status;
        observed = SplitLines(child.report);
    } else {
        observed = Observe(c, p);
    }
    EXPECT_EQ(observed, Expected(c, p));
}

INSTANTIATE_TEST_SUITE_P(Files, MalformedCorpus, testing::ValuesIn(Corpus()),
                         [](const testing::TestParamInfo<CorpusCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvant
