#pragma once
// The printer a barcode prints on: its canvas for the current page, its resolutions and where
// its printable area begins. The caller starts and ends the job; the barcode only draws.

#include "barcode/paint/DrawingSurface.h"

namespace sivaro {

class BarcodePrinter {
  public:
    virtual ~BarcodePrinter() = default;

    virtual DrawingSurface& Canvas() = 0;
    // Pixels per inch across and down the page.
    virtual int ResolutionX() const = 0;
    virtual int ResolutionY() const = 0;
    // Printer pixels from the physical corner of the page to the corner of the printable area,
    // where the canvas has its origin.
    virtual int OffsetX() const = 0;
    virtual int OffsetY() const = 0;
};

}  // namespace sivaro
