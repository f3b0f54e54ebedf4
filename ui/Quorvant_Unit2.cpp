#include "ui/Quorvant_Unit2.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <system_error>

#include "convert/batch_step.h"
#include "convert/convert_samples.h"
#include "platform/path_text.h"
#include "ui/batch_cell_painter.h"
#include "ui/batch_grid_model.h"
#include "ui_Quorvant_Unit2.h"
#include "wave/wave_loader.h"

namespace quorvant {

namespace {

constexpr std::array<const char*, BatchGridModel::kColumns> ColumnTitles = {"No.", "File Path", "File Name",
                                                                            "File Info.", "Run"};
constexpr int kEmptyGridRows = 10;  // the title row and nine blank rows
constexpr int kRunColumn = 4;
// Cell sizes without the 1-pixel grid line, which Qt counts into the section.
constexpr int kColumnWidth = 100;
constexpr int kRowHeight = 14;

constexpr const char* kClearQuestion = "The file is added. Do you clear?";
constexpr const char* kCancelQuestion = "It is processing it. Do you cancel it?";

std::unique_ptr<Ui::TForm2> BuildLayout(QDialog* form)
{
    auto layout = std::make_unique<Ui::TForm2>();
    layout->setupUi(form);
    return layout;
}

}  // namespace

TForm2::TForm2(Platform& platform, const TargetSelectors& selectors, QWidget* parent)
    : QDialog(parent),
      ui_(BuildLayout(this)),
      platform_(platform),
      selectors_(selectors),
      messages_(platform),
      grid_(new BatchGridModel(this)),
      progress_(*ui_->ProgressBar1)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QFont face(QStringLiteral("ＭＳ Ｐゴシック"));
    face.setPixelSize(12);
    setFont(face);
    setAcceptDrops(true);
    setWindowTitle(QStringLiteral("Quorvant"));

    QTableView* view = ui_->StringGrid1;
    auto* titles = new BatchTitleHeader(view);
    view->setHorizontalHeader(titles);
    view->setModel(grid_);
    view->setItemDelegate(new BatchCellDelegate(view));
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setMinimumSectionSize(1);
    titles->setDefaultSectionSize(kColumnWidth + 1);
    titles->setFixedHeight(kRowHeight + 1);
    titles->setHighlightSections(false);
    titles->setSectionsClickable(false);  // a title click selects nothing
    view->verticalHeader()->setMinimumSectionSize(1);
    view->verticalHeader()->setDefaultSectionSize(kRowHeight + 1);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);

    auto* popup = new QMenu(this);
    popup->setObjectName(QStringLiteral("PopupMenu1"));
    popup->addAction(ui_->Delete1);
    connect(ui_->Delete1, &QAction::triggered, this, &TForm2::Delete1Click);
    connect(view, &QWidget::customContextMenuRequested, popup,
            [popup, view](const QPoint& at) { popup->popup(view->viewport()->mapToGlobal(at)); });

    connect(ui_->Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(ui_->Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
    connect(ui_->Button3, &QPushButton::clicked, this, &TForm2::Button3Click);
    connect(ui_->Button4, &QPushButton::clicked, this, &TForm2::Button4Click);
    // The grid's click: the current cell changed, or a cell was clicked again.
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (!adjustingGrid_)
            StringGrid1Click();
    });
    connect(view, &QAbstractItemView::clicked, this, [this, view](const QModelIndex& clicked) {
        if (clicked == view->currentIndex())
            StringGrid1Click();
    });

    ui_->Button4->hide();
    ui_->ProgressBar1->hide();

    for (int c = 0; c < BatchGridModel::kColumns; ++c)
        setCell(c, 0, ColumnTitles[std::size_t(c)]);
    setRowCount(kEmptyGridRows);
    // The constructor's records hold no blocks (no data, size 0).
}

TForm2::~TForm2() = default;

const std::string& TForm2::cell(int column, int row) const { return grid_->cell(column, row); }

int TForm2::rowCount() const { return grid_->gridRowCount(); }

void TForm2::setCell(int column, int row, const std::string& text) { grid_->setCell(column, row, text); }

TForm2::GridCell TForm2::currentCell() const
{
    const QModelIndex current = ui_->StringGrid1->currentIndex();
    if (!current.isValid())
        return {};
    return {current.column(), BatchGridModel::gridRow(current.row())};
}

void TForm2::setRowCount(int count)
{
    const GridCell before = currentCell();
    adjustingGrid_ = true;
    grid_->setGridRowCount(count);
    // Like the desktop grid, there is always a current cell below the titles:
    // the same one, or the last row when its own row went away.
    if (grid_->rowCount() > 0) {
        const int row = std::clamp(before.row, 1, grid_->gridRowCount() - 1);
        const int column = std::max(before.column, 1);
        const QModelIndex wanted = grid_->index(BatchGridModel::modelRow(row), column);
        if (ui_->StringGrid1->currentIndex() != wanted)
            ui_->StringGrid1->selectionModel()->setCurrentIndex(wanted, QItemSelectionModel::ClearAndSelect);
    }
    adjustingGrid_ = false;
}

void TForm2::setLabel(const std::string& text)
{
    ui_->Label1->setText(PathDisplay(text));
    ui_->Label1->adjustSize();
}

void TForm2::AddFileToList(const std::string& path)
{
    const std::optional<ListedFile> listed = quorvant::AddFileToList(path, messages_);
    if (!listed)
        return;
    ++ListRowCount;
    setRowCount(int(ListRowCount));
    const int r = int(ListRowCount) - 1;
    setCell(0, r, std::to_string(r));
    setCell(1, r, listed->folder);
    setCell(2, r, listed->name);
    setCell(3, r, listed->info);
}

void TForm2::WMDropFiles(const std::vector<std::string>& names)
{
    const std::size_t count = std::min(names.size(), kMaxDroppedNames);
    for (std::size_t i = 0; i < count; ++i) {
        std::error_code ignored;
        if (std::filesystem::is_directory(names[i], ignored))
            continue;
        AddFileToList(names[i]);
    }
}

void TForm2::Button1Click()
{
    for (const std::string& path : platform_.chooseOpenFiles(this))
        AddFileToList(path);
}

void TForm2::StringGrid1Click()
{
    const GridCell current = currentCell();
    if (current.row <= 0 || current.column <= 0)
        return;
    const std::string& text = cell(current.column, current.row);
    if (text.empty())
        return;
    setLabel("No." + std::to_string(current.row) + " : " + text);
}

void TForm2::StringGrid1DblClick()
{
    const GridCell current = currentCell();
    if (current.column != 1)
        return;
    const std::string& folder = cell(1, current.row);
    if (folder.empty())
        return;
    platform_.openFolder(folder);
}

void TForm2::StringGrid1KeyPress(char key)
{
    if (key == '\r')
        StringGrid1DblClick();
}

void TForm2::Delete1Click()
{
    if (ListRowCount == 1)
        return;
    int r = currentCell().row;
    if (r < 1)
        return;
    // Only the current row goes, whatever range is selected; the rows below
    // move up with their results.
    for (; uint32_t(r) < ListRowCount; ++r)
        for (int c = 0; c < BatchGridModel::kColumns; ++c)
            setCell(c, r, cell(c, r + 1));
    --ListRowCount;
    setRowCount(int(ListRowCount));
    for (int n = 1; uint32_t(n) < ListRowCount; ++n)
        setCell(0, n, std::to_string(n));
    StringGrid1Click();
    if (ListRowCount == 1)
        setLabel("");
}

void TForm2::Button2Click()
{
    if (ListRowCount == 1)
        return;
    if (!platform_.askYesNo(this, kClearQuestion))
        return;
    for (int r = 1; uint32_t(r) < ListRowCount; ++r)
        for (int c = 0; c < BatchGridModel::kColumns; ++c)
            setCell(c, r, "");
    ListRowCount = 1;
    setRowCount(kEmptyGridRows);
    setLabel("----");
    progress_.setMax(ListRowCount - 1);
    progress_.setPosition(0);
}

void TForm2::Button3Click()
{
    if (ListRowCount == 1)
        return;
    // A choice without a file-system path would send every file to the
    // root folder: it ends the command like a cancelled dialog.
    const std::optional<std::string> chosen = platform_.chooseFolder(this);
    if (!chosen || chosen->empty())
        return;
    const std::string OutputFolder = *chosen;

    for (int r = 1; uint32_t(r) < ListRowCount; ++r)
        setCell(kRunColumn, r, "");
    CancelRequested = false;
    ui_->Button4->show();
    progress_.setMax(ListRowCount - 1);
    progress_.setPosition(0);
    ui_->ProgressBar1->show();

    // Each run has its own record of the outputs it wrote; a second run
    // started between two files of this one gets its own.
    BatchRun run(OutputFolder);
    // The bound is read again before every pass: files added meanwhile are
    // converted too, rows deleted meanwhile shorten the run.
    for (uint32_t i = 1; i < ListRowCount; ++i) {
        QCoreApplication::processEvents();
        if (CancelRequested) {
            ui_->Button4->hide();
            ui_->ProgressBar1->hide();
            break;
        }
        const int row = int(i);
        const std::string folder = cell(1, row);
        const std::string name = cell(2, row);
        const RowOutcome outcome = [&] {
            try {
                return run.convertRow(folder, name, selectors_.selectedTargetFormat(), records_, messages_);
            } catch (const ConversionError&) {
            } catch (const std::bad_alloc&) {
            }
            engineFailed(folder + name);
        }();
        setCell(kRunColumn, row, RowResultText(outcome));
        if (AdvancesProgress(outcome))
            progress_.setPosition(i);
    }

    ui_->Button4->hide();
    ui_->ProgressBar1->hide();
    if (selectors_.opensFolderAfterConversion())
        platform_.openFolder(OutputFolder);
    records_.Input.InputData.reset();
    records_.Work.WorkData.reset();
}

void TForm2::engineFailed(const std::string& path)
{
    platform_.showMessageBox(std::string(texts::kEngineFailure) + "\n[" + path + "]", MessageIcon::Error);
    platform_.exitProcess(1);
    std::abort();  // not reached: the compiler does not carry [[noreturn]] through a virtual call
}

void TForm2::Button4Click()
{
    if (ui_->Button4->isHidden())
        return;  // no run is going
    if (platform_.askYesNo(this, kCancelQuestion))
        CancelRequested = true;
}

void TForm2::FormClose() {}

void TForm2::closeEvent(QCloseEvent* event)
{
    FormClose();
    QDialog::closeEvent(event);  // hides; the window and its list live on
}

bool TForm2::eventFilter(QObject* watched, QEvent* event)
{
    QTableView* view = ui_->StringGrid1;
    if (watched == view && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            StringGrid1KeyPress('\r');
        else if (key->text().size() == 1 && key->text().at(0).unicode() < 0x80)
            StringGrid1KeyPress(char(key->text().at(0).unicode()));
    } else if (watched == view->viewport() && event->type() == QEvent::MouseButtonDblClick &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        StringGrid1DblClick();
    }
    return QDialog::eventFilter(watched, event);  // the grid still gets the key and the click
}

void TForm2::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    ui_->Panel1->resize(width(), ui_->Panel1->height());  // the panel keeps to the top edge
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (placed_)
        return;
    placed_ = true;
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TForm2::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TForm2::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TForm2::dropEvent(QDropEvent* event)
{
    const std::vector<std::string> names = DroppedLocalFiles(event->mimeData());
    event->acceptProposedAction();
    WMDropFiles(names);
}

}  // namespace quorvant
