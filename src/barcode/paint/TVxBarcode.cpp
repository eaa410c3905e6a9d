#include "barcode/paint/TVxBarcode.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "barcode/PatternWriter.h"
#include "barcode/paint/QPainterSurface.h"
#include "barcode/paint/SymbolMapping.h"
#include "util/Errors.h"

namespace sivaro {

namespace {

std::int32_t roundToInt(double value) {
    return static_cast<std::int32_t>(roundHalfEven(value));
}

template <typename Array>
std::int32_t columnsIn(const Array& pattern) {
    return static_cast<std::int32_t>(strnlen(pattern.data(), pattern.size()));
}

// Characters `from` (0-based) to `from + count` of a text that may be shorter.
std::string part(const std::string& text, std::size_t from, std::size_t count) {
    return from < text.size() ? text.substr(from, count) : std::string();
}

// Code 128 writes only its printable characters: the code set characters are not text.
std::string printableCode128(const std::string& data) {
    std::string out;
    for (char c : data) {
        const auto code = static_cast<unsigned char>(c);
        if (code >= 32 && code <= 126) out += c;
    }
    return out;
}

// Restores what a drawing changed, whichever way it ends.
class DrawingScope {
  public:
    DrawingScope(bool& drawing, DrawingSurface& canvas)
        : m_drawing(drawing), m_canvas(canvas), m_font(canvas.Font) {
        m_drawing = true;
    }
    ~DrawingScope() {
        m_drawing = false;
        m_canvas.Font = m_font;
    }
    DrawingScope(const DrawingScope&) = delete;
    DrawingScope& operator=(const DrawingScope&) = delete;

  private:
    bool& m_drawing;
    DrawingSurface& m_canvas;
    SurfaceFont m_font;
};

class FlagScope {
  public:
    FlagScope(bool& flag, bool value) : m_flag(flag) { m_flag = value; }
    ~FlagScope() { m_flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& m_flag;
};

}  // namespace

TVxBarcode::TVxBarcode(bool designing) : BarcodeModel(designing) {}

TVxBarcode::~TVxBarcode() = default;

void TVxBarcode::SetBounds(int left, int top, int width, int height) {
    if (left == m_left && top == m_top && width == m_width && height == m_height) return;
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    if (m_parent) m_parent->ControlBoundsChanged();
}

void TVxBarcode::setSize(int width, int height) {
    SetBounds(m_left, m_top, width, height);
}

void TVxBarcode::SetVisible(bool visible) {
    if (visible == m_visible) return;
    m_visible = visible;
    if (m_parent) m_parent->ControlBoundsChanged();
}

float TVxBarcode::ScreenRes() const {
    return m_parent ? m_parent->ScreenResolution() : kDefaultScreenResolution;
}

DrawingSurface& TVxBarcode::Canvas() {
    if (m_parent) {
        if (DrawingSurface* canvas = m_parent->ControlCanvas()) return *canvas;
    }
    const int resolution = static_cast<int>(roundHalfEven(ScreenRes()));
    const int width = std::max(1, m_width), height = std::max(1, m_height);
    if (!m_ownCanvas || m_ownCanvas->Width() != width || m_ownCanvas->Height() != height ||
        m_ownCanvas->PixelsPerInch() != resolution) {
        m_ownCanvas.reset();
        m_ownCanvas = std::make_unique<ImageSurface>(width, height, resolution);
    }
    return m_ownCanvas->Surface();
}

void TVxBarcode::RequestRepaint() {
    BarcodeModel::RequestRepaint();
    if (m_parent) m_parent->RepaintControl();
}

void TVxBarcode::Paint() {
    if (FDrawing) return;
    const int width = m_width, height = m_height;
    FPrintHeight = 0;
    const float resolution = ScreenRes();
    std::exception_ptr error;
    try {
        BuildPatterns(resolution);
    } catch (...) {
        error = std::current_exception();
    }
    {
        FlagScope failed(m_patternFailed, error != nullptr);
        try {
            DrawBarcode(Canvas(), 0, 0, resolution);
        } catch (...) {
            setSize(width, height);
            throw;
        }
        if (AutoSize() && FValid && !m_patternFailed) {
            if (Orientation() == orLeft_Right || Orientation() == orRight_Left) {
                setSize(FSymbolWidth, FSymbolHeight);
            } else {
                setSize(FSymbolHeight, FSymbolWidth);
            }
        } else {
            setSize(width, height);
        }
    }
    if (error) std::rethrow_exception(error);
}

void TVxBarcode::PrintBarcode(float left, float top, float barHeight) {
    if (!m_printer) throw EBarCodeError("There is no printer to print the barcode on");
    const double leftInches = WidthInInches(left);
    const double topInches = WidthInInches(top);
    const double heightInches = WidthInInches(barHeight);
    const int rx = m_printer->ResolutionX(), ry = m_printer->ResolutionY();
    const std::int32_t x = roundToInt(leftInches * rx - m_printer->OffsetX());
    const std::int32_t y = roundToInt(topInches * ry - m_printer->OffsetY());
    FPrintHeight = roundToInt(ry * heightInches);
    std::exception_ptr error;
    try {
        BuildPatterns(static_cast<float>(rx));
    } catch (...) {
        error = std::current_exception();
    }
    {
        FlagScope failed(m_patternFailed, error != nullptr);
        DrawBarcode(m_printer->Canvas(), x, y, static_cast<float>(rx));
    }
    if (error) std::rethrow_exception(error);
}

void TVxBarcode::DoMoveTo(DrawingSurface& canvas, std::int32_t x, std::int32_t y) {
    canvas.MoveTo(x, y);
}

void TVxBarcode::DoLineTo(DrawingSurface& canvas, std::int32_t x, std::int32_t y) {
    canvas.LineTo(x, y);
}

void TVxBarcode::DoTextOut(DrawingSurface& canvas, const SurfaceFont& font, std::int32_t x,
                           std::int32_t y, int angle, const std::string& text) {
    LogicalFont logical;
    logical.FaceName = font.Name;
    logical.Height = font.PixelHeight();
    logical.Escapement = angle * 10;
    logical.Bold = font.Bold;
    logical.Italic = font.Italic;
    logical.Underline = font.Underline;
    logical.StrikeOut = font.StrikeOut;
    canvas.TextOut(logical, x, y, text);
}

void TVxBarcode::line(DrawingSurface& canvas, const SymbolMapping& map, std::int32_t x,
                      std::int32_t ya, std::int32_t yb) {
    const DevicePoint from = map.Line(x, ya), to = map.Line(x, yb);
    DoMoveTo(canvas, from.x, from.y);
    DoLineTo(canvas, to.x, to.y);
}

void TVxBarcode::fill(DrawingSurface& canvas, const SymbolMapping& map, std::int32_t x1,
                      std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    const DevicePoint a = map.Corner(x1, y1), b = map.Corner(x2, y2);
    canvas.FillRect(a.x, a.y, b.x, b.y);
}

void TVxBarcode::text(DrawingSurface& canvas, const SymbolMapping& map, std::int32_t x,
                      std::int32_t y, const std::string& text) {
    const DevicePoint origin = map.TextOrigin(x, y);
    DoTextOut(canvas, canvas.Font, origin.x, origin.y, map.TextAngle(), text);
}

void TVxBarcode::DrawBarcode(DrawingSurface& canvas, std::int32_t X, std::int32_t Y,
                             float resolution) {
    if (FPattern[0] == '\0' && !m_patternFailed) FPattern = BuildPattern(resolution);
    DrawingScope scope(FDrawing, canvas);

    const double b = WidthInInches(BarWidth());
    const std::int32_t n = roundToInt(b * resolution);

    canvas.Brush = {Color(), BrushStyle::Solid};
    canvas.Pen.Color = Color();
    canvas.Rectangle(X, Y, X + m_width, Y + m_height);
    if (Designing() && !FValid) {
        canvas.Pen.Style = PenStyle::Dash;
        canvas.Brush.Style = BrushStyle::Clear;
        canvas.Rectangle(0, 0, m_width, m_height);
    }
    if (!FValid || m_patternFailed) return;

    const TBarCodeType type = BarCodeType();
    const std::int32_t length = columnsIn(FPattern);
    const std::int32_t addOnLength = columnsIn(FAddOnPattern);
    if (isUpcOrEan(type)) {
        FQuietZone = roundToInt(length * 0.1);
    } else if (type == bcInt2of5) {
        FQuietZone = roundToInt(length * 0.03);
    } else {
        FQuietZone = 0;
    }
    FSymbolWidth = length + (type != bcPostnet ? 2 * FQuietZone : 0) +
                   (addOnLength > 0 ? addOnLength + 9 * n : 0);
    switch (type) {
        case bcUPC_A:
            FSymbolHeight = roundToInt(length * 0.75);
            break;
        case bcEAN_13:
            FSymbolHeight = roundToInt(length * 0.85);
            break;
        case bcInt2of5:
            FSymbolHeight = roundToInt(FSymbolWidth * 0.6);
            break;
        case bcCode128:
        case bcCode39:
            FSymbolHeight = roundToInt(FSymbolWidth * 0.25);
            break;
        case bcPostnet:
            FSymbolHeight = roundToInt(n * 6.25) + 1;
            break;
    }
    FSymbolHeight = std::max(FSymbolHeight, 5);

    if (AutoSizeFont()) {
        fitFont(canvas, FSymbolWidth, FSymbolHeight, resolution, n);
    } else {
        canvas.Font.Assign(Font());
    }
    if (!AutoSize() && !canvas.IsPrinter()) {
        // One text line comes off even when no text is written.
        const double scale = static_cast<double>(resolution) / ScreenRes();
        FSymbolHeight = roundToInt(m_height * scale) - canvas.TextHeight("0");
        FSymbolWidth = roundToInt(m_width * scale);
    }
    if (FPrintHeight != 0) FSymbolHeight = FPrintHeight;
    const std::int32_t y0 = 0;
    const std::int32_t y1 = FSymbolHeight;
    if (PrintHumanReadable()) FSymbolHeight += canvas.TextHeight("0");

    const bool along = Orientation() == orLeft_Right || Orientation() == orRight_Left;
    const SymbolMapping map(Orientation(), X, Y, along ? FSymbolWidth : FSymbolHeight,
                            along ? FSymbolHeight : FSymbolWidth);

    canvas.Pen = {BarColor(), PenStyle::Solid, 1};
    canvas.Font.Color = BarColor();

    const DevicePoint start = map.Line(FQuietZone, y0);
    DoMoveTo(canvas, start.x, start.y);
    // UPC-A and EAN-13 bars reach half a text line into the text; the digits' cells cut the
    // digit areas back, so that only the guard bars stay long.
    const std::int32_t barBottom = isUpcOrEan(type) ? y1 + (FSymbolHeight - y1) / 2 : y1;
    for (std::int32_t i = 0; i < length; ++i) {
        const std::int32_t x = FQuietZone + i;
        const char column = FPattern[static_cast<std::size_t>(i)];
        if (type == bcPostnet) {
            if (column == '2') {
                line(canvas, map, x, y0, y1);
            } else if (column == '1') {
                line(canvas, map, x, roundToInt((y1 - y0) * 0.6), y1);
            }
        } else if (column == '1' && x <= FSymbolWidth) {
            line(canvas, map, x, y0, barBottom);
        }
    }

    if (BearerBars()) {
        canvas.Brush.Color = BarColor();
        fill(canvas, map, 0, 0, FSymbolWidth, 3 * n);
        fill(canvas, map, 0, y1 - 3 * n, FSymbolWidth, y1);
        canvas.Brush.Color = Color();
    }
    if (PrintHumanReadable()) drawHumanReadable(canvas, map, length, y1, n);
    if (addOnLength > 0) drawAddOn(canvas, map, length, y0, y1, n);
}

void TVxBarcode::drawHumanReadable(DrawingSurface& canvas, const SymbolMapping& map,
                                   std::int32_t length, std::int32_t y1, std::int32_t n) {
    canvas.Brush = {Color(), BrushStyle::Solid};
    const std::int32_t q = FQuietZone;
    const std::string& data = Data();
    switch (BarCodeType()) {
        case bcEAN_13: {
            const std::int32_t h = canvas.TextHeight("5");
            fill(canvas, map, q + 3 * n, y1, q + 45 * n, y1 + h);
            text(canvas, map, q + 3 * n, y1, part(data, 1, 6));
            fill(canvas, map, q + 50 * n, y1, q + 92 * n, y1 + h);
            text(canvas, map, q + 50 * n, y1, part(data, 7, 6));
            text(canvas, map, 1, y1, part(data, 0, 1));
            break;
        }
        case bcUPC_A: {
            const std::int32_t h = canvas.TextHeight("5");
            fill(canvas, map, q + 10 * n, y1, q + 45 * n, y1 + h);
            text(canvas, map, q + 10 * n, y1, part(data, 1, 5));
            fill(canvas, map, q + 50 * n, y1, q + 85 * n, y1 + h);
            text(canvas, map, q + 50 * n, y1, part(data, 6, 5));
            // The number system and check digits stand outside the bars, at half size.
            canvas.Font.Size /= 2;
            const std::int32_t s = canvas.Font.Size;
            text(canvas, map, 1, y1 + s / 2, part(data, 0, 1));
            text(canvas, map, length + q + canvas.TextWidth("0"), y1 + s / 2, part(data, 11, 1));
            canvas.Font.Size *= 2;
            break;
        }
        default: {
            const std::string shown = BarCodeType() == bcCode128 ? printableCode128(data) : data;
            std::int32_t x = 0;
            if (FontAlignment() == taRightJustify) {
                x = FSymbolWidth - canvas.TextWidth(shown);
            } else if (FontAlignment() == taCenter) {
                x = (FSymbolWidth - canvas.TextWidth(shown)) / 2;
            }
            text(canvas, map, x, y1, shown);
            break;
        }
    }
}

void TVxBarcode::drawAddOn(DrawingSurface& canvas, const SymbolMapping& map, std::int32_t length,
                           std::int32_t y0, std::int32_t y1, std::int32_t n) {
    // The add-on's bars start one text line lower, its digits above them.
    y0 += canvas.TextHeight("0");
    const std::int32_t left = length + FQuietZone + 9 * n;
    const DevicePoint start = map.Line(left, y0);
    DoMoveTo(canvas, start.x, start.y);
    const std::int32_t addOnLength = columnsIn(FAddOnPattern);
    for (std::int32_t i = 0; i < addOnLength; ++i) {
        if (FAddOnPattern[static_cast<std::size_t>(i)] == '1') line(canvas, map, left + i, y0, y1);
    }
    if (PrintHumanReadable()) {
        text(canvas, map, left + addOnLength - canvas.TextWidth(AddOn()),
             y0 - canvas.TextHeight("0"), AddOn());
    }
}

void TVxBarcode::fitFont(DrawingSurface& canvas, std::int32_t width, std::int32_t height,
                         float resolution, std::int32_t n) {
    const double toScreen = static_cast<double>(ScreenRes()) / resolution;
    auto S = [&](std::int32_t v) { return roundToInt(toScreen * v); };
    const auto dataLength = static_cast<std::int32_t>(Data().size());
    canvas.Font.Assign(Font());

    std::int32_t size = 0;
    std::function<bool()> tooWide;
    switch (BarCodeType()) {
        case bcUPC_A:
            size = roundToInt(S(height) * 0.2);
            tooWide = [&] { return 5 * canvas.TextWidth("0") > 36 * n; };
            break;
        case bcEAN_13:
            size = roundToInt(S(height) * 0.2);
            tooWide = [&] { return canvas.TextWidth("000000") > 42 * n; };
            break;
        case bcInt2of5:
            size = roundToInt(S(height) * 0.15);
            tooWide = [&] { return width < canvas.TextWidth("0") * dataLength; };
            break;
        case bcCode128:
        case bcCode39:
            size = roundToInt(S(height) * 0.25);
            tooWide = [&] { return S(width) < canvas.TextWidth("0") * dataLength; };
            break;
        case bcPostnet:
            size = S(height) / 2;
            break;
    }
    size = std::max(size, kMinFittedFontSize);
    canvas.Font.Size = size;
    if (tooWide) {
        while (size > kMinFittedFontSize && tooWide()) canvas.Font.Size = --size;
    }
    BarcodeFont fitted = Font();
    fitted.Size = size;
    SetFont(fitted);
}

}  // namespace sivaro
