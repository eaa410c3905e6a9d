// The log's "linha:" lines and the source line each stands for.

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include "app/FailedLineIndex.h"
#include "util/Cp1252Literal.h"

namespace sivaro {
namespace {

using Found = std::optional<std::pair<std::string, std::int64_t>>;

TEST(FailedLineIndex, FindsEachLineItsSourceAndLine) {
    FailedLineIndex index;
    index.add("linha:2 'abc' is not a valid integer value 1", "marcas.txt", 2);
    index.add("linha:3 'abc' is not a valid integer value 2", "marcas.txt", 3);
    index.add("linha:2 Descrição vazia"_cp1252, "clientes.txt", 2);
    index.add("linha:3 'abc' is not a valid integer value 2", "clientes.txt", 9);  // given again
    struct Case {
        std::string line;
        Found found;
    };
    const Case cases[] = {
        {"linha:2 'abc' is not a valid integer value 1", std::pair{"marcas.txt", 2}},
        {"linha:2 Descrição vazia"_cp1252, std::pair{"clientes.txt", 2}},
        {"linha:3 'abc' is not a valid integer value 2", std::pair{"clientes.txt", 9}},
        {"linha:2 'abc' is not a valid integer value", std::nullopt},  // a part of a line
        {"Aviso: feche o SIVARO PLUS", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(index.find(c.line), c.found);
    }
}

// Lines are kept by their distance from the first of a stretch of one source: a line before that
// first, one too far past it, and a source met again each start a stretch of their own.
TEST(FailedLineIndex, LinesKeepTheirNumberAcrossStretches) {
    constexpr std::int64_t kFar = std::int64_t{1} << 40;
    FailedLineIndex index;
    const std::pair<std::string, std::int64_t> added[] = {
        {"a.txt", 10}, {"a.txt", 12}, {"a.txt", 5},          {"a.txt", 5 + kFar},
        {"b.txt", 1},  {"a.txt", 7},  {"a.txt", 4000000000}, {"a.txt", 4294967303},
    };
    for (std::size_t i = 0; i < std::size(added); ++i)
        index.add("linha:" + std::to_string(i), added[i].first, added[i].second);
    for (std::size_t i = 0; i < std::size(added); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(index.find("linha:" + std::to_string(i)), Found(added[i]));
    }
}

TEST(FailedLineIndex, AnEmptyIndexFindsNothing) {
    EXPECT_EQ(FailedLineIndex().find("linha:2 x"), std::nullopt);
}

}  // namespace
}  // namespace sivaro
