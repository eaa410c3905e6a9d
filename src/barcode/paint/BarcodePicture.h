#pragma once
// A barcode as a picture, drawn as its control would be on a screen of the given resolution:
// for labels, for the README and for checking the drawing with a reader.

#include <QImage>

#include "barcode/paint/TVxBarcode.h"

namespace sivaro {

// Paints the control once to lay the symbol out (with AutoSize it takes the symbol's size),
// then draws it on a white image of the control's size with `margin` pixels all around.
// Raises the barcode's EBarCodeError when it has nothing to draw.
QImage renderBarcode(TVxBarcode& control, float resolution, int margin);

// The same in two steps, for a canvas of another kind: the first lays the symbol out and gives
// the picture's pixel size, the second draws on a canvas of that size.
QSize barcodePictureSize(TVxBarcode& control, float resolution, int margin);
void drawBarcodePicture(TVxBarcode& control, DrawingSurface& canvas, float resolution, int margin);

}  // namespace sivaro
