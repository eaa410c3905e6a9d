#include "barcode/paint/SymbolMapping.h"

namespace sivaro {

DevicePoint SymbolMapping::Line(std::int32_t x, std::int32_t y) const {
    switch (m_orientation) {
        case orLeft_Right:
            return {m_x + x, m_y + y};
        case orRight_Left:
            return {m_x + m_ex - x - 1, m_y + m_ey - y};
        case orTop_Bottom:
            return {m_x + m_ex - y, m_y + x};
        case orBottom_Top:
            return {m_x + y, m_y + m_ey - x - 1};
    }
    return {m_x + x, m_y + y};
}

DevicePoint SymbolMapping::Corner(std::int32_t x, std::int32_t y) const {
    switch (m_orientation) {
        case orLeft_Right:
            return {m_x + x, m_y + y};
        case orRight_Left:
            return {m_x + m_ex - x, m_y + m_ey - y};
        case orTop_Bottom:
            return {m_x + m_ex - y, m_y + x};
        case orBottom_Top:
            return {m_x + y, m_y + m_ey - x - 1};
    }
    return {m_x + x, m_y + y};
}

DevicePoint SymbolMapping::TextOrigin(std::int32_t x, std::int32_t y) const {
    switch (m_orientation) {
        case orLeft_Right:
            return {m_x + x, m_y + y};
        case orRight_Left:
            return {m_x + m_ex - x, m_y + m_ey - y};
        case orTop_Bottom:
            return {m_x + m_ex - y, m_y + x};
        case orBottom_Top:
            return {m_x + y, m_y + m_ey - x};
    }
    return {m_x + x, m_y + y};
}

int SymbolMapping::TextAngle() const {
    switch (m_orientation) {
        case orLeft_Right:
            return 0;
        case orRight_Left:
            return 180;
        case orTop_Bottom:
            return 270;
        case orBottom_Top:
            return 90;
    }
    return 0;
}

}  // namespace sivaro
