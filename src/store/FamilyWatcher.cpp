#include "store/FamilyWatcher.h"

#include <algorithm>
#include <filesystem>

#include "util/CodePage.h"
#include "util/Paths.h"

namespace sivaro {

namespace fs = std::filesystem;

namespace {
FamilyWatcher* g_watcher = nullptr;

bool familyExtension(const std::string& ext) {
    if (ext == "DB" || ext == "PX" || ext == "MB") return true;
    return ext.size() == 3 && (ext[0] == 'X' || ext[0] == 'Y');
}
}  // namespace

FamilyWatcher* setFamilyWatcher(FamilyWatcher* watcher) {
    FamilyWatcher* previous = g_watcher;
    g_watcher = watcher;
    return previous;
}

FamilyWatcher* familyWatcher() {
    return g_watcher;
}

std::vector<std::string> familyFilesOnDisk(const std::string& dbPath) {
    std::vector<std::string> files;
    std::error_code ec;
    if (!fs::is_regular_file(osPath(dbPath), ec)) return files;
    const std::size_t slash = dbPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : dbPath.substr(0, slash);
    const std::string base = upperAscii(baseName(dbPath));
    const std::string stem = base.substr(0, base.rfind('.'));
    for (const auto& entry : fs::directory_iterator(osPath(folder.empty() ? "." : folder), ec)) {
        if (!entry.is_regular_file(ec)) continue;
        const std::string name = fromOsPath(entry.path().filename());
        const std::string upper = upperAscii(name);
        if (upper.size() <= stem.size() + 1 || upper.compare(0, stem.size() + 1, stem + ".") != 0)
            continue;
        if (!familyExtension(upper.substr(stem.size() + 1))) continue;
        files.push_back(folder.empty() ? name : folder + "/" + name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace sivaro
