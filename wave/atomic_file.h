#pragma once
// An output file that replaces its target only when it is complete: the
// bytes go to a temporary file in the target's folder, which is renamed over
// the target after every write, the flush and the close succeeded. On any
// failure, or when the object is destroyed before close(), the temporary
// file is removed and an existing target keeps its content.

#include <cstdio>
#include <memory>
#include <string>

#include "wave/byte_sink.h"

namespace quorvant {

class AtomicFile final : public ByteSink {
public:
    // Null when the target cannot be created: its folder is missing or not
    // writable, or the target is a folder or a read-only file.
    static std::unique_ptr<AtomicFile> Create(const std::string& target);
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool write(const void* bytes, std::size_t count) override;
    bool close() override;
    // Reserves the disk space up front: a full disk shows before any byte is
    // written, and writes into reserved space run faster and more evenly.
    bool reserve(uint64_t bytes) override;

    // Where the bytes go until close(): a hidden file beside the target.
    std::string temporaryPath() const { return folderPath_ + temporaryName_; }

private:
    AtomicFile(int folder, std::string folderPath, std::FILE* stream, std::string temporaryName, std::string targetName)
        : folder_(folder), folderPath_(std::move(folderPath)), stream_(stream),
          temporaryName_(std::move(temporaryName)), targetName_(std::move(targetName)) {}
    void discard();

    // Names are taken relative to the open folder, so that the temporary
    // name never makes a long path longer than the system allows.
    int folder_;
    std::string folderPath_;
    std::FILE* stream_;
    std::string temporaryName_;
    std::string targetName_;
    bool failed_ = false;
};

}  // namespace quorvant
