#include "barcode/paint/QPainterSurface.h"

#include <QFontMetrics>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "barcode/paint/PaintingApplication.h"
#include "util/CodePage.h"

namespace sivaro {

namespace {

QString toQString(std::string_view cp1252) {
    return QString::fromStdString(cp1252ToUtf8(cp1252));
}

constexpr double kInchesPerMetre = 39.37007874015748;

}  // namespace

QColor toQColor(TColor color) {
    if (color & 0x80000000u) {
        switch (color & 0xFFu) {
            case 5:  // window
                return QColor(255, 255, 255);
            case 15:  // button face
                return QColor(240, 240, 240);
            default:  // window text and the other text colours
                return QColor(0, 0, 0);
        }
    }
    return QColor(int((color >> 16) & 0xFF), int((color >> 8) & 0xFF), int(color & 0xFF));
}

QFont toQFont(const LogicalFont& font) {
    QFont q(QString::fromStdString(cp1252ToUtf8(font.FaceName)));
    q.setPixelSize(std::max(1, font.Height));
    q.setBold(font.Bold);
    q.setItalic(font.Italic);
    q.setUnderline(font.Underline);
    q.setStrikeOut(font.StrikeOut);
    return q;
}

QPainterSurface::QPainterSurface(QPainter& painter, int pixelsPerInch, bool printer)
    : DrawingSurface(pixelsPerInch), m_painter(painter), m_printer(printer) {
    m_painter.setRenderHint(QPainter::Antialiasing, false);
}

QFont QPainterSurface::currentFont() const {
    LogicalFont f;
    f.FaceName = Font.Name;
    f.Height = Font.PixelHeight();
    f.Bold = Font.Bold;
    f.Italic = Font.Italic;
    f.Underline = Font.Underline;
    f.StrikeOut = Font.StrikeOut;
    return toQFont(f);
}

void QPainterSurface::fillPixels(int left, int top, int width, int height, const QColor& color) {
    if (width <= 0 || height <= 0) return;
    m_painter.fillRect(QRect(left, top, width, height), color);
}

void QPainterSurface::Rectangle(int x1, int y1, int x2, int y2) {
    const int left = std::min(x1, x2), top = std::min(y1, y2);
    const int width = std::abs(x2 - x1), height = std::abs(y2 - y1);
    if (Brush.Style == BrushStyle::Solid)
        fillPixels(left, top, width, height, toQColor(Brush.Color));
    if (width <= 0 || height <= 0) return;
    QPen pen(toQColor(Pen.Color));
    pen.setCosmetic(true);
    pen.setWidth(1);
    pen.setStyle(Pen.Style == PenStyle::Dash ? Qt::DashLine : Qt::SolidLine);
    m_painter.save();
    m_painter.setPen(pen);
    m_painter.setBrush(Qt::NoBrush);
    // An aliased one-pixel outline of QRect(l, t, w - 1, h - 1) covers columns l to l + w - 1.
    m_painter.drawRect(QRect(left, top, width - 1, height - 1));
    m_painter.restore();
}

void QPainterSurface::FillRect(int x1, int y1, int x2, int y2) {
    if (Brush.Style != BrushStyle::Solid) return;
    fillPixels(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1),
               toQColor(Brush.Color));
}

void QPainterSurface::MoveTo(int x, int y) {
    m_penX = x;
    m_penY = y;
}

void QPainterSurface::LineTo(int x, int y) {
    const QColor color = toQColor(Pen.Color);
    const int width = std::max(1, Pen.Width);
    if (x == m_penX || y == m_penY) {
        // Bars are vertical or horizontal: one filled run, the end point left out.
        if (x == m_penX) {
            const int top = y > m_penY ? m_penY : y + 1;
            fillPixels(x - (width - 1) / 2, top, width, std::abs(y - m_penY), color);
        } else {
            const int left = x > m_penX ? m_penX : x + 1;
            fillPixels(left, y - (width - 1) / 2, std::abs(x - m_penX), width, color);
        }
    } else {
        // Any other line, pixel by pixel, the end point left out.
        int x0 = m_penX, y0 = m_penY;
        const int dx = std::abs(x - x0), dy = -std::abs(y - y0);
        const int sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1;
        int error = dx + dy;
        while (x0 != x || y0 != y) {
            fillPixels(x0, y0, 1, 1, color);
            const int e2 = 2 * error;
            if (e2 >= dy) {
                error += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                error += dx;
                y0 += sy;
            }
        }
    }
    MoveTo(x, y);
}

QPainterSurface::Measures& QPainterSurface::measures() {
    const int style = (Font.Bold ? 1 : 0) | (Font.Italic ? 2 : 0) | (Font.Underline ? 4 : 0) |
                      (Font.StrikeOut ? 8 : 0);
    FontKey key{Font.Name, Font.PixelHeight(), style};
    auto found = m_measures.find(key);
    if (found == m_measures.end()) {
        // A handful of fonts serve a barcode; a surface that met many starts afresh.
        if (m_measures.size() >= 64) m_measures.clear();
        found =
            m_measures
                .emplace(std::move(key), Measures(QFontMetrics(currentFont(), m_painter.device())))
                .first;
    }
    return found->second;
}

int QPainterSurface::TextWidth(std::string_view text) {
    Measures& m = measures();
    const auto known = m.widths.find(text);
    if (known != m.widths.end()) return known->second;
    const int width = m.metrics.horizontalAdvance(toQString(text));
    if (m.widths.size() < 256) m.widths.emplace(std::string(text), width);
    return width;
}

int QPainterSurface::TextHeight(std::string_view) {
    return measures().metrics.height();
}

void QPainterSurface::TextOut(const LogicalFont& font, int x, int y, std::string_view text) {
    const QFont qfont = toQFont(font);
    const QFontMetrics metrics(qfont, m_painter.device());
    const QString q = toQString(text);
    m_painter.save();
    m_painter.translate(x, y);
    // Qt turns clockwise on a device whose y grows downwards.
    m_painter.rotate(-font.Escapement / 10.0);
    if (Brush.Style == BrushStyle::Solid) {
        m_painter.fillRect(QRect(0, 0, metrics.horizontalAdvance(q), metrics.height()),
                           toQColor(Brush.Color));
    }
    m_painter.setFont(qfont);
    m_painter.setPen(toQColor(Font.Color));
    m_painter.drawText(0, metrics.ascent(), q);
    m_painter.restore();
}

ImageSurface::ImageSurface(int width, int height, int pixelsPerInch)
    : m_pixelsPerInch(pixelsPerInch) {
    ensurePaintingApplication();
    m_image = QImage(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
    m_image.fill(Qt::white);
    const int dotsPerMetre = static_cast<int>(pixelsPerInch * kInchesPerMetre + 0.5);
    m_image.setDotsPerMeterX(dotsPerMetre);
    m_image.setDotsPerMeterY(dotsPerMetre);
    m_painter.begin(&m_image);
    m_surface = std::make_unique<QPainterSurface>(m_painter, pixelsPerInch);
}

ImageSurface::~ImageSurface() {
    if (m_painter.isActive()) m_painter.end();
}

const QImage& ImageSurface::Finish() {
    if (m_painter.isActive()) m_painter.end();
    return m_image;
}

}  // namespace sivaro
