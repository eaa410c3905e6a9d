// A run stopped at any moment of writing its tables is undone whole, without forcing: the run
// is stopped (as a kill would stop it) before each step of each switch of a table's files and
// before each save of its manifest, and the undo must leave the data folder byte for byte as
// it was before the run.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "FolderSnapshot.h"
#include "ScratchFolder.h"
#include "TestHost.h"
#include "import/RunHistory.h"
#include "import/RunUndo.h"
#include "store/FamilyFiles.h"
#include "store/TableCreate.h"
#include "store/TableStore.h"
#include "util/Errors.h"
#include "util/Paths.h"
#include "util/SafeWrite.h"

namespace sivaro::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kStopped = 42;
int g_stopAt = -1;
int g_point = 0;

// One more moment of the run; the run ends there when it is the chosen one.
void moment() {
    if (g_point++ == g_stopAt) ::_exit(kStopped);
}

void write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

// A data folder whose table holds rows of an earlier import, and a source that empties the
// table (a switch and a counter written in place) and fills it again (another switch).
void prepare(const fs::path& folder) {
    fs::create_directories(folder / "db");
    const std::string table = (folder / "db" / "Marca.db").string();
    px::createTable(table, px::parseSchema("cod\t+\t4\t*\nmar\tA\t10\nqtd\tI\t4\n"));
    {
        auto store = createParadoxStore();
        auto t = store->createTable();
        t->setDatabaseName((folder / "db").string());
        t->setTableName("Marca");
        t->open();
        for (const char* name : {"Velha", "Antiga"}) {
            t->insert();
            t->fieldByName("mar").setAsString(name);
            t->post();
        }
        t->close();
    }
    write(folder / "Definicao.ini",
          "[Arquivos]\r\nmarcas.txt=Marca\r\n[marcas.txt.campos]\r\nD=Marca.mar\r\n"
          "[marcas.txt.opcoes]\r\nLimparTabela=1\r\n");
    write(folder / "marcas.txt", "D\r\nAcme\r\nBeta\r\nGama\r\n");
}

// Runs the import in a child stopped at moment `stopAt`; true when it stopped there, false when
// the run had fewer moments and ended.
bool runStoppingAt(const fs::path& folder, int stopAt) {
    const pid_t child = ::fork();
    if (child == 0) {
        g_stopAt = stopAt;
        px::setSwitchStepHook([](int) { moment(); });
        setWriteFaultHook([](WriteStep step, const std::string& path) {
            if (step == WriteStep::Create && path.find(kManifestName) != std::string::npos)
                moment();
            return 0;
        });
        TestHost host(folder.string());
        host.sourceList = {"marcas.txt"};
        ImportEngine engine(host, [](const std::string&) { return createParadoxStore(); });
        try {
            engine.runSources();
        } catch (const std::exception&) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 1) << "the run failed at moment " << stopAt;
    return WIFEXITED(status) && WEXITSTATUS(status) == kStopped;
}

TEST(StoppedRunUndo, ARunStoppedAtAnyMomentIsUndoneWholeWithoutForcing) {
    int stopped = 0;
    for (int stopAt = 0; stopAt < 200; ++stopAt) {
        SCOPED_TRACE("stopped at moment " + std::to_string(stopAt));
        ScratchFolder scratch("sivaro-stopped-run");
        const fs::path folder = scratch.path() / "dados";
        prepare(folder);
        const FolderSnapshot before = snapshotFolder(folder);
        if (!runStoppingAt(folder, stopAt)) break;
        ++stopped;
        try {
            undoRun(folder.string(), "", false);
        } catch (const std::exception& e) {
            // Stopped before its manifest was first written: nothing was changed to undo.
            EXPECT_NE(std::string(e.what()).find("Nenhuma importa"), std::string::npos) << e.what();
        }
        EXPECT_EQ(folderChanges(before, snapshotFolder(folder, kHistoryFolder)), "");
    }
    // Two switches of four steps, a counter written in place and the manifest's saves.
    EXPECT_GT(stopped, 15);
}

TEST(StoppedRunUndo, ATableChangedAfterAStoppedRunIsNotOverwrittenWithoutForcing) {
    ScratchFolder scratch("sivaro-stopped-run");
    const fs::path folder = scratch.path() / "dados";
    FolderSnapshot before;
    // Stopped while the new files of the emptied table take their names.
    for (int stopAt = 0; stopAt < 200; ++stopAt) {
        fs::remove_all(folder);
        prepare(folder);
        before = snapshotFolder(folder);
        ASSERT_TRUE(runStoppingAt(folder, stopAt));
        if (fs::exists(folder / "db" / "Marca.db.switch")) break;
    }
    ASSERT_TRUE(fs::exists(folder / "db" / "Marca.db.switch"));
    {
        // Another program opens the table (completing the switch) and adds a row.
        auto store = createParadoxStore();
        auto t = store->createTable();
        t->setDatabaseName((folder / "db").string());
        t->setTableName("Marca");
        t->open();
        t->insert();
        t->fieldByName("mar").setAsString("Depois");
        t->post();
        t->close();
    }
    const FolderSnapshot changed = snapshotFolder(folder, kHistoryFolder);
    try {
        undoRun(folder.string(), "", false);
        ADD_FAILURE() << "the undo was not refused";
    } catch (const EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find("db/Marca.db: mudou depois da importa"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_EQ(folderChanges(changed, snapshotFolder(folder, kHistoryFolder)), "");
    undoRun(folder.string(), "", true);
    EXPECT_EQ(folderChanges(before, snapshotFolder(folder, kHistoryFolder)), "");
}

}  // namespace
}  // namespace sivaro::testing
