#include "barcode/paint/BarcodePicture.h"

#include "barcode/paint/QPainterSurface.h"
#include "util/Errors.h"

namespace sivaro {

namespace {

// Stands in for a screen of the given resolution for as long as the picture is made.
class PictureParent : public ControlParent {
  public:
    PictureParent(TVxBarcode& control, float resolution)
        : m_control(control), m_previous(control.Parent()), m_resolution(resolution) {
        m_control.SetParent(this);
    }
    ~PictureParent() override { m_control.SetParent(m_previous); }
    PictureParent(const PictureParent&) = delete;
    PictureParent& operator=(const PictureParent&) = delete;

    DrawingSurface* ControlCanvas() override { return m_canvas; }
    float ScreenResolution() const override { return m_resolution; }
    void RepaintControl() override {}
    void ControlBoundsChanged() override {}

    void SetCanvas(DrawingSurface* canvas) { m_canvas = canvas; }

  private:
    TVxBarcode& m_control;
    ControlParent* m_previous;
    float m_resolution;
    DrawingSurface* m_canvas = nullptr;
};

void layOut(TVxBarcode& control) {
    control.Paint();
    if (!control.Valid()) {
        throw EBarCodeError(control.Data().empty() ? "The barcode has no data to draw"
                                                   : "The barcode's data is not valid");
    }
}

}  // namespace

QSize barcodePictureSize(TVxBarcode& control, float resolution, int margin) {
    PictureParent parent(control, resolution);
    layOut(control);
    return QSize(control.Width() + 2 * margin, control.Height() + 2 * margin);
}

void drawBarcodePicture(TVxBarcode& control, DrawingSurface& canvas, float resolution, int margin) {
    PictureParent parent(control, resolution);
    parent.SetCanvas(&canvas);
    // The patterns of the laying out are for this resolution already.
    control.DrawBarcode(canvas, margin, margin, resolution);
}

QImage renderBarcode(TVxBarcode& control, float resolution, int margin) {
    const QSize size = barcodePictureSize(control, resolution, margin);
    ImageSurface picture(size.width(), size.height(), static_cast<int>(resolution + 0.5f));
    drawBarcodePicture(control, picture.Surface(), resolution, margin);
    return picture.Finish();
}

}  // namespace sivaro
