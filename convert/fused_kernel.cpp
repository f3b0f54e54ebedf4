#include "convert/fused_kernel.h"

#include <cstring>

#include "convert/rate_index.h"
#include "convert/sample_io.h"
#include "convert/stages.h"
#include "convert/width_rules.h"

namespace quorvant {

namespace {

// One sample's bits from SB to TB bytes, by the width rules.
template <unsigned SB, unsigned TB>
inline uint32_t Widen(uint32_t v)
{
    using namespace width;
    if constexpr (SB == TB) return v;
    else if constexpr (SB == 2 && TB == 1) return From16To8(int16_t(v));
    else if constexpr (SB == 3 && TB == 1) return From24To8(v);
    else if constexpr (SB == 4 && TB == 1) return From32To8(v);
    else if constexpr (SB == 3 && TB == 2) return uint16_t(From24To16(v));
    else if constexpr (SB == 4 && TB == 2) return uint16_t(From32To16(v));
    else if constexpr (SB == 4 && TB == 3) return uint32_t(From32To24(v));
    else if constexpr (SB == 1 && TB == 2) return uint16_t(From8To16(uint8_t(v)));
    else if constexpr (SB == 1 && TB == 3) return uint32_t(From8To24(uint8_t(v)));
    else if constexpr (SB == 1 && TB == 4) return uint32_t(From8To32(uint8_t(v)));
    else if constexpr (SB == 2 && TB == 3) return uint32_t(From16To24(int16_t(v)));
    else if constexpr (SB == 2 && TB == 4) return uint32_t(From16To32(int16_t(v)));
    else return uint32_t(From24To32(v));
}

template <unsigned TB>
inline uint32_t Average(uint32_t l, uint32_t r)
{
    if constexpr (TB == 1) return AverageUnsigned8(uint8_t(l), uint8_t(r));
    else if constexpr (TB == 2) return uint16_t(Average16(int16_t(l), int16_t(r)));
    else if constexpr (TB == 3) return uint32_t(Average24(SignExtend(l, 24), SignExtend(r, 24)));
    else return uint32_t(Average32(int32_t(l), int32_t(r)));
}

template <unsigned SB, unsigned TB, unsigned CS, unsigned CT, bool Rate>
void Units(const ConversionPlan& plan, const uint8_t* source, uint64_t base, uint64_t first, uint64_t last,
           uint8_t* out)
{
    constexpr unsigned frameBytes = SB * CS;
    RateIndexer index(plan.sourceRate, Rate ? plan.targetRate : 1, first);
    const uint64_t lastFrame = plan.sourceFrames - 1;
    for (uint64_t j = first; j < last; ++j, out += TB * CT) {
        uint64_t k = j;
        if constexpr (Rate) {
            // A trailing partial frame is not a source frame: stay on the last whole one.
            k = index.next();
            k = k < lastFrame ? k : lastFrame;
        }
        const uint8_t* frame = source + (k - base) * frameBytes;
        const uint32_t a = Widen<SB, TB>(LoadSampleBits(frame, SB));
        if constexpr (CS == 1 && CT == 1) {
            StoreSampleBits(out, TB, a);
        } else if constexpr (CS == 1 && CT == 2) {
            StoreSampleBits(out, TB, a);
            StoreSampleBits(out + TB, TB, a);
        } else {
            const uint32_t b = Widen<SB, TB>(LoadSampleBits(frame + SB, SB));
            if constexpr (CT == 2) {
                StoreSampleBits(out, TB, a);
                StoreSampleBits(out + TB, TB, b);
            } else {
                StoreSampleBits(out, TB, Average<TB>(a, b));
            }
        }
    }
}

using UnitsFn = void (*)(const ConversionPlan&, const uint8_t*, uint64_t, uint64_t, uint64_t, uint8_t*);

template <unsigned SB, unsigned TB, unsigned CS, unsigned CT>
UnitsFn PickRate(bool rate)
{
    return rate ? &Units<SB, TB, CS, CT, true> : &Units<SB, TB, CS, CT, false>;
}

template <unsigned SB, unsigned TB>
UnitsFn PickChannels(unsigned cs, unsigned ct, bool rate)
{
    if (cs == 1)
        return ct == 1 ? PickRate<SB, TB, 1, 1>(rate) : PickRate<SB, TB, 1, 2>(rate);
    return ct == 1 ? PickRate<SB, TB, 2, 1>(rate) : PickRate<SB, TB, 2, 2>(rate);
}

template <unsigned SB>
UnitsFn PickTarget(unsigned tb, unsigned cs, unsigned ct, bool rate)
{
    switch (tb) {
    case 1: return PickChannels<SB, 1>(cs, ct, rate);
    case 2: return PickChannels<SB, 2>(cs, ct, rate);
    case 3: return PickChannels<SB, 3>(cs, ct, rate);
    default: return PickChannels<SB, 4>(cs, ct, rate);
    }
}

UnitsFn Pick(const ConversionPlan& p)
{
    const unsigned tb = p.targetSampleBytes(), cs = p.sourceChannels, ct = p.targetChannels;
    switch (p.sourceSampleBytes()) {
    case 1: return PickTarget<1>(tb, cs, ct, p.rateStage);
    case 2: return PickTarget<2>(tb, cs, ct, p.rateStage);
    case 3: return PickTarget<3>(tb, cs, ct, p.rateStage);
    default: return PickTarget<4>(tb, cs, ct, p.rateStage);
    }
}

template <unsigned SB, unsigned TB>
void Tail(const uint8_t* source, uint64_t samples, uint8_t* out)
{
    for (uint64_t i = 0; i < samples; ++i)
        StoreSampleBits(out + i * TB, TB, Widen<SB, TB>(LoadSampleBits(source + i * SB, SB)));
}

template <unsigned SB>
void TailTo(unsigned tb, const uint8_t* source, uint64_t samples, uint8_t* out)
{
    switch (tb) {
    case 1: return Tail<SB, 1>(source, samples, out);
    case 2: return Tail<SB, 2>(source, samples, out);
    case 3: return Tail<SB, 3>(source, samples, out);
    default: return Tail<SB, 4>(source, samples, out);
    }
}

}  // namespace

void RunFusedUnits(const ConversionPlan& plan, const uint8_t* source, uint64_t sourceBase, uint64_t first,
                   uint64_t last, uint8_t* out)
{
    if (first < last)
        Pick(plan)(plan, source, sourceBase, first, last, out);
}

void RunFusedTail(const ConversionPlan& plan, const uint8_t* source, uint8_t* out)
{
    const unsigned tb = plan.targetSampleBytes();
    switch (plan.sourceSampleBytes()) {
    case 1: return TailTo<1>(tb, source, plan.tailSamples, out);
    case 2: return TailTo<2>(tb, source, plan.tailSamples, out);
    case 3: return TailTo<3>(tb, source, plan.tailSamples, out);
    default: return TailTo<4>(tb, source, plan.tailSamples, out);
    }
}

}  // namespace quorvant
