#pragma once
// The drawing surface over a QPainter: a widget in its paint event, an image, a printer page,
// an SVG or PDF file. Bars are filled pixel rectangles, never antialiased lines, so that each
// pattern column is exactly one device pixel column.

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "barcode/paint/DrawingSurface.h"

namespace sivaro {

// A colour of the barcode as Qt's; system colours by their usual Windows values.
QColor toQColor(TColor color);
QFont toQFont(const LogicalFont& font);

class QPainterSurface : public DrawingSurface {
  public:
    // The painter must be active for as long as the surface is used.
    QPainterSurface(QPainter& painter, int pixelsPerInch, bool printer = false);

    void Rectangle(int x1, int y1, int x2, int y2) override;
    void FillRect(int x1, int y1, int x2, int y2) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    int TextWidth(std::string_view text) override;
    int TextHeight(std::string_view text) override;
    void TextOut(const LogicalFont& font, int x, int y, std::string_view text) override;
    bool IsPrinter() const override { return m_printer; }

    QPainter& Painter() { return m_painter; }

  private:
    // Metrics of one font, with the widths already measured: the font fitting asks the same
    // few sizes for the same texts on every paint.
    struct Measures {
        explicit Measures(const QFontMetrics& m) : metrics(m) {}
        QFontMetrics metrics;
        std::map<std::string, int, std::less<>> widths;
    };
    using FontKey = std::tuple<std::string, int, int>;  // face, pixel height, style bits

    QFont currentFont() const;
    Measures& measures();
    void fillPixels(int left, int top, int width, int height, const QColor& color);

    QPainter& m_painter;
    std::map<FontKey, Measures> m_measures;
    bool m_printer;
    int m_penX = 0;
    int m_penY = 0;
};

// An image with its painter and surface: the unseen canvas of a control, and the pictures of
// the command line. The image starts white.
class ImageSurface {
  public:
    ImageSurface(int width, int height, int pixelsPerInch);
    ~ImageSurface();

    QPainterSurface& Surface() { return *m_surface; }
    int Width() const { return m_image.width(); }
    int Height() const { return m_image.height(); }
    int PixelsPerInch() const { return m_pixelsPerInch; }
    // Ends the painting and gives the image; the surface is then no longer usable.
    const QImage& Finish();

  private:
    QImage m_image;
    int m_pixelsPerInch;
    QPainter m_painter;
    std::unique_ptr<QPainterSurface> m_surface;
};

}  // namespace sivaro
