#include <gtest/gtest.h>

#include "import/LookupIndex.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "store/TableCreate.h"
#include "store/TableStore.h"
#include "util/CodePage.h"
#include "util/Paths.h"
#include "util/Phonetic.h"
#include "util/StringUtils.h"

namespace sivaro {
namespace {

// The kept entry of a name must give, for every length, the very key ChaveFonetica builds.
TEST(LookupIndex, KeyOfEntryEqualsChaveFonetica) {
    const char* names[] = {"Bruno",
                           "Helena",
                           "S\xe3o Paulo",
                           "HHH",
                           "",
                           "B",
                           "123",
                           "SAO PAOLO",
                           "SANTOS",
                           "A",
                           "Hb",
                           "7891000100103",
                           "Jo\xe3o Pessoa",
                           "RIO DE JANEIRO",
                           "\xf1"
                           "and\xfa",
                           "H",
                           "X-Y",
                           "aeiou",
                           "Campinas-SP"};
    for (const char* name : names) {
        const LookupIndex::Entry e = LookupIndex::entryFor(name);
        for (int n = 1; n <= 20; ++n) {
            SCOPED_TRACE(std::string(name) + " N " + std::to_string(n));
            EXPECT_EQ(LookupIndex::keyOf(e, n), ChaveFonetica(name, n));
        }
    }
}

}  // namespace
}  // namespace sivaro

namespace sivaro {
namespace {

// The indexed scan must give what the plain scan gives: the first row, in table order, for which
// Semelhante(value, name, length of value, 0.9) holds, and nothing for a value without sound.
class LookupIndexScan : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("sivaro-lookupindex-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::unique_ptr<Table> tableOf(const std::vector<std::string>& names) {
        const std::string folder = fromOsPath(m_dir);
        px::createTable(folder + "/cidade.db", px::parseSchema("cod\t+\t4\t*\ncid\tA\t60\n"));
        m_store = createParadoxStore();
        auto t = m_store->createTable();
        t->setDatabaseName(folder);
        t->setTableName("cidade.db");
        t->open();
        for (const std::string& n : names) {
            t->insert();
            t->fieldByName("cid").setAsString(n);
            t->post();
        }
        return t;
    }

    static std::string plainScan(const std::vector<std::string>& names, const std::string& value) {
        const std::string key = ChaveFonetica(value, static_cast<int>(value.size()));
        bool sound = false;
        for (size_t i = 1; i < key.size(); ++i) sound = sound || (key[i] >= '1' && key[i] <= '6');
        if (!sound) return {};
        for (size_t r = 0; r < names.size(); ++r)
            if (Semelhante(value, names[r], static_cast<int>(value.size()), 0.9))
                return std::to_string(r + 1);
        return {};
    }

    std::filesystem::path m_dir;
    std::unique_ptr<TableStore> m_store;
};

TEST_F(LookupIndexScan, SameAnswerAsThePlainScan) {
    std::vector<std::string> names = {"SAO PAULO",
                                      "SANTOS",
                                      "SAO JOSE DOS CAMPOS",
                                      "SANTO ANDRE",
                                      "CAMPINAS",
                                      "RIO DE JANEIRO",
                                      "RIO CLARO",
                                      "BELO HORIZONTE",
                                      "HORTOLANDIA",
                                      "",
                                      "7891000315507",
                                      "SAO JOSE DO RIO PRETO",
                                      "JUIZ DE FORA",
                                      "JUNDIAI",
                                      "A",
                                      "SAO JOAO DEL REI",
                                      "SAO JOAO DA BOA VISTA",
                                      "XIQUE-XIQUE",
                                      "HHH",
                                      "B"};
    // The municipalities, where the data set is at hand, make the buckets realistic.
    std::ifstream data(std::string(SIVARO_DATA_DIR) + "/municipios.tsv", std::ios::binary);
    std::string line;
    std::getline(data, line);
    for (int i = 0; i < 1500 && std::getline(data, line); ++i) {
        const size_t a = line.find('\t'), b = line.find('\t', a + 1);
        if (a != std::string::npos && b != std::string::npos)
            names.push_back(upper1252(TiraAcentos(line.substr(a + 1, b - a - 1))));
    }
    std::unique_ptr<Table> table = tableOf(names);
    LookupIndex index;
    index.refresh(*table, "cid");

    std::mt19937 rng(7);
    std::vector<std::string> values = {"SAO PAOLO",
                                       "Sao Paulo",
                                       "santos",
                                       "B",
                                       "BB",
                                       "H",
                                       "1234567890",
                                       "7891000100103",
                                       "SAO JOSE DOS CANPOS",
                                       "RIO DE JANIERO",
                                       "BELO HORISONTE",
                                       "XIQUE XIQUE"};
    for (int i = 0; i < 600; ++i) {
        std::string v = names[rng() % names.size()];
        if (v.size() > 3) {
            const size_t at = rng() % (v.size() - 1);
            switch (rng() % 4) {
                case 0:
                    std::swap(v[at], v[at + 1]);
                    break;
                case 1:
                    v.erase(at, 1);
                    break;
                case 2:
                    v.insert(at, 1, 'X');
                    break;
                case 3:
                    v[at] = static_cast<char>('A' + rng() % 26);
                    break;
            }
        }
        if (!v.empty()) values.push_back(v);
    }
    for (const std::string& v : values) {
        SCOPED_TRACE(v);
        EXPECT_EQ(index.firstSimilar(v), plainScan(names, v));
        EXPECT_EQ(index.firstSimilar(v), plainScan(names, v));  // the kept answer
    }
}

TEST_F(LookupIndexScan, RowsPostedLaterAreSeen) {
    std::unique_ptr<Table> table = tableOf({"CAMPINAS"});
    LookupIndex index;
    index.refresh(*table, "cid");
    EXPECT_EQ(index.firstSimilar("SAO PAOLO"), "");
    table->insert();
    table->fieldByName("cid").setAsString("SAO PAULO");
    table->post();
    index.refresh(*table, "cid");
    EXPECT_EQ(index.firstSimilar("SAO PAOLO"), "2");
    std::string code;
    EXPECT_TRUE(index.exact("sao paulo", code));
    EXPECT_EQ(code, "2");
}

}  // namespace
}  // namespace sivaro
