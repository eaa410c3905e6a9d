#pragma once
// Patterns are built at device resolution, one character a pixel column, into fixed arrays.
// The writer never writes past its capacity: it keeps counting what the symbol would need so
// that the caller can refuse the build with the real figure.

#include <cstdint>
#include <string_view>

namespace sivaro {

// Nearest integer, ties to the even one: the rounding of every pixel geometry of the barcode.
double roundHalfEven(double value);

// Columns of an element `width` pixels wide: Round(width); 0 or less, and NaN, give none. An
// absurd width is clamped far above any capacity, so it ends as a capacity error.
std::int64_t columnCount(double width);

// Narrow and wide element widths in columns. w = b x R and w' = w x ratio are each formed as
// 32-bit floats before rounding, so that they round as the stored patterns always have.
struct ElementWidths {
    std::int64_t narrow = 0;
    std::int64_t wide = 0;
};
ElementWidths elementWidths(float barWidthInches, float resolution, float wideBarRatio);

class PatternWriter {
  public:
    // `columns` has room for capacity + 1 characters and is zero-filled.
    PatternWriter(char* columns, int capacity) : m_columns(columns), m_capacity(capacity) {}

    void append(char column, std::int64_t count);
    // A module string of '1' (bar) and '0' (space), each module a narrow element of its own.
    void appendModules(std::string_view modules, std::int64_t narrow);

    // Columns the symbol needs so far, written or not.
    std::int64_t needed() const { return m_needed; }
    bool overflowed() const { return m_needed > m_capacity; }
    int capacity() const { return m_capacity; }

  private:
    char* m_columns;
    int m_capacity;
    std::int64_t m_needed = 0;
};

}  // namespace sivaro
