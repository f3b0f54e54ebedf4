#pragma once
// The command line of quorvant-convert, parsed into what the run needs.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvant::cli {

struct Options {
    enum class Action { Convert, Help, Version };
    Action action = Action::Convert;
    int widthIndex;                     // position in BitChoices
    std::string rate;                   // one of RateChoices
    std::string channels;               // one of ChannelChoices
    std::optional<std::string> outDir;  // set: batch form
    std::vector<std::string> operands;  // as given, never re-encoded

    Options();
    bool batch() const { return outDir.has_value(); }
};

// A command line that cannot be run; the text says what is wrong.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// argv[1..argc-1]; throws UsageError. --help and --version end the parse.
Options ParseOptions(int argc, const char* const* argv);

}  // namespace quorvant::cli
