// Any file text must read without a crash; a write the file accepts must read back as written,
// leave the other entries of its section as they were, and a refused one must leave the file alone.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "FuzzCheck.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/ProfileFile.h"
#include "util/StringUtils.h"

namespace {

const std::string& filePath() {
    static const std::string path = [] {
        // tmpfs: every write syncs the file, which on a disk would bound the runs to a few hundred
        // a second.
        char folder[] = "/dev/shm/sivaro-fuzz-profile-XXXXXX";
        if (::mkdtemp(folder) == nullptr) ::abort();
        static std::string made = folder;
        std::atexit([] { std::filesystem::remove_all(made); });
        return std::string(folder) + "/Definicao.ini";
    }();
    return path;
}

std::string fileText() {
    std::ifstream in(filePath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace sivaro;
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(16);
    const std::string key = in.ConsumeRandomLengthString(16);
    const std::string value = in.ConsumeRandomLengthString(64);
    const std::string text = in.ConsumeRemainingBytesAsString();
    {
        std::ofstream out(filePath(), std::ios::binary | std::ios::trunc);
        out << text;
    }

    ProfileFile ini(filePath());
    std::map<std::string, std::string> before;
    for (const std::string& name : ini.readSection(section)) {
        check(ini.keyExists(section, name), "a listed key exists");
        // Two defaults: a value may well equal one of them.
        before[name] = ini.readString(section, name, "\x01");
        check(before[name] == ini.readString(section, name, "\x02"), "a listed key reads");
        ini.readInteger(section, name, 0);
        ini.readBool(section, name, false);
    }
    ini.readString(section, key, "");

    try {
        ini.writeString(section, key, value);
    } catch (const EInOutError&) {
        check(fileText() == text, "a refused write leaves the file alone");
        return 0;
    }
    check(ini.readString(section, key, "\x01") == value.substr(0, 2047) &&
              ini.readString(section, key, "\x02") == value.substr(0, 2047),
          "a write reads back");
    const std::string written = trim(key);
    for (const auto& [name, old] : before)
        if (!sameText(name, written))
            check(ini.readString(section, name, "\x01") == old, "other entries stay");
    ini.deleteKey(section, key);
    return 0;
}
