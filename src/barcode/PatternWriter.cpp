#include "barcode/PatternWriter.h"

#include <algorithm>
#include <cmath>

namespace sivaro {

namespace {
// Far beyond any pattern, small enough that thousands of such elements still add up in 64 bits.
constexpr double kMaxElementColumns = 1e12;
}  // namespace

double roundHalfEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction > 0.5) return floor + 1;
    if (fraction < 0.5) return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

std::int64_t columnCount(double width) {
    if (!(width > 0)) return 0;
    if (width > kMaxElementColumns) return static_cast<std::int64_t>(kMaxElementColumns);
    return static_cast<std::int64_t>(roundHalfEven(width));
}

ElementWidths elementWidths(float barWidthInches, float resolution, float wideBarRatio) {
    const float narrow = barWidthInches * resolution;
    const float wide = narrow * wideBarRatio;
    return {columnCount(narrow), columnCount(wide)};
}

void PatternWriter::append(char column, std::int64_t count) {
    if (count <= 0) return;
    const std::int64_t room = std::max<std::int64_t>(0, m_capacity - m_needed);
    std::fill_n(m_columns + std::min<std::int64_t>(m_needed, m_capacity), std::min(count, room),
                column);
    m_needed += count;
}

void PatternWriter::appendModules(std::string_view modules, std::int64_t narrow) {
    for (char module : modules) append(module == '1' ? '1' : '0', narrow);
}

}  // namespace sivaro
