#include "cli/stderr_messages.h"

#include <cstdio>

#include "cli/progress_line.h"

namespace quorvant::cli {

void PrintError(const std::string& text, ProgressLine* progress)
{
    // The progress line names the file the message is about, so it stays.
    if (progress)
        progress->end();
    // Written as bytes: paths in messages are never re-encoded.
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void StderrMessages::showMessage(MessageIcon, const std::string& text) { PrintError(text, progress_); }

}  // namespace quorvant::cli
