// One row of a batch run on real files: the result of each path through the
// step, what is written, and what is left alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <csignal>
#include <filesystem>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "convert/batch_step.h"
#include "convert/target_format.h"
#include "recording_sink.h"
#include "temp_dir.h"
#include "wave_builder.h"

namespace quorvant {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::RecordingSink;
using test::SimpleWave;
using test::TempDir;

Bytes Pcm16(std::initializer_list<int16_t> values)
{
    Bytes b;
    for (int16_t v : values)
        test::PutLE16(b, uint16_t(v));
    return b;
}

using quorvant::test::Floats;

const Bytes kSamples = Pcm16({0, 16384, -32768, 32767, -1, 1, 1000, -1000});
const WAVEFORMATEX kSame = BuildTargetFormat(3, "44100", "stereo");
const WAVEFORMATEX kFloat = BuildTargetFormat(1, "44100", "stereo");
const WAVEFORMATEX kEightMono = BuildTargetFormat(4, "22050", "mono");

using quorvant::test::Entries;

ino_t Inode(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_ino;
}

// An input folder with one 16-bit stereo file and an empty output folder.
struct Folders {
    Folders()
    {
        fs::create_directory(in());
        fs::create_directory(out());
        test::WriteFile(in() + "a.wav", original);
    }
    std::string in() const { return dir.file("in/"); }
    std::string out() const { return dir.file("out"); }

    TempDir dir;
    Bytes original = SimpleWave(1, 2, 44100, 16, kSamples);
};

// The canonical 44-byte header the writer puts before `dataSize` sample bytes.
Bytes Header(const WAVEFORMATEX& f, uint32_t dataSize)
{
    Bytes b(44);
    std::memcpy(&b[0], "RIFF", 4);
    WriteLE32(&b[4], dataSize + 36);
    std::memcpy(&b[8], "WAVEfmt ", 8);
    WriteLE32(&b[16], 16);
    const auto fmt = EncodeWaveFormat16(f);
    std::copy(fmt.begin(), fmt.end(), b.begin() + 20);
    std::memcpy(&b[36], "data", 4);
    WriteLE32(&b[40], dataSize);
    return b;
}

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(BatchRun, OkWritesTheConvertedFile)
{
    Folders f;
    BatchRun run(f.out());
    WaveRecords records;
    RecordingSink sink;
    ASSERT_EQ(run.convertRow(f.in(), "a.wav", kFloat, records, sink), RowOutcome::Ok);
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(records.TargetFormat, kFloat);
    // 16-bit samples widen exactly, then go out as floats: V ÷ 32768.
    const Bytes expected =
        Concat(Header(kFloat, 32), Floats({0.0f, 0.5f, -1.0f, 32767.0f / 32768, -1.0f / 32768, 1.0f / 32768,
                                           1000.0f / 32768, -1000.0f / 32768}));
    EXPECT_EQ(test::ReadFile(f.out() + "/a.wav"), expected);
    EXPECT_EQ(Entries(f.out()), std::set<std::string>{"a.wav"});
    EXPECT_EQ(test::ReadFile(f.in() + "a.wav"), f.original);
}

TEST(BatchRun, OkWithSameFormatCopiesSamples)
{
    Folders f;
    BatchRun run(f.out() + "/");
    WaveRecords records;
    RecordingSink sink;
    ASSERT_EQ(run.convertRow(f.in(), "a.wav", kSame, records, sink), RowOutcome::Ok);
    EXPECT_EQ(test::ReadFile(f.out() + "/a.wav"), Concat(Header(kSame, uint32_t(kSamples.size())), kSamples));
}

TEST(BatchRun, SameFileIsRefusedAndLeftUntouched)
{
    // Every spelling names in/a.wav; the target differs from the source, so
    // writing it would change the file.
    Folders f;
    fs::create_directory(f.in() + "sub");
    fs::create_directory_symlink(f.in(), f.dir.file("linked"));
    fs::create_directory(f.dir.file("links"));
    fs::create_symlink("../in/a.wav", f.dir.file("links/a.wav"));
    struct Row {
        const char* what;
        std::string inputFolder;
        std::string outputFolder;
    };
    const Row rows[] = {
        {"same text", f.in(), f.dir.file("in")},
        {"same text, folder with '/'", f.in(), f.in()},
        {"symlinked output folder", f.in(), f.dir.file("linked")},
        {"symlinked input folder", f.dir.file("linked/"), f.dir.file("in")},
        {"output file is a link to the input", f.in(), f.dir.file("links")},
        {"'..' in the input folder", f.in() + "sub/../", f.dir.file("in")},
        {"'..' in the output folder", f.in(), f.in() + "sub/.."},
        {"doubled '/' in the input folder", f.dir.path() + "//in//", f.dir.file("in")},
        {"doubled '/' in the output folder", f.in(), f.dir.path() + "//in//"},
    };
    const ino_t inode = Inode(f.in() + "a.wav");
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        BatchRun run(r.outputFolder);
        WaveRecords records;
        RecordingSink sink;
        EXPECT_EQ(run.convertRow(r.inputFolder, "a.wav", kEightMono, records, sink), RowOutcome::SameFile);
        EXPECT_TRUE(sink.messages.empty());
        EXPECT_TRUE(records.Input.InputData.isNull());  // nothing was loaded
        EXPECT_EQ(test::ReadFile(f.in() + "a.wav"), f.original);
        EXPECT_EQ(Inode(f.in() + "a.wav"), inode);
        EXPECT_EQ(Entries(f.in()), (std::set<std::string>{"a.wav", "sub"}));
    }
}

TEST(BatchRun, NotWaveRecordsLoaderMessageAndWritesNothing)
{
    Folders f;
    const std::string text = "just some text\n";
    test::WriteFile(f.in() + "t.wav", Bytes(text.begin(), text.end()));
    BatchRun run(f.out());
    WaveRecords records;
    RecordingSink sink;
    EXPECT_EQ(run.convertRow(f.in(), "t.wav", kSame, records, sink), RowOutcome::NotWave);
    EXPECT_EQ(sink.messages, (std::vector<std::pair<MessageIcon, std::string>>{
                                 {MessageIcon::Warning, "File " + f.in() + "t.wav is not an effective WAVE file."}}));
    EXPECT_TRUE(Entries(f.out()).empty());

    // A listed file that has gone missing is reported by the loader too.
    RecordingSink missingSink;
    EXPECT_EQ(run.convertRow(f.in(), "gone.wav", kSame, records, missingSink), RowOutcome::NotWave);
    EXPECT_EQ(missingSink.messages, (std::vector<std::pair<MessageIcon, std::string>>{
                                        {MessageIcon::Warning, "The error occurred by the file reading."}}));
    EXPECT_TRUE(Entries(f.out()).empty());
}

TEST(BatchRun, OutputThatCannotBeCreated)
{
    Folders f;
    fs::create_directory(f.out() + "/a.wav");  // a folder in the way
    const std::string readOnly = f.dir.file("ro");
    fs::create_directory(readOnly);
    test::WriteFile(readOnly + "/a.wav", Bytes{'o', 'l', 'd'});
    ::chmod((readOnly + "/a.wav").c_str(), 0444);

    for (const std::string& folder : {f.dir.file("missing"), f.out(), readOnly}) {
        SCOPED_TRACE(folder);
        BatchRun run(folder);
        WaveRecords records;
        RecordingSink sink;
        EXPECT_EQ(run.convertRow(f.in(), "a.wav", kSame, records, sink), RowOutcome::CannotCreate);
        EXPECT_TRUE(sink.messages.empty());
    }
    EXPECT_FALSE(fs::exists(f.dir.file("missing")));
    EXPECT_TRUE(fs::is_directory(f.out() + "/a.wav"));
    EXPECT_EQ(test::ReadFile(readOnly + "/a.wav"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(Entries(readOnly), std::set<std::string>{"a.wav"});
    EXPECT_EQ(Entries(f.out()), std::set<std::string>{"a.wav"});
}

TEST(BatchRun, NameAlreadyWrittenInThisRunIsRefused)
{
    Folders f;
    fs::create_directory(f.dir.file("in2"));
    const Bytes other = Pcm16({5, 6, 7, 8});
    test::WriteFile(f.dir.file("in2/a.wav"), SimpleWave(1, 2, 44100, 16, other));
    const Bytes first = Concat(Header(kSame, uint32_t(kSamples.size())), kSamples);

    BatchRun run(f.out());
    WaveRecords records;
    RecordingSink sink;
    ASSERT_EQ(run.convertRow(f.in(), "a.wav", kSame, records, sink), RowOutcome::Ok);
    EXPECT_EQ(run.convertRow(f.dir.file("in2/"), "a.wav", kSame, records, sink), RowOutcome::NameUsed);
    EXPECT_EQ(test::ReadFile(f.out() + "/a.wav"), first);
    EXPECT_TRUE(sink.messages.empty());

    // The same row again in the same run is refused as well.
    EXPECT_EQ(run.convertRow(f.in(), "a.wav", kSame, records, sink), RowOutcome::NameUsed);

    // A new run starts with no names used.
    BatchRun next(f.out());
    ASSERT_EQ(next.convertRow(f.dir.file("in2/"), "a.wav", kSame, records, sink), RowOutcome::Ok);
    EXPECT_EQ(test::ReadFile(f.out() + "/a.wav"), Concat(Header(kSame, uint32_t(other.size())), other));
}

TEST(BatchRun, NameOfAFailedRowIsStillFree)
{
    Folders f;
    fs::create_directory(f.dir.file("bad"));
    test::WriteFile(f.dir.file("bad/a.wav"), Bytes{'n', 'o', 'p', 'e'});
    BatchRun run(f.out());
    WaveRecords records;
    RecordingSink sink;
    EXPECT_EQ(run.convertRow(f.dir.file("bad/"), "a.wav", kSame, records, sink), RowOutcome::NotWave);
    EXPECT_EQ(run.convertRow(f.in(), "a.wav", kSame, records, sink), RowOutcome::Ok);
    EXPECT_EQ(test::ReadFile(f.out() + "/a.wav"), Concat(Header(kSame, uint32_t(kSamples.size())), kSamples));
}

TEST(BatchRun, OutputFromBeforeTheRunIsReplaced)
{
    Folders f;
    test::WriteFile(f.out() + "/a.wav", Bytes(100000, 0xEE));
    ::chmod((f.out() + "/a.wav").c_str(), 0600);
    BatchRun run(f.out());
    WaveRecords records;
    RecordingSink sink;
    ASSERT_EQ(run.convertRow(f.in(), "a.wav", kSame, records, sink), RowOutcome::Ok);
    EXPECT_EQ(test::ReadFile(f.out() + "/a.wav"), Concat(Header(kSame, uint32_t(kSamples.size())), kSamples));
    EXPECT_EQ(Entries(f.out()), std::set<std::string>{"a.wav"});
}

TEST(BatchRun, OutputThatCannotBeWrittenWholeKeepsOldTarget)
{
    // A 200 kB input; the child may not write files beyond 64 KiB.
    Folders f;
    Bytes big(200000);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = uint8_t(i * 31);
    test::WriteFile(f.in() + "big.wav", SimpleWave(1, 2, 44100, 16, big));
    const Bytes old = {'o', 'l', 'd', ' ', 'o', 'u', 't', 'p', 'u', 't'};
    test::WriteFile(f.out() + "/big.wav", old);

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(10);
        BatchRun run(f.out());
        WaveRecords records;
        RecordingSink sink;
        const RowOutcome outcome = run.convertRow(f.in(), "big.wav", kSame, records, sink);
        if (outcome != RowOutcome::CannotWrite)
            ::_exit(20 + int(outcome));
        // Not written whole, so the name is not taken either.
        if (run.convertRow(f.in(), "big.wav", kSame, records, sink) != RowOutcome::CannotWrite)
            ::_exit(30);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: setrlimit; 20 + n: the row's outcome was RowOutcome(n); "
                                         "30: second attempt not CannotWrite";
    EXPECT_EQ(test::ReadFile(f.out() + "/big.wav"), old);
    EXPECT_EQ(Entries(f.out()), std::set<std::string>{"big.wav"});
}

TEST(BatchRun, ResultTextsAndProgress)
{
    struct Row {
        RowOutcome outcome;
        const char* text;
        bool advances;
    };
    const Row rows[] = {
        {RowOutcome::Ok, "OK", true},
        {RowOutcome::SameFile, "NG (The input destination and output destinations are the same.)", false},
        {RowOutcome::NotWave, "NG (It is not an effective WAVE file.)", true},
        {RowOutcome::CannotCreate, "NG (Can not create file.)", false},
        {RowOutcome::CannotWrite, "NG (Can not write file.)", false},
        {RowOutcome::NameUsed, "NG (The output file name is already used in this run.)", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_STREQ(RowResultText(r.outcome), r.text);
        EXPECT_EQ(AdvancesProgress(r.outcome), r.advances);
    }
}

}  // namespace
}  // namespace quorvant
