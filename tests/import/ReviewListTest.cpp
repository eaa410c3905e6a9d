#include <gtest/gtest.h>

#include "import/ReviewList.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "util/CodePage.h"
#include "util/Paths.h"

namespace sivaro {
namespace {

namespace fs = std::filesystem;

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ReviewList sample() {
    ReviewList list;
    using O = ReviewList::Outcome;
    list.add({2, "CIDADE", utf8ToCp1252("Divinópolis"), "cidade", "", "", O::Exact});
    list.add({3, "CIDADE", "paceambu", "cidade", "Pacaembu", "7", O::Similar});
    list.add({4, "CIDADE", "Breo Santo", "cidade", "Baixo Guandu", "8", O::TooFar});
    list.add({5, "CIDADE_COB", "Curitiba-PR", "cidade", "", "", O::NotFound});
    list.add({6, "CIDADE", "Bom Jesus-SP", "cidade", "Bom Jesus", "2", O::ExactOtherState});
    list.add({7, "MARCA", "Linha\t300", "marca", "", "", O::NotFound});
    return list;
}

TEST(ReviewList, CountsAndText) {
    const ReviewList list = sample();
    EXPECT_EQ(list.exact(), 2);
    EXPECT_EQ(list.similar(), 1);
    EXPECT_EQ(list.refused(), 1);
    EXPECT_EQ(list.notFound(), 2);
    EXPECT_EQ(list.lookups(), 6);
    EXPECT_EQ(list.items().size(), 5u);
    EXPECT_EQ(cp1252ToUtf8(list.text()),
              "linha\tcoluna\tvalor\ttabela\tnome\tcódigo\tcomo\r\n"
              "3\tCIDADE\tpaceambu\tcidade\tPacaembu\t7\tsemelhante\r\n"
              "4\tCIDADE\tBreo Santo\tcidade\tBaixo Guandu\t8\trecusado: distante\r\n"
              "5\tCIDADE_COB\tCuritiba-PR\tcidade\t\t\tnão encontrado\r\n"
              "6\tCIDADE\tBom Jesus-SP\tcidade\tBom Jesus\t2\texato em outra UF\r\n"
              "7\tMARCA\tLinha 300\tmarca\t\t\tnão encontrado\r\n");
}

TEST(ReviewList, SummaryLine) {
    const ReviewList list = sample();
    EXPECT_EQ(cp1252ToUtf8(list.summaryLine("cli.txt", "cli.txt.revisao.txt")),
              "cli.txt: códigos por nome: exatos 2, semelhantes 1, recusados 1, não encontrados "
              "2; revisão em cli.txt.revisao.txt");
    EXPECT_EQ(cp1252ToUtf8(list.summaryLine("cli.txt", "")),
              "cli.txt: códigos por nome: exatos 2, semelhantes 1, recusados 1, não encontrados "
              "2; lista de revisão não gravada");
    ReviewList exactOnly;
    exactOnly.add({2, "CIDADE", "Divinópolis", "cidade", "", "", ReviewList::Outcome::Exact});
    EXPECT_EQ(cp1252ToUtf8(exactOnly.summaryLine("cli.txt", "")),
              "cli.txt: códigos por nome: exatos 1, semelhantes 0, recusados 0, não encontrados "
              "0; nada a revisar");
}

// A rerun replaces the file; a run with nothing to review leaves none behind; a file of the
// same name in other letter case is the one replaced.
TEST(ReviewList, WriteReplacesAndRemoves) {
    const fs::path dir =
        fs::temp_directory_path() / ("sivaro-review-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string folder = fromOsPath(dir);
    std::ofstream(dir / "CLI.TXT.REVISAO.TXT", std::ios::binary) << "old list";

    const ReviewList list = sample();
    EXPECT_EQ(list.write(folder, "cli.txt"), "cli.txt.revisao.txt");
    EXPECT_EQ(bytesOf(dir / "CLI.TXT.REVISAO.TXT"), list.text());
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"CLI.TXT.REVISAO.TXT"});

    ReviewList exactOnly;
    exactOnly.add({2, "CIDADE", "Divinópolis", "cidade", "", "", ReviewList::Outcome::Exact});
    EXPECT_EQ(exactOnly.write(folder, "cli.txt"), "");
    EXPECT_TRUE(fs::is_empty(dir));
    EXPECT_EQ(ReviewList().write(folder, "cli.txt"), "");
    EXPECT_TRUE(fs::is_empty(dir));

    // A folder that cannot take the file: the error names it, nothing else is touched.
    EXPECT_THROW(list.write(folder + "/missing", "cli.txt"), std::exception);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace sivaro
