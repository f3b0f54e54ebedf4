#pragma once
// Runs part of a test in a forked child: under a file-size limit (a full disk
// without filling one), or as an unprivileged user (file permissions do not
// stop root). The limits then never touch the test process itself. The child
// reports back as text through a pipe; the parent checks it.

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>

namespace quorvant::test {

struct ChildLimits {
    std::optional<rlim_t> fileSize;  // RLIMIT_FSIZE, with SIGXFSZ ignored so writes fail with EFBIG
    bool unprivileged = false;       // as "nobody" (65534) when the test runs as root
};

struct ChildResult {
    bool exited = false;  // ended by _exit, not by a signal
    int status = -1;      // 0 when the body returned; see RunInChild for the others
    std::string report;   // what the body returned
};

inline constexpr uint32_t kNobody = 65534;

// Exit statuses of the child other than 0: 120 could not drop privileges,
// 121 could not set the limit, 122 the body threw.
inline ChildResult RunInChild(const ChildLimits& limits, const std::function<std::string()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return {};
    }
    if (pid == 0) {
        ::close(fds[0]);
        if (limits.unprivileged && ::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(120);
        }
        if (limits.fileSize) {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{*limits.fileSize, *limits.fileSize};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                ::_exit(121);
        }
        std::string report;
        try {
            report = body();
        } catch (...) {
            ::_exit(122);
        }
        for (std::size_t done = 0; done < report.size();) {
            ssize_t n = ::write(fds[1], report.data() + done, report.size() - done);
            if (n <= 0)
                break;
            done += std::size_t(n);
        }
        // No destructors and no atexit handlers: they belong to the parent.
        ::_exit(0);
    }
    ::close(fds[1]);
    ChildResult result;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.report.append(buffer, std::size_t(n));
    }
    ::close(fds[0]);
    int status = 0;
    if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        result.exited = true;
        result.status = WEXITSTATUS(status);
    }
    return result;
}

}  // namespace quorvant::test
