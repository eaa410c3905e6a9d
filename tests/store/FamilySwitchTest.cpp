// The switch to a table's new family of files, with each of its file steps failing as the system
// would fail it: before the journal is on disk the old rows stay, after it the next opening
// completes the change; either way the failure is raised and the family stays sound.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "StoreTestUtil.h"
#include "store/FamilyCheck.h"
#include "util/Errors.h"
#include "util/SafeWrite.h"

namespace sivaro {
namespace {

namespace fs = std::filesystem;

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(FamilySwitch, AFailingFileStepKeepsTheOldRowsOrCompletesAtTheNextOpening) {
    struct Case {
        const char* what;
        WriteStep step;
        const char* pathEnd;  // the step fails only on a path ending so; "" for any
        int occurrence;       // the n-th such step fails (1 = the first)
        int rowsAfter;        // rows found by the next opening
    };
    const Case cases[] = {
        {"journal not created", WriteStep::Create, ".switch.tmp", 1, 1},
        {"journal not written", WriteStep::Write, ".switch.tmp", 1, 1},
        {"journal not flushed", WriteStep::Flush, ".switch.tmp", 1, 1},
        {"journal not renamed", WriteStep::Rename, ".switch", 1, 1},
        {"journal's folder not flushed", WriteStep::FlushFolder, "", 1, 1},
        {"new .db not renamed", WriteStep::Rename, "t.db", 1, 2},
        {"folder not flushed after the renames", WriteStep::FlushFolder, "", 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::TempDir dir;
        testing::createFromSchema(dir.file("t.db"), "id\t+\t0\t*\nn\tI\t0\n");
        auto store = createParadoxStore();
        {
            auto t = testing::openTable(*store, dir.str(), "t");
            t->insert();
            t->fieldByName("n").setAsInteger(1);
            t->post();
            t->close();
        }
        int seen = 0;
        setWriteFaultHook([&](WriteStep step, const std::string& path) {
            if (step != c.step || !endsWith(path, c.pathEnd)) return 0;
            return ++seen == c.occurrence ? EIO : 0;
        });
        bool raised = false;
        try {
            auto t = testing::openTable(*store, dir.str(), "t");
            t->insert();
            t->fieldByName("n").setAsInteger(2);
            t->post();
            t->close();
        } catch (const EDatabaseError& e) {
            raised = true;
            EXPECT_NE(std::string(e.what()).find(std::strerror(EIO)), std::string::npos)
                << e.what();
        }
        setWriteFaultHook({});
        EXPECT_TRUE(raised);
        EXPECT_EQ(seen, c.occurrence) << "the step was taken";

        auto t = testing::openTable(*store, dir.str(), "t");
        EXPECT_EQ(t->recordCount(), c.rowsAfter);
        t->close();
        for (const auto& e : fs::directory_iterator(dir.path())) {
            const std::string name = e.path().filename();
            EXPECT_TRUE(name == "t.db" || name == "t.px") << name << ": no journal, no temporary";
        }
        EXPECT_TRUE(px::inspectFamily(dir.file("t.db")).problems.empty());
    }
}

}  // namespace
}  // namespace sivaro
