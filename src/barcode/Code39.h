#pragma once
// Code 39: nine elements a character, three of them wide, framed by "*". No check character
// is added.

#include <cstdint>
#include <string_view>

#include "barcode/PatternWriter.h"

namespace sivaro {

// Each character of "*" + data + "*" (an "*" already at either end is not doubled) by its nine
// elements, bars and spaces alternating from a bar, three of them wide; each character followed
// by a gap of `gap` space columns. Lower-case letters give their capitals' patterns; a character
// outside the 43 and "*" raises EBarCodeError.
void buildCode39(PatternWriter& out, std::string_view data, ElementWidths widths, std::int64_t gap);

}  // namespace sivaro
