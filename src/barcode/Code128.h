#pragma once
// Code 128 with explicit code sets: the data names its start set and every switch, shift and
// function character in the 8-bit range above 200, so that the symbol is exactly what the
// data says and never an optimiser's guess.
//
//   #208 #209 #210  start in set A, B, C (first character only)
//   #201 FNC3  #202 FNC2  #203 SHIFT  #204 to C  #205 to B (FNC4 in B)  #206 to A (FNC4 in A)
//   #207 FNC1  #211-#242 the control characters of set A

#include <cstdint>
#include <string_view>
#include <vector>

#include "barcode/PatternWriter.h"

namespace sivaro {

// Symbol values of the data: start, data symbols, check symbol (modulo 103). Raises
// EBarCodeError with the fixed message of the first rule the data breaks.
std::vector<int> code128Symbols(std::string_view data);

// The symbols' modules (11 a symbol value 0 to 105: three bars and three spaces) and the stop
// (13 modules with the final bar), each module a narrow element.
void buildCode128(PatternWriter& out, const std::vector<int>& symbols, std::int64_t narrow);

}  // namespace sivaro
