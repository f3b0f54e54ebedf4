#pragma once
// Random-access input for the chunk reader: a regular file, or bytes in
// memory (tests and fuzzing use the latter).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace quorvant {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t length() const = 0;
    // Reads up to `count` bytes at `offset`; returns how many were read,
    // fewer only at the end of the input or on a read error.
    virtual std::size_t readAt(uint64_t offset, void* destination, std::size_t count) = 0;
};

class FileSource final : public ByteSource {
public:
    // Null when the path cannot be opened for reading or is not a regular
    // file (a folder, a fifo or a device is never read as a WAVE file).
    static std::unique_ptr<FileSource> Open(const std::string& path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    uint64_t length() const override { return length_; }
    std::size_t readAt(uint64_t offset, void* destination, std::size_t count) override;

private:
    FileSource(int fd, uint64_t length) : fd_(fd), length_(length) {}
    int fd_;
    uint64_t length_;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t length() const override { return bytes_.size(); }
    std::size_t readAt(uint64_t offset, void* destination, std::size_t count) override;

private:
    std::span<const uint8_t> bytes_;
};

}  // namespace quorvant
