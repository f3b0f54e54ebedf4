// Odd names in the two windows, headless: names with blanks, quotes,
// Japanese text, a leading '-', 255 bytes, bytes that are not UTF-8, and
// paths over 4000 bytes, given as path bytes by drops and the scripted
// dialogs. Each opens, lists, converts and opens its folder under its own
// bytes, or gets a clear message; none turns into another file's name.

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTableView>
#include <QUrl>
#include <QtTest>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/stat.h>
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

Bytes Image(uint8_t seed)
{
    Bytes samples(32);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = uint8_t(seed + i * 5);
    return SimpleWave(kFormatPcm, 2, 44100, 16, samples);
}

using quorvant::test::Entries;

QByteArray Qb(const std::string& s) { return QByteArray(s.data(), qsizetype(s.size())); }

std::vector<std::string> Texts(const ScriptedPlatform& platform, const char* kind)
{
    std::vector<std::string> out;
    for (const auto& c : platform.callsOf(kind))
        out.push_back(c.text);
    return out;
}

// Nested folders of 200-byte names under `root` until the path is at least
// `length` bytes; beyond the system's limit by walking down with descriptors.
std::string DeepFolder(const std::string& root, std::size_t length)
{
    std::string path = root;
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    while (fd >= 0 && path.size() + 1 < length) {
        std::string part(std::min<std::size_t>(200, length - path.size() - 1), 'd');
        ::mkdirat(fd, part.c_str(), 0755);
        int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        path += "/" + part;
    }
    if (fd >= 0) {
        // A file in the deepest folder, written through its descriptor.
        int file = ::openat(fd, "deep.wav", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const Bytes image = Image(77);
        if (file >= 0) {
            if (::write(file, image.data(), image.size()) != ssize_t(image.size()))
                path.clear();
            ::close(file);
        }
        ::close(fd);
    }
    return path + "/";
}

// The odd names of the tables: each a file name (at most 255 bytes).
void AddNameRows()
{
    QTest::addColumn<QByteArray>("name");
    std::string japanese;
    while (japanese.size() + 3 + 6 <= 255)
        japanese += "音";
    QTest::newRow("blanks and quotes") << Qb(" it's a \"quoted\"  name .wav");
    QTest::newRow("japanese") << Qb("日本語のファイル名.wav");
    QTest::newRow("leading dash") << Qb("-o out.wav");
    QTest::newRow("255 ascii bytes") << Qb(std::string(251, 'n') + ".wav");
    QTest::newRow("255 bytes of japanese") << Qb(japanese + "xx.wav");
    QTest::newRow("latin-1, not utf-8") << Qb("caf\xe9.wav");
    QTest::newRow("shift-jis, not utf-8") << Qb("\x83\x5c\x81\x5b\x83\x58.wav");
    QTest::newRow("stray bytes") << Qb("\xff\xfe\x80.wav");
}

}  // namespace

class OddPathsWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void mainWindowOpensConvertsAndOpensTheFolder_data();
    void mainWindowOpensConvertsAndOpensTheFolder();
    void batchWindowListsConvertsAndOpensTheFolders_data();
    void batchWindowListsConvertsAndOpensTheFolders();
    void namesDifferingInInvalidBytesStayApart();
    void longPaths();
    void desktopDropKeepsBytesThatAreNotUtf8();
};

void OddPathsWindowsTest::mainWindowOpensConvertsAndOpensTheFolder_data() { AddNameRows(); }

void OddPathsWindowsTest::mainWindowOpensConvertsAndOpensTheFolder()
{
    QFETCH(QByteArray, name);
    const std::string bytes = name.toStdString();
    TempDir dir;
    const std::string in = dir.file("in '\xff' 入力/");
    const std::string out = dir.file("-out \"\xe9\"");
    fs::create_directory(in);
    fs::create_directory(out);
    const Bytes image = Image(3);
    WriteFile(in + bytes, image);

    ScriptedPlatform platform;
    TForm1 window(platform);
    for (bool byDrop : {true, false}) {
        if (byDrop) {
            window.WMDropFiles({in + bytes});
        } else {
            platform.openFileAnswers.push_back(in + bytes);
            window.Button1Click();
        }
        QCOMPARE(window.currentFilePath(), in + bytes);
        // The caption shows the name as text; the path bytes stay as they were.
        QCOMPARE(window.windowTitle(), QFile::decodeName(name));

        const std::string target = out + "/" + bytes;
        platform.saveFileAnswers.push_back(target);
        window.Button2Click();
        QVERIFY(ReadFile(target) == image);
        QCOMPARE(Entries(out), std::set<std::string>{bytes});
        fs::remove(target);
    }
    QCOMPARE(Texts(platform, "openFolder"), (std::vector<std::string>{out + "/", out + "/"}));
    QVERIFY(platform.callsOf("messageBox").empty());
    QVERIFY(platform.callsOf("plainMessage").empty());
}

void OddPathsWindowsTest::batchWindowListsConvertsAndOpensTheFolders_data() { AddNameRows(); }

void OddPathsWindowsTest::batchWindowListsConvertsAndOpensTheFolders()
{
    QFETCH(QByteArray, name);
    const std::string bytes = name.toStdString();
    TempDir dir;
    const std::string in = dir.file("--in \xfe 入力/");
    const std::string out = dir.file("out \"'\x81");
    fs::create_directory(in);
    fs::create_directory(out);
    WriteFile(in + bytes, Image(9));

    ScriptedPlatform platform;
    TForm1 window(platform);
    TForm2 form(platform, window, &window);
    form.WMDropFiles({in + bytes});
    platform.openFilesAnswers.push_back({in + bytes});
    form.Button1Click();
    QCOMPARE(form.listRowCount(), 3u);
    for (int r = 1; r <= 2; ++r) {
        QCOMPARE(form.cell(1, r), in);
        QCOMPARE(form.cell(2, r), bytes);
    }

    // Double-clicking the folder cell opens the folder under its own bytes.
    auto* grid = form.findChild<QTableView*>("StringGrid1");
    grid->setCurrentIndex(grid->model()->index(0, 1));
    form.StringGrid1DblClick();

    platform.folderAnswers.push_back(out);
    form.Button3Click();
    // The second row names the same output as the first.
    QCOMPARE(form.cell(4, 1), std::string("OK"));
    QCOMPARE(form.cell(4, 2), std::string("NG (The output file name is already used in this run.)"));
    QCOMPARE(Entries(out), std::set<std::string>{bytes});
    QVERIFY(ReadFile(out + "/" + bytes) == Image(9));
    QCOMPARE(Texts(platform, "openFolder"), (std::vector<std::string>{in, out}));
    QVERIFY(platform.callsOf("messageBox").empty());
}

void OddPathsWindowsTest::namesDifferingInInvalidBytesStayApart()
{
    // Shown as text, all four read "�.wav": each must still be its own file.
    const std::vector<std::string> names = {"\xff.wav", "\xfe.wav", "\xef\xbf\xbd.wav", "\x80.wav"};
    TempDir dir;
    const std::string out = dir.file("out");
    fs::create_directory(out);
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < names.size(); ++i) {
        paths.push_back(dir.file(names[i]));
        WriteFile(paths.back(), Image(uint8_t(40 * i)));
    }
    ScriptedPlatform platform;
    TForm1 window(platform);
    TForm2 form(platform, window, &window);
    form.WMDropFiles(paths);
    platform.folderAnswers.push_back(out);
    form.Button3Click();
    for (int r = 1; r <= 4; ++r) {
        QCOMPARE(form.cell(2, r), names[std::size_t(r - 1)]);
        QCOMPARE(form.cell(4, r), std::string("OK"));
    }
    QCOMPARE(Entries(out), std::set<std::string>(names.begin(), names.end()));
    for (std::size_t i = 0; i < names.size(); ++i)
        QVERIFY(ReadFile(out + "/" + names[i]) == Image(uint8_t(40 * i)));

    // The main window opens each under its own bytes too.
    for (std::size_t i = 0; i < names.size(); ++i) {
        window.WMDropFiles({paths[i]});
        QCOMPARE(window.currentFilePath(), paths[i]);
        QCOMPARE(window.records().Input.InputData.data()[0], Image(uint8_t(40 * i))[44]);
    }
}

void OddPathsWindowsTest::longPaths()
{
    TempDir dir;
    const std::string fits = DeepFolder(dir.path(), 4040);
    const std::string over = DeepFolder(dir.path(), 4200);
    QVERIFY(fits.size() + 8 > 4000 && fits.size() + 8 < 4096);
    QVERIFY(over.size() > 4096);
    const std::string out = DeepFolder(dir.path(), 4000);

    ScriptedPlatform platform;
    TForm1 window(platform);
    TForm2 form(platform, window, &window);

    // Just under the limit: everything works.
    window.WMDropFiles({fits + "deep.wav"});
    QCOMPARE(window.currentFilePath(), fits + "deep.wav");
    platform.saveFileAnswers.push_back(out + "main.wav");
    window.Button2Click();
    QVERIFY(ReadFile(out + "main.wav") == Image(77));
    form.WMDropFiles({fits + "deep.wav"});
    QCOMPARE(form.cell(1, 1), fits);
    platform.folderAnswers.push_back(out.substr(0, out.size() - 1));
    form.Button3Click();
    QCOMPARE(form.cell(4, 1), std::string("OK"));
    QVERIFY(ReadFile(out + "deep.wav") == Image(77));
    QCOMPARE(Texts(platform, "openFolder"), (std::vector<std::string>{out, out.substr(0, out.size() - 1)}));
    QVERIFY(platform.callsOf("messageBox").empty());
    platform.calls.clear();

    // Over it: the dialog's name gets the loader's message; a drop on the
    // main window is ignored like any name it cannot look up; the batch
    // list reports it; saving there gives "Error.".
    platform.openFileAnswers.push_back(over + "deep.wav");
    window.Button1Click();
    window.WMDropFiles({over + "deep.wav"});
    QCOMPARE(window.currentFilePath(), fits + "deep.wav");
    form.WMDropFiles({over + "deep.wav"});
    QCOMPARE(form.listRowCount(), 2u);
    QCOMPARE(Texts(platform, "messageBox"),
             (std::vector<std::string>{"The error occurred by the file reading.", "The error occurred by the file reading."}));
    platform.saveFileAnswers.push_back(over + "main.wav");
    window.Button2Click();
    QCOMPARE(Texts(platform, "plainMessage"), std::vector<std::string>{"Error."});
    QVERIFY(platform.callsOf("openFolder").empty());
}

// A drop from the desktop carries file URLs; a name that is not UTF-8 comes
// percent-encoded and must reach the list as the same bytes, not as the name
// of another file.
void OddPathsWindowsTest::desktopDropKeepsBytesThatAreNotUtf8()
{
    TempDir dir;
    const std::string wanted = dir.file("\xff.wav"), decoy = dir.file("\xef\xbf\xbd.wav");
    WriteFile(wanted, Image(1));
    WriteFile(decoy, Image(2));
    QMimeData mime;
    mime.setData("text/uri-list", QByteArray("file://") + QByteArray::fromStdString(wanted).toPercentEncoding("/") + "\r\n");

    ScriptedPlatform platform;
    TForm1 window(platform);
    TForm2 form(platform, window, &window);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    QCOMPARE(form.listRowCount(), 2u);
    QCOMPARE(form.cell(2, 1), std::string("\xff.wav"));

    QDragEnterEvent mainEnter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &mainEnter);
    QDropEvent mainDrop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &mainDrop);
    QTRY_COMPARE(window.currentFilePath(), wanted);
}

QTEST_MAIN(OddPathsWindowsTest)
#include "test_odd_paths_windows.moc"
