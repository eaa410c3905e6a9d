// Damaged table files give an error naming the file and the fault; never a crash or a hang.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "StoreTestUtil.h"
#include "store/FamilyCheck.h"
#include "store/PxTable.h"
#include "util/Errors.h"

namespace sivaro {
namespace {

using Bytes = std::string;

void writeBytes(const std::string& path, const Bytes& d) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(d.data(), d.size());
}
void put16(Bytes& d, std::size_t at, unsigned v) {
    d[at] = char(v & 0xFF);
    d[at + 1] = char(v >> 8);
}

struct Damage {
    const char* name;
    const char* family;  // fixture stem
    const char* file;    // file damaged
    std::function<void(Bytes&)> change;
    const char* fault;  // words the message must hold
};

class CorruptTable : public ::testing::TestWithParam<Damage> {};

TEST_P(CorruptTable, ErrorNamesFileAndFault) {
    const Damage& c = GetParam();
    testing::TempDir dir;
    testing::copyFamily(c.family, dir.str());
    Bytes d = testing::readFileText(dir.file(c.file));
    c.change(d);
    writeBytes(dir.file(c.file), d);
    std::string dbName;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        if (upperAscii(e.path().extension().string()) == ".DB") dbName = e.path().filename();
    auto store = createParadoxStore();
    try {
        testing::openTable(*store, dir.str(), dbName);
        FAIL() << "opened";
    } catch (const EDatabaseError& e) {
        const std::string m = e.what();
        EXPECT_NE(std::string::npos, m.find(c.file)) << m;
        EXPECT_NE(std::string::npos, m.find(c.fault)) << m;
    }
    EXPECT_FALSE(px::inspectFamily(dir.file(dbName)).problems.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CorruptTable,
    ::testing::Values(
        Damage{"Truncated", "ORDERS", "ORDERS.DB", [](Bytes& d) { d.resize(2048 + 3000); },
               "the header counts 8 blocks, the file holds 1"},
        Damage{"HeaderCountsPastEnd", "long", "long.db", [](Bytes& d) { put16(d, 0x0C, 50); },
               "the header counts 50 blocks"},
        Damage{"RecordCountPastBlocks", "long", "long.db",
               [](Bytes& d) {
                   d[6] = char(0xFF);
                   d[7] = char(0x7F);
               },
               "records, more than its blocks can hold"},
        Damage{"ChainLoops", "ORDERS", "ORDERS.DB",
               [](Bytes& d) { put16(d, 2048 + 2048 * 2, 2); },  // block 3 points back at 2
               "the block chain loops at block 2"},
        Damage{"BlockPastEnd", "ORDERS", "ORDERS.DB", [](Bytes& d) { put16(d, 0x0E, 9); },
               "block 9 is past the end of the file"},
        Damage{"BadFieldCount", "long", "long.db", [](Bytes& d) { put16(d, 0x21, 0); },
               "bad field count 0"},
        Damage{"FieldCountPastFields", "long", "long.db", [](Bytes& d) { put16(d, 0x21, 255); },
               "unknown type"},
        Damage{"UnknownFieldType", "long", "long.db", [](Bytes& d) { d[0x78] = 0x42; },
               "unknown type 66"},
        Damage{"BadBlockSize", "long", "long.db", [](Bytes& d) { d[5] = 3; }, "block size of 3 KB"},
        Damage{"BadLastOffset", "long", "long.db", [](Bytes& d) { put16(d, 2048 + 4, 5); },
               "bad record offset 5"},
        Damage{"HeaderSizePastEnd", "long", "long.db", [](Bytes& d) { put16(d, 2, 0xF000); },
               "header size"},
        Damage{"MemoOffsetOutsideFile", "memo", "memo.mb",
               [](Bytes& d) { d.resize(4096); },  // the type-3 block is gone
               "outside the file"},
        Damage{"MemoBlockOfWrongType", "memo", "memo.mb", [](Bytes& d) { d[4096] = 9; },
               "names no memo entry"},
        Damage{"IndexWithUnknownField", "CUSTOMER", "CUSTOMER.X06",
               [](Bytes& d) { put16(d, 0x21, 0); }, "bad field count 0"}),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

TEST(CorruptTableRandom, RandomBytesNeverCrashOrHang) {
    testing::TempDir dir;
    std::mt19937 rng(12345);
    for (const char* stem : {"CUSTOMER", "ORDERS", "memo", "TypSammlung"}) {
        testing::copyFamily(stem, dir.str());
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = e.path().filename();
            const Bytes original = testing::readFileText(e.path());
            if (original.empty()) continue;
            for (int round = 0; round < 60; ++round) {
                Bytes d = original;
                const int hits = 1 + int(rng() % 8);
                for (int h = 0; h < hits; ++h) {
                    // Mostly the header and the first block heads, where the structure lives.
                    const std::size_t span =
                        rng() % 3 == 0 ? d.size() : std::min<std::size_t>(d.size(), 0x900);
                    d[rng() % span] = char(rng());
                }
                if (rng() % 10 == 0) d.resize(rng() % d.size());
                writeBytes(e.path(), d);
                try {
                    for (const auto& f : std::filesystem::directory_iterator(dir.path()))
                        if (upperAscii(f.path().extension().string()) == ".DB") {
                            auto t = px::PxTable::load(f.path().string());
                            (void)px::inspectFamily(f.path().string());
                        }
                } catch (const EDatabaseError&) {
                }
            }
            writeBytes(e.path(), original);
        }
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            std::filesystem::remove(e.path());
    }
}

}  // namespace
}  // namespace sivaro
