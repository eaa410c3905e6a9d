#pragma once
// A drawing surface that keeps what was drawn, as values, with text metrics simple enough to
// work out by hand: a character is 6/10 of the font's pixel height wide (at least 1), a line 9/8
// of it high.

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "barcode/paint/BarcodePrinter.h"
#include "barcode/paint/DrawingSurface.h"
#include "barcode/paint/TVxBarcode.h"

namespace sivaro::test {

struct Line {
    int x0, y0, x1, y1;
    bool operator==(const Line&) const = default;
};

struct Box {
    int x1, y1, x2, y2;
    TColor color;
    bool operator==(const Box&) const = default;
};

struct Text {
    int x, y, angle;
    std::string text;
    int height;
    bool operator==(const Text&) const = default;
};

class RecordingSurface : public DrawingSurface {
  public:
    explicit RecordingSurface(int pixelsPerInch = 96, bool printer = false)
        : DrawingSurface(pixelsPerInch), m_printer(printer) {}

    static int charWidth(int pixelHeight) { return std::max(1, pixelHeight * 6 / 10); }
    static int lineHeight(int pixelHeight) { return pixelHeight * 9 / 8; }

    void Rectangle(int x1, int y1, int x2, int y2) override {
        rectangles.push_back({x1, y1, x2, y2, Brush.Color});
        rectangleDashed.push_back(Pen.Style == PenStyle::Dash);
    }
    void FillRect(int x1, int y1, int x2, int y2) override {
        fills.push_back({x1, y1, x2, y2, Brush.Color});
    }
    void MoveTo(int x, int y) override {
        m_x = x;
        m_y = y;
        ++moves;
    }
    void LineTo(int x, int y) override {
        lines.push_back({m_x, m_y, x, y});
        m_x = x;
        m_y = y;
    }
    int TextWidth(std::string_view text) override {
        return static_cast<int>(text.size()) * charWidth(Font.PixelHeight());
    }
    int TextHeight(std::string_view) override { return lineHeight(Font.PixelHeight()); }
    void TextOut(const LogicalFont& font, int x, int y, std::string_view text) override {
        texts.push_back({x, y, font.Escapement / 10, std::string(text), font.Height});
    }
    bool IsPrinter() const override { return m_printer; }

    std::vector<Box> rectangles;
    std::vector<bool> rectangleDashed;
    std::vector<Box> fills;
    std::vector<Line> lines;
    std::vector<Text> texts;
    int moves = 0;

  private:
    bool m_printer;
    int m_x = 0;
    int m_y = 0;
};

class RecordingPrinter : public BarcodePrinter {
  public:
    RecordingPrinter(int resolution, int offsetX, int offsetY)
        : m_canvas(resolution, true),
          m_resolution(resolution),
          m_offsetX(offsetX),
          m_offsetY(offsetY) {}

    DrawingSurface& Canvas() override { return m_canvas; }
    RecordingSurface& recording() { return m_canvas; }
    int ResolutionX() const override { return m_resolution; }
    int ResolutionY() const override { return m_resolution; }
    int OffsetX() const override { return m_offsetX; }
    int OffsetY() const override { return m_offsetY; }

  private:
    RecordingSurface m_canvas;
    int m_resolution, m_offsetX, m_offsetY;
};

// A parent that paints its control on a surface of the test's and says which resolution its
// screen has.
class TestParent : public ControlParent {
  public:
    explicit TestParent(DrawingSurface* canvas, float resolution = 96.0f)
        : canvas(canvas), resolution(resolution) {}
    DrawingSurface* ControlCanvas() override { return canvas; }
    float ScreenResolution() const override { return resolution; }
    void RepaintControl() override {
        ++repaints;
        if (onRepaint) onRepaint();
    }
    void ControlBoundsChanged() override { ++boundsChanges; }

    DrawingSurface* canvas;
    float resolution;
    int repaints = 0;
    int boundsChanges = 0;
    std::function<void()> onRepaint;
};

}  // namespace sivaro::test
