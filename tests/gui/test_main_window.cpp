// Headless tests of the main window: start-up state, opening files by
// dialog and by drop, the single-file conversion end to end on real files,
// the version message and closing. The desktop is the scripted stand-in.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QFontDatabase>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <bit>
#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <sys/resource.h>

#include "scripted_platform.h"
#include "temp_dir.h"
#include "ui/Quorvant_Unit1.h"
#include "ui/Quorvant_Unit2.h"
#include "wave/wave_loader.h"
#include "wave_builder.h"

using namespace quorvant;
using namespace quorvant::test;

namespace {

// Also notes the window's caption at every message and folder request, to
// see what the window showed while it waited.
class WatchingPlatform : public ScriptedPlatform {
public:
    void showMessageBox(const std::string& text, MessageIcon icon) override
    {
        note();
        ScriptedPlatform::showMessageBox(text, icon);
    }
    void showPlainMessage(QWidget* owner, const std::string& text) override
    {
        note();
        ScriptedPlatform::showPlainMessage(owner, text);
    }
    void openFolder(const std::string& folder) override
    {
        note();
        ScriptedPlatform::openFolder(folder);
    }
    // The real exit unwinds nothing: what exists now is what stays on disk.
    [[noreturn]] void exitProcess(int status) override
    {
        if (beforeExit)
            beforeExit();
        ScriptedPlatform::exitProcess(status);
    }

    QWidget* window = nullptr;
    std::vector<QString> captions;
    std::function<void()> beforeExit;

private:
    void note() { captions.push_back(window ? window->windowTitle() : QString()); }
};

Bytes Samples16(std::initializer_list<int16_t> values)
{
    Bytes b;
    for (int16_t v : values)
        PutLE16(b, uint16_t(v));
    return b;
}

Bytes Samples32(std::initializer_list<int32_t> values)
{
    Bytes b;
    for (int32_t v : values)
        PutLE32(b, uint32_t(v));
    return b;
}

using quorvant::test::Floats;

QByteArray Qb(const Bytes& b) { return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())); }

// A 16-bit stereo file at 44100 Hz: four frames.
const Bytes kStereoSamples = Samples16({0, 16384, -32768, -16384, 100, 100, -200, -200});
const Bytes kStereoFile = SimpleWave(kFormatPcm, 2, 44100, 16, kStereoSamples);

std::set<std::string> FolderEntries(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// 1, 2, 44100, 176400, 4, 16.
WAVEFORMATEX DefaultTarget()
{
    WAVEFORMATEX t;
    t.wFormatTag = 1;
    t.nChannels = 2;
    t.nSamplesPerSec = 44100;
    t.nAvgBytesPerSec = 176400;
    t.nBlockAlign = 4;
    t.wBitsPerSample = 16;
    return t;
}
const WAVEFORMATEX kDefaultTarget = DefaultTarget();

struct Fixture {
    Fixture()
    {
        platform.window = &window;
        form2 = new TForm2(platform, window, &window);
        window.setBatchWindow(form2);
    }

    std::string put(const std::string& name, const Bytes& bytes)
    {
        WriteFile(dir.file(name), bytes);
        return dir.file(name);
    }
    // Opens a file through the "Open" button and the scripted dialog.
    void open(const std::string& path)
    {
        platform.openFileAnswers.push_back(path);
        button("Button1")->click();
    }
    // Converts through the "Conv." button and the scripted save dialog.
    void convertTo(const std::optional<std::string>& target)
    {
        platform.saveFileAnswers.push_back(target);
        button("Button2")->click();
    }

    template <typename W>
    W* child(const char* name)
    {
        auto* w = window.findChild<W*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    QComboBox* combo(const char* name) { return child<QComboBox>(name); }
    QAction* action(const char* name) { return child<QAction>(name); }
    QString label4() { return child<QLabel>("Label4")->text(); }

    TempDir dir;
    WatchingPlatform platform;
    TForm1 window{platform};
    TForm2* form2 = nullptr;
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void startUpState();
    void controlsAndLayout();
    void menu();
    void openByDialog();
    void openFailureKeepsPreviousFile_data();
    void openFailureKeepsPreviousFile();
    void floatFileShowsNoticeAndMarker();
    void dropOpensFirstNameOnly();
    void captionShowsNameAsItIs();
    void dropFromTheDesktop();
    void convertWithDefaults();
    void convertToChoices_data();
    void convertToChoices();
    void convertWithNothingLoaded();
    void cancelledSave();
    void saveOverLoadedFile();
    void unwritableTarget_data();
    void unwritableTarget();
    void writeFailureLeavesTargetAlone();
    void engineFailureEndsProcess();
    void checkBoxOpensFolder();
    void versionMessage();
    void batchWindowIsModal();
    void closing_data();
    void closing();
};

void TestMainWindow::startUpState()
{
    Fixture f;
    QCOMPARE(f.window.windowTitle(), QString("Quorvant"));
    QCOMPARE(f.label4(), QString("----"));
    QVERIFY(f.child<QCheckBox>("CheckBox1")->isChecked());
    QCOMPARE(f.combo("ComboBox1")->currentText(), QString("16"));
    QCOMPARE(f.combo("ComboBox2")->currentText(), QString("44100"));
    QCOMPARE(f.combo("ComboBox3")->currentText(), QString("stereo"));

    const QStringList bits{"32(int)", "32(float)", "24", "16", "8"};
    const QStringList rates{"192000", "176400", "96000", "88200", "48000", "44100",
                            "22050",  "11025",  "8000",  "16000", "24000", "32000"};
    const QStringList channels{"stereo", "mono"};
    const std::pair<const char*, QStringList> combos[] = {{"ComboBox1", bits}, {"ComboBox2", rates}, {"ComboBox3", channels}};
    for (const auto& [name, items] : combos) {
        QComboBox* box = f.combo(name);
        QStringList shown;
        for (int i = 0; i < box->count(); ++i)
            shown << box->itemText(i);
        QCOMPARE(shown, items);
        QVERIFY2(!box->isEditable(), name);
    }

    QVERIFY(f.window.selectedTargetFormat() == kDefaultTarget);
    QVERIFY(f.window.opensFolderAfterConversion());
    QVERIFY(f.window.currentFilePath().empty());
    QVERIFY(f.window.records().Input.InputData.isNull());
    QVERIFY(f.window.acceptDrops());
    QVERIFY(f.platform.calls.empty());
}

void TestMainWindow::controlsAndLayout()
{
    Fixture f;
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));

    struct Expected {
        const char* name;
        const char* kind;
        QRect geometry;
        QString caption;
    };
    const Expected table[] = {
        {"ComboBox1", "QComboBox", {16, 24, 65, 20}, {}},
        {"ComboBox2", "QComboBox", {96, 24, 81, 20}, {}},
        {"ComboBox3", "QComboBox", {192, 24, 65, 20}, {}},
        {"Button1", "QPushButton", {16, 64, 75, 25}, "Open"},
        {"Button2", "QPushButton", {184, 64, 75, 25}, "Conv."},
        {"GroupBox1", "QGroupBox", {16, 104, 241, 41}, "The information of the open file."},
        {"CheckBox1", "QCheckBox", {16, 152, 249, 17}, "After it executes it, it opens up the folder. "},
        {"Button3", "QPushButton", {8, 176, 233, 25}, "Batch processing."},
    };
    for (const auto& e : table) {
        QWidget* w = f.child<QWidget>(e.name);
        QVERIFY2(w->inherits(e.kind), e.name);
        QCOMPARE(w->geometry(), e.geometry);
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            QCOMPARE(b->text(), e.caption);
        if (auto* g = qobject_cast<QGroupBox*>(w))
            QCOMPARE(g->title(), e.caption);
    }

    // Labels sit where designed and take the size of their text.
    const std::pair<const char*, QPoint> labels[] = {
        {"Label1", {16, 8}}, {"Label2", {96, 8}}, {"Label3", {192, 8}}, {"Label4", {8, 16}}};
    const QStringList labelTexts{"Bit", "Frequency[Hz]", "Channel", "----"};
    for (int i = 0; i < 4; ++i) {
        auto* label = f.child<QLabel>(labels[i].first);
        QCOMPARE(label->text(), labelTexts[i]);
        QCOMPARE(label->pos(), labels[i].second);
        QCOMPARE(label->size(), label->sizeHint());
    }
    QCOMPARE(f.child<QLabel>("Label4")->parentWidget(), f.child<QWidget>("GroupBox1"));

    // Tab order as designed.
    const QStringList order{"ComboBox1", "ComboBox2", "ComboBox3", "Button1",
                            "GroupBox1", "CheckBox1", "Button3"};
    QStringList chain;
    QWidget* w = f.combo("ComboBox1");
    do {
        if (!w->objectName().isEmpty() && (order.contains(w->objectName()) || w->objectName() == "Button2"))
            if (!chain.contains(w->objectName()))
                chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w != f.combo("ComboBox1"));
    QCOMPARE(chain, (QStringList{"ComboBox1", "ComboBox2", "ComboBox3", "Button1", "Button2", "GroupBox1",
                                 "CheckBox1", "Button3"}));

    // The client area is 322 x 224 below the menu bar, and the window cannot be resized or maximised.
    QWidget* client = f.window.centralWidget();
    QCOMPARE(client->size(), QSize(322, 224));
    QCOMPARE(client->y(), f.window.menuBar()->height());
    QCOMPARE(f.window.height(), f.window.menuBar()->height() + 224);
    QCOMPARE(f.window.minimumSize(), f.window.maximumSize());
    QCOMPARE(f.window.size(), f.window.minimumSize());
    const Qt::WindowFlags flags = f.window.windowFlags();
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);

    // Centred on the screen.
    const QPoint screenCentre = f.window.screen()->availableGeometry().center();
    const QRect frame = f.window.frameGeometry();
    QVERIFY2((frame.center() - screenCentre).manhattanLength() <= 2,
             qPrintable(QString("window at %1,%2").arg(frame.x()).arg(frame.y())));

    // The designed font at 12 pixels, or its stand-in.
    QCOMPARE(f.window.font().pixelSize(), 12);
    QCOMPARE(f.window.font().families().value(0), QString("ＭＳ Ｐゴシック"));
    const QString used = QFontInfo(f.child<QLabel>("Label1")->font()).family();
    if (QFontDatabase::families().contains("IPAPGothic") && !QFontDatabase::families().contains("ＭＳ Ｐゴシック"))
        QCOMPARE(used, QString("IPAPGothic"));
}

void TestMainWindow::menu()
{
    Fixture f;
    auto* bar = f.child<QMenuBar>("MainMenu1");
    QCOMPARE(f.window.menuBar(), bar);
    QStringList top;
    for (QAction* a : bar->actions())
        top << a->text();
    QCOMPARE(top, (QStringList{"File(&F)", "Help(&H)"}));

    QStringList file;
    for (QAction* a : f.child<QMenu>("File1")->actions())
        file << (a->isSeparator() ? "-" : a->text()) + "=" + a->objectName();
    QCOMPARE(file, (QStringList{"Open(&O)=OpenO1", "Convert(&C)=ConvertC1", "-=N1", "Exit(&X)=ExitX1"}));
    QStringList help;
    for (QAction* a : f.child<QMenu>("HelpH1")->actions())
        help << a->text() + "=" + a->objectName();
    QCOMPARE(help, QStringList{"Version Info.(&A)=VersionInfo1"});

    for (QAction* a : f.window.findChildren<QAction*>())
        QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->objectName()));
}

void TestMainWindow::openByDialog()
{
    Fixture f;
    const std::string path = f.put("first.wav", kStereoFile);

    f.platform.openFileAnswers.push_back(std::nullopt);
    f.button("Button1")->click();
    QCOMPARE(f.window.windowTitle(), QString("Quorvant"));
    QVERIFY(f.window.records().Input.InputData.isNull());

    f.open(path);
    QCOMPARE(f.window.windowTitle(), QString("first.wav"));
    QCOMPARE(f.label4(), QString("16bit , 44100Hz , stereo"));
    QCOMPARE(f.window.currentFilePath(), path);
    QCOMPARE(f.window.records().Input.InputSize, uint32_t(kStereoSamples.size()));
    QVERIFY(std::equal(kStereoSamples.begin(), kStereoSamples.end(), f.window.records().Input.InputData.data()));
    auto* label4 = f.child<QLabel>("Label4");
    QVERIFY(label4->width() >= label4->fontMetrics().horizontalAdvance(label4->text()));
    QVERIFY(label4->width() > 24);
    QCOMPARE(label4->size(), label4->sizeHint());

    // The menu item opens the same dialog; a 24-bit mono file replaces the first.
    const std::string second = f.put("second.wav", SimpleWave(kFormatPcm, 1, 96000, 24, Bytes(9, 1)));
    f.platform.openFileAnswers.push_back(second);
    f.action("OpenO1")->trigger();
    QCOMPARE(f.window.windowTitle(), QString("second.wav"));
    QCOMPARE(f.label4(), QString("24bit , 96000Hz , mono"));
    QCOMPARE(f.window.currentFilePath(), second);
    QCOMPARE(f.platform.callsOf("openFile").size(), std::size_t(3));
    QVERIFY(f.platform.callsOf("messageBox").empty());
}

void TestMainWindow::openFailureKeepsPreviousFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("byDrop");
    QTest::addColumn<QString>("message");  // "" for none; "{path}" stands for the full path

    QTest::newRow("missing file, dialog") << "missing" << false << QString(texts::kReadError);
    QTest::newRow("missing file, drop") << "missing" << true << "";
    QTest::newRow("text file, dialog") << "text" << false << "File {path} is not an effective WAVE file.";
    QTest::newRow("text file, drop") << "text" << true << "File {path} is not an effective WAVE file.";
    QTest::newRow("4-bit file, dialog") << "fourbit" << false << QString(texts::kFourBit);
    QTest::newRow("4-bit file, drop") << "fourbit" << true << QString(texts::kFourBit);
    QTest::newRow("folder, drop") << "folder" << true << "";
}

void TestMainWindow::openFailureKeepsPreviousFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, byDrop);
    QFETCH(QString, message);

    Fixture f;
    const std::string good = f.put("good.wav", kStereoFile);
    f.open(good);
    const WAVEFORMATEX format = f.window.records().SourceFormat;

    std::string bad = f.dir.file("bad.wav");
    if (kind == "text")
        WriteFile(bad, Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    else if (kind == "fourbit")
        WriteFile(bad, SimpleWave(2, 1, 8000, 4, Bytes(16, 0x77)));
    else if (kind == "folder")
        std::filesystem::create_directory(bad);
    f.platform.calls.clear();

    if (byDrop) {
        f.window.WMDropFiles({bad});
    } else {
        f.platform.openFileAnswers.push_back(bad);
        f.action("OpenO1")->trigger();
    }

    const auto boxes = f.platform.callsOf("messageBox");
    if (message.isEmpty()) {
        QVERIFY(boxes.empty());
    } else {
        QCOMPARE(boxes.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(boxes[0].text), QString(message).replace("{path}", QString::fromStdString(bad)));
        QVERIFY(boxes[0].icon == MessageIcon::Warning);
    }
    QCOMPARE(f.window.windowTitle(), QString("good.wav"));
    QCOMPARE(f.label4(), QString("16bit , 44100Hz , stereo"));
    QCOMPARE(f.window.currentFilePath(), good);
    QVERIFY(f.window.records().SourceFormat == format);
    QCOMPARE(f.window.records().Input.InputSize, uint32_t(kStereoSamples.size()));
}

void TestMainWindow::floatFileShowsNoticeAndMarker()
{
    Fixture f;
    f.open(f.put("float.wav", SimpleWave(kFormatFloat, 1, 48000, 32, Floats({0.0f, 0.5f, -1.0f, -0.5f}))));

    const auto boxes = f.platform.callsOf("messageBox");
    QCOMPARE(boxes.size(), std::size_t(1));
    QCOMPARE(boxes[0].text, std::string("It is 32 bit floating type. It converts it into the integer type."));
    QVERIFY(boxes[0].icon == MessageIcon::Information);
    // The notice comes while the samples are being read.
    QCOMPARE(f.platform.captions.at(0), QString("The file is opened..."));

    QCOMPARE(f.window.windowTitle(), QString("float.wav"));
    QCOMPARE(f.label4(), QString("32bit(float) , 48000Hz , mono"));
    const Bytes expected = Samples32({0, 1073741824, INT32_MIN, -1073741824});
    QVERIFY(std::equal(expected.begin(), expected.end(), f.window.records().Input.InputData.data()));
}

void TestMainWindow::dropOpensFirstNameOnly()
{
    Fixture f;
    const std::string a = f.put("a.wav", kStereoFile);
    const std::string b = f.put("b.wav", SimpleWave(kFormatPcm, 1, 8000, 8, Bytes(4, 127)));
    const std::string c = f.put("c.wav", SimpleWave(kFormatPcm, 1, 8000, 8, Bytes(4, 127)));

    f.window.WMDropFiles({a, b, c});
    QCOMPARE(f.window.windowTitle(), QString("a.wav"));
    QCOMPARE(f.window.currentFilePath(), a);

    // A folder first: the drop is ignored, the file behind it too.
    f.window.WMDropFiles({f.dir.path(), b});
    f.window.WMDropFiles({});
    QCOMPARE(f.window.currentFilePath(), a);
    QCOMPARE(f.label4(), QString("16bit , 44100Hz , stereo"));

    f.window.WMDropFiles({c, a});
    QCOMPARE(f.window.currentFilePath(), c);
    QCOMPARE(f.label4(), QString("8bit , 8000Hz , mono"));
    QVERIFY(f.platform.calls.empty());
}

void TestMainWindow::captionShowsNameAsItIs()
{
    // "[*]" would otherwise be taken for Qt's unsaved-changes marker and vanish.
    Fixture f;
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    f.window.WMDropFiles({f.put("take[*]two.wav", kStereoFile)});
    QCOMPARE(f.window.windowHandle()->title(), QString("take[*]two.wav"));
}

void TestMainWindow::dropFromTheDesktop()
{
    Fixture f;
    const std::string b = f.put("b.wav", kStereoFile);
    const std::string c = f.put("c.wav", kStereoFile);

    QMimeData remoteOnly;
    remoteOnly.setUrls({QUrl("https://example.com/remote.wav")});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &remoteOnly, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f.window, &refused);
    QVERIFY(!refused.isAccepted());

    // Names that are not local files are skipped: the first local one opens.
    QMimeData files;
    files.setUrls({QUrl("https://example.com/remote.wav"), QUrl::fromLocalFile(QString::fromStdString(b)),
                   QUrl::fromLocalFile(QString::fromStdString(c))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f.window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f.window, &drop);
    QTRY_COMPARE(f.window.windowTitle(), QString("b.wav"));
    QCOMPARE(f.window.currentFilePath(), b);

    QDropEvent remoteDrop(QPointF(10, 10), Qt::CopyAction, &remoteOnly, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f.window, &remoteDrop);
    QTest::qWait(20);
    QCOMPARE(f.window.currentFilePath(), b);
}

void TestMainWindow::convertWithDefaults()
{
    Fixture f;
    f.open(f.put("in.wav", kStereoFile));
    const std::string out = f.dir.file("out.wav");
    f.convertTo(out);

    // Samples unchanged behind the canonical header 1, 2, 44100, 176400, 4, 16.
    const Bytes written = ReadFile(out);
    QCOMPARE(Qb(written), Qb(kStereoFile));
    QCOMPARE(ReadLE32(written.data() + 28), 176400u);
    QCOMPARE(ReadLE16(written.data() + 32), uint16_t(4));
    QCOMPARE(f.window.windowTitle(), QString("in.wav"));
    QCOMPARE(FolderEntries(f.dir.path()), (std::set<std::string>{"in.wav", "out.wav"}));
    QCOMPARE(f.platform.callsOf("openFolder").size(), std::size_t(1));
    QCOMPARE(f.platform.callsOf("openFolder")[0].text, f.dir.path() + "/");
    // The caption named the file again before the folder opened.
    QCOMPARE(f.platform.captions.back(), QString("in.wav"));
    QVERIFY(f.window.records().TargetFormat == kDefaultTarget);
    // The loaded block stays for the next conversion.
    QCOMPARE(f.window.records().Input.InputSize, uint32_t(kStereoSamples.size()));
}

void TestMainWindow::convertToChoices_data()
{
    QTest::addColumn<int>("bitIndex");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("channels");
    QTest::addColumn<QByteArray>("expected");

    // Widening 16 to 32 bits shifts left by 16: 16384 becomes 2^30, i.e. 0.5 as a float.
    QTest::newRow("32(float)") << 1 << "44100" << "stereo"
                               << Qb(SimpleWave(kFormatFloat, 2, 44100, 32,
                                                Floats({0.0f, 0.5f, -1.0f, -0.5f, 100 / 32768.0f, 100 / 32768.0f,
                                                        -200 / 32768.0f, -200 / 32768.0f})));
    QTest::newRow("32(int)") << 0 << "44100" << "stereo"
                             << Qb(SimpleWave(kFormatPcm, 2, 44100, 32,
                                              Samples32({0, 1 << 30, INT32_MIN, -(1 << 30), 100 << 16, 100 << 16,
                                                         -200 * 65536, -200 * 65536})));
    // Equal left and right samples average to themselves.
    QTest::newRow("mono") << 3 << "44100" << "mono"
                          << Qb(SimpleWave(kFormatPcm, 1, 44100, 16, Samples16({8192, -24576, 100, -200})));
    // Half the rate keeps every second frame.
    QTest::newRow("22050") << 3 << "22050" << "stereo"
                           << Qb(SimpleWave(kFormatPcm, 2, 22050, 16, Samples16({0, 16384, 100, 100})));
}

void TestMainWindow::convertToChoices()
{
    QFETCH(int, bitIndex);
    QFETCH(QString, rate);
    QFETCH(QString, channels);
    QFETCH(QByteArray, expected);

    Fixture f;
    f.open(f.put("in.wav", kStereoFile));
    f.combo("ComboBox1")->setCurrentIndex(bitIndex);
    f.combo("ComboBox2")->setCurrentText(rate);
    f.combo("ComboBox3")->setCurrentText(channels);
    const std::string out = f.dir.file("out.wav");
    // Through the menu item this time.
    f.platform.saveFileAnswers.push_back(out);
    f.action("ConvertC1")->trigger();

    QCOMPARE(Qb(ReadFile(out)), expected);
    QCOMPARE(f.window.windowTitle(), QString("in.wav"));
}

void TestMainWindow::convertWithNothingLoaded()
{
    Fixture f;
    f.button("Button2")->click();
    f.action("ConvertC1")->trigger();
    QVERIFY(f.platform.calls.empty());
    QCOMPARE(f.window.windowTitle(), QString("Quorvant"));
}

void TestMainWindow::cancelledSave()
{
    Fixture f;
    f.open(f.put("in.wav", kStereoFile));
    f.platform.calls.clear();
    f.convertTo(std::nullopt);

    QCOMPARE(f.platform.calls.size(), std::size_t(1));
    QCOMPARE(f.platform.calls[0].kind, std::string("saveFile"));
    QCOMPARE(f.window.windowTitle(), QString("in.wav"));
    QCOMPARE(FolderEntries(f.dir.path()), std::set<std::string>{"in.wav"});
    QVERIFY(f.window.records().Work.WorkData.isNull());
}

void TestMainWindow::saveOverLoadedFile()
{
    Fixture f;
    const std::string in = f.put("in.wav", kStereoFile);
    f.open(in);
    f.combo("ComboBox3")->setCurrentText("mono");
    f.convertTo(in);
    QCOMPARE(Qb(ReadFile(in)), Qb(SimpleWave(kFormatPcm, 1, 44100, 16, Samples16({8192, -24576, 100, -200}))));
    QCOMPARE(f.window.windowTitle(), QString("in.wav"));

    // The loaded samples are still the original ones.
    f.combo("ComboBox3")->setCurrentText("stereo");
    const std::string again = f.dir.file("again.wav");
    f.convertTo(again);
    QCOMPARE(Qb(ReadFile(again)), Qb(kStereoFile));
    QVERIFY(f.platform.callsOf("plainMessage").empty());
}

void TestMainWindow::unwritableTarget_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing folder") << "missing folder";
    QTest::newRow("read-only file") << "read-only file";
    QTest::newRow("folder") << "folder";
}

void TestMainWindow::unwritableTarget()
{
    QFETCH(QString, kind);
    Fixture f;
    f.open(f.put("in.wav", kStereoFile));
    std::string target = f.dir.file("target.wav");
    const Bytes old{'o', 'l', 'd'};
    if (kind == "missing folder") {
        target = f.dir.file("no-such-folder/target.wav");
    } else if (kind == "read-only file") {
        WriteFile(target, old);
        std::filesystem::permissions(target, std::filesystem::perms::owner_read);
    } else {
        std::filesystem::create_directory(target);
    }
    const auto before = FolderEntries(f.dir.path());
    f.platform.calls.clear();
    f.convertTo(target);

    const auto messages = f.platform.callsOf("plainMessage");
    QCOMPARE(messages.size(), std::size_t(1));
    QCOMPARE(messages[0].text, std::string("Error."));
    QCOMPARE(f.platform.captions.back(), QString("in.wav"));
    QCOMPARE(f.window.windowTitle(), QString("in.wav"));
    QVERIFY(f.platform.callsOf("openFolder").empty());
    QVERIFY(f.window.records().Work.WorkData.isNull());
    QCOMPARE(FolderEntries(f.dir.path()), before);
    if (kind == "read-only file")
        QCOMPARE(Qb(ReadFile(target)), Qb(old));
}

void TestMainWindow::writeFailureLeavesTargetAlone()
{
    Fixture f;
    // Enough samples that the output cannot fit under the file-size limit below.
    f.open(f.put("in.wav", SimpleWave(kFormatPcm, 2, 44100, 16, Bytes(64 * 1024, 0x11))));
    const std::string target = f.put("target.wav", Bytes{'o', 'l', 'd'});

    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    f.convertTo(target);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    const auto messages = f.platform.callsOf("plainMessage");
    QCOMPARE(messages.size(), std::size_t(1));
    QCOMPARE(messages[0].text, std::string("Error."));
    QCOMPARE(f.window.windowTitle(), QString("in.wav"));
    QVERIFY(f.platform.callsOf("openFolder").empty());
    QCOMPARE(Qb(ReadFile(target)), QByteArray("old"));
    QCOMPARE(FolderEntries(f.dir.path()), (std::set<std::string>{"in.wav", "target.wav"}));
}

void TestMainWindow::engineFailureEndsProcess()
{
    Fixture f;
    // A sample rate of 0 loads, but the rate stage cannot run from it.
    f.open(f.put("zero.wav", SimpleWave(kFormatPcm, 2, 0, 16, kStereoSamples)));
    QCOMPARE(f.label4(), QString("16bit , 0Hz , stereo"));
    const std::string existing = f.put("existing.wav", Bytes{'o', 'l', 'd'});
    const std::string fresh = f.dir.file("fresh.wav");

    std::set<std::string> leftAtExit;
    f.platform.beforeExit = [&] { leftAtExit = FolderEntries(f.dir.path()); };
    for (const std::string& target : {fresh, existing}) {
        leftAtExit.clear();
        f.platform.calls.clear();
        f.platform.captions.clear();
        f.platform.saveFileAnswers.push_back(target);
        std::optional<int> status;
        try {
            f.window.Button2Click();
        } catch (const ProcessExit& e) {
            status = e.status;
        }
        QCOMPARE(status, std::optional<int>(1));
        const auto boxes = f.platform.callsOf("messageBox");
        QCOMPARE(boxes.size(), std::size_t(1));
        QCOMPARE(boxes[0].text, std::string("An exception error."));
        QVERIFY(boxes[0].icon == MessageIcon::Error);
        QCOMPARE(f.platform.captions.at(0), QString("changing..."));
        QCOMPARE(f.platform.calls.back().kind, std::string("exit"));
        // No empty output, no temporary file; an existing file keeps its bytes.
        QCOMPARE(leftAtExit, (std::set<std::string>{"zero.wav", "existing.wav"}));
        QCOMPARE(FolderEntries(f.dir.path()), leftAtExit);
        QCOMPARE(Qb(ReadFile(existing)), QByteArray("old"));
    }
}

void TestMainWindow::checkBoxOpensFolder()
{
    Fixture f;
    f.open(f.put("in.wav", kStereoFile));
    std::filesystem::create_directory(f.dir.file("sub"));
    auto* box = f.child<QCheckBox>("CheckBox1");

    box->setChecked(false);
    QVERIFY(!f.window.opensFolderAfterConversion());
    f.convertTo(f.dir.file("sub/off.wav"));
    QVERIFY(std::filesystem::exists(f.dir.file("sub/off.wav")));
    QVERIFY(f.platform.callsOf("openFolder").empty());

    box->setChecked(true);
    QVERIFY(f.window.opensFolderAfterConversion());
    f.convertTo(f.dir.file("sub/on.wav"));
    f.convertTo(f.dir.file("in2.wav"));
    const auto opened = f.platform.callsOf("openFolder");
    QCOMPARE(opened.size(), std::size_t(2));
    QCOMPARE(opened[0].text, f.dir.file("sub/"));
    QCOMPARE(opened[1].text, f.dir.path() + "/");
}

void TestMainWindow::versionMessage()
{
    Fixture f;
    f.action("VersionInfo1")->trigger();
    const auto messages = f.platform.callsOf("plainMessage");
    QCOMPARE(messages.size(), std::size_t(1));
    const QStringList lines = QString::fromStdString(messages[0].text).split('\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QString("Quorvant version 1.02"));
    QVERIFY(!lines[1].trimmed().isEmpty());
    QVERIFY(f.platform.callsOf("messageBox").empty());
}

void TestMainWindow::batchWindowIsModal()
{
    Fixture f;
    f.window.show();
    QVERIFY(!f.form2->isVisible());
    bool wasModal = false;
    bool dropRefused = false;
    QTimer::singleShot(0, f.form2, [&] {
        wasModal = f.form2->isVisible() && QApplication::activeModalWidget() == f.form2;
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(QString::fromStdString(f.put("x.wav", kStereoFile)))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&f.window, &enter);
        dropRefused = !enter.isAccepted();
        f.form2->reject();
    });
    f.button("Button3")->click();
    QVERIFY(wasModal);
    QVERIFY(dropRefused);
    QVERIFY(!f.form2->isVisible());
    QVERIFY(f.window.isVisible());
}

void TestMainWindow::closing_data()
{
    QTest::addColumn<bool>("byMenu");
    QTest::newRow("Exit(&X)") << true;
    QTest::newRow("close box") << false;
}

void TestMainWindow::closing()
{
    QFETCH(bool, byMenu);
    Fixture f;
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    f.open(f.put("in.wav", kStereoFile));
    f.convertTo(f.dir.file("out.wav"));
    QVERIFY(!f.window.records().Work.WorkData.isNull());

    // Closing the only shown window ends the application's event loop with
    // status 0; the guard ends it with 99 should the window stay.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    QTimer::singleShot(0, &f.window, [&] {
        if (byMenu)
            f.action("ExitX1")->trigger();
        else
            f.window.close();
    });
    QCOMPARE(QApplication::exec(), 0);

    QVERIFY(!f.window.isVisible());
    QVERIFY(f.window.records().Input.InputData.isNull());
    QVERIFY(f.window.records().Work.WorkData.isNull());
    QVERIFY(!f.window.acceptDrops());
    QVERIFY(!f.form2->acceptDrops());
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
