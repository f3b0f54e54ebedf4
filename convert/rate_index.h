#pragma once
// The source frame index k(j) = trunc(round64(round64(S ÷ T) × j)) for
// consecutive j, without extended arithmetic per frame.
//
// The exact quotient j·S ÷ T is tracked as a whole part and a remainder
// (acc = j·S mod T). The rounded result x differs from the exact v = j·S ÷ T
// by less than v·2^-62 (two roundings of relative error 2^-64 each), and
// v·2^-62 = j·S ÷ T · 2^-62 < 4 ÷ T because j, S < 2^32. So trunc(x) can
// differ from trunc(v) only when v lies within 4 ÷ T of an integer, that is
// when acc < 5 or acc > T − 5; only there is the rounded rule evaluated.
// When S ÷ T itself is exact in 64 bits (2, 1/2, 6...) and acc is 0, v is a
// whole number below 2^64, so the rounding keeps it and k = v.

#include <cstdint>

#include "convert/exact_arith.h"

namespace quorvant {

class RateIndexer {
public:
    RateIndexer(uint32_t sourceRate, uint32_t targetRate, uint64_t firstFrame)
        : step_(RoundedQuotient(sourceRate, targetRate)),
          target_(targetRate),
          wholeStep_(sourceRate / targetRate),
          restStep_(sourceRate % targetRate),
          j_(firstFrame)
    {
        using detail::u128;
        exactStep_ = u128(step_.significand) * targetRate == u128(sourceRate) << step_.shift;
        const uint64_t scaled = firstFrame * sourceRate;  // < 2^64: both below 2^32
        whole_ = scaled / targetRate;
        rest_ = scaled % targetRate;
    }

    // k(j) for the current j; then moves to j + 1.
    uint64_t next()
    {
        const bool nearWhole = rest_ < kMargin || rest_ + kMargin > target_;
        const uint64_t k = nearWhole && !(exactStep_ && rest_ == 0) ? TruncatedProduct(step_, j_) : whole_;
        ++j_;
        whole_ += wholeStep_;
        rest_ += restStep_;
        if (rest_ >= target_) {
            rest_ -= target_;
            ++whole_;
        }
        return k;
    }

private:
    static constexpr uint64_t kMargin = 5;
    ExtendedQuotient step_;
    uint64_t target_, wholeStep_, restStep_;
    uint64_t j_, whole_, rest_;
    bool exactStep_ = false;
};

}  // namespace quorvant
