#include <cstdint>

#include "convert/sample_io.h"
#include "convert/stages.h"
#include "convert/width_rules.h"

namespace quorvant {

namespace {

template <unsigned S, unsigned T, typename Rule>
void ConvertEach(const uint8_t* in, uint32_t n, uint8_t* out, Rule rule)
{
    constexpr unsigned sb = S / 8, tb = T / 8;
    const uint32_t samples = n / sb;
    for (uint32_t i = 0; i < samples; ++i)
        StoreSampleBits(out + std::size_t(i) * tb, tb, uint32_t(rule(LoadSampleBits(in + std::size_t(i) * sb, sb))));
}

}  // namespace

void ConvertWidth(const uint8_t* in, uint32_t n, unsigned s, unsigned t, uint8_t* out)
{
    using namespace width;
    switch (s * 100 + t) {
    case 1608: ConvertEach<16, 8>(in, n, out, [](uint32_t v) { return From16To8(int16_t(v)); }); break;
    case 2408: ConvertEach<24, 8>(in, n, out, [](uint32_t v) { return From24To8(v); }); break;
    case 3208: ConvertEach<32, 8>(in, n, out, [](uint32_t v) { return From32To8(v); }); break;
    case 2416: ConvertEach<24, 16>(in, n, out, [](uint32_t v) { return From24To16(v); }); break;
    case 3216: ConvertEach<32, 16>(in, n, out, [](uint32_t v) { return From32To16(v); }); break;
    case 3224: ConvertEach<32, 24>(in, n, out, [](uint32_t v) { return From32To24(v); }); break;
    case 816: ConvertEach<8, 16>(in, n, out, [](uint32_t v) { return From8To16(uint8_t(v)); }); break;
    case 824: ConvertEach<8, 24>(in, n, out, [](uint32_t v) { return From8To24(uint8_t(v)); }); break;
    case 832: ConvertEach<8, 32>(in, n, out, [](uint32_t v) { return From8To32(uint8_t(v)); }); break;
    case 1624: ConvertEach<16, 24>(in, n, out, [](uint32_t v) { return From16To24(int16_t(v)); }); break;
    case 1632: ConvertEach<16, 32>(in, n, out, [](uint32_t v) { return From16To32(int16_t(v)); }); break;
    case 2432: ConvertEach<24, 32>(in, n, out, [](uint32_t v) { return From24To32(v); }); break;
    default: break;  // a width the converter does not know: the block stays zero
    }
}

}  // namespace quorvant
