// The two windows, headless, on inputs of 2 GiB to 4 GiB made sparse on
// disk: whole blocks of that size load, convert and are written, and a result
// past the 32-bit size limit ends the run as the engine's failure, with no
// output left. Known samples sit at the start, the middle and the end; the
// holes between them read as zero samples.

#include <QComboBox>
#include <QLabel>
#include <QtTest>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <unistd.h>

#include "scripted_platform.h"
#include "temp_dir.h"
#include "ui/Quorvant_Unit1.h"
#include "ui/Quorvant_Unit2.h"
#include "wave_builder.h"

using namespace quorvant;
using namespace quorvant::test;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t kGiB = uint64_t(1) << 30;
constexpr uint32_t kTwoGiB = uint32_t(2 * kGiB);
constexpr uint32_t kNearly4GiB = uint32_t(uint64_t(3.9 * double(kGiB)) / 4 * 4);
constexpr uint32_t kMarkerFrames = 256;

// Marker frame j holds 256 × (j − 128) on both channels: 16 → 8 bits makes it
// j − 1 (trunc of V ÷ 256 + 127), 16 → 24 bits V × 256, and equal channels
// average to themselves.
int16_t MarkerValue(uint32_t j) { return int16_t(256 * (int(j) - 128)); }

// The first frame of each marker block.
std::vector<uint64_t> MarkerFrames(uint32_t dataBytes)
{
    const uint64_t frames = dataBytes / 4;
    return {0, frames / 2, frames - kMarkerFrames};
}

// A 16-bit stereo file at 44100 Hz with `present` of its `declared` sample
// bytes on disk (the rest a hole, or missing past the end of the file).
bool MakeSparse(const std::string& path, uint32_t declared, uint64_t present)
{
    Bytes header = Riff({Chunk("fmt ", FmtBody(kFormatPcm, 2, 44100, 16))});
    PutId(header, "data");
    PutLE32(header, declared);
    WriteLE32(header.data() + 4, uint32_t(std::min<uint64_t>(36 + uint64_t(declared), 0xFFFFFFFFu)));
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::pwrite(fd, header.data(), header.size(), 0) == ssize_t(header.size()) &&
              ::ftruncate(fd, off_t(44 + present)) == 0;
    if (present == declared) {
        Bytes block;
        for (uint32_t j = 0; j < kMarkerFrames; ++j) {
            PutLE16(block, uint16_t(MarkerValue(j)));
            PutLE16(block, uint16_t(MarkerValue(j)));
        }
        for (uint64_t frame : MarkerFrames(declared))
            ok = ok && ::pwrite(fd, block.data(), block.size(), off_t(44 + frame * 4)) == ssize_t(block.size());
    }
    return ::close(fd) == 0 && ok;
}

Bytes ReadAt(const std::string& path, uint64_t offset, std::size_t count)
{
    Bytes b(count);
    int fd = ::open(path.c_str(), O_RDONLY);
    ssize_t got = fd >= 0 ? ::pread(fd, b.data(), count, off_t(offset)) : -1;
    if (fd >= 0)
        ::close(fd);
    b.resize(got > 0 ? std::size_t(got) : 0);
    return b;
}

using quorvant::test::Entries;

// An 8-bit mono output of a marked input: its header, the markers, and zero
// samples (127) in the holes.
void CheckEightBitMono(const std::string& path, uint32_t inputBytes)
{
    const uint32_t size = inputBytes / 4;
    QCOMPARE(fs::file_size(path), uint64_t(44) + size);
    const Bytes header = ReadAt(path, 0, 44);
    QCOMPARE(ReadLE32(&header[4]), 36 + size);
    QCOMPARE(ReadLE16(&header[22]), uint16_t(1));   // channels
    QCOMPARE(ReadLE32(&header[24]), 44100u);        // rate
    QCOMPARE(ReadLE16(&header[34]), uint16_t(8));   // bits
    QCOMPARE(ReadLE32(&header[40]), size);
    Bytes expected;
    for (uint32_t j = 0; j < kMarkerFrames; ++j)
        expected.push_back(uint8_t(j == 0 ? 0 : j - 1));  // -32768 saturates at 0
    for (uint64_t frame : MarkerFrames(inputBytes))
        QVERIFY2(ReadAt(path, 44 + frame, kMarkerFrames) == expected, qPrintable(QString("marker at %1").arg(frame)));
    for (uint64_t frame : {uint64_t(kMarkerFrames), uint64_t(size) / 4, uint64_t(size) / 2 - 8,
                           uint64_t(size) / 2 + kMarkerFrames + 1, uint64_t(size) - kMarkerFrames - 8})
        QVERIFY2(ReadAt(path, 44 + frame, 8) == Bytes(8, 127), qPrintable(QString("hole at %1").arg(frame)));
}

struct Windows {
    TempDir dir;
    ScriptedPlatform platform;
    TForm1 window{platform};
    TForm2 form{platform, window, &window};
    std::string out = dir.file("out");

    Windows() { fs::create_directory(out); }
    void target(const char* bits, const char* channels)
    {
        window.findChild<QComboBox*>("ComboBox1")->setCurrentText(bits);
        window.findChild<QComboBox*>("ComboBox3")->setCurrentText(channels);
    }
};

}  // namespace

class LargeWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void mainWindowConverts2GiB();
    void mainWindowRefusesToConvertADeclared4GiB();
    void batchRunConverts3_9GiB();
    void batchRunRefusesAResultPastTheLimit();
};

void LargeWindowsTest::mainWindowConverts2GiB()
{
    Windows w;
    const std::string input = w.dir.file("two.wav");
    QVERIFY(MakeSparse(input, kTwoGiB, kTwoGiB));
    w.window.WMDropFiles({input});
    QCOMPARE(w.window.records().Input.InputSize, kTwoGiB);
    QCOMPARE(w.window.findChild<QLabel*>("Label4")->text(), QString("16bit , 44100Hz , stereo"));

    w.target("8", "mono");
    const std::string output = w.out + "/two-8-mono.wav";
    w.platform.saveFileAnswers.push_back(output);
    w.window.Button2Click();
    QVERIFY(w.platform.callsOf("plainMessage").empty());
    QCOMPARE(Entries(w.out), std::set<std::string>{"two-8-mono.wav"});
    CheckEightBitMono(output, kTwoGiB);
}

void LargeWindowsTest::mainWindowRefusesToConvertADeclared4GiB()
{
    Windows w;
    // 0xFFFFFFF0 bytes declared, 16 present: the load keeps the declared size
    // with the missing bytes zero; no result of it fits a WAVE file.
    const std::string input = w.dir.file("declared.wav");
    const Bytes present = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    QVERIFY(MakeSparse(input, 0xFFFFFFF0u, 0));
    {
        int fd = ::open(input.c_str(), O_WRONLY | O_APPEND);
        QVERIFY(fd >= 0 && ::write(fd, present.data(), present.size()) == 16);
        ::close(fd);
    }
    w.window.WMDropFiles({input});
    QVERIFY(w.platform.callsOf("messageBox").empty());
    QCOMPARE(w.window.findChild<QLabel*>("Label4")->text(), QString("16bit , 44100Hz , stereo"));
    const InputBlock& block = w.window.records().Input;
    QCOMPARE(block.InputSize, 0xFFFFFFF0u);
    QVERIFY(std::equal(present.begin(), present.end(), block.InputData.data()));
    for (uint64_t at : {uint64_t(16), kGiB, 2 * kGiB, uint64_t(0xFFFFFFEFu)})
        QCOMPARE(block.InputData.data()[at], uint8_t(0));

    const std::string existing = w.out + "/existing.wav";
    WriteFile(existing, Bytes{'o', 'l', 'd'});
    for (const std::string& target : {w.out + "/new.wav", existing}) {
        w.platform.calls.clear();
        w.platform.saveFileAnswers.push_back(target);
        std::optional<int> status;
        try {
            w.window.Button2Click();
        } catch (const ProcessExit& e) {
            status = e.status;
        }
        QCOMPARE(status, std::optional<int>(1));
        const auto boxes = w.platform.callsOf("messageBox");
        QCOMPARE(boxes.size(), std::size_t(1));
        QCOMPARE(boxes[0].text, std::string("An exception error."));
        QVERIFY(boxes[0].icon == MessageIcon::Error);
        QCOMPARE(Entries(w.out), std::set<std::string>{"existing.wav"});
        QVERIFY(ReadFile(existing) == (Bytes{'o', 'l', 'd'}));
    }
}

void LargeWindowsTest::batchRunConverts3_9GiB()
{
    Windows w;
    const std::string input = w.dir.file("nearly4.wav");
    QVERIFY(MakeSparse(input, kNearly4GiB, kNearly4GiB));
    w.form.WMDropFiles({input});
    QCOMPARE(w.form.cell(3, 1), std::string("16bit , 44100Hz , stereo"));
    w.target("8", "mono");
    w.platform.folderAnswers.push_back(w.out);
    w.form.Button3Click();
    QCOMPARE(w.form.cell(4, 1), std::string("OK"));
    QCOMPARE(Entries(w.out), std::set<std::string>{"nearly4.wav"});
    CheckEightBitMono(w.out + "/nearly4.wav", kNearly4GiB);
}

void LargeWindowsTest::batchRunRefusesAResultPastTheLimit()
{
    Windows w;
    const std::string input = w.dir.file("nearly4.wav");
    QVERIFY(MakeSparse(input, kNearly4GiB, kNearly4GiB));
    w.form.WMDropFiles({input});
    // 24 bits make 5.85 GiB at the width stage; mono would halve it, but too late.
    w.target("24", "mono");
    w.platform.folderAnswers.push_back(w.out);
    std::optional<int> status;
    try {
        w.form.Button3Click();
    } catch (const ProcessExit& e) {
        status = e.status;
    }
    QCOMPARE(status, std::optional<int>(1));
    const auto boxes = w.platform.callsOf("messageBox");
    QCOMPARE(boxes.size(), std::size_t(1));
    QCOMPARE(boxes[0].text, "An exception error.\n[" + input + "]");
    QVERIFY(boxes[0].icon == MessageIcon::Error);
    QCOMPARE(w.form.cell(4, 1), std::string());
    QVERIFY(Entries(w.out).empty());
}

QTEST_MAIN(LargeWindowsTest)
#include "test_large_windows.moc"
