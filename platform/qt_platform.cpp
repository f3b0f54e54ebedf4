#include "platform/qt_platform.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>
#include <cstdlib>

#include "platform/app_title.h"
#include "platform/path_text.h"

namespace quorvant {

namespace {

const QString kWaveOpenFilter = QStringLiteral("Wave files (*.wav)");
const QString kWaveSaveFilter = QStringLiteral("WAVE files (*.wav)");
const QString kFolderTitle = QStringLiteral("フォルダ選択");

QMessageBox::Icon BoxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Warning:
        break;
    }
    return QMessageBox::Warning;
}

// Runs a file dialog: the chosen names as path bytes, none when cancelled.
// A choice without a file-system path (a desktop's virtual folder) is dropped.
std::vector<std::string> RunFileDialog(QFileDialog& dialog)
{
    std::vector<std::string> chosen;
    if (dialog.exec() != QDialog::Accepted)
        return chosen;
    for (const QUrl& url : dialog.selectedUrls())
        if (auto path = LocalPathBytes(url))
            chosen.push_back(std::move(*path));
    return chosen;
}

std::optional<std::string> First(const std::vector<std::string>& names)
{
    if (names.empty())
        return std::nullopt;
    return names.front();
}

}  // namespace

void QtPlatform::showMessageBox(const std::string& text, MessageIcon icon)
{
    // Owner-less and not modal: the tool's windows stay usable while the box
    // waits in its own event loop, as the caller expects.
    QMessageBox box(BoxIcon(icon), AppTitle, PathDisplay(text), QMessageBox::Ok);
    box.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
    box.show();
    loop.exec();
}

void QtPlatform::showPlainMessage(QWidget* owner, const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, AppTitle, PathDisplay(text), QMessageBox::Ok, owner);
    box.exec();
}

bool QtPlatform::askYesNo(QWidget* owner, const std::string& text)
{
    QMessageBox box(QMessageBox::Warning, AppTitle, PathDisplay(text), QMessageBox::Yes | QMessageBox::No, owner);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() != QMessageBox::No;
}

namespace {
// The three WAVE file dialogs differ only in mode and filter; "wav" is added
// to a name typed without extension.
std::vector<std::string> RunWaveDialog(QWidget* owner, QFileDialog::AcceptMode accept, QFileDialog::FileMode mode,
                                       const QString& filter)
{
    QFileDialog dialog(owner);
    dialog.setAcceptMode(accept);
    dialog.setFileMode(mode);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    return RunFileDialog(dialog);
}
}  // namespace

std::optional<std::string> QtPlatform::chooseOpenFile(QWidget* owner)
{
    // Any name is accepted: a typed name of a missing file reaches the
    // loader, which reports it.
    return First(RunWaveDialog(owner, QFileDialog::AcceptOpen, QFileDialog::AnyFile, kWaveOpenFilter));
}

std::vector<std::string> QtPlatform::chooseOpenFiles(QWidget* owner)
{
    return RunWaveDialog(owner, QFileDialog::AcceptOpen, QFileDialog::ExistingFiles, kWaveOpenFilter);
}

std::optional<std::string> QtPlatform::chooseSaveFile(QWidget* owner)
{
    // Qt asks before replacing an existing file unless told otherwise.
    return First(RunWaveDialog(owner, QFileDialog::AcceptSave, QFileDialog::AnyFile, kWaveSaveFilter));
}

std::optional<std::string> QtPlatform::chooseFolder(QWidget* owner)
{
    QFileDialog dialog(owner, kFolderTitle);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    return First(RunFileDialog(dialog));
}

void QtPlatform::openFolder(const std::string& folder)
{
    // Built from the bytes, so that a folder name that is not UTF-8 survives.
    QDesktopServices::openUrl(
        QUrl::fromEncoded("file://" + QByteArray::fromStdString(folder).toPercentEncoding("/"), QUrl::StrictMode));
}

void QtPlatform::exitProcess(int status) { std::exit(status); }

}  // namespace quorvant
