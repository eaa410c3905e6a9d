// A writer killed at any moment leaves every table with either its old or its new rows, and a
// family that passes the consistency check.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "StoreTestUtil.h"
#include "store/FamilyCheck.h"
#include "store/FamilyFiles.h"
#include "store/TableFileRoutines.h"
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

// ---- a switch stopped at each of its steps ----------------------------------------------------

// Two versions of one table, told apart by every row: the new one drops every third row, adds
// others, and gives each row a memo of another length, so that its blocks and its memo file
// differ from the old one's throughout.
constexpr int kRows = 300;
std::string memoOf(const std::string& version, int id) {
    return version + " " + std::to_string(id) + " " + std::string(20 + id % 97, 'x');
}
bool inVersion(const std::string& version, int id) {
    return version == "old" ? id <= kRows : id % 3 != 0;
}

void writeOldVersion(const std::string& folder) {
    auto store = createParadoxStore();
    auto t = testing::openTable(*store, folder, "t");
    for (int id = 1; id <= kRows; ++id) {
        t->insert();
        t->fieldByName("id").setAsInteger(id);
        t->fieldByName("memo").setAsString(memoOf("old", id));
        t->post();
    }
    t->close();
}

int g_stopAt = -1;
constexpr int kStopped = 42;
void stopHere(int step) {
    if (step == g_stopAt) ::_exit(kStopped);
}

// Rewrites the table as its new version in a child that stops before step `stopAt` of the
// switch; true when it stopped there, false when the switch had fewer steps and finished.
bool writeNewVersionStoppingAt(const std::string& folder, int stopAt) {
    const pid_t child = ::fork();
    if (child == 0) {
        g_stopAt = stopAt;
        px::setSwitchStepHook(stopHere);
        auto store = createParadoxStore();
        auto t = testing::openTable(*store, folder, "t");
        for (t->first(); !t->eof();) {
            const int id = t->fieldByName("id").asInteger();
            if (id % 3 == 0) {
                t->deleteRecord();
                continue;
            }
            t->edit();
            t->fieldByName("memo").setAsString(memoOf("new", id));
            t->post();
            t->next();
        }
        for (int id = kRows + 1; id <= kRows + 150; ++id) {
            if (id % 3 == 0) continue;
            t->insert();
            t->fieldByName("id").setAsInteger(id);
            t->fieldByName("memo").setAsString(memoOf("new", id));
            t->post();
        }
        t->close();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    return WEXITSTATUS(status) == kStopped;
}

// "old" or "new" when every row is that version's and the version's rows are all there;
// otherwise what was wrong.
std::string versionRead(const std::string& folder) {
    try {
        auto store = createParadoxStore();
        auto t = testing::openTable(*store, folder, "t");
        std::string version;
        int rows = 0;
        for (t->first(); !t->eof(); t->next(), ++rows) {
            const int id = t->fieldByName("id").asInteger();
            const std::string memo = t->fieldByName("memo").asString();
            if (version.empty()) version = memo.substr(0, 3);
            if (memo != memoOf(version, id) || !inVersion(version, id))
                return "row " + std::to_string(id) + " reads '" + memo + "' in a " + version +
                       " family";
        }
        int expected = 0;
        for (int id = 1; id <= kRows + 150; ++id) expected += inVersion(version, id);
        if (rows != expected)
            return std::to_string(rows) + " rows for " + std::to_string(expected) + " " + version;
        const auto problems = px::inspectFamily(folder + "/t.db").problems;
        if (!problems.empty()) return "check: " + problems.front();
        return version;
    } catch (const std::exception& e) {
        return std::string("error: ") + e.what();
    }
}

// versionRead() in a child that cannot write the folder (nobody, when the tests run as root).
std::string versionReadWithoutWriteAccess(const std::string& folder) {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        std::string answer;
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            answer = "cannot drop privileges";
        else if (::access(folder.c_str(), W_OK) == 0)
            answer = "the folder is still writable";
        else
            answer = versionRead(folder);
        const ssize_t n = ::write(fds[1], answer.data(), answer.size());
        ::_exit(n == static_cast<ssize_t>(answer.size()) ? 0 : 1);
    }
    ::close(fds[1]);
    std::string answer;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) answer.append(buf, n);
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    return answer;
}

// Without root the folder itself is made read only around the reader.
void folderWritable(const std::string& folder, bool yes) {
    if (::geteuid() != 0)
        std::filesystem::permissions(
            folder, std::filesystem::perms::owner_write,
            yes ? std::filesystem::perm_options::add : std::filesystem::perm_options::remove);
}

TEST(InterruptedSwitch, ReaderWithoutWriteAccessReadsOneFamily) {
    testing::TempDir dir;
    // Step 0 is the journal's commit: stopped before it, the old family stands; after it, the
    // new one, whichever of its files already bear their names.
    for (int stop = 0;; ++stop) {
        SCOPED_TRACE("writer stopped before step " + std::to_string(stop));
        const std::string folder = dir.file("s" + std::to_string(stop));
        std::filesystem::create_directory(folder);
        testing::createFromSchema(folder + "/t.db", "id\tI\t0\t*\nmemo\tM\t10\n");
        writeOldVersion(folder);
        const bool stopped = writeNewVersionStoppingAt(folder, stop);
        const std::string expected = stop == 0 && stopped ? "old" : "new";
        folderWritable(folder, false);
        EXPECT_EQ(expected, versionReadWithoutWriteAccess(folder));
        folderWritable(folder, true);
        // The first opener that can write finishes or discards the switch: the same family.
        EXPECT_EQ(expected, versionRead(folder));
        for (const auto& e : std::filesystem::directory_iterator(folder)) {
            const std::string n = e.path().filename();
            EXPECT_EQ(std::string::npos, n.find(".new")) << n;
            EXPECT_EQ(std::string::npos, n.find(".switch")) << n;
        }
        if (!stopped) {
            EXPECT_EQ(5, stop);  // the journal, the .db, .mb and .px, the journal's removal
            break;
        }
    }
}

TEST(InterruptedSwitch, ReaderWithoutWriteAccessCannotChangeTheTable) {
    testing::TempDir dir;
    testing::createFromSchema(dir.file("t.db"), "id\tI\t0\t*\nmemo\tM\t10\n");
    writeOldVersion(dir.str());
    ASSERT_TRUE(writeNewVersionStoppingAt(dir.str(), 2));  // the new .db has its name
    folderWritable(dir.str(), false);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        auto store = createParadoxStore();
        try {
            auto t = testing::openTable(*store, dir.str(), "t");
            t->insert();
        } catch (const EDatabaseError& e) {
            const std::string m = e.what();
            ::_exit(m.find("t.db is read only: an interrupted update") != std::string::npos ? 0
                                                                                            : 3);
        }
        ::_exit(4);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    folderWritable(dir.str(), true);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
}

TEST(InterruptedSwitch, CounterWriteFinishesTheSwitchFirst) {
    testing::TempDir dir;
    testing::createFromSchema(dir.file("t.db"), "id\tI\t0\t*\nmemo\tM\t10\n");
    writeOldVersion(dir.str());
    ASSERT_TRUE(writeNewVersionStoppingAt(dir.str(), 1));  // committed, nothing renamed
    ASSERT_TRUE(GravaAutoInc(dir.file("t.db"), 77));
    EXPECT_EQ("new", versionRead(dir.str()));
    const std::string db = testing::readFileText(dir.file("t.db"));
    EXPECT_EQ(std::string("\x4d\0\0\0", 4), db.substr(73, 4));
}

}  // namespace
}  // namespace sivaro
