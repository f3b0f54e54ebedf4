#pragma once
// The library's messages, one per line on stderr, where a window would show a box.

#include "wave/messages.h"

namespace quorvant::cli {

class ProgressLine;

// Prints `text` and a newline on stderr, after ending an open progress line.
void PrintError(const std::string& text, ProgressLine* progress = nullptr);

class StderrMessages final : public MessageSink {
public:
    explicit StderrMessages(ProgressLine* progress = nullptr) : progress_(progress) {}
    void showMessage(MessageIcon icon, const std::string& text) override;

private:
    ProgressLine* progress_;
};

}  // namespace quorvant::cli
