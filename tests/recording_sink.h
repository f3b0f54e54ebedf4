#pragma once
// Records every message the library asks to show.

#include <string>
#include <utility>
#include <vector>

#include "wave/messages.h"

namespace quorvant::test {

struct RecordingSink : MessageSink {
    void showMessage(MessageIcon icon, const std::string& text) override { messages.emplace_back(icon, text); }
    void readingStarted() override { ++readings; }

    std::vector<std::pair<MessageIcon, std::string>> messages;
    int readings = 0;
};

}  // namespace quorvant::test
