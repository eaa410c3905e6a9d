// The family check compares every index entry, at every level, with what it stands for: a
// damaged index is reported, naming the file and the entry, while the table still opens.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "StoreTestUtil.h"
#include "store/FamilyCheck.h"

namespace sivaro {
namespace {

using Bytes = std::string;

unsigned get16(const Bytes& d, std::size_t at) {
    return static_cast<unsigned char>(d[at]) | static_cast<unsigned char>(d[at + 1]) << 8;
}

// Offset of entry `entry` (from 0) of block `block` of a table-shaped file.
std::size_t recordAt(const Bytes& d, unsigned block, int entry) {
    const unsigned rs = get16(d, 0x00), hs = get16(d, 0x02), bs = (unsigned char)d[0x05] * 1024u;
    return hs + std::size_t(block - 1) * bs + 6 + entry * rs;
}

// A keyed table whose .px has two levels: 250 rows of 400 bytes, 10 to a 4 KB block, and
// 19 keys of 206 bytes to an index block.
void makeTwoLevelTable(const std::string& folder) {
    testing::createFromSchema(folder + "/t.db", "k\tA\t200\t*\nv\tA\t200\n");
    auto store = createParadoxStore();
    auto t = testing::openTable(*store, folder, "t");
    for (int i = 0; i < 250; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "key %04d", i);
        t->insert();
        t->fieldByName("k").setAsString(key);
        t->fieldByName("v").setAsString("value");
        t->post();
    }
    t->close();
}

struct Damage {
    const char* name;
    bool fixture;      // the CUSTOMER family (a secondary index on City) or the two-level table
    const char* file;  // the file damaged
    std::function<void(Bytes&)> change;
    const char* problem;  // words the report must hold
};

void PrintTo(const Damage& d, std::ostream* os) {
    *os << d.name;
}

class FamilyCheckDamage : public ::testing::TestWithParam<Damage> {};

TEST_P(FamilyCheckDamage, ReportsTheEntry) {
    const Damage& c = GetParam();
    testing::TempDir dir;
    if (c.fixture)
        testing::copyFamily("CUSTOMER", dir.str());
    else
        makeTwoLevelTable(dir.str());
    const std::string db = dir.file(c.fixture ? "CUSTOMER.DB" : "t.db");
    ASSERT_EQ(std::vector<std::string>{}, px::inspectFamily(db).problems);
    Bytes d = testing::readFileText(dir.file(c.file));
    c.change(d);
    std::ofstream(dir.file(c.file), std::ios::binary | std::ios::trunc) << d;
    const std::vector<std::string> problems = px::inspectFamily(db).problems;
    ASSERT_EQ(1u, problems.size());
    EXPECT_NE(std::string::npos, problems[0].find(c.problem)) << problems[0];
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, FamilyCheckDamage,
    ::testing::Values(
        // A row's City changed in the .DB, its .X06 record not.
        Damage{"StaleSecondaryIndex", true, "CUSTOMER.DB",
               [](Bytes& d) { d[recordAt(d, 1, 0) + 4 + 51 + 50 + 100 + 30] ^= 0x01; },
               "does not have (a stale index)"},
        Damage{"SecondaryKeysWithWrongKey", true, "CUSTOMER.Y06",
               [](Bytes& d) { d[recordAt(d, 1, 0)] ^= 0x01; },
               "CUSTOMER.Y06: entry 1 does not match block 1 of CUSTOMER.X06"},
        Damage{"PrimaryIndexLeafWithWrongKey", false, "t.px",
               [](Bytes& d) { d[recordAt(d, 2, 1) + 7] ^= 0x01; },
               "t.px: entry 21 does not match data block 21"},
        Damage{"PrimaryIndexRootWithWrongKey", false, "t.px",
               [](Bytes& d) { d[recordAt(d, get16(d, 0x1E), 1) + 7] ^= 0x01; },
               "t.px: entry 2 of index block 3 (level 2) does not hold the first key of block 2"},
        Damage{"PrimaryIndexRootWithWrongCount", false, "t.px",
               [](Bytes& d) { d[recordAt(d, get16(d, 0x1E), 0) + 200 + 3] ^= 0x01; },
               "t.px: entry 1 of index block 3 (level 2) counts 191 records, block 1 leads "
               "to 190"}),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

TEST(FamilyCheck, TwoLevelIndexOfTheTestIsWhatItSays) {
    testing::TempDir dir;
    makeTwoLevelTable(dir.str());
    const Bytes px = testing::readFileText(dir.file("t.px"));
    EXPECT_EQ(2, px[0x20]);          // levels
    EXPECT_EQ(3u, get16(px, 0x1E));  // two leaf blocks, then the root
}

}  // namespace
}  // namespace sivaro
