#pragma once
// Output for the writer. Every write and the final close report failure,
// so that nothing counts as written that did not reach its destination.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvant {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(const void* bytes, std::size_t count) = 0;
    // Completes the output; false when anything written before was lost.
    virtual bool close() = 0;
    // Told the final size before the first write; false when it cannot fit.
    virtual bool reserve(uint64_t /*bytes*/) { return true; }
};

class MemorySink final : public ByteSink {
public:
    bool write(const void* bytes, std::size_t count) override
    {
        auto* p = static_cast<const uint8_t*>(bytes);
        data.insert(data.end(), p, p + count);
        return true;
    }
    bool close() override { return true; }

    std::vector<uint8_t> data;
};

}  // namespace quorvant
