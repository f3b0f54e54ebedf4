// The incremental rate index must equal the rounded rule k(j) =
// trunc(round64(round64(S ÷ T) × j)) for every frame number a block can
// reach. It takes the rule only near whole numbers; these tests check the
// fast steps everywhere else, most of all just outside that margin and at
// the largest j, where the rounding error is largest.

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

#include "convert/exact_arith.h"
#include "convert/rate_index.h"
#include "convert/target_format.h"

namespace quorvant {
namespace {

std::vector<uint32_t> SourceRates()
{
    std::vector<uint32_t> rates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 37800, 44056, 44100,
                                   47250, 48000, 50000, 64000, 88200, 96000, 176400, 192000, 352800, 384000};
    return rates;
}

std::vector<uint32_t> TargetRates()
{
    std::vector<uint32_t> rates;
    for (const char* r : RateChoices)
        rates.push_back(uint32_t(std::stoul(r)));
    return rates;
}

// Runs the indexer from `first` for `count` frames against the rule.
void ExpectRun(uint32_t s, uint32_t t, uint64_t first, uint64_t count)
{
    const ExtendedQuotient q = RoundedQuotient(s, t);
    RateIndexer index(s, t, first);
    for (uint64_t j = first; j < first + count; ++j) {
        const uint64_t expected = TruncatedProduct(q, j);
        const uint64_t actual = index.next();
        if (actual != expected) {
            ADD_FAILURE() << s << " -> " << t << ", frame " << j << ": " << actual << " instead of " << expected;
            return;
        }
    }
}

// The largest frame number of a 4 GiB block: one-byte frames.
constexpr uint64_t kLastFrame = 0xFFFFFFFFull;

TEST(RateIndexer, EqualsTheRuleFromTheStartOfEveryBlock)
{
    for (uint32_t s : SourceRates())
        for (uint32_t t : TargetRates())
            if (s != t)
                ExpectRun(s, t, 0, 100000);
}

TEST(RateIndexer, EqualsTheRuleAtTheEndOfTheLargestBlock)
{
    for (uint32_t s : SourceRates())
        for (uint32_t t : TargetRates())
            if (s != t)
                ExpectRun(s, t, kLastFrame - 20000, 20001);
}

TEST(RateIndexer, EqualsTheRuleJustOutsideTheMarginAtLargeFrames)
{
    // Frames whose exact position j·S ÷ T has a remainder of 5 to 12 (or
    // T - 12 to T - 5): the nearest to a whole number that the fast step
    // handles alone. Solved for j near the top of the range.
    std::mt19937_64 rng(5);
    for (uint32_t s : SourceRates())
        for (uint32_t t : TargetRates()) {
            if (s == t)
                continue;
            const uint64_t g = std::gcd(uint64_t(s), uint64_t(t));
            const uint64_t period = t / g, sg = s / g;
            // The inverse of S/g modulo T/g, by the extended Euclidean algorithm.
            int64_t a = int64_t(sg % period), m = int64_t(period), x0 = 0, x1 = 1;
            while (a > 1 && m) {
                int64_t qd = a / m, tmp = m;
                m = a % m;
                a = tmp;
                tmp = x0;
                x0 = x1 - qd * x0;
                x1 = tmp;
            }
            const uint64_t inverse = period == 1 ? 0 : uint64_t((x1 % int64_t(period) + int64_t(period)) % int64_t(period));
            for (uint64_t rest : {5u, 6u, 8u, 12u}) {
                for (uint64_t r : {rest * g, t - rest * g}) {
                    if (r % g || r >= t)
                        continue;
                    // j ≡ (r/g)·inverse (mod T/g).
                    const uint64_t residue = (r / g) % period * inverse % period;
                    for (int n = 0; n < 20; ++n) {
                        uint64_t j = (kLastFrame - rng() % (kLastFrame / 4)) / period * period + residue;
                        if (j > kLastFrame)
                            j -= period;
                        ASSERT_EQ(j * s % t, r);
                        ExpectRun(s, t, j, 1);
                    }
                }
            }
        }
}

TEST(RateIndexer, EqualsTheRuleOnDenseRandomWindows)
{
    std::mt19937_64 rng(9);
    for (uint32_t s : SourceRates())
        for (uint32_t t : TargetRates())
            if (s != t)
                for (int w = 0; w < 8; ++w)
                    ExpectRun(s, t, rng() % kLastFrame, 3000);
}

TEST(RateIndexer, EqualsTheRuleForOddRates)
{
    // Rates a malformed file may declare, up to the full 32-bit range.
    std::mt19937_64 rng(13);
    for (int n = 0; n < 400; ++n) {
        uint32_t s = uint32_t(rng()) | 1, t = uint32_t(rng() % 200000) + 1;
        if (n % 2)
            std::swap(s, t);
        ExpectRun(s, t, rng() % kLastFrame, 500);
        ExpectRun(s, t, 0, 500);
    }
}

}  // namespace
}  // namespace quorvant
