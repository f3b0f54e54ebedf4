#pragma once
// Builds WAVE (and deliberately broken RIFF) images byte by byte for tests.

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "wave/wave_format.h"

namespace quorvant::test {

using Bytes = std::vector<uint8_t>;

inline void PutLE16(Bytes& b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void PutLE32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}
inline void PutId(Bytes& b, const char* id)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(id[i]));
}

// Little-endian 32-bit float samples.
inline Bytes Floats(std::initializer_list<float> values)
{
    Bytes b;
    for (float v : values)
        PutLE32(b, std::bit_cast<uint32_t>(v));
    return b;
}

// A chunk: id, declared size (defaults to the body's size), body, and a pad
// byte after an odd body unless told otherwise.
inline Bytes Chunk(const char* id, const Bytes& body, int64_t declared = -1, bool pad = true)
{
    Bytes b;
    PutId(b, id);
    PutLE32(b, declared < 0 ? uint32_t(body.size()) : uint32_t(declared));
    b.insert(b.end(), body.begin(), body.end());
    if (pad && (body.size() & 1))
        b.push_back(0);
    return b;
}

// The body of a "fmt " chunk: the first `size` bytes of an 18-byte record
// (plus zero bytes beyond 18).
inline Bytes FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, std::size_t size = 16)
{
    Bytes b;
    uint16_t align = uint16_t(bits / 8 * channels);
    PutLE16(b, tag);
    PutLE16(b, channels);
    PutLE32(b, rate);
    PutLE32(b, rate * align);
    PutLE16(b, align);
    PutLE16(b, bits);
    PutLE16(b, 0);
    b.resize(size, 0);
    return b;
}

// A 40-byte extensible "fmt " body with the given sub-format's first code.
inline Bytes ExtensibleFmtBody(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t subFormatCode)
{
    Bytes b = FmtBody(kFormatExtensible, channels, rate, bits, 18);
    b[16] = 22;  // cbSize
    PutLE16(b, bits);         // valid bits
    PutLE32(b, 0);            // channel mask
    static const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    PutLE16(b, subFormatCode);
    b.insert(b.end(), tail, tail + 14);
    return b;
}

// RIFF header (size = everything after it unless given) around the chunks.
inline Bytes Riff(const std::vector<Bytes>& chunks, const char* form = "WAVE", int64_t declared = -1)
{
    Bytes body;
    PutId(body, form);
    for (const auto& c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    return Chunk("RIFF", body, declared, false);
}

// A canonical file: 16-byte "fmt " chunk then "data".
inline Bytes SimpleWave(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& samples)
{
    return Riff({Chunk("fmt ", FmtBody(tag, channels, rate, bits)), Chunk("data", samples)});
}

inline void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace quorvant::test
