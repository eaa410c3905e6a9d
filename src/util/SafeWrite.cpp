#include "util/SafeWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {

namespace fs = std::filesystem;

namespace {

std::atomic<std::uint64_t> g_temporaries{0};
WriteFaultHook g_faultHook;

// The injected error of a step, or 0.
int injected(WriteStep step, const fs::path& path) {
    return g_faultHook ? g_faultHook(step, fromOsPath(path)) : 0;
}

[[noreturn]] void raise(const std::string& failure, int error) {
    throw EInOutError(failure + ": " + std::strerror(error));
}

bool writeAll(int fd, std::string_view bytes, const fs::path& path, int& error) {
    if ((error = injected(WriteStep::Write, path)) != 0) return false;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool flushFile(int fd, const fs::path& path, int& error) {
    if ((error = injected(WriteStep::Flush, path)) != 0) return false;
    if (::fsync(fd) == 0) return true;
    error = errno;
    return false;
}

// Closes, keeping the first error: a delayed write error may only show at the close.
bool closeFile(int fd, bool ok, int& error) {
    if (::close(fd) != 0 && ok) {
        error = errno;
        return false;
    }
    return ok;
}

void flushFolderOf(const fs::path& folder, const std::string& failure) {
    int error = injected(WriteStep::FlushFolder, folder);
    if (error == 0) {
        const int fd = ::open(folder.empty() ? "." : folder.c_str(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            error = errno;
        } else {
            if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) error = errno;
            ::close(fd);
        }
    }
    if (error != 0) raise(failure, error);
}

void rewriteInPlace(const fs::path& target, std::string_view bytes, const std::string& failure) {
    int error = injected(WriteStep::Create, target);
    const int fd = error != 0 ? -1 : ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) raise(failure, error != 0 ? error : errno);
    bool ok = writeAll(fd, bytes, target, error);
    if (ok && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) {
        error = errno;
        ok = false;
    }
    ok = ok && flushFile(fd, target, error);
    if (!closeFile(fd, ok, error)) raise(failure, error);
}

}  // namespace

WriteFaultHook setWriteFaultHook(WriteFaultHook hook) {
    WriteFaultHook previous = std::move(g_faultHook);
    g_faultHook = std::move(hook);
    return previous;
}

void replaceFileSafely(const std::string& path, std::string_view bytes, const std::string& failure,
                       const SafeWriteOptions& options) {
    std::error_code ec;
    fs::path target = osPath(path);
    // Write through a link to the file it names, so the link stays a link.
    if (fs::is_symlink(target, ec)) {
        const fs::path real = fs::weakly_canonical(target, ec);
        if (!ec) target = real;
    }
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode)) raise(failure, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        // A file the system will not let us write is refused, although its folder would let a
        // rename replace it.
        const int probe = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (probe < 0) raise(failure, errno);
        ::close(probe);
    }

    fs::path folder = target.parent_path();
    const fs::path temporary =
        !options.temporaryPath.empty()
            ? osPath(options.temporaryPath)
            : (folder.empty() ? fs::path(".") : folder) /
                  ("." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                   std::to_string(g_temporaries.fetch_add(1)));
    const mode_t mode = exists ? (st.st_mode & 07777) : 0666;
    int error = injected(WriteStep::Create, temporary);
    const int fd = error != 0 ? -1
                              : ::open(temporary.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, mode);
    if (fd < 0) {
        if (error == 0) error = errno;
        if (exists && options.inPlaceWhenFolderRefuses &&
            (error == EACCES || error == EPERM || error == EROFS)) {
            rewriteInPlace(target, bytes, failure);
            if (options.modificationTime)
                fs::last_write_time(target, *options.modificationTime, ec);
            return;
        }
        raise(failure, error);
    }
    bool ok = true;
    if (exists) {
        // The umask must not narrow the rights the file had.
        if (::fchmod(fd, mode) != 0) {
            error = errno;
            ok = false;
        }
        if (ok && ::fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Only the owner's rights matter to the importer; another owner is best effort.
        }
    }
    ok = ok && writeAll(fd, bytes, temporary, error) && flushFile(fd, temporary, error);
    ok = closeFile(fd, ok, error);
    if (ok && options.modificationTime)
        fs::last_write_time(temporary, *options.modificationTime, ec);
    if (ok && (error = injected(WriteStep::Rename, target)) == 0 &&
        ::rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (!ok || error != 0) {
        ::unlink(temporary.c_str());
        raise(failure, error);
    }
    flushFolderOf(folder, failure);
}

void writeFileReplacing(const std::string& path, std::string_view bytes) {
    replaceFileSafely(path, bytes, "Unable to write to " + path);
}

bool removeFile(const std::string& path) {
    std::error_code ec;
    const fs::path target = osPath(path);
    const fs::file_status status = fs::symlink_status(target, ec);
    if (!fs::exists(status)) return true;
    if (fs::is_directory(status)) return false;  // never a folder of that name
    return fs::remove(target, ec) && !ec;
}

void flushFolder(const std::string& folder, const std::string& failure) {
    flushFolderOf(osPath(folder), failure);
}

void renameFile(const std::string& from, const std::string& to, const std::string& failure) {
    const fs::path source = osPath(from);
    const fs::path target = osPath(to);
    int error = injected(WriteStep::Rename, target);
    if (error == 0 && ::rename(source.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) raise(failure, error);
}

}  // namespace sivaro
