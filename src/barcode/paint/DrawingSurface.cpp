#include "barcode/paint/DrawingSurface.h"

#include <algorithm>

#include "barcode/PatternWriter.h"

namespace sivaro {

int SurfaceFont::PixelHeight() const {
    const double pixels = roundHalfEven(static_cast<double>(Size) * PixelsPerInch / 72.0);
    return std::max(1, static_cast<int>(pixels));
}

}  // namespace sivaro
