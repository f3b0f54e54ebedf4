// Every input under fuzz/regression/<target>/ goes through its fuzz target's
// body on every ordinary test run, so that a fault fuzzing once found stays
// fixed even where nobody runs the fuzzers.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "convert/target_format.h"
#include "fuzz/fuzz_entries.h"

namespace quorvant {
namespace {

namespace fs = std::filesystem;

using Entry = std::string (*)(const uint8_t*, std::size_t);

std::vector<fs::path> RegressionInputs(const std::string& target)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(QUORVANT_FUZZ_REGRESSION_DIR) / target))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Replay(const std::string& target, Entry entry)
{
    const std::vector<fs::path> files = RegressionInputs(target);
    // A renamed or emptied folder must not turn this into a test of nothing.
    ASSERT_FALSE(files.empty()) << "no inputs in " << QUORVANT_FUZZ_REGRESSION_DIR << "/" << target;
    for (const fs::path& file : files) {
        const std::vector<uint8_t> bytes = ReadAll(file);
        EXPECT_EQ(entry(bytes.data(), bytes.size()), "") << target << " on " << file.filename();
    }
}

TEST(FuzzRegressions, LoadInputsReplayCleanly) { Replay("fuzz_load", fuzz::FuzzLoad); }

TEST(FuzzRegressions, ConvertInputsReplayCleanly) { Replay("fuzz_convert", fuzz::FuzzConvert); }

// The first byte of a convert input reaches each of the selectors' 120
// combinations exactly once per 120 values.
TEST(FuzzRegressions, EveryTargetChoiceIsReachable)
{
    std::vector<WAVEFORMATEX> all;
    for (int w = 0; w < 5; ++w)
        for (const char* rate : RateChoices)
            for (const char* channels : ChannelChoices)
                all.push_back(BuildTargetFormat(w, rate, channels));
    auto key = [](const WAVEFORMATEX& f) {
        return std::to_string(f.wFormatTag) + "/" + std::to_string(f.wBitsPerSample) + "/" +
               std::to_string(f.nSamplesPerSec) + "/" + std::to_string(f.nChannels);
    };
    std::set<std::string> expected, reached;
    for (const auto& f : all)
        expected.insert(key(f));
    ASSERT_EQ(expected.size(), fuzz::kTargetChoices);
    for (unsigned byte = 0; byte < fuzz::kTargetChoices; ++byte)
        reached.insert(key(fuzz::TargetOfChoice(byte)));
    EXPECT_EQ(reached, expected);
    EXPECT_EQ(key(fuzz::TargetOfChoice(255)), key(fuzz::TargetOfChoice(255 % fuzz::kTargetChoices)));
}

}  // namespace
}  // namespace quorvant
