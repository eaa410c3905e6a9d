#pragma once
// The barcode control: the model of BarcodeModel drawn as a symbol. Like a control without a
// window of its own it paints on what it sits on: its parent's surface while the parent paints
// it, and otherwise an image of its own size that nobody sees, which is how a program without
// a display (the batch import) still has Paint complete its EAN-13 data.
//
//     TVxBarcode b;  b.SetBarCodeType(bcEAN_13);  b.SetData("400638133393");
//     b.Paint();     // b.Data() == "4006381333931"; with AutoSize, b is the symbol's size
//
// Painting raises the EBarCodeError of a pattern that does not build, after the background is
// drawn. The header needs no Qt; painting needs Qt Gui, and a program without an application
// object gets one on the offscreen platform at its first unseen paint.

#include <cstdint>
#include <memory>
#include <string>

#include "barcode/BarcodeModel.h"
#include "barcode/paint/BarcodePrinter.h"
#include "barcode/paint/DrawingSurface.h"

namespace sivaro {

class ImageSurface;
class SymbolMapping;

// What a control needs of the window it sits on.
class ControlParent {
  public:
    virtual ~ControlParent() = default;
    // The surface to paint the control on now, the control's origin at (0, 0); null when the
    // parent is not painting it.
    virtual DrawingSurface* ControlCanvas() = 0;
    virtual float ScreenResolution() const = 0;
    virtual void RepaintControl() = 0;
    virtual void ControlBoundsChanged() = 0;
};

class TVxBarcode : public BarcodeModel {
  public:
    // The importer's form stores its barcode 115 pixels wide; a new control is 100 by 50.
    static constexpr int kInitialWidth = 100;
    static constexpr int kInitialHeight = 50;
    // The logical resolution of a control that no screen shows.
    static constexpr float kDefaultScreenResolution = 96.0f;
    // Font fitting lowers the size while the text does not fit; it stops here, so that bars
    // thinner than a pixel or data longer than any font can serve still get a symbol.
    static constexpr int kMinFittedFontSize = 1;

    explicit TVxBarcode(bool designing = false);
    ~TVxBarcode() override;

    // Place and size on the parent, in screen pixels.
    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void SetBounds(int left, int top, int width, int height);
    void SetWidth(int width) { SetBounds(m_left, m_top, width, m_height); }
    void SetHeight(int height) { SetBounds(m_left, m_top, m_width, height); }
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);

    void SetParent(ControlParent* parent) { m_parent = parent; }
    ControlParent* Parent() const { return m_parent; }
    // The screen's logical resolution (the parent's, else 96), in pixels per inch.
    float ScreenRes() const;
    // Where Paint draws: the parent's surface while it paints the control, else an image of
    // the control's size.
    DrawingSurface& Canvas();

    // The printer PrintBarcode draws on; none until set. The control does not own it.
    void SetPrinter(BarcodePrinter* printer) { m_printer = printer; }
    BarcodePrinter* Printer() const { return m_printer; }

    // Draws on Canvas at ScreenRes, rebuilding both patterns; with AutoSize the control then
    // takes the symbol's size. Does nothing while a drawing runs.
    virtual void Paint();
    virtual void DoMoveTo(DrawingSurface& canvas, std::int32_t x, std::int32_t y);
    virtual void DoLineTo(DrawingSurface& canvas, std::int32_t x, std::int32_t y);
    virtual void DoTextOut(DrawingSurface& canvas, const SurfaceFont& font, std::int32_t x,
                           std::int32_t y, int angle, const std::string& text);
    // Draws the whole symbol with its top-left corner at (x, y) for a device of `resolution`
    // pixels per inch; builds the main pattern only when none is stored.
    virtual void DrawBarcode(DrawingSurface& canvas, std::int32_t x, std::int32_t y,
                             float resolution);
    // Draws on the printer's current page; the arguments in MeasurementUnits, left and top
    // from the physical corner of the page. A bar height of 0 keeps the symbol's own.
    virtual void PrintBarcode(float left, float top, float barHeight);

  protected:
    void RequestRepaint() override;

  private:
    void fitFont(DrawingSurface& canvas, std::int32_t width, std::int32_t height, float resolution,
                 std::int32_t n);
    void line(DrawingSurface& canvas, const SymbolMapping& map, std::int32_t x, std::int32_t ya,
              std::int32_t yb);
    void fill(DrawingSurface& canvas, const SymbolMapping& map, std::int32_t x1, std::int32_t y1,
              std::int32_t x2, std::int32_t y2);
    void text(DrawingSurface& canvas, const SymbolMapping& map, std::int32_t x, std::int32_t y,
              const std::string& text);
    void drawHumanReadable(DrawingSurface& canvas, const SymbolMapping& map, std::int32_t length,
                           std::int32_t y1, std::int32_t n);
    void drawAddOn(DrawingSurface& canvas, const SymbolMapping& map, std::int32_t length,
                   std::int32_t y0, std::int32_t y1, std::int32_t n);
    void setSize(int width, int height);

    int m_left = 0;
    int m_top = 0;
    int m_width = kInitialWidth;
    int m_height = kInitialHeight;
    bool m_visible = true;
    ControlParent* m_parent = nullptr;
    BarcodePrinter* m_printer = nullptr;
    std::unique_ptr<ImageSurface> m_ownCanvas;
    // Set while Paint or PrintBarcode draws after their pattern failed to build at this
    // resolution: the stored pattern belongs to another and is not drawn.
    bool m_patternFailed = false;
};

}  // namespace sivaro
