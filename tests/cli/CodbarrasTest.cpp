// codbarras as a user runs it: the help, the files it writes (read back by zbarimg, the PDF
// through poppler), and its refusals with their exit statuses.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "RunCommand.h"
#include "ScratchFolder.h"

namespace sivaro {
namespace {

namespace fs = std::filesystem;
using testing::slurp;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class CodbarrasTest : public ::testing::Test {
  protected:
    void SetUp() override { m_dir = testing::makeScratchFolder("sivaro-codbarras"); }
    void TearDown() override { fs::remove_all(m_dir); }

    Outcome shell(const std::string& command) {
        const std::string cmd =
            command + " >" + (m_dir / "out").string() + " 2>" + (m_dir / "err").string();
        Outcome r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(m_dir / "out");
        r.err = slurp(m_dir / "err");
        return r;
    }
    // The program without a display, as on a shop's server.
    Outcome codbarras(const std::string& args) {
        return shell("env -u DISPLAY -u QT_QPA_PLATFORM " + std::string(SIVARO_BINARY_DIR) +
                     "/bin/codbarras " + args);
    }
    std::string read(const fs::path& picture) {
        Outcome r =
            shell("zbarimg --nodbus -q -Sean2.enable -Sean5.enable '" + picture.string() + "'");
        // A symbol and its add-on come in either order.
        std::vector<std::string> lines;
        std::istringstream in(r.out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        std::string sorted;
        for (const std::string& line : lines) sorted += (sorted.empty() ? "" : "\n") + line;
        return sorted;
    }
    std::string file(const std::string& name) const { return (m_dir / name).string(); }

    fs::path m_dir;
};

TEST_F(CodbarrasTest, HelpInPortuguese) {
    const Outcome r = codbarras("--ajuda");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Uso: codbarras", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("--orientacao"), std::string::npos);
    EXPECT_EQ(r.err, "");
}

TEST_F(CodbarrasTest, PicturesReadBack) {
    struct Case {
        std::string args;
        std::string read;
    };
    const Case cases[] = {
        {"--tipo ean13 --dados 400638133393", "EAN-13:4006381333931"},
        {"--tipo bcEAN_13 --dados 400638133393 --adicional 12 --resolucao 200",
         "EAN-13:4006381333931\nEAN-2:12"},
        {"--tipo code128 --dados '#209Loja 7' --resolucao 150 --orientacao esq-dir",
         "CODE-128:Loja 7"},
        {"--tipo code39 --dados 'abc-1' --largura 0,4 --unidade mm --razao 2,5", "CODE-39:ABC-1"},
        {"--tipo i2de5 --dados 123456 --apoio sim --texto nao --resolucao 300", "I2/5:123456"},
        {"--tipo upca --dados 036000291452 --digito nao --resolucao 200", "EAN-13:0036000291452"},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string png = file("c" + std::to_string(++number) + ".png");
        const Outcome r = codbarras(c.args + " --saida '" + png + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(read(png), c.read);
    }
}

TEST_F(CodbarrasTest, TurnedPicturesAreTurned) {
    // A picture reading from top to bottom is higher than wide.
    const Outcome r = codbarras(
        "--tipo ean13 --dados 400638133393 --orientacao cima-baixo --saida " + file("v.png"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string png = slurp(file("v.png"));
    ASSERT_GT(png.size(), 24u);
    auto be32 = [&](std::size_t at) {
        return (static_cast<unsigned char>(png[at]) << 24) |
               (static_cast<unsigned char>(png[at + 1]) << 16) |
               (static_cast<unsigned char>(png[at + 2]) << 8) |
               static_cast<unsigned char>(png[at + 3]);
    };
    EXPECT_GT(be32(20), be32(16));  // the IHDR height against its width
}

TEST_F(CodbarrasTest, SvgAndPdf) {
    Outcome r = codbarras("--tipo ean13 --dados 400638133393 --saida " + file("e.svg"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string svg = slurp(file("e.svg"));
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("006381"), std::string::npos);  // the digits as text

    r = codbarras("--tipo ean13 --dados 400638133393 --resolucao 600 --saida " + file("e.pdf"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(file("e.pdf")).rfind("%PDF", 0), 0u);
    r = shell("pdftoppm -r 300 -png -singlefile '" + file("e.pdf") + "' '" + file("page") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read(file("page.png")), "EAN-13:4006381333931");
}

TEST_F(CodbarrasTest, Refusals) {
    struct Case {
        std::string args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {"--tipo ean13 --dados 12345678901 --saida x.png", 1,
         "codbarras: EAN-13 barcodes must be 12 digits (13 with check digit)\n"},
        {"--tipo code39 --dados ABC --adicional 12 --saida x.png", 1,
         "codbarras: Only UPC-A and EAN-13 barcodes can have add-on codes\n"},
        {"--tipo code128 --dados ABC --saida x.png", 1,
         "codbarras: A Code128 symbol MUST start with #208, #209 or #210. Please refer to the "
         "help file, since Code128 is different than the other symbologies\n"},
        {"--largura 0.2 --dados ABC --saida x.png", 1,
         "codbarras: The barwidth must be no more than 0.10 inches! (2.54 mm)\n"},
        {"--tipo qr --dados ABC --saida x.png", 2,
         "codbarras: --tipo aceita upca, ean13, i2de5, code128, code39, postnet; n\xc3\xa3o "
         "\"qr\"\nUse codbarras --ajuda para ver as op\xc3\xa7\xc3\xb5"
         "es.\n"},
        {"--dados ABC --saida x.gif", 2,
         "codbarras: o arquivo de sa\xc3\xad"
         "da deve terminar em .png, .svg ou .pdf: x.gif\n"},
        {"--saida x.png", 2,
         "codbarras: faltam os dados (--dados)\nUse codbarras --ajuda para ver as "
         "op\xc3\xa7\xc3\xb5"
         "es.\n"},
        {"--dados '#300' --saida x.png", 2,
         "codbarras: --dados: depois de # vem o c\xc3\xb3"
         "digo de um caractere (0 a 255) ou "
         "outro #, em \"#300\"\nUse codbarras --ajuda para ver as op\xc3\xa7\xc3\xb5"
         "es.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome r = codbarras("--resolucao 96 " + c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_FALSE(fs::exists("x.png"));
}

TEST_F(CodbarrasTest, AFolderThatCannotBeWrittenIsReported) {
    const Outcome r = codbarras("--dados ABC --saida " + file("no/such/folder/x.png"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("codbarras: N\xc3\xa3o foi poss\xc3\xadvel gravar"), std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace sivaro
