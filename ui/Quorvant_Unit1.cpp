#include "ui/Quorvant_Unit1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLayout>
#include <QMimeData>
#include <QScreen>
#include <QUrl>
#include <filesystem>
#include <new>

#include "convert/convert_samples.h"
#include "convert/target_format.h"
#include "platform/app_title.h"
#include "platform/path_text.h"
#include "platform/platform_messages.h"
#include "ui/Quorvant_Unit2.h"
#include "ui_Quorvant_Unit1.h"
#include "wave/atomic_file.h"
#include "wave/path_parts.h"
#include "wave/wave_loader.h"
#include "wave/wave_texts.h"
#include "wave/wave_writer.h"

namespace quorvant {

namespace {

constexpr int kClientWidth = 322;
constexpr int kClientHeight = 224;
constexpr const char* kErrorText = "Error.";

// The designed font, then its metric-compatible stand-in; Qt falls back to
// the default font when neither is installed.
QFont WindowFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")});
    font.setPixelSize(12);
    return font;
}

template <std::size_t N>
void Fill(QComboBox* box, const std::array<const char*, N>& choices, int selected)
{
    for (const char* choice : choices)
        box->addItem(QString::fromLatin1(choice));
    box->setCurrentIndex(selected);
}


}  // namespace

TForm1::TForm1(Platform& platform, QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::TForm1>()), platform_(platform)
{
    ui_->setupUi(this);
    setFont(WindowFont());
    // The separator between "Convert" and "Exit" keeps its designed name.
    for (QAction* action : ui_->File1->actions())
        if (action->isSeparator())
            action->setObjectName(QStringLiteral("N1"));

    // A single-line border: no maximise box, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    ui_->centralwidget->setFixedSize(kClientWidth, kClientHeight);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();

    for (QLabel* label : {ui_->Label1, ui_->Label2, ui_->Label3, ui_->Label4})
        label->adjustSize();

    Fill(ui_->ComboBox1, BitChoices, kDefaultBitIndex);
    Fill(ui_->ComboBox2, RateChoices, kDefaultRateIndex);
    Fill(ui_->ComboBox3, ChannelChoices, kDefaultChannelIndex);

    setAcceptDrops(true);

    connect(ui_->Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(ui_->OpenO1, &QAction::triggered, this, &TForm1::Button1Click);
    connect(ui_->Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(ui_->ConvertC1, &QAction::triggered, this, &TForm1::Button2Click);
    connect(ui_->Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(ui_->VersionInfo1, &QAction::triggered, this, &TForm1::VersionInfo1Click);
    connect(ui_->ExitX1, &QAction::triggered, this, &TForm1::ExitX1Click);
}

TForm1::~TForm1() = default;

WAVEFORMATEX TForm1::selectedTargetFormat() const
{
    return BuildTargetFormat(ui_->ComboBox1->currentIndex(), ui_->ComboBox2->currentText().toStdString(),
                             ui_->ComboBox3->currentText().toStdString());
}

bool TForm1::opensFolderAfterConversion() const { return ui_->CheckBox1->isChecked(); }

void TForm1::setCaption(const QString& caption)
{
    // Qt reads "[*]" in a title as the modified marker; doubled, it stays literal.
    QString escaped = caption;
    setWindowTitle(escaped.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
}

void TForm1::showFileCaption() { setCaption(PathDisplay(FileNamePart(CurrentFilePath))); }

void TForm1::setInfoLine(const QString& text)
{
    // The label grows (or shrinks) with its text, so the line is never clipped.
    ui_->Label4->setText(text);
    ui_->Label4->adjustSize();
}

void TForm1::openWaveFile(const std::string& path)
{
    const QString previousCaption = windowTitle();
    PlatformMessages messages(platform_, [this] { setCaption(QStringLiteral("The file is opened...")); });
    if (!LoadWaveFile(path, records_, messages)) {
        setWindowTitle(previousCaption);
        return;
    }
    setInfoLine(QString::fromStdString(MainInfoLine(records_.SourceFormat, records_.SourceIsFloat)));
    CurrentFilePath = path;
    showFileCaption();
}

void TForm1::Button1Click()
{
    if (auto path = platform_.chooseOpenFile(this))
        openWaveFile(*path);
}

void TForm1::Button2Click()
{
    if (records_.Input.InputData.isNull())
        return;
    const auto chosen = platform_.chooseSaveFile(this);
    if (!chosen)
        return;
    // The new file replaces an existing one only once it is complete.
    auto output = AtomicFile::Create(*chosen);
    if (!output) {
        platform_.showPlainMessage(this, kErrorText);
        return;
    }
    setCaption(QStringLiteral("changing..."));
    records_.TargetFormat = selectedTargetFormat();
    const WAVEFORMATEX& source = records_.SourceFormat;
    const WAVEFORMATEX& target = records_.TargetFormat;
    try {
        ConvertSamples(source.wBitsPerSample, source.nSamplesPerSec, source.nChannels, target.wBitsPerSample,
                       target.nSamplesPerSec, target.nChannels, records_.Input, records_.Work);
    } catch (const ConversionError&) {
        platform_.showMessageBox(texts::kEngineFailure, MessageIcon::Error);
        output.reset();  // leaves no empty output behind
        platform_.exitProcess(1);
    } catch (const std::bad_alloc&) {
        // The engine's first copy found no memory: the application's
        // exception display reports it and the tool goes on.
        showFileCaption();
        throw;
    }
    const bool written = WriteWaveFile(*output, target, records_.Work);
    showFileCaption();
    if (!written) {
        platform_.showPlainMessage(this, kErrorText);
        return;
    }
    if (opensFolderAfterConversion())
        platform_.openFolder(FolderPart(*chosen));
}

void TForm1::Button3Click()
{
    if (form2_)
        form2_->exec();
}

void TForm1::VersionInfo1Click() { platform_.showPlainMessage(this, std::string(VersionText) + SecondVersionLine); }

void TForm1::ExitX1Click() { close(); }

void TForm1::WMDropFiles(const std::vector<std::string>& names)
{
    // Only the first name counts, and only an existing regular file: folders
    // and anything else are ignored without a message.
    if (names.empty())
        return;
    std::error_code error;
    if (std::filesystem::is_regular_file(std::filesystem::path(names.front()), error))
        openWaveFile(names.front());
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!QApplication::activeModalWidget() && !DroppedLocalFiles(event->mimeData()).empty())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    const auto names = DroppedLocalFiles(event->mimeData());
    if (names.empty())
        return;
    event->acceptProposedAction();
    // Opened once the drop has finished, so that the desktop's drag is not
    // held while message boxes wait.
    QMetaObject::invokeMethod(this, [this, names] { WMDropFiles(names); }, Qt::QueuedConnection);
}

void TForm1::FormClose()
{
    records_.Input.InputData.reset();
    records_.Work.WorkData.reset();
    setAcceptDrops(false);
    if (form2_)
        form2_->setAcceptDrops(false);
}

void TForm1::showEvent(QShowEvent* event)
{
    // Centred once, frame and all, when the window first shows with its final size.
    if (!centred_) {
        centred_ = true;
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - QRect(QPoint(), frameGeometry().size()).center());
    }
    QMainWindow::showEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose();
    QMainWindow::closeEvent(event);
}

}  // namespace quorvant
