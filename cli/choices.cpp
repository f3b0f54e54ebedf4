#include "cli/choices.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace quorvant::cli {

namespace {

// Sorted by leading number; the stable sort keeps "32" before "32float".
template <typename Range>
std::string JoinByNumber(const Range& names)
{
    std::vector<std::string> sorted(std::begin(names), std::end(names));
    auto byNumber = [](const std::string& a, const std::string& b) {
        return std::atol(a.c_str()) < std::atol(b.c_str());
    };
    std::stable_sort(sorted.begin(), sorted.end(), byNumber);
    std::string joined;
    for (const auto& name : sorted)
        joined += (joined.empty() ? "" : "|") + name;
    return joined;
}

}  // namespace

std::string BitNamesList() { return JoinByNumber(kBitNames); }

std::string RateNamesList() { return JoinByNumber(RateChoices); }

std::string ChannelNamesList()
{
    std::string joined;
    for (const char* name : ChannelChoices)
        joined += (joined.empty() ? "" : "|") + std::string(name);
    return joined;
}

}  // namespace quorvant::cli
