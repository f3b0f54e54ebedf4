// The batch window, headless: its list, its commands and its run, with real
// WAVE files in a temporary folder and the scripted desktop.

#include <QAction>
#include <QDropEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <sys/resource.h>

#include "convert/target_format.h"
#include "scripted_platform.h"
#include "temp_dir.h"
#include "ui/Quorvant_Unit2.h"
#include "ui/batch_cell_painter.h"
#include "wave_builder.h"

using namespace quorvant;
using namespace quorvant::test;
namespace fs = std::filesystem;

namespace {

const std::string kNotWaveResult = "NG (It is not an effective WAVE file.)";
const std::string kSameFileResult = "NG (The input destination and output destinations are the same.)";
const std::string kCannotCreateResult = "NG (Can not create file.)";
const std::string kCannotWriteResult = "NG (Can not write file.)";
const std::string kNameUsedResult = "NG (The output file name is already used in this run.)";
const std::string kCancelQuestion = "It is processing it. Do you cancel it?";
const std::string kClearQuestion = "The file is added. Do you clear?";

struct FakeSelectors : TargetSelectors {
    WAVEFORMATEX target = BuildTargetFormat(kDefaultBitIndex, "44100", "stereo");
    bool opensFolder = true;
    mutable int reads = 0;

    WAVEFORMATEX selectedTargetFormat() const override
    {
        ++reads;
        return target;
    }
    bool opensFolderAfterConversion() const override { return opensFolder; }
};

Bytes Samples(std::size_t count)
{
    Bytes b(count);
    for (std::size_t i = 0; i < count; ++i)
        b[i] = uint8_t(i * 7 + 3);
    return b;
}

// The format fields of a canonical output header.
struct HeaderFields {
    uint16_t tag, channels, bits;
    uint32_t rate, dataSize;
};
HeaderFields ReadHeader(const Bytes& file)
{
    if (file.size() < 44)
        return {};
    return {ReadLE16(&file[20]), ReadLE16(&file[22]), ReadLE16(&file[34]), ReadLE32(&file[24]), ReadLE32(&file[40])};
}

// One window with its desktop, its selectors and two folders "in" and "out".
struct Bench {
    TempDir dir;
    ScriptedPlatform platform;
    FakeSelectors selectors;
    TForm2 form{platform, selectors};
    std::string in = dir.file("in");
    std::string out = dir.file("out");

    Bench()
    {
        fs::create_directory(in);
        fs::create_directory(out);
    }

    std::string wave(const std::string& name, uint16_t channels = 2, uint32_t rate = 44100, uint16_t bits = 16,
                     std::size_t frames = 64, const std::string& folder = "")
    {
        const std::string path = (folder.empty() ? in : folder) + "/" + name;
        WriteFile(path, SimpleWave(kFormatPcm, channels, rate, bits, Samples(frames * channels * (bits / 8))));
        return path;
    }
    // A file that passed the list's check and was broken afterwards.
    void breakFile(const std::string& path) { WriteFile(path, Bytes{'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v', 'e'}); }

    QTableView* grid() const { return form.findChild<QTableView*>("StringGrid1"); }
    QLabel* label() const { return form.findChild<QLabel*>("Label1"); }
    QPushButton* button(const char* name) const { return form.findChild<QPushButton*>(name); }
    QProgressBar* bar() const { return form.findChild<QProgressBar*>("ProgressBar1"); }

    std::vector<std::string> row(int r) const
    {
        std::vector<std::string> texts;
        for (int c = 0; c < 5; ++c)
            texts.push_back(form.cell(c, r));
        return texts;
    }
    std::vector<std::string> results() const
    {
        std::vector<std::string> texts;
        for (int r = 1; uint32_t(r) < form.listRowCount(); ++r)
            texts.push_back(form.cell(4, r));
        return texts;
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> texts;
        for (int r = 1; uint32_t(r) < form.listRowCount(); ++r)
            texts.push_back(form.cell(2, r));
        return texts;
    }
    void run(const std::optional<std::string>& folder)
    {
        platform.folderAnswers.push_back(folder);
        form.Button3Click();
    }
    void setCurrent(int column, int row) const
    {
        grid()->setCurrentIndex(grid()->model()->index(row - 1, column));
    }
    QPoint cellCentre(int column, int row) const
    {
        return grid()->visualRect(grid()->model()->index(row - 1, column)).center();
    }
    void showAndWait()
    {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }
    std::vector<std::string> texts(const std::string& kind) const
    {
        std::vector<std::string> out;
        for (const auto& c : platform.callsOf(kind))
            out.push_back(c.text);
        return out;
    }
};

// A double click as the desktop delivers it: press, release, double click, release.
void DoubleClick(QWidget* widget, QPoint at)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

// Runs `action` between two files: at the top of the pass after the one
// that wrote a result into `row` (the run handles pending events there).
void AfterResult(Bench& bench, int row, std::function<void()> action)
{
    auto fired = std::make_shared<bool>(false);
    QAbstractItemModel* model = bench.grid()->model();
    QObject::connect(model, &QAbstractItemModel::dataChanged, model, [&bench, row, action, fired] {
        if (*fired || bench.form.cell(4, row).empty())
            return;
        *fired = true;
        QMetaObject::invokeMethod(bench.grid(), action, Qt::QueuedConnection);
    });
}

// Lets no file in this process grow beyond `bytes` while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ok_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    bool ok() const { return ok_; }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
    bool ok_ = false;
};

using Texts = std::vector<std::string>;

}  // namespace

class BatchWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithTitlesAndNineBlankRows();
    void layoutOfTheWindow();
    void paintsEachColumnInItsColour();
    void alignsAndInsetsCellTexts();
    void alignmentTable_data();
    void alignmentTable();
    void listsAFileWithItsFormat_data();
    void listsAFileWithItsFormat();
    void dropAddsFilesInOrderAndSkipsFolders();
    void dropThroughTheWindow();
    void dropTakesAtMost65536Names();
    void inFileAddsEveryChosenPathInOrder();
    void labelShowsTheClickedCell();
    void opensTheFolderOfAFilePathCellOnly();
    void deleteInTheMiddleMovesRowsUp();
    void deleteOfTheLastRowAndOfTheOnlyFile();
    void clearAnsweredYesAndNo();
    void runOfThreeFilesWithABrokenOne();
    void runTakesTheTargetFromTheSelectors();
    void emptyListOrCancelledFolderRunsNothing_data();
    void emptyListOrCancelledFolderRunsNothing();
    void sameFileUnderAnySpellingIsRefused_data();
    void sameFileUnderAnySpellingIsRefused();
    void outputThatCannotBeCreated();
    void outputThatCannotBeWritten();
    void existingOutputIsReplaced();
    void sameNameTwiceInOneRun();
    void cancelAnsweredNoAndYes_data();
    void cancelAnsweredNoAndYes();
    void cancelWithoutARunAsksNothing();
    void filesAddedDuringTheRunAreConverted();
    void rowsDeletedDuringTheRunShortenIt();
    void clearDuringTheRunEndsIt();
    void secondRunInsideTheFirst();
    void folderOpenedOnceOrNever_data();
    void folderOpenedOnceOrNever();
    void progressBarValuesAre16Bit();
    void resultsSurviveClosingAndShowingAgain();
    void engineFailureNamesTheFileAndEnds();
};

void BatchWindowTest::startsWithTitlesAndNineBlankRows()
{
    Bench b;
    QCOMPARE(b.form.rowCount(), 10);
    QCOMPARE(b.form.listRowCount(), 1u);
    QCOMPARE(b.row(0), (Texts{"No.", "File Path", "File Name", "File Info.", "Run"}));
    for (int r = 1; r < 10; ++r)
        QCOMPARE(b.row(r), Texts(5));
    QCOMPARE(b.grid()->model()->rowCount(), 9);
    QCOMPARE(b.grid()->model()->columnCount(), 5);
    for (int c = 0; c < 5; ++c)
        QCOMPARE(b.grid()->model()->headerData(c, Qt::Horizontal).toString(), QString::fromStdString(b.form.cell(c, 0)));
    QCOMPARE(b.label()->text(), QString("----"));
    QVERIFY(b.button("Button4")->isHidden());
    QVERIFY(b.bar()->isHidden());
    QCOMPARE(b.bar()->minimum(), 0);
    QCOMPARE(b.bar()->maximum(), 100);
    QCOMPARE(b.form.progress().max(), 100);
    QVERIFY(b.form.records().Input.InputData.isNull());
    QVERIFY(b.form.records().Work.WorkData.isNull());
    QVERIFY(b.platform.calls.empty());
}

void BatchWindowTest::layoutOfTheWindow()
{
    Bench b;
    QCOMPARE(b.form.windowTitle(), QString("Quorvant"));
    QCOMPARE(b.form.size(), QSize(658, 447));
    QVERIFY(b.form.minimumSize() != b.form.maximumSize());  // resizable
    QCOMPARE(b.button("Button1")->text(), QString("IN File"));
    QCOMPARE(b.button("Button2")->text(), QString("Clear"));
    QCOMPARE(b.button("Button3")->text(), QString("OUT Folder"));
    QCOMPARE(b.button("Button4")->text(), QString("Cancel"));
    QCOMPARE(b.button("Button4")->geometry(), QRect(8, 320, 625, 25));
    QCOMPARE(b.bar()->geometry(), QRect(8, 360, 625, 17));
    auto* panel = b.form.findChild<QFrame*>("Panel1");
    QVERIFY(panel);
    QCOMPARE(b.grid()->parentWidget(), panel);
    auto* menu = b.form.findChild<QMenu*>("PopupMenu1");
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions().front()->objectName(), QString("Delete1"));
    QCOMPARE(menu->actions().front()->text(), QString("Delete"));
    QCOMPARE(b.grid()->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(b.grid()->horizontalHeader()->sectionResizeMode(2), QHeaderView::Interactive);
    QPointer<TForm2> alive(&b.form);
    b.showAndWait();

    // Centred on the screen; the panel keeps to the top edge and the grid fills it.
    const QPoint screenCentre = b.form.screen()->availableGeometry().center();
    QVERIFY((b.form.frameGeometry().center() - screenCentre).manhattanLength() <= 1);
    QCOMPARE(panel->geometry(), QRect(0, 0, 658, 249));
    QCOMPARE(b.grid()->geometry(), QRect(1, 1, 656, 247));
    b.form.resize(800, 500);
    QCOMPARE(panel->geometry(), QRect(0, 0, 800, 249));
    QCOMPARE(b.grid()->geometry(), QRect(1, 1, 798, 247));

    // The label sizes itself to its text.
    b.form.AddFileToList(b.wave("a_long_enough_name.wav"));
    b.setCurrent(2, 1);
    QVERIFY(b.label()->width() >= b.label()->sizeHint().width());
    QVERIFY(b.label()->width() > 24);
    b.form.close();
    QVERIFY(alive);
    QVERIFY(b.form.isHidden());
}

void BatchWindowTest::paintsEachColumnInItsColour()
{
    Bench b;
    b.showAndWait();
    b.grid()->selectAll();  // selected cells look like the others
    const QPalette palette = b.grid()->palette();
    const QColor expected[5] = {palette.color(QPalette::Button), palette.color(QPalette::Base), QColor(255, 230, 230),
                                QColor(230, 255, 230), QColor(200, 250, 200)};
    const QImage body = b.grid()->viewport()->grab().toImage();
    const QImage titles = b.grid()->horizontalHeader()->grab().toImage();
    for (int c = 0; c < 5; ++c) {
        for (int r : {2, 5}) {
            const QRect cell = b.grid()->visualRect(b.grid()->model()->index(r - 1, c));
            QCOMPARE(body.pixelColor(cell.center()).rgb(), expected[c].rgb());
            QCOMPARE(body.pixelColor(cell.left() + 2, cell.top() + 2).rgb(), expected[c].rgb());
        }
        const int x = b.grid()->horizontalHeader()->sectionViewportPosition(c) + 2;
        QCOMPARE(titles.pixelColor(x, 3).rgb(), expected[c].rgb());  // the titles too, by column
    }
    QCOMPARE(CellBackground(7, palette).rgb(), palette.color(QPalette::Button).rgb());
}

namespace {
// Leftmost and rightmost columns of dark (text) pixels inside `cell`; -1 when none.
std::pair<int, int> InkSpan(const QImage& image, const QRect& cell)
{
    int first = -1, last = -1;
    for (int x = cell.left(); x <= cell.right(); ++x)
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            if (qGray(image.pixel(x, y)) < 110) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}
}  // namespace

void BatchWindowTest::alignsAndInsetsCellTexts()
{
    Bench b;
    b.form.AddFileToList(b.wave("a_rather_long_file_name_for_one_cell.wav"));
    b.run(b.out);
    QCOMPARE(b.results(), Texts{"OK"});
    b.setCurrent(3, 1);  // keep the focus frame away from the measured cells
    b.showAndWait();
    const QImage body = b.grid()->viewport()->grab().toImage();
    auto cellRect = [&](int c) { return b.grid()->visualRect(b.grid()->model()->index(0, c)); };

    const QRect number = cellRect(0);
    auto [numberFirst, numberLast] = InkSpan(body, number);
    QVERIFY(numberFirst > number.center().x());  // right-aligned
    QVERIFY(numberLast <= number.right() - 4 && numberLast >= number.right() - 7);

    const QRect folder = cellRect(1);
    auto [folderFirst, folderLast] = InkSpan(body, folder);
    QVERIFY(folderFirst >= folder.left() + 4 && folderFirst <= folder.left() + 6);  // left, 4 px in
    QVERIFY(folderLast <= folder.right() - 4);                                        // cut at the inset

    const QRect name = cellRect(2);
    auto [nameFirst, nameLast] = InkSpan(body, name);
    QVERIFY(nameFirst >= name.left() + 4 && nameFirst <= name.left() + 6);
    QVERIFY(nameLast <= name.right() - 4);

    const QRect result = cellRect(4);  // "OK", centred
    auto [okFirst, okLast] = InkSpan(body, result);
    QVERIFY(okFirst > result.left() + 20);
    QVERIFY(std::abs((okFirst - result.left()) - (result.right() - okLast)) <= 2);

    const QImage titles = b.grid()->horizontalHeader()->grab().toImage();
    const int x0 = b.grid()->horizontalHeader()->sectionViewportPosition(1);
    const QRect title(x0, 0, b.grid()->horizontalHeader()->sectionSize(1) - 1, titles.height() - 1);
    auto [titleFirst, titleLast] = InkSpan(titles, title);
    QVERIFY(titleFirst > title.left() + 10);  // "File Path", centred
    QVERIFY(std::abs((titleFirst - title.left()) - (title.right() - titleLast)) <= 2);
}

void BatchWindowTest::alignmentTable_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("alignment");
    const int centre = int(Qt::AlignCenter), right = int(Qt::AlignRight | Qt::AlignVCenter),
              left = int(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < 5; ++c)
        QTest::addRow("title %d", c) << 0 << c << centre;
    QTest::newRow("number") << 3 << 0 << right;
    QTest::newRow("folder") << 3 << 1 << left;
    QTest::newRow("name") << 1 << 2 << left;
    QTest::newRow("info") << 2 << 3 << centre;
    QTest::newRow("run") << 9 << 4 << centre;
    QTest::newRow("past the last column") << 0 << 5 << int(Qt::AlignLeft | Qt::AlignTop);
}

void BatchWindowTest::alignmentTable()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, alignment);
    QCOMPARE(int(CellAlignment(row, column)), alignment);
    QCOMPARE(CellTextRect(QRect(10, 20, 100, 14)), QRect(14, 21, 92, 12));
}

void BatchWindowTest::listsAFileWithItsFormat_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("info");
    QTest::newRow("mono") << 1 << 22050 << 8 << int(kFormatPcm) << "8bit , 22050Hz , mono";
    QTest::newRow("stereo") << 2 << 44100 << 16 << int(kFormatPcm) << "16bit , 44100Hz , stereo";
    QTest::newRow("six channels") << 6 << 96000 << 24 << int(kFormatPcm) << "24bit , 96000Hz , stereo";
    QTest::newRow("float, no marker") << 2 << 48000 << 32 << int(kFormatFloat) << "32bit , 48000Hz , stereo";
}

void BatchWindowTest::listsAFileWithItsFormat()
{
    QFETCH(int, channels);
    QFETCH(int, rate);
    QFETCH(int, bits);
    QFETCH(int, tag);
    QFETCH(QString, info);
    Bench b;
    const std::string path = b.in + "/take one.wav";
    WriteFile(path, SimpleWave(uint16_t(tag), uint16_t(channels), uint32_t(rate), uint16_t(bits), Samples(96)));
    b.form.AddFileToList(path);
    QCOMPARE(b.form.listRowCount(), 2u);
    QCOMPARE(b.form.rowCount(), 2);  // the blank rows go with the first file
    QCOMPARE(b.row(1), (Texts{"1", b.in + "/", "take one.wav", info.toStdString(), ""}));
    QVERIFY(b.platform.calls.empty());
    QCOMPARE(b.grid()->model()->data(b.grid()->model()->index(0, 2)).toString(), QString("take one.wav"));
}

void BatchWindowTest::dropAddsFilesInOrderAndSkipsFolders()
{
    Bench b;
    const std::string a = b.wave("a.wav");
    const std::string fourBit = b.wave("four.wav", 1, 8000, 4, 32);
    const std::string c = b.wave("c.wav", 1);
    const std::string text = b.in + "/notes.wav";
    WriteFile(text, Bytes{'h', 'e', 'l', 'l', 'o'});
    fs::create_directory(b.in + "/sub");

    b.form.WMDropFiles({b.in, a, fourBit, c, b.in + "/sub", text, a});
    QCOMPARE(b.names(), (Texts{"a.wav", "c.wav", "a.wav"}));  // duplicates are allowed
    QCOMPARE(b.row(2), (Texts{"2", b.in + "/", "c.wav", "16bit , 44100Hz , mono", ""}));
    QCOMPARE(b.row(3)[0], std::string("3"));
    QCOMPARE(b.form.rowCount(), 4);
    // Only the refused files speak; the folders are skipped without a word.
    QCOMPARE(b.texts("messageBox"), (Texts{"The 4bit format file doesn't open out.\n[four.wav]",
                                           "File " + text + " is not an effective WAVE file."}));
    for (const auto& call : b.platform.callsOf("messageBox"))
        QVERIFY(call.icon == MessageIcon::Warning);
}

void BatchWindowTest::dropThroughTheWindow()
{
    Bench b;
    const std::string a = b.wave("a.wav");
    const std::string c = b.wave("c.wav");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(c)), QUrl::fromLocalFile(QString::fromStdString(b.out)),
                  QUrl::fromLocalFile(QString::fromStdString(a))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&b.form, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&b.form, &drop);
    QCOMPARE(b.names(), (Texts{"c.wav", "a.wav"}));
}

void BatchWindowTest::dropTakesAtMost65536Names()
{
    Bench b;
    const std::string a = b.wave("a.wav");
    std::vector<std::string> names(TForm2::kMaxDroppedNames, b.out);  // folders, skipped
    names.push_back(a);                                               // name 65537: ignored
    b.form.WMDropFiles(names);
    QCOMPARE(b.form.listRowCount(), 1u);
    names.pop_back();
    names.back() = a;  // name 65536: taken
    b.form.WMDropFiles(names);
    QCOMPARE(b.names(), Texts{"a.wav"});
    QVERIFY(b.platform.calls.empty());
}

void BatchWindowTest::inFileAddsEveryChosenPathInOrder()
{
    Bench b;
    const std::string a = b.wave("a.wav");
    const std::string c = b.wave("c.wav");
    const std::string noExtension = b.wave("plain", 1);
    b.platform.openFilesAnswers.push_back({c, a, noExtension, c});
    b.button("Button1")->click();
    QCOMPARE(b.names(), (Texts{"c.wav", "a.wav", "plain", "c.wav"}));
    QCOMPARE(b.row(4)[0], std::string("4"));

    b.platform.openFilesAnswers.push_back({});  // cancelled
    b.form.Button1Click();
    QCOMPARE(b.form.listRowCount(), 5u);
    QCOMPARE(b.platform.callsOf("openFiles").size(), std::size_t(2));
    QVERIFY(b.platform.callsOf("messageBox").empty());
}

void BatchWindowTest::labelShowsTheClickedCell()
{
    Bench b;
    b.form.WMDropFiles({b.wave("a.wav"), b.wave("b.wav")});
    b.showAndWait();
    QWidget* viewport = b.grid()->viewport();

    QTest::mouseClick(viewport, Qt::LeftButton, {}, b.cellCentre(2, 2));
    QCOMPARE(b.label()->text(), QString("No.2 : b.wav"));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, b.cellCentre(1, 1));
    QCOMPARE(b.label()->text(), QString::fromStdString("No.1 : " + b.in + "/"));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, b.cellCentre(3, 2));
    QCOMPARE(b.label()->text(), QString("No.2 : 16bit , 44100Hz , stereo"));

    // The number column, the titles and an empty cell leave it as it is.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, b.cellCentre(0, 1));
    QCOMPARE(b.label()->text(), QString("No.2 : 16bit , 44100Hz , stereo"));
    QHeaderView* titles = b.grid()->horizontalHeader();
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                      QPoint(titles->sectionViewportPosition(2) + 20, titles->height() / 2));
    QCOMPARE(b.label()->text(), QString("No.2 : 16bit , 44100Hz , stereo"));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, b.cellCentre(4, 1));
    QCOMPARE(b.label()->text(), QString("No.2 : 16bit , 44100Hz , stereo"));

    // Moving with the keys is a click too.
    QTest::keyClick(b.grid(), Qt::Key_Left);
    QCOMPARE(b.label()->text(), QString("No.1 : 16bit , 44100Hz , stereo"));
    QVERIFY(b.platform.calls.empty());
}

void BatchWindowTest::opensTheFolderOfAFilePathCellOnly()
{
    Bench b;
    const std::string other = b.dir.file("other");
    fs::create_directory(other);
    b.form.WMDropFiles({b.wave("a.wav"), b.wave("b.wav", 2, 44100, 16, 64, other)});
    b.showAndWait();
    QWidget* viewport = b.grid()->viewport();

    DoubleClick(viewport, b.cellCentre(1, 2));
    QCOMPARE(b.texts("openFolder"), Texts{other + "/"});
    for (int column : {2, 3, 4}) {
        DoubleClick(viewport, b.cellCentre(column, 1));
        QTest::keyClick(b.grid(), Qt::Key_Return);
    }
    QCOMPARE(b.texts("openFolder").size(), std::size_t(1));

    b.setCurrent(1, 1);
    QTest::keyClick(b.grid(), Qt::Key_Return);
    QTest::keyClick(b.grid(), Qt::Key_Enter);
    QTest::keyClick(b.grid(), Qt::Key_A);  // other keys open nothing
    QCOMPARE(b.texts("openFolder"), (Texts{other + "/", b.in + "/", b.in + "/"}));
    QVERIFY(b.form.isVisible());  // Enter presses no button of the window
}

void BatchWindowTest::deleteInTheMiddleMovesRowsUp()
{
    Bench b;
    std::vector<std::string> files;
    for (const char* n : {"a.wav", "b.wav", "c.wav", "d.wav", "e.wav"})
        files.push_back(b.wave(n));
    b.form.WMDropFiles(files);
    b.breakFile(files[2]);
    b.run(b.out);
    QCOMPARE(b.results(), (Texts{"OK", "OK", kNotWaveResult, "OK", "OK"}));

    b.setCurrent(2, 2);
    b.form.findChild<QAction*>("Delete1")->trigger();
    QCOMPARE(b.form.listRowCount(), 5u);
    QCOMPARE(b.form.rowCount(), 5);
    QCOMPARE(b.names(), (Texts{"a.wav", "c.wav", "d.wav", "e.wav"}));
    QCOMPARE(b.results(), (Texts{"OK", kNotWaveResult, "OK", "OK"}));
    for (int r = 1; r <= 4; ++r)
        QCOMPARE(b.form.cell(0, r), std::to_string(r));
    QCOMPARE(b.row(4), (Texts{"4", b.in + "/", "e.wav", "16bit , 44100Hz , stereo", "OK"}));
    QCOMPARE(b.label()->text(), QString("No.2 : c.wav"));  // the cell that is now current
}

void BatchWindowTest::deleteOfTheLastRowAndOfTheOnlyFile()
{
    Bench b;
    b.form.WMDropFiles({b.wave("a.wav"), b.wave("b.wav")});
    b.setCurrent(2, 2);
    b.form.Delete1Click();
    QCOMPARE(b.names(), Texts{"a.wav"});
    QCOMPARE(b.form.rowCount(), 2);
    QCOMPARE(b.label()->text(), QString("No.1 : a.wav"));  // the current cell moved up

    b.form.Delete1Click();
    QCOMPARE(b.form.listRowCount(), 1u);
    QCOMPARE(b.form.rowCount(), 1);  // the title row alone
    QCOMPARE(b.label()->text(), QString(""));
    QCOMPARE(b.row(0)[1], std::string("File Path"));

    b.form.Delete1Click();  // an empty list: nothing
    QCOMPARE(b.form.rowCount(), 1);
    b.form.AddFileToList(b.wave("c.wav"));
    QCOMPARE(b.form.rowCount(), 2);
    QCOMPARE(b.row(1), (Texts{"1", b.in + "/", "c.wav", "16bit , 44100Hz , stereo", ""}));
    QVERIFY(b.platform.calls.empty());
}

void BatchWindowTest::clearAnsweredYesAndNo()
{
    Bench b;
    b.button("Button2")->click();  // an empty list asks nothing
    QVERIFY(b.platform.calls.empty());

    b.form.WMDropFiles({b.wave("a.wav"), b.wave("b.wav")});
    b.run(b.out);
    b.setCurrent(2, 1);
    b.platform.yesNoAnswers = {false};
    b.button("Button2")->click();
    QCOMPARE(b.names(), (Texts{"a.wav", "b.wav"}));
    QCOMPARE(b.results(), (Texts{"OK", "OK"}));
    QCOMPARE(b.label()->text(), QString("No.1 : a.wav"));

    b.platform.yesNoAnswers = {true};
    b.button("Button2")->click();
    QCOMPARE(b.texts("askYesNo"), (Texts{kClearQuestion, kClearQuestion}));
    QCOMPARE(b.form.listRowCount(), 1u);
    QCOMPARE(b.form.rowCount(), 10);
    for (int r = 1; r < 10; ++r)
        QCOMPARE(b.row(r), Texts(5));
    QCOMPARE(b.label()->text(), QString("----"));
    QCOMPARE(b.form.progress().max(), 0);
    QCOMPARE(b.form.progress().position(), 0);
    QVERIFY(b.bar()->isHidden());

    b.form.AddFileToList(b.wave("c.wav"));
    QCOMPARE(b.form.rowCount(), 2);
    QCOMPARE(b.row(1)[4], std::string());
}

void BatchWindowTest::runOfThreeFilesWithABrokenOne()
{
    Bench b;
    const std::string a = b.wave("a.wav"), broken = b.wave("b.wav"), c = b.wave("c.wav", 1, 22050, 8);
    b.form.WMDropFiles({a, broken, c});
    b.breakFile(broken);
    bool runningOnSecondFile = false;
    AfterResult(b, 1, [&] { runningOnSecondFile = !b.button("Button4")->isHidden() && !b.bar()->isHidden(); });
    b.run(b.out);

    QVERIFY(runningOnSecondFile);  // "Cancel" and the bar are shown while it runs
    QCOMPARE(b.results(), (Texts{"OK", kNotWaveResult, "OK"}));
    QCOMPARE(b.texts("messageBox"), Texts{"File " + broken + " is not an effective WAVE file."});
    QVERIFY(b.platform.callsOf("messageBox")[0].icon == MessageIcon::Warning);
    QCOMPARE(b.form.progress().max(), 3);
    QCOMPARE(b.form.progress().position(), 3);
    QCOMPARE(b.bar()->value(), 3);
    QVERIFY(b.bar()->isHidden());
    QVERIFY(b.button("Button4")->isHidden());
    QVERIFY(!b.form.cancelRequested());
    QCOMPARE(b.selectors.reads, 3);  // the target is read anew for every row

    QVERIFY(!fs::exists(b.out + "/b.wav"));
    const Bytes first = ReadFile(b.out + "/a.wav");
    QCOMPARE(first.size(), std::size_t(44 + 64 * 4));
    QCOMPARE(Bytes(first.begin() + 44, first.end()), Samples(64 * 4));  // same format: the samples as they were
    const HeaderFields third = ReadHeader(ReadFile(b.out + "/c.wav"));
    QCOMPARE(third.channels, uint16_t(2));
    QCOMPARE(third.bits, uint16_t(16));
    QCOMPARE(third.rate, 44100u);

    QCOMPARE(b.texts("folder").size(), std::size_t(1));
    QCOMPARE(b.texts("openFolder"), Texts{b.out});
    QCOMPARE(b.platform.calls.back().kind, std::string("openFolder"));  // after the last file
    QVERIFY(b.form.records().Input.InputData.isNull());
    QVERIFY(b.form.records().Work.WorkData.isNull());
}

void BatchWindowTest::runTakesTheTargetFromTheSelectors()
{
    Bench b;
    b.selectors.target = BuildTargetFormat(1, "22050", "mono");  // "32(float)"
    b.form.AddFileToList(b.wave("a.wav", 2, 44100, 16, 100));
    b.run(b.out);
    QCOMPARE(b.results(), Texts{"OK"});
    const HeaderFields h = ReadHeader(ReadFile(b.out + "/a.wav"));
    QCOMPARE(h.tag, kFormatFloat);
    QCOMPARE(h.channels, uint16_t(1));
    QCOMPARE(h.rate, 22050u);
    QCOMPARE(h.bits, uint16_t(32));
    QCOMPARE(h.dataSize, 50u * 4);
}

void BatchWindowTest::emptyListOrCancelledFolderRunsNothing_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::newRow("cancelled dialog") << true;
    QTest::newRow("no file-system path") << false;
}

void BatchWindowTest::emptyListOrCancelledFolderRunsNothing()
{
    QFETCH(bool, cancelled);
    Bench b;
    b.button("Button3")->click();  // empty list: no dialog at all
    QVERIFY(b.platform.calls.empty());

    const std::string a = b.wave("a.wav");
    b.form.AddFileToList(a);
    b.run(b.out);
    fs::remove(b.out + "/a.wav");
    b.breakFile(a);
    b.run(cancelled ? std::nullopt : std::optional<std::string>(""));
    QCOMPARE(b.results(), Texts{"OK"});  // the last run's results stay
    QCOMPARE(b.texts("folder").size(), std::size_t(2));
    QCOMPARE(b.texts("openFolder"), Texts{b.out});
    QVERIFY(b.platform.callsOf("messageBox").empty());
    QVERIFY(!fs::exists(b.out + "/a.wav"));
    QVERIFY(!fs::exists("/a.wav"));
    QVERIFY(b.button("Button4")->isHidden());
}

void BatchWindowTest::sameFileUnderAnySpellingIsRefused_data()
{
    QTest::addColumn<QString>("spelling");
    QTest::newRow("same text") << "in";
    QTest::newRow("trailing separator") << "in/";
    QTest::newRow("dot-dot and doubled separator") << "out/..//in";
    QTest::newRow("dot") << "in/.";
    QTest::newRow("link") << "link";
}

void BatchWindowTest::sameFileUnderAnySpellingIsRefused()
{
    QFETCH(QString, spelling);
    Bench b;
    fs::create_directory_symlink(b.in, b.dir.file("link"));
    const std::string other = b.dir.file("other");
    fs::create_directory(other);
    const std::string elsewhere = b.wave("b.wav", 2, 44100, 16, 64, other);
    const std::string self = b.wave("a.wav", 1, 8000, 8);
    const Bytes before = ReadFile(self);
    b.form.WMDropFiles({elsewhere, self});
    b.run(b.dir.file(spelling.toStdString()));

    QCOMPARE(b.results(), (Texts{"OK", kSameFileResult}));
    QCOMPARE(ReadFile(self), before);
    QCOMPARE(b.form.progress().position(), 1);  // the refused row does not move the bar
    QVERIFY(fs::exists(b.in + "/b.wav"));
    QVERIFY(b.platform.callsOf("messageBox").empty());
}

void BatchWindowTest::outputThatCannotBeCreated()
{
    Bench b;
    b.form.WMDropFiles({b.wave("a.wav"), b.wave("b.wav")});
    const std::string locked = b.out + "/b.wav";
    WriteFile(locked, Bytes{'k', 'e', 'e', 'p'});
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    b.run(b.out);
    QCOMPARE(b.results(), (Texts{"OK", kCannotCreateResult}));
    QCOMPARE(ReadFile(locked), (Bytes{'k', 'e', 'e', 'p'}));
    QCOMPARE(b.form.progress().position(), 1);
}

void BatchWindowTest::outputThatCannotBeWritten()
{
    Bench b;
    b.form.WMDropFiles({b.wave("small.wav", 1, 8000, 8, 16), b.wave("big.wav", 2, 44100, 16, 8192)});
    const std::string previous = b.out + "/big.wav";
    WriteFile(previous, Bytes{'o', 'l', 'd'});
    {
        FileSizeLimit limit(4096);
        QVERIFY(limit.ok());
        b.run(b.out);
    }
    QCOMPARE(b.results(), (Texts{"OK", kCannotWriteResult}));
    QCOMPARE(ReadFile(previous), (Bytes{'o', 'l', 'd'}));
    QCOMPARE(b.form.progress().position(), 1);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(b.out))
        ++files;
    QCOMPARE(files, std::size_t(2));  // no half-written file left behind
}

void BatchWindowTest::existingOutputIsReplaced()
{
    Bench b;
    b.form.AddFileToList(b.wave("a.wav", 1, 44100, 16, 10));
    WriteFile(b.out + "/a.wav", Bytes(500, 0xEE));
    b.run(b.out);
    QCOMPARE(b.results(), Texts{"OK"});
    const Bytes written = ReadFile(b.out + "/a.wav");
    QCOMPARE(written.size(), std::size_t(44 + 10 * 4));  // mono 16-bit made stereo
    QCOMPARE(ReadHeader(written).channels, uint16_t(2));
    QVERIFY(b.platform.callsOf("askYesNo").empty());
}

void BatchWindowTest::sameNameTwiceInOneRun()
{
    Bench b;
    const std::string other = b.dir.file("other");
    fs::create_directory(other);
    b.form.WMDropFiles({b.wave("a.wav", 2), b.wave("a.wav", 1, 8000, 8, 64, other)});
    b.run(b.out);
    QCOMPARE(b.results(), (Texts{"OK", kNameUsedResult}));
    QCOMPARE(ReadFile(b.out + "/a.wav").size(), std::size_t(44 + 64 * 4));  // the first one stays
    QCOMPARE(b.form.progress().position(), 1);

    b.run(b.out);  // a new run may replace what an earlier one wrote
    QCOMPARE(b.results(), (Texts{"OK", kNameUsedResult}));
}

void BatchWindowTest::cancelAnsweredNoAndYes_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("No: the run goes on") << false;
    QTest::newRow("Yes: it stops before the next file") << true;
}

void BatchWindowTest::cancelAnsweredNoAndYes()
{
    QFETCH(bool, yes);
    Bench b;
    b.form.WMDropFiles({b.wave("a.wav"), b.wave("b.wav"), b.wave("c.wav")});
    b.platform.yesNoAnswers = {yes};
    AfterResult(b, 1, [&] { b.button("Button4")->click(); });
    b.run(b.out);

    QCOMPARE(b.texts("askYesNo"), Texts{kCancelQuestion});
    QCOMPARE(b.results(), yes ? (Texts{"OK", "", ""}) : (Texts{"OK", "OK", "OK"}));
    QCOMPARE(fs::exists(b.out + "/b.wav"), !yes);
    QCOMPARE(fs::exists(b.out + "/c.wav"), !yes);
    QCOMPARE(b.form.cancelRequested(), yes);
    QCOMPARE(b.form.progress().position(), yes ? 1 : 3);
    QVERIFY(b.button("Button4")->isHidden());
    QVERIFY(b.bar()->isHidden());
    QCOMPARE(b.texts("openFolder"), Texts{b.out});  // opened even after a cancel
    QVERIFY(b.form.records().Input.InputData.isNull());

    b.run(b.out);  // the next run starts afresh
    QCOMPARE(b.results(), (Texts{"OK", "OK", "OK"}));
    QVERIFY(!b.form.cancelRequested());
}

void BatchWindowTest::cancelWithoutARunAsksNothing()
{
    Bench b;
    b.form.AddFileToList(b.wave("a.wav"));
    b.form.Button4Click();
    QVERIFY(b.platform.calls.empty());
    QVERIFY(!b.form.cancelRequested());
}

void BatchWindowTest::filesAddedDuringTheRunAreConverted()
{
    Bench b;
    b.form.WMDropFiles({b.wave("a.wav"), b.wave("b.wav")});
    const std::string c = b.wave("c.wav"), d = b.wave("d.wav");
    AfterResult(b, 1, [&] { b.form.WMDropFiles({c}); });
    AfterResult(b, 2, [&] {
        b.platform.openFilesAnswers.push_back({d});
        b.button("Button1")->click();
    });
    b.run(b.out);
    QCOMPARE(b.names(), (Texts{"a.wav", "b.wav", "c.wav", "d.wav"}));
    QCOMPARE(b.results(), (Texts{"OK", "OK", "OK", "OK"}));
    QVERIFY(fs::exists(b.out + "/c.wav"));
    QVERIFY(fs::exists(b.out + "/d.wav"));
    QCOMPARE(b.form.progress().max(), 2);  // not updated for the added files
    QCOMPARE(b.form.progress().position(), 2);
}

void BatchWindowTest::rowsDeletedDuringTheRunShortenIt()
{
    Bench b;
    b.form.WMDropFiles({b.wave("a.wav"), b.wave("b.wav"), b.wave("c.wav"), b.wave("d.wav")});
    AfterResult(b, 1, [&] {
        b.setCurrent(2, 1);
        b.form.findChild<QAction*>("Delete1")->trigger();
    });
    b.run(b.out);
    // "b.wav" moved into the visited row 1 and is skipped.
    QCOMPARE(b.names(), (Texts{"b.wav", "c.wav", "d.wav"}));
    QCOMPARE(b.results(), (Texts{"", "OK", "OK"}));
    QVERIFY(fs::exists(b.out + "/a.wav"));
    QVERIFY(!fs::exists(b.out + "/b.wav"));
    QVERIFY(fs::exists(b.out + "/d.wav"));
    QCOMPARE(b.form.progress().position(), 3);
}

void BatchWindowTest::clearDuringTheRunEndsIt()
{
    Bench b;
    b.form.WMDropFiles({b.wave("a.wav"), b.wave("b.wav"), b.wave("c.wav")});
    b.platform.yesNoAnswers = {true};
    AfterResult(b, 1, [&] { b.button("Button2")->click(); });
    b.run(b.out);
    QCOMPARE(b.texts("askYesNo"), Texts{kClearQuestion});
    // The pass that was starting still runs, with the emptied row 2.
    QCOMPARE(b.texts("messageBox"), Texts{"The error occurred by the file reading."});
    QCOMPARE(b.form.listRowCount(), 1u);
    QCOMPARE(b.form.rowCount(), 10);
    QCOMPARE(b.form.cell(4, 2), kNotWaveResult);
    QVERIFY(!fs::exists(b.out + "/b.wav"));
    QVERIFY(!fs::exists(b.out + "/c.wav"));
    QVERIFY(b.bar()->isHidden());
}

void BatchWindowTest::secondRunInsideTheFirst()
{
    Bench b;
    const std::string second = b.dir.file("second");
    fs::create_directory(second);
    b.form.WMDropFiles({b.wave("a.wav"), b.wave("b.wav"), b.wave("c.wav")});
    b.platform.folderAnswers.push_back(b.out);
    b.platform.folderAnswers.push_back(second);
    b.platform.yesNoAnswers = {true};
    AfterResult(b, 1, [&] { b.button("Button3")->click(); });
    // After the inner run has ended, "Cancel" is hidden: clicking it asks nothing.
    bool cancelHidden = false;
    AfterResult(b, 3, [&] {
        cancelHidden = b.button("Button4")->isHidden();
        b.button("Button4")->click();
    });
    b.form.Button3Click();

    QVERIFY(cancelHidden);
    QVERIFY(b.platform.callsOf("askYesNo").empty());
    QCOMPARE(b.results(), (Texts{"OK", "OK", "OK"}));
    for (const char* n : {"a.wav", "b.wav", "c.wav"}) {
        QVERIFY(fs::exists(second + "/" + n));
        QVERIFY(fs::exists(b.out + "/" + n));
    }
    QCOMPARE(b.texts("openFolder"), (Texts{second, b.out}));
    QVERIFY(b.bar()->isHidden());
    QVERIFY(b.form.records().Input.InputData.isNull());
    QVERIFY(b.form.records().Work.WorkData.isNull());
}

void BatchWindowTest::folderOpenedOnceOrNever_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::newRow("CheckBox1 ticked") << true;
    QTest::newRow("CheckBox1 unticked") << false;
}

void BatchWindowTest::folderOpenedOnceOrNever()
{
    QFETCH(bool, ticked);
    Bench b;
    b.selectors.opensFolder = ticked;
    b.form.WMDropFiles({b.wave("a.wav"), b.wave("b.wav"), b.wave("c.wav")});
    bool openedEarly = false;
    AfterResult(b, 2, [&] { openedEarly = !b.platform.callsOf("openFolder").empty(); });
    b.run(b.out);
    QVERIFY(!openedEarly);
    QCOMPARE(b.texts("openFolder"), ticked ? Texts{b.out} : Texts{});
}

void BatchWindowTest::progressBarValuesAre16Bit()
{
    Bench b;
    const std::string a = b.wave("a.wav", 1, 8000, 8, 4);
    b.form.WMDropFiles(std::vector<std::string>(TForm2::kMaxDroppedNames, a));
    b.form.WMDropFiles({a});
    QCOMPARE(b.form.listRowCount(), 65538u);
    QCOMPARE(b.form.cell(0, 65537), std::string("65537"));
    b.platform.yesNoAnswers = {true};
    AfterResult(b, 1, [&] { b.form.Button4Click(); });
    b.run(b.out);
    QCOMPARE(b.form.progress().max(), 1);  // 65537 files: the low 16 bits
    QCOMPARE(b.form.progress().position(), 1);
    QCOMPARE(b.form.cell(4, 1), std::string("OK"));
    QCOMPARE(b.form.cell(4, 2), std::string());
}

void BatchWindowTest::resultsSurviveClosingAndShowingAgain()
{
    Bench b;
    b.form.WMDropFiles({b.wave("a.wav"), b.wave("b.wav")});
    b.showAndWait();
    b.run(b.out);
    QPointer<TForm2> alive(&b.form);
    b.form.close();
    QCoreApplication::processEvents();
    QVERIFY(alive);
    QVERIFY(b.form.isHidden());
    b.showAndWait();
    QCOMPARE(b.names(), (Texts{"a.wav", "b.wav"}));
    QCOMPARE(b.results(), (Texts{"OK", "OK"}));
    QCOMPARE(b.form.rowCount(), 3);
}

void BatchWindowTest::engineFailureNamesTheFileAndEnds()
{
    Bench b;
    const std::string good = b.wave("good.wav");
    const std::string bad = b.in + "/no channels.wav";
    WriteFile(bad, SimpleWave(kFormatPcm, 0, 44100, 16, Samples(64)));
    const std::string never = b.wave("never.wav");
    b.form.WMDropFiles({good, bad, never});
    QCOMPARE(b.form.listRowCount(), 4u);

    int status = -1;
    try {
        b.run(b.out);
    } catch (const ProcessExit& exit) {
        status = exit.status;
    }
    QCOMPARE(status, 1);
    QCOMPARE(b.texts("messageBox"), Texts{"An exception error.\n[" + bad + "]"});
    QVERIFY(b.platform.callsOf("messageBox")[0].icon == MessageIcon::Error);
    QCOMPARE(b.texts("exit"), Texts{"1"});
    QVERIFY(fs::exists(b.out + "/good.wav"));  // finished before: it stays
    QVERIFY(!fs::exists(b.out + "/never.wav"));
}

QTEST_MAIN(BatchWindowTest)
#include "test_batch_window.moc"
