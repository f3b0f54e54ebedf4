#pragma once
// The batch window: a list of files converted in one run into one folder.
// Created once and only hidden when closed, so the list and the last run's
// results stay until the tool ends. No control is disabled during a run:
// the run lets every handler here work between two files.

#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/platform_messages.h"
#include "ui/batch_progress.h"
#include "ui/target_selectors.h"
#include "wave/wave_records.h"

namespace Ui {
class TForm2;
}

namespace quorvant {

class BatchGridModel;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(Platform& platform, const TargetSelectors& selectors, QWidget* parent = nullptr);
    ~TForm2() override;

    // A drop takes at most this many names; the rest are ignored.
    static constexpr std::size_t kMaxDroppedNames = 65536;

    // Checks one file and, when it passes, appends its row.
    void AddFileToList(const std::string& path);
    // Files dropped on the window, in the order given: folders are skipped
    // silently, every other name goes through AddFileToList.
    void WMDropFiles(const std::vector<std::string>& names);

    // What the list shows, by grid position (row 0 the titles, column 0 the numbers).
    const std::string& cell(int column, int row) const;
    int rowCount() const;
    uint32_t listRowCount() const { return ListRowCount; }
    bool cancelRequested() const { return CancelRequested; }
    const BatchProgress& progress() const { return progress_; }
    const WaveRecords& records() const { return records_; }

public slots:
    void Button1Click();  // "IN File"
    void Button2Click();  // "Clear"
    void Button3Click();  // "OUT Folder": the batch run
    void Button4Click();  // "Cancel"
    void StringGrid1Click();
    void StringGrid1DblClick();
    void StringGrid1KeyPress(char key);
    void Delete1Click();
    void FormClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct GridCell {
        int column = -1;
        int row = -1;  // grid row; -1 when there is no current cell
    };
    GridCell currentCell() const;
    void setCell(int column, int row, const std::string& text);
    void setRowCount(int count);
    void setLabel(const std::string& text);
    [[noreturn]] void engineFailed(const std::string& path);

    std::unique_ptr<Ui::TForm2> ui_;
    Platform& platform_;
    const TargetSelectors& selectors_;
    PlatformMessages messages_;
    BatchGridModel* grid_;
    BatchProgress progress_;
    WaveRecords records_;  // this window's SourceFormat, InputBlock, TargetFormat, WorkBlock

    uint32_t ListRowCount = 1;  // list rows in use, the title row included
    bool CancelRequested = false;
    bool adjustingGrid_ = false;  // row-count changes move the current cell without a click
    bool placed_ = false;         // centred on the screen at the first show only
};

}  // namespace quorvant
