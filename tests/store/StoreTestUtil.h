#pragma once
// Helpers of the store tests: a scratch folder, the fixture tables, pxtool, rows as text.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ScratchFolder.h"
#include "store/ParadoxStore.h"
#include "store/TableCreate.h"
#include "store/TableStore.h"
#include "util/CodePage.h"
#include "util/FormatSettings.h"

namespace sivaro::testing {

namespace fs = std::filesystem;

inline std::string fixtures() {
    return SIVARO_FIXTURES_DIR;
}

class TempDir : public ScratchFolder {
  public:
    TempDir() : ScratchFolder("sivaro-store") {}
};

// Copies every fixture file whose name before the dot is `stem` (any case) into `folder`.
inline void copyFamily(const std::string& stem, const std::string& folder) {
    for (const auto& e : fs::directory_iterator(fixtures())) {
        const std::string name = e.path().filename().string();
        if (upperAscii(name.substr(0, name.find('.'))) == upperAscii(stem)) {
            fs::copy_file(e.path(), fs::path(folder) / name, fs::copy_options::overwrite_existing);
            fs::permissions(fs::path(folder) / name, fs::perms::owner_write, fs::perm_options::add);
        }
    }
}

inline void pinSettings(char decimal = '.') {
    FormatSettings& s = formatSettings();
    s.decimalSeparator = decimal;
    s.dateSeparator = '/';
    s.shortDateFormat = "dd/mm/yyyy";
    s.twoDigitYearCenturyWindow = 50;
}

inline std::unique_ptr<Table> openTable(TableStore& store, const std::string& folder,
                                        const std::string& name, bool exclusive = false) {
    auto t = store.createTable();
    t->setDatabaseName(folder);
    t->setTableName(name);
    t->setExclusive(exclusive);
    t->open();
    return t;
}

// Every row, each field as asString.
inline std::vector<std::vector<std::string>> readAll(Table& t) {
    std::vector<std::vector<std::string>> rows;
    for (t.first(); !t.eof(); t.next()) {
        std::vector<std::string> row;
        for (int i = 0; i < t.fieldCount(); ++i) row.push_back(t.field(i).asString());
        rows.push_back(row);
    }
    return rows;
}

inline std::string readFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string runPxtool(const std::string& args, int* exitCode = nullptr) {
    const std::string cmd = std::string(SIVARO_BINARY_DIR) + "/bin/pxtool " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    while (p && std::fgets(buf, sizeof buf, p)) out += buf;
    const int status = p ? ::pclose(p) : -1;
    if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

inline void createFromSchema(const std::string& path, const std::string& schema) {
    px::createTable(path, px::parseSchema(schema));
}

}  // namespace sivaro::testing
