#include "CaseFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "store/TableCreate.h"
#include "store/TableStore.h"
#include "util/Paths.h"

namespace sivaro::testing {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> cells;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        cells.push_back(
            line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return cells;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) out.push_back(line);
    return out;
}

void fillTable(const std::string& folder, const std::string& name, const std::string& tsv) {
    const std::vector<std::string> rows = lines(tsv);
    if (rows.empty()) return;
    std::unique_ptr<TableStore> store = createParadoxStore();
    std::unique_ptr<Table> table = store->createTable();
    table->setDatabaseName(folder);
    table->setTableName(name + ".db");
    table->open();
    const std::vector<std::string> header = splitTabs(rows[0]);
    for (size_t r = 1; r < rows.size(); ++r) {
        const std::vector<std::string> cells = splitTabs(rows[r]);
        table->insert();
        for (size_t c = 0; c < header.size() && c < cells.size(); ++c)
            if (!cells[c].empty()) table->fieldByName(header[c]).setAsString(cells[c]);
        table->post();
    }
    table->close();
}

}  // namespace

std::string readText(const std::string& path) {
    std::ifstream in(osPath(path), std::ios::binary);
    if (!in) return {};
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

CaseFolder::CaseFolder(const std::string& caseDir) {
    static std::atomic<int> serial{0};
    const fs::path dir = fs::temp_directory_path() /
                         ("sivaro-case-" + std::to_string(::getpid()) + "-" +
                          std::to_string(serial++) + "-" + fs::path(caseDir).filename().string());
    fs::remove_all(dir);
    fs::create_directories(dir);
    m_path = fromOsPath(dir);
    for (const auto& entry : fs::directory_iterator(osPath(caseDir))) {
        const std::string name = entry.path().filename().string();
        if (name == "expected" || name == "tables" || name == "caso.ini") continue;
        fs::copy(entry.path(), dir / entry.path().filename(), fs::copy_options::recursive);
    }
    const fs::path tables = osPath(caseDir) / "tables";
    if (!fs::exists(tables)) return;
    for (const auto& folderEntry : fs::directory_iterator(tables)) {
        if (!folderEntry.is_directory()) continue;
        const std::string folder = joinPath(m_path, fromOsPath(folderEntry.path().filename()));
        fs::create_directories(osPath(folder));
        for (const auto& file : fs::directory_iterator(folderEntry.path())) {
            if (file.path().extension() != ".schema") continue;
            const std::string name = fromOsPath(file.path().stem());
            px::createTable(joinPath(folder, name + ".db"),
                            px::parseSchema(readText(fromOsPath(file.path()))));
            fs::path rows = file.path();
            rows.replace_extension(".tsv");
            if (fs::exists(rows)) fillTable(folder, name, readText(fromOsPath(rows)));
        }
    }
}

CaseFolder::~CaseFolder() {
    std::error_code ec;
    if (!::testing::Test::HasFailure()) fs::remove_all(osPath(m_path), ec);
}

std::string dumpTable(const std::string& folder, const std::string& tableName) {
    std::unique_ptr<TableStore> store = createParadoxStore();
    std::unique_ptr<Table> table = store->createTable();
    table->setDatabaseName(folder);
    table->setTableName(tableName);
    table->open();
    std::string out;
    for (int i = 0; i < table->fieldCount(); ++i)
        out += (i ? "\t" : "") + table->field(i).fieldName();
    for (table->first(); !table->eof(); table->next()) {
        out += '\n';
        for (int i = 0; i < table->fieldCount(); ++i)
            out += (i ? "\t" : "") + table->field(i).asString();
    }
    table->close();
    return out;
}

std::vector<std::string> caseNames(const std::string& casesDir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(casesDir))
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace sivaro::testing
