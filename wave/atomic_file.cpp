#include "wave/atomic_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "wave/path_parts.h"

namespace quorvant {

namespace {

// Where the bytes must finally land: through a symbolic link to the file it
// names, as opening the link for writing would.
std::string ResolveTarget(const std::string& target)
{
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return target;
    if (char* real = ::realpath(target.c_str(), nullptr)) {
        std::string resolved(real);
        std::free(real);
        return resolved;
    }
    // A link to a file that does not exist yet: create the file it names.
    std::string link(PATH_MAX, '\0');
    ssize_t length = ::readlink(target.c_str(), link.data(), link.size());
    if (length <= 0 || std::size_t(length) >= link.size())
        return target;
    link.resize(std::size_t(length));
    return link.front() == '/' ? link : FolderPart(target) + link;
}

}  // namespace

std::unique_ptr<AtomicFile> AtomicFile::Create(const std::string& requested)
{
    const std::string target = ResolveTarget(requested);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists) {
        // A read-only file cannot be replaced, even by a user whom the
        // system would let write it (root): the user marked it read-only.
        bool writable = (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) && ::access(target.c_str(), W_OK) == 0;
        if (!S_ISREG(existing.st_mode) || !writable)
            return nullptr;
    }

    std::string folder = FolderPart(target);
    std::string pattern = (folder.empty() ? std::string("./") : folder) + ".quorvant-XXXXXX";
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    // Keep the permissions of the file being replaced, or those a new file would get.
    mode_t mode;
    if (exists) {
        mode = existing.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    std::FILE* stream = ::fchmod(fd, mode) == 0 ? ::fdopen(fd, "wb") : nullptr;
    if (!stream) {
        ::close(fd);
        ::unlink(pattern.c_str());
        return nullptr;
    }
    return std::unique_ptr<AtomicFile>(new AtomicFile(stream, pattern, target));
}

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::discard()
{
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
        ::unlink(temporary_.c_str());
    }
}

bool AtomicFile::write(const void* bytes, std::size_t count)
{
    if (!stream_ || failed_)
        return false;
    if (count && std::fwrite(bytes, 1, count, stream_) != count)
        failed_ = true;
    return !failed_;
}

bool AtomicFile::reserve(uint64_t bytes)
{
    if (!stream_ || failed_)
        return false;
    if (::fallocate(::fileno(stream_), FALLOC_FL_KEEP_SIZE, 0, off_t(bytes)) == 0)
        return true;
    // File systems without reservations simply write as they go.
    if (errno == EOPNOTSUPP || errno == ENOSYS || errno == EINTR)
        return true;
    failed_ = true;
    return false;
}

bool AtomicFile::close()
{
    if (!stream_)
        return false;
    bool ok = !failed_ && std::fflush(stream_) == 0 && !std::ferror(stream_);
    std::FILE* stream = stream_;
    stream_ = nullptr;
    ok = std::fclose(stream) == 0 && ok;
    if (ok && std::rename(temporary_.c_str(), target_.c_str()) == 0)
        return true;
    ::unlink(temporary_.c_str());
    return false;
}

}  // namespace quorvant
