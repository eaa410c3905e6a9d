#include "util/StringUtils.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "util/Cp1252Literal.h"

namespace sivaro {
namespace {

std::string repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(ValorInteiro, Conversions) {
    struct Case {
        std::string text;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"", 0},
        {"12a", 0},
        {"12 ", 0},  // nothing may follow the digits, not even a blank
        {"99999999999", 0},
        {"  12", 12},
        {"$1F", 31},
        {"0x1F", 31},
        {"0X1f", 31},
        {"x1F", 31},
        {"X1F", 31},
        {"$FFFFFFFF", -1},
        {"$80000000", std::numeric_limits<std::int32_t>::min()},
        {"$100000000", 0},  // 33 bits
        {"$0000000000FF", 255},
        {"-$10", -16},
        {"+$10", 16},
        {"-0x10", -16},
        {"2147483647", 2147483647},
        {"2147483648", 0},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"-2147483649", 0},
        {"-7", -7},
        {"+0", 0},
        {"007", 7},
        {"-", 0},
        {"+", 0},
        {"$", 0},
        {"0x", 0},
        {"$G", 0},
        {"- 5", 0},
        {"\t5", 0},  // only spaces lead
        {"0", 0},
        {"1 2", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.text + "'");
        EXPECT_EQ(ValorInteiro(c.text), c.expected);
    }
}

TEST(ValorInteiro, TryParseLeavesValueAloneOnFailure) {
    std::int32_t value = 42;
    EXPECT_FALSE(tryParseInteger("abc", value));
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(tryParseInteger(" -3", value));
    EXPECT_EQ(value, -3);
}

TEST(EhInteiro, Table) {
    struct Case {
        std::string text;
        bool expected;
    };
    const Case cases[] = {
        {"", false},  {" 12", false},        {"a1", false},         {"$1F", false},
        {"-", false}, {"x1F", false},        {"12 ", false},        {"99999999999", false},
        {"-7", true}, {"+0", true},          {"0x1F", true},        {"-$10", true},
        {"12", true}, {"-2147483648", true}, {"2147483648", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.text + "'");
        EXPECT_EQ(EhInteiro(c.text), c.expected);
    }
}

TEST(SeparaCampos, CutsOneItem) {
    struct Case {
        std::string text;
        std::string separator;
        std::string item;
        std::string rest;
    };
    const Case cases[] = {
        {"a,b,c", ",", "a", "b,c"}, {"abc", ",", "abc", ""},  {",x", ",", "", "x"},
        {"a,", ",", "a", ""},       {"a::b", "::", "a", "b"}, {"a:b::c", "::", "a:b", "c"},
        {"a\tb", "\t", "a", "b"},   {"a,b", "", "a,b", ""},  // an empty separator is never found
        {"", ",", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.text + "' by '" + c.separator + "'");
        std::string text = c.text;
        EXPECT_EQ(SeparaCampos(text, c.separator), c.item);
        EXPECT_EQ(text, c.rest);
        std::string_view view = c.text;
        EXPECT_EQ(SeparaCampos(view, c.separator), c.item) << "over a view";
        EXPECT_EQ(view, c.rest) << "over a view";
    }
}

TEST(SeparaCampos, RestOfLineCutTo10000) {
    const std::string tail = repeat("0123456789", 1200);  // 12000 bytes
    std::string text = "item," + tail;
    EXPECT_EQ(SeparaCampos(text, ","), "item");
    EXPECT_EQ(text.size(), 10000u);
    EXPECT_EQ(text, tail.substr(0, 10000));

    std::string exact = "item," + tail.substr(0, 10000);
    SeparaCampos(exact, ",");
    EXPECT_EQ(exact, tail.substr(0, 10000));

    const std::string whole = "item," + tail;
    std::string_view view = whole;
    EXPECT_EQ(SeparaCampos(view, ","), "item");
    EXPECT_EQ(view, tail.substr(0, 10000)) << "over a view";
}

// The general form: up to `count` items into the outputs, never past the last output.
TEST(SeparaCampos, GeneralFormFillsUpToCountOutputs) {
    struct Case {
        std::string name;
        std::string text;
        std::vector<std::string> outputs;  // before the call
        std::uint16_t count;
        std::vector<std::string> expected;
        std::string rest;
    };
    const Case cases[] = {
        {"outputs beyond the count are untouched",
         "a;b;c;d;e",
         {"old", "old", "old", "old"},
         3,
         {"a", "b", "c", "old"},
         "d;e"},
        {"outputs past the last item are emptied first, then left alone",
         "a;b",
         {"old", "old", "old", "old"},
         4,
         {"a", "b", "", ""},
         ""},
        {"a count beyond the outputs never writes past them",
         "a;b;c;d",
         {"", ""},
         65535,
         {"a", "b"},
         "c;d"},
        {"count zero changes nothing", "a;b", {"old"}, 0, {"old"}, "a;b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> out = c.outputs;
        std::string text = c.text;
        SeparaCampos(text, std::span<std::string>(out), ";", c.count);
        EXPECT_EQ(out, c.expected);
        EXPECT_EQ(text, c.rest);
    }
}

TEST(ApagaTexto, Table) {
    struct Case {
        std::string find;
        std::string source;
        std::uint16_t count;
        std::string expected;
    };
    const Case cases[] = {
        {"ab", "aabb", 0, ""},  // the deletion brings a new "ab" together
        {"ab", "aabb", 1, "ab"},        {"ab", "aabb", 2, ""},
        {"ab", "aabb", 9, ""},          {"-", "12-34-56", 1, "1234-56"},
        {"-", "12-34-56", 0, "123456"}, {"-", "123456", 0, "123456"},
        {"", "abc", 0, "abc"},          {"x", "", 0, ""},
        {"aba", "ababa", 0, "ba"},      {"aa", "aaaaa", 0, "a"},
        {"aa", "aaaaa", 1, "aaa"},      {"abc", "aabcbcc", 0, "c"},
        {"abc", "aabcbcc", 1, "abcc"},  {"\xe1", "\xe1g\xe1", 0, "g"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.find + "' in '" + c.source + "' x" + std::to_string(c.count));
        EXPECT_EQ(ApagaTexto(c.find, c.source, c.count), c.expected);
    }
}

TEST(TrocaTexto, Table) {
    struct Case {
        std::string find;
        std::string replacement;
        std::string source;
        std::uint16_t count;
        std::string expected;
    };
    const Case cases[] = {
        {" ", "-", "a b c", 0, "a-b-c"},   {" ", "-", "a b c", 1, "a-b c"},
        {" ", "-", "a b c", 5, "a-b-c"},   {" ", "", "a b c", 0, "abc"},
        {"", "-", "abc", 0, "abc"},        {"x", "y", "", 0, ""},
        {"ab", "b", "aab", 0, "b"},  // "aab" -> "ab" -> "b": each search starts again
        {",", ";", "1,2,,3", 2, "1;2;,3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.find + "'->'" + c.replacement + "' in '" + c.source + "'");
        EXPECT_EQ(TrocaTexto(c.find, c.replacement, c.source, c.count), c.expected);
    }
}

TEST(TrocaTexto, StopsAfter601Replacements) {
    // The replacement holds the find text, so only the bound ends the call.
    EXPECT_EQ(TrocaTexto("a", "ba", "a", 0), repeat("b", 601) + "a");
    EXPECT_EQ(TrocaTexto("a", "ba", "a", 65535), repeat("b", 601) + "a");
    EXPECT_EQ(TrocaTexto("a", "ba", "a", 600), repeat("b", 600) + "a");
    EXPECT_EQ(TrocaTexto("a", "ba", "a", 3), "bbba");
    // 700 occurrences: 601 replaced, 99 left.
    EXPECT_EQ(TrocaTexto(",", ";", repeat(",", 700), 0), repeat(";", 601) + repeat(",", 99));
}

TEST(TrocaTexto, KeepsAt6000AfterEachOccurrence) {
    const std::string tail = repeat("0123456789", 700);  // 7000 bytes
    EXPECT_EQ(TrocaTexto("#", "@", "ab#" + tail, 0), "ab@" + tail.substr(0, 6000));
    const std::string fits = tail.substr(0, 6000);
    EXPECT_EQ(TrocaTexto("#", "@@", "#" + fits, 0), "@@" + fits);
}

TEST(TiraAcentos, FoldsTheTableOnly) {
    struct Case {
        std::string source;
        std::string expected;
    };
    const Case cases[] = {
        {"Ação São Paulo"_cp1252, "Acao Sao Paulo"},
        {"ñüÑÜìùûî"_cp1252, "ñüÑÜìùûî"_cp1252},  // not folded
        {"áàãÁÀÃçÇóÓõÕôÔ"_cp1252, "aaaAAAcCoOoOoO"},
        {"èÈíÍéÉêÊÚúâÂòÒ"_cp1252, "eEiIeEeEUuaAoO"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(TiraAcentos(c.source), c.expected);
    }
}

TEST(TiraAcentos, SharedCounterStopsAt500Folds) {
    const std::string a600 = repeat("\xe1", 600);
    EXPECT_EQ(TiraAcentos(a600), repeat("a", 500) + repeat("\xe1", 100));
    EXPECT_EQ(TiraAcentos(a600 + "\xe7"), repeat("a", 500) + repeat("\xe1", 100) + "c");
    // Past the bound every later letter still gets its leftmost fold, one each.
    EXPECT_EQ(TiraAcentos(a600 + "\xe7\xe7\xe9\xe9"), repeat("a", 500) + repeat("\xe1", 100) +
                                                          "c\xe7"
                                                          "e\xe9");
    // The counter is shared: 499 "á" and 3 "ç" fold all "á" and one "ç".
    EXPECT_EQ(TiraAcentos(repeat("\xe1", 499) + "\xe7\xe7\xe7"), repeat("a", 499) + "c\xe7\xe7");
    // Exactly 500 folds: nothing is left over.
    EXPECT_EQ(TiraAcentos(repeat("\xe1", 500)), repeat("a", 500));
}

TEST(Trim, RemovesControlAndBlankBytesOnly) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"  a b \t\r\n", "a b"},
        {std::string("\0x\x1f", 3), "x"},
        {"\xa0"
         "a\xa0",
         "\xa0"
         "a\xa0"},  // bytes above 127 are text
        {"   ", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(trim(c.text), c.expected);
        EXPECT_EQ(trimmed(c.text), c.expected);
    }
}

}  // namespace
}  // namespace sivaro
