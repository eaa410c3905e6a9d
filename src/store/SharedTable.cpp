#include "store/SharedTable.h"

#include <unistd.h>

#include <filesystem>
#include <map>
#include <unordered_map>

#include "store/FamilyFiles.h"
#include "store/FamilyWatcher.h"
#include "store/Rehearsal.h"
#include "util/Paths.h"

namespace sivaro::px {

namespace fs = std::filesystem;

namespace {

std::map<std::string, SharedTable*>& registry() {
    static std::map<std::string, SharedTable*> tables;
    return tables;
}

std::string registryKey(const std::string& path) {
    // The canonical form of a path costs a system call per component, and an import opens the
    // same few tables again at every record (lookups in turn, branch folders): keep it.
    static std::unordered_map<std::string, std::string> known;
    std::error_code ec;
    const std::string absolute =
        !path.empty() && path[0] == '/' ? path : fs::current_path(ec).string() + "/" + path;
    if (const auto it = known.find(absolute); it != known.end()) return it->second;
    const fs::path canonical = fs::weakly_canonical(osPath(path), ec);
    std::string key = ec ? path : canonical.string();
    // Only a path that names an existing file is kept: a missing one may appear under
    // another spelling later.
    if (!ec && fs::exists(canonical, ec)) known.emplace(absolute, key);
    return key;
}

}  // namespace

EDatabaseError inUse(const std::string& path) {
    return EDatabaseError("Table " + path + " is in use by another program");
}

SharedTable* acquire(const std::string& path, bool exclusive) {
    const std::string key = registryKey(path);
    auto& reg = registry();
    auto it = reg.find(key);
    if (it != reg.end() && it->second->handles == 0) {
        // Kept by a rehearsal with its changes: this open takes it up as a first open would.
        SharedTable* s = it->second;
        if (exclusive && !s->lockedForWrite) {
            if (!upgradeLock(s->lockFd)) throw inUse(path);
            s->lockedForWrite = true;
        }
        s->exclusive = exclusive;
        s->handles = 1;
        return s;
    }
    if (it != reg.end()) {
        SharedTable* s = it->second;
        if (exclusive || s->exclusive)
            throw EDatabaseError(
                "Table " + path + " is open" + (s->exclusive ? " for exclusive use" : "") +
                "; it cannot be opened " + (exclusive ? "for exclusive use" : "again") + " now");
        ++s->handles;
        return s;
    }
    std::error_code ec;
    if (!fs::is_regular_file(osPath(path), ec))
        throw EDatabaseError("Table " + path + " does not exist");
    bool writable = ::access(osPath(path).c_str(), W_OK) == 0;
    // Finishing or discarding a switch renames and removes files: the folder must be writable.
    const fs::path folder = osPath(path).parent_path();
    const bool canRecover =
        writable && ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
    int fd = lockFile(path, writable, exclusive);
    if (fd == -2) throw inUse(path);
    if (fd < 0) throw EDatabaseError("Table " + path + " cannot be opened");
    bool lockedForWrite = exclusive;
    std::string readOnlyReason;
    const bool pending = fs::exists(osPath(path + ".switch"), ec);
    if (rehearsing()) {
        // Nothing may change on disk: an interrupted switch cannot be finished, and the
        // temporaries of one that never committed stay (the family read is the one in place).
        if (pending) {
            unlockFile(fd);
            throw EDatabaseError("Table " + path +
                                 " has an interrupted update that only a real run can finish; "
                                 "it cannot be rehearsed before that");
        }
    } else if (pending && !canRecover) {
        // The load reads the new family as the journal lists it (FamilyView); nothing may be
        // written over a family whose files do not yet bear their names.
        writable = false;
        readOnlyReason =
            ": an interrupted update of its files waits for a program that can "
            "write its folder to finish it";
    } else if (pending) {
        // A writer stopped in the middle of replacing the family: finish its work, then lock
        // the .db that now bears the name.
        if (!lockedForWrite && !upgradeLock(fd)) {
            unlockFile(fd);
            throw inUse(path);
        }
        try {
            recoverFamily(path);
        } catch (...) {
            unlockFile(fd);
            throw;
        }
        unlockFile(fd);
        fd = lockFile(path, writable, true);
        if (fd == -2) throw inUse(path);
        if (fd < 0) throw EDatabaseError("Table " + path + " cannot be opened");
        lockedForWrite = true;
    } else if (canRecover) {
        recoverFamily(path);
    }
    auto s = std::make_unique<SharedTable>();
    s->key = key;
    s->path = path;
    s->lockFd = fd;
    s->writable = writable;
    s->readOnlyReason = readOnlyReason;
    s->exclusive = exclusive;
    s->lockedForWrite = lockedForWrite;
    s->rehearsed = rehearsing();
    try {
        s->table = PxTable::load(path);
    } catch (...) {
        unlockFile(fd);
        throw;
    }
    s->handles = 1;
    reg[key] = s.get();
    return s.release();
}

void flushShared(SharedTable* s) {
    if (rehearsing()) s->rehearsed = true;
    if (s->rehearsed || !s->table->dirty()) return;
    if (!s->writable)
        throw EDatabaseError("Table " + s->path + " is read only" + s->readOnlyReason);
    FamilyWatcher* watcher = familyWatcher();
    if (watcher) watcher->beforeChange(s->path);
    int newFd = -1;
    try {
        s->table->save(newFd);
    } catch (...) {
        // The lock on a new .db that a failed switch may have left with its name goes too, or
        // this process would keep its own next opening out.
        unlockFile(newFd);
        throw;
    }
    if (newFd >= 0) {
        unlockFile(s->lockFd);
        s->lockFd = newFd;
        s->lockedForWrite = true;
    }
    if (watcher) watcher->afterChange(s->path);
}

void release(SharedTable* s) {
    if (--s->handles > 0) return;
    if (s->rehearsed && rehearsing()) {
        s->exclusive = false;
        return;  // kept, with its changes, for the rest of the rehearsal
    }
    std::unique_ptr<SharedTable> owned(s);
    registry().erase(s->key);
    // The files must be complete and current once no handle holds the table.
    try {
        flushShared(s);
    } catch (...) {
        unlockFile(s->lockFd);
        throw;
    }
    unlockFile(s->lockFd);
}

bool rehearseCounter(const std::string& path, std::uint32_t value) {
    std::error_code ec;
    if (!fs::is_regular_file(osPath(path), ec)) return false;
    const std::string key = registryKey(path);
    const auto it = registry().find(key);
    if (it != registry().end() && it->second->handles > 0) return false;
    SharedTable* s = nullptr;
    try {
        s = acquire(path, true);
    } catch (const EDatabaseError&) {
        return false;
    }
    s->rehearsed = true;
    const bool ok = s->writable;
    if (ok) s->table->setAutoInc(value);
    release(s);
    return ok;
}

void dropRehearsedTables() {
    auto& reg = registry();
    for (auto it = reg.begin(); it != reg.end();) {
        SharedTable* s = it->second;
        if (s->rehearsed && s->handles == 0) {
            unlockFile(s->lockFd);
            delete s;
            it = reg.erase(it);
        } else {
            ++it;
        }
    }
}

bool openInProcess(const std::string& path) {
    return registry().count(registryKey(path)) > 0;
}

}  // namespace sivaro::px
