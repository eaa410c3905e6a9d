#include <gtest/gtest.h>

#include "import/LookupIndex.h"
#include "import/StateSuffix.h"

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

// The indexed scan must give what a plain scan over every row gives: the best of the rows for
// which Semelhante(value, name, length of value, 0.9) holds, and nothing for a value without
// sound.
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

    // The row the plain scan takes: among the rows that pass Semelhante, the one fewest edits
    // away (folded names), then the one whose key agrees in more places, then the first; with
    // " far" after its code when it is more than two edits away.
    static std::string plainScan(const std::vector<std::string>& names, const std::string& value) {
        const int n = static_cast<int>(value.size());
        const std::string key = ChaveFonetica(value, n);
        bool sound = false;
        for (size_t i = 1; i < key.size(); ++i) sound = sound || (key[i] >= '1' && key[i] <= '6');
        if (!sound) return {};
        const std::string typed = upper1252(TiraAcentos(value));
        size_t best = names.size();
        int bestEdits = 0;
        size_t bestDiffs = 0;
        for (size_t r = 0; r < names.size(); ++r) {
            if (!Semelhante(value, names[r], n, 0.9)) continue;
            const std::string other = ChaveFonetica(names[r], n);
            size_t diffs = 0;
            for (size_t j = 0; j < key.size(); ++j)
                diffs += j >= other.size() || other[j] != key[j];
            const int edits = LookupIndex::editDistance(typed, upper1252(TiraAcentos(names[r])));
            if (best == names.size() || edits < bestEdits ||
                (edits == bestEdits && diffs < bestDiffs)) {
                best = r;
                bestEdits = edits;
                bestDiffs = diffs;
            }
        }
        if (best == names.size()) return {};
        return std::to_string(best + 1) + (bestEdits > LookupIndex::kMaxEdits ? " far" : "");
    }

    static std::string answer(LookupIndex& index, const std::string& value) {
        const LookupIndex::Match m = index.similar(value, -1);
        if (m.kind == LookupIndex::Kind::None) return {};
        return index.entry(m.row).code + (m.kind == LookupIndex::Kind::TooFar ? " far" : "");
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
                                      "B",
                                      "SAO SEBASTIAO DA VARGEM ALEGRE",
                                      "VILA BELA DA SANTISSIMA TRINDADE"};
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
                                       "XIQUE XIQUE",
                                       "SAO SEBASTIAO DA VARJEM ALEGRE",
                                       "VILA BELA DA SANTISIMA TRINDADE"};
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
        EXPECT_EQ(answer(index, v), plainScan(names, v));
        EXPECT_EQ(answer(index, v), plainScan(names, v));  // the kept answer
    }
}

TEST_F(LookupIndexScan, RowsPostedLaterAreSeen) {
    std::unique_ptr<Table> table = tableOf({"CAMPINAS"});
    LookupIndex index;
    index.refresh(*table, "cid");
    EXPECT_EQ(answer(index, "SAO PAOLO"), "");
    table->insert();
    table->fieldByName("cid").setAsString("SAO PAULO");
    table->post();
    index.refresh(*table, "cid");
    EXPECT_EQ(answer(index, "SAO PAOLO"), "2");
    const LookupIndex::Match m = index.exact("sao paulo", -1);
    ASSERT_EQ(m.kind, LookupIndex::Kind::Exact);
    EXPECT_EQ(index.entry(m.row).code, "2");
}

}  // namespace
}  // namespace sivaro

namespace sivaro {
namespace {

// Edits between two names: insertions, deletions, replacements, and a swap of two neighbours
// counted once.
TEST(LookupIndex, EditDistance) {
    const struct {
        const char* a;
        const char* b;
        int edits;
    } cases[] = {
        {"", "", 0},
        {"PACAEMBU", "PACAEMBU", 0},
        {"PACEAMBU", "PACAEMBU", 1},  // swap
        {"BREO SANTO", "BREJO SANTO", 1},
        {"BOM JESSUS", "BOM JESUS", 1},
        {"BOM JESUZ", "BOM JESUS", 1},
        {"KITTEN", "SITTING", 3},
        {"ABC", "", 3},
        {"", "ABC", 3},
        {"AB", "BA", 1},
        {"ABCD", "BADC", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(LookupIndex::editDistance(c.a, c.b), c.edits);
        EXPECT_EQ(LookupIndex::editDistance(c.b, c.a), c.edits);
    }
}

// A small city table kept with accents, with homonyms in two states and near-names, its state
// in a field named in one of the ways the product names it.
class LookupIndexCities : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("sivaro-lookupcities-" + std::to_string(::getpid()) + "-" + GetParam());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        const std::string folder = fromOsPath(m_dir);
        const std::string stateField = GetParam();
        px::createTable(folder + "/cidade.db",
                        px::parseSchema("cod\t+\t4\t*\ncid\tA\t40\n" + stateField + "\tA\t20\n"));
        m_store = createParadoxStore();
        m_table = m_store->createTable();
        m_table->setDatabaseName(folder);
        m_table->setTableName("cidade.db");
        m_table->open();
        // The state as an abbreviation, or by name where the field is "estado".
        const bool byName = stateField == "estado";
        const struct {
            const char* name;  // UTF-8
            const char* uf;
            const char* state;
        } rows[] = {
            {"São Paulo", "SP", "São Paulo"},           // 1
            {"Bom Jesus", "PB", "Paraíba"},             // 2
            {"Bom Jesus", "RS", "Rio Grande do Sul"},   // 3
            {"Divinópolis", "MG", "Minas Gerais"},      // 4
            {"Damianópolis", "GO", "Goiás"},            // 5
            {"Pouso Novo", "RS", "Rio Grande do Sul"},  // 6
            {"Pacaembu", "SP", "São Paulo"},            // 7
            {"Baixo Guandu", "ES", "Espírito Santo"},   // 8
            {"Brejo Santo", "CE", "Ceará"},             // 9
            {"Xangri-lá", "RS", "Rio Grande do Sul"},   // 10
            {"Sem-Peixe", "MG", "Minas Gerais"},        // 11
            {"SAO PAULO", "SP", "São Paulo"},           // 12: the same city spelt without accents
            {"Santa Rosa", "RS", "Rio Grande do Sul"},  // 13
            {"Santa Rosa", "SP", "São Paulo"},          // 14
        };
        for (const auto& r : rows) {
            m_table->insert();
            m_table->fieldByName("cid").setAsString(utf8ToCp1252(r.name));
            m_table->fieldByName(stateField).setAsString(utf8ToCp1252(byName ? r.state : r.uf));
            m_table->post();
        }
        m_index.refresh(*m_table, "cid");
    }
    void TearDown() override {
        m_table->close();
        std::filesystem::remove_all(m_dir);
    }

    // "exact 4", "other 2", "similar 7", "far 8" or "none" for a lookup of `value` (UTF-8) that
    // prefers `uf`.
    std::string lookup(const char* value, const char* uf) {
        const std::string v = utf8ToCp1252(value);
        const int state = *uf ? stateOfText(uf) : kNoState;
        LookupIndex::Match m = m_index.exact(v, state);
        if (m.kind == LookupIndex::Kind::None) m = m_index.similar(v, state);
        const std::string code = m.row == LookupIndex::kNoRow ? "" : m_index.entry(m.row).code;
        switch (m.kind) {
            case LookupIndex::Kind::None:
                return "none";
            case LookupIndex::Kind::Exact:
                return "exact " + code;
            case LookupIndex::Kind::ExactOtherState:
                return "other " + code;
            case LookupIndex::Kind::Similar:
                return "similar " + code;
            case LookupIndex::Kind::TooFar:
                return "far " + code;
        }
        return "?";
    }

    std::filesystem::path m_dir;
    std::unique_ptr<TableStore> m_store;
    std::unique_ptr<Table> m_table;
    LookupIndex m_index;
};

TEST_P(LookupIndexCities, FindsTheRightRow) {
    EXPECT_TRUE(m_index.hasStates());
    const struct {
        const char* value;
        const char* uf;
        const char* found;
    } cases[] = {
        // Exact step: accents and letter case folded on both sides.
        {"Divinópolis", "", "exact 4"},
        {"DIVINOPOLIS", "", "exact 4"},
        {"divinópolis", "", "exact 4"},
        {"DIVINÓPOLIS", "MG", "exact 4"},
        {"Xangri-lá", "", "exact 10"},
        {"XANGRI-LA", "RS", "exact 10"},
        {"sem-peixe", "MG", "exact 11"},
        // Of two spellings of one name, the one typed comes first, then table order.
        {"SAO PAULO", "", "exact 12"},
        {"São Paulo", "", "exact 1"},
        {"sao paulo", "", "exact 12"},
        // Homonyms: the state typed first, else the first in table order.
        {"Bom Jesus", "", "exact 2"},
        {"Bom Jesus", "PB", "exact 2"},
        {"Bom Jesus", "RS", "exact 3"},
        {"bom jesus", "rs", "exact 3"},
        {"Santa Rosa", "SP", "exact 14"},
        {"Bom Jesus", "SP", "other 2"},
        // Similarity scan: the closest of the names that pass, not the first that passes.
        {"paceambu", "", "similar 7"},
        {"Pacaenbu", "", "similar 7"},
        {"Sao Paolo", "", "similar 1"},
        {"Damianopolys", "", "similar 5"},
        {"Bom Jesuss", "", "similar 2"},
        {"Bom Jesuss", "RS", "similar 3"},
        {"Santa Rossa", "SP", "similar 14"},
        {"Santa Rossa", "", "similar 13"},
        {"Santa Rossa", "MG", "similar 13"},  // no row of MG passes: the whole table
        // A best candidate more than two edits away is only proposed.
        {"Breo Santo", "", "far 8"},
        {"Baxo Gandoo", "", "far 8"},
        // Nothing passes, or there is no sound to compare.
        {"Curitiba", "", "none"},
        {"", "", "none"},
        {"Aeiou", "", "none"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.value) + " " + c.uf);
        EXPECT_EQ(lookup(c.value, c.uf), c.found);
    }
}

INSTANTIATE_TEST_SUITE_P(StateFields, LookupIndexCities,
                         ::testing::Values("uf", "est", "estado", "UF"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) + (info.index == 3 ? "_capitals" : "");
                         });

// A table without a state field answers the whole table, whatever state is asked for.
TEST_F(LookupIndexScan, WithoutStateFieldStatesAreIgnored) {
    std::unique_ptr<Table> table = tableOf({"BOM JESUS", "BOM JESUS", "SAO PAULO"});
    LookupIndex index;
    index.refresh(*table, "cid");
    EXPECT_FALSE(index.hasStates());
    const LookupIndex::Match m = index.exact("Bom Jesus", stateOfText("RS"));
    EXPECT_EQ(m.kind, LookupIndex::Kind::Exact);
    EXPECT_EQ(index.entry(m.row).code, "1");
    const LookupIndex::Match s = index.similar("SAO PAOLO", stateOfText("RS"));
    EXPECT_EQ(s.kind, LookupIndex::Kind::Similar);
    EXPECT_EQ(index.entry(s.row).code, "3");
}

}  // namespace
}  // namespace sivaro
