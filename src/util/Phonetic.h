#pragma once
// A loose comparison of names for lookups that found no exact match: each name becomes a key
// that keeps its first character and turns consonants into digits of their sound class.

#include <cstdint>
#include <string>
#include <string_view>

namespace sivaro {

// Sound class of a capital letter: 1 BFPV, 2 CGJKQSXZ, 3 DT, 4 L, 5 MN, 6 R; -1 for anything
// else (vowels, H, W, Y, lower case, digits, blanks, accented letters).
int CodigoFonetico(char c);

// The key of `name` for length `n` (at least 1): accents folded and letters upper-cased, leading
// "H" skipped, the first other character kept as it is, then the class digit of every character
// from that one on, then "0" up to n characters, or n + 1 when the prepared name is shorter than
// n. The first character's own digit always enters, so a key can pass n characters by one.
std::string ChaveFonetica(std::string_view name, std::int32_t n);

// True when the keys of both names agree in at least `threshold` of the positions of the first
// key (a position the second key does not reach disagrees). A first key that comes out empty
// (n below 1 and nothing but "H") matches nothing.
bool Semelhante(std::string_view first, std::string_view second, std::int32_t n, double threshold);

}  // namespace sivaro
