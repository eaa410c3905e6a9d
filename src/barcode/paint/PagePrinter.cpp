#include "barcode/paint/PagePrinter.h"

#include <QPageLayout>

#include "barcode/paint/PaintingApplication.h"
#include "util/Errors.h"

namespace sivaro {

PagePrinter::PagePrinter(QPagedPaintDevice& device) : m_device(device) {
    ensurePaintingApplication();
    m_resolutionX = device.logicalDpiX();
    m_resolutionY = device.logicalDpiY();
    const QRect printable = device.pageLayout().paintRectPixels(m_resolutionX);
    m_offsetX = printable.left();
    m_offsetY = device.pageLayout().paintRectPixels(m_resolutionY).top();
    if (!m_painter.begin(&device)) throw EBarCodeError("The printer could not start the page");
    m_surface = std::make_unique<QPainterSurface>(m_painter, m_resolutionY, true);
}

PagePrinter::~PagePrinter() {
    if (m_painter.isActive()) m_painter.end();
}

void PagePrinter::NewPage() {
    if (!m_device.newPage()) throw EBarCodeError("The printer could not start a new page");
}

void PagePrinter::Finish() {
    if (m_painter.isActive() && !m_painter.end()) {
        throw EBarCodeError("The printer could not finish the job");
    }
}

}  // namespace sivaro
