#include "cli/progress_line.h"

#include <cstdio>

namespace quorvant::cli {

namespace {
// Erases to the end of the line: a shorter name must not leave the tail of a longer one.
constexpr const char* kEraseToEnd = "\033[K";
}  // namespace

void ProgressLine::show(std::size_t number, std::size_t total, const std::string& name)
{
    if (!enabled_)
        return;
    std::fprintf(stderr, "\r[%zu/%zu] ", number, total);
    std::fwrite(name.data(), 1, name.size(), stderr);
    std::fputs(kEraseToEnd, stderr);
    std::fflush(stderr);
    open_ = true;
}

void ProgressLine::erase()
{
    if (!open_)
        return;
    std::fputs("\r", stderr);
    std::fputs(kEraseToEnd, stderr);
    std::fflush(stderr);
    open_ = false;
}

void ProgressLine::end()
{
    if (!open_)
        return;
    std::fputc('\n', stderr);
    std::fflush(stderr);
    open_ = false;
}

}  // namespace quorvant::cli
