#pragma once
// The two sample blocks every window owns: the loaded "data" chunk and the
// result of the last conversion. A null array means "nothing there"; an
// allocated array of size 0 is a loaded but empty block.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvant {

// Frees a block: munmap for a mapping of `mapped` bytes, delete[] otherwise.
struct BlockRelease {
    std::size_t mapped = 0;
    void operator()(uint8_t* p) const;
};

class ByteArray {
public:
    ByteArray() = default;

    // Content undefined; throws std::bad_alloc. Never null, even for 0 bytes.
    static ByteArray Allocate(std::size_t bytes);
    static ByteArray AllocateZeroed(std::size_t bytes);

    uint8_t* data() { return bytes_.get(); }
    const uint8_t* data() const { return bytes_.get(); }
    bool isNull() const { return !bytes_; }
    // Whether the block was handed out zeroed (a mapping of its own).
    bool startsZeroed() const { return bytes_ && bytes_.get_deleter().mapped != 0; }
    void reset() { bytes_.reset(); }

private:
    // Large blocks are mapped directly (2 MiB-aligned, huge pages advised):
    // the kernel hands them out zeroed, and huge pages make the first touch
    // of a big block cheap.
    std::unique_ptr<uint8_t[], BlockRelease> bytes_;
    static ByteArray Make(std::size_t bytes, bool zero);
};

struct InputBlock {
    ByteArray InputData;
    uint32_t InputSize = 0;
};

struct WorkBlock {
    ByteArray WorkData;
    uint32_t WorkSize = 0;
};

}  // namespace quorvant
