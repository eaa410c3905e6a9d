// pxtool load: rows in the dump's format go into a table, all or none.

#include <gtest/gtest.h>

#include <map>

#include "StoreTestUtil.h"
#include "store/FamilyCheck.h"

namespace sivaro {
namespace {

class PxtoolLoad : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::createFromSchema(m_dir.file("tipos.db"),
                                  "cod\t+\t0\t*\n"
                                  "nome\tA\t20\n"
                                  "data\tD\t0\n"
                                  "hora\tT\t0\n"
                                  "quando\t@\t0\n"
                                  "valor\t$\t0\n"
                                  "numero\tN\t0\n"
                                  "qtd\tS\t0\n"
                                  "sim\tL\t0\n"
                                  "obs\tM\t10\n"
                                  "bcd\t#\t2\n"
                                  "bytes\tY\t3\n");
    }
    int load(const std::string& text) {
        std::ofstream(m_dir.file("rows.txt"), std::ios::binary) << text;
        int code = -1;
        m_output = testing::runPxtool(
            "load " + m_dir.file("tipos.db") + " " + m_dir.file("rows.txt"), &code);
        return code;
    }
    std::string dump() { return testing::runPxtool("dump " + m_dir.file("tipos.db")); }
    // Every file of the table's family, by name, byte for byte.
    std::map<std::string, std::string> files() {
        std::map<std::string, std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(m_dir.path()))
            if (e.path().filename() != "rows.txt")
                out[e.path().filename()] = testing::readFileText(e.path().string());
        return out;
    }

    testing::TempDir m_dir;
    std::string m_output;
};

TEST_F(PxtoolLoad, DumpGivesBackWhatWasLoaded) {
    const std::string text =
        "cod\tnome\tdata\thora\tquando\tvalor\tnumero\tqtd\tsim\tobs\tbcd\tbytes\n"
        "1\tS\xc3\xa3o Paulo\t2010-12-31\t10:30:00\t2011-01-02 03:04:05\t1234.56\t-0.125\t-7\tT\t"
        "linha\\num, \\\\ e\\ttab, mais longa que o campo\t3.14\t00ff41\n"
        "5\t\t\t\t\t\t\t\t\t\t\t\n"
        "7\tCaf\xc3\xa9\t0001-01-01\t00:00:00.500\t\t0\t0.00001\t0\tF\tcurta\t-2\t\n"
        // Timestamps keep their milliseconds, the last of a day and the first of the calendar.
        "8\t\t\t\t2011-01-02 03:04:05.250\t\t\t\t\t\t\t\n"
        "9\t\t\t\t1999-12-31 23:59:59.999\t\t\t\t\t\t\t\n"
        "10\t\t\t\t0001-01-01 00:00:00.001\t\t\t\t\t\t\t\n";
    ASSERT_EQ(0, load(text)) << m_output;
    EXPECT_EQ(text, dump());
    EXPECT_EQ(std::vector<std::string>{}, px::inspectFamily(m_dir.file("tipos.db")).problems);
}

TEST_F(PxtoolLoad, HeaderNamesSomeFieldsInAnyOrderAndCase) {
    ASSERT_EQ(0, load("QTD\tNome\r\n3\tACME\r\n\r\n4\tBETA\r\n")) << m_output;
    EXPECT_EQ(
        "cod\tnome\tdata\thora\tquando\tvalor\tnumero\tqtd\tsim\tobs\tbcd\tbytes\n"
        "1\tACME\t\t\t\t\t\t3\t\t\t\t\n"
        "2\tBETA\t\t\t\t\t\t4\t\t\t\t\n",
        dump());
}

TEST_F(PxtoolLoad, RefusalsNameTheLineAndLeaveTheTableAsItWas) {
    ASSERT_EQ(0, load("cod\tnome\n1\tum\n2\tdois\n"));
    const std::string before = dump();
    const auto filesBefore = files();
    struct Case {
        const char* text;
        const char* message;
    };
    for (const Case& c : {
             Case{"", "has no header"},
             Case{"nome\tnada\nx\ty\n", "line 1: table tipos.db has no field 'nada'"},
             Case{"nome\tNOME\nx\ty\n", "line 1: field 'NOME' named twice"},
             Case{"nome\tqtd\nx\t1\ty\n", "line 2: 3 cells for 2 fields"},
             Case{"nome\tdata\nx\t31/12/2010\n",
                  "line 2: '31/12/2010' is not a value of field 'data'"},
             Case{"nome\tdata\nx\t2010-02-30\n", "is not a value of field 'data'"},
             Case{"nome\tvalor\nx\t1,5\n", "'1,5' is not a value of field 'valor'"},
             Case{"nome\tqtd\nx\t70000\n", "line 2: '70000' is not a valid integer value"},
             Case{"nome\tsim\nx\tsim\n", "is not a value of field 'sim'"},
             Case{"nome\tbytes\nx\t0g\n", "is not a value of field 'bytes'"},
             Case{"nome\tobs\nx\tfim\\\n", "is not a value of field 'obs'"},
             // Rows 3 and 4 go in before the key 1 is refused: all three are taken back.
             Case{"cod\tnome\n3\ttres\n4\tquatro\n1\tum de novo\n", "line 4: Key violation"},
         }) {
        EXPECT_EQ(1, load(c.text)) << c.text;
        EXPECT_NE(std::string::npos, m_output.find(c.message)) << c.text << " -> " << m_output;
        EXPECT_EQ(before, dump()) << c.text;
        EXPECT_EQ(filesBefore, files()) << c.text;
    }
    EXPECT_EQ(0, load("nome\ntres\n"));
    EXPECT_NE(std::string::npos, dump().find("\n3\ttres\t"));  // the counter was not moved
    EXPECT_EQ(std::vector<std::string>{}, px::inspectFamily(m_dir.file("tipos.db")).problems);
}

}  // namespace
}  // namespace sivaro
