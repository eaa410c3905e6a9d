#pragma once
// What drawing a barcode needs of a device: a brush, a pen and a font as current state, and
// the few operations below, all in device pixels. The painting walks patterns of one column a
// pixel, so rectangles and lines follow the pixel rules stated here exactly; how text is
// rendered is the device's own.

#include <cstdint>
#include <string>
#include <string_view>

#include "barcode/BarcodeTypes.h"

namespace sivaro {

enum class BrushStyle : std::uint8_t { Solid, Clear };
enum class PenStyle : std::uint8_t { Solid, Dash };

struct SurfaceBrush {
    TColor Color = kColorWhite;
    BrushStyle Style = BrushStyle::Solid;
};

struct SurfacePen {
    TColor Color = kColorBlack;
    PenStyle Style = PenStyle::Solid;
    int Width = 1;
};

// A font of the surface: sizes are in points, turned into pixels at the device's resolution.
struct SurfaceFont : BarcodeFont {
    int PixelsPerInch = 96;

    // Copies name, size, colour and style; the pixels per inch stay the device's.
    void Assign(const BarcodeFont& font) { static_cast<BarcodeFont&>(*this) = font; }
    // Character height in pixels: Round(Size x PixelsPerInch / 72), never below 1.
    int PixelHeight() const;
};

// The font a text is written with: already in pixels and rotated.
struct LogicalFont {
    std::string FaceName;
    int Height = 0;      // character height in pixels
    int Escapement = 0;  // tenths of a degree, counter-clockwise
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
};

// Text is Windows-1252 bytes, as everywhere inside the engine.
class DrawingSurface {
  public:
    explicit DrawingSurface(int pixelsPerInch) { Font.PixelsPerInch = pixelsPerInch; }
    virtual ~DrawingSurface() = default;
    DrawingSurface(const DrawingSurface&) = delete;
    DrawingSurface& operator=(const DrawingSurface&) = delete;

    SurfaceBrush Brush;
    SurfacePen Pen;
    SurfaceFont Font;

    // Fills the rectangle from (x1, y1) to (x2, y2), right and bottom edges excluded, with the
    // brush (none when clear), then outlines its border pixels with the pen.
    virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;
    // Fills the rectangle spanned by the two corners, right and bottom edges excluded, with
    // the brush only.
    virtual void FillRect(int x1, int y1, int x2, int y2) = 0;
    virtual void MoveTo(int x, int y) = 0;
    // A line from the pen position to (x, y), that point itself not painted; the pen moves on.
    virtual void LineTo(int x, int y) = 0;
    // Extents of a text in the current font, in pixels.
    virtual int TextWidth(std::string_view text) = 0;
    virtual int TextHeight(std::string_view text) = 0;
    // Writes text with `font` and the current font's colour, (x, y) being the top-left corner
    // of the text cell before rotation; the cell is painted with the brush when it is solid.
    virtual void TextOut(const LogicalFont& font, int x, int y, std::string_view text) = 0;

    // The printer's canvas: the symbol is not stretched to the control there.
    virtual bool IsPrinter() const { return false; }
};

}  // namespace sivaro
