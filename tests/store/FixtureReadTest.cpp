// The real tables that the original engine wrote, read value for value.

#include <gtest/gtest.h>

#include "StoreTestUtil.h"
#include "store/FamilyCheck.h"
#include "store/FieldCodec.h"
#include "store/PxTable.h"
#include "util/Errors.h"

namespace sivaro {
namespace {

using testing::fixtures;
using testing::openTable;
using testing::readAll;
using Rows = std::vector<std::vector<std::string>>;

class FixtureRead : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::pinSettings('.');
        m_store = createParadoxStore();
    }
    std::unique_ptr<Table> open(const std::string& name) {
        return openTable(*m_store, fixtures(), name);
    }
    std::unique_ptr<TableStore> m_store;
};

struct HeaderCase {
    const char* file;
    std::int64_t rows;
    bool keyed;
    int version;
    int blockKb;
    int codePage;
    const char* sortName;
    std::uint32_t autoInc;
};

class FixtureHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(FixtureHeader, FactsAndConsistency) {
    const HeaderCase& c = GetParam();
    auto t = px::PxTable::load(fixtures() + "/" + c.file);
    EXPECT_EQ(c.rows, t->rowCount());
    EXPECT_EQ(c.keyed, t->keyed());
    EXPECT_EQ(c.version, t->version());
    EXPECT_EQ(c.blockKb, t->blockSizeKb());
    EXPECT_EQ(c.codePage, t->codePage());
    EXPECT_EQ(c.sortName, t->sortOrderName());
    EXPECT_EQ(c.autoInc, t->autoInc());
    const px::FamilyReport r = px::inspectFamily(fixtures() + "/" + c.file);
    // TypSammlung is keyed but came without its .PX.
    if (std::string(c.file) != "TypSammlung.DB") {
        EXPECT_EQ(std::vector<std::string>{}, r.problems);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, FixtureHeader,
    ::testing::Values(HeaderCase{"long.db", 3, true, 11, 2, 850, "ascii", 3},
                      HeaderCase{"memo.db", 2, true, 11, 2, 850, "ascii", 2},
                      HeaderCase{"CUSTOMER.DB", 20, true, 12, 2, 1252, "ANSII850", 44},
                      HeaderCase{"ORDERS.DB", 224, true, 12, 2, 437, "ascii", 0},
                      HeaderCase{"tblsttes.DB", 58, true, 12, 16, 437, "ascii", 0},
                      HeaderCase{"C.DB", 3, true, 11, 2, 1252, "ANSII850", 0},
                      HeaderCase{"CONTACTS.DB", 55, false, 12, 2, 437, "ascii", 0},
                      HeaderCase{"date7.db", 5, false, 11, 2, 850, "ascii", 0},
                      HeaderCase{"timestamp.db", 2, false, 11, 2, 850, "ascii", 0},
                      HeaderCase{"bcd.db", 3, false, 11, 2, 850, "ascii", 0},
                      HeaderCase{"logical.db", 4, false, 11, 2, 1252, "ANSII850", 0},
                      HeaderCase{"bytes.db", 1, false, 11, 2, 850, "ascii", 0},
                      HeaderCase{"TypSammlung.DB", 5, true, 12, 2, 1252, "ANSIINTL", 5}),
    [](const ::testing::TestParamInfo<HeaderCase>& info) {
        std::string name = info.param.file;
        return name.substr(0, name.find('.'));
    });

TEST_F(FixtureRead, LongHasNullInLastRow) {
    auto t = open("LONG");  // name without extension, in another letter case
    EXPECT_EQ((Rows{{"1", "1"}, {"2", "2"}, {"3", ""}}), readAll(*t));
    t->first();
    t->next();
    t->next();
    EXPECT_TRUE(t->fieldByName("LONG").isNull());
    EXPECT_EQ(FieldType::AutoInc, t->fieldByName("Id").dataType());
    EXPECT_EQ(FieldType::Integer, t->fieldByName("long").dataType());
}

TEST_F(FixtureRead, MemoInLeaderAndInTypeThreeBlock) {
    auto t = open("memo.db");
    t->first();
    const std::string m1 = t->fieldByName("MEMO").asString();
    EXPECT_EQ(555u, m1.size());
    EXPECT_EQ("0123456789001234", m1.substr(0, 16));
    EXPECT_EQ('\n', m1.back());
    t->next();
    EXPECT_EQ("01234567890\n", t->fieldByName("MEMO").asString());
}

TEST_F(FixtureRead, CustomerMemosAndDates) {
    auto t = open("customer.db");
    const Rows rows = readAll(*t);
    ASSERT_EQ(20u, rows.size());
    EXPECT_EQ((std::vector<std::string>{"1", "Luke", "Justice", "luke@fun.com",
                                        "4-976 Sugarloaf Hwy", "Santa Cruz", "CA", "94766",
                                        "Small comment (less 100 symbols)", "02/02/1996"}),
              rows[0]);
    EXPECT_EQ(518u, rows[1][8].size());    // type-3 .mb block
    EXPECT_EQ(318u, rows[2][8].size());    // type-3 .mb block
    EXPECT_EQ(56864u, rows[3][8].size());  // type-2 .mb block
    EXPECT_EQ(" The PARADOX File St", rows[3][8].substr(0, 20));
    EXPECT_EQ(426u, rows[4][8].size());
    EXPECT_EQ("", rows[5][8]);
    EXPECT_EQ(
        (std::vector<std::string>{"20", "Trent", "Romar", "tromar@bellevue.org", "PO Box Q-8874",
                                  "Santa Cruz", "CA", "90427", "", "08/04/1996"}),
        rows[19]);
    EXPECT_EQ(FieldType::Memo, t->fieldByName("Comments").dataType());
    EXPECT_EQ(FieldType::Date, t->fieldByName("DateEntered").dataType());
}

TEST_F(FixtureRead, OrdersNumbersCurrencyAndKeyOrder) {
    auto t = open("ORDERS.DB");
    const Rows rows = readAll(*t);
    ASSERT_EQ(224u, rows.size());
    EXPECT_EQ((std::vector<std::string>{"1001", "1221", "03/04/1988", "05/04/1988", "UPS", "7320",
                                        "7320", "0", "FOB", "Credit", "Apr"}),
              rows[0]);
    EXPECT_EQ((std::vector<std::string>{"1101", "2165", "03/07/1989", "14/07/1989", "UPS",
                                        "11629.85", "11629.85", "0", "FOB", "Credit", "Jul"}),
              rows[98]);
    EXPECT_EQ((std::vector<std::string>{"1669", "1221", "05/05/1992", "07/05/1992", "UPS", "325",
                                        "18", "307", "FOB", "Credit", "May"}),
              rows[223]);
    for (std::size_t i = 1; i < rows.size(); ++i)
        EXPECT_LT(std::stod(rows[i - 1][0]), std::stod(rows[i][0]));
    EXPECT_EQ(FieldType::Currency, t->fieldByName("Total Invoice").dataType());
    EXPECT_EQ(FieldType::Float, t->fieldByName("Order No").dataType());
}

TEST_F(FixtureRead, SixteenKilobyteBlocksAndShorts) {
    auto t = open("tblsttes.db");
    const Rows rows = readAll(*t);
    ASSERT_EQ(58u, rows.size());
    EXPECT_EQ((std::vector<std::string>{"AK", "", "Alaska", "Juneau", "1784", "03/01/1959", "49",
                                        "", "3810", "570374", "86050", "656424", "1"}),
              rows[0]);
    EXPECT_EQ(
        (std::vector<std::string>{"WY", "Mountain", "Wyoming", "Cheyenne", "1834", "10/07/1890",
                                  "44", "360", "280", "97105", "714", "97818", "10"}),
        rows[57]);
    EXPECT_EQ(FieldType::Smallint, t->fieldByName("Admitted Order").dataType());
}

TEST_F(FixtureRead, UnkeyedContactsInFileOrder) {
    auto t = open("CONTACTS.DB");
    const Rows rows = readAll(*t);
    ASSERT_EQ(55u, rows.size());
    EXPECT_EQ((std::vector<std::string>{"Pan", "Jerry", "Kauai Dive Shoppe", "808-555-0270"}),
              rows[0]);
    EXPECT_EQ(
        (std::vector<std::string>{"Fillman", "Scott", "Divers of Blue-green", "205-555-1784"}),
        rows[54]);
}

TEST_F(FixtureRead, SmallTypesAndNulls) {
    struct Case {
        const char* file;
        Rows rows;
    };
    const Case cases[] = {
        {"C.DB", {{"1", "1", "4"}, {"2", "2", "5"}, {"3", "3", "6"}}},
        {"date7.db",
         {{"01/01/2018", "10:00:00"},
          {"01/02/2018", "10:30:00"},
          {"02/01/2018", "09:25:25"},
          {"", "10:00:00"},
          {"01/01/2018", ""}}},
        {"timestamp.db", {{""}, {"01/02/2020 01:00:01"}}},
        {"bcd.db", {{"1.23", "1", "0.123"}, {"-1.23", "-1", "-0.123"}, {"0", "", "0.9999"}}},
        {"logical.db", {{"True"}, {"False"}, {"True"}, {"True"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto t = open(c.file);
        EXPECT_EQ(c.rows, readAll(*t));
    }
}

TEST_F(FixtureRead, BytesField) {
    auto t = open("bytes.db");
    t->first();
    const std::string v = t->fieldByName("BYTES").asString();
    ASSERT_EQ(255u, v.size());
    EXPECT_EQ(std::string("1\0"
                          "2\0"
                          "3",
                          5),
              v.substr(0, 5));
    EXPECT_EQ(FieldType::Bytes, t->fieldByName("BYTES").dataType());
}

TEST_F(FixtureRead, FourteenTypesWithNegativesAndWindowsNames) {
    auto t = open("TypSammlung.DB");
    ASSERT_EQ(14, t->fieldCount());
    EXPECT_EQ("W\xe4hrung", t->field(2).fieldName());  // Windows-1252 inside the engine
    const FieldType types[] = {FieldType::String,   FieldType::Float,   FieldType::Currency,
                               FieldType::Smallint, FieldType::Integer, FieldType::BCD,
                               FieldType::Date,     FieldType::Time,    FieldType::DateTime,
                               FieldType::Memo,     FieldType::Boolean, FieldType::AutoInc,
                               FieldType::Blob,     FieldType::Bytes};
    for (int i = 0; i < 14; ++i) EXPECT_EQ(types[i], t->field(i).dataType()) << i;
    const Rows rows = readAll(*t);
    ASSERT_EQ(5u, rows.size());
    // Key order under "ANSIINTL": the alpha key, then the number.
    EXPECT_EQ("AAA Irgendein Text", rows[0][0]);
    EXPECT_EQ((std::vector<std::string>{"40", "40", "40", "40", "40", "01/01/1970", "00:00:00",
                                        "01/01/1970 11:00:00", "", "", "1"}),
              std::vector<std::string>(rows[0].begin() + 1, rows[0].begin() + 12));
    EXPECT_EQ("F\xfcnfter Datensatz", rows[2][0]);
    EXPECT_EQ("1.34", rows[2][1]);
    EXPECT_EQ("13.002", rows[2][2]);
    EXPECT_EQ("13.123457", rows[2][5]);
    EXPECT_EQ("01:10:12", rows[2][7]);
    EXPECT_EQ("Dies ist eine Memo im 'F\xfcnften Datensat'", rows[2][9]);
    EXPECT_EQ(
        (std::vector<std::string>{"Zweite Zeile", "-40", "-40", "-40", "-40", "-40", "09/09/1999",
                                  "11:11:11", "10/06/2003 11:11:11", "", "True", "2"}),
        std::vector<std::string>(rows[4].begin(), rows[4].begin() + 12));
    EXPECT_EQ("False", rows[1][10]);
    EXPECT_EQ("", rows[3][10]);
}

TEST_F(FixtureRead, CodePageTranslatedToWindows1252) {
    // tblsttes carries code page 437; a byte 0x81 there is u-umlaut, 0xFC in Windows-1252.
    EXPECT_EQ("\xfc", px::tableTextToEngine("\x81", 437));
    EXPECT_EQ("\x81", px::engineTextToTable("\xfc", 437));
    EXPECT_EQ("\xe3", px::tableTextToEngine("\xc6", 850));  // a-tilde
    EXPECT_EQ("?", px::engineTextToTable("\x80", 850));     // the euro has no place in 850
}

TEST_F(FixtureRead, LocateByKeyPrefixAndOtherFields) {
    auto t = open("ORDERS.DB");
    EXPECT_TRUE(t->locate("Order No", {"1101"}, false));
    EXPECT_EQ("2165", t->fieldByName("Customer No").asString());
    EXPECT_FALSE(t->locate("Order No", {"999999"}, false));
    EXPECT_EQ("1101", t->fieldByName("Order No").asString());  // a miss leaves the cursor
    EXPECT_TRUE(t->locate("Customer No;Month", {"1221", "May"}, false));
    EXPECT_EQ("1669", t->fieldByName("Order No").asString());
    auto c = open("CONTACTS.DB");
    EXPECT_FALSE(c->locate("Last Name", {"fillman"}, false));
    EXPECT_TRUE(c->locate("Last Name", {"fillman"}, true));
    EXPECT_EQ("Scott", c->fieldByName("First Name").asString());
    EXPECT_THROW(c->locate("Nope", {"x"}, false), EDatabaseError);
}

TEST_F(FixtureRead, MissingFieldAndTableNameThem) {
    auto t = open("long.db");
    EXPECT_EQ(nullptr, t->findField("nope"));
    try {
        t->fieldByName("nope");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ("Field 'nope' not found in table long.db", std::string(e.what()));
    }
    auto missing = m_store->createTable();
    missing->setDatabaseName(fixtures());
    missing->setTableName("absent.db");
    try {
        missing->open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("absent.db"));
    }
}

TEST_F(FixtureRead, PxtoolDumpFormats) {
    int code = 0;
    EXPECT_EQ(
        "DATE\tTIME\n2018-01-01\t10:00:00\n2018-02-01\t10:30:00\n2018-01-02\t09:25:25\n"
        "\t10:00:00\n2018-01-01\t\n",
        testing::runPxtool("dump " + fixtures() + "/date7.db", &code));
    EXPECT_EQ(0, code);
    EXPECT_EQ("BOOL\nT\nF\nT\nT\n", testing::runPxtool("dump " + fixtures() + "/logical.db"));
    EXPECT_EQ("A\tB\tC\n1.23\t1\t0.123\n-1.23\t-1\t-0.123\n0\t\t0.9999\n",
              testing::runPxtool("dump " + fixtures() + "/bcd.db"));
    const std::string memo = testing::runPxtool("dump " + fixtures() + "/memo.db");
    EXPECT_NE(std::string::npos, memo.find("2\t01234567890\\n\n"));
    const std::string typ = testing::runPxtool("dump " + fixtures() + "/TypSammlung.DB");
    EXPECT_EQ(0u, typ.find("Alpha\tNumerisch\tW\xc3\xa4hrung\t"));  // UTF-8 out
}

TEST_F(FixtureRead, PxtoolInfoReportsAndChecks) {
    int code = -1;
    const std::string out = testing::runPxtool("info " + fixtures() + "/CUSTOMER.DB", &code);
    EXPECT_EQ(0, code);
    EXPECT_NE(std::string::npos, out.find("records: 20\n"));
    EXPECT_NE(std::string::npos, out.find("auto-increment counter: 44\n"));
    EXPECT_NE(std::string::npos, out.find("sort order: ANSII850 (17)\n"));
    EXPECT_NE(std::string::npos, out.find("field 9: Comments\tM\t100\n"));
    EXPECT_NE(std::string::npos, out.find("index: CUSTOMER.X06 (City, CustNo, Blk Num)\n"));
    EXPECT_NE(std::string::npos, out.find("check: ok\n"));
    testing::runPxtool("info " + fixtures() + "/TypSammlung.DB", &code);
    EXPECT_EQ(1, code);  // keyed without its .PX
}

}  // namespace
}  // namespace sivaro

namespace sivaro {
namespace {

// A 3.x table keeps its field list at 0x58 and a 79-byte name slot, without code page; built
// here from long.db's rows since no sample of that era is at hand.
TEST(OlderVersions, VersionThreeLayoutReads) {
    const std::string src = testing::readFileText(fixtures() + "/long.db");
    std::string h(0x800, '\0');
    h.replace(0, 0x58, src.substr(0, 0x58));
    h[0x39] = 3;
    std::size_t p = 0x58;
    h[p++] = 0x16;  // +4
    h[p++] = 4;
    h[p++] = 0x04;  // I4
    h[p++] = 4;
    p += 4 + 8;
    auto put = [&](std::size_t at, const std::string& text) { h.replace(at, text.size(), text); };
    put(p, "old.db");
    p += 79;
    put(p, "Id");
    p += 3;
    put(p, "LONG");
    testing::TempDir dir;
    std::ofstream(dir.file("old.db"), std::ios::binary) << h << src.substr(0x800);
    auto store = createParadoxStore();
    testing::pinSettings('.');
    auto t = openTable(*store, dir.str(), "old");
    EXPECT_EQ((Rows{{"1", "1"}, {"2", "2"}, {"3", ""}}), readAll(*t));
    EXPECT_EQ("LONG", t->field(1).fieldName());
}

}  // namespace
}  // namespace sivaro

namespace sivaro {
namespace {

// A block taken out of the chain and put on the free list holds no rows any more.
TEST(FreeBlocks, BlocksOutsideTheChainAreSkipped) {
    testing::TempDir dir;
    testing::copyFamily("ORDERS", dir.str());
    std::string d = testing::readFileText(dir.file("ORDERS.DB"));
    auto put16 = [&](std::size_t at, unsigned v) {
        d[at] = char(v & 0xFF);
        d[at + 1] = char(v >> 8);
    };
    const std::size_t block7 = 0x800 + 6 * 0x800;
    put16(block7, 0);       // block 7 ends the chain
    put16(0x10, 7);         // last block
    put16(0x4D, 8);         // first free block
    put16(0x06, 224 - 28);  // record count
    std::ofstream(dir.file("ORDERS.DB"), std::ios::binary | std::ios::trunc) << d;
    auto store = createParadoxStore();
    testing::pinSettings('.');
    auto t = openTable(*store, dir.str(), "ORDERS");
    const Rows rows = readAll(*t);
    ASSERT_EQ(196u, rows.size());
    EXPECT_EQ("1001", rows.front()[0]);
    // Written back, the family is packed: no free block, every row where the .PX says.
    t->first();
    t->edit();
    t->fieldByName("Terms").setAsString("Net 30");
    t->post();
    t->close();
    const std::string after = testing::readFileText(dir.file("ORDERS.DB"));
    EXPECT_EQ(0, after[0x4D]);
    EXPECT_EQ(std::vector<std::string>{}, px::inspectFamily(dir.file("ORDERS.DB")).problems);
}

}  // namespace
}  // namespace sivaro
