#include "wave/riff_reader.h"

#include "wave/wave_format.h"

namespace quorvant {

namespace {
constexpr uint64_t kHeaderBytes = 8;

uint64_t PaddedSize(uint32_t size) { return uint64_t(size) + (size & 1u); }
}  // namespace

uint32_t StringToFourCC(std::string_view text)
{
    uint8_t code[4] = {' ', ' ', ' ', ' '};
    for (std::size_t i = 0; i < 4 && i < text.size(); ++i)
        code[i] = uint8_t(text[i]);
    return ReadLE32(code);
}

bool RiffReader::readHeader(uint64_t at, uint32_t& id, uint32_t& size)
{
    uint8_t header[kHeaderBytes];
    if (source_.readAt(at, header, sizeof header) != sizeof header)
        return false;
    id = ReadLE32(header);
    size = ReadLE32(header + 4);
    return true;
}

bool RiffReader::descendRiff(ChunkInfo& riff)
{
    const uint32_t riffId = StringToFourCC("RIFF");
    uint64_t at = position_;
    for (;;) {
        uint32_t id = 0, size = 0;
        if (!readHeader(at, id, size))
            return false;
        if (id == riffId) {
            uint8_t form[4];
            if (source_.readAt(at + kHeaderBytes, form, 4) != 4)
                return false;
            uint32_t type = ReadLE32(form);
            if (riff.fccType == 0 || riff.fccType == type) {
                riff.ckid = id;
                riff.cksize = size;
                riff.fccType = type;
                riff.dataOffset = at + kHeaderBytes;
                position_ = at + kHeaderBytes + 4;
                return true;
            }
        }
        at += kHeaderBytes + PaddedSize(size);
    }
}

bool RiffReader::descendChunk(ChunkInfo& chunk, const ChunkInfo& parent)
{
    const uint64_t parentEnd = parent.dataOffset + parent.cksize;
    uint64_t at = position_;
    while (at + kHeaderBytes <= parentEnd) {
        uint32_t id = 0, size = 0;
        if (!readHeader(at, id, size))
            return false;
        if (id == chunk.ckid) {
            chunk.cksize = size;
            chunk.dataOffset = at + kHeaderBytes;
            position_ = chunk.dataOffset;
            return true;
        }
        at += kHeaderBytes + PaddedSize(size);
    }
    return false;
}

std::size_t RiffReader::read(void* destination, std::size_t count)
{
    std::size_t got = source_.readAt(position_, destination, count);
    position_ += got;
    return got;
}

bool RiffReader::ascend(const ChunkInfo& chunk)
{
    if (chunk.dataOffset + chunk.cksize > source_.length())
        return false;
    position_ = chunk.dataOffset + PaddedSize(chunk.cksize);
    return true;
}

}  // namespace quorvant
