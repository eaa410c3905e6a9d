#include "util/Paths.h"

#include <system_error>
#include <vector>

#include "util/CodePage.h"

namespace sivaro {

namespace fs = std::filesystem;

std::string joinPath(std::string_view folder, std::string_view rest) {
    std::string out(folder);
    out += '/';
    out += rest;
    return out;
}

fs::path osPath(std::string_view path) {
    return fs::path(cp1252ToUtf8(path));
}

std::string fromOsPath(const fs::path& path) {
    const std::string& native = path.native();
    // Names that are not UTF-8 are taken byte for byte.
    return isValidUtf8(native) ? utf8ToCp1252(native) : native;
}

namespace {

std::vector<std::string> splitComponents(std::string_view relative) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : relative) {
        if (c == '/' || c == '\\') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

// The entry of `dir` that answers for `name`, or empty when none does.
std::string findEntry(const std::string& dir, const std::string& name) {
    std::error_code ec;
    if (name == "." || name == "..") return name;
    // An empty folder is the working directory: "/" + name would test the root instead.
    if (fs::exists(osPath(dir.empty() ? name : joinPath(dir, name)), ec)) return name;
    fs::directory_iterator it(osPath(dir.empty() ? std::string(".") : dir), ec);
    if (ec) return {};
    for (const auto& entry : it) {
        const std::string entryName = fromOsPath(entry.path().filename());
        if (sameText(entryName, name)) return entryName;
    }
    return {};
}

}  // namespace

std::string resolvePath(std::string_view folder, std::string_view relative) {
    std::string current(folder);
    bool onDisk = true;
    for (const std::string& part : splitComponents(relative)) {
        std::string name = part;
        if (onDisk) {
            std::string found = findEntry(current, part);
            if (found.empty())
                onDisk = false;
            else
                name = found;
        }
        current = current.empty() ? name : joinPath(current, name);
    }
    return current;
}

bool pathExists(std::string_view folder, std::string_view relative) {
    std::error_code ec;
    return fs::exists(osPath(resolvePath(folder, relative)), ec);
}

std::string baseName(std::string_view path) {
    const size_t pos = path.find_last_of("/\\");
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

bool leavesFolder(std::string_view name) {
    if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos)
        return true;
    return name == "..";
}

}  // namespace sivaro
