#pragma once
// The barcode control on a window: a widget that gives its TVxBarcode the window's surface to
// paint on, follows the control's place, size and visibility (AutoSize included), hands a move
// or resize of the shown widget back to the control, and reports clicks. The control stays usable
// without the widget being shown: an import paints a hidden one to have its EAN-13 data completed.

#include <QWidget>
#include <exception>
#include <functional>
#include <memory>

#include "barcode/paint/TVxBarcode.h"

namespace sivaro {

class QPainterSurface;

class BarcodeWidget : public QWidget, public ControlParent {
    Q_OBJECT

  public:
    // `designing`: inside a form designer, where a new control shows a sample at once.
    explicit BarcodeWidget(QWidget* parent = nullptr, bool designing = false);
    ~BarcodeWidget() override;

    TVxBarcode& barcode() { return *m_barcode; }

    // Receives the error of a paint the window system asked for (a Code 128 error, for
    // example); without a handler it becomes a warning on the program's log.
    void setPaintErrorHandler(std::function<void(const std::exception&)> handler) {
        m_paintError = std::move(handler);
    }

  signals:
    void clicked();
    void doubleClicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    DrawingSurface* ControlCanvas() override;
    float ScreenResolution() const override;
    void RepaintControl() override;
    void ControlBoundsChanged() override;
    void takeWidgetGeometry();

    std::unique_ptr<TVxBarcode> m_barcode;
    QPainterSurface* m_canvas = nullptr;
    bool m_following = false;
    std::function<void(const std::exception&)> m_paintError;
};

}  // namespace sivaro
