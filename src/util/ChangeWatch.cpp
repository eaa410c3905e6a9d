#include "util/ChangeWatch.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "util/CodePage.h"
#include "util/Paths.h"

namespace sivaro {

namespace fs = std::filesystem;

namespace {

std::atomic<bool> g_notify{true};

// File systems whose changes, made by any process of this machine, raise change notifications.
// Network file systems do not report changes made elsewhere; those and any unknown one are
// checked with a stat on every read instead.
bool notifiesEveryChange(const fs::path& folder) {
    struct statfs sf {};
    if (::statfs(folder.c_str(), &sf) != 0) return false;
    switch (static_cast<unsigned long>(sf.f_type)) {
        case 0xEF53:      // ext2, ext3, ext4
        case 0x58465342:  // xfs
        case 0x9123683E:  // btrfs
        case 0x01021994:  // tmpfs
        case 0x794C7630:  // overlayfs
        case 0xF2F52010:  // f2fs
        case 0x2FC12FC1:  // zfs
            return true;
        default:
            return false;
    }
}

// The notification queues also raise SIGIO on this process as an event is queued, within the
// writer's own call; its handler only counts. A read whose count has not moved since the queue
// was last emptied knows without a system call that nothing has been queued since: the import
// asks the definitions once a record, and a system call a record cost as much as the rest of
// the record's reading.
std::atomic<std::uint64_t> g_changeSignals{0};

void countChangeSignal(int) {
    g_changeSignals.fetch_add(1, std::memory_order_relaxed);
}

// True when SIGIO is ours: installed here over the default action, which would end the process.
// A program that handles SIGIO itself keeps its handler, and the queues are read on every read.
bool changeSignalInstalled() {
    static const bool installed = [] {
        struct sigaction old {};
        if (::sigaction(SIGIO, nullptr, &old) != 0) return false;
        if ((old.sa_flags & SA_SIGINFO) != 0 || old.sa_handler != SIG_DFL) return false;
        struct sigaction sa {};
        sa.sa_handler = countChangeSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        return ::sigaction(SIGIO, &sa, nullptr) == 0;
    }();
    return installed;
}

}  // namespace

ChangeWatch::~ChangeWatch() {
    if (m_fd >= 0) ::close(m_fd);
}

void ChangeWatch::useNotification(bool on) {
    g_notify.store(on);
}

void ChangeWatch::start(const fs::path& file) {
    if (!g_notify.load()) {
        m_folder = -1;
        return;
    }
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    struct stat st;
    if ((::lstat(file.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) || !notifiesEveryChange(folder)) {
        m_folder = -1;
        return;
    }
    if (m_fd < 0) {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0) return;
        m_signalled = signalled(m_fd);
    }
    m_folder = ::inotify_add_watch(m_fd, folder.c_str(),
                                   IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                                       IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF |
                                       IN_ONLYDIR);
    // Also the file itself, for writes through another hard link; a missing file has none.
    // A replaced file is a new inode with a new watch; the old one is dropped.
    const int fileWatch = ::inotify_add_watch(
        m_fd, file.c_str(),
        IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_DONT_FOLLOW);
    if (m_file >= 0 && m_file != fileWatch) ::inotify_rm_watch(m_fd, m_file);
    m_file = fileWatch;
    m_name = fromOsPath(file.filename());
    m_signals = g_changeSignals.load(std::memory_order_acquire);
    drain();
}

bool ChangeWatch::changed() {
    if (m_signalled) {
        // Taken before the queue is emptied: an event queued after that raises a new signal.
        const std::uint64_t now = g_changeSignals.load(std::memory_order_acquire);
        if (now == m_signals) return false;
        m_signals = now;
    }
    return drain();
}

bool ChangeWatch::signalled(int fd) {
    if (!changeSignalInstalled()) return false;
    sigset_t blocked;
    if (::pthread_sigmask(SIG_BLOCK, nullptr, &blocked) != 0 || sigismember(&blocked, SIGIO))
        return false;
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETOWN, ::getpid()) == 0 &&
           ::fcntl(fd, F_SETFL, flags | O_ASYNC) == 0;
}

bool ChangeWatch::drain() {
    alignas(inotify_event) char buffer[4096];
    bool changed = false;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            break;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            if (e->mask & IN_Q_OVERFLOW) {
                changed = true;
            } else if (e->wd == m_folder) {
                if (e->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                    m_folder = -1;  // the folder is gone; stat from now on
                    changed = true;
                } else if (e->len > 0 && sameText(m_name, fromOsPath(e->name))) {
                    // Any spelling: a file whose name differs only in case may answer for
                    // the one asked once it appears, or stop answering when it goes.
                    changed = true;
                }
            } else if (e->wd == m_file && e->wd >= 0) {
                changed = true;
            }
            // Other watch numbers belong to files this object no longer reads.
        }
    }
    return changed;
}

}  // namespace sivaro
