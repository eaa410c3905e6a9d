#include "store/FamilyRestore.h"

#include <sys/file.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "store/FamilyFiles.h"
#include "store/FamilyWatcher.h"
#include "store/SharedTable.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {

namespace fs = std::filesystem;

void restoreFamily(const std::string& dbPath, const std::vector<std::string>& kept) {
    if (px::openInProcess(dbPath)) throw px::inUse(dbPath);
    std::error_code ec;
    const std::size_t slash = dbPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : dbPath.substr(0, slash);
    const auto inFolder = [&](const std::string& name) {
        return folder.empty() ? name : folder + "/" + name;
    };

    // The table stays locked for the whole switch, as a writer keeps it.
    int lock = -1;
    if (fs::exists(osPath(dbPath), ec)) {
        lock = px::lockFile(dbPath, true, true);
        if (lock == -2) throw px::inUse(dbPath);
        if (lock < 0) throw EDatabaseError("Table " + dbPath + " cannot be opened");
    }
    struct Unlock {
        int& fd;
        ~Unlock() { px::unlockFile(fd); }
    } unlock{lock};
    if (lock >= 0) px::recoverFamily(dbPath);

    std::vector<std::unique_ptr<px::NewFile>> owned;
    std::vector<px::NewFile*> files;
    std::vector<std::string> names;
    std::string newDb;
    int newLock = -1;
    try {
        for (const std::string& copy : kept) {
            const std::string name = baseName(copy);
            names.push_back(name);
            owned.push_back(std::make_unique<px::NewFile>(inFolder(name)));
            px::NewFile& f = *owned.back();
            files.push_back(&f);
            std::ifstream in(osPath(copy), std::ios::binary);
            if (!in) throw EDatabaseError("Cannot read the kept file " + copy);
            std::vector<char> buffer(1 << 20);
            while (in) {
                in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
                if (in.gcount() > 0) f.write(buffer.data(), static_cast<std::size_t>(in.gcount()));
            }
            if (in.bad()) throw EDatabaseError("Cannot read the kept file " + copy);
            f.finish();
            // The kept time before the file takes its name: a stop during the switch leaves
            // files that read as the kept ones, so an undo run again finds them put back.
            fs::last_write_time(osPath(f.tempPath()), fs::last_write_time(osPath(copy), ec), ec);
            const std::string upper = upperAscii(name);
            if (upper.size() > 3 && upper.compare(upper.size() - 3, 3, ".DB") == 0) {
                newDb = f.finalPath();
                if (::flock(f.fd(), LOCK_EX | LOCK_NB) == 0) newLock = f.releaseFd();
            }
        }
        std::vector<std::string> obsolete;
        for (const std::string& current : familyFilesOnDisk(dbPath)) {
            bool replaced = false;
            for (const std::string& n : names) replaced = replaced || n == baseName(current);
            if (!replaced) obsolete.push_back(current);
        }
        px::switchFamily(newDb.empty() ? dbPath : newDb, files, obsolete);
    } catch (...) {
        px::discardNewFiles(files);
        px::unlockFile(newLock);
        throw;
    }
    px::unlockFile(newLock);
}

bool settleFamily(const std::string& dbPath) {
    if (px::openInProcess(dbPath)) return false;
    std::error_code ec;
    if (!fs::exists(osPath(dbPath), ec)) return true;  // no family to settle
    const int lock = px::lockFile(dbPath, true, true);
    if (lock < 0) return false;
    struct Unlock {
        int fd;
        ~Unlock() { px::unlockFile(fd); }
    } unlock{lock};
    px::recoverFamily(dbPath);
    return true;
}

}  // namespace sivaro
