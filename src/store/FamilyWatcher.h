#pragma once
// Who is told when the files of a table are about to change on disk and when they have: a run's
// history keeps the previous files of every table the run changes. One watcher for the process.
//
// The store calls the watcher before it replaces a table's family (the write of a changed table,
// a restructure, an emptied table) or writes the counter in its header, while it holds the lock
// that keeps other processes from changing the table, and again once the change is on disk. An
// exception from beforeChange refuses the change: nothing of the table is written then.
//
// Between the two, once the new files are complete and before the first of them takes its name,
// the store tells the watcher what the family will be when the change is on disk (changeComing):
// a process killed while the files take their names, or before afterChange has been heard,
// leaves a family the watcher can still recognise as its own. An exception from changeComing
// refuses the change as well.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sivaro {

// A file of a table's family: its path, its size and its modification time.
struct FamilyFileFacts {
    std::string path;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type time{};
};

class FamilyWatcher {
  public:
    virtual ~FamilyWatcher() = default;
    virtual void beforeChange(const std::string& dbPath) = 0;
    // `family`: every file of the table once the change is on disk, sorted by path.
    virtual void changeComing(const std::string& dbPath,
                              const std::vector<FamilyFileFacts>& family) {
        (void)dbPath;
        (void)family;
    }
    virtual void afterChange(const std::string& dbPath) = 0;
};

// Sets the watcher of the process (nullptr: none); returns the one it replaces.
FamilyWatcher* setFamilyWatcher(FamilyWatcher* watcher);
FamilyWatcher* familyWatcher();

// The files of the family of the .db at `dbPath` as they are on disk, that one included: the
// files of the table's name with the extensions the engine writes (DB, PX, MB, Xnn, Ynn), letter
// case ignored, sorted by name. Empty when the .db does not exist.
std::vector<std::string> familyFilesOnDisk(const std::string& dbPath);

// The family of the .db at `dbPath` as a reader sees it (store/FamilyFiles.h, FamilyView): while
// an interrupted switch waits, each file the journal lists with the facts of the file that holds
// its content, those it removes left out. Empty when the table does not exist. Raises
// EDatabaseError, naming the table, when a waiting journal cannot be read.
std::vector<FamilyFileFacts> familyAsRead(const std::string& dbPath);

// The family once a switch is on disk: the files on disk now, each of `written` (a final path
// with the file that holds its content) in place of the file of its name, `removed` left out.
std::vector<FamilyFileFacts> familyAfterSwitch(
    const std::string& dbPath, const std::vector<std::pair<std::string, std::string>>& written,
    const std::vector<std::string>& removed);

}  // namespace sivaro
