#include "util/Phonetic.h"

#include <gtest/gtest.h>

namespace sivaro {
namespace {

TEST(CodigoFonetico, SoundClasses) {
    struct Case {
        const char* letters;
        int code;
    };
    const Case cases[] = {
        {"BFPV", 1},
        {"CGJKQSXZ", 2},
        {"DT", 3},
        {"L", 4},
        {"MN", 5},
        {"R", 6},
        // No class: vowels, H W Y, lower case, digits, blanks, punctuation, accented capitals.
        {"AEIOUHWY", -1},
        {"bfpvcgdtlmnr", -1},
        {"0123456789", -1},
        {" .,-/\t", -1},
        {"\xc7\xc3\xd1\xc9", -1},
    };
    for (const Case& c : cases) {
        for (const char* p = c.letters; *p; ++p) {
            SCOPED_TRACE(std::string(1, *p));
            EXPECT_EQ(CodigoFonetico(*p), c.code);
        }
    }
}

TEST(ChaveFonetica, Keys) {
    struct Case {
        std::string name;
        std::int32_t n;
        std::string key;
    };
    const Case cases[] = {
        {"Bruno", 5, "B1650"},
        {"Bruno", 8, "B16500000"},  // shorter than n: n + 1 characters
        {"Bruno", 3, "B16"},
        {"Helena", 6, "E45000"},  // leading H skipped
        {"HHelena", 7, "E450000"},
        {"S\xe3o Paulo", 9, "S21400000"},
        {"HHH", 3, "000"},
        {"", 3, "0000"},
        {"B", 1, "B1"},  // the first letter's digit enters before the length is tested
        {"BB", 1, "B1"},
        {"123", 3, "100"},
        {"a\xe7\xfa"
         "car",
         6, "A22600"},  // açúcar folds and upper-cases to ACUCAR
        {"\xf1"
         "and\xfa",
         5,
         "\xd1"
         "5300"},             // ñ is not folded, but upper-cased
        {"ahab", 4, "A100"},  // an inner H has no class
        {"hugo", 4, "U200"},  // upper-cased before the leading H is skipped
        {" Ana", 4, " 500"},  // a leading blank is the first character
        {"Pedro", 2, "P1"},
        {"Pedro", 1, "P1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.name + "' " + std::to_string(c.n));
        EXPECT_EQ(ChaveFonetica(c.name, c.n), c.key);
    }
}

TEST(Semelhante, Comparisons) {
    struct Case {
        std::string first;
        std::string second;
        std::int32_t n;
        double threshold;
        bool similar;
    };
    const Case cases[] = {
        {"SAO PAOLO", "SAO PAULO", 9, 0.9, true},
        {"SANTOS", "SAO PAULO", 6, 0.9, false},       // S25320 / S21400: 3 of 6
        {"SANTOS", "SAO PAULO", 6, 0.5, true},        // exactly the ratio
        {"1234567890", "9999999999", 10, 0.9, true},  // 9 of 10
        {"1234567890", "9999999999", 10, 0.91, false},
        {"7891000100103", "7891000315507", 13, 0.9, true},
        {"Bruno", "", 5, 0.9, false},  // B1650 against 000000: 1 of 5
        {"Bruno", "Bruna", 5, 1.0, true},
        {"Ana", "Anna", 3, 1.0, false},  // A50 + fill vs the key of a longer name
        {"", "", 3, 1.0, true},
        {"HHH", "", 0, 0.0, false},  // empty first key matches nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.first + "' ~ '" + c.second + "'");
        EXPECT_EQ(Semelhante(c.first, c.second, c.n, c.threshold), c.similar);
    }
}

TEST(Semelhante, PositionsBeyondTheSecondKeyDisagree) {
    // "Bruno" at n 8 has a 9-character key; a second name of 8 or more letters gets 8.
    EXPECT_EQ(ChaveFonetica("Bruno", 8), "B16500000");
    EXPECT_EQ(ChaveFonetica("Brunoooo", 8), "B1650000");
    // 8 equal positions out of 9.
    EXPECT_TRUE(Semelhante("Bruno", "Brunoooo", 8, 8.0 / 9.0));
    EXPECT_FALSE(Semelhante("Bruno", "Brunoooo", 8, 0.9));
}

}  // namespace
}  // namespace sivaro
