// The batch command as an operator runs it: its exit status, what goes to stdout (the log's
// "linha:" lines and the summaries) and to stderr (messages, errors).

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ScratchFolder.h"
#include "store/TableCreate.h"
#include "util/Cp1252Literal.h"
#include "util/Version.h"

namespace sivaro {
namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ImportaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = testing::makeScratchFolder("sivaro-importa");
        freshFolder();
    }
    // The data folder with an empty Marca table and nothing else.
    void freshFolder() {
        fs::remove_all(m_dir / "dados");
        fs::create_directories(m_dir / "dados" / "db");
        px::createTable((m_dir / "dados" / "db" / "Marca.db").string(),
                        px::parseSchema("cod\t+\t4\t*\nmar\tA\t10\nqtd\tI\t4\n"));
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void write(const std::string& name, const std::string& text) {
        std::ofstream(m_dir / "dados" / name, std::ios::binary) << text;
    }

    Result run(const std::string& args) {
        const std::string cmd = std::string(SIVARO_BINARY_DIR) + "/bin/importa " + args + " >" +
                                (m_dir / "out").string() + " 2>" + (m_dir / "err").string();
        Result r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(m_dir / "out");
        r.err = slurp(m_dir / "err");
        return r;
    }

    std::string folder() const { return (m_dir / "dados").string(); }
    fs::path m_dir;
};

// A run over one source: its exit status and what it says on stdout and on stderr.
TEST_F(ImportaTest, RunsExitWithTheirOutcome) {
    const std::string marcas =
        "[Arquivos]\r\nmarcas.txt=Marca\r\n[marcas.txt.campos]\r\nD=Marca.mar\r\n";
    struct Case {
        std::string name;
        std::string definitions;
        std::string source;  // marcas.txt, in Windows-1252
        std::string args;    // after --pasta FOLDER
        int status;
        std::vector<std::string> out;  // each found on stdout
        std::vector<std::string> err;  // each found on stderr
    };
    const Case cases[] = {
        {"every record written exits 0 with a summary",
         marcas,
         "D\r\nAcme\r\nBeta\r\n",
         "--todos",
         0,
         {"marcas.txt: 2 linhas lidas, 2 inseridas, 0 atualizadas, 0 descartadas, 0 com erro"},
         {}},
        {"a failed record exits 1 and its line goes to stdout",
         marcas + "Q=Marca.qtd\r\n",
         "D\tQ\r\nAcme\t1\r\nBeta\tmuitos\r\nGama\té\r\n"_cp1252,
         "marcas.txt",
         1,
         {"linha:3 'muitos' is not a valid integer value for field 'qtd'",
          // Windows-1252 text reaches the terminal as UTF-8.
          "linha:3 'é'"},
         {}},
        {"messages are printed instead of shown",
         marcas,
         "D\r\nAcme\tdemais\r\n",
         "--todos",
         0,
         {},
         {"== Erro ao importar ==\nFavor verificar a linha 1 pois deve ter caracteres estranhos"}},
        {"a stopped run exits 2",
         marcas + "[marcas.txt.valordefault]\r\nqtd=x\r\n",
         "D\r\nAcme\r\n",
         "--todos",
         2,
         {},
         {"a importação parou: 'x' is not a valid integer value"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshFolder();
        write("Definicao.ini", c.definitions);
        write("marcas.txt", c.source);
        const Result r = run("--pasta " + folder() + " " + c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        for (const std::string& text : c.out)
            EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
        for (const std::string& text : c.err)
            EXPECT_NE(r.err.find(text), std::string::npos) << text << "\n" << r.err;
    }
}

TEST_F(ImportaTest, BadCommandLinesExitTwo) {
    struct Case {
        std::string args;
        std::string says;
    };
    const Case cases[] = {
        {"", "dê --todos ou os nomes das origens"},
        {"--todos marcas.txt", "dê --todos ou os nomes das origens"},
        {"--pasta", "falta o valor de --pasta"},
        {"--decimal ,, --todos", "o separador decimal deve ser um caractere"},
        {"--pasta /nao/existe --todos", "a pasta de dados /nao/existe não existe"},
        {"--xyz", "opção desconhecida --xyz"},
        {"--pasta " + m_dir.string() + " --todos", "nenhuma origem registrada"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Result r = run(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

TEST_F(ImportaTest, VersionOfTheBuild) {
    for (const char* option : {"--versao", "--version"}) {
        SCOPED_TRACE(option);
        const Result r = run(option);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "importa " + std::string(kVersion) + "\n");
    }
}

TEST_F(ImportaTest, HelpInPortuguese) {
    const Result r = run("--ajuda");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Uso: importa [--pasta PASTA] [--decimal SEP] [--simular] [--todos | "
                          "ORIGEM...]",
                          0),
              0u)
        << r.out;
}

}  // namespace
}  // namespace sivaro
