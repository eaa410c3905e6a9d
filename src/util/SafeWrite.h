#pragma once
// The one way the importer replaces a file: the new bytes go to a temporary beside it, reach the
// disk, take the file's name in one rename, and the folder's entry reaches the disk as well, every
// step's result checked. A failure before the rename removes the temporary and leaves the old
// file whole; a failure to flush the folder after it leaves the new file in place. Either raises
// EInOutError: the caller's failure text, ": " and the system's reason.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sivaro {

struct SafeWriteOptions {
    // Where the folder takes no new files but the file itself may be written (shared folders
    // often allow only that), rewrite the file in place, flushed and checked, instead of
    // refusing. Such a rewrite cut short by a full disk can leave the file cut short too.
    bool inPlaceWhenFolderRefuses = false;
    // The temporary's path; by default "." + name + ".tmp-<process>-<n>" beside the file.
    std::string temporaryPath;
    // The modification time the file takes with its new bytes, given to the temporary before
    // the rename, so the file is never seen with the new bytes and another time (best effort:
    // a file system that keeps no such time leaves its own).
    std::optional<std::filesystem::file_time_type> modificationTime;
};

// Replaces the file at `path` (an engine path) by `bytes`. A symbolic link is written through:
// the file it names is replaced and the link stays. An existing file keeps its permissions (and
// its owner where the system allows) and must be writable: a read-only file is refused although
// its folder would let a rename replace it. A new file gets 0666 less the process's umask.
void replaceFileSafely(const std::string& path, std::string_view bytes, const std::string& failure,
                       const SafeWriteOptions& options = {});

// replaceFileSafely with the failure text "Unable to write to " + path: the lists the importer
// writes for the operator beside the sources.
void writeFileReplacing(const std::string& path, std::string_view bytes);

// Removes the file at `path` when it exists (never a folder); true when none is left there.
bool removeFile(const std::string& path);

// Makes renames and removals in `folder` (an engine path) reach the disk. File systems that
// cannot flush a folder ("invalid argument", "not supported") are taken at their word.
void flushFolder(const std::string& folder, const std::string& failure);

// Renames `from` over `to` (engine paths), checked; raises as above.
void renameFile(const std::string& from, const std::string& to, const std::string& failure);

// The steps the writers above take, for tests that make one of them fail as the system would.
enum class WriteStep { Create, Write, Flush, Rename, FlushFolder };

// Called before each step with the step and the path it acts on; a non-zero error number it
// returns makes the step fail with that error. Returns the previous hook; an empty one clears it.
using WriteFaultHook = std::function<int(WriteStep step, const std::string& path)>;
WriteFaultHook setWriteFaultHook(WriteFaultHook hook);

}  // namespace sivaro
