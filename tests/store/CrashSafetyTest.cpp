// A writer killed at any moment leaves every table with either its old or its new rows, and a
// family that passes the consistency check.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "StoreTestUtil.h"
#include "store/FamilyCheck.h"
#include "util/Errors.h"

namespace sivaro {
namespace {

constexpr int kBatch = 400;

// Rounds of: open both tables, add a batch of rows (with memos) to each, close.
[[noreturn]] void writeForever(const std::string& folder) {
    auto store = createParadoxStore();
    for (int round = 0;; ++round) {
        for (const char* name : {"a", "b"}) {
            auto t = testing::openTable(*store, folder, name);
            const std::int64_t base = t->recordCount();
            for (int i = 0; i < kBatch; ++i) {
                t->insert();
                t->fieldByName("n").setAsInteger(static_cast<std::int32_t>(base + i));
                t->fieldByName("memo").setAsString(std::string(100 + (i % 3000), 'a' + i % 26));
                t->post();
            }
            t->close();
        }
    }
}

TEST(CrashSafety, KilledWriterLeavesOldOrNewFamily) {
    testing::TempDir dir;
    for (const char* name : {"a.db", "b.db"})
        testing::createFromSchema(dir.file(name), "id\t+\t0\t*\nn\tI\t0\nmemo\tM\t30\n");
    std::mt19937 rng(2024);
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        if (child == 0) writeForever(dir.str());
        ::usleep(2000 + rng() % 60000);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        auto store = createParadoxStore();
        for (const char* name : {"a", "b"}) {
            SCOPED_TRACE(std::string(name) + " round " + std::to_string(round));
            auto t = testing::openTable(*store, dir.str(), name);
            EXPECT_EQ(0, t->recordCount() % kBatch);
            std::int64_t expected = 0;
            for (t->first(); !t->eof(); t->next(), ++expected) {
                ASSERT_EQ(expected, t->fieldByName("n").asInteger());
                ASSERT_EQ(100u + expected % kBatch % 3000,
                          t->fieldByName("memo").asString().size());
            }
            t->close();
            const px::FamilyReport r = px::inspectFamily(dir.file(std::string(name) + ".db"));
            EXPECT_EQ(std::vector<std::string>{}, r.problems);
        }
    }
    // No temporary or journal is left behind once the tables were opened again.
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        const std::string n = e.path().filename();
        EXPECT_EQ(std::string::npos, n.find(".new")) << n;
        EXPECT_EQ(std::string::npos, n.find(".switch")) << n;
    }
}

}  // namespace
}  // namespace sivaro
