#include "util/CodePage.h"

#include <gtest/gtest.h>

namespace sivaro {
namespace {

TEST(CodePage, Cp1252ToUtf8AndBack) {
    struct Case {
        std::string cp1252;
        std::string utf8;
    };
    const Case cases[] = {
        {"abc", "abc"},
        {"A\xe7\xe3o", "A\xc3\xa7\xc3\xa3o"},  // Ação
        {"\x80", "\xe2\x82\xac"},              // euro sign
        {"\x81", "\xc2\x81"},                  // undefined byte keeps its number
        {"\xff", "\xc3\xbf"},                  // ÿ
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(cp1252ToUtf8(c.cp1252), c.utf8);
        EXPECT_EQ(utf8ToCp1252(c.utf8), c.cp1252);
    }
}

TEST(CodePage, Utf8WithoutCp1252ByteBecomesQuestionMark) {
    EXPECT_EQ(utf8ToCp1252("\xe4\xb8\xad"), "?");  // a CJK ideograph
}

TEST(CodePage, InvalidUtf8BytesPassUnchanged) {
    EXPECT_EQ(utf8ToCp1252("S\xe3o"), "S\xe3o");
    EXPECT_FALSE(isValidUtf8("S\xe3o"));
    EXPECT_TRUE(isValidUtf8("S\xc3\xa3o"));
}

TEST(CodePage, UpperCaseByCodePageRules) {
    struct Case {
        unsigned char in;
        unsigned char out;
    };
    const Case cases[] = {{'a', 'A'}, {'z', 'Z'}, {'A', 'A'}, {'1', '1'}, {224, 192},
                          {254, 222}, {247, 247}, {154, 138}, {156, 140}, {158, 142},
                          {255, 159}, {223, 223}, {181, 181}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.in));
        EXPECT_EQ(static_cast<unsigned char>(upper1252(static_cast<char>(c.in))), c.out);
    }
    EXPECT_EQ(upper1252("s\xe3o paulo"), "S\xc3O PAULO");
    EXPECT_EQ(upperAscii("s\xe3o"), "S\xe3O");
}

TEST(CodePage, SameTextIgnoresCase) {
    EXPECT_TRUE(sameText("Arquivos", "arquivos"));
    EXPECT_TRUE(sameText("S\xc3O", "s\xe3o"));
    EXPECT_FALSE(sameText("abc", "abd"));
    EXPECT_FALSE(sameText("abc", "abcd"));
}

}  // namespace
}  // namespace sivaro

namespace sivaro {
namespace {

TEST(CodePage, CodePointsOfBytesAndBack) {
    struct Case {
        unsigned char byte;
        char32_t codePoint;
    };
    const Case cases[] = {{'A', U'A'},    {0x80, 0x20AC}, {0x8A, 0x0160}, {0x81, 0x0081},
                          {0xE7, 0x00E7}, {0x9F, 0x0178}, {0xFF, 0x00FF}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.byte));
        EXPECT_EQ(cp1252CodePoint(c.byte), c.codePoint);
        EXPECT_EQ(cp1252ByteOf(c.codePoint), static_cast<int>(c.byte));
    }
    EXPECT_EQ(cp1252ByteOf(0x2591), -1);  // a box-drawing character of the DOS code pages
}

}  // namespace
}  // namespace sivaro
