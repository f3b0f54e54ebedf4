#include "cli/options.h"

#include <algorithm>
#include <string_view>

#include "cli/choices.h"
#include "convert/target_format.h"

namespace quorvant::cli {

namespace {

int ParseBits(std::string_view value)
{
    auto it = std::find(kBitNames.begin(), kBitNames.end(), value);
    if (it == kBitNames.end())
        throw UsageError("invalid --bits value '" + std::string(value) + "' (choose " + BitNamesList() + ")");
    return int(it - kBitNames.begin());
}

std::string ParseRate(std::string_view value)
{
    // The exact texts only: "044100" or "44100.0" are refused, not read as numbers.
    if (std::find(RateChoices.begin(), RateChoices.end(), value) == RateChoices.end())
        throw UsageError("invalid --rate value '" + std::string(value) + "' (choose " + RateNamesList() + ")");
    return std::string(value);
}

std::string ParseChannels(std::string_view value)
{
    if (std::find(ChannelChoices.begin(), ChannelChoices.end(), value) == ChannelChoices.end())
        throw UsageError("invalid --channels value '" + std::string(value) + "' (choose " + ChannelNamesList() +
                         ")");
    return std::string(value);
}

}  // namespace

Options::Options()
    : widthIndex(kDefaultBitIndex), rate(RateChoices[kDefaultRateIndex]), channels(ChannelChoices[kDefaultChannelIndex])
{
}

Options ParseOptions(int argc, const char* const* argv)
{
    Options options;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        // A lone "-" is a name like any other.
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            options.operands.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }

        std::string_view name = arg;
        std::optional<std::string_view> inlineValue;
        if (auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }

        if (name == "--help" || name == "--version") {
            if (inlineValue)
                throw UsageError("option " + std::string(name) + " takes no value");
            options.action = name == "--help" ? Options::Action::Help : Options::Action::Version;
            return options;
        }
        if (name != "--bits" && name != "--rate" && name != "--channels" && name != "--out-dir")
            throw UsageError("unknown option '" + std::string(arg) + "'");

        std::string_view value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            throw UsageError("option " + std::string(name) + " needs a value");
        }

        if (name == "--bits") {
            options.widthIndex = ParseBits(value);
        } else if (name == "--rate") {
            options.rate = ParseRate(value);
        } else if (name == "--channels") {
            options.channels = ParseChannels(value);
        } else {
            if (value.empty())
                throw UsageError("the --out-dir folder is empty");
            options.outDir = std::string(value);
        }
    }

    if (options.batch()) {
        if (options.operands.empty())
            throw UsageError("no INPUT given for --out-dir");
    } else if (options.operands.size() < 2) {
        throw UsageError("missing INPUT or OUTPUT");
    } else if (options.operands.size() > 2) {
        throw UsageError("too many operands (use --out-dir DIR for several inputs)");
    }
    return options;
}

}  // namespace quorvant::cli
