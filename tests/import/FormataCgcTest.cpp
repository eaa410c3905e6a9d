#include <gtest/gtest.h>

#include "import/ImportEngine.h"

namespace sivaro {
namespace {

TEST(FormataCgc, PunctuatesElevenAndFourteenCharacters) {
    struct Case {
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {"12345678901", "123.456.789-01"},
        {"123.456.789-01", "123.456.789-01"},
        {"12345678000190", "12.345.678/0001-90"},
        {"12.345.678/0001-90", "12.345.678/0001-90"},
        {"12-34", "1234"},
        {" 12345678901", " 12345678901"},  // the blank counts: 12 characters
        {"ABCDEFGHIJK", "ABC.DEF.GHI-JK"},
        {"", ""},
        {"/-.", ""},
        {"1234567890", "1234567890"},
        {"123456789012345", "123456789012345"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(ImportEngine::FormataCgc(c.value), c.expected);
    }
}

}  // namespace
}  // namespace sivaro
