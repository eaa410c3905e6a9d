#include "util/SafeWrite.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {

namespace fs = std::filesystem;

namespace {

std::atomic<std::uint64_t> g_tempCounter{0};

}  // namespace

void writeFileReplacing(const std::string& path, std::string_view bytes) {
    const std::string failure = "Unable to write to " + path;
    const fs::path target = osPath(path);
    std::error_code ec;
    if (fs::exists(target, ec) && !fs::is_regular_file(target, ec)) throw EInOutError(failure);
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    // A name of its own per call, so that two writers of one file never share a temporary.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const fs::path temp =
        folder / ("." + target.filename().string() + ".tmp-" + std::to_string(stamp) + "-" +
                  std::to_string(g_tempCounter.fetch_add(1)));
    bool ok;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        ok = out.is_open();
        if (ok) {
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            out.flush();
            ok = out.good();
            out.close();
            ok = ok && !out.fail();
        }
    }
    if (ok) {
        fs::rename(temp, target, ec);
        ok = !ec;
    }
    if (!ok) {
        fs::remove(temp, ec);
        throw EInOutError(failure);
    }
}

bool removeFile(const std::string& path) {
    std::error_code ec;
    const fs::path target = osPath(path);
    const fs::file_status status = fs::symlink_status(target, ec);
    if (!fs::exists(status)) return true;
    if (fs::is_directory(status)) return false;  // never a folder of that name
    return fs::remove(target, ec) && !ec;
}

}  // namespace sivaro
