#include "wave/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvant {

std::unique_ptr<FileSource> FileSource::Open(const std::string& path)
{
    // O_NONBLOCK keeps a fifo from blocking the open; it is refused below anyway.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileSource>(new FileSource(fd, uint64_t(st.st_size)));
}

FileSource::~FileSource() { ::close(fd_); }

std::size_t FileSource::readAt(uint64_t offset, void* destination, std::size_t count)
{
    auto* out = static_cast<uint8_t*>(destination);
    std::size_t done = 0;
    while (done < count) {
        // pread moves at most about 2 GiB per call, so large blocks take several.
        std::size_t chunk = std::min<std::size_t>(count - done, std::size_t(1) << 30);
        ssize_t got = ::pread(fd_, out + done, chunk, off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += std::size_t(got);
    }
    return done;
}

std::size_t MemorySource::readAt(uint64_t offset, void* destination, std::size_t count)
{
    if (offset >= bytes_.size())
        return 0;
    std::size_t n = std::min<uint64_t>(count, bytes_.size() - offset);
    std::memcpy(destination, bytes_.data() + offset, n);
    return n;
}

}  // namespace quorvant
