#pragma once
// Everything the windows ask of the desktop: message boxes, dialogs, opening
// a folder, ending the process. The windows use only this interface, so
// tests can replace the desktop with a scripted stand-in.

#include <optional>
#include <string>
#include <vector>

#include "wave/messages.h"

class QWidget;

namespace quorvant {

class Platform {
public:
    virtual ~Platform() = default;

    // A message box with no owner window, captioned with the application
    // title. It runs a nested event loop and leaves the windows enabled.
    virtual void showMessageBox(const std::string& text, MessageIcon icon) = 0;
    // The plain message dialog: one OK button, no icon, application title.
    virtual void showPlainMessage(QWidget* owner, const std::string& text) = 0;
    // Yes/No question with an exclamation icon, windows disabled while it
    // shows. True unless the answer is No.
    virtual bool askYesNo(QWidget* owner, const std::string& text) = 0;

    // Open dialog for one file, filter "Wave files (*.wav)"; empty when cancelled.
    virtual std::optional<std::string> chooseOpenFile(QWidget* owner) = 0;
    // Open dialog for several files, same filter; empty list when cancelled.
    virtual std::vector<std::string> chooseOpenFiles(QWidget* owner) = 0;
    // Save dialog, filter "WAVE files (*.wav)", asks before replacing, adds
    // ".wav" to a name typed without extension; empty when cancelled.
    virtual std::optional<std::string> chooseSaveFile(QWidget* owner) = 0;
    // Folder dialog titled "フォルダ選択"; empty when cancelled or when the
    // choice has no file-system path.
    virtual std::optional<std::string> chooseFolder(QWidget* owner) = 0;

    // Opens a folder in the desktop's file manager; the result is not examined.
    virtual void openFolder(const std::string& folder) = 0;

    // Ends the process with `status` (after the engine's failure).
    [[noreturn]] virtual void exitProcess(int status) = 0;
};

// Paths travel as the bytes the system gives; these convert at the Qt edge.
}  // namespace quorvant
