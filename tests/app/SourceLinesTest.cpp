// The viewer's lines of a source file: the text rules, lines fetched by number from any point,
// cut to what the viewer shows, and the end of the file.

#include "app/SourceLines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ScratchFolder.h"
#include "WidgetTestHelpers.h"
#include "import/LineReader.h"
#include "util/Errors.h"

namespace sivaro {
namespace {

using Lines = std::vector<std::string>;

std::string tempFile(const std::string& name, const std::string& bytes) {
    static const testing::ScratchFolder folder("sivaro-sourcelines");
    const std::string path = folder.file(name);
    testing::writeFile(path, bytes);
    return path;
}

Lines lineReaderLines(const std::string& path) {
    LineReader reader;
    reader.open(path);
    Lines lines;
    while (!reader.eof()) lines.push_back(reader.readLine());
    return lines;
}

TEST(SourceLines, ReadsTheLinesAsTheImportDoes) {
    struct Case {
        std::string bytes;
        Lines lines;
    };
    const Case cases[] = {
        {"a\nb\n", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"a\rb\n", {"ab"}},
        {"a\r\r\nb", {"a", "b"}},
        {"a\nb\x1a"
         "c\nd\n",
         {"a", "b"}},
        {"a\n\x1a", {"a"}},
        {"\x1a"
         "abc",
         {}},
        {"", {}},
        {"\n", {""}},
        {"a\n\r", {"a", ""}},
        {"x\xe7\xe3o\n", {"x\xe7\xe3o"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::string path = tempFile("sivaro-sourcelines.txt", c.bytes);
        SourceLines lines(path);
        const SourceLines::Block block = lines.read(0, 1, 100, 1 << 20, 100);
        EXPECT_EQ(block.lines, c.lines);
        EXPECT_TRUE(block.reachesEnd);
        EXPECT_EQ(block.lines, lineReaderLines(path)) << "the same lines as the import reads";
        std::filesystem::remove(path);
    }
}

TEST(SourceLines, LinesFromAnyPointOfALargeFile) {
    std::string bytes;
    for (int i = 0; i < 5000; ++i) bytes += "linha " + std::to_string(i) + (i % 3 ? "\r\n" : "\n");
    const std::string path = tempFile("sivaro-sourcelines-large.txt", bytes);
    SourceLines lines(path);
    struct Case {
        std::int64_t first, minLines, maxLines;
        std::size_t maxBytes;
        std::size_t count;
        bool reachesEnd;
    };
    const Case cases[] = {
        {0, 1, 10, 1 << 20, 10, false},
        {4000, 1, 10, 1 << 20, 10, false},  // past the indexed part: the index grows
        {1023, 1, 3, 1 << 20, 3, false},    // across a stride of the index
        {1025, 1, 3, 1 << 20, 3, false},    // from the index, not from a scan
        {4990, 1, 100, 1 << 20, 10, true},
        {4999, 1, 1, 1 << 20, 1, true},
        {5000, 1, 10, 1 << 20, 0, true},
        {100, 5, 100, 20, 5, false},  // the byte budget after the least lines
        {100, 1, 100, 20, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        const SourceLines::Block block =
            lines.read(c.first, c.minLines, c.maxLines, c.maxBytes, 100);
        ASSERT_EQ(block.lines.size(), c.count);
        for (std::size_t i = 0; i < block.lines.size(); ++i)
            EXPECT_EQ(block.lines[i], "linha " + std::to_string(c.first + static_cast<int>(i)));
        EXPECT_EQ(block.reachesEnd, c.reachesEnd);
    }
    std::filesystem::remove(path);
}

TEST(SourceLines, LongLinesAreCutToWhatIsKept) {
    const std::string longLine(3'000'000, 'x');
    const std::string path = tempFile("sivaro-sourcelines-long.txt", longLine + "\r\nfim\r\n");
    SourceLines lines(path);
    const SourceLines::Block block = lines.read(0, 1, 10, 1 << 20, 4096);
    EXPECT_EQ(block.lines, (Lines{std::string(4096, 'x'), "fim"}));
    EXPECT_EQ(lines.read(1, 1, 10, 1 << 20, 4096).lines, Lines{"fim"});
    std::filesystem::remove(path);
}

TEST(SourceLines, AFileThatCannotBeOpenedIsNamed) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "sivaro-nao-existe.txt").string();
    try {
        SourceLines lines(path);
        FAIL() << "opened";
    } catch (const EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find("sivaro-nao-existe.txt"), std::string::npos);
    }
}

}  // namespace
}  // namespace sivaro
