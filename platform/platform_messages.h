#pragma once
// Shows the library's messages as the desktop's message boxes.

#include <functional>

#include "platform/platform.h"

namespace quorvant {

class PlatformMessages final : public MessageSink {
public:
    explicit PlatformMessages(Platform& platform, std::function<void()> onReading = {})
        : platform_(platform), onReading_(std::move(onReading)) {}

    void showMessage(MessageIcon icon, const std::string& text) override { platform_.showMessageBox(text, icon); }
    void readingStarted() override
    {
        if (onReading_)
            onReading_();
    }

private:
    Platform& platform_;
    std::function<void()> onReading_;
};

}  // namespace quorvant
