// The WAVE writer (header layout, float output, failing outputs) and the
// atomic output file that protects existing files from partial writes.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <random>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "temp_dir.h"
#include "wave/atomic_file.h"
#include "wave/wave_writer.h"
#include "wave_builder.h"

namespace quorvant {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;

WorkBlock Block(const Bytes& bytes)
{
    WorkBlock block;
    block.WorkData = ByteArray::Allocate(bytes.size());
    std::copy(bytes.begin(), bytes.end(), block.WorkData.data());
    block.WorkSize = uint32_t(bytes.size());
    return block;
}

Bytes Ints(std::initializer_list<int32_t> values)
{
    Bytes b;
    for (int32_t v : values)
        test::PutLE32(b, uint32_t(v));
    return b;
}

using quorvant::test::Floats;

WAVEFORMATEX Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    const uint16_t align = uint16_t(bits / 8 * channels);
    return WAVEFORMATEX{tag, channels, rate, rate * align, align, bits, 0x5A5A};
}

Bytes Written(const WAVEFORMATEX& format, const Bytes& samples)
{
    MemorySink sink;
    EXPECT_TRUE(WriteWaveFile(sink, format, Block(samples)));
    return sink.data;
}

Bytes Slice(const Bytes& b, std::size_t from, std::size_t count)
{
    return Bytes(b.begin() + std::ptrdiff_t(from), b.begin() + std::ptrdiff_t(from + count));
}

// Checks the canonical header of `file` and returns its sample bytes.
Bytes CheckHeader(const Bytes& file, const WAVEFORMATEX& format, uint32_t dataSize)
{
    EXPECT_EQ(file.size(), 44u + dataSize);
    if (file.size() < 44)
        return {};
    EXPECT_EQ(Slice(file, 0, 4), (Bytes{'R', 'I', 'F', 'F'}));
    EXPECT_EQ(ReadLE32(&file[4]), dataSize + 36);
    EXPECT_EQ(Slice(file, 8, 8), (Bytes{'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}));
    EXPECT_EQ(ReadLE32(&file[16]), 16u);
    EXPECT_EQ(ReadLE16(&file[20]), format.wFormatTag);
    EXPECT_EQ(ReadLE16(&file[22]), format.nChannels);
    EXPECT_EQ(ReadLE32(&file[24]), format.nSamplesPerSec);
    EXPECT_EQ(ReadLE32(&file[28]), format.nAvgBytesPerSec);
    EXPECT_EQ(ReadLE16(&file[32]), format.nBlockAlign);
    EXPECT_EQ(ReadLE16(&file[34]), format.wBitsPerSample);
    EXPECT_EQ(Slice(file, 36, 4), (Bytes{'d', 'a', 't', 'a'}));
    EXPECT_EQ(ReadLE32(&file[40]), dataSize);
    return Bytes(file.begin() + 44, file.end());
}

TEST(WaveWriter, EmptyBlock)
{
    const auto format = Format(1, 2, 44100, 16);
    for (bool null : {false, true}) {
        SCOPED_TRACE(null ? "null block" : "allocated empty block");
        WorkBlock block;
        if (!null)
            block.WorkData = ByteArray::Allocate(0);
        MemorySink sink;
        ASSERT_TRUE(WriteWaveFile(sink, format, block));
        EXPECT_EQ(sink.data.size(), 44u);
        EXPECT_EQ(ReadLE32(&sink.data[4]), 36u);
        EXPECT_TRUE(CheckHeader(sink.data, format, 0).empty());
    }
}

TEST(WaveWriter, Pcm16StereoHeaderAndSamples)
{
    Bytes samples(400);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = uint8_t(i * 13 + 1);
    const auto format = Format(1, 2, 44100, 16);
    const Bytes file = Written(format, samples);
    ASSERT_EQ(file.size(), 444u);
    EXPECT_EQ(ReadLE32(&file[4]), 436u);
    // Bytes 20..35 read 1, 2, 44100, 176400, 4, 16; the record's cbSize is never written.
    EXPECT_EQ(Slice(file, 20, 16), (Bytes{1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0}));
    EXPECT_EQ(CheckHeader(file, format, 400), samples);
}

TEST(WaveWriter, OddBlockHasNoPadByte)
{
    const Bytes samples = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const auto format = Format(1, 1, 22050, 8);
    const Bytes file = Written(format, samples);
    ASSERT_EQ(file.size(), 55u);
    EXPECT_EQ(ReadLE32(&file[4]), 47u);
    EXPECT_EQ(CheckHeader(file, format, 11), samples);
}

TEST(WaveWriter, FloatTargetConvertsIntegerSamples)
{
    const auto format = Format(3, 2, 48000, 32);
    const Bytes file = Written(format, Ints({INT32_MIN, 1073741824}));
    ASSERT_EQ(file.size(), 52u);
    EXPECT_EQ(CheckHeader(file, format, 8), Floats({-1.0f, 0.5f}));
}

TEST(WaveWriter, FloatValuesRoundToNearestEven)
{
    const float belowOne = std::nextafter(1.0f, 0.0f);
    const auto format = Format(3, 1, 44100, 32);
    const Bytes file = Written(format, Ints({INT32_MAX, 0, -1, 1, 2147483520, 2147483583, 2147483584,
                                             -2147483583, -2147483584, -1073741824, 3}));
    EXPECT_EQ(CheckHeader(file, format, 44),
              Floats({1.0f, 0.0f, -std::ldexp(1.0f, -31), std::ldexp(1.0f, -31), belowOne,
                      belowOne,  // 2^31 - 65 lies nearer to 2^31 - 128 than to 2^31
                      1.0f,      // 2^31 - 64 is half way: the even neighbour is 1.0
                      -belowOne, -1.0f, -0.5f, std::ldexp(3.0f, -31)}));
}

TEST(WaveWriter, FloatTrailingBytesAreWrittenUnchanged)
{
    Bytes samples = Ints({INT32_MIN, 1073741824});
    samples.push_back(0xAB);
    samples.push_back(0xCD);
    const auto format = Format(3, 1, 44100, 32);
    const Bytes file = Written(format, samples);
    ASSERT_EQ(file.size(), 54u);
    EXPECT_EQ(ReadLE32(&file[4]), 46u);
    Bytes expected = Floats({-1.0f, 0.5f});
    expected.push_back(0xAB);
    expected.push_back(0xCD);
    EXPECT_EQ(CheckHeader(file, format, 10), expected);
}

TEST(WaveWriter, OnlyTag3With32BitsIsFloat)
{
    const Bytes samples = Ints({INT32_MIN, 1073741824, 5});
    for (const auto& format : {Format(3, 1, 44100, 24), Format(1, 1, 44100, 32), Format(3, 2, 44100, 16),
                               Format(kFormatExtensible, 1, 44100, 32)}) {
        SCOPED_TRACE(testing::Message() << format.wFormatTag << "/" << format.wBitsPerSample);
        EXPECT_EQ(CheckHeader(Written(format, samples), format, 12), samples);
    }
}

TEST(WaveWriter, LargeFloatBlockMatchesPerSampleConversion)
{
    // Larger than any internal buffer, with a partial sample at the end.
    constexpr std::size_t kSamples = 100000;
    std::mt19937 random(20240531);
    Bytes ints, expected;
    for (std::size_t i = 0; i < kSamples; ++i) {
        int32_t v = i < 4 ? std::array<int32_t, 4>{INT32_MIN, INT32_MAX, 0, -1}[i] : int32_t(random());
        test::PutLE32(ints, uint32_t(v));
        test::PutLE32(expected, std::bit_cast<uint32_t>(float(double(v) / 2147483648.0)));
    }
    ints.push_back(0x11);
    expected.push_back(0x11);
    const auto format = Format(3, 2, 96000, 32);
    EXPECT_EQ(CheckHeader(Written(format, ints), format, uint32_t(ints.size())), expected);
}

// Accepts `budget` bytes, then refuses every write; its close can fail too.
struct FailingSink final : ByteSink {
    FailingSink(std::size_t budget, bool closeSucceeds) : budget(budget), closeSucceeds(closeSucceeds) {}
    bool write(const void*, std::size_t count) override
    {
        if (count > budget) {
            budget = 0;
            return false;
        }
        budget -= count;
        written += count;
        return true;
    }
    bool close() override
    {
        ++closes;
        return closeSucceeds;
    }
    std::size_t budget;
    bool closeSucceeds;
    std::size_t written = 0;
    int closes = 0;
};

TEST(WaveWriter, FailingOutputIsReported)
{
    Bytes samples(400, 0x21);
    for (const auto& format : {Format(1, 2, 44100, 16), Format(3, 2, 44100, 32)}) {
        for (std::size_t budget : {std::size_t(0), std::size_t(4), std::size_t(8), std::size_t(12), std::size_t(20),
                                   std::size_t(36), std::size_t(40), std::size_t(44), std::size_t(100),
                                   std::size_t(443)}) {
            SCOPED_TRACE(testing::Message() << "tag " << format.wFormatTag << ", budget " << budget);
            FailingSink sink(budget, true);
            EXPECT_FALSE(WriteWaveFile(sink, format, Block(samples)));
            EXPECT_EQ(sink.closes, 1);  // the output is closed on every path
        }
        SCOPED_TRACE(testing::Message() << "tag " << format.wFormatTag << ", close fails");
        FailingSink wholeButCloseFails(444, false);
        EXPECT_FALSE(WriteWaveFile(wholeButCloseFails, format, Block(samples)));
        EXPECT_EQ(wholeButCloseFails.written, 444u);
        EXPECT_EQ(wholeButCloseFails.closes, 1);
        FailingSink exact(444, true);
        EXPECT_TRUE(WriteWaveFile(exact, format, Block(samples)));
        EXPECT_EQ(exact.closes, 1);
    }
}

// ---- AtomicFile ----

using quorvant::test::Entries;

bool WriteAll(ByteSink& sink, const Bytes& bytes) { return sink.write(bytes.data(), bytes.size()); }

const Bytes kOld = {'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't'};
const Bytes kNew = {'n', 'e', 'w', '!', 0, 1, 2, 3};

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

TEST(AtomicFile, WritesNewFile)
{
    TempDir dir;
    const std::string target = dir.file("new.wav");
    auto file = AtomicFile::Create(target);
    ASSERT_TRUE(file);
    EXPECT_FALSE(fs::exists(target));  // nothing appears under the name before close
    ASSERT_TRUE(WriteAll(*file, kNew));
    ASSERT_TRUE(file->close());
    EXPECT_EQ(test::ReadFile(target), kNew);
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"new.wav"});
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(ModeOf(target), 0666 & ~mask);
}

TEST(AtomicFile, ReplacesExistingFileOnlyWhenClosed)
{
    TempDir dir;
    const std::string target = dir.file("out.wav");
    test::WriteFile(target, kOld);
    ::chmod(target.c_str(), 0640);
    auto file = AtomicFile::Create(target);
    ASSERT_TRUE(file);
    ASSERT_TRUE(WriteAll(*file, kNew));
    EXPECT_EQ(test::ReadFile(target), kOld);
    EXPECT_EQ(fs::path(file->temporaryPath()).parent_path(), fs::path(dir.path()));
    ASSERT_TRUE(file->close());
    EXPECT_EQ(test::ReadFile(target), kNew);
    EXPECT_EQ(ModeOf(target), mode_t(0640));
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"out.wav"});
    // A second close does not report success again.
    EXPECT_FALSE(file->close());
}

TEST(AtomicFile, DestroyedWithoutCloseKeepsOldContent)
{
    TempDir dir;
    const std::string target = dir.file("out.wav");
    test::WriteFile(target, kOld);
    {
        auto file = AtomicFile::Create(target);
        ASSERT_TRUE(file);
        ASSERT_TRUE(WriteAll(*file, kNew));
        EXPECT_TRUE(fs::exists(file->temporaryPath()));
    }
    EXPECT_EQ(test::ReadFile(target), kOld);
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"out.wav"});
}

TEST(AtomicFile, WritingThroughSymlinkReplacesLinkedFile)
{
    TempDir dir;
    fs::create_directory(dir.file("data"));
    fs::create_directory(dir.file("links"));
    const std::string real = dir.file("data/real.wav");
    const std::string link = dir.file("links/link.wav");
    test::WriteFile(real, kOld);
    ::chmod(real.c_str(), 0604);
    fs::create_symlink("../data/real.wav", link);

    auto file = AtomicFile::Create(link);
    ASSERT_TRUE(file);
    ASSERT_TRUE(WriteAll(*file, kNew));
    ASSERT_TRUE(file->close());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), fs::path("../data/real.wav"));
    EXPECT_EQ(test::ReadFile(real), kNew);
    EXPECT_EQ(ModeOf(real), mode_t(0604));
    EXPECT_EQ(Entries(dir.file("data")), std::set<std::string>{"real.wav"});
    EXPECT_EQ(Entries(dir.file("links")), std::set<std::string>{"link.wav"});
}

TEST(AtomicFile, DanglingSymlinkKeepsTheLink)
{
    TempDir dir;
    const std::string link = dir.file("link.wav");
    fs::create_symlink("real.wav", link);
    auto file = AtomicFile::Create(link);
    ASSERT_TRUE(file);
    ASSERT_TRUE(WriteAll(*file, kNew));
    ASSERT_TRUE(file->close());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(test::ReadFile(dir.file("real.wav")), kNew);
}

TEST(AtomicFile, TargetsThatCannotBeCreated)
{
    TempDir dir;
    fs::create_directory(dir.file("folder.wav"));
    const std::string readOnly = dir.file("readonly.wav");
    test::WriteFile(readOnly, kOld);
    ::chmod(readOnly.c_str(), 0444);
    fs::create_symlink("folder.wav", dir.file("link-to-folder.wav"));
    const std::set<std::string> before = Entries(dir.path());

    for (const std::string& target : {dir.file("folder.wav"), dir.file("missing/out.wav"), readOnly,
                                      dir.file("link-to-folder.wav")}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(AtomicFile::Create(target), nullptr);
    }
    // Even root, who could write it, leaves a read-only file alone.
    EXPECT_EQ(test::ReadFile(readOnly), kOld);
    EXPECT_EQ(ModeOf(readOnly), mode_t(0444));
    EXPECT_EQ(Entries(dir.path()), before);
    EXPECT_TRUE(Entries(dir.file("folder.wav")).empty());
}

// Runs `body` in a child whose files may not grow past 64 KiB, with SIGXFSZ
// ignored so that the write fails with EFBIG instead of killing the child.
// Returns the child's exit status.
template <typename Body>
int InSmallFileLimit(Body body)
{
    pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(10);
        ::_exit(body());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -2;
    return WEXITSTATUS(status);
}

TEST(AtomicFile, FullDiskKeepsOldContentAndLeavesNoTemporaryFile)
{
    for (uint16_t tag : {kFormatPcm, kFormatFloat}) {
        SCOPED_TRACE(tag);
        TempDir dir;
        const std::string target = dir.file("out.wav");
        test::WriteFile(target, kOld);
        const int status = InSmallFileLimit([&] {
            auto file = AtomicFile::Create(target);
            if (!file)
                return 2;
            WorkBlock block;
            block.WorkData = ByteArray::AllocateZeroed(1 << 20);
            block.WorkSize = 1 << 20;
            return WriteWaveFile(*file, Format(tag, 2, 44100, tag == kFormatFloat ? 32 : 16), block) ? 1 : 0;
        });
        EXPECT_EQ(status, 0) << "1: reported success, 2: target not created, 10: setrlimit failed";
        EXPECT_EQ(test::ReadFile(target), kOld);
        EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"out.wav"});
    }
}

TEST(AtomicFile, WriteFailureMidwayKeepsOldContent)
{
    // A file that fits the limit succeeds in the same child; the one that does not, fails.
    TempDir dir;
    const std::string small = dir.file("small.wav");
    const std::string large = dir.file("large.wav");
    test::WriteFile(large, kOld);
    const int status = InSmallFileLimit([&] {
        auto a = AtomicFile::Create(small);
        auto b = AtomicFile::Create(large);
        if (!a || !b)
            return 2;
        Bytes chunk(16 * 1024, 0x42);
        bool ok = true;
        for (int i = 0; i < 2; ++i)
            ok = WriteAll(*a, chunk) && ok;
        bool failed = false;
        for (int i = 0; i < 8 && !failed; ++i)
            failed = !WriteAll(*b, chunk);
        if (!ok || !a->close())
            return 3;
        // Once failed, every later write and the close fail as well.
        if (failed && WriteAll(*b, Bytes{1}))
            return 4;
        return b->close() ? 1 : 0;
    });
    EXPECT_EQ(status, 0) << "1: failed write reported as success, 2: not created, 3: small file failed, 4: write after failure";
    EXPECT_EQ(test::ReadFile(small), Bytes(32 * 1024, 0x42));
    EXPECT_EQ(test::ReadFile(large), kOld);
    EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"large.wav", "small.wav"}));
}

}  // namespace
}  // namespace quorvant
