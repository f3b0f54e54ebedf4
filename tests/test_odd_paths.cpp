// Names and paths the file system allows but that trip up careless code:
// blanks, quotes, Japanese text, a leading '-', names of 255 bytes, bytes that
// are not UTF-8, and paths longer than 4000 bytes. Each works end to end (load,
// list, convert into a folder with an odd name) under its own bytes, or gets
// the loader's or the row's clear refusal; no name turns into another.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "convert/batch_step.h"
#include "convert/target_format.h"
#include "recording_sink.h"
#include "temp_dir.h"
#include "wave/path_parts.h"
#include "wave/wave_loader.h"
#include "wave_builder.h"

namespace quorvant {
namespace {

namespace fs = std::filesystem;
using namespace test;

const WAVEFORMATEX kTarget = BuildTargetFormat(kDefaultBitIndex, "44100", "stereo");

Bytes Samples(uint8_t seed)
{
    Bytes b(32);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = uint8_t(seed + i * 3);
    return b;
}

using quorvant::test::Entries;

struct OddName {
    const char* what;
    std::string name;
};

void PrintTo(const OddName& n, std::ostream* out) { *out << n.what; }

std::vector<OddName> OddNames()
{
    std::string japanese255;
    while (japanese255.size() + 3 + 6 <= 255)
        japanese255 += "音";  // three bytes each
    japanese255 += "xx.wav";
    return {
        {"blanks", "  with blanks  inside .wav"},
        {"quotes", "it's \"quoted\" `too`.wav"},
        {"japanese", "日本語のファイル名.wav"},
        {"leading_dash", "-rf.wav"},
        {"two_leading_dashes", "--bits=8.wav"},
        {"backslash_and_colon", "C:\\not\\a\\folder.wav"},
        {"newline", "two\nlines.wav"},
        {"name_of_255_ascii_bytes", std::string(251, 'n') + ".wav"},
        {"name_of_255_bytes_japanese", japanese255},
        {"latin1_not_utf8", "caf\xe9.wav"},
        // "ソ" in Shift-JIS ends in the byte of a backslash.
        {"shift_jis_not_utf8", "\x83\x5c\x81\x5b\x83\x58.wav"},
        {"lone_continuation_bytes", "\x80\xbf.wav"},
        {"overlong_utf8_slash", "a\xc0\xaf" "b.wav"},
    };
}

class OddPaths : public testing::TestWithParam<OddName> {};

TEST_P(OddPaths, WorkEndToEndUnderTheirOwnBytes)
{
    const std::string& name = GetParam().name;
    ASSERT_LE(name.size(), 255u);
    TempDir dir;
    // The folders have odd names as well.
    const std::string in = dir.file("in \"'\xff\xfe 入力") + "/";
    const std::string out = dir.file("-out \xe9 出力");
    fs::create_directory(in);
    fs::create_directory(out);
    const Bytes image = SimpleWave(kFormatPcm, 2, 44100, 16, Samples(7));
    const std::string path = in + name;
    WriteFile(path, image);
    ASSERT_TRUE(fs::exists(path));

    WaveRecords main;
    RecordingSink sink;
    ASSERT_TRUE(LoadWaveFile(path, main, sink));
    EXPECT_EQ(main.Input.InputSize, 32u);

    auto listed = AddFileToList(path, sink);
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->folder, in);
    EXPECT_EQ(listed->name, name);
    EXPECT_TRUE(sink.messages.empty());

    BatchRun run(out);
    WaveRecords records;
    EXPECT_EQ(run.convertRow(listed->folder, listed->name, kTarget, records, sink), RowOutcome::Ok);
    EXPECT_EQ(Entries(out), std::set<std::string>{name});
    EXPECT_EQ(ReadFile(out + "/" + name), image);  // same format: the same bytes
    EXPECT_EQ(ReadFile(path), image);
}

INSTANTIATE_TEST_SUITE_P(Names, OddPaths, testing::ValuesIn(OddNames()),
                         [](const testing::TestParamInfo<OddName>& info) { return std::string(info.param.what); });

// Names that differ only in bytes that are not UTF-8 would all read "�.wav"
// if anything decoded them: each must still reach its own output.
TEST(OddPathsNotMangled, NamesDifferingInInvalidBytesStayApart)
{
    TempDir dir;
    const std::string out = dir.file("out");
    fs::create_directory(out);
    const std::vector<std::string> names = {"\xff.wav", "\xfe.wav", "\xef\xbf\xbd.wav", "\x80.wav"};
    BatchRun run(out, BatchRun::Mode::Streaming);
    WaveRecords records;
    RecordingSink sink;
    for (std::size_t i = 0; i < names.size(); ++i) {
        WriteFile(dir.file(names[i]), SimpleWave(kFormatPcm, 2, 44100, 16, Samples(uint8_t(i * 50))));
        auto listed = AddFileToList(dir.file(names[i]), sink);
        ASSERT_TRUE(listed);
        EXPECT_EQ(run.convertRow(listed->folder, listed->name, kTarget, records, sink), RowOutcome::Ok) << i;
    }
    EXPECT_EQ(Entries(out), std::set<std::string>(names.begin(), names.end()));
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(ReadFile(out + "/" + names[i]), ReadFile(dir.file(names[i]))) << i;
}

// A name one byte over the system's limit cannot exist: it is refused as a
// file that cannot be read, or as an output that cannot be created.
TEST(OddPathsTooLong, NameOf256BytesIsRefusedClearly)
{
    TempDir dir;
    const std::string input = dir.file("in.wav");
    WriteFile(input, SimpleWave(kFormatPcm, 2, 44100, 16, Samples(1)));
    const std::string longName = std::string(252, 'n') + ".wav";
    ASSERT_EQ(longName.size(), 256u);

    WaveRecords records;
    RecordingSink sink;
    EXPECT_FALSE(LoadWaveFile(dir.file(longName), records, sink));
    EXPECT_FALSE(AddFileToList(dir.file(longName), sink));
    ASSERT_EQ(sink.messages.size(), 2u);
    for (const auto& [icon, text] : sink.messages)
        EXPECT_EQ(text, texts::kReadError);

    // A row naming it fails at the load, before any output is made.
    sink.messages.clear();
    BatchRun run(dir.file("out"));
    fs::create_directory(dir.file("out"));
    WaveRecords rowRecords;
    EXPECT_EQ(run.convertRow(dir.path() + "/", longName, kTarget, rowRecords, sink), RowOutcome::NotWave);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].second, texts::kReadError);
    EXPECT_TRUE(Entries(dir.file("out")).empty());
}

// ------------------------------------------------------------ long paths

constexpr std::size_t kPathMax = 4096;  // bytes with the terminating zero, for most calls

// Creates nested folders of 200-byte names under `root` until the path is at
// least `length` bytes long; returns it with a trailing '/'. Works beyond the
// system's path limit by walking down with directory descriptors.
std::string DeepFolder(const std::string& root, std::size_t length, char letter)
{
    std::string path = root;
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    while (fd >= 0 && path.size() + 1 < length) {
        std::string part(std::min<std::size_t>(200, length - path.size() - 1), letter);
        ::mkdirat(fd, part.c_str(), 0755);
        int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        path += "/" + part;
    }
    if (fd >= 0)
        ::close(fd);
    return path + "/";
}

// Writes `bytes` as `name` in `folder`, whatever the folder's path length.
bool WriteAt(const std::string& folder, const std::string& name, const Bytes& bytes)
{
    int fd = ::open("/", O_RDONLY | O_DIRECTORY);
    std::size_t at = 1;
    while (fd >= 0 && at < folder.size()) {
        std::size_t end = folder.find('/', at);
        int next = ::openat(fd, folder.substr(at, end - at).c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        at = end + 1;
    }
    if (fd < 0)
        return false;
    int file = ::openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::close(fd);
    if (file < 0)
        return false;
    bool ok = ::write(file, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    return ::close(file) == 0 && ok;
}

TEST(OddPathsLong, PathsJustUnderTheLimitWorkEndToEnd)
{
    TempDir dir;
    const std::string in = DeepFolder(dir.path(), 4040, 'i');
    const std::string out = DeepFolder(dir.path(), 4020, 'o');
    const std::string name = std::string(40, 'f') + ".wav";
    ASSERT_GT(in.size() + name.size(), 4000u);
    ASSERT_LT(in.size() + name.size(), kPathMax);
    ASSERT_LT(out.size() + name.size(), kPathMax);
    const Bytes image = SimpleWave(kFormatPcm, 2, 44100, 16, Samples(3));
    ASSERT_TRUE(WriteAt(in, name, image));

    WaveRecords records;
    RecordingSink sink;
    ASSERT_TRUE(LoadWaveFile(in + name, records, sink));
    auto listed = AddFileToList(in + name, sink);
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->folder, in);
    EXPECT_EQ(listed->name, name);
    for (auto mode : {BatchRun::Mode::WholeBlock, BatchRun::Mode::Streaming}) {
        BatchRun run(out, mode);
        EXPECT_EQ(run.convertRow(listed->folder, listed->name, kTarget, records, sink), RowOutcome::Ok);
        EXPECT_EQ(ReadFile(out + name), image);
        EXPECT_EQ(Entries(out), std::set<std::string>{name});
    }
    EXPECT_TRUE(sink.messages.empty());
}

TEST(OddPathsLong, PathsOverTheLimitAreRefusedClearly)
{
    TempDir dir;
    const std::string in = DeepFolder(dir.path(), 4200, 'i');
    const std::string name = "deep.wav";
    ASSERT_GT(in.size(), kPathMax);
    ASSERT_TRUE(WriteAt(in, name, SimpleWave(kFormatPcm, 2, 44100, 16, Samples(3))));

    // Input: the loader's "cannot read" message, whichever operation.
    WaveRecords records;
    RecordingSink sink;
    EXPECT_FALSE(LoadWaveFile(in + name, records, sink));
    EXPECT_FALSE(AddFileToList(in + name, sink));
    BatchRun intoShort(dir.path());
    EXPECT_EQ(intoShort.convertRow(in, name, kTarget, records, sink), RowOutcome::NotWave);
    ASSERT_EQ(sink.messages.size(), 3u);
    for (const auto& [icon, text] : sink.messages) {
        EXPECT_EQ(icon, MessageIcon::Warning);
        EXPECT_EQ(text, texts::kReadError);
    }

    // Output: "Can not create file.", and nothing is made anywhere.
    const std::string shortInput = dir.file("short.wav");
    WriteFile(shortInput, SimpleWave(kFormatPcm, 2, 44100, 16, Samples(5)));
    const auto before = Entries(dir.path());
    for (auto mode : {BatchRun::Mode::WholeBlock, BatchRun::Mode::Streaming}) {
        BatchRun intoDeep(in, mode);
        EXPECT_EQ(intoDeep.convertRow(dir.path() + "/", "short.wav", kTarget, records, sink), RowOutcome::CannotCreate);
    }
    EXPECT_EQ(Entries(dir.path()), before);
}

// A target whose own path fits the limit is refused when the temporary name
// beside it (".quorvant-XXXXXX", 16 bytes) would not fit.
TEST(OddPathsLong, TargetWithinTheLimitButNoRoomForTheTemporaryName)
{
    TempDir dir;
    const std::string out = DeepFolder(dir.path(), 4084, 'o');
    ASSERT_GE(out.size() + 16, kPathMax);
    ASSERT_LT(out.size() + 5, kPathMax);
    const std::string input = dir.file("a.wav");
    const Bytes image = SimpleWave(kFormatPcm, 2, 44100, 16, Samples(9));
    WriteFile(input, image);
    BatchRun run(out);
    WaveRecords records;
    RecordingSink sink;
    EXPECT_EQ(run.convertRow(dir.path() + "/", "a.wav", kTarget, records, sink), RowOutcome::Ok);
}

}  // namespace
}  // namespace quorvant
