#include "store/FamilyWatcher.h"

#include <algorithm>
#include <filesystem>

#include "store/FamilyFiles.h"
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

// The facts of `holder` under the family name `path`; false when it cannot be read.
bool factsOf(const std::string& path, const std::string& holder, FamilyFileFacts& facts) {
    std::error_code ec;
    facts.path = path;
    facts.size = fs::file_size(osPath(holder), ec);
    if (ec) return false;
    facts.time = fs::last_write_time(osPath(holder), ec);
    return !ec;
}

// The path a family file has in the listings: the .db's folder and the file's own name.
std::string inFolderOf(const std::string& dbPath, const std::string& path) {
    const std::string folder = px::folderOf(dbPath);
    return folder.empty() ? baseName(path) : folder + "/" + baseName(path);
}

void sortByPath(std::vector<FamilyFileFacts>& family) {
    std::sort(family.begin(), family.end(),
              [](const FamilyFileFacts& a, const FamilyFileFacts& b) { return a.path < b.path; });
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

std::vector<FamilyFileFacts> familyAsRead(const std::string& dbPath) {
    const px::FamilyView view(dbPath);
    std::vector<std::string> names = familyFilesOnDisk(dbPath);
    for (const std::string& w : view.written()) {
        const std::string path = inFolderOf(dbPath, w);
        if (std::find(names.begin(), names.end(), path) == names.end()) names.push_back(path);
    }
    std::vector<FamilyFileFacts> family;
    for (const std::string& name : names) {
        if (!view.present(name)) continue;
        FamilyFileFacts facts;
        if (factsOf(name, view.source(name), facts)) family.push_back(facts);
    }
    sortByPath(family);
    return family;
}

std::vector<FamilyFileFacts> familyAfterSwitch(
    const std::string& dbPath, const std::vector<std::pair<std::string, std::string>>& written,
    const std::vector<std::string>& removed) {
    std::vector<FamilyFileFacts> family;
    const auto replaced = [&](const std::string& name) {
        for (const auto& [target, holder] : written)
            if (baseName(target) == baseName(name)) return true;
        for (const std::string& r : removed)
            if (baseName(r) == baseName(name)) return true;
        return false;
    };
    for (const std::string& name : familyFilesOnDisk(dbPath)) {
        FamilyFileFacts facts;
        if (!replaced(name) && factsOf(name, name, facts)) family.push_back(facts);
    }
    for (const auto& [target, holder] : written) {
        FamilyFileFacts facts;
        if (factsOf(inFolderOf(dbPath, target), holder, facts)) family.push_back(facts);
    }
    sortByPath(family);
    return family;
}

}  // namespace sivaro
