// "importa --desfazer" and "--historico" as an operator uses them: a run undone leaves the data
// folder byte for byte as before it, a table changed after the run is not overwritten without
// "--forcar", a killed run is undone whole, and old runs are pruned past the folder's bounds.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "FolderSnapshot.h"
#include "RunCommand.h"
#include "ScratchFolder.h"
#include "store/TableCreate.h"

namespace sivaro::testing {
namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class UndoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = makeScratchFolder("sivaro-undo");
        fs::create_directories(m_dir / "dados" / "db");
        px::createTable((m_dir / "dados" / "db" / "Marca.db").string(),
                        px::parseSchema("cod\t+\t4\t*\nmar\tA\t10\nqtd\tI\t4\n"));
        write("Definicao.ini",
              "[Arquivos]\r\nmarcas.txt=Marca\r\n[marcas.txt.campos]\r\nD=Marca.mar\r\n");
        write("marcas.txt", "D\r\nAcme\r\nBeta\r\n");
        // A first run, so that the table holds rows before the run under test.
        EXPECT_EQ(run("--todos").status, 0);
        fs::remove_all(m_dir / "dados" / "importacoes");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void write(const std::string& name, const std::string& text) {
        std::ofstream(m_dir / "dados" / name, std::ios::binary) << text;
    }

    Result run(const std::string& args) {
        const std::string cmd = std::string(SIVARO_BINARY_DIR) + "/bin/importa --pasta " +
                                folder().string() + " " + args + " >" + (m_dir / "out").string() +
                                " 2>" + (m_dir / "err").string();
        Result r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(m_dir / "out");
        r.err = slurp(m_dir / "err");
        return r;
    }

    // The data folder without the kept runs.
    FolderSnapshot data() const { return snapshotFolder(folder(), "importacoes"); }
    fs::path folder() const { return m_dir / "dados"; }
    std::vector<fs::path> runs() const {
        std::vector<fs::path> found;
        for (const auto& e : fs::directory_iterator(folder() / "importacoes")) found.push_back(e);
        std::sort(found.begin(), found.end());
        return found;
    }
    fs::path m_dir;
};

TEST_F(UndoTest, RunThenUndoLeavesTheFolderAsBefore) {
    write("Definicao.ini",
          "[Arquivos]\r\nmarcas.txt=Marca\r\n[marcas.txt.campos]\r\nD=Marca.mar\r\n"
          "[marcas.txt.opcoes]\r\nLimparTabela=1\r\n");
    const FolderSnapshot prepared = data();
    ASSERT_EQ(run("--todos").status, 0);
    ASSERT_NE(folderChanges(prepared, data()), "");
    ASSERT_EQ(runs().size(), 1u);
    const std::string manifest = slurp(runs()[0] / "importacao.ini");
    for (const char* expected : {"ExecutadaPor=importa --pasta", "Estado=concluida",
                                 "marcas.txt=Marca", "Inseridas=2", "db/Marca.db=tabela"})
        EXPECT_NE(manifest.find(expected), std::string::npos) << expected << "\n" << manifest;

    const Result undo = run("--desfazer");
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_NE(undo.out.find("reposto db/Marca.db"), std::string::npos) << undo.out;
    EXPECT_EQ(folderChanges(prepared, data()), "");

    // Undone once: a second undo has nothing left.
    const Result again = run("--desfazer");
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("Nenhuma importa\xc3\xa7\xc3\xa3o guardada para desfazer"),
              std::string::npos)
        << again.err;
    const Result history = run("--historico");
    EXPECT_EQ(history.status, 0);
    EXPECT_NE(history.out.find("desfeita"), std::string::npos) << history.out;
    EXPECT_NE(history.out.find("marcas.txt: 2 inseridas, 0 atualizadas, 0 com erro"),
              std::string::npos)
        << history.out;
}

TEST_F(UndoTest, ATableChangedAfterTheRunIsNotOverwrittenWithoutForce) {
    const FolderSnapshot before = data();
    ASSERT_EQ(run("--todos").status, 0);
    // Changed by hand after the run: another run without history does it.
    write("Definicao.ini",
          "[Arquivos]\r\nmarcas.txt=Marca\r\n[marcas.txt.campos]\r\nD=Marca.mar\r\n"
          "[Importacoes]\r\nManter=0\r\n");
    const std::string runName = runs()[0].filename().string();
    ASSERT_EQ(run("--todos").status, 0);
    ASSERT_EQ(runs().size(), 1u);
    const FolderSnapshot changed = data();

    const Result refused = run("--desfazer " + runName);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("db/Marca.db: mudou depois da importa\xc3\xa7\xc3\xa3o"),
              std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("--forcar"), std::string::npos) << refused.err;
    EXPECT_EQ(folderChanges(changed, data()), "");

    const Result forced = run("--desfazer " + runName + " --forcar");
    EXPECT_EQ(forced.status, 0) << forced.err;
    // Only the table is put back: Definicao.ini was changed by hand, not by the run.
    FolderSnapshot expected = before;
    expected["Definicao.ini"] = changed.at("Definicao.ini");
    EXPECT_EQ(folderChanges(expected, data()), "");
}

TEST_F(UndoTest, AKilledRunIsUndoneWhole) {
    std::string lines = "D\r\n";
    for (int i = 0; i < 400000; ++i) lines += "Nome " + std::to_string(i) + "\r\n";
    write("muitas.txt", lines);
    write("Definicao.ini",
          "[Arquivos]\r\nmuitas.txt=Marca\r\n[muitas.txt.campos]\r\nD=Marca.mar\r\n"
          "[muitas.txt.opcoes]\r\nLimparTabela=1\r\n");
    const FolderSnapshot before = data();

    const pid_t child = ::fork();
    if (child == 0) {
        const std::string program = std::string(SIVARO_BINARY_DIR) + "/bin/importa";
        const std::string pasta = folder().string();
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::execl(program.c_str(), program.c_str(), "--pasta", pasta.c_str(), "--todos", nullptr);
        std::_Exit(127);
    }
    // Killed once the emptied table is on disk, in the middle of its records.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool emptied = false;
    while (!emptied && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!fs::exists(folder() / "importacoes")) continue;
        for (const auto& r : fs::directory_iterator(folder() / "importacoes")) {
            const std::string m = slurp(r.path() / "importacao.ini");
            emptied = emptied || m.find("Depois=M") != std::string::npos;
        }
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(emptied);
    const std::string manifest = slurp(runs()[0] / "importacao.ini");
    if (manifest.find("Estado=em andamento") == std::string::npos)
        GTEST_SKIP() << "the run ended before it was killed";
    EXPECT_NE(folderChanges(before, data()), "");

    const Result undo = run("--desfazer");
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(folderChanges(before, data()), "");
}

TEST_F(UndoTest, OldRunsArePrunedPastTheBound) {
    write("Definicao.ini",
          "[Arquivos]\r\nmarcas.txt=Marca\r\n[marcas.txt.campos]\r\nD=Marca.mar\r\n"
          "[Importacoes]\r\nManter=2\r\n");
    for (int i = 0; i < 3; ++i) ASSERT_EQ(run("--todos").status, 0);
    EXPECT_EQ(runs().size(), 2u);
    const Result history = run("--historico");
    EXPECT_EQ(history.status, 0);
    EXPECT_NE(history.out.find(runs()[1].filename().string() + "  concluida"), std::string::npos)
        << history.out;
}

TEST_F(UndoTest, BadUndoRequestsSayWhat) {
    struct Case {
        std::string args;
        int status;
        std::string says;
    };
    const Case cases[] = {
        {"--desfazer", 2, "Nenhuma importa\xc3\xa7\xc3\xa3o guardada para desfazer"},
        {"--desfazer 1999-01-01_00-00-00", 2, "n\xc3\xa3o est\xc3\xa1 guardada"},
        {"--forcar --todos", 2, "--forcar s\xc3\xb3 vale com --desfazer"},
        {"--desfazer --historico", 2, "n\xc3\xa3o se combinam"},
        {"--historico --todos", 2, "n\xc3\xa3o se combinam"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = run(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace sivaro::testing
