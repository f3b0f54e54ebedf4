#pragma once
// The main window: three format selectors, opening one file by dialog or by
// drop, converting it to the chosen format, and the way to the batch window.

#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "ui/target_selectors.h"
#include "wave/wave_records.h"

namespace Ui {
class TForm1;
}

namespace quorvant {

class TForm2;

inline constexpr const char* VersionText = "Quorvant version 1.02";
inline constexpr const char* SecondVersionLine = "\nConverts WAVE files between sample formats.";

class TForm1 : public QMainWindow, public TargetSelectors {
    Q_OBJECT
public:
    explicit TForm1(Platform& platform, QWidget* parent = nullptr);
    ~TForm1() override;

    // The batch window shown by "Batch processing.".
    void setBatchWindow(TForm2* form2) { form2_ = form2; }

    WAVEFORMATEX selectedTargetFormat() const override;
    bool opensFolderAfterConversion() const override;

    // Files dropped on the window, as path bytes in the order the desktop gave them.
    void WMDropFiles(const std::vector<std::string>& names);

    // The window's records, for inspection.
    const WaveRecords& records() const { return records_; }
    const std::string& currentFilePath() const { return CurrentFilePath; }

public slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void VersionInfo1Click();
    void ExitX1Click();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
    void openWaveFile(const std::string& path);
    void setCaption(const QString& caption);
    void showFileCaption();
    void setInfoLine(const QString& text);

    std::unique_ptr<Ui::TForm1> ui_;
    Platform& platform_;
    TForm2* form2_ = nullptr;
    WaveRecords records_;
    std::string CurrentFilePath;
    bool centred_ = false;
};

}  // namespace quorvant
