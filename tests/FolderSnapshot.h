#pragma once
// Every file under a folder with its bytes, to tell that a run left a folder as it found it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace sivaro::testing {

using FolderSnapshot = std::map<std::string, std::string>;  // relative path -> bytes

// Files under `skip` (a relative folder name, empty for none) are left out.
inline FolderSnapshot snapshotFolder(const std::filesystem::path& folder,
                                     const std::string& skip = "") {
    namespace fs = std::filesystem;
    FolderSnapshot files;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        const std::string relative = fs::relative(e.path(), folder).generic_string();
        if (!skip.empty() && (relative == skip || relative.rfind(skip + "/", 0) == 0)) continue;
        if (e.is_directory()) {
            files[relative + "/"] = "";
            continue;
        }
        std::ifstream in(e.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        files[relative] = bytes.str();
    }
    return files;
}

// The names of the files that differ, were added or went away; empty when none did.
inline std::string folderChanges(const FolderSnapshot& before, const FolderSnapshot& after) {
    std::string changes;
    for (const auto& [name, bytes] : before) {
        const auto it = after.find(name);
        if (it == after.end())
            changes += "removed " + name + "\n";
        else if (it->second != bytes)
            changes += "changed " + name + "\n";
    }
    for (const auto& [name, bytes] : after)
        if (!before.count(name)) changes += "added " + name + "\n";
    return changes;
}

}  // namespace sivaro::testing
