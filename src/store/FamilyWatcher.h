#pragma once
// Who is told when the files of a table are about to change on disk and when they have: a run's
// history keeps the previous files of every table the run changes. One watcher for the process.
//
// The store calls the watcher before it replaces a table's family (the write of a changed table,
// a restructure, an emptied table) or writes the counter in its header, while it holds the lock
// that keeps other processes from changing the table, and again once the change is on disk. An
// exception from beforeChange refuses the change: nothing of the table is written then.

#include <string>
#include <vector>

namespace sivaro {

class FamilyWatcher {
  public:
    virtual ~FamilyWatcher() = default;
    virtual void beforeChange(const std::string& dbPath) = 0;
    virtual void afterChange(const std::string& dbPath) = 0;
};

// Sets the watcher of the process (nullptr: none); returns the one it replaces.
FamilyWatcher* setFamilyWatcher(FamilyWatcher* watcher);
FamilyWatcher* familyWatcher();

// The files of the family of the .db at `dbPath` as they are on disk, that one included: the
// files of the table's name with the extensions the engine writes (DB, PX, MB, Xnn, Ynn), letter
// case ignored, sorted by name. Empty when the .db does not exist.
std::vector<std::string> familyFilesOnDisk(const std::string& dbPath);

}  // namespace sivaro
