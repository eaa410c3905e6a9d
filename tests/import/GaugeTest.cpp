#include <gtest/gtest.h>

#include "import/ImportHost.h"

namespace sivaro {
namespace {

TEST(Gauge, PositionStaysBetweenMinimumAndMaximum) {
    Gauge g;
    g.setMaximum(4);
    g.setMinimum(0);
    const int positions[] = {1, 2, 3, 4, 5, 6, -1};
    const int shown[] = {1, 2, 3, 4, 4, 4, 0};
    for (size_t i = 0; i < std::size(positions); ++i) {
        g.setPosition(positions[i]);
        EXPECT_EQ(g.position, shown[i]) << "set " << positions[i];
    }
    g.setMaximum(0);
    g.setPosition(1);
    EXPECT_EQ(g.position, 0);  // a header-only file: the counter cannot move
}

}  // namespace
}  // namespace sivaro
