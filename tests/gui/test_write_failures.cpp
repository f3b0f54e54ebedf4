// Outputs that cannot be written whole, headless: the main window's "Conv."
// and the batch run against a full disk (a file-size limit in a forked child,
// SIGXFSZ ignored), an output folder that goes away during a run, and targets
// that cannot be created. Each failure is reported with its text, leaves no
// partial or temporary file, and an existing target keeps its bytes.

#include <QAbstractItemModel>
#include <QComboBox>
#include <QLabel>
#include <QTableView>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <sys/stat.h>

#include "child_process.h"
#include "scripted_platform.h"
#include "temp_dir.h"
#include "ui/Quorvant_Unit1.h"
#include "ui/Quorvant_Unit2.h"
#include "wave_builder.h"

using namespace quorvant;
using namespace quorvant::test;
namespace fs = std::filesystem;

namespace {

const Bytes kOld{'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't'};
const std::string kCannotCreate = "NG (Can not create file.)";
const std::string kCannotWrite = "NG (Can not write file.)";

Bytes Samples(std::size_t count)
{
    Bytes b(count);
    for (std::size_t i = 0; i < count; ++i)
        b[i] = uint8_t(i * 13 + 7);
    return b;
}

// 16-bit stereo at 44100 Hz: 16384 sample bytes, 16428 bytes as a file.
const Bytes kBig = SimpleWave(kFormatPcm, 2, 44100, 16, Samples(16384));
// 64 sample bytes, 108 as a file.
const Bytes kSmall = SimpleWave(kFormatPcm, 2, 44100, 16, Samples(64));

using quorvant::test::Entries;

std::string Join(const std::vector<std::string>& parts)
{
    std::string s;
    for (const auto& p : parts)
        s += (s.empty() ? "" : " | ") + p;
    return s;
}

// What the desktop was asked during a command, as one line per kind.
std::string Shown(const ScriptedPlatform& platform)
{
    std::vector<std::string> parts;
    for (const auto& c : platform.calls)
        if (c.kind == "plainMessage" || c.kind == "messageBox" || c.kind == "openFolder")
            parts.push_back(c.kind + ": " + c.text);
    return Join(parts);
}

// Folders "in" (holding the inputs) and "out", readable by everyone so a
// child running as nobody can use them.
struct Folders {
    TempDir dir;
    std::string in = dir.file("in/"), out = dir.file("out");
    Folders()
    {
        ::chmod(dir.path().c_str(), 0755);
        fs::create_directory(in);
        fs::create_directory(out);
    }
};

// Runs `action` at the top of the batch run's pass after the one that wrote
// a result into `row`, where the run handles pending events.
void AfterResult(TForm2& form, int row, std::function<void()> action)
{
    auto fired = std::make_shared<bool>(false);
    auto* grid = form.findChild<QTableView*>("StringGrid1");
    QAbstractItemModel* model = grid->model();
    QObject::connect(model, &QAbstractItemModel::dataChanged, model, [&form, grid, row, action, fired] {
        if (*fired || form.cell(4, row).empty())
            return;
        *fired = true;
        QMetaObject::invokeMethod(grid, action, Qt::QueuedConnection);
    });
}

std::string Cells(const TForm2& form)
{
    std::vector<std::string> cells;
    for (int r = 1; uint32_t(r) < form.listRowCount(); ++r)
        cells.push_back(form.cell(4, r));
    return Join(cells);
}

}  // namespace

class WriteFailuresTest : public QObject {
    Q_OBJECT
private slots:
    void mainWindowUnderFileSizeLimit_data();
    void mainWindowUnderFileSizeLimit();
    void batchRunUnderFileSizeLimit_data();
    void batchRunUnderFileSizeLimit();
    void outputFolderGoesAwayDuringTheRun_data();
    void outputFolderGoesAwayDuringTheRun();
    void targetsThatCannotBeCreated_data();
    void targetsThatCannotBeCreated();
};

void WriteFailuresTest::mainWindowUnderFileSizeLimit_data()
{
    QTest::addColumn<int>("bitIndex");
    QTest::addColumn<qlonglong>("limit");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<bool>("fits");

    // The 16-bit result is 16428 bytes, the 32-bit ones 32812.
    for (bool existing : {false, true}) {
        const char* which = existing ? "over an existing file" : "new file";
        QTest::addRow("16 bits, nothing may be written, %s", which) << 3 << 0LL << existing << false;
        QTest::addRow("16 bits, cut inside the header, %s", which) << 3 << 20LL << existing << false;
        QTest::addRow("16 bits, room for the header only, %s", which) << 3 << 44LL << existing << false;
        QTest::addRow("16 bits, one byte short, %s", which) << 3 << 16427LL << existing << false;
        QTest::addRow("16 bits, exactly enough, %s", which) << 3 << 16428LL << existing << true;
        QTest::addRow("32(float), cut among the floats, %s", which) << 1 << 8192LL << existing << false;
        QTest::addRow("32(float), one byte short, %s", which) << 1 << 32811LL << existing << false;
        QTest::addRow("32(int), one byte short, %s", which) << 0 << 32811LL << existing << false;
        QTest::addRow("32(int), exactly enough, %s", which) << 0 << 32812LL << existing << true;
    }
}

void WriteFailuresTest::mainWindowUnderFileSizeLimit()
{
    QFETCH(int, bitIndex);
    QFETCH(qlonglong, limit);
    QFETCH(bool, existing);
    QFETCH(bool, fits);

    Folders f;
    ScriptedPlatform platform;
    TForm1 window(platform);
    const std::string input = f.in + "big.wav";
    WriteFile(input, kBig);
    window.WMDropFiles({input});
    QCOMPARE(window.windowTitle(), QString("big.wav"));
    window.findChild<QComboBox*>("ComboBox1")->setCurrentIndex(bitIndex);
    const std::string target = f.out + "/target.wav";
    if (existing)
        WriteFile(target, kOld);

    ChildLimits limits;
    limits.fileSize = rlim_t(limit);
    const ChildResult child = RunInChild(limits, [&] {
        platform.saveFileAnswers.push_back(target);
        window.Button2Click();
        return Shown(platform) + "\ncaption: " + window.windowTitle().toStdString();
    });
    QVERIFY2(child.exited && child.status == 0, qPrintable(QString("child status %1").arg(child.status)));

    const std::string folderOpened = "openFolder: " + f.out + "/";
    QCOMPARE(child.report, (fits ? folderOpened : std::string("plainMessage: Error.")) + "\ncaption: big.wav");
    QCOMPARE(Entries(f.out), (fits || existing ? std::set<std::string>{"target.wav"} : std::set<std::string>{}));
    if (fits) {
        const Bytes written = ReadFile(target);
        QCOMPARE(written.size(), std::size_t(limit));
        if (bitIndex == 3)
            QVERIFY(written == kBig);  // same format: the samples unchanged behind the canonical header
    } else if (existing) {
        QVERIFY(ReadFile(target) == kOld);
    }
    QVERIFY(ReadFile(input) == kBig);
}

void WriteFailuresTest::batchRunUnderFileSizeLimit_data()
{
    QTest::addColumn<qlonglong>("limit");
    QTest::addColumn<QString>("expected");

    // small.wav needs 108 bytes, big.wav 16428.
    QTest::newRow("nothing may be written") << 0LL << "NG (Can not write file.) | NG (Can not write file.) | NG (Can not write file.)";
    QTest::newRow("header only") << 44LL << "NG (Can not write file.) | NG (Can not write file.) | NG (Can not write file.)";
    QTest::newRow("room for the small files") << 4096LL << "OK | NG (Can not write file.) | OK";
    QTest::newRow("one byte short of the big file") << 16427LL << "OK | NG (Can not write file.) | OK";
    QTest::newRow("room for all") << 16428LL << "OK | OK | OK";
}

void WriteFailuresTest::batchRunUnderFileSizeLimit()
{
    QFETCH(qlonglong, limit);
    QFETCH(QString, expected);

    Folders f;
    ScriptedPlatform platform;
    TForm1 window(platform);
    TForm2 form(platform, window, &window);
    WriteFile(f.in + "small.wav", kSmall);
    WriteFile(f.in + "big.wav", kBig);
    WriteFile(f.in + "small2.wav", kSmall);
    // big.wav was written by an earlier run.
    WriteFile(f.out + "/big.wav", kOld);
    form.WMDropFiles({f.in + "small.wav", f.in + "big.wav", f.in + "small2.wav"});
    QCOMPARE(form.listRowCount(), 4u);

    ChildLimits limits;
    limits.fileSize = rlim_t(limit);
    const ChildResult child = RunInChild(limits, [&] {
        platform.folderAnswers.push_back(f.out);
        form.Button3Click();
        return Cells(form) + "\nprogress " + std::to_string(form.progress().position()) + "\n" + Shown(platform);
    });
    QVERIFY2(child.exited && child.status == 0, qPrintable(QString("child status %1").arg(child.status)));

    const QStringList cells = expected.split(" | ");
    // The bar moves for "OK" rows only; the last such row sets it.
    const int progress = cells[2] == "OK" ? 3 : cells[1] == "OK" ? 2 : cells[0] == "OK" ? 1 : 0;
    QCOMPARE(QString::fromStdString(child.report),
             expected + "\nprogress " + QString::number(progress) + "\nopenFolder: " + QString::fromStdString(f.out));

    std::set<std::string> entries{"big.wav"};
    if (cells[0] == "OK")
        entries.insert({"small.wav", "small2.wav"});
    QCOMPARE(Entries(f.out), entries);
    QVERIFY(ReadFile(f.out + "/big.wav") == (cells[1] == "OK" ? kBig : kOld));
    if (cells[0] == "OK")
        QVERIFY(ReadFile(f.out + "/small.wav") == kSmall);
}

void WriteFailuresTest::outputFolderGoesAwayDuringTheRun_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("removed") << "removed";
    QTest::newRow("replaced by a file") << "file";
    QTest::newRow("replaced by a link to nowhere") << "dangling link";
}

void WriteFailuresTest::outputFolderGoesAwayDuringTheRun()
{
    QFETCH(QString, change);

    Folders f;
    ScriptedPlatform platform;
    TForm1 window(platform);
    TForm2 form(platform, window, &window);
    for (const char* name : {"a.wav", "b.wav", "c.wav"})
        WriteFile(f.in + name, kSmall);
    form.WMDropFiles({f.in + "a.wav", f.in + "b.wav", f.in + "c.wav"});

    AfterResult(form, 1, [&] {
        fs::remove_all(f.out);
        if (change == "file")
            WriteFile(f.out, kOld);
        else if (change == "dangling link")
            fs::create_symlink(f.dir.file("nowhere"), f.out);
    });
    platform.folderAnswers.push_back(f.out);
    form.Button3Click();

    QCOMPARE(Cells(form), "OK | " + kCannotCreate + " | " + kCannotCreate);
    QCOMPARE(form.progress().position(), 1);
    // The folder is still opened: the run does not look at the result.
    QCOMPARE(Shown(platform), "openFolder: " + f.out);
    if (change == "file")
        QVERIFY(ReadFile(f.out) == kOld);
    QVERIFY(!fs::exists(f.dir.file("nowhere")));
    // Nothing landed anywhere else: the temporary files were never made.
    QCOMPARE(Entries(f.dir.path()), (change == "removed" ? std::set<std::string>{"in"} : std::set<std::string>{"in", "out"}));
    QCOMPARE(Entries(f.in), (std::set<std::string>{"a.wav", "b.wav", "c.wav"}));
}

void WriteFailuresTest::targetsThatCannotBeCreated_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("read-only file") << "read-only file";
    QTest::newRow("folder") << "folder";
    QTest::newRow("folder without write permission, new file") << "locked folder";
    QTest::newRow("folder without write permission, writable old file") << "locked folder, old file";
}

void WriteFailuresTest::targetsThatCannotBeCreated()
{
    QFETCH(QString, target);

    Folders f;
    ScriptedPlatform platform;
    TForm1 window(platform);
    TForm2 form(platform, window, &window);
    WriteFile(f.in + "a.wav", kSmall);
    WriteFile(f.in + "b.wav", kSmall);
    ::chmod((f.in + "a.wav").c_str(), 0644);
    ::chmod((f.in + "b.wav").c_str(), 0644);
    window.WMDropFiles({f.in + "a.wav"});
    form.WMDropFiles({f.in + "a.wav", f.in + "b.wav"});

    const std::string blocked = f.out + "/a.wav";
    const bool locked = target.startsWith("locked folder");
    if (target == "read-only file" || target == "locked folder, old file") {
        WriteFile(blocked, kOld);
        ::chmod(blocked.c_str(), target == "read-only file" ? 0444 : 0666);
    } else if (target == "folder") {
        fs::create_directory(blocked);
        WriteFile(blocked + "/inside", kOld);
    }
    if (locked)
        ::chmod(f.out.c_str(), 0555);
    const std::set<std::string> before = Entries(f.out);

    // A folder without write permission stops everyone but root: the
    // commands run in a child as nobody.
    ChildLimits limits;
    limits.unprivileged = locked;
    const ChildResult child = RunInChild(limits, [&] {
        platform.saveFileAnswers.push_back(blocked);
        window.Button2Click();
        const std::string main = Shown(platform);
        platform.calls.clear();
        platform.folderAnswers.push_back(f.out);
        form.Button3Click();
        return main + "\n" + Cells(form);
    });
    QVERIFY2(child.exited && child.status == 0, qPrintable(QString("child status %1").arg(child.status)));

    // In a locked folder no new name can appear either, so b.wav fails too.
    QCOMPARE(child.report, "plainMessage: Error.\n" + kCannotCreate + " | " + (locked ? kCannotCreate : "OK"));
    std::set<std::string> after = before;
    if (!locked)
        after.insert("b.wav");
    QCOMPARE(Entries(f.out), after);
    if (target == "folder")
        QCOMPARE(Entries(blocked), std::set<std::string>{"inside"});
    else if (fs::exists(blocked))
        QVERIFY(ReadFile(blocked) == kOld);
}

QTEST_MAIN(WriteFailuresTest)
#include "test_write_failures.moc"
