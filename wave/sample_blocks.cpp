#include "wave/sample_blocks.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <sys/mman.h>

namespace quorvant {

namespace {
constexpr std::size_t kHugePage = std::size_t(2) << 20;
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVANT_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(QUORVANT_ADDRESS_SANITIZER)
// Under AddressSanitizer every block comes from the heap, where it is checked.
constexpr std::size_t kMapThreshold = SIZE_MAX;
#else
// Below this, the heap is quicker than a mapping of our own.
constexpr std::size_t kMapThreshold = std::size_t(4) << 20;
#endif

uint8_t* MapAligned(std::size_t bytes, std::size_t& mapped)
{
    mapped = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    std::size_t reserve = mapped + kHugePage;
    void* raw = ::mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    auto start = reinterpret_cast<std::uintptr_t>(raw);
    auto aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    // Give back the unaligned head and the unused end of the reservation.
    if (aligned > start)
        ::munmap(raw, aligned - start);
    std::size_t end = (start + reserve) - (aligned + mapped);
    if (end)
        ::munmap(reinterpret_cast<void*>(aligned + mapped), end);
    auto* p = reinterpret_cast<uint8_t*>(aligned);
#ifdef MADV_HUGEPAGE
    ::madvise(p, mapped, MADV_HUGEPAGE);
#endif
    return p;
}
}  // namespace

void BlockRelease::operator()(uint8_t* p) const
{
    if (mapped)
        ::munmap(p, mapped);
    else
        delete[] p;
}

ByteArray ByteArray::Make(std::size_t bytes, bool zero)
{
    ByteArray a;
    if (bytes >= kMapThreshold) {
        std::size_t mapped = 0;
        uint8_t* p = MapAligned(bytes, mapped);
        a.bytes_ = std::unique_ptr<uint8_t[], BlockRelease>(p, BlockRelease{mapped});
    } else {
        std::size_t n = std::max<std::size_t>(bytes, 1);
        uint8_t* p = zero ? new uint8_t[n]() : new uint8_t[n];
        a.bytes_ = std::unique_ptr<uint8_t[], BlockRelease>(p, BlockRelease{0});
    }
    return a;
}

ByteArray ByteArray::Allocate(std::size_t bytes) { return Make(bytes, false); }

ByteArray ByteArray::AllocateZeroed(std::size_t bytes) { return Make(bytes, true); }

}  // namespace quorvant
