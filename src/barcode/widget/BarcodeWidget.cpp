#include "barcode/widget/BarcodeWidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QtGlobal>

#include "barcode/paint/QPainterSurface.h"
#include "util/CodePage.h"

namespace sivaro {

BarcodeWidget::BarcodeWidget(QWidget* parent, bool designing)
    : QWidget(parent), m_barcode(std::make_unique<TVxBarcode>(designing)) {
    // Painted whole by the control, background included.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_barcode->SetParent(this);
    ControlBoundsChanged();
}

BarcodeWidget::~BarcodeWidget() {
    m_barcode->SetParent(nullptr);
}

DrawingSurface* BarcodeWidget::ControlCanvas() {
    return m_canvas;
}

float BarcodeWidget::ScreenResolution() const {
    return static_cast<float>(logicalDpiX());
}

void BarcodeWidget::RepaintControl() {
    update();
}

// The control holds the geometry; the widget follows it.
void BarcodeWidget::ControlBoundsChanged() {
    if (m_following) return;
    m_following = true;
    setGeometry(m_barcode->Left(), m_barcode->Top(), m_barcode->Width(), m_barcode->Height());
    setVisible(m_barcode->Visible());
    m_following = false;
}

// A layout or the program moved or sized the widget: the control takes that place.
void BarcodeWidget::takeWidgetGeometry() {
    if (m_following) return;
    m_following = true;
    m_barcode->SetBounds(x(), y(), width(), height());
    m_following = false;
}

void BarcodeWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    takeWidgetGeometry();
}

void BarcodeWidget::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    takeWidgetGeometry();
}

void BarcodeWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QPainterSurface canvas(painter, logicalDpiX());
    m_canvas = &canvas;
    try {
        m_barcode->Paint();
    } catch (const std::exception& error) {
        m_canvas = nullptr;
        if (m_paintError) {
            m_paintError(error);
        } else {
            qWarning("%s", cp1252ToUtf8(error.what()).c_str());
        }
        return;
    }
    m_canvas = nullptr;
}

void BarcodeWidget::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

void BarcodeWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    QWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) emit doubleClicked();
}

}  // namespace sivaro
