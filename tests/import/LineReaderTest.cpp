#include "import/LineReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ScratchFolder.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {
namespace {

enum class Way { Returned, IntoOneString, Skipped };

// The lines of `content`, read one of three ways; skipped lines come back empty, to be counted.
std::vector<std::string> readAll(const std::string& content, Way way = Way::Returned) {
    const testing::ScratchFolder dir("sivaro-linereader");
    const std::string path = dir.file("origem.txt");
    std::ofstream(path, std::ios::binary) << content;
    LineReader r;
    r.open(fromOsPath(path));
    std::vector<std::string> lines;
    std::string line = "left from before";
    while (!r.eof()) {
        if (way == Way::Returned) {
            lines.push_back(r.readLine());
        } else if (way == Way::IntoOneString) {
            r.readLine(line);
            lines.push_back(line);
        } else {
            r.skipLine();
            lines.emplace_back();
        }
    }
    return lines;
}

TEST(LineReader, LineEndsCarriageReturnsAndCtrlZ) {
    struct Case {
        std::string content;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a\nb\n", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"a\rb\n", {"ab"}},        // a lone CR is dropped
        {"a\r\r\nb", {"a", "b"}},  // the CR before CR LF is dropped too
        {"a\rb\r", {"ab"}},
        {"a\nb\x1a"
         "c\nd\n",
         {"a", "b"}},  // Ctrl-Z ends the file
        {"\x1a"
         "abc",
         {}},
        {"", {}},
        {"\n", {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        EXPECT_EQ(readAll(c.content), c.lines);
        EXPECT_EQ(readAll(c.content, Way::IntoOneString), c.lines);
        EXPECT_EQ(readAll(c.content, Way::Skipped).size(), c.lines.size());
    }
}

TEST(LineReader, LinesOfAnyLength) {
    const std::string longLine(300000, 'x');
    EXPECT_EQ(readAll(longLine + "\r\ny\r\n"), (std::vector<std::string>{longLine, "y"}));
    EXPECT_EQ(readAll(longLine + "\r\ny\r\n", Way::IntoOneString),
              (std::vector<std::string>{longLine, "y"}));
    EXPECT_EQ(readAll(longLine + "\r\ny\r\n", Way::Skipped).size(), 2u);
}

TEST(LineReader, KeepsTheFirstBytesOfALineAndReadsPastTheRest) {
    const testing::ScratchFolder folder("sivaro-linereader");
    const auto path = folder.path() / "keep.txt";
    std::ofstream(path, std::ios::binary) << std::string(200000, 'x') << "\r\nab\rc\r\n";
    LineReader r;
    r.open(fromOsPath(path));
    EXPECT_EQ(r.readLine(5), "xxxxx");
    EXPECT_EQ(r.readLine(3), "abc") << "a dropped CR is not kept";
    EXPECT_TRUE(r.eof());
    r.close();
    std::filesystem::remove(path);
}

TEST(LineReader, ReadingAtTheEndGivesEmptyLines) {
    const testing::ScratchFolder dir("sivaro-linereader");
    const std::string path = dir.file("origem.txt");
    std::ofstream(path, std::ios::binary) << "a\n";
    LineReader r;
    r.open(fromOsPath(path));
    EXPECT_EQ(r.readLine(), "a");
    EXPECT_TRUE(r.eof());
    EXPECT_EQ(r.readLine(), "");
}

TEST(LineReader, MissingFileNamesIt) {
    LineReader r;
    try {
        r.open("/nao/existe/origem.txt");
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find("/nao/existe/origem.txt"), std::string::npos);
    }
}

}  // namespace
}  // namespace sivaro
