// The three load operations on real files: which files they accept, the
// messages (text and icon) they report, what they leave in the records, and
// the texts that describe a file.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "recording_sink.h"
#include "temp_dir.h"
#include "wave/path_parts.h"
#include "wave/wave_loader.h"
#include "wave/wave_texts.h"
#include "wave_builder.h"

namespace quorvant {
namespace {

using test::Bytes;
using test::Chunk;
using test::FmtBody;
using test::RecordingSink;
using test::Riff;
using test::SimpleWave;
using test::TempDir;

using Message = std::pair<MessageIcon, std::string>;

constexpr const char* kNotWave = "{notwave}";          // "File <path> is not an effective WAVE file."
constexpr const char* kFourBitListed = "{fourbit-list}";  // the two-line form naming the file

std::string Expand(const std::string& text, const std::string& path)
{
    if (text == kNotWave)
        return "File " + path + " is not an effective WAVE file.";
    if (text == kFourBitListed)
        return "The 4bit format file doesn't open out.\n[" + FileNamePart(path) + "]";
    return text;
}

const Message kReadFailed{MessageIcon::Warning, "The error occurred by the file reading."};
const Message kNotEffective{MessageIcon::Warning, kNotWave};
const Message kFourBitMain{MessageIcon::Warning, "The 4bit format file doesn't open out."};
const Message kFourBitList{MessageIcon::Warning, kFourBitListed};
const Message kFloatNotice{MessageIcon::Information,
                           "It is 32 bit floating type. It converts it into the integer type."};

using quorvant::test::Floats;

Bytes Ints(std::initializer_list<int32_t> values)
{
    Bytes b;
    for (int32_t v : values)
        test::PutLE32(b, uint32_t(v));
    return b;
}

const Bytes kPcm16 = {1, 0, 2, 0, 0xFF, 0x7F, 0x00, 0x80};

enum class Kind { File, Missing, Folder };

struct Expect {
    bool loaded;
    std::vector<Message> messages;
};

struct LoadCase {
    const char* name;
    Bytes image;
    Expect main, list, batch;
    Kind kind = Kind::File;
    // For loads that succeed: the format the records hold and the texts shown.
    std::optional<WAVEFORMATEX> format = std::nullopt;
    const char* mainInfo = nullptr;
    const char* listInfo = nullptr;
    bool isFloat = false;
};

WAVEFORMATEX Format(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t avg, uint16_t align, uint16_t bits,
                    uint16_t cbSize = 0)
{
    return WAVEFORMATEX{tag, channels, rate, avg, align, bits, cbSize};
}

const Expect kOk{true, {}};
const Expect kRefusedNotWave{false, {kNotEffective}};
const Expect kRefusedRead{false, {kReadFailed}};

Bytes FmtOfSize(std::size_t size, uint16_t cbSize)
{
    Bytes body = FmtBody(1, 2, 44100, 16, 18);
    WriteLE16(body.data() + 16, cbSize);
    body.resize(size, 0xA5);
    return body;
}

std::vector<LoadCase> Cases()
{
    const Bytes text = [] {
        std::string s = "This is a plain text file, not a WAVE file at all.\nSecond line.\n";
        return Bytes(s.begin(), s.end());
    }();
    Bytes fmt18 = FmtBody(1, 2, 44100, 16, 18);
    fmt18[16] = 0x34;  // a cbSize that a 16-byte chunk must not leave behind
    return {
        {"canonical", SimpleWave(1, 2, 44100, 16, kPcm16), kOk, kOk, kOk, Kind::File,
         Format(1, 2, 44100, 176400, 4, 16), "16bit , 44100Hz , stereo", "16bit , 44100Hz , stereo"},
        {"fmt18_keeps_cbsize", Riff({Chunk("fmt ", fmt18), Chunk("data", kPcm16)}), kOk, kOk, kOk, Kind::File,
         Format(1, 2, 44100, 176400, 4, 16, 0x34)},
        {"fmt14", Riff({Chunk("fmt ", FmtBody(1, 1, 22050, 8, 14)), Chunk("data", Bytes{1, 2, 3})}), kOk, kOk,
         kOk, Kind::File, Format(1, 1, 22050, 22050, 1, 0), "0bit , 22050Hz , mono", "0bit , 22050Hz , mono"},
        {"fmt17_odd_with_pad", Riff({Chunk("fmt ", FmtOfSize(17, 0x0102)), Chunk("data", kPcm16)}), kOk, kOk,
         kOk, Kind::File, Format(1, 2, 44100, 176400, 4, 16, 0x02)},
        {"fmt22_longer", Riff({Chunk("fmt ", FmtOfSize(22, 0x0004)), Chunk("data", kPcm16)}), kOk, kOk, kOk,
         Kind::File, Format(1, 2, 44100, 176400, 4, 16, 0x04)},
        {"list_between", Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 16)), Chunk("LIST", Bytes(13, 'x')),
                               Chunk("data", kPcm16)}),
         kOk, kOk, kOk, Kind::File, Format(1, 2, 44100, 176400, 4, 16)},
        {"junk_before_fmt", Riff({Chunk("JUNK", Bytes(5, 0)), Chunk("fmt ", FmtBody(1, 2, 44100, 16)),
                                  Chunk("data", kPcm16), Chunk("id3 ", Bytes(7, 1))}),
         kOk, kOk, kOk, Kind::File, Format(1, 2, 44100, 176400, 4, 16)},
        {"data_before_fmt", Riff({Chunk("data", kPcm16), Chunk("fmt ", FmtBody(1, 2, 44100, 16))}),
         kRefusedNotWave, kRefusedNotWave, kRefusedNotWave},
        {"no_data", Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 16))}), kRefusedNotWave, kRefusedNotWave,
         kRefusedNotWave},
        {"no_fmt", Riff({Chunk("data", kPcm16)}), kRefusedNotWave, kRefusedNotWave, kRefusedNotWave},
        {"fmt_past_end", Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 16), 4000)}), kRefusedNotWave,
         kRefusedNotWave, kRefusedNotWave},
        {"other_form", Riff({Chunk("fmt ", FmtBody(1, 2, 44100, 16)), Chunk("data", kPcm16)}, "AVI "), kOk, kOk,
         kOk, Kind::File, Format(1, 2, 44100, 176400, 4, 16)},
        {"text_file", text, kRefusedNotWave, kRefusedNotWave, kRefusedNotWave},
        {"empty_file", Bytes{}, kRefusedNotWave, kRefusedNotWave, kRefusedNotWave},
        {"missing", Bytes{}, kRefusedRead, kRefusedRead, kRefusedRead, Kind::Missing},
        {"folder", Bytes{}, kRefusedRead, kRefusedRead, kRefusedRead, Kind::Folder},
        {"four_bit", SimpleWave(1, 1, 8000, 4, Bytes{0x12, 0x34}), {false, {kFourBitMain}},
         {false, {kFourBitList}}, kOk, Kind::File, Format(1, 1, 8000, 0, 0, 4)},
        {"float", SimpleWave(3, 1, 48000, 32, Floats({0.5f})), {true, {kFloatNotice}}, kOk, kOk, Kind::File,
         Format(3, 1, 48000, 192000, 4, 32), "32bit(float) , 48000Hz , mono", "32bit , 48000Hz , mono", true},
        {"float_stereo_listed", SimpleWave(3, 2, 44100, 32, Floats({0.5f, 0.5f})), {true, {kFloatNotice}}, kOk,
         kOk, Kind::File, Format(3, 2, 44100, 352800, 8, 32), "32bit(float) , 44100Hz , stereo",
         "32bit , 44100Hz , stereo", true},
        {"float_tag_64bit", SimpleWave(3, 1, 44100, 64, Bytes(8, 0x3F)), kOk, kOk, kOk, Kind::File,
         Format(3, 1, 44100, 352800, 8, 64), "64bit , 44100Hz , mono", "64bit , 44100Hz , mono"},
        {"pcm_32bit", SimpleWave(1, 2, 44100, 32, Ints({1, -1})), kOk, kOk, kOk, Kind::File,
         Format(1, 2, 44100, 352800, 8, 32), "32bit , 44100Hz , stereo", "32bit , 44100Hz , stereo"},
        {"extensible_float",
         Riff({Chunk("fmt ", test::ExtensibleFmtBody(2, 96000, 32, 3)), Chunk("data", Floats({0.5f, -1.0f}))}),
         {true, {kFloatNotice}}, kOk, kOk, Kind::File, Format(kFormatExtensible, 2, 96000, 768000, 8, 32, 22),
         "32bit(float) , 96000Hz , stereo", "32bit , 96000Hz , stereo", true},
        {"extensible_pcm",
         Riff({Chunk("fmt ", test::ExtensibleFmtBody(2, 96000, 32, 1)), Chunk("data", Ints({7, 8}))}), kOk, kOk,
         kOk, Kind::File, Format(kFormatExtensible, 2, 96000, 768000, 8, 32, 22), "32bit , 96000Hz , stereo",
         "32bit , 96000Hz , stereo"},
        {"six_channels", SimpleWave(1, 6, 48000, 16, Bytes(12, 0)), kOk, kOk, kOk, Kind::File,
         Format(1, 6, 48000, 576000, 12, 16), "16bit , 48000Hz , stereo", "16bit , 48000Hz , stereo"},
        {"tag2_adpcm", SimpleWave(2, 1, 22050, 16, Bytes{9, 9}), kOk, kOk, kOk, Kind::File,
         Format(2, 1, 22050, 44100, 2, 16)},
        {"twelve_bits", SimpleWave(1, 1, 8000, 12, Bytes{1, 2, 3, 4}), kOk, kOk, kOk, Kind::File,
         Format(1, 1, 8000, 8000, 1, 12), "12bit , 8000Hz , mono", "12bit , 8000Hz , mono"},
        {"empty_data", SimpleWave(1, 2, 44100, 16, Bytes{}), kOk, kOk, kOk, Kind::File,
         Format(1, 2, 44100, 176400, 4, 16)},
        {"24bit_96k", SimpleWave(1, 2, 96000, 24, Bytes(6, 0x11)), kOk, kOk, kOk, Kind::File,
         Format(1, 2, 96000, 576000, 6, 24), "24bit , 96000Hz , stereo", "24bit , 96000Hz , stereo"},
    };
}

std::string Prepare(const TempDir& dir, const LoadCase& c)
{
    std::string path = dir.file(std::string(c.name) + ".wav");
    if (c.kind == Kind::File)
        test::WriteFile(path, c.image);
    else if (c.kind == Kind::Folder)
        std::filesystem::create_directory(path);
    return path;
}

std::vector<Message> Expanded(const std::vector<Message>& messages, const std::string& path)
{
    std::vector<Message> out;
    for (const auto& [icon, text] : messages)
        out.emplace_back(icon, Expand(text, path));
    return out;
}

class LoaderTable : public testing::TestWithParam<LoadCase> {};

TEST_P(LoaderTable, LoadWaveFile)
{
    const LoadCase& c = GetParam();
    TempDir dir;
    const std::string path = Prepare(dir, c);
    WaveRecords records;
    RecordingSink sink;
    EXPECT_EQ(LoadWaveFile(path, records, sink), c.main.loaded);
    EXPECT_EQ(sink.messages, Expanded(c.main.messages, path));
    // Only the main window's load announces the read, and only once it gets there.
    EXPECT_EQ(sink.readings, c.main.loaded ? 1 : 0);
    EXPECT_EQ(records.Input.InputData.isNull(), !c.main.loaded);
    if (c.main.loaded) {
        if (c.format) {
            EXPECT_EQ(records.SourceFormat, *c.format);
        }
        EXPECT_EQ(records.SourceIsFloat, c.isFloat);
        if (c.mainInfo) {
            EXPECT_EQ(MainInfoLine(records.SourceFormat, records.SourceIsFloat), c.mainInfo);
        }
    }
}

TEST_P(LoaderTable, AddFileToList)
{
    const LoadCase& c = GetParam();
    TempDir dir;
    const std::string path = Prepare(dir, c);
    RecordingSink sink;
    auto listed = AddFileToList(path, sink);
    EXPECT_EQ(listed.has_value(), c.list.loaded);
    EXPECT_EQ(sink.messages, Expanded(c.list.messages, path));
    EXPECT_EQ(sink.readings, 0);
    if (listed) {
        EXPECT_EQ(listed->folder, dir.path() + "/");
        EXPECT_EQ(listed->name, std::string(c.name) + ".wav");
        if (c.format) {
            EXPECT_EQ(listed->format, *c.format);
        }
        if (c.listInfo) {
            EXPECT_EQ(listed->info, c.listInfo);
        }
        EXPECT_EQ(listed->info, ListInfoText(listed->format));
    }
}

TEST_P(LoaderTable, LoadBatchFile)
{
    const LoadCase& c = GetParam();
    TempDir dir;
    const std::string path = Prepare(dir, c);
    WaveRecords records;
    RecordingSink sink;
    EXPECT_EQ(LoadBatchFile(path, records, sink), c.batch.loaded);
    EXPECT_EQ(sink.messages, Expanded(c.batch.messages, path));
    EXPECT_EQ(sink.readings, 0);
    EXPECT_EQ(records.Input.InputData.isNull(), !c.batch.loaded);
    if (c.batch.loaded) {
        if (c.format) {
            EXPECT_EQ(records.SourceFormat, *c.format);
        }
        EXPECT_EQ(records.SourceIsFloat, c.isFloat);
    }
}

INSTANTIATE_TEST_SUITE_P(EdgeCases, LoaderTable, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

// Loads one image with the main window's and the batch run's operation and
// returns both blocks, which must agree.
Bytes LoadedBlock(const Bytes& image, uint32_t expectedSize)
{
    TempDir dir;
    const std::string path = dir.file("in.wav");
    test::WriteFile(path, image);
    WaveRecords main, batch;
    RecordingSink mainSink, batchSink;
    EXPECT_TRUE(LoadWaveFile(path, main, mainSink));
    EXPECT_TRUE(LoadBatchFile(path, batch, batchSink));
    EXPECT_EQ(main.Input.InputSize, expectedSize);
    EXPECT_EQ(batch.Input.InputSize, expectedSize);
    if (main.Input.InputData.isNull() || batch.Input.InputData.isNull())
        return {};
    Bytes a(main.Input.InputData.data(), main.Input.InputData.data() + main.Input.InputSize);
    Bytes b(batch.Input.InputData.data(), batch.Input.InputData.data() + batch.Input.InputSize);
    EXPECT_EQ(a, b);
    return a;
}

TEST(LoaderSamples, CanonicalBlockIsReadAsIs)
{
    Bytes samples(400);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = uint8_t(i * 7 + 3);
    EXPECT_EQ(LoadedBlock(SimpleWave(1, 2, 44100, 16, samples), 400), samples);
}

TEST(LoaderSamples, FloatSamplesBecomeSaturatedIntegers)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float justBelowOne = std::nextafter(1.0f, 0.0f);  // 1 - 2^-24
    const float pointNine = std::ldexp(0.9f, -31);           // product 0.9: truncates to 0
    const float minusOnePointFive = std::ldexp(-1.5f, -31);  // product -1.5: truncates to -1
    const Bytes block = LoadedBlock(
        SimpleWave(3, 1, 44100, 32,
                   Floats({0.0f, 0.5f, -1.0f, 1.0f, 1.5f, -1.5f, inf, -inf, nan, -0.5f, justBelowOne, pointNine,
                           -pointNine, minusOnePointFive, -0.0f, 1e30f, -1e30f})),
        17 * 4);
    EXPECT_EQ(block, Ints({0, 1073741824, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN, 0,
                           -1073741824, 2147483520, 0, 0, -1, 0, INT32_MAX, INT32_MIN}));
}

TEST(LoaderSamples, FloatBlockKeepsTrailingPartialSample)
{
    Bytes data = Floats({0.5f, -0.25f});
    data.push_back(0xAB);
    data.push_back(0xCD);
    Bytes expected = Ints({1073741824, -536870912});
    expected.push_back(0xAB);
    expected.push_back(0xCD);
    EXPECT_EQ(LoadedBlock(SimpleWave(3, 2, 44100, 32, data), 10), expected);
}

TEST(LoaderSamples, ExtensibleFloatIsConvertedAndKeepsItsTag)
{
    const Bytes image =
        Riff({Chunk("fmt ", test::ExtensibleFmtBody(2, 48000, 32, 3)), Chunk("data", Floats({0.5f, -1.0f}))});
    EXPECT_EQ(LoadedBlock(image, 8), Ints({1073741824, INT32_MIN}));
}

TEST(LoaderSamples, NonFloatFormatsAreNotConverted)
{
    const Bytes raw = Floats({0.5f, -1.0f});
    const std::pair<const char*, Bytes> cases[] = {
        {"tag 3, 64 bits", SimpleWave(3, 1, 44100, 64, raw)},
        {"tag 1, 32 bits", SimpleWave(1, 2, 44100, 32, raw)},
        {"tag 3, 24 bits", SimpleWave(3, 1, 44100, 24, raw)},
        {"extensible PCM", Riff({Chunk("fmt ", test::ExtensibleFmtBody(2, 48000, 32, 1)), Chunk("data", raw)})},
        {"extensible float, 24 bits",
         Riff({Chunk("fmt ", test::ExtensibleFmtBody(2, 48000, 24, 3)), Chunk("data", raw)})},
        // Tag 0xFFFE in a chunk too short for a sub-format is not float.
        {"tag 0xFFFE, 18 bytes", Riff({Chunk("fmt ", FmtBody(kFormatExtensible, 2, 48000, 32, 18)), Chunk("data", raw)})},
    };
    for (const auto& [name, image] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(LoadedBlock(image, 8), raw);
    }
}

TEST(LoaderSamples, EmptyDataChunkGivesAllocatedEmptyBlock)
{
    TempDir dir;
    const std::string path = dir.file("empty.wav");
    test::WriteFile(path, SimpleWave(1, 2, 44100, 16, {}));
    WaveRecords main, batch;
    RecordingSink sink;
    ASSERT_TRUE(LoadWaveFile(path, main, sink));
    ASSERT_TRUE(LoadBatchFile(path, batch, sink));
    EXPECT_EQ(main.Input.InputSize, 0u);
    EXPECT_FALSE(main.Input.InputData.isNull());
    EXPECT_EQ(batch.Input.InputSize, 0u);
    EXPECT_FALSE(batch.Input.InputData.isNull());
    EXPECT_TRUE(sink.messages.empty());
}

// A 16-bit stereo file cut short: its headers declare `declared` sample
// bytes, of which only `present` made it into the file.
Bytes TruncatedWave(const Bytes& present, uint32_t declared)
{
    const Bytes fmt = Chunk("fmt ", FmtBody(1, 2, 44100, 16));
    return Riff({fmt, Chunk("data", present, declared)}, "WAVE", int64_t(4 + fmt.size() + 8) + declared);
}

TEST(LoaderSamples, DataLongerThanFileKeepsDeclaredSizeAndReadsZeros)
{
    // Leave freed, non-zero memory of the same size behind first, so that a
    // block that is not cleared would show it.
    constexpr uint32_t kDeclared = 4096;
    Bytes present = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const Bytes image = TruncatedWave(present, kDeclared);
    Bytes expected = present;
    expected.resize(kDeclared, 0);

    WaveRecords records;
    RecordingSink sink;
    {
        WaveRecords scratch;
        const Bytes dirty = SimpleWave(1, 2, 44100, 16, Bytes(kDeclared, 0xCD));
        MemorySource source(dirty);
        ASSERT_TRUE(LoadBatchSource(source, "dirty", scratch, sink));
    }
    MemorySource source(image);
    ASSERT_TRUE(LoadBatchSource(source, "short", records, sink));
    ASSERT_EQ(records.Input.InputSize, kDeclared);
    EXPECT_EQ(Bytes(records.Input.InputData.data(), records.Input.InputData.data() + kDeclared), expected);
    EXPECT_TRUE(sink.messages.empty());

    EXPECT_EQ(LoadedBlock(image, kDeclared), expected);
}

// A load that fails must leave every record as the last successful one left it.
TEST(LoaderAtomic, FailedLoadKeepsPreviousRecords)
{
    TempDir dir;
    const std::string good = dir.file("good.wav");
    test::WriteFile(good, SimpleWave(3, 1, 48000, 32, Floats({0.5f, -0.5f})));
    const std::string notWave = dir.file("text.wav");
    test::WriteFile(notWave, Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'});
    const std::string fourBit = dir.file("four.wav");
    test::WriteFile(fourBit, SimpleWave(1, 2, 22050, 4, Bytes(4, 0x77)));
    const std::string noData = dir.file("nodata.wav");
    test::WriteFile(noData, Riff({Chunk("fmt ", FmtBody(1, 2, 8000, 8))}));
    const std::string missing = dir.file("missing.wav");

    using Loader = bool (*)(const std::string&, WaveRecords&, MessageSink&);
    const std::pair<const char*, Loader> loaders[] = {{"LoadWaveFile", LoadWaveFile}, {"LoadBatchFile", LoadBatchFile}};
    for (const auto& [loaderName, load] : loaders) {
        for (const std::string& bad : {notWave, fourBit, noData, missing}) {
            if (bad == fourBit && load == LoadBatchFile)
                continue;  // the batch run loads 4-bit files
            SCOPED_TRACE(std::string(loaderName) + " " + bad);
            WaveRecords records;
            RecordingSink sink;
            ASSERT_TRUE(load(good, records, sink));
            const WAVEFORMATEX format = records.SourceFormat;
            const uint8_t* block = records.Input.InputData.data();
            const Bytes samples(block, block + records.Input.InputSize);

            EXPECT_FALSE(load(bad, records, sink));
            EXPECT_EQ(records.SourceFormat, format);
            EXPECT_TRUE(records.SourceIsFloat);
            EXPECT_EQ(records.Input.InputData.data(), block);
            ASSERT_EQ(records.Input.InputSize, samples.size());
            EXPECT_EQ(Bytes(block, block + samples.size()), samples);
        }
    }
}

TEST(LoaderAtomic, SuccessfulLoadReplacesEverything)
{
    TempDir dir;
    const std::string first = dir.file("first.wav");
    test::WriteFile(first, SimpleWave(3, 1, 48000, 32, Floats({0.5f})));
    const std::string second = dir.file("second.wav");
    test::WriteFile(second, SimpleWave(1, 2, 44100, 16, kPcm16));
    WaveRecords records;
    RecordingSink sink;
    ASSERT_TRUE(LoadWaveFile(first, records, sink));
    ASSERT_TRUE(LoadWaveFile(second, records, sink));
    EXPECT_EQ(records.SourceFormat, Format(1, 2, 44100, 176400, 4, 16));
    EXPECT_FALSE(records.SourceIsFloat);
    ASSERT_EQ(records.Input.InputSize, kPcm16.size());
    EXPECT_EQ(Bytes(records.Input.InputData.data(), records.Input.InputData.data() + 8), kPcm16);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST(LoaderAtomic, UnallocatableDataChunkIsReportedAndKeepsState)
{
    if (kAddressSanitizer)
        GTEST_SKIP() << "address-space limits and the sanitizer's shadow memory do not mix";
    // In a child whose address space is too small for a 4 GiB block.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{std::size_t(512) << 20, std::size_t(512) << 20};
        if (::setrlimit(RLIMIT_AS, &limit) != 0)
            ::_exit(10);
        WaveRecords records;
        RecordingSink sink;
        Bytes good = SimpleWave(1, 2, 44100, 16, kPcm16);
        MemorySource goodSource(good);
        if (!LoadBatchSource(goodSource, "good", records, sink))
            ::_exit(11);
        const Bytes huge = TruncatedWave(Bytes(16, 1), 0xFFFFFF00u);
        MemorySource hugeSource(huge);
        for (int op = 0; op < 2; ++op) {
            bool loaded = op == 0 ? LoadWaveSource(hugeSource, "huge", records, sink)
                                  : LoadBatchSource(hugeSource, "huge", records, sink);
            if (loaded)
                ::_exit(12);
        }
        if (sink.messages.size() != 2 ||
            sink.messages[0] != Message(MessageIcon::Warning, texts::kOutOfMemory) ||
            sink.messages[1] != Message(MessageIcon::Warning, texts::kOutOfMemory))
            ::_exit(13);
        if (records.Input.InputSize != kPcm16.size() ||
            !std::equal(kPcm16.begin(), kPcm16.end(), records.Input.InputData.data()) ||
            !(records.SourceFormat == Format(1, 2, 44100, 176400, 4, 16)))
            ::_exit(14);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10 setrlimit, 11 first load, 12 huge load succeeded, "
                                         "13 wrong messages, 14 records changed";
}

TEST(WaveTexts, MainInfoLineAndListInfoText)
{
    struct Row {
        WAVEFORMATEX format;
        bool isFloat;
        const char* main;
        const char* list;
    };
    const Row rows[] = {
        {Format(1, 2, 44100, 176400, 4, 16), false, "16bit , 44100Hz , stereo", "16bit , 44100Hz , stereo"},
        {Format(3, 1, 48000, 192000, 4, 32), true, "32bit(float) , 48000Hz , mono", "32bit , 48000Hz , mono"},
        {Format(1, 2, 96000, 576000, 6, 24), false, "24bit , 96000Hz , stereo", "24bit , 96000Hz , stereo"},
        {Format(3, 2, 44100, 352800, 8, 32), true, "32bit(float) , 44100Hz , stereo", "32bit , 44100Hz , stereo"},
        {Format(1, 1, 8000, 8000, 1, 8), false, "8bit , 8000Hz , mono", "8bit , 8000Hz , mono"},
        {Format(1, 0, 0, 0, 0, 0), false, "0bit , 0Hz , stereo", "0bit , 0Hz , stereo"},
        {Format(1, 6, 4294967295u, 0, 0, 65535), false, "65535bit , 4294967295Hz , stereo",
         "65535bit , 4294967295Hz , stereo"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(MainInfoLine(r.format, r.isFloat), r.main);
        EXPECT_EQ(ListInfoText(r.format), r.list);
    }
}

TEST(PathParts, FolderAndFileName)
{
    struct Row {
        const char* path;
        const char* folder;
        const char* name;
    };
    const Row rows[] = {
        {"/home/user/music/take 1.wav", "/home/user/music/", "take 1.wav"},
        {"/a.wav", "/", "a.wav"},
        {"a.wav", "", "a.wav"},
        {"rel/dir/a.wav", "rel/dir/", "a.wav"},
        {"/music/", "/music/", ""},
        {"//double//a.wav", "//double//", "a.wav"},
        {"C:\\music\\a.wav", "", "C:\\music\\a.wav"},  // neither '\' nor ':' separates here
        {"/m\xC3\xBAsica/\xE9\x9F\xB3.wav", "/m\xC3\xBAsica/", "\xE9\x9F\xB3.wav"},
        {"/odd/\x81\x5C.wav", "/odd/", "\x81\x5C.wav"},  // bytes kept as given
        {"", "", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.path);
        EXPECT_EQ(FolderPart(r.path), r.folder);
        EXPECT_EQ(FileNamePart(r.path), r.name);
        EXPECT_EQ(FolderPart(r.path) + FileNamePart(r.path), r.path);
    }
}

TEST(PathParts, JoinPath)
{
    EXPECT_EQ(JoinPath("/out", "a.wav"), "/out/a.wav");
    EXPECT_EQ(JoinPath("/out/", "a.wav"), "/out/a.wav");
    EXPECT_EQ(JoinPath("rel", "a.wav"), "rel/a.wav");
    EXPECT_EQ(JoinPath("/", "a.wav"), "/a.wav");
    // A folder choice without a path puts the file at the root.
    EXPECT_EQ(JoinPath("", "a.wav"), "/a.wav");
    EXPECT_EQ(JoinPath("/out", "\xE9\x9F\xB3.wav"), "/out/\xE9\x9F\xB3.wav");
}

}  // namespace
}  // namespace quorvant
