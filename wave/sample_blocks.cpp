#include "wave/sample_blocks.h"

#include <algorithm>

namespace quorvant {

ByteArray ByteArray::Allocate(std::size_t bytes)
{
    ByteArray a;
    a.bytes_ = std::make_unique_for_overwrite<uint8_t[]>(std::max<std::size_t>(bytes, 1));
    return a;
}

ByteArray ByteArray::AllocateZeroed(std::size_t bytes)
{
    ByteArray a;
    a.bytes_ = std::make_unique<uint8_t[]>(std::max<std::size_t>(bytes, 1));
    return a;
}

}  // namespace quorvant
