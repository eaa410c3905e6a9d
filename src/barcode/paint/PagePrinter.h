#pragma once
// A printer page for PrintBarcode over any Qt paged device: a QPrinter (a printer or a PDF
// file) or a QPdfWriter. Painting on the device begins with this object and ends with it or
// with Finish; the canvas's origin is the corner of the printable area, as on a printer.

#include <QPagedPaintDevice>
#include <QPainter>
#include <memory>

#include "barcode/paint/BarcodePrinter.h"
#include "barcode/paint/QPainterSurface.h"

namespace sivaro {

class PagePrinter : public BarcodePrinter {
  public:
    // `device` must outlive this object; raises EBarCodeError when it cannot be painted on.
    explicit PagePrinter(QPagedPaintDevice& device);
    ~PagePrinter() override;

    DrawingSurface& Canvas() override { return *m_surface; }
    int ResolutionX() const override { return m_resolutionX; }
    int ResolutionY() const override { return m_resolutionY; }
    int OffsetX() const override { return m_offsetX; }
    int OffsetY() const override { return m_offsetY; }

    // Starts a new page of the job.
    void NewPage();
    // Ends the job (the file is written); raises EBarCodeError when the device reports a failure.
    void Finish();

  private:
    QPagedPaintDevice& m_device;
    QPainter m_painter;
    std::unique_ptr<QPainterSurface> m_surface;
    int m_resolutionX = 0;
    int m_resolutionY = 0;
    int m_offsetX = 0;
    int m_offsetY = 0;
};

}  // namespace sivaro
