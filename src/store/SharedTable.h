#pragma once
// The tables this process has open: one in-memory table per file, shared by every handle on it,
// with the lock on its .db that keeps other processes from changing it. The files are complete
// and current once no handle holds the table.

#include <cstdint>
#include <memory>
#include <string>

#include "store/PxTable.h"
#include "util/Errors.h"

namespace sivaro::px {

// One table file opened in this process, shared by its handles.
struct SharedTable {
    std::string key;
    std::string path;
    std::unique_ptr<PxTable> table;
    int lockFd = -1;
    int handles = 0;
    bool exclusive = false;
    bool writable = true;
    std::string readOnlyReason;   // appended to "is read only" when more than permissions
    bool lockedForWrite = false;  // the .db's lock is exclusive
    // Loaded or changed during a rehearsal: never written; kept loaded, with no handle, until
    // the rehearsal ends (store/Rehearsal.h).
    bool rehearsed = false;
};

// The shared table of a file, loaded and locked at its first open (an interrupted switch of
// its family finished first); raises when it is missing, held by another process, or open here
// when exclusive use is asked for.
SharedTable* acquire(const std::string& path, bool exclusive);
// One handle less; the last one writes the table's files if it changed and unlocks them.
void release(SharedTable* s);
// Writes the table's files now if it changed.
void flushShared(SharedTable* s);
// True when a handle of this process has the file open.
bool openInProcess(const std::string& path);

EDatabaseError inUse(const std::string& path);

// The rehearsal's GravaAutoInc: sets the counter of the table at `path` in memory, the table
// loaded and locked for writing as a write of its header would lock it. False where that write
// would fail: a missing file, a table open through a handle, a lock another process holds.
bool rehearseCounter(const std::string& path, std::uint32_t value);
// At the end of a rehearsal: drops the rehearsed tables no handle holds, with their locks; the
// others are dropped, unwritten, by their last handle.
void dropRehearsedTables();

}  // namespace sivaro::px
