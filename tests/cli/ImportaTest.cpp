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

#include "RunCommand.h"
#include "ScratchFolder.h"
#include "store/TableCreate.h"
#include "util/Cp1252Literal.h"
#include "util/Version.h"

namespace sivaro {
namespace {

namespace fs = std::filesystem;
using testing::slurp;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

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
        std::vector<std::string> out;          // each found on stdout
        std::vector<std::string> err;          // each found on stderr
        std::vector<std::string> notOut = {};  // none found on stdout
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
        {"the failure limit stops the source with its reason and exits 1",
         marcas + "Q=Marca.qtd\r\n[marcas.txt.opcoes]\r\nLimiteFalhas=1\r\n",
         "D\tQ\r\nAcme\tx\r\nBeta\ty\r\nGama\t1\r\n",
         "--todos",
         1,
         {"Origem marcas.txt interrompida na linha 2: 1 registros com erro atingiram o limite "
          "LimiteFalhas=1 de [marcas.txt.opcoes]",
          "0 inseridas"},
         {},
         {"linha:3"}},
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
        for (const std::string& text : c.notOut)
            EXPECT_EQ(r.out.find(text), std::string::npos) << text << "\n" << r.out;
    }
}

TEST_F(ImportaTest, ARealRunWarnsOnceThatTheProductMustBeClosed) {
    write("Definicao.ini",
          "[Arquivos]\r\nmarcas.txt=Marca\r\n[marcas.txt.campos]\r\nD=Marca.mar\r\n");
    write("marcas.txt", "D\r\nAcme\r\n");
    const std::string warning = "feche o SIVARO PLUS em todas as estações";
    struct Case {
        std::string args;
        std::string lockFile;  // made in the data folder before the run
        int warnings;
        std::string mentions;
    };
    const Case cases[] = {
        {"--todos", "", 1, ""},
        {"--todos", "db/PARADOX.LCK", 1, "db/PARADOX.LCK"},
        {"--simular --todos", "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args + " " + c.lockFile);
        if (!c.lockFile.empty()) write(c.lockFile, "");
        const Result r = run("--pasta " + folder() + " " + c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        int count = 0;
        for (size_t at = r.err.find(warning); at != std::string::npos;
             at = r.err.find(warning, at + 1))
            ++count;
        EXPECT_EQ(count, c.warnings) << r.err;
        if (!c.mentions.empty()) EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
        if (!c.lockFile.empty()) fs::remove(m_dir / "dados" / c.lockFile);
    }
}

// A source that is refused or not there writes nothing: a line on stderr names it and why, the
// exit status says so, and the run goes on with the other sources.
TEST_F(ImportaTest, ASourceNotImportedIsNamedOnStderrAndTheRunGoesOn) {
    write("marcas.txt", "D\r\nAcme\r\n");
    write("outra.txt", "D\r\nBeta\r\n");
    std::ofstream(m_dir / "fora.txt", std::ios::binary) << "D\r\nFora\r\n";
    const std::string mapping = "[marcas.txt.campos]\r\nD=Marca.mar\r\n";
    struct Case {
        const char* what;
        std::string arquivos;  // the entries of [Arquivos] before marcas.txt
        std::string extra;     // more of Definicao.ini
        std::string args;
        int status;
        std::string stderrLine;
    };
    const Case cases[] = {
        {"key no column feeds", "outra.txt=Marca\r\n",
         "[outra.txt.opcoes]\r\nCampoChave=codigo\r\n[outra.txt.campos]\r\nD=Marca.mar\r\n",
         "--todos", 1,
         "importa: Arquivo outra.txt recusado: o Campo Chave 'codigo' n\xc3\xa3o corresponde a "
         "nenhuma coluna associada\n"},
        {"source out of the folder", "../fora.txt=Marca\r\n", "", "--todos", 1,
         "importa: Arquivo de origem recusado: o nome '../fora.txt' aponta para fora da pasta de "
         "dados\n"},
        {"table out of the folder", "outra.txt=../Marca\r\n", "", "--todos", 1,
         "importa: Arquivo outra.txt recusado: a tabela de destino '../Marca' n\xc3\xa3o \xc3\xa9 "
         "um nome de tabela da pasta db\n"},
        {"no target table", "outra.txt=\r\n", "", "--todos", 1,
         "importa: Arquivo outra.txt sem tabela de destino em [Arquivos]: n\xc3\xa3o importado\n"},
        {"named and missing", "", "", "nao-existe.txt marcas.txt", 1,
         "importa: a origem nao-existe.txt n\xc3\xa3o existe em " + folder() + "\n"},
        {"registered and missing", "nao-existe.txt=Marca\r\n", "", "--todos", 0,
         "importa: a origem nao-existe.txt, registrada em [Arquivos], n\xc3\xa3o existe em " +
             folder() + ": passada adiante\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write("Definicao.ini",
              "[Arquivos]\r\n" + c.arquivos + "marcas.txt=Marca\r\n" + mapping + c.extra);
        const Result r = run("--pasta " + folder() + " " + c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.stderrLine), std::string::npos) << r.err;
        EXPECT_NE(r.out.find("marcas.txt: 1 linhas lidas, 1 inseridas"), std::string::npos)
            << r.out;
        EXPECT_EQ(r.out.find("outra.txt: "), std::string::npos) << "no summary: " << r.out;
    }
}

TEST_F(ImportaTest, FailedRecordsGoToAFileThatImportsAgainWithTheSameLayout) {
    struct Case {
        std::string options;  // of [marcas.txt.opcoes]
        std::string source;
        std::string failures;  // {source}.falhas.txt after the run
    };
    const Case cases[] = {
        {"", "D\tQ\r\nAcme\t1\r\nBeta\tx\r\n\r\nGama\ty\r\n",
         "linha_origem\terro_importacao\tD\tQ\r\n"
         "3\t'x' is not a valid integer value for field 'qtd'\tBeta\tx\r\n"
         "5\t'y' is not a valid integer value for field 'qtd'\tGama\ty\r\n"},
        {"DelCamp=;\r\nDelReg=1\r\n", "\"D;Q\"\r\n\"Acme;1\"\r\n\"Beta;x\"\r\n",
         "\"linha_origem;erro_importacao;D;Q\"\r\n"
         "\"3;'x' is not a valid integer value for field 'qtd';Beta;x\"\r\n"},
        {"UmPorLin=0\r\nIniReg=DOC:\r\nNumLinReg=2\r\n",
         "RELATORIO\r\nDOC: Acme\r\nQTD: 1\r\n\r\nDOC: Beta\r\nQTD: x\r\n\r\n",
         "linha_origem\terro_importacao\tregistros com erro de marcas.txt\r\n"
         "5\t'x' is not a valid integer value for field 'qtd'\r\nDOC: Beta\r\nQTD: x\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string sections =
            "[marcas.txt.campos]\r\nD=Marca.mar\r\nQ=Marca.qtd\r\n"
            "[marcas.txt.campos.linha1]\r\nD=6,10\r\n[marcas.txt.campos.linha2]\r\nQ=6,5\r\n"
            "[marcas.txt.opcoes]\r\n" +
            c.options;
        write("Definicao.ini", "[Arquivos]\r\nmarcas.txt=Marca\r\n" + sections);
        write("marcas.txt", c.source);
        const Result r = run("--pasta " + folder() + " --todos");
        EXPECT_EQ(r.status, 1) << r.err;
        const fs::path failures = m_dir / "dados" / "marcas.txt.falhas.txt";
        EXPECT_EQ(slurp(failures), c.failures);

        // Corrected, the file imports as a source with the same sections.
        std::string fixed = slurp(failures);
        for (const char* bad : {"x", "y"}) {
            const std::string from = std::string("\t") + bad + "\r\n";
            for (std::size_t at = fixed.find(from); at != std::string::npos; at = fixed.find(from))
                fixed.replace(at, from.size(), "\t7\r\n");
            const std::string semi = std::string(";") + bad + "\"";
            for (std::size_t at = fixed.find(semi); at != std::string::npos; at = fixed.find(semi))
                fixed.replace(at, semi.size(), ";7\"");
            const std::string record = std::string("QTD: ") + bad;
            for (std::size_t at = fixed.find(record); at != std::string::npos;
                 at = fixed.find(record))
                fixed.replace(at, record.size(), "QTD: 7");
        }
        write("corrigidas.txt", fixed);
        std::string again = sections;
        for (std::size_t at = again.find("marcas.txt."); at != std::string::npos;
             at = again.find("marcas.txt.", at))
            again.replace(at, 10, "corrigidas.txt");
        write("Definicao.ini", "[Arquivos]\r\ncorrigidas.txt=Marca\r\n" + again);
        const Result fixedRun = run("--pasta " + folder() + " --todos");
        EXPECT_EQ(fixedRun.status, 0) << fixedRun.out << fixedRun.err;
        EXPECT_FALSE(fs::exists(m_dir / "dados" / "corrigidas.txt.falhas.txt"));
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
