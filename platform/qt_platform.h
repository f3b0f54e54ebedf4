#pragma once
// The desktop as Qt provides it: message boxes, file and folder dialogs,
// the file manager, and ending the process.

#include "platform/platform.h"

namespace quorvant {

class QtPlatform final : public Platform {
public:
    void showMessageBox(const std::string& text, MessageIcon icon) override;
    void showPlainMessage(QWidget* owner, const std::string& text) override;
    bool askYesNo(QWidget* owner, const std::string& text) override;

    std::optional<std::string> chooseOpenFile(QWidget* owner) override;
    std::vector<std::string> chooseOpenFiles(QWidget* owner) override;
    std::optional<std::string> chooseSaveFile(QWidget* owner) override;
    std::optional<std::string> chooseFolder(QWidget* owner) override;

    void openFolder(const std::string& folder) override;

    [[noreturn]] void exitProcess(int status) override;
};

}  // namespace quorvant
