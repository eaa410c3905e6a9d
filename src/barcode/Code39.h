#pragma once
// Code 39: nine elements a character, three of them wide, framed by "*". No check character
// is added.

#include <cstdint>
#include <optional>
#include <string_view>

#include "barcode/PatternWriter.h"

namespace sivaro {

// Nine elements of a character ('1' a wide one; bars at 1, 3, 5, 7, 9), for the 43 data
// characters and "*"; lower-case letters give their capitals' patterns. None for the rest.
std::optional<std::string_view> code39Pattern(char c);

// Each character of "*" + data + "*" (an "*" already at either end is not doubled), each
// followed by a gap of `gap` space columns. A character outside the table raises EBarCodeError.
void buildCode39(PatternWriter& out, std::string_view data, ElementWidths widths, std::int64_t gap);

}  // namespace sivaro
