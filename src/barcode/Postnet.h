#pragma once
// POSTNET: five tall or short bars a digit between two tall frame bars, with a modulo 10
// check digit that goes into the bars only, never into the data.

#include <cstdint>
#include <string_view>

#include "barcode/PatternWriter.h"

namespace sivaro {

// The digit that brings the sum of the data's digits to a multiple of 10 ("-" is skipped).
int postnetCheckDigit(std::string_view data);

// Frame bar, the digits and the check digit, five bars each (two tall), frame bar: every bar
// `bar` columns of '2' (tall) or '1' (short), each followed by `space` columns of '0' except
// the closing frame bar. Characters
// other than digits and "-" raise EBarCodeError.
void buildPostnet(PatternWriter& out, std::string_view data, std::int64_t bar, std::int64_t space);

}  // namespace sivaro
