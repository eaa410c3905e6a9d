#pragma once
// Interleaved 2 of 5: digit pairs, the first digit in the bars and the second in the spaces.
// No check digit is added.

#include <string_view>

#include "barcode/PatternWriter.h"

namespace sivaro {

// Start (narrow bar, space, bar, space), each pair of digits by the five elements of each, two
// of them wide (the first digit in the bars, the second in the spaces), stop (wide bar, narrow
// space, narrow bar). `digits` has an even length and only digits (EBarCodeError else).
void buildInterleaved2of5(PatternWriter& out, std::string_view digits, ElementWidths widths);

}  // namespace sivaro
