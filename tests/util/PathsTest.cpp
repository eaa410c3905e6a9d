#include "ScratchFolder.h"
#include "util/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace sivaro {
namespace {

namespace fs = std::filesystem;

class PathsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_root = testing::makeScratchFolder("sivaro-paths");
        fs::create_directories(m_root / "DB");
        std::ofstream(m_root / "DB" / "CLIENTE.DB") << "x";
        std::ofstream(m_root / "Definicao.ini") << "x";
        fs::create_directories(m_root / "ini");
        fs::create_directories(m_root / "S\xc3\xa3o");  // "São" in UTF-8 on disk
    }
    void TearDown() override { fs::remove_all(m_root); }
    std::string root() const { return fromOsPath(m_root); }
    fs::path m_root;
};

TEST_F(PathsTest, ResolvesWithoutRegardToCase) {
    struct Case {
        const char* relative;
        const char* expected;
    };
    const Case cases[] = {
        {"db/Cliente.db", "DB/CLIENTE.DB"},
        {"DB/CLIENTE.DB", "DB/CLIENTE.DB"},
        {"db\\cliente.DB", "DB/CLIENTE.DB"},
        {"definicao.ini", "Definicao.ini"},
        {"INI/tabelas.ini", "ini/tabelas.ini"},  // missing file keeps its given name
        {"nada/Outro.txt", "nada/Outro.txt"},    // missing folder: the rest as given
        {"s\xc3o", "S\xe3o"},                    // Windows-1252 name against a UTF-8 entry
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.relative);
        EXPECT_EQ(resolvePath(root(), c.relative), root() + "/" + c.expected);
    }
}

TEST_F(PathsTest, SubFoldersOfTheDataFolderWhateverTheirCase) {
    fs::create_directories(m_root / "Db1");
    fs::create_directories(m_root / "NET");
    std::ofstream(m_root / "ini" / "Tabelas.INI") << "x";
    struct Case {
        const char* relative;
        const char* expected;
    };
    const Case cases[] = {
        {"db", "DB"},
        {"db1", "Db1"},
        {"DB1", "Db1"},
        {"net", "NET"},
        {"ini/tabelas.ini", "ini/Tabelas.INI"},
        {"db2", "db2"},  // a branch folder that is not there keeps its given name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.relative);
        EXPECT_EQ(resolvePath(root(), c.relative), root() + "/" + c.expected);
    }
}

TEST_F(PathsTest, ExactNamePreferred) {
    std::ofstream(m_root / "ini" / "a.txt") << "1";
    std::ofstream(m_root / "ini" / "A.txt") << "2";
    EXPECT_EQ(resolvePath(root(), "ini/A.txt"), root() + "/ini/A.txt");
    EXPECT_EQ(resolvePath(root(), "ini/a.txt"), root() + "/ini/a.txt");
}

TEST_F(PathsTest, PathExists) {
    EXPECT_TRUE(pathExists(root(), "db/cliente.db"));
    EXPECT_FALSE(pathExists(root(), "db/fornec.db"));
}

TEST_F(PathsTest, EmptyFolderIsTheWorkingDirectory) {
    // "/tmp" exists at the root; the working directory's "TMP" must answer for "tmp" all the same.
    fs::create_directories(m_root / "TMP");
    std::ofstream(m_root / "TMP" / "x.txt") << "x";
    const fs::path previous = fs::current_path();
    fs::current_path(m_root);
    EXPECT_EQ(resolvePath("", "tmp/X.TXT"), "TMP/x.txt");
    EXPECT_EQ(resolvePath("", "definicao.ini"), "Definicao.ini");
    EXPECT_TRUE(pathExists("", "tmp/x.txt"));
    fs::current_path(previous);
}

TEST(Paths, JoinAndNames) {
    EXPECT_EQ(joinPath("/dados", "Definicao.ini"), "/dados/Definicao.ini");
    EXPECT_EQ(joinPath("/dados/", "db"), "/dados//db");  // the folder text is used as typed
    EXPECT_EQ(baseName("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(baseName("c:\\x\\y.txt"), "y.txt");
    EXPECT_EQ(baseName("y.txt"), "y.txt");
}

TEST(Paths, NamesThatLeaveTheFolder) {
    struct Case {
        const char* name;
        bool leaves;
    };
    const Case cases[] = {{"clientes.txt", false}, {"../x.txt", true}, {"..", true},
                          {"a/b.txt", true},       {"a\\b", true},     {"..x.txt", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(leavesFolder(c.name), c.leaves);
    }
}

}  // namespace
}  // namespace sivaro
