// Malformed and hostile files dropped on the two windows, headless: the
// message boxes each window shows (text and icon), what the main window
// keeps, whether the batch list takes the file, and the "Run" cell the batch
// run writes, with nothing left behind in the output folder.

#include <QLabel>
#include <QtTest>
#include <bit>
#include <filesystem>
#include <set>
#include <sys/stat.h>

#include "scripted_platform.h"
#include "temp_dir.h"
#include "ui/Quorvant_Unit1.h"
#include "ui/Quorvant_Unit2.h"
#include "wave_builder.h"

using namespace quorvant;
using namespace quorvant::test;
namespace fs = std::filesystem;

namespace {

const Bytes kGoodSamples(16, 0x21);
const Bytes kGood = SimpleWave(kFormatPcm, 2, 44100, 16, kGoodSamples);

using quorvant::test::Floats;

// The image of each kind of file the table names; empty for the kinds that are not plain files.
Bytes Image(const QString& kind)
{
    const Bytes fmt = FmtBody(kFormatPcm, 2, 44100, 16);
    if (kind == "text")
        return Bytes{'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't', '\n'};
    if (kind == "data before fmt")
        return Riff({Chunk("data", kGoodSamples), Chunk("fmt ", fmt)});
    if (kind == "fmt size near 2^32")
        return Riff({Chunk("fmt ", fmt, 0xFFFFFFF8u), Chunk("data", kGoodSamples)});
    if (kind == "4-bit")
        return SimpleWave(kFormatPcm, 2, 44100, 4, Bytes(8, 0x5A));
    if (kind == "extensible float")
        return Riff({Chunk("fmt ", ExtensibleFmtBody(2, 44100, 32, 3)), Chunk("data", Floats({0.5f, -0.5f}))});
    if (kind == "zero rate")
        return SimpleWave(kFormatPcm, 2, 0, 16, kGoodSamples);
    if (kind == "six channels")
        return SimpleWave(kFormatPcm, 6, 44100, 16, Bytes(24, 0x5A));
    if (kind == "data longer than the file") {
        Bytes image = SimpleWave(kFormatPcm, 2, 44100, 16, kGoodSamples);
        WriteLE32(image.data() + 40, 4096);
        return image;
    }
    if (kind == "vanishes")
        return kGood;
    return {};
}

std::string Put(const std::string& path, const QString& kind)
{
    if (kind == "folder")
        fs::create_directory(path);
    else if (kind == "fifo")
        ::mkfifo(path.c_str(), 0644);
    else
        WriteFile(path, Image(kind));
    return path;
}

// "warning: text", with {path} and {name} replaced.
QStringList Boxes(const ScriptedPlatform& platform, std::size_t from = 0)
{
    QStringList out;
    for (std::size_t i = from; i < platform.calls.size(); ++i) {
        const auto& c = platform.calls[i];
        if (c.kind != "messageBox")
            continue;
        const char* icon = c.icon == MessageIcon::Warning ? "warning" : c.icon == MessageIcon::Error ? "error" : "information";
        out << QString(icon) + ": " + QString::fromStdString(c.text);
    }
    return out;
}

QStringList Expand(QStringList texts, const std::string& path)
{
    for (QString& t : texts)
        t.replace("{path}", QString::fromStdString(path)).replace("{name}", QString::fromStdString(fs::path(path).filename().string()));
    return texts;
}

using quorvant::test::Entries;

const QString kNotWave = "warning: File {path} is not an effective WAVE file.";
const QString kReadError = "warning: The error occurred by the file reading.";
const QString kEngine = "error: An exception error.\n[{path}]";
const QString kNotWaveCell = "NG (It is not an effective WAVE file.)";

}  // namespace

class MalformedWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void mainWindowDrop_data();
    void mainWindowDrop();
    void batchWindowDropAndRun_data();
    void batchWindowDropAndRun();
};

void MalformedWindowsTest::mainWindowDrop_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("label4");  // empty: the previous file's line stays

    QTest::newRow("text") << "text" << QStringList{kNotWave} << "";
    QTest::newRow("data before fmt") << "data before fmt" << QStringList{kNotWave} << "";
    QTest::newRow("fmt size near 2^32") << "fmt size near 2^32" << QStringList{kNotWave} << "";
    QTest::newRow("4-bit") << "4-bit" << QStringList{"warning: The 4bit format file doesn't open out."} << "";
    QTest::newRow("extensible float")
        << "extensible float"
        << QStringList{"information: It is 32 bit floating type. It converts it into the integer type."}
        << "32bit(float) , 44100Hz , stereo";
    QTest::newRow("zero rate") << "zero rate" << QStringList{} << "16bit , 0Hz , stereo";
    QTest::newRow("six channels") << "six channels" << QStringList{} << "16bit , 44100Hz , stereo";
    QTest::newRow("data longer than the file") << "data longer than the file" << QStringList{}
                                               << "16bit , 44100Hz , stereo";
    // Not regular files: a drop on the main window ignores them without a message.
    QTest::newRow("folder") << "folder" << QStringList{} << "";
    QTest::newRow("fifo") << "fifo" << QStringList{} << "";
    QTest::newRow("vanished before the drop") << "vanishes" << QStringList{} << "";
}

void MalformedWindowsTest::mainWindowDrop()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, boxes);
    QFETCH(QString, label4);

    TempDir dir;
    ScriptedPlatform platform;
    TForm1 window(platform);
    const std::string previous = dir.file("previous.wav");
    WriteFile(previous, SimpleWave(kFormatPcm, 1, 8000, 8, Bytes{1, 2, 3}));
    window.WMDropFiles({previous});
    QCOMPARE(window.windowTitle(), QString("previous.wav"));

    const std::string path = Put(dir.file("case.wav"), kind);
    const Bytes before = fs::is_regular_file(path) ? ReadFile(path) : Bytes{};
    if (kind == "vanishes")
        fs::remove(path);
    window.WMDropFiles({path});

    QCOMPARE(Boxes(platform), Expand(boxes, path));
    const bool loaded = !label4.isEmpty();
    QCOMPARE(window.windowTitle(), QString(loaded ? "case.wav" : "previous.wav"));
    QCOMPARE(window.findChild<QLabel*>("Label4")->text(), loaded ? label4 : QString("8bit , 8000Hz , mono"));
    QCOMPARE(window.currentFilePath(), loaded ? path : previous);
    if (!loaded) {
        QCOMPARE(window.records().Input.InputSize, 3u);
        QCOMPARE(window.records().SourceFormat.nSamplesPerSec, 8000u);
    }
    if (fs::is_regular_file(path))
        QCOMPARE(ReadFile(path), before);
}

void MalformedWindowsTest::batchWindowDropAndRun_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("dropBoxes");
    QTest::addColumn<QString>("listInfo");  // empty: not listed
    QTest::addColumn<QStringList>("runBoxes");
    QTest::addColumn<QString>("runCell");  // "exit" when the engine's failure ends the process

    QTest::newRow("text") << "text" << QStringList{kNotWave} << "" << QStringList{} << "";
    QTest::newRow("data before fmt") << "data before fmt" << QStringList{kNotWave} << "" << QStringList{} << "";
    QTest::newRow("fmt size near 2^32") << "fmt size near 2^32" << QStringList{kNotWave} << "" << QStringList{}
                                        << "";
    QTest::newRow("4-bit") << "4-bit" << QStringList{"warning: The 4bit format file doesn't open out.\n[{name}]"}
                           << "" << QStringList{} << "";
    QTest::newRow("extensible float") << "extensible float" << QStringList{} << "32bit , 44100Hz , stereo"
                                      << QStringList{} << "OK";
    QTest::newRow("six channels") << "six channels" << QStringList{} << "16bit , 44100Hz , stereo" << QStringList{}
                                  << "OK";
    QTest::newRow("data longer than the file") << "data longer than the file" << QStringList{}
                                               << "16bit , 44100Hz , stereo" << QStringList{} << "OK";
    QTest::newRow("fifo") << "fifo" << QStringList{kReadError} << "" << QStringList{} << "";
    QTest::newRow("folder") << "folder" << QStringList{} << "" << QStringList{} << "";
    QTest::newRow("vanishes before the run") << "vanishes" << QStringList{} << "16bit , 44100Hz , stereo"
                                             << QStringList{kReadError} << kNotWaveCell;
    QTest::newRow("zero rate") << "zero rate" << QStringList{} << "16bit , 0Hz , stereo" << QStringList{kEngine}
                               << "exit";
}

void MalformedWindowsTest::batchWindowDropAndRun()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, dropBoxes);
    QFETCH(QString, listInfo);
    QFETCH(QStringList, runBoxes);
    QFETCH(QString, runCell);

    TempDir dir;
    fs::create_directory(dir.file("in"));
    fs::create_directory(dir.file("out"));
    ScriptedPlatform platform;
    TForm1 window(platform);
    TForm2 form(platform, window, &window);
    const std::string first = dir.file("in/first.wav"), last = dir.file("in/last.wav");
    WriteFile(first, kGood);
    WriteFile(last, kGood);
    const std::string path = Put(dir.file("in/case.wav"), kind);
    const Bytes before = fs::is_regular_file(path) ? ReadFile(path) : Bytes{};

    form.WMDropFiles({first, path, last});
    QCOMPARE(Boxes(platform), Expand(dropBoxes, path));
    const bool listed = !listInfo.isEmpty();
    QCOMPARE(form.listRowCount(), listed ? 4u : 3u);
    if (listed) {
        QCOMPARE(form.cell(1, 2), dir.file("in/"));
        QCOMPARE(form.cell(2, 2), std::string("case.wav"));
        QCOMPARE(QString::fromStdString(form.cell(3, 2)), listInfo);
    }
    if (kind == "vanishes")
        fs::remove(path);

    const std::size_t callsBeforeRun = platform.calls.size();
    platform.folderAnswers.push_back(dir.file("out"));
    std::optional<int> exitStatus;
    try {
        form.Button3Click();
    } catch (const ProcessExit& e) {
        exitStatus = e.status;
    }
    QCOMPARE(Boxes(platform, callsBeforeRun), Expand(runBoxes, path));

    QStringList cells;
    for (int r = 1; uint32_t(r) < form.listRowCount(); ++r)
        cells << QString::fromStdString(form.cell(4, r));
    std::set<std::string> written{"first.wav"};
    if (runCell == "exit") {
        QCOMPARE(exitStatus, std::optional<int>(1));
        QCOMPARE(cells, (QStringList{"OK", "", ""}));
    } else {
        QVERIFY(!exitStatus);
        QCOMPARE(cells, (listed ? QStringList{"OK", runCell, "OK"} : QStringList{"OK", "OK"}));
        written.insert("last.wav");
        if (runCell == "OK")
            written.insert("case.wav");
    }
    // Only whole outputs: no temporary file, nothing for a refused row.
    QCOMPARE(Entries(dir.file("out")), written);
    if (fs::is_regular_file(path))
        QCOMPARE(ReadFile(path), before);
}

QTEST_MAIN(MalformedWindowsTest)
#include "test_malformed_windows.moc"
