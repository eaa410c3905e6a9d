#pragma once
// A barcode control as a form stores it: the published properties of the barcode form text
// and the control's own place, size and visibility ("Left = 8", "Width = 115",
// "Visible = False"). Events stored by name have nothing to bind to and are passed over.

#include <string_view>

#include "barcode/paint/TVxBarcode.h"

namespace sivaro {

// Raises EConvertError naming the line for a malformed entry, before the control's own entries
// are applied; a property that refuses its value raises its EBarCodeError.
void loadBarcodeControl(TVxBarcode& control, std::string_view text);

}  // namespace sivaro
