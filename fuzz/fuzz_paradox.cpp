// libFuzzer target for the table reader: the input is taken as a .db file (and, split at its
// first 4 KB boundary past the header, as its .mb), loaded, read row by row and checked.
// Every fault must surface as EDatabaseError.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "store/FamilyCheck.h"
#include "store/ParadoxStore.h"
#include "store/PxTable.h"
#include "store/TableStore.h"
#include "util/Errors.h"

namespace {

std::string scratch() {
    static const std::string dir = [] {
        const auto d =
            std::filesystem::temp_directory_path() / ("sivaro-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d.string();
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string dir = scratch();
    const std::size_t split = size > 8192 ? size - 4096 : size;
    std::ofstream(dir + "/f.db", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(split));
    std::ofstream(dir + "/f.mb", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + split),
               static_cast<std::streamsize>(size - split));
    try {
        auto store = sivaro::createParadoxStore();
        auto t = store->createTable();
        t->setDatabaseName(dir);
        t->setTableName("f.db");
        t->open();
        for (t->first(); !t->eof(); t->next())
            for (int i = 0; i < t->fieldCount(); ++i) (void)t->field(i).asString();
        t->close();
    } catch (const sivaro::EDatabaseError&) {
    }
    (void)sivaro::px::inspectFamily(dir + "/f.db");
    return 0;
}
