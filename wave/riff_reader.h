#pragma once
// A small RIFF chunk reader: find the RIFF chunk, find a chunk by id inside
// a parent, read at the current position, and step out of a chunk. Chunks
// of odd size are followed by one pad byte, which the walk skips.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "wave/byte_source.h"

namespace quorvant {

struct ChunkInfo {
    uint32_t ckid = 0;
    uint32_t cksize = 0;
    uint32_t fccType = 0;     // form type of a RIFF chunk
    uint64_t dataOffset = 0;  // first byte after the 8-byte header
};

// Four-character code of a text of up to 4 characters, blank-padded, no case change.
uint32_t StringToFourCC(std::string_view text);

class RiffReader {
public:
    explicit RiffReader(ByteSource& source) : source_(source) {}

    // Finds a RIFF chunk from the current position; fccType 0 matches any form.
    // On success the position is just after the form type.
    bool descendRiff(ChunkInfo& riff);
    // Finds a chunk with chunk.ckid from the current position to the end of
    // `parent`; on success the position is at the chunk's first data byte.
    bool descendChunk(ChunkInfo& chunk, const ChunkInfo& parent);
    // Reads at the current position and advances; short only at the end of the input.
    std::size_t read(void* destination, std::size_t count);
    // Moves past the end of `chunk` and its pad byte; fails when the chunk
    // runs past the end of the input.
    bool ascend(const ChunkInfo& chunk);

    uint64_t position() const { return position_; }

private:
    bool readHeader(uint64_t at, uint32_t& id, uint32_t& size);

    ByteSource& source_;
    uint64_t position_ = 0;
};

}  // namespace quorvant
