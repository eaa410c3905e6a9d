#pragma once
// A barcode's published properties as a small text form, one "Name = value" a line:
//
//     BarCodeType = bcEAN_13
//     BarWidth = 0.015              32-bit floats, always with "." whatever the locale
//     Data = '400638133393'         quoted, '' for a quote; #N for a byte outside 32 to 126,
//     AddOn = #208'AB'                written beside the quoted runs
//     BarColor = Black              Black, White, Window, WindowText or 0xRRGGBB
//     Font.Style = [Bold, Italic]
//
// Enumerations by name, booleans True or False; names and keywords ignore letter case.

#include <string>
#include <string_view>
#include <vector>

#include "barcode/BarcodeModel.h"

namespace sivaro {

struct FormEntry {
    std::string name;
    std::string value;
    int line = 0;
};

// Applies the lines to `model` in published order, whatever their order in the text, with the
// model in its loading state, so that a stored type is set before its data. Lines of the
// control's own properties (Left, Top, Width, Height, Visible, OnClick, OnDblClick,
// OnMouseDown, OnMouseMove, OnMouseUp) come back in text order for the control to apply.
// A malformed line, an unknown or repeated name or a value of the wrong kind raises
// EConvertError naming the line, before anything is applied; a property that refuses its
// value raises its own EBarCodeError, the properties before it staying applied.
std::vector<FormEntry> loadBarcodeForm(BarcodeModel& model, std::string_view text);

// The published properties in published order; one equal to its declared default is left out.
std::string saveBarcodeForm(const BarcodeModel& model);

}  // namespace sivaro
