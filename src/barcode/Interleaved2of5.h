#pragma once
// Interleaved 2 of 5: digit pairs, the first digit in the bars and the second in the spaces.
// No check digit is added.

#include <string_view>

#include "barcode/PatternWriter.h"

namespace sivaro {

// Five elements of a digit, '1' a wide one.
std::string_view i2of5DigitPattern(int digit);

// Start, the pairs, stop. `digits` has an even length and only digits (EBarCodeError else).
void buildInterleaved2of5(PatternWriter& out, std::string_view digits, ElementWidths widths);

}  // namespace sivaro
