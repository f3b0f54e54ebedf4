#include "wave/atomic_file.h"

#include <cerrno>
#include <climits>
#include <random>
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
    const std::string folderPath = FolderPart(target);
    const std::string name = FileNamePart(target);
    if (name.empty())
        return nullptr;
    const int folder = ::open(folderPath.empty() ? "." : folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return nullptr;

    struct stat existing {};
    const bool exists = ::fstatat(folder, name.c_str(), &existing, 0) == 0;
    if (exists) {
        // A read-only file cannot be replaced, even by a user whom the
        // system would let write it (root): the user marked it read-only.
        bool writable = (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) &&
                        ::faccessat(folder, name.c_str(), W_OK, 0) == 0;
        if (!S_ISREG(existing.st_mode) || !writable) {
            ::close(folder);
            return nullptr;
        }
    }

    // A new file gets the permissions the umask allows; a replaced file keeps its own.
    std::random_device random;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = ".quorvant-" + std::to_string(random() % 1000000000u);
        fd = ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    std::FILE* stream = nullptr;
    if (fd >= 0 && (!exists || ::fchmod(fd, existing.st_mode & 07777) == 0))
        stream = ::fdopen(fd, "wb");
    if (!stream) {
        if (fd >= 0) {
            ::close(fd);
            ::unlinkat(folder, temporary.c_str(), 0);
        }
        ::close(folder);
        return nullptr;
    }
    return std::unique_ptr<AtomicFile>(new AtomicFile(folder, folderPath, stream, temporary, name));
}

AtomicFile::~AtomicFile()
{
    discard();
    ::close(folder_);
}

void AtomicFile::discard()
{
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
        ::unlinkat(folder_, temporaryName_.c_str(), 0);
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
    if (ok && ::renameat(folder_, temporaryName_.c_str(), folder_, targetName_.c_str()) == 0)
        return true;
    ::unlinkat(folder_, temporaryName_.c_str(), 0);
    return false;
}

}  // namespace quorvant
