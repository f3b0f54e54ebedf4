#pragma once
// The desktop for headless window tests: records every call and answers
// from scripted queues. An unscripted question fails the test loudly.

#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace quorvant::test {

// Thrown instead of ending the process, so a test can see the exit status.
struct ProcessExit {
    int status;
};

class ScriptedPlatform : public Platform {
public:
    struct Call {
        std::string kind;  // "messageBox", "plainMessage", "askYesNo", "openFile", "openFiles", "saveFile", "folder", "openFolder", "exit"
        std::string text;  // message text, opened folder or exit status
        MessageIcon icon = MessageIcon::Warning;
    };

    void showMessageBox(const std::string& text, MessageIcon icon) override { calls.push_back({"messageBox", text, icon}); }
    void showPlainMessage(QWidget*, const std::string& text) override { calls.push_back({"plainMessage", text}); }
    bool askYesNo(QWidget*, const std::string& text) override
    {
        calls.push_back({"askYesNo", text});
        return take(yesNoAnswers, "askYesNo");
    }
    std::optional<std::string> chooseOpenFile(QWidget*) override
    {
        calls.push_back({"openFile", ""});
        return take(openFileAnswers, "chooseOpenFile");
    }
    std::vector<std::string> chooseOpenFiles(QWidget*) override
    {
        calls.push_back({"openFiles", ""});
        return take(openFilesAnswers, "chooseOpenFiles");
    }
    std::optional<std::string> chooseSaveFile(QWidget*) override
    {
        calls.push_back({"saveFile", ""});
        return take(saveFileAnswers, "chooseSaveFile");
    }
    std::optional<std::string> chooseFolder(QWidget*) override
    {
        calls.push_back({"folder", ""});
        return take(folderAnswers, "chooseFolder");
    }
    void openFolder(const std::string& folder) override { calls.push_back({"openFolder", folder}); }
    [[noreturn]] void exitProcess(int status) override
    {
        calls.push_back({"exit", std::to_string(status)});
        throw ProcessExit{status};
    }

    std::vector<Call> callsOf(const std::string& kind) const
    {
        std::vector<Call> out;
        for (const auto& c : calls)
            if (c.kind == kind)
                out.push_back(c);
        return out;
    }

    std::vector<Call> calls;
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<std::string>> openFileAnswers;
    std::deque<std::vector<std::string>> openFilesAnswers;
    std::deque<std::optional<std::string>> saveFileAnswers;
    std::deque<std::optional<std::string>> folderAnswers;

private:
    template <typename T>
    static T take(std::deque<T>& queue, const char* what)
    {
        if (queue.empty())
            throw std::logic_error(std::string("unscripted call: ") + what);
        T v = std::move(queue.front());
        queue.pop_front();
        return v;
    }
};

}  // namespace quorvant::test
