// Every folder of tests/import/cases is one import: its sources, Definicao.ini, the tables it
// starts from (tables/<folder>/<Name>.schema and .tsv), its settings (caso.ini, section
// [caso]) and what must come out: expected/<folder>/<Name>.tsv for each table, expected/log.txt
// for the log, expected/mensagens.txt for the messages ("title|text" a line), where the case
// has one, expected/resumo.txt for the summary of each source imported (the batch command's
// line without its time), expected/<folder>/<Name>.schema for the field types a table must have
// afterwards (names and type letters of the schema format; sizes and keys are not compared),
// and expected/pasta/<name> for each other file the import must leave in the data folder, byte
// for byte. A new case is a new folder.
//
// caso.ini keys: origens (sources, ","-separated; empty: "Todos" over [Arquivos]), selecionada
// (the selected source when "Todos" is not ticked), decimal (default ","), cancelar (press
// "Cancelar" when the line counter reaches it), desmarcar_todos (untick "Todos" likewise),
// erro (the run must stop with an error holding this text), ausentes (files, ","-separated, that
// must not be in the data folder afterwards).

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "CaseFolder.h"
#include "FolderSnapshot.h"
#include "TestHost.h"
#include "import/RunHistory.h"
#include "store/Connection.h"
#include "store/FamilyCheck.h"
#include "store/TableCreate.h"
#include "store/TableStore.h"
#include "util/FormatSettings.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"
#include "util/StringUtils.h"

namespace sivaro::testing {
namespace {

namespace fs = std::filesystem;

const std::string kCasesDir = std::string(SIVARO_SOURCE_DIR) + "/tests/import/cases";

std::string joinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\n" : "") + lines[i];
    return out;
}

std::string readBytes(const std::string& path) {
    std::ifstream in(osPath(path), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ImportCase : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override { m_saved = formatSettings(); }
    void TearDown() override { formatSettings() = m_saved; }
    FormatSettings m_saved;
};

// The type letter of the schema format for a field type.
char typeLetter(FieldType type) {
    switch (type) {
        case FieldType::String:
            return 'A';
        case FieldType::Date:
            return 'D';
        case FieldType::Smallint:
            return 'S';
        case FieldType::Integer:
            return 'I';
        case FieldType::AutoInc:
            return '+';
        case FieldType::Float:
            return 'N';
        case FieldType::Currency:
            return '$';
        case FieldType::Boolean:
            return 'L';
        case FieldType::Memo:
            return 'M';
        case FieldType::FmtMemo:
            return 'F';
        case FieldType::Time:
            return 'T';
        case FieldType::DateTime:
            return '@';
        case FieldType::BCD:
            return '#';
        case FieldType::Bytes:
            return 'Y';
        case FieldType::Blob:
            return 'B';
        case FieldType::ParadoxOle:
            return 'O';
        case FieldType::Graphic:
            return 'G';
        default:
            return '?';
    }
}

// A table's fields, one a line: name, TAB, type letter.
std::string fieldTypes(const std::string& folder, const std::string& tableName) {
    std::unique_ptr<TableStore> store = createParadoxStore();
    std::unique_ptr<Table> table = store->createTable();
    table->setDatabaseName(folder);
    table->setTableName(tableName);
    table->open();
    std::string out;
    for (int i = 0; i < table->fieldCount(); ++i)
        out += (i ? "\n" : "") + table->field(i).fieldName() + "\t" +
               typeLetter(table->field(i).dataType());
    table->close();
    return out;
}

// The same lines for a schema text.
std::string fieldTypes(const std::string& schema) {
    std::string out;
    for (const px::FieldDef& f : px::parseSchema(schema))
        out += (out.empty() ? "" : "\n") + f.name + "\t" + f.letter;
    return out;
}

// The host of a case: its sources, selection, "Todos" and the counters of its presses.
void setUpHost(TestHost& host, const ProfileFile& caso) {
    std::string sources = caso.readString("caso", "origens", "");
    if (sources.empty()) {
        host.sourceList = host.definitions().readSection("arquivos");
    } else {
        while (!sources.empty()) host.sourceList.push_back(SeparaCampos(sources, ","));
    }
    host.selected = caso.readInteger("caso", "selecionada", 0);
    host.all = !caso.keyExists("caso", "selecionada");
    host.cancelAtCounter = caso.readInteger("caso", "cancelar", 0);
    host.untickAllAtCounter = caso.readInteger("caso", "desmarcar_todos", 0);
}

// What a summary says, but its time.
std::string countsOf(const std::vector<SourceSummary>& summaries) {
    std::string out;
    for (const SourceSummary& s : summaries) {
        out += s.source + (s.imported ? "" : " (passada)") + ": " + std::to_string(s.linesRead) +
               " " + std::to_string(s.rowsInserted) + " " + std::to_string(s.rowsUpdated) + " " +
               std::to_string(s.recordsDropped) + " " + std::to_string(s.recordsFailed) + "\n";
        for (const TableCounts& t : s.tables)
            out += "  " + t.table + " " + std::to_string(t.inserted) + " " +
                   std::to_string(t.updated) + "\n";
    }
    return out;
}

// Runs the case's import (or its rehearsal); the error text when the run stopped.
std::string runCase(TestHost& host, bool rehearse) {
    ImportEngine engine(host, [](const std::string&) { return createParadoxStore(); });
    host.engine = &engine;
    engine.pointCityTable();
    try {
        rehearse ? engine.rehearse() : engine.runSources();
    } catch (const std::exception& e) {
        host.engine = nullptr;
        return e.what();
    }
    host.engine = nullptr;
    return "";
}

TEST_P(ImportCase, RowsLogAndMessagesAsExpected) {
    const std::string caseDir = kCasesDir + "/" + GetParam();
    ProfileFile caso(caseDir + "/caso.ini");
    const std::string decimal = caso.readString("caso", "decimal", ",");
    formatSettings().decimalSeparator = decimal.empty() ? ',' : decimal[0];

    CaseFolder folder(caseDir);
    TestHost host(folder.path());
    setUpHost(host, caso);

    ImportEngine engine(host, [](const std::string&) { return createParadoxStore(); });
    host.engine = &engine;
    engine.pointCityTable();
    const std::string expectedError = caso.readString("caso", "erro", "");
    try {
        engine.runSources();
        EXPECT_EQ(expectedError, "") << "the run should have stopped with an error";
    } catch (const std::exception& e) {
        EXPECT_NE(expectedError, "") << "the run stopped: " << e.what();
        if (!expectedError.empty()) {
            EXPECT_NE(std::string(e.what()).find(expectedError), std::string::npos) << e.what();
        }
    }

    EXPECT_EQ(joinLines(host.log), readText(caseDir + "/expected/log.txt"));
    EXPECT_EQ(joinLines(host.messages), readText(caseDir + "/expected/mensagens.txt"));
    if (fs::exists(caseDir + "/expected/resumo.txt")) {
        std::vector<std::string> summaries;
        for (const SourceSummary& s : host.summaries) {
            if (!s.imported) continue;
            summaries.push_back(s.source + ": " + std::to_string(s.linesRead) + " linhas lidas, " +
                                std::to_string(s.rowsInserted) + " inseridas, " +
                                std::to_string(s.rowsUpdated) + " atualizadas, " +
                                std::to_string(s.recordsDropped) + " descartadas, " +
                                std::to_string(s.recordsFailed) + " com erro");
        }
        EXPECT_EQ(joinLines(summaries), readText(caseDir + "/expected/resumo.txt"));
    }

    const fs::path expected = fs::path(caseDir) / "expected";
    for (const auto& folderEntry : fs::directory_iterator(expected)) {
        if (!folderEntry.is_directory()) continue;
        const std::string dbFolder = folder.path() + "/" + folderEntry.path().filename().string();
        for (const auto& file : fs::directory_iterator(folderEntry.path())) {
            const std::string table = file.path().stem().string() + ".db";
            SCOPED_TRACE(folderEntry.path().filename().string() + "/" + table);
            if (file.path().extension() == ".tsv") {
                EXPECT_EQ(dumpTable(dbFolder, table), readText(file.path().string()));
            } else if (file.path().extension() == ".schema") {
                EXPECT_EQ(fieldTypes(dbFolder, table), fieldTypes(readText(file.path().string())));
            }
        }
    }
    if (fs::is_directory(expected / "pasta")) {
        for (const auto& file : fs::directory_iterator(expected / "pasta")) {
            const std::string name = file.path().filename().string();
            SCOPED_TRACE(name);
            EXPECT_TRUE(pathExists(folder.path(), name));
            EXPECT_EQ(readBytes(resolvePath(folder.path(), name)), readBytes(file.path().string()));
        }
    }
    std::string absent = caso.readString("caso", "ausentes", "");
    while (!absent.empty()) {
        const std::string name = SeparaCampos(absent, ",");
        EXPECT_FALSE(pathExists(folder.path(), name)) << name << " should not be there";
    }

    // Whatever happened, every table of the folder is whole.
    for (const auto& entry : fs::recursive_directory_iterator(folder.path())) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".db" && ext != ".DB") continue;
        const px::FamilyReport report = px::inspectFamily(entry.path().string());
        EXPECT_EQ(joinLines(report.problems), "") << entry.path();
    }
}

// A rehearsal of the case gives the real run's log, messages, counts and stop, and leaves every
// file of the folder as it was.
TEST_P(ImportCase, RehearsalGivesTheRunsLogAndCountsAndChangesNoFile) {
    const std::string caseDir = kCasesDir + "/" + GetParam();
    ProfileFile caso(caseDir + "/caso.ini");
    const std::string decimal = caso.readString("caso", "decimal", ",");
    formatSettings().decimalSeparator = decimal.empty() ? ',' : decimal[0];

    CaseFolder folder(caseDir);
    const FolderSnapshot before = snapshotFolder(folder.path());
    TestHost rehearsal(folder.path());
    setUpHost(rehearsal, caso);
    const std::string rehearsalError = runCase(rehearsal, true);
    EXPECT_EQ(folderChanges(before, snapshotFolder(folder.path())), "");
    for (const SourceSummary& s : rehearsal.summaries) EXPECT_TRUE(s.rehearsal) << s.source;

    TestHost real(folder.path());
    setUpHost(real, caso);
    const std::string realError = runCase(real, false);
    EXPECT_EQ(rehearsalError, realError);
    EXPECT_EQ(joinLines(rehearsal.log), joinLines(real.log));
    EXPECT_EQ(joinLines(rehearsal.messages), joinLines(real.messages));
    EXPECT_EQ(countsOf(rehearsal.summaries), countsOf(real.summaries));
}

// The sub-folders of a data folder answer whatever their letter case on disk, as its files do:
// a case whose folders are spelt otherwise imports exactly as the lower-case one, through the
// connection with its net folder, and makes no second folder beside them.
struct Spelling {
    const char* caseName;
    const char* db;      // for "db"
    const char* branch;  // for the "db" of a branch folder "dbN"
    const char* net;
    const char* ini;
};

const Spelling kSpellings[] = {
    {"filial_db3", "DB", "Db", "NET", "INI"},
    {"filial_db3", "Db", "DB", "Net", "Ini"},
    {"filial_db3", "db", "DB", "net", "ini"},
    {"filial_tipo_cod_volta", "dB", "dB", "nEt", "iNi"},
    {"mercador_regras", "DB", "DB", "NET", "INI"},
    {"limpar_tabela", "Db", "Db", "Net", "Ini"},
};

// Gives the case's folders the spelling's names, and the folder a net folder and an ini folder
// with a field list.
void spell(const std::string& folder, const Spelling& s) {
    const fs::path root = osPath(folder);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(root))
        if (e.is_directory()) names.push_back(e.path().filename().string());
    for (const std::string& name : names) {
        if (name == "db")
            fs::rename(root / name, root / s.db);
        else if (name.size() > 2 && name.starts_with("db"))
            fs::rename(root / name, root / (s.branch + name.substr(2)));
    }
    fs::create_directory(root / s.net);
    fs::create_directory(root / s.ini);
    std::ofstream(root / s.ini / "tabelas.ini", std::ios::binary) << "[Cliente.campos]\r\nraz=\r\n";
}

// Every file and folder under `folder` but the kept runs, as relative paths in lower case
// (sorted, duplicates kept), each with its path on disk.
std::vector<std::pair<std::string, std::string>> entriesFolded(const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& e : fs::recursive_directory_iterator(osPath(folder))) {
        const std::string relative = fs::relative(e.path(), osPath(folder)).generic_string();
        if (relative.starts_with(kHistoryFolder)) continue;
        std::string folded = relative;
        for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        out.emplace_back(folded, e.path().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(SubFolderCase, ImportsAsTheLowerCaseFolderDoes) {
    const FormatSettings saved = formatSettings();
    formatSettings().decimalSeparator = ',';
    for (const Spelling& s : kSpellings) {
        SCOPED_TRACE(std::string(s.caseName) + " " + s.db + " " + s.branch + " " + s.net + " " +
                     s.ini);
        const std::string caseDir = kCasesDir + "/" + s.caseName;
        ProfileFile caso(caseDir + "/caso.ini");
        CaseFolder lower(caseDir), spelt(caseDir);
        spell(lower.path(), {s.caseName, "db", "db", "net", "ini"});
        spell(spelt.path(), s);

        TestHost lowerHost(lower.path()), speltHost(spelt.path());
        for (TestHost* host : {&lowerHost, &speltHost}) {
            setUpHost(*host, caso);
            ImportEngine engine(*host, openConnection);
            host->engine = &engine;
            engine.pointCityTable();
            EXPECT_NO_THROW(engine.runSources());
            host->engine = nullptr;
        }
        EXPECT_EQ(joinLines(speltHost.log), joinLines(lowerHost.log));
        EXPECT_EQ(joinLines(speltHost.messages), joinLines(lowerHost.messages));
        EXPECT_EQ(countsOf(speltHost.summaries), countsOf(lowerHost.summaries));

        const auto lowerEntries = entriesFolded(lower.path());
        const auto speltEntries = entriesFolded(spelt.path());
        std::string lowerNames, speltNames;
        for (const auto& e : lowerEntries) lowerNames += e.first + "\n";
        for (const auto& e : speltEntries) speltNames += e.first + "\n";
        ASSERT_EQ(speltNames, lowerNames);
        for (size_t i = 0; i < lowerEntries.size(); ++i) {
            const fs::path a = lowerEntries[i].second, b = speltEntries[i].second;
            SCOPED_TRACE(lowerEntries[i].first);
            if (fs::is_directory(a)) continue;
            std::string ext = a.extension().string();
            for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (ext == ".db") {
                EXPECT_EQ(dumpTable(b.parent_path().string(), b.filename().string()),
                          dumpTable(a.parent_path().string(), a.filename().string()));
                EXPECT_EQ(fieldTypes(b.parent_path().string(), b.filename().string()),
                          fieldTypes(a.parent_path().string(), a.filename().string()));
            } else if (ext != ".px" && ext != ".mb" && !ext.starts_with(".x") &&
                       !ext.starts_with(".y")) {
                EXPECT_EQ(readBytes(b.string()), readBytes(a.string()));
            }
        }
    }
    formatSettings() = saved;
}

INSTANTIATE_TEST_SUITE_P(Cases, ImportCase, ::testing::ValuesIn(caseNames(kCasesDir)),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
}  // namespace sivaro::testing
