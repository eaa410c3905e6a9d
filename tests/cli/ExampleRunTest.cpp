// The example data folder end to end: scripts/example-folder prepares a fresh copy, importa
// imports every source, and the key results of every import rule are where examples/dados/
// LEIAME.md says.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "RunCommand.h"
#include "store/FamilyCheck.h"

namespace {

namespace fs = std::filesystem;
using Row = std::map<std::string, std::string>;

using sivaro::testing::bin;
using sivaro::testing::Output;
using sivaro::testing::run;

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> cells(1);
    for (char c : line) {
        if (c == '\t')
            cells.emplace_back();
        else
            cells.back() += c;
    }
    return cells;
}

// The rows of a table by the text of their "cod", each a map of field name to dump cell.
std::map<std::string, Row> rowsOf(const std::string& dbPath) {
    const Output dump = run(bin("pxtool") + " dump '" + dbPath + "' 2>&1");
    EXPECT_EQ(0, dump.code) << dump.text;
    std::map<std::string, Row> rows;
    std::vector<std::string> header;
    std::size_t start = 0;
    while (start < dump.text.size()) {
        std::size_t end = dump.text.find('\n', start);
        if (end == std::string::npos) end = dump.text.size();
        const std::vector<std::string> cells = split(dump.text.substr(start, end - start));
        start = end + 1;
        if (header.empty()) {
            header = cells;
            continue;
        }
        Row row;
        for (std::size_t i = 0; i < header.size() && i < cells.size(); ++i)
            row[header[i]] = cells[i];
        rows[row["cod"]] = row;
    }
    return rows;
}

class ExampleRun : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // ctest runs each test in a process of its own, several at once.
        s_folder =
            (fs::temp_directory_path() / ("sivaro-example-run-" + std::to_string(::getpid())))
                .string();
        s_prepare = run("PXTOOL=" + bin("pxtool") + " " + SIVARO_SOURCE_DIR +
                        "/scripts/example-folder '" + s_folder + "' 2>&1");
        // Without a display: the EAN-13 codes are completed by painting the hidden barcode.
        s_import = run("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + bin("importa") +
                       " --pasta '" + s_folder + "' --decimal , --todos 2>&1");
    }
    static void TearDownTestSuite() { fs::remove_all(s_folder); }
    void SetUp() override {
        ASSERT_EQ(0, s_prepare.code) << s_prepare.text;
        ASSERT_EQ(1, s_import.code) << s_import.text;  // two records fail on purpose
    }
    std::map<std::string, Row> table(const std::string& path) {
        return rowsOf(s_folder + "/" + path);
    }
    // One field of the rows with the given codes, in that order.
    std::vector<std::string> column(const std::string& path, const std::string& field,
                                    const std::vector<std::string>& codes) {
        auto rows = table(path);
        std::vector<std::string> out;
        for (const std::string& cod : codes) out.push_back(rows[cod][field]);
        return out;
    }

    static std::string s_folder;
    static Output s_prepare, s_import;
};

std::string ExampleRun::s_folder;
Output ExampleRun::s_prepare, ExampleRun::s_import;

using Strings = std::vector<std::string>;

TEST_F(ExampleRun, LogAndMessageNameTheRecordsThatFailed) {
    for (const char* expected :
         {"linha:5 '1A' is not a valid integer value for field 'cod'",
          "linha:19 '1.234,5' is not a valid floating point value for field 'preco'",
          "Favor verificar a linha 5 pois deve ter caracteres estranhos",
          "clientes.txt: 12 linhas lidas, 11 inseridas, 0 atualizadas, 1 descartadas, 0 com erro",
          "relatorio_pagar.txt: 25 linhas lidas, 4 inseridas"}) {
        EXPECT_NE(std::string::npos, s_import.text.find(expected)) << expected;
    }
}

TEST_F(ExampleRun, BrandsUpdatedByKeyAndAdded) {
    auto rows = table("db/marca.db");
    EXPECT_EQ(19u, rows.size());
    EXPECT_EQ("FABER-CASTELL", rows["12"]["mar"]);
    EXPECT_EQ("BRIT\xc3\x82NIA", rows["16"]["mar"]);
    EXPECT_EQ("Oster", rows["19"]["mar"]);
}

TEST_F(ExampleRun, MerchandiseRulesAndTheFiltroStatements) {
    const std::string t = "db/Mercador.db";
    EXPECT_EQ(20u, table(t).size());
    const Strings all = {"1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10",
                         "11", "12", "13", "14", "15", "16", "17", "18", "19", "20"};
    EXPECT_EQ((Strings{"1", "0", "0", "1", "0", "0", "1", "0", "0", "0",
                       "0", "0", "0", "0", "0", "0", "0", "0", "0", "0"}),
              column(t, "filtro", all));
    // Brands exact, phonetic, missing; sections with the default 1; patterns by COR.
    EXPECT_EQ((Strings{"7", "3", "", "1", "16", "12"}),
              column(t, "codmar", {"1", "3", "6", "10", "11", "15"}));
    EXPECT_EQ((Strings{"2", "1", "1", "7"}), column(t, "codsecmer", {"1", "5", "17", "13"}));
    EXPECT_EQ((Strings{"10", "6", "", "8"}), column(t, "codpad", {"7", "10", "1", "14"}));
    EXPECT_EQ((Strings{"7896100010024", "7896100010048", "789610002009", "789100O400200"}),
              column(t, "CodEan", {"2", "4", "8", "12"}));
    EXPECT_EQ((Strings{"0901.21.00", "1806.32.", "1905.31.00", "8211.91.00"}),
              column(t, "NCM", {"2", "5", "6", "9"}));
    EXPECT_EQ((Strings{"TB-100-6M", "2499", "2010-03-05"}),
              (Strings{column(t, "CodBar", {"17"})[0], column(t, "preco", {"13"})[0],
                       column(t, "datcad", {"1"})[0]}));
}

TEST_F(ExampleRun, ClientsCitiesDocumentsAndBranch) {
    const std::string t = "db/Cliente.db";
    auto rows = table(t);
    EXPECT_EQ(12u, rows.size());
    EXPECT_EQ(0u, rows.count("12"));
    EXPECT_EQ((Strings{"1", "2", "3", "13", "16", "6", "6", "", "1", "1"}),
              column(t, "codcid", {"1", "2", "3", "4", "5", "8", "9", "10", "11", "21"}));
    EXPECT_EQ((Strings{"123.456.789-09", "11.222.333/0001-81", "44.976.315/0001-44", "4567"}),
              column(t, "cgc", {"1", "2", "3", "10"}));
    EXPECT_EQ((Strings{"01310100", "13015904", "14020260"}), column(t, "cep", {"1", "2", "3"}));
    EXPECT_EQ("Padaria P\xc3\xa3o Quente", rows["3"]["raz"]);
    EXPECT_EQ("Jos\xc3\xa9 Carlos da Silva", rows["1"]["fan"]);
    EXPECT_EQ((Strings{"1500", "750.5", "120000"}), column(t, "limite", {"1", "3", "5"}));
    EXPECT_EQ("2010-07-03", rows["4"]["datcad"]);

    auto branch = table("db2/Cliente.db");
    EXPECT_EQ(4u, branch.size());
    EXPECT_EQ((Strings{"1", "2", "4", "3"}),
              column("db2/Cliente.db", "codcid", {"100001", "100002", "100003", "100004"}));

    // The code field numbers rows again once the import is over.
    const Output info = run(bin("pxtool") + " info '" + s_folder + "/db/Cliente.db'");
    EXPECT_NE(std::string::npos, info.text.find("field 1: cod\t+")) << info.text;
}

TEST_F(ExampleRun, SuppliersAccountsAndOrders) {
    const std::string f = "db/Forneced.db";
    EXPECT_EQ((Strings{"27", "1", "24", "1", "41"}),
              column(f, "codcid", {"1", "2", "3", "4", "6"}));
    EXPECT_EQ((Strings{"Camil Alimentos", "2012-03-01"}),
              (Strings{column(f, "raz", {"4"})[0], column(f, "datcad", {"6"})[0]}));

    EXPECT_EQ((Strings{"1200", "350", "89.9"}), column("db/Receber.db", "valliq", {"1", "2", "3"}));
    EXPECT_EQ((Strings{"89.9"}), column("db/Receber.db", "valbru", {"3"}));
    const std::string p = "db/ParRec.db";
    EXPECT_EQ((Strings{"1", "0", "1", "0", "1"}), column(p, "Pag", {"1", "2", "3", "4", "5"}));
    EXPECT_EQ((Strings{"2", "", "1", "", "3"}), column(p, "CodForPag", {"1", "2", "3", "4", "5"}));
    EXPECT_EQ((Strings{"0", "", "0", "", "0"}), column(p, "VlrDif", {"1", "2", "3", "4", "5"}));
    EXPECT_EQ((Strings{"1", "1", "1", "2", "1"}), column(p, "NumPar", {"1", "2", "3", "4", "5"}));
    EXPECT_EQ((Strings{"1", "2", "3", "4", "5"}), column(p, "codrec", {"1", "2", "3", "4", "5"}));

    EXPECT_EQ((Strings{"NF 004512", "NF 004513", "NF 118", "BOLETO 55"}),
              column("db/Pagar.db", "documento", {"1", "2", "3", "4"}));
    EXPECT_EQ((Strings{"4350", "980", "12160", "2499"}),
              column("db/Pagar.db", "valliq", {"1", "2", "3", "4"}));
    EXPECT_EQ((Strings{"2012-02-02", "", "2012-02-10", ""}),
              column("db/ParPag.db", "DatPag", {"1", "2", "3", "4"}));

    const std::string o = "db/PedSai.db";
    EXPECT_EQ((Strings{"10", "0", "59.9", "0"}), column(o, "ValDes", {"1", "2", "3", "4"}));
    EXPECT_EQ((Strings{"1", "11", "17", "16"}), column(o, "codmer", {"1", "2", "3", "4"}));
    EXPECT_EQ("entregar pela manh\xc3\xa3", column(o, "obs", {"4"})[0]);
}

TEST_F(ExampleRun, EveryTableIsSoundAndASecondRunGivesTheSame) {
    std::string dumps;
    for (const auto& e : fs::recursive_directory_iterator(s_folder)) {
        if (e.path().extension() != ".db") continue;
        EXPECT_EQ(Strings{}, sivaro::px::inspectFamily(e.path().string()).problems) << e.path();
    }
    EXPECT_TRUE(fs::is_directory(fs::path(s_folder) / "net"));
    EXPECT_FALSE(fs::exists(fs::path(s_folder) / "db" / "Cliente.schema"));

    auto dumpAll = [](const std::string& folder) {
        std::string out;
        for (const char* t : {"db/marca", "db/Mercador", "db/Cliente", "db2/Cliente", "db/Forneced",
                              "db/Receber", "db/ParRec", "db/Pagar", "db/ParPag", "db/PedSai"})
            out += run(bin("pxtool") + " dump '" + folder + "/" + t + ".db'").text;
        return out;
    };
    const std::string again = s_folder + "-2";
    ASSERT_EQ(0, run("PXTOOL=" + bin("pxtool") + " " + SIVARO_SOURCE_DIR +
                     "/scripts/example-folder '" + again + "'")
                     .code);
    EXPECT_EQ(
        1,
        run(bin("importa") + " --pasta '" + again + "' --decimal , --todos >/dev/null 2>&1").code);
    EXPECT_EQ(dumpAll(s_folder), dumpAll(again));
    fs::remove_all(again);
}

// The sub-folders answer whatever their letter case on disk: a copy whose folders are spelt
// otherwise imports as the lower-case one did, and no second folder is made beside them.
TEST_F(ExampleRun, SubFoldersSpeltInAnyCaseImportTheSame) {
    struct Spelling {
        const char* db;
        const char* db2;
        const char* net;
        const char* ini;
    };
    const Spelling spellings[] = {{"DB", "Db2", "NET", "INI"}, {"Db", "DB2", "Net", "Ini"}};
    // The summaries without their times, the folder named the same.
    auto summaries = [](const std::string& text, const std::string& folder) {
        std::string out;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            start = end + 1;
            if (line.starts_with("importa: Aviso") || line.starts_with("Importando: ")) continue;
            for (std::size_t at; (at = line.find(folder)) != std::string::npos;)
                line.replace(at, folder.size(), "PASTA");
            const std::size_t time = line.rfind(" s");
            const std::size_t comma = line.rfind(", ");
            if (time != std::string::npos && time + 2 == line.size() && comma != std::string::npos)
                line.erase(comma);
            out += line + "\n";
        }
        return out;
    };
    auto lowerNames = [](const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) {
            std::string name = e.path().filename().string();
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    for (const Spelling& s : spellings) {
        SCOPED_TRACE(std::string(s.db) + " " + s.db2 + " " + s.net + " " + s.ini);
        const std::string folder = s_folder + "-" + s.db + s.db2;
        ASSERT_EQ(0, run("PXTOOL=" + bin("pxtool") + " " + SIVARO_SOURCE_DIR +
                         "/scripts/example-folder '" + folder + "'")
                         .code);
        const fs::path root(folder);
        fs::rename(root / "db", root / s.db);
        fs::rename(root / "db2", root / s.db2);
        fs::rename(root / "ini", root / s.ini);
        fs::create_directory(root / s.net);

        const Output spelt =
            run(bin("importa") + " --pasta '" + folder + "' --decimal , --todos 2>&1");
        EXPECT_EQ(s_import.code, spelt.code);
        EXPECT_EQ(summaries(s_import.text, s_folder), summaries(spelt.text, folder));
        EXPECT_EQ(lowerNames(s_folder), lowerNames(folder));
        for (const auto& [lower, other] :
             std::vector<std::pair<std::string, std::string>>{{"db", s.db}, {"db2", s.db2}}) {
            for (const auto& e : fs::directory_iterator(root / other)) {
                if (e.path().extension() != ".db") continue;
                const std::string name = e.path().filename().string();
                SCOPED_TRACE(other + "/" + name);
                EXPECT_EQ(
                    run(bin("pxtool") + " dump '" + s_folder + "/" + lower + "/" + name + "'").text,
                    run(bin("pxtool") + " dump '" + e.path().string() + "'").text);
            }
        }
        const Output info = run(bin("pxtool") + " info '" + folder + "/" + s.db + "/Cliente.db'");
        EXPECT_NE(std::string::npos, info.text.find("field 1: cod\t+")) << info.text;
        fs::remove_all(folder);
    }
}

}  // namespace
