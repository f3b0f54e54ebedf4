// The Qt desktop: what each message box and dialog looks like and how it
// behaves, driven headless by finding the shown box and answering it.

#include <QDesktopServices>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "platform/qt_platform.h"
#include "temp_dir.h"
#include "wave_builder.h"

using namespace quorvant;
using namespace quorvant::test;

namespace {

// Waits in the background for a shown window of type W and hands it to `act`,
// which answers it. Nothing is left open, so a failure cannot hang the test.
template <typename W>
class WhenShown {
public:
    explicit WhenShown(std::function<void(W*)> act) : act_(std::move(act))
    {
        poll_.setInterval(10);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* window = qobject_cast<W*>(w);
                if (window && window->isVisible()) {
                    poll_.stop();
                    seen = true;
                    act_(window);
                    // A failed check inside `act` returns early: close what it left open.
                    if (auto* d = qobject_cast<QDialog*>(window); d && d->isVisible())
                        d->reject();
                    return;
                }
            }
            if (++ticks_ > 500) {  // five seconds
                poll_.stop();
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
                        d->reject();
            }
        });
        poll_.start();
    }
    bool seen = false;

private:
    std::function<void(W*)> act_;
    QTimer poll_;
    int ticks_ = 0;
};

// What a user does: go to a folder and type a name into the name field.
void Type(QFileDialog* dialog, const QString& folder, const QString& typed)
{
    dialog->setDirectory(folder);
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(typed);
}

struct Receiver : QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

}  // namespace

class TestQtPlatform : public QObject {
    Q_OBJECT
private slots:
    void messageBoxLeavesWindowsUsable_data();
    void messageBoxLeavesWindowsUsable();
    void plainMessage();
    void yesNoQuestion_data();
    void yesNoQuestion();
    void openOneFile();
    void openSeveralFiles();
    void saveFile();
    void chooseFolder();
    void openFolderHandsUrlToDesktop();
};

void TestQtPlatform::messageBoxLeavesWindowsUsable_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("expected");
    QTest::newRow("warning") << int(MessageIcon::Warning) << int(QMessageBox::Warning);
    QTest::newRow("information") << int(MessageIcon::Information) << int(QMessageBox::Information);
    QTest::newRow("error") << int(MessageIcon::Error) << int(QMessageBox::Critical);
}

void TestQtPlatform::messageBoxLeavesWindowsUsable()
{
    QFETCH(int, icon);
    QFETCH(int, expected);

    QWidget window;
    auto* button = new QPushButton("press", &window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int presses = 0;
    connect(button, &QPushButton::clicked, [&] { ++presses; });

    QString title, text;
    int shownIcon = -1;
    bool ownerless = false, modal = true;
    WhenShown<QMessageBox> answer([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        shownIcon = box->icon();
        ownerless = box->parentWidget() == nullptr;
        modal = box->isModal() || QApplication::activeModalWidget() != nullptr;
        // The window behind the box still takes clicks.
        QTest::mouseClick(button, Qt::LeftButton);
        box->button(QMessageBox::Ok)->click();
    });
    QtPlatform().showMessageBox("File /tmp/x.wav is not an effective WAVE file.", MessageIcon(icon));

    QVERIFY(answer.seen);
    QCOMPARE(title, QString("Quorvant"));
    QCOMPARE(text, QString("File /tmp/x.wav is not an effective WAVE file."));
    QCOMPARE(shownIcon, expected);
    QVERIFY(ownerless);
    QVERIFY(!modal);
    QCOMPARE(presses, 1);
}

void TestQtPlatform::plainMessage()
{
    QWidget owner;
    owner.show();
    QString title, text;
    int icon = -1;
    QMessageBox::StandardButtons buttons;
    bool modal = false;
    WhenShown<QMessageBox> answer([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        modal = QApplication::activeModalWidget() == box;
        box->button(QMessageBox::Ok)->click();
    });
    QtPlatform().showPlainMessage(&owner, "Quorvant version 1.02\nsecond line");
    QVERIFY(answer.seen);
    QCOMPARE(title, QString("Quorvant"));
    QCOMPARE(text, QString("Quorvant version 1.02\nsecond line"));
    QCOMPARE(icon, int(QMessageBox::NoIcon));
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(modal);
}

void TestQtPlatform::yesNoQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("result");
    QTest::newRow("yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("no") << int(QMessageBox::No) << false;
}

void TestQtPlatform::yesNoQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, result);
    QWidget owner;
    owner.show();
    int icon = -1;
    QMessageBox::StandardButtons buttons;
    Qt::WindowModality modality = Qt::NonModal;
    QString title;
    WhenShown<QMessageBox> reply([&](QMessageBox* box) {
        icon = box->icon();
        buttons = box->standardButtons();
        modality = box->windowModality();
        title = box->windowTitle();
        box->button(QMessageBox::StandardButton(answer))->click();
    });
    QCOMPARE(QtPlatform().askYesNo(&owner, "Clear?"), result);
    QVERIFY(reply.seen);
    QCOMPARE(icon, int(QMessageBox::Warning));
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No));
    QCOMPARE(modality, Qt::ApplicationModal);
    QCOMPARE(title, QString("Quorvant"));
}

void TestQtPlatform::openOneFile()
{
    TempDir dir;
    WriteFile(dir.file("a.wav"), Bytes{1});
    const QString folder = QString::fromStdString(dir.path());

    // A typed name of a missing file is handed on: the loader reports it.
    for (const char* name : {"a.wav", "missing.wav"}) {
        WhenShown<QFileDialog> choose([&](QFileDialog* d) {
            QCOMPARE(d->acceptMode(), QFileDialog::AcceptOpen);
            QCOMPARE(d->fileMode(), QFileDialog::AnyFile);
            QCOMPARE(d->nameFilters(), QStringList{"Wave files (*.wav)"});
            QCOMPARE(d->defaultSuffix(), QString("wav"));
            Type(d, folder, name);
            static_cast<QDialog*>(d)->accept();
        });
        QCOMPARE(QtPlatform().chooseOpenFile(nullptr), std::optional<std::string>(dir.file(name)));
        QVERIFY(choose.seen);
    }

    WhenShown<QFileDialog> cancel([](QFileDialog* d) { d->reject(); });
    QCOMPARE(QtPlatform().chooseOpenFile(nullptr), std::optional<std::string>());
    QVERIFY(cancel.seen);
}

void TestQtPlatform::openSeveralFiles()
{
    TempDir dir;
    WriteFile(dir.file("a.wav"), Bytes{1});
    WriteFile(dir.file("b.wav"), Bytes{1});
    WhenShown<QFileDialog> choose([&](QFileDialog* d) {
        QCOMPARE(d->fileMode(), QFileDialog::ExistingFiles);
        QCOMPARE(d->nameFilters(), QStringList{"Wave files (*.wav)"});
        Type(d, QString::fromStdString(dir.path()), "\"a.wav\" \"b.wav\"");
        static_cast<QDialog*>(d)->accept();
    });
    auto chosen = QtPlatform().chooseOpenFiles(nullptr);
    std::sort(chosen.begin(), chosen.end());
    QVERIFY(choose.seen);
    QCOMPARE(chosen, (std::vector<std::string>{dir.file("a.wav"), dir.file("b.wav")}));

    WhenShown<QFileDialog> cancel([](QFileDialog* d) { d->reject(); });
    QVERIFY(QtPlatform().chooseOpenFiles(nullptr).empty());
}

void TestQtPlatform::saveFile()
{
    TempDir dir;
    WhenShown<QFileDialog> choose([&](QFileDialog* d) {
        QCOMPARE(d->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(d->nameFilters(), QStringList{"WAVE files (*.wav)"});
        QVERIFY(!d->testOption(QFileDialog::DontConfirmOverwrite));
        Type(d, QString::fromStdString(dir.path()), "out");  // no extension
        static_cast<QDialog*>(d)->accept();
    });
    QCOMPARE(QtPlatform().chooseSaveFile(nullptr), std::optional<std::string>(dir.file("out.wav")));
    QVERIFY(choose.seen);

    WhenShown<QFileDialog> cancel([](QFileDialog* d) { d->reject(); });
    QCOMPARE(QtPlatform().chooseSaveFile(nullptr), std::optional<std::string>());
}

void TestQtPlatform::chooseFolder()
{
    TempDir dir;
    std::filesystem::create_directory(dir.file("out"));
    WhenShown<QFileDialog> choose([&](QFileDialog* d) {
        QCOMPARE(d->windowTitle(), QString("フォルダ選択"));
        QCOMPARE(d->fileMode(), QFileDialog::Directory);
        QVERIFY(d->testOption(QFileDialog::ShowDirsOnly));
        Type(d, QString::fromStdString(dir.path()), "out");
        static_cast<QDialog*>(d)->accept();
    });
    QCOMPARE(QtPlatform().chooseFolder(nullptr), std::optional<std::string>(dir.file("out")));
    QVERIFY(choose.seen);

    WhenShown<QFileDialog> cancel([](QFileDialog* d) { d->reject(); });
    QCOMPARE(QtPlatform().chooseFolder(nullptr), std::optional<std::string>());
}

void TestQtPlatform::openFolderHandsUrlToDesktop()
{
    Receiver receiver;
    QDesktopServices::setUrlHandler("file", &receiver, "open");
    QtPlatform().openFolder("/tmp/some folder/");
    QtPlatform().openFolder("/tmp/フォルダ/");
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(receiver.opened, (QList<QUrl>{QUrl::fromLocalFile("/tmp/some folder/"), QUrl::fromLocalFile("/tmp/フォルダ/")}));
}

QTEST_MAIN(TestQtPlatform)
#include "test_qt_platform.moc"
