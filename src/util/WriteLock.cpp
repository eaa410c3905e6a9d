#include "util/WriteLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "util/Errors.h"

namespace sivaro {

namespace fs = std::filesystem;

namespace {

enum class Taken { Locked, Busy, Unlockable };

// Locks the open descriptor without waiting.
Taken tryLock(int& fd, const fs::path& path, bool folder) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return Taken::Locked;
    if (errno == EWOULDBLOCK || errno == EINTR) return Taken::Busy;
    // Network file systems lock through the file's byte ranges, which need it open for writing.
    if (errno == EBADF && !folder) {
        const int writable = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (writable >= 0) {
            ::close(fd);
            fd = writable;
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return Taken::Locked;
            if (errno == EWOULDBLOCK || errno == EINTR) return Taken::Busy;
        }
    }
    return Taken::Unlockable;
}

// True while the descriptor still stands for what `path` names: the same file, or, for a lock on
// the folder, still no file.
bool stillCurrent(int fd, const fs::path& path, bool folder) {
    struct stat now {};
    const bool exists = ::stat(path.c_str(), &now) == 0;
    if (folder) return !exists;
    struct stat held {};
    return exists && ::fstat(fd, &held) == 0 && held.st_dev == now.st_dev &&
           held.st_ino == now.st_ino;
}

}  // namespace

WriteLock::WriteLock(std::function<fs::path()> locate, const std::string& failure,
                     std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    auto pause = std::chrono::microseconds(200);
    for (;;) {
        m_path = locate();
        bool folder = false;
        m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0 && errno == ENOENT) {
            const fs::path parent = m_path.has_parent_path() ? m_path.parent_path() : ".";
            m_fd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
            folder = true;
        }
        // Nothing to lock (a missing folder, a file that cannot be opened): the write that
        // follows meets the same refusal and reports it.
        if (m_fd < 0) return;
        Taken taken = tryLock(m_fd, m_path, folder);
        while (taken == Taken::Busy) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::close(m_fd);
                m_fd = -1;
                throw EInOutError(failure +
                                  ": another program keeps the file locked while it writes it");
            }
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::microseconds(5000));
            taken = tryLock(m_fd, m_path, folder);
        }
        if (taken == Taken::Unlockable) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        const fs::path now = locate();
        if (stillCurrent(m_fd, now, folder)) {
            m_path = now;
            return;
        }
        // The writer before us replaced the file (or made it): lock what is there now.
        ::close(m_fd);
        m_fd = -1;
    }
}

WriteLock::~WriteLock() {
    if (m_fd >= 0) ::close(m_fd);  // closing drops the lock
}

}  // namespace sivaro
