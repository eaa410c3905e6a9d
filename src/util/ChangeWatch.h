#pragma once
// Kernel change notifications on a file and its folder, where the file system reports every
// change made on this machine; where it does not, the watch stays inactive and the caller checks
// the file itself.

#include <cstdint>
#include <filesystem>
#include <string>

namespace sivaro {

// Change notifications on the file and its folder. The kernel queues an event within the
// writer's own call, so an empty queue at a read means no change yet: one non-blocking read
// instead of a stat with its path walk on every read, and no read at all while no signal has
// come (see countChangeSignal). One object is used by one thread.
class ChangeWatch {
  public:
    ChangeWatch() = default;
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;
    ~ChangeWatch();

    bool active() const { return m_fd >= 0 && m_folder >= 0; }

    // Watches `file` (which need not exist) and its folder, keeping what is already watched;
    // stays inactive where that cannot be trusted: links, file systems without notifications,
    // no watches left. Events already queued are dropped: the caller reads the file next.
    void start(const std::filesystem::path& file);

    // True when the file may have changed since start().
    bool changed();

    // On by default; while off, no watch starts. Tests turn it off to check the stat path.
    static void useNotification(bool on);

  private:
    // Asks for SIGIO on every event of the queue `fd`, before it watches anything. The reading
    // thread must let the signal in, or a signal pending for the process would wait unseen.
    static bool signalled(int fd);

    bool drain();

    int m_fd = -1;
    int m_folder = -1;
    int m_file = -1;
    std::string m_name;           // engine text
    bool m_signalled = false;     // the queue raises SIGIO
    std::uint64_t m_signals = 0;  // g_changeSignals when the queue was last emptied
};

}  // namespace sivaro
