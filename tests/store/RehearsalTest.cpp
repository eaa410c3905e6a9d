// A rehearsal changes tables in memory only: later opens of the same rehearsal see the changes,
// no file of the folder changes, and the end of the rehearsal drops them.

#include <gtest/gtest.h>

#include <functional>

#include "FolderSnapshot.h"
#include "StoreTestUtil.h"
#include "store/Rehearsal.h"
#include "store/TableFileRoutines.h"
#include "util/Errors.h"

namespace sivaro {
namespace {

std::int64_t rowsOf(TableStore& store, const std::string& folder) {
    auto t = testing::openTable(store, folder, "marca");
    return t->recordCount();
}

void addRow(TableStore& store, const std::string& folder, const std::string& name) {
    auto t = testing::openTable(store, folder, "marca");
    t->insert();
    t->fieldByName("mar").setAsString(name);
    t->post();
}

std::uint32_t counterOf(const std::string& dbPath) {
    const std::string bytes = testing::readFileText(dbPath);
    return static_cast<unsigned char>(bytes[73]) | static_cast<unsigned char>(bytes[74]) << 8 |
           static_cast<unsigned char>(bytes[75]) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[76])) << 24;
}

struct Case {
    const char* what;
    // Runs inside the rehearsal; returns what it saw.
    std::function<std::string(TableStore&, const std::string&)> change;
    const char* seen;
};

TEST(Rehearsal, ChangesStayInMemoryAndLeaveEveryFileAsItWas) {
    const Case cases[] = {
        {"rows posted, closed and seen by a later open",
         [](TableStore& s, const std::string& f) {
             addRow(s, f, "Acme");
             addRow(s, f, "Beta");
             return std::to_string(rowsOf(s, f));
         },
         "3"},
        {"an emptied table",
         [](TableStore& s, const std::string& f) {
             auto t = testing::openTable(s, f, "marca");
             t->close();
             t->emptyTable();
             return std::to_string(rowsOf(s, f));
         },
         "0"},
        {"the counter set, then a row numbered from it",
         [](TableStore& s, const std::string& f) {
             if (!GravaAutoInc(f + "/marca.db", 40)) return std::string("refused");
             addRow(s, f, "Gama");
             auto t = testing::openTable(s, f, "marca");
             t->locate("mar", {"Gama"}, false);
             return t->fieldByName("cod").asString();
         },
         "41"},
        {"a field's type changed",
         [](TableStore& s, const std::string& f) {
             AlteraCampo(f, "marca.db", "cod", "cod", 3, 0);
             auto t = testing::openTable(s, f, "marca");
             return std::to_string(static_cast<int>(t->fieldByName("cod").dataType()));
         },
         "3"},
        {"an SQL statement",
         [](TableStore& s, const std::string& f) {
             auto q = s.createQuery();
             q->setDatabaseName(f);
             q->sql().push_back("update marca set mar = 'Zeta'");
             q->execSQL();
             auto t = testing::openTable(s, f, "marca");
             return t->fieldByName("mar").asString();
         },
         "Zeta"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::TempDir dir;
        testing::pinSettings();
        testing::createFromSchema(dir.file("marca.db"), "cod\t+\t0\t*\nmar\tA\t20\n");
        {
            auto store = createParadoxStore();
            addRow(*store, dir.str(), "Primeira");
        }
        const auto before = testing::snapshotFolder(dir.path());
        {
            auto store = createParadoxStore();
            std::string seen;
            {
                Rehearsal rehearsal;
                seen = c.change(*store, dir.str());
                EXPECT_EQ(testing::folderChanges(before, testing::snapshotFolder(dir.path())), "");
            }
            EXPECT_EQ(seen, c.seen);
            // After the rehearsal the table is the one on disk again.
            EXPECT_EQ(rowsOf(*store, dir.str()), 1);
            EXPECT_EQ(counterOf(dir.file("marca.db")), 1u);
        }
        EXPECT_EQ(testing::folderChanges(before, testing::snapshotFolder(dir.path())), "");
    }
}

TEST(Rehearsal, AnInterruptedUpdateIsRefusedNotFinished) {
    testing::TempDir dir;
    testing::createFromSchema(dir.file("marca.db"), "cod\t+\t0\t*\nmar\tA\t20\n");
    { std::ofstream(dir.file("marca.db.switch")) << "R marca.db\n"; }
    const auto before = testing::snapshotFolder(dir.path());
    auto store = createParadoxStore();
    Rehearsal rehearsal;
    try {
        testing::openTable(*store, dir.str(), "marca");
        ADD_FAILURE() << "opened";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("interrupted update"), std::string::npos) << e.what();
    }
    EXPECT_EQ(testing::folderChanges(before, testing::snapshotFolder(dir.path())), "");
}

TEST(Rehearsal, TableOpenedDuringTheRehearsalAndClosedAfterIsNotWritten) {
    testing::TempDir dir;
    testing::createFromSchema(dir.file("marca.db"), "cod\t+\t0\t*\nmar\tA\t20\n");
    const auto before = testing::snapshotFolder(dir.path());
    auto store = createParadoxStore();
    std::unique_ptr<Table> held;
    {
        Rehearsal rehearsal;
        held = testing::openTable(*store, dir.str(), "marca");
        held->insert();
        held->fieldByName("mar").setAsString("Acme");
        held->post();
    }
    held->close();
    EXPECT_EQ(testing::folderChanges(before, testing::snapshotFolder(dir.path())), "");
    EXPECT_EQ(rowsOf(*store, dir.str()), 0);
}

}  // namespace
}  // namespace sivaro
