#pragma once
// Where a point of the symbol lands on the device. Points are laid out in symbol coordinates
// (x along the symbol from its left edge, y down from the top of the bars) and mapped for the
// orientation; lines, rectangle corners and text origins differ by one pixel in some
// orientations, which stored drawings and printed labels have always had.

#include <cstdint>

#include "barcode/BarcodeTypes.h"

namespace sivaro {

struct DevicePoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const DevicePoint&) const = default;
};

class SymbolMapping {
  public:
    // (X, Y): the symbol's top-left corner on the device; (ex, ey): its extents there.
    SymbolMapping(TBCOrientation orientation, std::int32_t X, std::int32_t Y, std::int32_t ex,
                  std::int32_t ey)
        : m_orientation(orientation), m_x(X), m_y(Y), m_ex(ex), m_ey(ey) {}

    DevicePoint Line(std::int32_t x, std::int32_t y) const;
    DevicePoint Corner(std::int32_t x, std::int32_t y) const;
    DevicePoint TextOrigin(std::int32_t x, std::int32_t y) const;
    // Counter-clockwise degrees of the text.
    int TextAngle() const;

  private:
    TBCOrientation m_orientation;
    std::int32_t m_x, m_y, m_ex, m_ey;
};

}  // namespace sivaro
