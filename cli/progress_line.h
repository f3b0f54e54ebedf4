#pragma once
// The "[3/10] name" line a batch run keeps redrawing on stderr, shown only
// when stderr is a terminal: in a log it would only be noise.

#include <cstddef>
#include <string>

namespace quorvant::cli {

class ProgressLine {
public:
    explicit ProgressLine(bool enabled) : enabled_(enabled) {}

    // Redraws the line for the file that is about to be converted.
    void show(std::size_t number, std::size_t total, const std::string& name);
    // Erases the line, so that other output on the same terminal starts clean.
    void erase();
    // Ends the line with a newline, so that it stays above what follows.
    void end();

private:
    bool enabled_;
    bool open_ = false;
};

}  // namespace quorvant::cli
