#pragma once
// Serialises the writers of one file across processes (two workbenches, a workbench and a batch
// run): an advisory lock held from the read of the file to the rename of its new text, so that
// no write is lost between another's read and rename. The lock is on the file itself; a waiter
// left on a file that the writer before it replaced by a rename notices and locks the new one.
// While the file does not exist the lock is on its folder. Readers take no lock: a rename shows
// them the old text or the new, each whole. Where the system has no locks for the file (some
// network file systems) the writer goes on without one.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace sivaro {

class WriteLock {
  public:
    // `locate` names the file on disk at that moment (its spelling may change while waiting).
    // Waits while another writer holds the lock, at most `patience`; then raises EInOutError:
    // `failure`, ": " and the reason.
    WriteLock(std::function<std::filesystem::path()> locate, const std::string& failure,
              std::chrono::milliseconds patience = std::chrono::seconds(30));
    ~WriteLock();
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

    // The file's path as it was when the lock was taken.
    const std::filesystem::path& path() const { return m_path; }

  private:
    std::filesystem::path m_path;
    int m_fd = -1;
};

}  // namespace sivaro
